// End to end: "System Info..." in the real About window, with the real
// registry stand-in, file test and program start. Only the message box is
// a double, so that no dialog waits for a player.

#include "fonts.h"
#include "frmabout.h"
#include "services.h"
#include "testdoubles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class SysInfoEndToEndTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        rt::registerFontSubstitutes();
        m_path = qgetenv("PATH");
    }
    void init()
    {
        m_services = rt::Services::platform(QDir::tempPath());
        m_messages = new rt::testing::RecordingMessageBox;
        m_services.messageBox.reset(m_messages);
        m_registry = sysinfo::makePlatformRegistry();
        m_about = new frmAbout(m_services, *m_registry, &m_owner);
        m_about->Show();
        QVERIFY(QTest::qWaitForWindowActive(m_about->window()));
    }
    void cleanup()
    {
        delete m_about;
        qputenv("PATH", m_path);
    }

    void startsTheToolFirstOnThePath()
    {
        QTemporaryDir dir;
        const QString tool = dir.filePath("hardinfo");
        const QString marker = dir.filePath("ran");
        QFile script(tool);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\necho \"$0\" > '" + marker.toLocal8Bit() + "'\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PATH", dir.path().toLocal8Bit() + ':' + m_path);

        QTest::mouseClick(m_about->cmdSysInfo, Qt::LeftButton);

        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker) && QFileInfo(marker).size() > 0, 10000);
        QFile ran(marker);
        QVERIFY(ran.open(QIODevice::ReadOnly));
        QCOMPARE(ran.readAll().trimmed(), tool.toLocal8Bit());
        QVERIFY(m_messages->shown.empty());
        QVERIFY(m_about->isVisible());
    }

    void withoutToolTellsAndStaysOpen()
    {
        QTemporaryDir empty;
        qputenv("PATH", empty.path().toLocal8Bit());
        QWidget *window = m_about->window();
        bool openDuringMessage = false;
        m_messages->onShow = [&] { openDuringMessage = m_about->isVisible(); };

        QTest::mouseClick(m_about->cmdSysInfo, Qt::LeftButton);

        QCOMPARE(m_messages->shown.size(), 1u);
        QCOMPARE(m_messages->shown[0].text, QStringLiteral("System Information Is Unavailable At This Time"));
        QCOMPARE(m_messages->shown[0].title, QStringLiteral("Squibbo"));
        QVERIFY(openDuringMessage);
        QVERIFY(m_about->isVisible());
        QCOMPARE(m_about->window(), window);
        QCOMPARE(m_about->lblTitle->text(), QStringLiteral("Squibbo"));
    }

private:
    QObject m_owner;
    QByteArray m_path;
    rt::Services m_services;
    rt::testing::RecordingMessageBox *m_messages = nullptr;
    std::unique_ptr<sysinfo::Registry> m_registry;
    QPointer<frmAbout> m_about;
};

QTEST_MAIN(SysInfoEndToEndTest)
#include "tst_sysinfo_e2e.moc"
