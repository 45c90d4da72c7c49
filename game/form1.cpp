#include "form1.h"

#include "numbers.h"
#include "picture.h"
#include "twips.h"

#include <QFontMetrics>
#include <QIcon>
#include <QTime>

#include <cmath>

using rt::PlainForm;
using rt::SignedForm;

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
    int left, top, width, height, tab;
    const char *caption;
};

// The nine lines of instructions, one label each, leading blanks and all.
constexpr Instruction Instructions[] = {
    {"Label5", 4410, 3240, 1935, 225, 7, "-  Click \"Throw it\" to throw"},
    {"Label6", 4440, 3420, 1935, 315, 8, "  a pie.  Aim towards Wendo's"},
    {"Label7", 4320, 3600, 2055, 375, 9, "     chin for maximum impact"},
    {"Label8", 4320, 3765, 2055, 450, 10, "     and points."},
    {"Label9", 4320, 4080, 2175, 255, 11, "  -  When you miss 10 times,"},
    {"Label10", 4320, 4260, 2175, 315, 12, "     your game is over."},
    {"Label11", 4320, 4560, 2175, 255, 13, "  -  Watch out when you get to"},
    {"Label12", 4320, 4770, 2175, 285, 14, "     20 hits -- Wendo will begin to"},
    {"Label13", 4320, 4950, 2175, 465, 15, "     move like a crazy monkey."},
};

constexpr double WindowFont = 13.5;
constexpr int ClientWidth = 6675;
constexpr int ClientHeight = 6525;

} // namespace

Form1::Form1(rt::Services &services, QObject *parent)
    : rt::Form(QStringLiteral("Form1"), parent), m_services(services)
{
}

QPixmap Form1::designPicture1()
{
    return QPixmap(QStringLiteral(":/design/picture1.bmp"));
}

QPixmap Form1::designPicture2()
{
    return QPixmap(QStringLiteral(":/design/picture2.bmp"));
}

void Form1::build(rt::FormWindow *w)
{
    w->setWindowTitle(QStringLiteral("Squibbo!"));
    w->setWindowIcon(QIcon(QStringLiteral(":/design/icon.png")));
    w->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                      | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    w->setClientSize(ClientWidth, ClientHeight);
    w->setFont(rt::designFont(WindowFont));

    auto label = [w](const char *name, const QString &caption, int l, int t, int wd, int h,
                     double pt, int tab) {
        return rt::makeLabel(w, QString::fromLatin1(name), caption, l, t, wd, h, pt, tab);
    };

    Command1 = rt::makeButton(w, QStringLiteral("Command1"), QStringLiteral("Throw It!"), 600,
                              5400, 1335, 735, 12, 0);
    Picture1 = new rt::PictureBox(w, QStringLiteral("Picture1"), designPicture1(), 2760, 240,
                                  1575, 1935, 1);
    Picture2 = new rt::PictureBox(w, QStringLiteral("Picture2"), designPicture2(), 2760, 5640,
                                  1320, 615, 2);
    Label4 = label("Label4", QStringLiteral("Score:"), 240, 3120, 735, 375, 12, 6);
    Text4 = label("Text4", QString(), 1170, 3000, 1335, 495, 18, 20);
    Label1 = label("Label1", QStringLiteral("Hits:"), 240, 3600, 495, 375, 12, 3);
    Text1 = label("Text1", QString(), 1200, 3600, 855, 375, WindowFont, 19);
    Label3 = label("Label3", QStringLiteral("Misses:"), 240, 3960, 855, 375, 12, 4);
    Text3 = label("Text3", QString(), 1200, 3960, 855, 495, WindowFont, 18);
    Label2 = label("Label2", QStringLiteral("Speed:"), 240, 4440, 855, 375, 8.25, 5);
    Text2 = label("Text2", QString(), 1260, 4440, 735, 375, 8.25, 17);
    Label14 = label("Label14", QStringLiteral("Squibbo!"), 4440, 2520, 2055, 375, WindowFont, 16);
    Line1 = new rt::LineControl(w, QStringLiteral("Line1"), 4440, 3000, 6360, 3000,
                                w->palette().color(QPalette::WindowText), 1);

    QPointer<QLabel> *instructionLabels[] = {&Label5, &Label6,  &Label7,  &Label8, &Label9,
                                             &Label10, &Label11, &Label12, &Label13};
    for (std::size_t i = 0; i < std::size(Instructions); ++i) {
        const Instruction &in = Instructions[i];
        QLabel *l = label(in.name, QString::fromLatin1(in.caption), in.left, in.top, in.width,
                          in.height, 8.25, in.tab);
        // Our stand-in for MS Sans Serif runs a little wider than the face
        // these lines were set in: widen a label just enough to show its
        // line whole.
        const int needed = QFontMetrics(l->font()).horizontalAdvance(l->text()) + 1;
        if (l->width() < needed)
            l->resize(needed, l->height());
        *instructionLabels[i] = l;
    }

    Command2 = rt::makeButton(w, QStringLiteral("Command2"), QStringLiteral("About"), 4680, 5400,
                              1575, 375, 9.75, 21);
    Command3 = rt::makeButton(w, QStringLiteral("Command3"), QStringLiteral("High Scores"), 4680,
                              5880, 1575, 375, 9.75, 22);
    // Pictures and labels take no focus: Tab runs over the three buttons.
    QWidget::setTabOrder(Command1, Command2);
    QWidget::setTabOrder(Command2, Command3);

    // The pie flies over everything else in its column.
    Picture2->raise();

    Timer1 = new rt::Timer(w, QStringLiteral("Timer1"), 500, true);
    Timer2 = new rt::Timer(w, QStringLiteral("Timer2"), 200, true);

    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(Timer1, &rt::Timer::tick, this, &Form1::Timer1_Timer);
    connect(Timer2, &rt::Timer::tick, this, &Form1::Timer2_Timer);
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
}

void Form1::Command1_Click()
{
    PieFlying = 1;
    TurnedThisThrow = 0;
    m_services.sound->play(QStringLiteral("fling2.wav"));
    setThrowEnabled(false);
}

void Form1::setThrowEnabled(bool enabled)
{
    // Locking the focused button would hand the focus on to "About", and
    // the player's next Space would open it. The focus waits on the window
    // instead and returns to the button when it unlocks.
    QWidget *w = window();
    if (!enabled && Command1->hasFocus()) {
        m_throwHadFocus = true;
        w->setFocus();
    }
    Command1->setEnabled(enabled);
    if (enabled && m_throwHadFocus) {
        m_throwHadFocus = false;
        if (w->focusWidget() == w || !w->focusWidget())
            Command1->setFocus();
    }
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

void Form1::showTargetPicture(const QString &fileName)
{
    // Without the file Wendo keeps the look he was laid out with.
    const auto picture = rt::LoadPicture(fileName);
    Picture1->setPicture(picture ? *picture : designPicture1());
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
    m_services.sound->play(QStringLiteral("splat.wav"));
    showTargetPicture(QStringLiteral("pied.bmp"));

    Score = rt::Add16(Score, pointsFor(Picture1->Left()));
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

    // A one-second pause with the pie in Wendo's face.
    Timer2->setEnabled(true);
}

void Form1::missTest()
{
    if (!(Picture2->Top() < 0.0f))
        return;

    PieFlying = 0;
    Misses = rt::Add16(Misses, 1);
    if (Misses >= MissWarning)
        rt::setForeColor(Text3, Qt::red);
    Score = rt::Add16(Score, -MissPenalty);
    Text4->setText(SignedForm(Score));
    Text3->setText(SignedForm(Misses));

    if (Misses == MissesPerGame) {
        if (gameOverStep)
            gameOverStep();
        // The player may have closed the window while a dialog was open.
        if (!isLoaded())
            return;
        resetGame();
    }

    Picture2->Move(Picture2->Left(), PieRest);
    setThrowEnabled(true);
}

void Form1::resetGame()
{
    Timer1->setInterval(TickInterval);
    rt::setForeColor(Text3, Qt::black);
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
    showTargetPicture(QStringLiteral("wendo.bmp"));
    Timer2->setEnabled(false);
    Timer1->setEnabled(true);
    Picture2->Move(Picture2->Left(), PieRest);
    setThrowEnabled(true);
    PieFlying = 0;
    TurnedThisThrow = 0;
}
