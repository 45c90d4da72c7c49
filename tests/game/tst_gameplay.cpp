// A game tick by tick: Wendo's steps and turns, the pie's flight, hits and
// their points, misses, levels, the pause and the end of a game.

#include "fonts.h"
#include "gamefixture.h"
#include "numbers.h"

#include <QDialog>
#include <QDir>
#include <QSignalSpy>
#include <QTimer>
#include <QTemporaryDir>
#include <QTest>

class GameplayTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // As the program does at its start.
    void initTestCase() { rt::registerFontSubstitutes(); }
    void throwFlagsThePieAndLocksTheButton()
    {
        Game game;
        Form1 &f = game.form;
        f.TurnedThisThrow = 1;
        f.Command1_Click();
        QCOMPARE(f.PieFlying, 1);
        QCOMPARE(f.TurnedThisThrow, 0);
        QVERIFY(!f.Command1->isEnabled());
        QCOMPARE(game.doubles.sound->played, QStringList{QStringLiteral("fling2.wav")});
        // The pie waits for the next tick.
        QCOMPARE(f.Picture2->Top(), 5640.0f);
    }

    void wendoStandsStillForOneTickAtABound_data()
    {
        QTest::addColumn<int>("direction");
        QTest::addColumn<float>("start");
        QTest::addColumn<float>("overshoot");
        QTest::addColumn<float>("after");
        QTest::newRow("right bound") << 1 << 5000.0f << 5100.0f << 5000.0f;
        QTest::newRow("left bound") << 0 << 100.0f << 0.0f << 100.0f;
        QTest::newRow("left bound, fraction") << 0 << 100.5f << 0.5f << 100.5f;
    }
    void wendoStandsStillForOneTickAtABound()
    {
        QFETCH(float, start);
        QFETCH(float, overshoot);
        QFETCH(float, after);
        Game game;
        Form1 &f = game.form;
        QFETCH(int, direction);
        f.Direction = static_cast<std::int16_t>(direction);
        f.Picture1->Move(start);
        game.ticks(1);
        QCOMPARE(f.Picture1->Left(), overshoot);
        QCOMPARE(int(f.Direction), direction);
        game.ticks(1);
        QCOMPARE(f.Picture1->Left(), overshoot);
        QCOMPARE(int(f.Direction), 1 - direction);
        game.ticks(1);
        QCOMPARE(f.Picture1->Left(), after);
        // No random number is drawn while the random turns are off.
        QCOMPARE(game.doubles.random->draws, 1);
    }

    void pieRisesTickByTick_data()
    {
        QTest::addColumn<float>("start");
        QTest::addColumn<int>("ticks");
        QTest::addColumn<float>("top");
        QTest::newRow("from rest, 1") << 5760.0f << 1 << 5510.0f;
        QTest::newRow("from rest, 16") << 5760.0f << 16 << 1760.0f;
        QTest::newRow("from rest, 22") << 5760.0f << 22 << 260.0f;
        QTest::newRow("from rest, 23") << 5760.0f << 23 << 10.0f;
        QTest::newRow("from design place, 15") << 5640.0f << 15 << 1890.0f;
        QTest::newRow("from design place, 22") << 5640.0f << 22 << 140.0f;
    }
    void pieRisesTickByTick()
    {
        QFETCH(float, start);
        QFETCH(int, ticks);
        QFETCH(float, top);
        Game game;
        Form1 &f = game.form;
        game.throwWithWendoAway(start);
        game.ticks(ticks);
        QCOMPARE(f.Picture2->Top(), top);
        QCOMPARE(f.Picture2->Left(), 2760.0f);
        QCOMPARE(f.Misses, 0);
        QCOMPARE(f.PieFlying, 1);
    }

    void pieMissesAfterLeavingTheTop_data()
    {
        QTest::addColumn<float>("start");
        QTest::addColumn<int>("ticks");
        QTest::newRow("from rest") << 5760.0f << 24;
        QTest::newRow("from design place") << 5640.0f << 23;
    }
    void pieMissesAfterLeavingTheTop()
    {
        QFETCH(float, start);
        Game game;
        Form1 &f = game.form;
        game.throwWithWendoAway(start);
        QFETCH(int, ticks);
        game.ticks(ticks - 1);
        QCOMPARE(f.Misses, 0);
        game.ticks(1);
        QCOMPARE(f.Misses, 1);
        QCOMPARE(f.Score, -100);
        QCOMPARE(f.PieFlying, 0);
        QCOMPARE(f.Picture2->Top(), 5760.0f);
        QVERIFY(f.Command1->isEnabled());
        QCOMPARE(f.Text4->text(), QStringLiteral("-100"));
        QCOMPARE(f.Text3->text(), QStringLiteral(" 1"));
    }

    void missTestEdge_data()
    {
        QTest::addColumn<float>("top");
        QTest::addColumn<int>("misses");
        QTest::newRow("0 is still in the field") << 0.0f << 0;
        QTest::newRow("-1 has left it") << -1.0f << 1;
    }
    void missTestEdge()
    {
        QFETCH(float, top);
        QFETCH(int, misses);
        Game game;
        Form1 &f = game.form;
        f.Speed = 0;
        f.Picture1->Move(4500.0f);
        f.Command1_Click();
        f.Picture2->Move(f.Picture2->Left(), top + 250.0f);
        game.ticks(1);
        QCOMPARE(int(f.Misses), misses);
    }

    void pointsByWhereWendoStood_data()
    {
        QTest::addColumn<float>("left");
        QTest::addColumn<int>("points");
        QTest::newRow("1960, the band's edge") << 1960.0f << 0;
        QTest::newRow("1965") << 1965.0f << 50;
        QTest::newRow("2040") << 2040.0f << 50;
        QTest::newRow("2045") << 2045.0f << 100;
        QTest::newRow("2340") << 2340.0f << 100;
        QTest::newRow("2345") << 2345.0f << 125;
        QTest::newRow("2500") << 2500.0f << 125;
        QTest::newRow("2500.25") << 2500.25f << 250;
        QTest::newRow("3232") << 3232.0f << 250;
        QTest::newRow("just below 3373") << 3372.75f << 250;
        QTest::newRow("3373") << 3373.0f << 50;
        QTest::newRow("3460, the band's edge") << 3460.0f << 50;
    }
    void pointsByWhereWendoStood()
    {
        QFETCH(float, left);
        Game game;
        Form1 &f = game.form;
        f.Score = 1000;
        game.throwAndTick(left, 1000.0f);
        QCOMPARE(f.Hits, 1);
        QFETCH(int, points);
        QCOMPARE(int(f.Score), 1000 + points);
        QCOMPARE(f.Text4->text(), rt::SignedForm(1000 + points));
        // What a screen reader hears on the button.
        QCOMPARE(f.Command1->accessibleDescription(),
                 QStringLiteral("Score %1, hits 1, misses 0, speed 105.").arg(1000 + points));
    }

    void theBands_data()
    {
        QTest::addColumn<float>("left");
        QTest::addColumn<float>("top");
        QTest::addColumn<bool>("hit");
        QTest::newRow("pie at 1900") << 2800.0f << 1900.0f << true;
        QTest::newRow("pie at 130") << 2800.0f << 130.0f << true;
        QTest::newRow("pie at 1900.5") << 2800.0f << 1900.5f << false;
        QTest::newRow("pie at 129.5") << 2800.0f << 129.5f << false;
        QTest::newRow("Wendo at 1959.5") << 1959.5f << 1000.0f << false;
        QTest::newRow("Wendo at 3460.5") << 3460.5f << 1000.0f << false;
    }
    void theBands()
    {
        QFETCH(float, left);
        QFETCH(float, top);
        Game game;
        Form1 &f = game.form;
        game.throwAndTick(left, top);
        QFETCH(bool, hit);
        QCOMPARE(f.Hits == 1, hit);
        QCOMPARE(!f.Timer1->Enabled(), hit);
        QCOMPARE(f.Timer2->Enabled(), hit);
    }

    void aHitPausesTheGame()
    {
        Game game;
        Form1 &f = game.form;
        QPixmap pied(105, 129);
        pied.fill(Qt::white);
        QVERIFY(pied.save(game.folder.filePath(QStringLiteral("pied.bmp"))));

        game.throwAndTick(2800.0f, 1000.0f);
        QVERIFY(!f.Timer1->Enabled());
        QVERIFY(f.Timer2->Enabled());
        QCOMPARE(f.Picture2->Top(), 5760.0f);
        QCOMPARE(f.Picture1->picture().plain().toImage().pixelColor(50, 50), QColor(Qt::white));
        QCOMPARE(f.PieFlying, 1);
        QVERIFY(!f.Command1->isEnabled());
        QCOMPARE(game.doubles.sound->played,
                 (QStringList{QStringLiteral("fling2.wav"), QStringLiteral("splat.wav")}));
        // The miss test of the same tick found the pie back at rest.
        QCOMPARE(f.Misses, 0);
        // After the first hit: score and hits in the signed form, the
        // speed in the plain form.
        QCOMPARE(f.Text4->text(), QStringLiteral(" 250"));
        QCOMPARE(f.Text1->text(), QStringLiteral(" 1"));
        QCOMPARE(f.Text2->text(), QStringLiteral("105"));

        // "wendo.bmp" is missing: the pause ends all the same, with Wendo
        // as he was laid out.
        f.Timer2_Timer();
        QVERIFY(f.Timer1->Enabled());
        QVERIFY(!f.Timer2->Enabled());
        QVERIFY(f.Command1->isEnabled());
        QCOMPARE(f.PieFlying, 0);
        QCOMPARE(f.TurnedThisThrow, 0);
        QCOMPARE(f.Picture1->picture().plain().toImage(), Form1::designPicture1().plain().toImage());
    }

    void aMissingPiedPictureStillPauses()
    {
        Game game;
        Form1 &f = game.form;
        f.Picture1->setPicture(rt::Picture());
        game.throwAndTick(2800.0f, 1000.0f);
        QCOMPARE(f.Picture1->picture().plain().toImage(), Form1::designPicture1().plain().toImage());
        QVERIFY(f.Timer2->Enabled());
    }

    void speedAndLevelsOverAGame()
    {
        Game game;
        Form1 &f = game.form;
        for (int hit = 1; hit <= 21; ++hit) {
            game.hitAt(2800.0f);
            QCOMPARE(int(f.Hits), hit);
            QCOMPARE(int(f.RandomTurns), hit >= 15 ? 1 : 0);
            QCOMPARE(int(f.CrazyMonkey), hit >= 20 ? 1 : 0);
            if (hit <= 13)
                QCOMPARE(int(f.Speed), 100 + 5 * hit);
            if (hit == 15) {
                // The hit leaves 165; the first tick after the pause takes
                // the speed to 170.
                QCOMPARE(f.Speed, 165);
                QCOMPARE(f.Text2->text(), QStringLiteral("165"));
                game.ticks(1);
                QCOMPARE(f.Speed, 170);
                game.ticks(5);
                QCOMPARE(f.Speed, 170);
            }
            if (hit == 16)
                QCOMPARE(f.Text2->text(), QStringLiteral("170"));
        }
    }

    void speedStepsUpToTheTop_data()
    {
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("after");
        QTest::newRow("160") << 160 << 165;
        QTest::newRow("165") << 165 << 170;
        QTest::newRow("170") << 170 << 170;
    }
    void speedStepsUpToTheTop()
    {
        QFETCH(int, speed);
        QFETCH(int, after);
        Game game;
        Form1 &f = game.form;
        f.RandomTurns = 1;
        f.Speed = static_cast<std::int16_t>(speed);
        game.doubles.random->fallback = 0.5f;
        game.ticks(1);
        QCOMPARE(int(f.Speed), after);
    }

    void randomTurnsOnlyOnTwo_data()
    {
        QTest::addColumn<float>("draw");
        QTest::addColumn<bool>("turns");
        QTest::newRow("r = 1") << 0.0f << false;
        QTest::newRow("r = 1, top") << 0.0416f << false;
        QTest::newRow("r = 2") << 0.0417f << true;
        QTest::newRow("r = 2, top") << 0.0833f << true;
        QTest::newRow("r = 3") << 0.0834f << false;
        QTest::newRow("r = 24") << 0.99999994f << false;
    }
    void randomTurnsOnlyOnTwo()
    {
        QFETCH(float, draw);
        QFETCH(bool, turns);
        Game game;
        Form1 &f = game.form;
        f.RandomTurns = 1;
        f.Direction = 1;
        f.Picture1->Move(1000.0f);
        game.doubles.random->script = {draw};
        game.ticks(1);
        QCOMPARE(f.Direction == 0, turns);
        // The turn shows from the next tick: this one moved right.
        QCOMPARE(f.Picture1->Left(), 1000.0f + 100.0f);
    }

    void crazyMonkeyTurnsOncePerThrow_data()
    {
        QTest::addColumn<bool>("randomTurnInFirstTick");
        QTest::addColumn<int>("direction");
        QTest::newRow("forced turn alone") << false << 0;
        QTest::newRow("random turn cancels it") << true << 1;
    }
    void crazyMonkeyTurnsOncePerThrow()
    {
        QFETCH(bool, randomTurnInFirstTick);
        QFETCH(int, direction);
        Game game;
        Form1 &f = game.form;
        f.CrazyMonkey = 1;
        f.RandomTurns = 1;
        f.Speed = 0;
        f.Direction = 1;
        f.Picture1->Move(2500.0f);
        // No pie in flight: no forced turn.
        game.ticks(3);
        QCOMPARE(f.Direction, 1);

        game.doubles.random->script = {randomTurnInFirstTick ? 0.05f : 0.5f};
        game.doubles.random->fallback = 0.5f;
        f.Command1_Click();
        game.ticks(1);
        QCOMPARE(int(f.Direction), direction);
        QCOMPARE(f.TurnedThisThrow, 1);
        const std::int16_t turnedTo = f.Direction;
        game.ticks(10);
        QCOMPARE(f.Direction, turnedTo);
    }

    void theEighthMissTurnsRedAndTheTenthResets()
    {
        Game game;
        Form1 &f = game.form;
        int gameOvers = 0;
        f.gameOverStep = [&] {
            ++gameOvers;
            // The step sees the tenth miss's penalty already taken.
            QCOMPARE(f.Score, -1000);
            QCOMPARE(f.Misses, 10);
            QCOMPARE(f.Text4->text(), QStringLiteral("-1000"));
        };
        for (int miss = 1; miss <= 9; ++miss) {
            game.miss();
            QCOMPARE(int(f.Misses), miss);
            QCOMPARE(rt::foreColor(f.Text3), miss >= 8 ? QColor(Qt::red)
                                                      : f.window()->palette().color(QPalette::WindowText));
        }
        f.Picture1->Move(4800.0f);
        f.Speed = 130;
        f.Hits = 3;
        game.miss();
        QCOMPARE(gameOvers, 1);
        QCOMPARE(f.Misses, 0);
        QCOMPARE(f.Score, 0);
        QCOMPARE(f.Hits, 0);
        QCOMPARE(f.Speed, 100);
        QCOMPARE(f.Direction, 1);
        QCOMPARE(f.RandomTurns, 0);
        QCOMPARE(f.CrazyMonkey, 0);
        QCOMPARE(rt::foreColor(f.Text3), QColor(Qt::black));
        QCOMPARE(f.Text1->text(), QStringLiteral(" 0"));
        QCOMPARE(f.Text4->text(), QStringLiteral(" 0"));
        QCOMPARE(f.Text3->text(), QStringLiteral(" 0"));
        QCOMPARE(f.Text2->text(), QStringLiteral(" 100"));
        QCOMPARE(f.Timer1->Interval(), 7);
        QVERIFY(f.Timer1->Enabled());
        QVERIFY(!f.Timer2->Enabled());
        QCOMPARE(f.Picture2->Top(), 5760.0f);
        QVERIFY(f.Command1->isEnabled());
        // The next game starts from where Wendo stood, moving right.
        const float left = f.Picture1->Left();
        game.ticks(1);
        QCOMPARE(f.Picture1->Left(), left + 100.0f);
    }

    void aDialogAtTheEndOfAGameDoesNotRunTheTickAgain()
    {
        Game game;
        Form1 &f = game.form;
        f.Show();
        QSignalSpy ticks(f.Timer1.data(), &rt::Timer::tick);
        int gameOvers = 0;
        int ticksDuringDialog = 0;
        f.gameOverStep = [&] {
            ++gameOvers;
            // A modal dialog, open for a while, as the name prompt would be.
            QDialog dialog;
            QTimer::singleShot(300, &dialog, &QDialog::accept);
            const int before = ticks.count();
            dialog.exec();
            ticksDuringDialog = ticks.count() - before;
            QCOMPARE(f.Misses, 10);
            QCOMPARE(f.Score, -1000);
        };
        for (int miss = 0; miss < 10; ++miss)
            game.miss();
        // Timer1 kept ticking while the dialog was open, and none of those
        // ticks counted another miss or ended the game again.
        QVERIFY2(ticksDuringDialog > 5, qPrintable(QString::number(ticksDuringDialog)));
        QCOMPARE(gameOvers, 1);
        QCOMPARE(f.Misses, 0);
        QCOMPARE(f.Score, 0);
    }

    void closingTheWindowDuringTheEndOfAGameIsSafe()
    {
        Game game;
        Form1 &f = game.form;
        f.Show();
        // The player closes the main window while the name prompt is up;
        // the window and its controls are gone when the step returns.
        f.gameOverStep = [&] {
            f.window()->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        };
        for (int miss = 0; miss < 10 && f.isLoaded(); ++miss)
            game.miss();
        QVERIFY(!f.isLoaded());
        QVERIFY(f.Text1.isNull());
        game.ticks(3);
        f.Timer2_Timer();
    }

    void theFocusWaitsForTheThrowButton()
    {
        Game game;
        Form1 &f = game.form;
        f.Show();
        f.Timer1->setEnabled(false);
        QVERIFY(QTest::qWaitForWindowActive(f.window()));
        QCOMPARE(f.window()->focusWidget(), static_cast<QWidget *>(f.Command1));
        // Space throws; while the pie flies a second Space opens nothing.
        QTest::keyClick(f.Command1, Qt::Key_Space);
        QCOMPARE(f.PieFlying, 1);
        QVERIFY(!f.Command2->hasFocus());
        f.Picture1->Move(4800.0f);
        f.Picture2->Move(f.Picture2->Left(), 10.0f);
        game.ticks(1);
        QCOMPARE(f.Misses, 1);
        QVERIFY(f.Command1->hasFocus());
    }

    void scoreHoldsAtTheTop()
    {
        Game game;
        Form1 &f = game.form;
        f.Score = 32700;
        game.hitAt(2800.0f);
        QCOMPARE(f.Score, 32767);
        QCOMPARE(f.Text4->text(), QStringLiteral(" 32767"));
        game.miss();
        QCOMPARE(f.Score, 32667);
    }
};

QTEST_MAIN(GameplayTest)
#include "tst_gameplay.moc"
