// The main window as it opens: layout, captions, fonts, tab order, the
// state after Form_Load, and the timers before the first hit.

#include "appicon.h"
#include "fonts.h"
#include "gamefixture.h"
#include "release.h"

#include <QSignalSpy>
#include <QTest>

class Form1Test : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // As the program does at its start: the icon read on another thread.
    void initTestCase()
    {
        rt::registerFontSubstitutes();
        assets::readAppIconAhead();
    }
    void windowFrame()
    {
        Game game;
        rt::FormWindow *w = game.form.window();
        QCOMPARE(w->windowTitle(), QStringLiteral("Squibbo!"));
        QCOMPARE(w->size(), QSize(445, 435));
        // Fixed border: the frame cannot resize the window.
        QCOMPARE(w->minimumSize(), w->maximumSize());
        QVERIFY(!w->windowIcon().isNull());
        // Every size a desktop may ask for, sharp on a high-density screen;
        // at 32 pixels the icon of the design.
        const QList<QSize> sizes = w->windowIcon().availableSizes();
        for (const int n : rt::IconSizes)
            QVERIFY2(sizes.contains(QSize(n, n)), qPrintable(QString::number(n)));
        // Both pass through a pixmap: its premultiplied pixels round the
        // half-transparent edge in the processor's own way.
        QCOMPARE(w->windowIcon().pixmap(QSize(32, 32), 1.0).toImage().convertToFormat(QImage::Format_ARGB32),
                 QPixmap::fromImage(QImage(QStringLiteral(":/design/icon.png")))
                     .toImage().convertToFormat(QImage::Format_ARGB32));
        QCOMPARE(w->font().family(), QStringLiteral("MS Sans Serif"));
        QCOMPARE(w->font().pointSizeF(), 13.5);
    }

    void controlLayout_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("pixels");
        QTest::addColumn<double>("points");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("tab");
        // Geometry in pixels: the design's twips divided by 15.
        auto row = [](const char *name, QRect r, double pt, const char *caption, int tab) {
            QTest::newRow(name) << QString::fromLatin1(name) << r << pt
                                << QString::fromLatin1(caption) << tab;
        };
        row("Command1", {40, 360, 89, 49}, 12, "Throw It!", 0);
        row("Label4", {16, 208, 49, 25}, 12, "Score:", 6);
        row("Text4", {78, 200, 89, 33}, 18, " 0", 20);
        row("Label1", {16, 240, 33, 25}, 12, "Hits:", 3);
        row("Text1", {80, 240, 57, 25}, 13.5, " 0", 19);
        row("Label3", {16, 264, 57, 25}, 12, "Misses:", 4);
        row("Text3", {80, 264, 57, 33}, 13.5, " 0", 18);
        row("Label2", {16, 296, 57, 25}, 8.25, "Speed:", 5);
        row("Text2", {84, 296, 49, 25}, 8.25, " 0", 17);
        row("Label14", {296, 168, 137, 25}, 13.5, "Squibbo!", 16);
        row("Command2", {312, 360, 105, 25}, 9.75, "About", 21);
        row("Command3", {312, 392, 105, 25}, 9.75, "High Scores", 22);
    }
    void controlLayout()
    {
        QFETCH(QRect, pixels);
        QFETCH(double, points);
        QFETCH(int, tab);
        QFETCH(QString, caption);
        QFETCH(QString, name);
        Game game;
        auto *w = game.form.window()->findChild<QWidget *>(name);
        QVERIFY2(w, qPrintable(name));
        QCOMPARE(w->geometry(), pixels);
        QCOMPARE(w->font().pointSizeF(), points);
        QCOMPARE(w->font().family(), QStringLiteral("MS Sans Serif"));
        QVERIFY(!w->font().bold() && !w->font().italic() && !w->font().underline());
        QCOMPARE(w->property("TabIndex").toInt(), tab);
        if (auto *label = qobject_cast<QLabel *>(w))
            QCOMPARE(label->text(), caption);
        else
            QCOMPARE(qobject_cast<QPushButton *>(w)->text(), caption);
    }

    void instructionLines_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("design");
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("caption");
        auto row = [](const char *name, QRect r, int tab, const char *caption) {
            QTest::newRow(name) << QString::fromLatin1(name) << r << tab
                                << QString::fromLatin1(caption);
        };
        row("Label5", {294, 216, 129, 15}, 7, "-  Click \"Throw it\" to throw");
        row("Label6", {296, 228, 129, 21}, 8, "  a pie.  Aim towards Wendo's");
        row("Label7", {288, 240, 137, 25}, 9, "     chin for maximum impact");
        row("Label8", {288, 251, 137, 30}, 10, "     and points.");
        row("Label9", {288, 272, 145, 17}, 11, "  -  When you miss 10 times,");
        row("Label10", {288, 284, 145, 21}, 12, "     your game is over.");
        row("Label11", {288, 304, 145, 17}, 13, "  -  Watch out when you get to");
        row("Label12", {288, 318, 145, 19}, 14, "     20 hits -- Wendo will begin to");
        row("Label13", {288, 330, 145, 31}, 15, "     move like a crazy monkey.");
    }
    void instructionLines()
    {
        QFETCH(QString, caption);
        QFETCH(int, tab);
        QFETCH(QString, name);
        QFETCH(QRect, design);
        Game game;
        auto *label = game.form.window()->findChild<QLabel *>(name);
        QVERIFY(label);
        QCOMPARE(label->text(), caption);
        QCOMPARE(label->property("TabIndex").toInt(), tab);
        QCOMPARE(label->font().pointSizeF(), 8.25);
        QCOMPARE(label->pos(), design.topLeft());
        QCOMPARE(label->height(), design.height());
        // Widened only as far as the line needs, and never narrower than
        // designed; the whole line shows and ends inside the window.
        const int needed = label->fontMetrics().horizontalAdvance(label->text());
        QVERIFY(label->width() >= design.width());
        QVERIFY2(label->width() >= needed, qPrintable(QString::number(needed)));
        QVERIFY(label->width() <= std::max(design.width(), needed + 1));
        QVERIFY(label->geometry().right() < 445);
        QVERIFY(!label->autoFillBackground());
    }

    void picturesAndRule()
    {
        Game game;
        Form1 &f = game.form;
        QCOMPARE(f.Picture1->geometry(), QRect(184, 16, 105, 129));
        QCOMPARE(f.Picture2->geometry(), QRect(184, 376, 88, 41));
        QCOMPARE(f.Picture1->Left(), 2760.0f);
        QCOMPARE(f.Picture2->Top(), 5640.0f);
        QCOMPARE(f.Picture1->picture().size(), QSize(103, 129));
        QCOMPARE(f.Picture2->picture().size(), QSize(88, 41));
        QCOMPARE(f.Picture1->property("TabIndex").toInt(), 1);
        QCOMPARE(f.Picture2->property("TabIndex").toInt(), 2);
        QCOMPARE(f.Line1->geometry(), QRect(296, 200, 128, 1));
    }

    void tabOrderRunsOverTheButtons()
    {
        Game game;
        Form1 &f = game.form;
        QList<QWidget *> tabStops;
        QWidget *w = f.Command1;
        do {
            if (w->focusPolicy() & Qt::TabFocus)
                tabStops.append(w);
            w = w->nextInFocusChain();
        } while (w != f.Command1);
        QCOMPARE(tabStops, (QList<QWidget *>{f.Command1, f.Command2, f.Command3}));
    }

    void formLoadState()
    {
        Game game;
        Form1 &f = game.form;
        QCOMPARE(f.Speed, 100);
        QCOMPARE(f.Hits, 0);
        QCOMPARE(f.Misses, 0);
        QCOMPARE(f.CrazyMonkey, 0);
        QCOMPARE(f.RandomTurns, 0);
        QCOMPARE(f.PieFlying, 0);
        QCOMPARE(f.Score, 0);
        QCOMPARE(f.TurnedThisThrow, 0);
        // All four values read a blank and 0, the speed too.
        for (QLabel *value : {f.Text4.data(), f.Text1.data(), f.Text3.data(), f.Text2.data()})
            QCOMPARE(value->text(), QStringLiteral(" 0"));
        QCOMPARE(f.Timer1->Interval(), 7);
        QVERIFY(f.Timer1->Enabled());
        QCOMPARE(f.Timer2->Interval(), 1000);
        QVERIFY(!f.Timer2->Enabled());
        QVERIFY(f.Command1->isEnabled());
        // Seeded once, from the seconds since midnight.
        QCOMPARE(game.doubles.random->seeds.size(), std::size_t{1});
        QVERIFY(game.doubles.random->seeds[0] >= 0.0 && game.doubles.random->seeds[0] < 86400.0);
        QCOMPARE(game.doubles.random->draws, 1);
        QVERIFY(game.doubles.sound->played.isEmpty());
    }

    void directionIsDrawnAtRandom_data()
    {
        QTest::addColumn<float>("draw");
        QTest::addColumn<int>("direction");
        QTest::newRow("0") << 0.0f << 0;
        QTest::newRow("just below a half") << 0.49999997f << 0;
        QTest::newRow("a half") << 0.5f << 1;
        QTest::newRow("just below 1") << 0.99999994f << 1;
    }
    void directionIsDrawnAtRandom()
    {
        QFETCH(int, direction);
        QFETCH(float, draw);
        Game game(draw);
        QCOMPARE(int(game.form.Direction), direction);
    }

    void secondTimerWaitsForAHit()
    {
        Game game;
        game.form.Show();
        QSignalSpy pauses(game.form.Timer2.data(), &rt::Timer::tick);
        QSignalSpy ticks(game.form.Timer1.data(), &rt::Timer::tick);
        QTest::qWait(1500);
        QVERIFY(ticks.count() > 20);
        QCOMPARE(pauses.count(), 0);
    }

    void closingTheWindowStopsItsTimers()
    {
        Game game;
        game.form.Show();
        QPointer<rt::Timer> tick = game.form.Timer1;
        game.form.window()->close();
        QVERIFY(!game.form.isLoaded());
        // Nothing of the game moves once the window is gone.
        const float left = game.form.Picture1 ? game.form.Picture1->Left() : 0.0f;
        game.form.Timer1_Timer();
        if (game.form.Picture1)
            QCOMPARE(game.form.Picture1->Left(), left);
        QTRY_VERIFY(tick.isNull());
    }
};

QTEST_MAIN(Form1Test)
#include "tst_form1.moc"
