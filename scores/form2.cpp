#include "form2.h"

#include "controls.h"
#include "hiscorestore.h"
#include "numbers.h"
#include "services.h"
#include "twips.h"

#include <QIcon>
#include <QPixmap>
#include <QTimer>

namespace {

struct LabelDesign {
    int left, top, width, height;
};

// The rank-and-name column, Label2 to Label11.
constexpr LabelDesign RankColumn[10] = {
    {1200, 840, 1935, 255},  {1200, 1080, 1935, 255}, {1200, 1320, 1815, 255},
    {1200, 1560, 1935, 255}, {1200, 1800, 1935, 255}, {1200, 2040, 1815, 255},
    {1200, 2280, 1815, 255}, {1200, 2520, 1815, 255}, {1200, 2760, 1815, 255},
    {1200, 3000, 1815, 255},
};

// The score column, Label12 to Label21; the sixth row's is taller.
constexpr LabelDesign ScoreColumn[10] = {
    {2760, 840, 1095, 255},  {2760, 1080, 1095, 255}, {2760, 1320, 1215, 255},
    {2760, 1560, 1215, 255}, {2760, 1800, 1335, 255}, {2760, 2040, 1335, 375},
    {2760, 2280, 1335, 255}, {2760, 2520, 1455, 255}, {2760, 2760, 1455, 255},
    {2760, 3000, 1455, 255},
};

constexpr double DefaultPointSize = 8.25;

QString labelName(int number)
{
    return QStringLiteral("Label%1").arg(number);
}

} // namespace

Form2::Form2(rt::Services &services, QObject *parent)
    : rt::Form(QStringLiteral("Form2"), parent), m_services(services)
{
}

void Form2::build(rt::FormWindow *window)
{
    window->setWindowTitle(QStringLiteral(" "));
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

    Label1 = rt::makeLabel(window, labelName(1), QStringLiteral("High Scores"), 1320, 120, 2175,
                           615, 18, 0, true);
    for (int k = 0; k < 10; ++k) {
        const LabelDesign &d = RankColumn[k];
        m_rankLabels[k] = rt::makeLabel(window, labelName(k + 2), QString(), d.left, d.top,
                                        d.width, d.height, DefaultPointSize, k + 1, true);
    }
    Command1 = rt::makeButton(window, QStringLiteral("Command1"), QStringLiteral("OK"), 1560,
                              3600, 1575, 375, DefaultPointSize, 11);
    for (int k = 0; k < 10; ++k) {
        const LabelDesign &d = ScoreColumn[k];
        m_scoreLabels[k] = rt::makeLabel(window, labelName(k + 12), labelName(k + 12), d.left,
                                         d.top, d.width, d.height, DefaultPointSize, k + 12, true);
    }
    window->setDefaultButton(Command1);
    Command1->setFocus();
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
}

void Form2::Form_Initialize()
{
    if (fill())
        return;
    Unload();
    // The opening that created the object goes on to load and show the
    // window; it gives up as well. Should no load follow right away, the
    // next opening is not held back.
    m_refuseNextLoad = true;
    QTimer::singleShot(0, this, [this] { m_refuseNextLoad = false; });
}

void Form2::Form_Load()
{
    if (m_refuseNextLoad) {
        m_refuseNextLoad = false;
        Unload();
    }
}

void Form2::Form_Activate()
{
    // Activations of a window that is closing, or that arrive while a
    // message about the file is up, are no reason to read it again.
    if (m_busy || !isLoaded())
        return;
    m_busy = true;
    if (fill()) {
        m_busy = false;
        return;
    }
    // The window closes once the activation that brought it here is over;
    // until then it stays deaf to activations, the one that the closing
    // message box hands back to it included.
    QTimer::singleShot(0, this, [this] {
        Unload();
        m_busy = false;
    });
}

bool Form2::fill()
{
    const auto files = scores::makeSystemFileOps();
    const scores::Loaded loaded = scores::loadTable(*files);
    if (!loaded.ok) {
        m_services.messageBox->show(QString::fromStdString(loaded.error)
                                    + QStringLiteral("\n\nThe high scores cannot be shown."));
        return false;
    }
    for (int k = 0; k < 10; ++k) {
        const scores::Record &record = loaded.table[k];
        m_rankLabels[k]->setText(QStringLiteral("#%1 - ").arg(k + 1)
                                 + QString::fromStdString(record.name));
        m_scoreLabels[k]->setText(rt::SignedForm(record.score));
    }
    return true;
}

void Form2::Command1_Click()
{
    Unload();
}
