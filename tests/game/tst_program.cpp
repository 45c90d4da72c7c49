// The three windows wired together: the main window's buttons, the end of
// a game through the high-score step, and the end of the program.

#include "fonts.h"
#include "form1.h"
#include "form2.h"
#include "frmabout.h"
#include "program.h"
#include "testdoubles.h"

#include "scorestesting.h"

#include <QGuiApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTimer>
#include <QTest>

namespace {

const QByteArray Table = tableBytes({{"A", 900}, {"B", 800}, {"C", 700}, {"D", 600}, {"E", 500},
                                     {"F", 400}, {"G", 300}, {"H", 200}, {"I", 100}, {"J", 0}});

struct Run {
    explicit Run(const GameFolder &dir) : folder(dir.path()) { main.Show(); }
    QString folder;
    rt::testing::Doubles doubles;
    Program program{doubles.services(folder)};
    Form1 &main = program.form1();
};

// Ten throws that fly off the top with Wendo far to the right: a game over.
void missTenTimes(Form1 &f)
{
    for (int miss = 0; miss < 10; ++miss) {
        f.Command1_Click();
        f.Picture1->Move(4800.0f);
        f.Picture2->Move(f.Picture2->Left(), 10.0f);
        f.Timer1_Timer();
    }
}

QLabel *label(Form2 &form, int number)
{
    return form.window()->findChild<QLabel *>(QStringLiteral("Label%1").arg(number));
}

} // namespace

class ProgramTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // As the program does at its start.
    void initTestCase() { rt::registerFontSubstitutes(); }
    void buttonsOpenOneWindowEach()
    {
        GameFolder dir;
        QVERIFY(writeBytes(dir.file("squibbo.hi"), Table));
        Run run(dir);
        run.main.Command2_Click();
        rt::FormWindow *about = run.program.about().window();
        QVERIFY(about && about->isVisible());
        run.main.Command2_Click();
        QCOMPARE(run.program.about().window(), about);

        run.main.Command3_Click();
        rt::FormWindow *scores = run.program.form2().window();
        QVERIFY(scores && scores->isVisible());
        run.main.Command3_Click();
        QCOMPARE(run.program.form2().window(), scores);
        QCOMPARE(label(run.program.form2(), 2)->text(), QStringLiteral("#1 - A"));
        // The game keeps ticking behind them.
        QVERIFY(run.main.Timer1->isRunning());
    }

    void theEndOfAGameListsTheNewEntry()
    {
        GameFolder dir;
        QVERIFY(writeBytes(dir.file("squibbo.hi"), Table));
        Run run(dir);
        run.doubles.inputBox->answers = {QStringLiteral("Pie Master")};
        Form1 &f = run.main;
        f.Score = 750;
        missTenTimes(f);
        // 750 less ten misses is -250: below the ninth entry, no place.
        QCOMPARE(run.doubles.messageBox->shown.size(), std::size_t{1});
        QCOMPARE(run.doubles.messageBox->shown[0].text, QStringLiteral("Game Over!"));
        QVERIFY(run.program.form2().isVisible());

        f.Score = 1250;
        missTenTimes(f);
        // 1250 less ten misses is 250: it beats the 200 at rank 8.
        QCOMPARE(run.doubles.inputBox->asked.size(), std::size_t{1});
        Form2 &scores = run.program.form2();
        QVERIFY(scores.isVisible());
        QTRY_COMPARE(label(scores, 9)->text(), QStringLiteral("#8 - Pie Master"));
        QCOMPARE(label(scores, 19)->text(), QStringLiteral(" 250"));
        QCOMPARE(label(scores, 11)->text(), QStringLiteral("#10 - I"));
        QCOMPARE(f.Misses, 0);
        QCOMPARE(f.Score, 0);
    }

    void theProgramEndsWithItsLastWindow()
    {
        GameFolder dir;
        QVERIFY(writeBytes(dir.file("squibbo.hi"), Table));
        Run run(dir);
        run.main.Command2_Click();
        QSignalSpy lastClosed(qGuiApp, &QGuiApplication::lastWindowClosed);
        bool ranOnWithoutMain = false;
        // Closing the main window leaves the About window and the program
        // running; closing the About window then ends the program.
        QTimer::singleShot(0, [&] {
            run.main.window()->close();
            QTimer::singleShot(100, [&] {
                ranOnWithoutMain = lastClosed.isEmpty();
                run.program.about().cmdOK_Click();
            });
        });
        QTimer::singleShot(10000, qApp, &QCoreApplication::quit);
        QElapsedTimer clock;
        clock.start();
        QCoreApplication::exec();
        QVERIFY(ranOnWithoutMain);
        QCOMPARE(lastClosed.count(), 1);
        QVERIFY(clock.elapsed() < 5000);
    }

    void theSoundGetsReadyOnceTheMainWindowIsDrawn()
    {
        GameFolder dir;
        rt::testing::Doubles doubles;
        Program program{doubles.services(dir.path())};
        program.start();
        // The window waits for no sound server.
        QCOMPARE(doubles.sound->prepared, 0);
        QVERIFY(QTest::qWaitForWindowExposed(program.form1().window()));
        QTRY_COMPARE(doubles.sound->prepared, 1);
    }
};

QTEST_MAIN(ProgramTest)
#include "tst_program.moc"
