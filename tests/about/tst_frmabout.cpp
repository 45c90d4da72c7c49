// The About window as the player sees it: layout, texts, the engraved
// separator, the keyboard, and a fresh window at every opening.

#include "controls.h"
#include "fonts.h"
#include "frmabout.h"
#include "release.h"
#include "memoryregistry.h"
#include "testdoubles.h"
#include "twips.h"

#include <QApplication>
#include <QtTest>
#include <optional>

class FrmAboutTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { rt::registerFontSubstitutes(); }
    void init()
    {
        m_doubles.emplace();
        m_services = m_doubles->services(QString());
        m_about = new frmAbout(m_services, m_registry, &m_owner);
        m_about->Show();
        QVERIFY(QTest::qWaitForWindowActive(m_about->window()));
    }
    void cleanup() { delete m_about; }

    void windowIsFixedDialogAfterLoad()
    {
        QWidget *w = m_about->window();
        QCOMPARE(w->windowTitle(), QStringLiteral("About Squibbo"));
        QCOMPARE(w->minimumSize(), QSize(381, 210));
        QCOMPARE(w->maximumSize(), QSize(381, 210));
        QVERIFY(!(w->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QCOMPARE(m_about->lblTitle->text(), QStringLiteral("Squibbo"));
        QCOMPARE(m_about->lblVersion->text(), QStringLiteral("Version %1.%2.%3").arg(rt::AppMajor).arg(rt::AppMinor).arg(rt::AppRevision));
        QVERIFY(m_about->Label2->text().contains(QStringLiteral("Freeware!  ")));
        QVERIFY(m_about->Label2->text().contains(QStringLiteral("it?  ")));
    }

    void controlsFollowTheDesign_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("twips");
        QTest::addColumn<double>("points");
        QTest::addColumn<bool>("black");
        QTest::addColumn<int>("tab");

        QTest::newRow("cmdOK") << "cmdOK" << QRect(4245, 2265, 1260, 345) << 8.25 << false << 0;
        QTest::newRow("cmdSysInfo") << "cmdSysInfo" << QRect(4260, 2715, 1245, 345) << 8.25 << false << 2;
        QTest::newRow("Label2") << "Label2" << QRect(1020, 1515, 4215, 255) << 8.25 << false << 8;
        QTest::newRow("Label1") << "Label1" << QRect(1020, 1275, 3975, 255) << 8.25 << false << 7;
        QTest::newRow("lblDescription") << "lblDescription" << QRect(1035, 1080, 3885, 195) << 8.25 << true << 3;
        QTest::newRow("lblTitle") << "lblTitle" << QRect(1770, 165, 2355, 360) << 12.0 << true << 5;
        QTest::newRow("lblVersion") << "lblVersion" << QRect(1800, 600, 3885, 225) << 8.25 << false << 6;
        QTest::newRow("lblDisclaimer") << "lblDisclaimer" << QRect(240, 2265, 3870, 825) << 8.25 << true << 4;
    }
    void controlsFollowTheDesign()
    {
        QFETCH(QString, name);
        QFETCH(QRect, twips);
        QFETCH(double, points);
        QFETCH(bool, black);
        QFETCH(int, tab);

        auto *w = m_about->window()->findChild<QWidget *>(name);
        QVERIFY(w);
        QCOMPARE(w->geometry(), rt::twipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
        QCOMPARE(w->font().family(), QStringLiteral("MS Sans Serif"));
        QCOMPARE(w->font().pointSizeF(), points);
        QCOMPARE(w->font().weight(), QFont::Normal);
        QCOMPARE(w->property("TabIndex").toInt(), tab);
        if (auto *label = qobject_cast<QLabel *>(w)) {
            QVERIFY(label->autoFillBackground());
            const QColor text = black ? QColor(Qt::black) : QApplication::palette().color(QPalette::WindowText);
            QCOMPARE(rt::foreColor(label), text);
            // One line that shows whole.
            QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
                     qPrintable(label->text()));
        }
    }

    void pieAndEngravedSeparatorAreDrawn()
    {
        QCOMPARE(m_about->picIcon->geometry(), QRect(8, 16, 88, 41));
        QCOMPARE(m_about->picIcon->picture().size(), QSize(88, 41));
        const QImage shot = m_about->window()->grab().toImage();
        for (int x : {7, 200, 376}) {
            QCOMPARE(shot.pixelColor(x, 139), QColor(128, 128, 128));
            QCOMPARE(shot.pixelColor(x, 140), QColor(Qt::white));
            QCOMPARE(shot.pixelColor(x, 141), QColor(Qt::white));
        }
        QVERIFY(shot.pixelColor(200, 138) != QColor(128, 128, 128));
        QVERIFY(shot.pixelColor(200, 142) != QColor(Qt::white));
    }

    // The picture is no Tab stop: it only decorates.
    void okHasTheFocusAndTabVisitsTheButtons()
    {
        QCOMPARE(QApplication::focusWidget(), m_about->cmdOK.data());
        const QList<QWidget *> order{m_about->cmdSysInfo, m_about->cmdOK};
        for (QWidget *next : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
    }

    void keys_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<bool>("sysInfo");

        const int none = Qt::NoModifier;
        QTest::newRow("Enter on OK") << "cmdOK" << int(Qt::Key_Return) << none << true << false;
        QTest::newRow("keypad Enter on OK") << "cmdOK" << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << true << false;
        QTest::newRow("Esc on OK") << "cmdOK" << int(Qt::Key_Escape) << none << true << false;
        QTest::newRow("Enter on the picture") << "picIcon" << int(Qt::Key_Return) << none << true << false;
        QTest::newRow("Esc on the picture") << "picIcon" << int(Qt::Key_Escape) << none << true << false;
        QTest::newRow("Enter on System Info") << "cmdSysInfo" << int(Qt::Key_Return) << none << false << true;
        QTest::newRow("Esc on System Info") << "cmdSysInfo" << int(Qt::Key_Escape) << none << true << false;
        QTest::newRow("Alt+S") << "cmdOK" << int(Qt::Key_S) << int(Qt::AltModifier) << false << true;
    }
    void keys()
    {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, closes);
        QFETCH(bool, sysInfo);

        auto *target = m_about->window()->findChild<QWidget *>(focus);
        target->setFocus();
        QTest::keyClick(target, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        // With nothing in the registry, a press of System Info shows the
        // message. (An access key presses its button a moment later.)
        QTRY_COMPARE(m_doubles->messageBox->shown.size(), sysInfo ? 1u : 0u);
        QCOMPARE(!m_about->isLoaded(), closes);
    }

    void okClosesAndTheNextOpeningIsFresh()
    {
        QPointer<QWidget> first = m_about->window();
        m_about->lblTitle->setText(QStringLiteral("changed"));
        m_about->cmdSysInfo->setFocus();
        QTest::mouseClick(m_about->cmdOK, Qt::LeftButton);
        QVERIFY(!m_about->isLoaded());
        QTRY_VERIFY(first.isNull());

        m_about->Show();
        QVERIFY(QTest::qWaitForWindowActive(m_about->window()));
        QCOMPARE(m_about->lblTitle->text(), QStringLiteral("Squibbo"));
        QCOMPARE(QApplication::focusWidget(), m_about->cmdOK.data());
    }

    void showingAnOpenWindowRaisesTheSameOne()
    {
        QWidget *first = m_about->window();
        m_about->lblVersion->setText(QStringLiteral("kept"));
        m_about->Show();
        QCOMPARE(m_about->window(), first);
        QCOMPARE(m_about->lblVersion->text(), QStringLiteral("kept"));
        int windows = 0;
        for (QWidget *w : QApplication::topLevelWidgets())
            windows += w->objectName() == QLatin1String("frmAbout") && w->isVisible();
        QCOMPARE(windows, 1);
    }

private:
    QObject m_owner;
    MemoryRegistry m_registry;
    std::optional<rt::testing::Doubles> m_doubles;
    rt::Services m_services;
    QPointer<frmAbout> m_about;
};

QTEST_MAIN(FrmAboutTest)
#include "tst_frmabout.moc"
