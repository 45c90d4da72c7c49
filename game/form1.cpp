#include "form1.h"

#include "accessibility.h"
#include "appicon.h"
#include "numbers.h"
#include "picture.h"
#include "release.h"
#include "twips.h"

#include <QFocusEvent>
#include <QFontMetrics>
#include <QIcon>
#include <QTime>

#include <cmath>
#include <utility>

using rt::PlainForm;
using rt::SignedForm;
using namespace Qt::Literals::StringLiterals;

namespace {

// Where Wendo turns: moving right past 5000, or left below 100 (twips).
constexpr float RightBound = 5000.0f;
constexpr float LeftBound = 100.0f;
constexpr float PieStep = 250.0f;
// Where a pie rests between throws.
constexpr float PieRest = 5760.0f;
// The pie can strike Wendo's face while its Top is within this band and
// Wendo's Left lines up with the pie's column.
constexpr float PieBandTop = 130.0f, PieBandBottom = 1900.0f;
constexpr float TargetBandLeft = 1960.0f, TargetBandRight = 3460.0f;
constexpr int TopSpeedAfterHits = 165;
constexpr int TopSpeed = 170;
constexpr int MissesPerGame = 10;
constexpr int MissWarning = 8;
constexpr int MissPenalty = 100;
constexpr int TickInterval = 7;
constexpr int PauseInterval = 1000;

// Whether the focus moved by the player's own hand (a key or the mouse),
// rather than passed on as windows come and go.
bool movedByPlayer(Qt::FocusReason reason)
{
    return reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason
        || reason == Qt::MouseFocusReason || reason == Qt::ShortcutFocusReason;
}

// Points for a hit by where Wendo stood: the closer the pie comes to his
// chin, the more it scores.
int pointsFor(float left)
{
    if (left > 2500 && left < 3373)
        return 250;
    if (left > 2340 && left < 3233)
        return 125;
    if (left > 2040 && left < 3233)
        return 100;
    if (left > 1960 && left < 3463)
        return 50;
    return 0;
}

struct Instruction {
    const char *name;
    rt::Placement at;
    int tabIndex;
    const char *caption;
};

// The nine lines of instructions, one label each, leading blanks and all.
// clang-format off
constexpr Instruction Instructions[] = {
    {.name = "Label5", .at = {.left = 4410, .top = 3240, .width = 1935, .height = 225}, .tabIndex = 7, .caption = "-  Click \"Throw it\" to throw"},
    {.name = "Label6", .at = {.left = 4440, .top = 3420, .width = 1935, .height = 315}, .tabIndex = 8, .caption = "  a pie.  Aim towards Wendo's"},
    {.name = "Label7", .at = {.left = 4320, .top = 3600, .width = 2055, .height = 375}, .tabIndex = 9, .caption = "     chin for maximum impact"},
    {.name = "Label8", .at = {.left = 4320, .top = 3765, .width = 2055, .height = 450}, .tabIndex = 10, .caption = "     and points."},
    {.name = "Label9", .at = {.left = 4320, .top = 4080, .width = 2175, .height = 255}, .tabIndex = 11, .caption = "  -  When you miss 10 times,"},
    {.name = "Label10", .at = {.left = 4320, .top = 4260, .width = 2175, .height = 315}, .tabIndex = 12, .caption = "     your game is over."},
    {.name = "Label11", .at = {.left = 4320, .top = 4560, .width = 2175, .height = 255}, .tabIndex = 13, .caption = "  -  Watch out when you get to"},
    {.name = "Label12", .at = {.left = 4320, .top = 4770, .width = 2175, .height = 285}, .tabIndex = 14, .caption = "     20 hits -- Wendo will begin to"},
    {.name = "Label13", .at = {.left = 4320, .top = 4950, .width = 2175, .height = 465}, .tabIndex = 15, .caption = "     move like a crazy monkey."},
};
// clang-format on

constexpr double WindowFont = 13.5;
constexpr int ClientWidth = 6675;
constexpr int ClientHeight = 6525;

} // namespace

Form1::Form1(rt::Services &services, QObject *parent)
    : rt::Form(QStringLiteral("Form1"), parent), m_services(services)
{
}

rt::Picture Form1::designPicture1()
{
    return rt::ReadPicture(QStringLiteral(":/design/picture1.bmp"));
}

rt::Picture Form1::designPicture2()
{
    return rt::ReadPicture(QStringLiteral(":/design/picture2.bmp"));
}

void Form1::build(rt::FormWindow *w)
{
    w->setWindowTitle(QStringLiteral("Squibbo!"));
    w->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                      | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    w->setClientSize(ClientWidth, ClientHeight);
    w->setFont(rt::designFont(WindowFont));

    Command1 = rt::makeButton(w, {.name = u"Command1"_s, .caption = u"Throw It!"_s,
                                  .at = {.left = 600, .top = 5400, .width = 1335, .height = 735},
                                  .pointSize = 12, .tabIndex = 0});
    Picture1 = new rt::PictureBox(w, u"Picture1"_s, designPicture1(),
                                  {.left = 2760, .top = 240, .width = 1575, .height = 1935}, 1);
    Picture2 = new rt::PictureBox(w, u"Picture2"_s, designPicture2(),
                                  {.left = 2760, .top = 5640, .width = 1320, .height = 615}, 2);
    // The score panel and the title, one label a line.
    // clang-format off
    const std::pair<QPointer<QLabel> Form1::*, rt::ControlDesign> labels[] = {
        {&Form1::Label4, {.name = u"Label4"_s, .caption = u"Score:"_s, .at = {.left = 240, .top = 3120, .width = 735, .height = 375}, .pointSize = 12, .tabIndex = 6}},
        {&Form1::Text4, {.name = u"Text4"_s, .at = {.left = 1170, .top = 3000, .width = 1335, .height = 495}, .pointSize = 18, .tabIndex = 20}},
        {&Form1::Label1, {.name = u"Label1"_s, .caption = u"Hits:"_s, .at = {.left = 240, .top = 3600, .width = 495, .height = 375}, .pointSize = 12, .tabIndex = 3}},
        {&Form1::Text1, {.name = u"Text1"_s, .at = {.left = 1200, .top = 3600, .width = 855, .height = 375}, .pointSize = WindowFont, .tabIndex = 19}},
        {&Form1::Label3, {.name = u"Label3"_s, .caption = u"Misses:"_s, .at = {.left = 240, .top = 3960, .width = 855, .height = 375}, .pointSize = 12, .tabIndex = 4}},
        {&Form1::Text3, {.name = u"Text3"_s, .at = {.left = 1200, .top = 3960, .width = 855, .height = 495}, .pointSize = WindowFont, .tabIndex = 18}},
        {&Form1::Label2, {.name = u"Label2"_s, .caption = u"Speed:"_s, .at = {.left = 240, .top = 4440, .width = 855, .height = 375}, .pointSize = 8.25, .tabIndex = 5}},
        {&Form1::Text2, {.name = u"Text2"_s, .at = {.left = 1260, .top = 4440, .width = 735, .height = 375}, .pointSize = 8.25, .tabIndex = 17}},
        {&Form1::Label14, {.name = u"Label14"_s, .caption = u"Squibbo!"_s, .at = {.left = 4440, .top = 2520, .width = 2055, .height = 375}, .pointSize = WindowFont, .tabIndex = 16}},
    };
    // clang-format on
    for (const auto &[member, design] : labels)
        this->*member = rt::makeLabel(w, design);
    Line1 = new rt::LineControl(w, u"Line1"_s, {4440, 3000}, {6360, 3000},
                                w->palette().color(QPalette::WindowText), 1);

    QPointer<QLabel> *instructionLabels[] = {&Label5, &Label6,  &Label7,  &Label8, &Label9,
                                             &Label10, &Label11, &Label12, &Label13};
    for (std::size_t i = 0; i < std::size(Instructions); ++i) {
        const Instruction &in = Instructions[i];
        QLabel *l = rt::makeLabel(w, {.name = QString::fromLatin1(in.name),
                                      .caption = QString::fromLatin1(in.caption), .at = in.at,
                                      .pointSize = 8.25, .tabIndex = in.tabIndex});
        // Our stand-in for MS Sans Serif runs a little wider than the face
        // these lines were set in: widen a label just enough to show its
        // line whole.
        const int needed = QFontMetrics(l->font()).horizontalAdvance(l->text()) + 1;
        if (l->width() < needed)
            l->resize(needed, l->height());
        *instructionLabels[i] = l;
    }

    Command2 = rt::makeButton(w, {.name = u"Command2"_s, .caption = u"About"_s,
                                  .at = {.left = 4680, .top = 5400, .width = 1575, .height = 375},
                                  .pointSize = 9.75, .tabIndex = 21});
    Command3 = rt::makeButton(w, {.name = u"Command3"_s, .caption = u"High Scores"_s,
                                  .at = {.left = 4680, .top = 5880, .width = 1575, .height = 375},
                                  .pointSize = 9.75, .tabIndex = 22});
    // Pictures and labels take no focus: Tab runs over the three buttons.
    QWidget::setTabOrder(Command1, Command2);
    QWidget::setTabOrder(Command2, Command3);
    // Where the player takes the focus while a pie flies.
    Command2->installEventFilter(this);
    Command3->installEventFilter(this);

    // The pie flies over everything else in its column.
    Picture2->raise();

    describeForReaders(w);

    Timer1 = new rt::Timer(w, QStringLiteral("Timer1"), 500, true);
    Timer2 = new rt::Timer(w, QStringLiteral("Timer2"), 200, true);

    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(Timer1, &rt::Timer::tick, this, &Form1::Timer1_Timer);
    connect(Timer2, &rt::Timer::tick, this, &Form1::Timer2_Timer);

    // Last: the icon's pictures may still be on their way at the start.
    w->setWindowIcon(assets::appIcon());
}

void Form1::describeForReaders(rt::FormWindow *w)
{
    Picture1->setAccessibleName(u"Wendo"_s);
    Picture2->setAccessibleName(u"A cream pie"_s);
    // Each number of the score panel is read with its caption.
    Label4->setBuddy(Text4);
    Label1->setBuddy(Text1);
    Label3->setBuddy(Text3);
    Label2->setBuddy(Text2);

    // The nine lines of instructions read as the three instructions they
    // are, each one whole: a line that starts with a dash starts the next.
    QList<QWidgetList> instructions;
    QLabel *lines[] = {Label5, Label6, Label7, Label8, Label9, Label10, Label11, Label12, Label13};
    for (QLabel *line : lines) {
        if (line->text().trimmed().startsWith(QLatin1Char('-')) || instructions.isEmpty())
            instructions.append(QWidgetList());
        instructions.last().append(line);
    }
    for (const QWidgetList &instruction : std::as_const(instructions)) {
        QStringList text;
        for (const QWidget *line : instruction)
            text.append(static_cast<const QLabel *>(line)->text());
        QString whole = text.join(QLatin1Char(' ')).simplified();
        if (whole.startsWith(u"- "_s))
            whole.remove(0, 2);
        instruction.first()->setAccessibleName(whole);
    }

    // News of each throw, and the panel when the reader comes to the button.
    m_news = new rt::ReaderNews(Command1);

    // The rule under the title only decorates, and is left out.
    rt::setReadingOrder(w, QAccessible::Window,
                        {{Command1}, {Picture1}, {Picture2}, {Label4}, {Text4}, {Label1}, {Text1},
                         {Label3}, {Text3}, {Label2}, {Text2}, {Label14},
                         {.listName = u"Instructions"_s, .items = instructions},
                         {Command2}, {Command3}});
}

QString Form1::panelForReaders() const
{
    // The numbers as the panel shows them; from the eighth miss on the
    // misses show in red, and the reader hears how many are left.
    QString panel = u"Score %1, hits %2, misses %3, speed %4."_s.arg(Score).arg(Hits).arg(Misses)
                        .arg(Text2->text().trimmed());
    if (!Text3->accessibleDescription().isEmpty())
        panel += u' ' + Text3->accessibleDescription() + u'.';
    return panel;
}

void Form1::tellScore(const QString &outcome)
{
    const QString panel = panelForReaders();
    m_news->setStanding(panel);
    m_news->tell(outcome + u' ' + panel);
}

void Form1::Form_Load()
{
    Timer1->setInterval(TickInterval);
    Timer2->setInterval(PauseInterval);
    Timer2->setEnabled(false);

    // Seed from the seconds since midnight, fraction and all.
    const float secondsToday =
        static_cast<float>(QTime::currentTime().msecsSinceStartOfDay()) / 1000.0f;
    m_services.random->randomize(secondsToday);
    Direction = static_cast<std::int16_t>(2.0f * m_services.random->next());

    Speed = 100;
    Hits = 0;
    Misses = 0;
    CrazyMonkey = 0;
    RandomTurns = 0;

    // The speed shows 0 until the first hit or the end of the first game.
    Text4->setText(SignedForm(0));
    Text1->setText(SignedForm(Hits));
    Text3->setText(SignedForm(Misses));
    Text2->setText(SignedForm(0));
    m_news->setStanding(panelForReaders());
}

void Form1::Command1_Click()
{
    PieFlying = 1;
    TurnedThisThrow = 0;
    m_services.sound->play(QString::fromLatin1(rt::ThrowSound));
    setThrowEnabled(false);
}

void Form1::setThrowEnabled(bool enabled)
{
    // Locking the focused button would hand the focus on to "About", and
    // the player's next Space would open it. The button lets the focus go
    // while the pie flies, to no other control, and takes it back when it
    // unlocks. A screen reader stays on the button all along, and hears
    // the news of the throw there.
    if (!enabled && Command1->hasFocus()) {
        m_throwHadFocus = true;
        m_news->hold();
        Command1->clearFocus();
    }
    Command1->setEnabled(enabled);
    if (enabled && m_throwHadFocus) {
        m_throwHadFocus = false;
        Command1->setFocus();
    }
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    // The focus that the player moves to another button stays there. The
    // focus that the desktop hands on as the window becomes active again
    // (after the game-over dialogs, say) goes back to "Throw It!".
    if (event->type() == QEvent::FocusIn
        && movedByPlayer(static_cast<QFocusEvent *>(event)->reason()))
        m_throwHadFocus = false;
    return rt::Form::eventFilter(watched, event);
}

void Form1::Command2_Click()
{
    if (openAbout)
        openAbout();
}

void Form1::Command3_Click()
{
    if (openHighScores)
        openHighScores();
}

void Form1::turnAround()
{
    Direction = Direction == 1 ? 0 : 1;
}

void Form1::Timer1_Timer()
{
    // The high-score step at the end of a game opens dialogs from inside
    // this tick; their event loop must not run the tick again.
    if (m_inTick || !isLoaded())
        return;
    m_inTick = true;

    // Wendo takes one step sideways, or stands and turns at a bound.
    const float left = Picture1->Left();
    if (Direction == 1) {
        if (left <= RightBound)
            Picture1->Move(left + static_cast<float>(Speed));
        else
            Direction = 0;
    } else {
        if (left >= LeftBound)
            Picture1->Move(left - static_cast<float>(Speed));
        else
            Direction = 1;
    }

    // From the 15th hit: speed up to the top speed and turn at random,
    // with odds of 1 in 24 a tick.
    if (RandomTurns == 1) {
        if (Speed < TopSpeed)
            Speed = rt::Add16(Speed, 5);
        const double u = m_services.random->next();
        const int r = static_cast<int>(std::floor(24.0 * u)) + 1;
        if (r == 2)
            turnAround();
    }

    if (PieFlying == 1)
        Picture2->Move(Picture2->Left(), Picture2->Top() - PieStep);

    // From the 20th hit Wendo dodges once as each pie leaves the hand.
    if (CrazyMonkey == 1 && PieFlying == 1 && TurnedThisThrow == 0) {
        turnAround();
        TurnedThisThrow = 1;
    }

    hitTest();
    missTest();
    m_inTick = false;
}

void Form1::showTargetPicture(const QString &fileName, const QString &shows)
{
    // Without the file Wendo keeps the look he was laid out with.
    const auto picture = rt::LoadPicture(m_services.folder, fileName);
    Picture1->setPicture(picture ? *picture : designPicture1());
    Picture1->setAccessibleName(shows);
}

void Form1::hitTest()
{
    const float top = Picture2->Top();
    const float left = Picture1->Left();
    if (!(top <= PieBandBottom && top >= PieBandTop && left >= TargetBandLeft
          && left <= TargetBandRight))
        return;

    Timer1->setEnabled(false);
    Picture2->Move(Picture2->Left(), PieRest);
    m_services.sound->play(QString::fromLatin1(rt::SplatSound));
    showTargetPicture(QString::fromLatin1(rt::PiedPicture), u"Wendo with a pie in his face"_s);

    const int points = pointsFor(Picture1->Left());
    Score = rt::Add16(Score, points);
    Text4->setText(SignedForm(Score));
    Hits = rt::Add16(Hits, 1);
    Text1->setText(SignedForm(Hits));
    if (Speed < TopSpeedAfterHits)
        Speed = rt::Add16(Speed, 5);
    Text2->setText(PlainForm(Speed));
    if (Hits == 15)
        RandomTurns = 1;
    if (Hits == 20)
        CrazyMonkey = 1;
    tellScore(u"Hit, %1 points."_s.arg(points));

    // A one-second pause with the pie in Wendo's face.
    Timer2->setEnabled(true);
}

void Form1::missTest()
{
    if (!(Picture2->Top() < 0.0f))
        return;

    PieFlying = 0;
    Misses = rt::Add16(Misses, 1);
    if (Misses >= MissWarning) {
        rt::setForeColor(Text3, Qt::red);
        // What the red says to a screen reader.
        const int left = MissesPerGame - Misses;
        if (left > 0)
            Text3->setAccessibleDescription(left == 1 ? u"1 miss left"_s
                                                      : u"%1 misses left"_s.arg(left));
    }
    Score = rt::Add16(Score, -MissPenalty);
    Text4->setText(SignedForm(Score));
    Text3->setText(SignedForm(Misses));

    if (Misses == MissesPerGame) {
        const std::int16_t finalScore = Score;
        if (gameOverStep)
            gameOverStep();
        // The player may have closed the window while a dialog was open.
        if (!isLoaded())
            return;
        resetGame();
        // Said when the reader is back on "Throw It!"; the dialogs have
        // told the final score already.
        tellScore(u"Game over with a score of %1. New game."_s.arg(finalScore));
    } else {
        tellScore(u"Miss, %1 points off."_s.arg(MissPenalty));
    }

    Picture2->Move(Picture2->Left(), PieRest);
    setThrowEnabled(true);
}

void Form1::resetGame()
{
    Timer1->setInterval(TickInterval);
    // Back to the window's own text colour: black on the classic light
    // desktop, light on a dark one. The warning above stays red.
    rt::setForeColor(Text3, window()->palette().color(QPalette::WindowText));
    Text3->setAccessibleDescription(QString());
    Timer2->setInterval(PauseInterval);
    Timer2->setEnabled(false);

    Direction = 1;
    Speed = 100;
    Hits = 0;
    Score = 0;
    Misses = 0;
    CrazyMonkey = 0;
    RandomTurns = 0;

    Text1->setText(SignedForm(Hits));
    Text4->setText(SignedForm(Score));
    Text3->setText(SignedForm(Misses));
    Text2->setText(SignedForm(Speed));
}

void Form1::Timer2_Timer()
{
    if (!isLoaded())
        return;
    showTargetPicture(QString::fromLatin1(rt::WendoPicture), u"Wendo"_s);
    Timer2->setEnabled(false);
    Timer1->setEnabled(true);
    Picture2->Move(Picture2->Left(), PieRest);
    setThrowEnabled(true);
    PieFlying = 0;
    TurnedThisThrow = 0;
}
