#include "form2.h"

#include "accessibility.h"
#include "controls.h"
#include "hiscorestore.h"
#include "numbers.h"
#include "services.h"
#include "twips.h"

#include <QIcon>
#include <QPixmap>
#include <QStringList>

using namespace Qt::Literals::StringLiterals;

namespace {

// The rank-and-name column, Label2 to Label11, and the score column, Label12
// to Label21: one row every 240 twips from the top of the first. The
// sixth row's score label is taller than the others.
constexpr int FirstRowTop = 840;
constexpr int RowStep = 240;
using Column = std::array<int, scores::TableSize>;
constexpr Column RankWidths = {1935, 1935, 1815, 1935, 1935, 1815, 1815, 1815, 1815, 1815};
constexpr Column ScoreWidths = {1095, 1095, 1215, 1215, 1335, 1335, 1335, 1455, 1455, 1455};
constexpr Column ScoreHeights = {255, 255, 255, 255, 255, 375, 255, 255, 255, 255};
// The rows' labels are numbered from Label2 down the rank column, then on
// down the score column.
constexpr int FirstRankLabel = 2;
constexpr int FirstScoreLabel = FirstRankLabel + scores::TableSize;

QString labelName(int number)
{
    return u"Label%1"_s.arg(number);
}

} // namespace

Form2::Form2(rt::Services &services, scores::FileOps &files, QObject *parent)
    : rt::Form(u"Form2"_s, parent), m_services(services), m_files(files)
{
}

void Form2::Open(QWidget *owner)
{
    m_owner = owner;
    Load();
    // The creation fill may have found the table unusable and closed the
    // window again; the player has been told.
    if (isLoaded())
        Show();
}

void Form2::build(rt::FormWindow *window)
{
    window->setWindowTitle(u" "_s);
    // A fixed dialog frame: a title bar and a close box, no minimise or
    // maximise button.
    window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                           | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    // No icon of its own: a blank one keeps the program's icon off it.
    QPixmap blank(16, 16);
    blank.fill(Qt::transparent);
    window->setWindowIcon(QIcon(blank));
    window->setClientSize(4680, 4095);
    window->move(rt::px(3060), rt::px(2610));

    Label1 = rt::makeLabel(window, {.name = labelName(1), .caption = u"High Scores"_s,
                                    .at = {.left = 1320, .top = 120, .width = 2175, .height = 615},
                                    .pointSize = 18, .tabIndex = 0, .opaque = true});
    for (int k = 0; k < scores::TableSize; ++k) {
        const int top = FirstRowTop + RowStep * k;
        m_rankLabels[k] = rt::makeLabel(
            window, {.name = labelName(FirstRankLabel + k),
                     .at = {.left = 1200, .top = top, .width = RankWidths[k], .height = 255},
                     .tabIndex = k + 1, .opaque = true});
    }
    Command1 = rt::makeButton(window, {.name = u"Command1"_s, .caption = u"OK"_s,
                                       .at = {.left = 1560, .top = 3600, .width = 1575, .height = 375},
                                       .tabIndex = 11});
    for (int k = 0; k < scores::TableSize; ++k) {
        const int top = FirstRowTop + RowStep * k;
        m_scoreLabels[k] = rt::makeLabel(
            window, {.name = labelName(FirstScoreLabel + k), .caption = labelName(FirstScoreLabel + k),
                     .at = {.left = 2760, .top = top, .width = ScoreWidths[k], .height = ScoreHeights[k]},
                     .tabIndex = FirstScoreLabel + k, .opaque = true});
    }
    window->setDefaultButton(Command1);
    Command1->setFocus();

    // The title bar holds a blank; a screen reader names the window by its
    // heading, and reads the rows as one list, each row whole, then OK.
    window->setAccessibleName(Label1->text());
    QList<QWidgetList> rows;
    for (int k = 0; k < scores::TableSize; ++k)
        rows.append({m_rankLabels[k], m_scoreLabels[k]});
    rt::setReadingOrder(window, QAccessible::Dialog,
                        {{Label1},
                         {.listName = u"The ten best scores"_s, .items = rows},
                         {Command1}});
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
}

void Form2::Form_Initialize()
{
    fill();
}

void Form2::Form_Activate()
{
    // A window that is closing takes no fill.
    if (isLoaded())
        fill();
}

void Form2::fill()
{
    const scores::Loaded loaded = scores::loadTable(m_files);
    if (!loaded.ok) {
        Unload();
        m_services.messageBox->show(m_owner, QString::fromStdString(loaded.error)
                                    + u"\n\nThe high scores cannot be shown."_s);
        return;
    }
    QStringList rows;
    for (int k = 0; k < scores::TableSize; ++k) {
        const scores::Record &record = loaded.table[k];
        // A name keeps its direction to itself, in its row as in what is
        // read: the controls that would turn the text after it are left
        // out, and a name written from right to left, which would turn its
        // whole row around, is set apart from the rank before it.
        const QString name = rt::withoutDirectionControls(QString::fromStdString(record.name));
        m_rankLabels[k]->setText(u"#%1 - "_s.arg(k + 1)
                                 + (name.isRightToLeft() ? u'\u2068' + name + u'\u2069' : name));
        m_scoreLabels[k]->setText(rt::SignedForm(record.score));
        // Read as "rank, name, score"; one arg() for all three, so that a
        // name with "%2" in it stays as it is.
        m_rankLabels[k]->setAccessibleName(u"%1, %2, %3"_s.arg(
            QString::number(k + 1), name.isEmpty() ? u"no name"_s : name,
            QString::number(record.score)));
        rows.append(m_rankLabels[k]->accessibleName());
    }
    // Said as the window opens, as Orca does with a dialog's text; only
    // when it changes, so that a reader does not say it again at every
    // activation.
    const QString table = rows.join(u". "_s) + u'.';
    if (window()->accessibleDescription() != table)
        window()->setAccessibleDescription(table);
}

void Form2::Command1_Click()
{
    Unload();
}
