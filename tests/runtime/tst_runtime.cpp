// The runtime layer: number forms, 16-bit saturation, picture boxes in
// twips, timers, the life of a window and its content in a larger window.

#include "fonts.h"
#include "controls.h"
#include "form.h"
#include "numbers.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QWindow>
#include <QSignalSpy>
#include <QTest>

namespace {

// A window with one label and one button, counting its events.
class CountingForm : public rt::Form {
public:
    explicit CountingForm(QObject *parent) : rt::Form(QStringLiteral("Counting"), parent) {}
    int builds = 0, initializes = 0, loads = 0, activations = 0;
    int field = 0;
    QPointer<QLabel> label;

protected:
    void build(rt::FormWindow *w) override
    {
        ++builds;
        w->setClientSize(3000, 1500);
        label = rt::makeLabel(w, {.name = QStringLiteral("Label1"), .caption = QStringLiteral("design"),
                                  .at = {.left = 120, .top = 120, .width = 1500, .height = 255}});
    }
    void Form_Initialize() override { ++initializes; }
    void Form_Load() override { ++loads; }
    void Form_Activate() override { ++activations; }
};

} // namespace

class RuntimeTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // As the program does at its start.
    void initTestCase() { rt::registerFontSubstitutes(); }
    void numberForms_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("signedForm");
        QTest::addColumn<QString>("plainForm");
        QTest::newRow("zero") << 0 << " 0" << "0";
        QTest::newRow("positive") << 250 << " 250" << "250";
        QTest::newRow("negative") << -100 << "-100" << "-100";
        QTest::newRow("largest") << 32767 << " 32767" << "32767";
        QTest::newRow("smallest") << -32768 << "-32768" << "-32768";
    }
    void numberForms()
    {
        QFETCH(QString, signedForm);
        QFETCH(QString, plainForm);
        QFETCH(int, value);
        QCOMPARE(rt::SignedForm(value), signedForm);
        QCOMPARE(rt::PlainForm(value), plainForm);
    }

    void sixteenBitSumsSaturate_data()
    {
        QTest::addColumn<int>("a");
        QTest::addColumn<int>("b");
        QTest::addColumn<int>("sum");
        QTest::newRow("ordinary") << 100 << 5 << 105;
        QTest::newRow("to the top") << 32517 << 250 << 32767;
        QTest::newRow("past the top") << 32600 << 250 << 32767;
        QTest::newRow("at the top") << 32767 << 1 << 32767;
        QTest::newRow("past the bottom") << -32700 << -100 << -32768;
        QTest::newRow("back from the top") << 32767 << -100 << 32667;
    }
    void sixteenBitSumsSaturate()
    {
        QFETCH(int, sum);
        QFETCH(int, a);
        QFETCH(int, b);
        QCOMPARE(int(rt::Add16(static_cast<std::int16_t>(a), b)), sum);
    }

    void pictureBoxKeepsTwipsAsSet()
    {
        QWidget parent;
        rt::PictureBox box(&parent, QStringLiteral("Picture1"), rt::Picture(),
                           {.left = 2760, .top = 240, .width = 1575, .height = 1935}, 1);
        QCOMPARE(box.size(), QSize(105, 129));
        box.Move(2767.5f);
        // The box reports exactly what was set, though it sits on a pixel.
        QCOMPARE(box.Left(), 2767.5f);
        QCOMPARE(box.Top(), 240.0f);
        QCOMPARE(box.pos(), QPoint(185, 16));
        box.Move(-37.0f, 5510.0f);
        QCOMPARE(box.Left(), -37.0f);
        QCOMPARE(box.Top(), 5510.0f);
        QCOMPARE(box.pos(), QPoint(-2, 367));
        // A new picture leaves the box's size alone.
        box.setPicture(rt::Picture(QPixmap(50, 50)));
        QCOMPARE(box.size(), QSize(105, 129));
    }

    void timerRunsOnlyWhenEnabledWithAnInterval()
    {
        QObject owner;
        rt::Timer timer(&owner, QStringLiteral("Timer1"), 500, true);
        QVERIFY(timer.isRunning());
        timer.setEnabled(false);
        QVERIFY(!timer.isRunning());
        timer.setInterval(7);
        QVERIFY(!timer.isRunning());
        timer.setEnabled(true);
        QVERIFY(timer.isRunning());
        timer.setInterval(0);
        QVERIFY(!timer.isRunning());
        timer.setInterval(5);
        QSignalSpy ticks(&timer, &rt::Timer::tick);
        QVERIFY(ticks.wait(1000));
    }

    void formObjectOutlivesItsWindow()
    {
        CountingForm form(nullptr);
        QVERIFY(!form.isLoaded());
        form.Load();
        QVERIFY(form.isLoaded());
        QCOMPARE(form.window()->size(), QSize(200, 100));
        QCOMPARE(form.window()->minimumSize(), form.window()->maximumSize());
        form.field = 42;
        form.label->setText(QStringLiteral("changed"));

        // Loading a loaded window does nothing.
        form.Load();
        QCOMPARE(form.builds, 1);
        QCOMPARE(form.loads, 1);

        form.Unload();
        QVERIFY(!form.isLoaded());
        QCOMPARE(form.field, 42);
        QTRY_VERIFY(form.label.isNull());

        // A later load builds the window from its design again; the
        // creation event does not run twice.
        form.Load();
        QCOMPARE(form.label->text(), QStringLiteral("design"));
        QCOMPARE(form.builds, 2);
        QCOMPARE(form.loads, 2);
        QCOMPARE(form.initializes, 1);
    }

    void secondShowRaisesTheSameWindow()
    {
        CountingForm form(nullptr);
        form.Show();
        QVERIFY(QTest::qWaitForWindowActive(form.window()));
        rt::FormWindow *first = form.window();
        const int activations = form.activations;
        QVERIFY(activations >= 1);

        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));

        form.Show();
        QCOMPARE(form.window(), first);
        QVERIFY(QTest::qWaitForWindowActive(form.window()));
        QCOMPARE(form.builds, 1);
        QVERIFY(form.activations > activations);
    }

    void closingTheWindowUnloadsIt()
    {
        CountingForm form(nullptr);
        form.Show();
        QVERIFY(form.window()->close());
        QVERIFY(!form.isLoaded());
        form.Show();
        QVERIFY(form.isLoaded());
        QCOMPARE(form.builds, 2);
    }

    // A window that a desktop holds larger than its fixed size (maximized
    // for a moment, or for good) shows its content whole in its middle, a
    // moving picture included, and all of it goes back when it is its own
    // size again.
    void aLargerWindowShowsItsContentInItsMiddle()
    {
        rt::FormWindow window(QStringLiteral("Form"));
        window.setClientSize(3000, 1500);
        auto *label = rt::makeLabel(&window, {.name = QStringLiteral("Label1"),
                                              .at = {.left = 120, .top = 120, .width = 1500, .height = 255}});
        auto *box = new rt::PictureBox(&window, QStringLiteral("Picture1"), rt::Picture(),
                                       {.left = 300, .top = 600, .width = 150, .height = 150}, 1);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.windowHandle()->setMaximumSize(QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
        window.windowHandle()->resize(300, 160); // as the desktop does: 100 x 60 more than its 200 x 100
        QTRY_COMPARE(window.origin(), QPoint(50, 30));
        QCOMPARE(label->pos(), QPoint(8 + 50, 8 + 30));
        box->Move(450.0f);
        QCOMPARE(box->pos(), QPoint(30 + 50, 40 + 30));
        QCOMPARE(box->Left(), 450.0f);

        window.windowHandle()->resize(200, 100);
        QTRY_COMPARE(window.size(), QSize(200, 100));
        QCOMPARE(window.origin(), QPoint(0, 0));
        QCOMPARE(label->pos(), QPoint(8, 8));
        QCOMPARE(box->pos(), QPoint(30, 40));
    }

    // A picture moved every 7 ms, as the game tick moves Wendo, is drawn no
    // more often than the screen refreshes, and the last frame shows it
    // where it was put last.
    void aWindowDrawsAtMostOncePerRefresh()
    {
        rt::FormWindow window(QStringLiteral("Form"));
        window.setClientSize(3000, 1500);
        auto *box = new rt::PictureBox(&window, QStringLiteral("Picture1"), rt::Picture(),
                                       {.left = 300, .top = 600, .width = 150, .height = 150}, 1);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // A moved picture is copied in the window's picture; what it
        // uncovers, the window draws.
        struct Frames : QObject {
            QWidget *box = nullptr;
            int count = 0;
            QPoint at;
            bool eventFilter(QObject *, QEvent *e) override
            {
                if (e->type() == QEvent::Paint) {
                    ++count;
                    at = box->pos();
                }
                return false;
            }
        } frames;
        frames.box = box;
        window.installEventFilter(&frames);
        int moves = 0;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        connect(&tick, &QTimer::timeout, [&] { box->Move(300.0f + 45.0f * float(++moves % 40)); });
        QElapsedTimer clock;
        clock.start();
        tick.start(7);
        QTRY_VERIFY(moves >= 100);
        tick.stop();
        const double refreshes = double(clock.elapsed()) * window.screen()->refreshRate() / 1000.0;
        QVERIFY2(frames.count <= refreshes + 2,
                 qPrintable(QStringLiteral("%1 frames in %2 refreshes").arg(frames.count).arg(refreshes)));
        QTRY_COMPARE(frames.at, box->pos());
    }

    void enterAndEscapePressTheirButtons()
    {
        rt::FormWindow window(QStringLiteral("Dialog"));
        auto *ok = rt::makeButton(&window, {.name = QStringLiteral("cmdOK"), .caption = QStringLiteral("OK"),
                                            .at = {.left = 0, .top = 0, .width = 1200, .height = 375}});
        auto *other = rt::makeButton(&window, {.name = QStringLiteral("cmdOther"), .caption = QStringLiteral("Other"),
                                               .at = {.left = 0, .top = 600, .width = 1200, .height = 375},
                                               .tabIndex = 1});
        window.setDefaultButton(ok);
        window.setCancelButton(ok);
        QSignalSpy okClicks(ok, &QPushButton::clicked);
        QSignalSpy otherClicks(other, &QPushButton::clicked);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));

        ok->setFocus();
        QTest::keyClick(&window, Qt::Key_Escape);
        QTest::keyClick(&window, Qt::Key_Return);
        QCOMPARE(okClicks.count(), 2);

        // Enter presses the focused button instead of the default one;
        // Esc still presses the cancel button.
        other->setFocus();
        QTest::keyClick(other, Qt::Key_Return);
        QCOMPARE(otherClicks.count(), 1);
        QTest::keyClick(other, Qt::Key_Escape);
        QCOMPARE(okClicks.count(), 3);
    }
};

QTEST_MAIN(RuntimeTest)
#include "tst_runtime.moc"
