// Finding and starting the system information tool: the first key's path
// as it stands, the fallback to the folder of the second key, and the
// unavailable message whenever no tool starts.

#include "fonts.h"
#include "frmabout.h"
#include "memoryregistry.h"
#include "testdoubles.h"

#include <QtTest>

using namespace std::string_literals;

Q_DECLARE_METATYPE(std::string)

namespace {
const std::string MsinfoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const std::string LocationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
const QString Tool = QStringLiteral("C:\\WINDOWS\\msinfo32.exe");
const QString InFolder = QStringLiteral("C:\\Tools\\MSINFO32.EXE");
} // namespace

class StartSysInfoTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // As the program does at its start.
    void initTestCase() { rt::registerFontSubstitutes(); }
    void startsToolOrTellsItIsUnavailable_data()
    {
        QTest::addColumn<uint>("pathType"); // 0: no "PATH" value
        QTest::addColumn<std::string>("path");
        QTest::addColumn<std::string>("folder"); // empty: no "MSINFO" value
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("startable");
        QTest::addColumn<QStringList>("tested");
        QTest::addColumn<QStringList>("started");
        QTest::addColumn<bool>("message");

        const QStringList none;
        const std::string tool = "C:\\WINDOWS\\msinfo32.exe\0"s;
        QTest::newRow("first key starts the tool")
            << 1u << tool << "C:\\Tools\0"s << QStringList{InFolder} << QStringList{Tool, InFolder}
            << none << QStringList{Tool} << false;
        QTest::newRow("first key's file cannot start: no fallback")
            << 1u << tool << "C:\\Tools\0"s << QStringList{InFolder} << QStringList{InFolder}
            << none << QStringList{Tool} << true;
        QTest::newRow("first key of another type gives an empty path")
            << 2u << tool << "C:\\Tools\0"s << QStringList{InFolder} << QStringList{InFolder}
            << none << QStringList{QString()} << true;
        QTest::newRow("first key too long: second key")
            << 1u << std::string(1025, 'x') << "C:\\Tools\0"s << QStringList{InFolder}
            << QStringList{InFolder} << QStringList{InFolder} << QStringList{InFolder} << false;
        QTest::newRow("second key's folder holds the tool")
            << 0u << ""s << "C:\\Tools\0"s << QStringList{InFolder} << QStringList{InFolder}
            << QStringList{InFolder} << QStringList{InFolder} << false;
        const QString doubled = QStringLiteral("C:\\Tools\\\\MSINFO32.EXE");
        QTest::newRow("folder ending in a backslash doubles it")
            << 0u << ""s << "C:\\Tools\\\0"s << QStringList{doubled} << QStringList{doubled}
            << QStringList{doubled} << QStringList{doubled} << false;
        QTest::newRow("second key's folder lacks the tool")
            << 0u << ""s << "C:\\Tools\0"s << none << QStringList{InFolder}
            << QStringList{InFolder} << none << true;
        QTest::newRow("tool in the folder cannot start")
            << 0u << ""s << "C:\\Tools\0"s << QStringList{InFolder} << none
            << QStringList{InFolder} << QStringList{InFolder} << true;
        QTest::newRow("both keys absent")
            << 0u << ""s << ""s << none << none << none << none << true;
    }
    void startsToolOrTellsItIsUnavailable()
    {
        QFETCH(uint, pathType);
        QFETCH(std::string, path);
        QFETCH(std::string, folder);
        QFETCH(QStringList, files);
        QFETCH(QStringList, startable);
        QFETCH(QStringList, tested);
        QFETCH(QStringList, started);
        QFETCH(bool, message);

        MemoryRegistry registry;
        if (pathType)
            registry.set(MsinfoKey, "PATH", pathType, path);
        if (!folder.empty())
            registry.set(LocationKey, "MSINFO", sysinfo::RegSz, folder);
        rt::testing::Doubles doubles;
        doubles.fileTest->files = {files.begin(), files.end()};
        doubles.programStart->startable = {startable.begin(), startable.end()};
        rt::Services services = doubles.services(QString());
        QObject owner;
        frmAbout about(services, registry, &owner);

        about.StartSysInfo();

        QCOMPARE(doubles.fileTest->asked, tested);
        QCOMPARE(doubles.programStart->started, started);
        QCOMPARE(doubles.messageBox->shown.size(), message ? 1u : 0u);
        if (message) {
            QCOMPARE(doubles.messageBox->shown[0].text,
                     QStringLiteral("System Information Is Unavailable At This Time"));
            QCOMPARE(doubles.messageBox->shown[0].title, QStringLiteral("Squibbo"));
        }
        QCOMPARE(registry.closed, registry.opened);
    }

    void everyClickReadsTheRegistryAfresh()
    {
        MemoryRegistry registry;
        rt::testing::Doubles doubles;
        doubles.programStart->startable = {Tool};
        rt::Services services = doubles.services(QString());
        QObject owner;
        frmAbout about(services, registry, &owner);

        about.StartSysInfo();
        registry.set(MsinfoKey, "PATH", sysinfo::RegSz, Tool.toStdString());
        about.StartSysInfo();

        QCOMPARE(doubles.messageBox->shown.size(), 1u);
        QCOMPARE(doubles.programStart->started, QStringList{Tool});
    }
};

QTEST_GUILESS_MAIN(StartSysInfoTest)
#include "tst_startsysinfo.moc"
