// The registry stand-in off Windows: it names the host's own system
// information program, the first of its list found along PATH, and finds
// nothing else.

#include "registry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace std::string_literals;

Q_DECLARE_METATYPE(std::string)

namespace {
const std::string MsinfoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";

void putProgram(const QString &path, bool executable = true)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n");
    file.setPermissions(executable ? QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                   : QFile::ReadOwner | QFile::WriteOwner);
}
} // namespace

class HostRegistryTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        m_path = qgetenv("PATH");
        m_cwd = QDir::currentPath();
    }
    void cleanup()
    {
        qputenv("PATH", m_path);
        QDir::setCurrent(m_cwd);
    }

    void namesTheFirstToolOnThePath_data()
    {
        QTest::addColumn<QStringList>("first");  // programs in the first folder on PATH
        QTest::addColumn<QStringList>("second"); // ... in the second; "-" marks no execute bit
        QTest::addColumn<QString>("found");      // "1/..." or "2/...", empty for none

        QTest::newRow("tool in the first folder") << QStringList{"hardinfo"} << QStringList{"hardinfo"} << "1/hardinfo";
        QTest::newRow("tool in the second folder") << QStringList{} << QStringList{"cpu-x"} << "2/cpu-x";
        QTest::newRow("the list's order comes first") << QStringList{"gnome-system-monitor"} << QStringList{"hardinfo"} << "2/hardinfo";
        QTest::newRow("not executable is passed over") << QStringList{"-hardinfo"} << QStringList{"lshw-gtk"} << "2/lshw-gtk";
        QTest::newRow("other programs are no tool") << QStringList{"msinfo32", "sysinfo"} << QStringList{} << "";
        QTest::newRow("nothing on the path") << QStringList{} << QStringList{} << "";
    }
    void namesTheFirstToolOnThePath()
    {
        QFETCH(QStringList, first);
        QFETCH(QStringList, second);
        QFETCH(QString, found);

        QTemporaryDir dir;
        QDir(dir.path()).mkpath("1");
        QDir(dir.path()).mkpath("2");
        for (const auto &[folder, programs] : {std::pair{"1/", first}, std::pair{"2/", second}}) {
            for (const QString &p : programs)
                putProgram(dir.filePath(folder + (p.startsWith('-') ? p.mid(1) : p)), !p.startsWith('-'));
        }
        // A relative folder on PATH would be the working folder: not looked at.
        QDir::setCurrent(dir.filePath("2"));
        qputenv("PATH", (".:" + dir.filePath("1") + ":" + dir.filePath("2")).toLocal8Bit());

        const auto registry = sysinfo::makePlatformRegistry();
        std::string text;
        const bool ok = sysinfo::GetKeyValue(*registry, sysinfo::HkeyLocalMachine, MsinfoKey, "PATH", text);
        QCOMPARE(ok, !found.isEmpty());
        QCOMPARE(QString::fromStdString(text), found.isEmpty() ? QString() : dir.filePath(found));
    }

    void findsNothingElse_data()
    {
        QTest::addColumn<uint>("root");
        QTest::addColumn<std::string>("key");
        QTest::addColumn<std::string>("value");

        QTest::newRow("second key") << uint(sysinfo::HkeyLocalMachine) << "SOFTWARE\\Microsoft\\Shared Tools Location"s << "MSINFO"s;
        QTest::newRow("other value") << uint(sysinfo::HkeyLocalMachine) << MsinfoKey << "Version"s;
        QTest::newRow("other root") << 0x80000001u << MsinfoKey << "PATH"s;
    }
    void findsNothingElse()
    {
        QFETCH(uint, root);
        QFETCH(std::string, key);
        QFETCH(std::string, value);

        QTemporaryDir dir;
        putProgram(dir.filePath("hardinfo"));
        qputenv("PATH", dir.path().toLocal8Bit());
        const auto registry = sysinfo::makePlatformRegistry();
        std::string text = "old";
        QVERIFY(!sysinfo::GetKeyValue(*registry, root, key, value, text));
        QCOMPARE(text, ""s);
    }

    void isReadOnlyAndKeepsTheSizeContract()
    {
        QTemporaryDir dir;
        // A path longer than the receive buffer.
        const QString deep = dir.filePath(QString(200, 'd') + "/" + QString(200, 'e') + "/"
                                          + QString(200, 'f') + "/" + QString(200, 'g') + "/"
                                          + QString(200, 'h'));
        QVERIFY(QDir().mkpath(deep));
        putProgram(deep + "/hardinfo");
        qputenv("PATH", deep.toLocal8Bit());
        const auto registry = sysinfo::makePlatformRegistry();

        sysinfo::KeyHandle key = 0;
        QCOMPARE(registry->OpenKey(sysinfo::HkeyLocalMachine, MsinfoKey,
                                   sysinfo::KeyRead | sysinfo::KeySetValue, key), sysinfo::AccessDenied);
        QCOMPARE(registry->OpenKey(sysinfo::HkeyLocalMachine, MsinfoKey, sysinfo::KeyRead, key), sysinfo::Success);
        unsigned char buffer[sysinfo::DataBufferSize];
        std::uint32_t type = 0, size = sizeof buffer;
        QCOMPARE(registry->QueryValue(key, "PATH", type, buffer, size), sysinfo::MoreData);
        QCOMPARE(size, std::uint32_t((deep + "/hardinfo").toLocal8Bit().size() + 1));
        registry->CloseKey(key);

        std::string text;
        QVERIFY(!sysinfo::GetKeyValue(*registry, sysinfo::HkeyLocalMachine, MsinfoKey, "PATH", text));
    }

private:
    QByteArray m_path;
    QString m_cwd;
};

QTEST_GUILESS_MAIN(HostRegistryTest)
#include "tst_hostregistry.moc"
