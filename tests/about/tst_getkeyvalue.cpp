// Reading one registry value as text: what each type gives, where the
// terminator goes, the 1024-byte limit, and what counts as not found.

#include "memoryregistry.h"

#include <QtTest>

using namespace std::string_literals;

namespace {
const std::string Key = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
}

Q_DECLARE_METATYPE(std::string)

class GetKeyValueTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void readsValueAsText_data()
    {
        QTest::addColumn<uint>("type");
        QTest::addColumn<std::string>("stored");
        QTest::addColumn<bool>("found");
        QTest::addColumn<std::string>("text");

        const std::string a1023(1023, 'a');
        QTest::newRow("text loses its terminator") << 1u << "C:\\WINDOWS\\msinfo32.exe\0"s << true << "C:\\WINDOWS\\msinfo32.exe"s;
        QTest::newRow("unterminated text is whole") << 1u << "C:\\msinfo32.exe"s << true << "C:\\msinfo32.exe"s;
        QTest::newRow("only one zero byte goes") << 1u << "abc\0\0"s << true << "abc\0"s;
        QTest::newRow("no data is empty") << 1u << ""s << true << ""s;
        QTest::newRow("1024 bytes with terminator") << 1u << a1023 + '\0' << true << a1023;
        QTest::newRow("1024 bytes unterminated") << 1u << a1023 + 'b' << true << a1023 + 'b';
        QTest::newRow("1025 bytes do not fit") << 1u << a1023 + "b\0"s << false << ""s;
        QTest::newRow("number") << 4u << "\x78\x56\x34\x12"s << true << "&h12345678"s;
        QTest::newRow("number with zero top byte") << 4u << "\xEF\xCD\xAB\0"s << true << "&hABCDEF"s;
        QTest::newRow("number all ones") << 4u << "\xFF\xFF\xFF\xFF"s << true << "&hFFFFFFFF"s;
        QTest::newRow("expandable text keeps the text") << 2u << "%SystemRoot%\\x.exe\0"s << true << "as it came"s;
        QTest::newRow("binary keeps the text") << 3u << "\x01\x02"s << true << "as it came"s;
    }
    void readsValueAsText()
    {
        QFETCH(uint, type);
        QFETCH(std::string, stored);
        QFETCH(bool, found);
        QFETCH(std::string, text);

        // The registry refuses anything beyond read access: a read-only
        // user still gets the value.
        MemoryRegistry registry;
        registry.set(Key, "PATH", type, stored);
        std::string ValueText = "as it came";
        QCOMPARE(sysinfo::GetKeyValue(registry, sysinfo::HkeyLocalMachine, Key, "PATH", ValueText), found);
        QCOMPARE(ValueText, text);
        QCOMPARE(registry.opened, 1);
        QCOMPARE(registry.closed, 1);
    }

    void missingKeyOrValueIsNotFound_data()
    {
        QTest::addColumn<uint>("root");
        QTest::addColumn<std::string>("key");
        QTest::addColumn<std::string>("value");
        QTest::addColumn<int>("closes");

        QTest::newRow("missing key") << uint(sysinfo::HkeyLocalMachine) << "SOFTWARE\\Nowhere"s << "PATH"s << 0;
        QTest::newRow("missing value") << uint(sysinfo::HkeyLocalMachine) << Key << "Version"s << 1;
        QTest::newRow("other root") << 0x80000001u << Key << "PATH"s << 0;
    }
    void missingKeyOrValueIsNotFound()
    {
        QFETCH(uint, root);
        QFETCH(std::string, key);
        QFETCH(std::string, value);
        QFETCH(int, closes);

        MemoryRegistry registry;
        registry.set(Key, "PATH", sysinfo::RegSz, "C:\\msinfo32.exe"s);
        std::string ValueText = "old";
        QVERIFY(!sysinfo::GetKeyValue(registry, root, key, value, ValueText));
        QCOMPARE(ValueText, ""s);
        QCOMPARE(registry.opened, closes);
        QCOMPARE(registry.closed, closes);
    }
};

QTEST_APPLESS_MAIN(GetKeyValueTest)
#include "tst_getkeyvalue.moc"
