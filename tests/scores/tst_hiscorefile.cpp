// The high-score file on its own: reading older files, storing typed names,
// round trips of random tables, and a replacement killed at every step.

#include "hiscorestore.h"
#include "scorestesting.h"

#include <QRandomGenerator>
#include <QtTest>

#ifdef KILL_CHILD
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace scores;

namespace {

QByteArray tenRecords(const QByteArray &firstLine, const char *lineEnd = "\r\n")
{
    QByteArray out = firstLine + lineEnd;
    for (int i = 2; i <= TableSize; ++i)
        out += "\"P" + QByteArray::number(i) + "\"," + QByteArray::number(1000 - 100 * i) + lineEnd;
    return out;
}

QString nameOf(const Record &record)
{
    return QString::fromStdString(record.name);
}

} // namespace

class HiscoreFileTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void deliveredTableIsInWrittenForm();
    void olderFilesStillRead_data();
    void olderFilesStillRead();
    void typedNamesAreStoredSoTheyReadBack_data();
    void typedNamesAreStoredSoTheyReadBack();
    void randomTablesRoundTrip();
#ifdef KILL_CHILD
    void killedReplacementLeavesOldOrNewTable_data();
    void killedReplacementLeavesOldOrNewTable();
#else
    void killedReplacementLeavesOldOrNewTable() { QSKIP("needs POSIX processes and SIGKILL"); }
#endif
};

// The game never makes squibbo.hi itself: the one delivered with it must
// read, and be exactly ten records as the game writes them.
void HiscoreFileTest::deliveredTableIsInWrittenForm()
{
    if (!qEnvironmentVariableIsSet("SQUIBBO_SOURCE_DIR"))
        QSKIP("SQUIBBO_SOURCE_DIR is not set");
    const std::string bytes = readBytes(qEnvironmentVariable("SQUIBBO_SOURCE_DIR") + "/assets/squibbo.hi").toStdString();
    const Parsed parsed = parseTable(bytes);
    QVERIFY2(parsed.ok, parsed.error.c_str());
    QVERIFY(formatRecords({parsed.table.begin(), parsed.table.end()}) == bytes);
}

void HiscoreFileTest::olderFilesStillRead_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("lineEnd");
    QTest::addColumn<QString>("name");

    QTest::newRow("windows-1252 letter") << QByteArray("\"Jos\xE9\",5") << QByteArray("\r\n") << QStringLiteral("José");
    QTest::newRow("windows-1252 euro and curly quotes")
        << QByteArray("\"\x80\x93x\x94\",5") << QByteArray("\r\n") << QStringLiteral("€“x”");
    QTest::newRow("overlong utf-8 is windows-1252") << QByteArray("\"\xC0\xAF\",5") << QByteArray("\r\n") << QStringLiteral("À¯");
    QTest::newRow("utf-8 surrogate is windows-1252")
        << QByteArray("\"\xED\xA0\x80\",5") << QByteArray("\r\n") << QStringLiteral("í\u00A0€");
    QTest::newRow("utf-8 stays utf-8") << QByteArray("\"J\xC3\xB6rg \xF0\x9F\x98\x80\",5") << QByteArray("\r\n") << QStringLiteral("Jörg 😀");
    QTest::newRow("tab in an old name") << QByteArray("\"a\tb\",5") << QByteArray("\r\n") << QStringLiteral("a\tb");
    QTest::newRow("bare LF line ends") << QByteArray("\"Ann\",5") << QByteArray("\n") << QStringLiteral("Ann");
}

void HiscoreFileTest::olderFilesStillRead()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, lineEnd);
    QFETCH(QString, name);
    const QByteArray file = tenRecords(line, lineEnd.constData());
    const Parsed parsed = parseTable(file.toStdString());
    QVERIFY2(parsed.ok, parsed.error.c_str());
    QCOMPARE(nameOf(parsed.table[0]), name);
    QCOMPARE(int(parsed.table[0].score), 5);
    QCOMPARE(int(parsed.table[9].score), 0);

    // Written back, it is UTF-8 with CR LF and reads the same.
    const std::string rewritten = formatRecords({parsed.table.begin(), parsed.table.end()});
    QVERIFY(isValidUtf8(rewritten));
    QCOMPARE(QByteArray::fromStdString(rewritten).count("\r\n"), TableSize);
    QCOMPARE(QByteArray::fromStdString(rewritten).count('\n'), TableSize);
    QVERIFY(parseTable(rewritten).table == parsed.table);
}

void HiscoreFileTest::typedNamesAreStoredSoTheyReadBack_data()
{
    QTest::addColumn<QByteArray>("typed");
    QTest::addColumn<QString>("stored");

    QTest::newRow("double quotes") << QByteArray("Say \"hi\"") << QStringLiteral("Say 'hi'");
    QTest::newRow("comma kept") << QByteArray("Smith, J") << QStringLiteral("Smith, J");
    QTest::newRow("line breaks and tab") << QByteArray("a\tb\r\nc") << QStringLiteral("abc");
    QTest::newRow("DEL and C1 control") << QByteArray("\x7F\xC2\x85z") << QStringLiteral("z");
    QTest::newRow("unicode line separator") << QByteArray("x\xE2\x80\xA8y") << QStringLiteral("xy");
    QTest::newRow("cut at 32") << QByteArray(40, 'a') << QString(32, QLatin1Char('a'));
    QTest::newRow("cut at 32 letters, not bytes") << QString(40, QChar(0xE9)).toUtf8() << QString(32, QChar(0xE9));
    QTest::newRow("bytes that are not utf-8") << QByteArray("a\xFF" "b") << QStringLiteral("a\uFFFDb");
    QTest::newRow("empty") << QByteArray() << QString();
}

void HiscoreFileTest::typedNamesAreStoredSoTheyReadBack()
{
    QFETCH(QByteArray, typed);
    QFETCH(QString, stored);
    const std::string name = sanitizeName(typed.toStdString());
    QCOMPARE(QString::fromStdString(name), stored);
    const Parsed parsed = parseTable(formatRecords(std::vector<Record>(TableSize, Record{name, -7})));
    QVERIFY2(parsed.ok, parsed.error.c_str());
    QCOMPARE(nameOf(parsed.table[9]), stored);
}

// Random tables of names with commas, spaces, quotes, tabs and letters from
// beyond ASCII survive being stored and read back, on disk as in memory.
void HiscoreFileTest::randomTablesRoundTrip()
{
    const quint32 seed = qEnvironmentVariableIsSet("SQUIBBO_SEED")
        ? qEnvironmentVariableIntValue("SQUIBBO_SEED")
        : QRandomGenerator::global()->generate();
    QRandomGenerator rng(seed);
    const QStringList letters = {"a", "Z", " ", ",", "\"", "'", "\t", "\r\n", "-", "#",
                                 "\u00E9", "\u00DF", "\u0416", "\u20AC", "\U0001F600"};
    TempWorkDir dir;
    QVERIFY(dir.entered());
    const auto files = makeSystemFileOps();
    for (int round = 0; round < 300; ++round) {
        const QString where = QStringLiteral("seed %1 (SQUIBBO_SEED), round %2").arg(seed).arg(round);
        std::vector<Record> records(TableSize + rng.bounded(2));
        for (Record &r : records) {
            QString typed;
            for (int n = rng.bounded(41); n > 0; --n)
                typed += letters[rng.bounded(letters.size())];
            r.name = sanitizeName(typed.toStdString());
            r.score = static_cast<std::int16_t>(rng.bounded(-32768, 32768));
        }
        const std::string bytes = formatRecords(records);
        const Parsed parsed = parseTable(bytes);
        QVERIFY2(parsed.ok, qPrintable(where + ": " + QString::fromStdString(parsed.error)));
        QVERIFY2(std::equal(parsed.table.begin(), parsed.table.end(), records.begin()), qPrintable(where));
        QVERIFY2(formatRecords({parsed.table.begin(), parsed.table.end()}) == bytes.substr(0, parsed.length),
                 qPrintable(where));
        if (round % 10 == 0) {
            const Saved saved = saveTable(*files, records);
            QVERIFY2(saved.ok, qPrintable(where + ": " + QString::fromStdString(saved.error)));
            QVERIFY2(readBytes(HighScoreFile).toStdString() == bytes, qPrintable(where));
            QVERIFY2(loadTable(*files).table == parsed.table, qPrintable(where));
        }
    }
}

#ifdef KILL_CHILD
void HiscoreFileTest::killedReplacementLeavesOldOrNewTable_data()
{
    QTest::addColumn<bool>("staleTemporary");
    QTest::newRow("no xxx before") << false;
    QTest::newRow("stale xxx left from before") << true;
}

// The child enters Kim with 650 and is killed before each of its file
// operations in turn; after every kill squibbo.hi is the old table or the
// new one, and the next game replaces it properly.
void HiscoreFileTest::killedReplacementLeavesOldOrNewTable()
{
    QFETCH(bool, staleTemporary);
    const QByteArray old = tenRecords("\"P1\",900");
    QByteArray fresh = old;
    fresh.insert(old.indexOf("\"P4\""), "\"Kim\",650\r\n");
    TempWorkDir dir;
    QVERIFY(dir.entered());

    auto run = [](int killAt) {
        const QByteArray arg = QByteArray::number(killAt);
        char *argv[] = {const_cast<char *>(KILL_CHILD), const_cast<char *>(arg.constData()), nullptr};
        pid_t pid = 0;
        int status = 0;
        if (posix_spawn(&pid, KILL_CHILD, nullptr, nullptr, argv, environ) != 0 || waitpid(pid, &status, 0) != pid)
            return -1;
        return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL ? 1000 : WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    // Every step of a full run: a read, create, eleven writes, sync, close,
    // rename and the folder sync.
    const int steps = 17;
    const int renameStep = 15;
    for (int k = 0; k <= steps; ++k) {
        QVERIFY(writeBytes(HighScoreFile, old));
        QFile::remove(TemporaryFile);
        if (staleTemporary)
            QVERIFY(writeBytes(TemporaryFile, "\"stale\",1\r\n\"half"));
        const int result = run(k);
        QCOMPARE(result, k < steps ? 1000 : steps);
        QCOMPARE(readBytes(HighScoreFile), k <= renameStep ? old : fresh);

        // The next game (entering Kim once more when this one was lost).
        QCOMPARE(run(-1), steps);
        QByteArray next = fresh;
        if (k > renameStep) {
            next.insert(next.indexOf("\"P4\""), "\"Kim\",650\r\n");
            next.chop(qstrlen("\"P10\",0\r\n"));
        }
        QCOMPARE(readBytes(HighScoreFile), next);
        QVERIFY(!QFile::exists(TemporaryFile));
    }
}
#endif

QTEST_GUILESS_MAIN(HiscoreFileTest)
#include "tst_hiscorefile.moc"
