// The high-score file on its own: reading older files, storing typed names,
// round trips of random tables, and a replacement killed at every step.

#include "hiscorestore.h"
#include "scorestesting.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <QtTest>

#ifdef SAVE_CHILD
#include <csignal>
#include <sys/stat.h>
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

#ifdef SAVE_CHILD
// One run of the save child, given up on after `limitMs`.
struct ChildRun {
    int exitCode = -1; // 1000 when it was killed
    bool timedOut = false;
    qint64 ms = 0;
    QByteArray said;
};

ChildRun runSaveChild(const GameFolder &dir, const QStringList &args, int limitMs = 10'000)
{
    ChildRun run;
    QProcess child;
    QElapsedTimer clock;
    clock.start();
    child.start(SAVE_CHILD, QStringList{"--folder", dir.path()} + args);
    if (!child.waitForStarted())
        return run;
    if (!child.waitForFinished(limitMs)) {
        run.timedOut = true;
        child.kill();
        child.waitForFinished();
    }
    run.ms = clock.elapsed();
    run.exitCode = child.exitStatus() == QProcess::CrashExit ? 1000 : child.exitCode();
    run.said = child.readAllStandardOutput();
    return run;
}

// What the tests wait for takes a quiet machine some milliseconds, and a
// busy one may take seconds.
constexpr int Patience = 60'000;

// The process has stopped itself with SIGSTOP.
bool stopped(qint64 pid)
{
    const QByteArray stat = readBytes(QStringLiteral("/proc/%1/stat").arg(pid));
    const int close = stat.lastIndexOf(')');
    return close > 0 && stat.mid(close + 2, 1) == "T";
}

// The process holds `file` open: a save holds the lock file open while it
// waits for the lock.
bool holdsOpen(qint64 pid, const QString &file)
{
    const QString wanted = QFileInfo(file).canonicalFilePath();
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    const QStringList entries = fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    return std::any_of(entries.begin(), entries.end(),
                       [&](const QString &fd) { return QFileInfo(fds.filePath(fd)).canonicalFilePath() == wanted; });
}

mode_t permissions(const char *name)
{
    struct stat info {};
    return ::lstat(name, &info) == 0 ? info.st_mode & 07777 : 0;
}
#endif

// The standard old table, and the same with Kim's 650 entered.
const QByteArray OldTable = tenRecords("\"P1\",900");
QByteArray withKim(QByteArray table = OldTable)
{
    return table.insert(table.indexOf("\"P4\""), "\"Kim\",650\r\n");
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
    void linesUpToTheLimitRead_data();
    void linesUpToTheLimitRead();
    void readerStopsEarly_data();
    void readerStopsEarly();
#ifdef SAVE_CHILD
    void killedReplacementLeavesOldOrNewTable_data();
    void killedReplacementLeavesOldOrNewTable();
    void secondCopyWaitsForTheFirst_data();
    void secondCopyWaitsForTheFirst();
    void oddFilesNeitherHangNorLeak_data();
    void oddFilesNeitherHangNorLeak();
    void newTableKeepsPermissions_data();
    void newTableKeepsPermissions();
#else
    void killedReplacementLeavesOldOrNewTable() { QSKIP("needs POSIX processes and signals"); }
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
    QTest::newRow("longer than a line") << QByteArray(5000, 'a') << QString(4087, QLatin1Char('a'));
    QTest::newRow("longer than a line, at a whole letter") << QString(3000, QChar(0xE9)).toUtf8()
                                                           << QString(2043, QChar(0xE9));
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
    GameFolder dir;
    QVERIFY(dir.isValid());
    const auto files = makeSystemFileOps(dir.native());
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
            QVERIFY2(readBytes(dir.file(HighScoreFile)).toStdString() == bytes, qPrintable(where));
            QVERIFY2(loadTable(*files).table == parsed.table, qPrintable(where));
        }
    }
}

void HiscoreFileTest::linesUpToTheLimitRead_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("error");

    const QByteArray nine = OldTable.left(OldTable.indexOf("\"P10\""));
    auto longName = [](std::size_t lineLength) {
        return "\"" + QByteArray(int(lineLength - 5), 'n') + "\",90";
    };
    QTest::newRow("a name of 4000 bytes") << tenRecords(longName(4005)) << QString();
    QTest::newRow("a line of exactly 4096 bytes") << tenRecords(longName(MaxLineLength)) << QString();
    QTest::newRow("a line of 4097 bytes") << tenRecords(longName(MaxLineLength + 1))
                                          << "line 1 is longer than 4096 bytes";
    QTest::newRow("a tenth line of 4097 bytes") << nine + longName(MaxLineLength + 1) + "\r\n"
                                                << "line 10 is longer than 4096 bytes";
    QTest::newRow("a tenth record without its line end") << nine + "\"P10\",0" << QString();
    QTest::newRow("a tenth record with bare LFs before it")
        << QByteArray(nine).replace("\r\n", "\n") + "\"P10\",0" << QString();
    QTest::newRow("a tenth record ending in CR alone") << nine + "\"P10\",0\r" << "line 10: the score";
    QTest::newRow("a long tenth record without its line end")
        << nine + longName(MaxLineLength + 1) << "line 10 is longer than 4096 bytes";
    QTest::newRow("a ninth record without its line end")
        << OldTable.left(OldTable.indexOf("\"P9\"")) + "\"P9\",100" << "ends in the middle of line 9";
    QTest::newRow("a megabyte without a line end") << QByteArray(1 << 20, 'x') << "line 1 is longer than 4096 bytes";
}

// Any name that fits in a line of 4096 bytes reads; a longer line is
// damage. A tenth record may end with the file (a text editor's save), and
// the rewrite gives it its line end.
void HiscoreFileTest::linesUpToTheLimitRead()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, error);
    const Parsed parsed = parseTable(file.toStdString());
    if (!error.isEmpty()) {
        QVERIFY(!parsed.ok);
        QVERIFY2(QString::fromStdString(parsed.error).contains(error), parsed.error.c_str());
        return;
    }
    QVERIFY2(parsed.ok, parsed.error.c_str());
    QCOMPARE(parsed.length, std::size_t(file.size()));
    QCOMPARE(nameOf(parsed.table[9]), QStringLiteral("P10"));
    const std::string rewritten = formatRecords({parsed.table.begin(), parsed.table.end()});
    QCOMPARE(QByteArray::fromStdString(rewritten),
             QByteArray(file).replace("\r\n", "\n").replace("\n", "\r\n") + (file.endsWith('\n') ? "" : "\r\n"));
}

void HiscoreFileTest::readerStopsEarly_data()
{
    QTest::addColumn<QByteArray>("start");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<qint64>("readAtMost");

    QTest::newRow("200 MB without a line end") << QByteArray(1 << 20, 'x') << qint64(200) * 1000 * 1000
                                               << qint64(ReadLimit);
    QTest::newRow("ten records, then 50 MB") << OldTable + QByteArray(1 << 20, 'x') << qint64(50) * 1000 * 1000
                                             << qint64(4096);
}

// However big the file, a read takes in at most ReadLimit bytes, and stops
// at the first chunk that holds the tenth line end.
void HiscoreFileTest::readerStopsEarly()
{
    QFETCH(QByteArray, start);
    QFETCH(qint64, size);
    QFETCH(qint64, readAtMost);
    GameFolder dir;
    QVERIFY(dir.isValid());
    QFile file(dir.file(HighScoreFile));
    // The rest of the file is a hole, which reads as NUL bytes and takes no disk.
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(start) == start.size() && file.resize(size));
    file.close();
    QElapsedTimer clock;
    clock.start();
    std::string bytes;
    QVERIFY(makeSystemFileOps(dir.native())->readStart(HighScoreFile, bytes));
    qInfo("read %zu bytes in %lld ms", bytes.size(), clock.elapsed());
    QVERIFY(qint64(bytes.size()) <= readAtMost);
    QVERIFY(bytes.size() >= std::min<std::size_t>(ReadLimit, OldTable.size()));
    QVERIFY(clock.elapsed() < 1000);
}

#ifdef SAVE_CHILD
void HiscoreFileTest::killedReplacementLeavesOldOrNewTable_data()
{
    QTest::addColumn<bool>("staleTemporary");
    QTest::newRow("no xxx before") << false;
    QTest::newRow("stale xxx left from before") << true;
}

// The child enters Kim with 650 and is killed before each of its file
// operations in turn; after every kill squibbo.hi is the old table or the
// new one, and the next game replaces it properly, lock and all.
void HiscoreFileTest::killedReplacementLeavesOldOrNewTable()
{
    QFETCH(bool, staleTemporary);
    const QByteArray fresh = withKim();
    GameFolder dir;
    QVERIFY(dir.isValid());

    // Every step of a full run: the read before the prompt, the lock, the
    // read under the lock, create, eleven writes, sync, close, rename, the
    // folder sync and the release of the lock.
    const int steps = 20;
    const int renameStep = 17;
    for (int k = 0; k <= steps; ++k) {
        QVERIFY(writeBytes(dir.file(HighScoreFile), OldTable));
        QFile::remove(dir.file(TemporaryFile));
        if (staleTemporary)
            QVERIFY(writeBytes(dir.file(TemporaryFile), "\"stale\",1\r\n\"half"));
        const ChildRun killed = runSaveChild(dir, {"--kill-at", QString::number(k)});
        QCOMPARE(killed.exitCode, k < steps ? 1000 : steps);
        QCOMPARE(readBytes(dir.file(HighScoreFile)), k <= renameStep ? OldTable : fresh);

        // The next game (entering Kim once more when this one was lost).
        const ChildRun nextGame = runSaveChild(dir, {});
        QVERIFY2(nextGame.exitCode == steps, nextGame.said.constData());
        QByteArray next = fresh;
        if (k > renameStep) {
            next = withKim(fresh);
            next.chop(qstrlen("\"P10\",0\r\n"));
        }
        QCOMPARE(readBytes(dir.file(HighScoreFile)), next);
        QVERIFY(!QFile::exists(dir.file(TemporaryFile)));
    }
}

void HiscoreFileTest::secondCopyWaitsForTheFirst_data()
{
    QTest::addColumn<QString>("then");
    QTest::newRow("the first copy goes on") << "go on";
    QTest::newRow("the first copy is killed") << "kill";
    QTest::newRow("the waiting copy is killed") << "kill waiting";
}

// One copy is stopped in the middle of its save, lock held and xxx half
// written. Another copy's save waits for it, then gives up with a clear
// message and changes nothing, however long the first one stays stopped;
// killing either copy meanwhile costs nothing either. Once the first copy
// goes on or is gone, the second saves into the table as it then is.
void HiscoreFileTest::secondCopyWaitsForTheFirst()
{
    QFETCH(QString, then);
    GameFolder dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeBytes(dir.file(HighScoreFile), OldTable));

    // Stopped before its second write.
    QProcess first;
    first.start(SAVE_CHILD, {"--folder", dir.path(), "--stop-at", "5"});
    QVERIFY(first.waitForStarted());
    QVERIFY(QTest::qWaitFor([&] { return stopped(first.processId()); }, Patience));
    const QByteArray halfWritten = readBytes(dir.file(TemporaryFile));
    QVERIFY(halfWritten.startsWith("\"P1\",900\r\n"));
    QVERIFY(!halfWritten.contains("P2"));

    const QStringList lee = {"--name", "Lee", "--score", "750"};
    const ChildRun gaveUp = runSaveChild(dir, lee + QStringList{"--patience", "300"});
    QVERIFY2(gaveUp.exitCode > 100 && gaveUp.ms >= 300 && gaveUp.ms < 5000, gaveUp.said.constData());
    QVERIFY2(gaveUp.said.contains("another copy of Squibbo has been saving them for more than 300 "
                                  "milliseconds")
                 && gaveUp.said.contains("is unchanged"),
             gaveUp.said.constData());
    QCOMPARE(readBytes(dir.file(HighScoreFile)), OldTable);
    QCOMPARE(readBytes(dir.file(TemporaryFile)), halfWritten);

    QByteArray expected = withKim();
    if (then == "kill waiting") {
        QProcess waiting;
        waiting.start(SAVE_CHILD, QStringList{"--folder", dir.path()} + lee);
        QVERIFY(waiting.waitForStarted());
        QVERIFY(QTest::qWaitFor([&] { return holdsOpen(waiting.processId(), dir.file(SaveLockFile)); }, Patience));
        waiting.kill();
        QVERIFY(waiting.waitForFinished());
        QCOMPARE(readBytes(dir.file(HighScoreFile)), OldTable);
    }
    if (then == "kill") {
        first.kill();
        expected = OldTable;
    } else {
        ::kill(pid_t(first.processId()), SIGCONT);
    }
    QVERIFY(first.waitForFinished());
    if (then != "kill")
        QCOMPARE(first.exitCode(), 20);
    QCOMPARE(readBytes(dir.file(HighScoreFile)), expected);

    const ChildRun second = runSaveChild(dir, lee);
    QVERIFY2(second.exitCode == 20, second.said.constData());
    expected.insert(expected.indexOf("\"P3\""), "\"Lee\",750\r\n");
    if (then != "kill")
        expected.chop(qstrlen("\"P10\",0\r\n"));
    QCOMPARE(readBytes(dir.file(HighScoreFile)), expected);
    QVERIFY(!QFile::exists(dir.file(TemporaryFile)));
}

void HiscoreFileTest::oddFilesNeitherHangNorLeak_data()
{
    QTest::addColumn<QString>("odd");
    QTest::addColumn<QString>("said");

    // An empty `said`: the save goes through.
    QTest::newRow("xxx a symbolic link to a file elsewhere") << "xxx symlink" << "";
    QTest::newRow("xxx a dangling symbolic link") << "xxx dangling" << "";
    QTest::newRow("xxx a hard link to a file elsewhere") << "xxx hard link" << "";
    QTest::newRow("xxx a FIFO") << "xxx fifo" << "";
    QTest::newRow("xxx a folder") << "xxx folder" << "xxx failed (File exists). The table in";
    QTest::newRow("squibbo.hi a FIFO") << "table fifo" << "is not a regular file but a FIFO";
    QTest::newRow("squibbo.hi a link to /dev/zero") << "table zero" << "is not a regular file but a device";
    QTest::newRow("squibbo.hi 200 MB without a line end") << "table big" << "line 1 is longer than 4096 bytes";
    QTest::newRow("squibbo.lock a link to a file elsewhere") << "lock symlink" << "squibbo.lock failed (";
    QTest::newRow("squibbo.lock a FIFO") << "lock fifo" << "squibbo.lock failed (it is not a regular file)";
}

// Whatever odd thing stands where the game looks, a save finishes within a
// few seconds, never writes anything outside the folder, and either puts
// the new table in place or tells the player and leaves the table alone.
void HiscoreFileTest::oddFilesNeitherHangNorLeak()
{
    QFETCH(QString, odd);
    QFETCH(QString, said);
    GameFolder dir;
    QVERIFY(dir.isValid());
    QTemporaryDir elsewhere;
    QVERIFY(elsewhere.isValid());
    const QString outside = elsewhere.filePath("outside");
    const QByteArray outsideBytes = "not the game's\n";
    QVERIFY(writeBytes(outside, outsideBytes));
    QVERIFY(writeBytes(dir.file(HighScoreFile), OldTable));
    const QByteArray out = outside.toLocal8Bit();
    const QByteArray missing = elsewhere.filePath("missing").toLocal8Bit();

    bool made = true;
    if (odd == "xxx symlink")
        made = ::symlink(out, dir.local(TemporaryFile).constData()) == 0;
    else if (odd == "xxx dangling")
        made = ::symlink(missing, dir.local(TemporaryFile).constData()) == 0;
    else if (odd == "xxx hard link")
        made = ::link(out, dir.local(TemporaryFile).constData()) == 0;
    else if (odd == "xxx fifo")
        made = ::mkfifo(dir.local(TemporaryFile).constData(), 0644) == 0;
    else if (odd == "xxx folder")
        made = QDir(dir.path()).mkdir(QString::fromLatin1(TemporaryFile));
    else if (odd == "table fifo")
        made = QFile::remove(dir.file(HighScoreFile)) && ::mkfifo(dir.local(HighScoreFile).constData(), 0644) == 0;
    else if (odd == "table zero")
        made = QFile::remove(dir.file(HighScoreFile)) && ::symlink("/dev/zero", dir.local(HighScoreFile).constData()) == 0;
    else if (odd == "table big")
        made = writeBytes(dir.file(HighScoreFile), QByteArray(1 << 20, 'x')) && QFile(dir.file(HighScoreFile)).resize(200'000'000);
    else if (odd == "lock symlink")
        made = ::symlink(out, dir.local(SaveLockFile).constData()) == 0;
    else if (odd == "lock fifo")
        made = ::mkfifo(dir.local(SaveLockFile).constData(), 0644) == 0;
    QVERIFY(made);
    struct stat before {};
    QVERIFY(::lstat(dir.local(HighScoreFile).constData(), &before) == 0);

    const ChildRun run = runSaveChild(dir, {}, 10'000);
    qInfo("%s: %lld ms", qPrintable(odd), run.ms);
    QVERIFY2(!run.timedOut, "the save hung");
    QVERIFY(run.ms < 5000);
    QCOMPARE(readBytes(outside), outsideBytes);
    QVERIFY(!QFile::exists(QString::fromLocal8Bit(missing)));
    if (said.isEmpty()) {
        QVERIFY2(run.exitCode == 20, run.said.constData());
        QCOMPARE(readBytes(dir.file(HighScoreFile)), withKim());
        QVERIFY(!QFileInfo::exists(TemporaryFile) && !QFileInfo(TemporaryFile).isSymLink());
        return;
    }
    QVERIFY2(run.said.contains(said.toUtf8()), run.said.constData());
    QVERIFY(run.exitCode >= 100);
    struct stat after {};
    QVERIFY(::lstat(dir.local(HighScoreFile).constData(), &after) == 0);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_mtime, before.st_mtime);
    QCOMPARE(after.st_size, before.st_size);
    if (odd != "xxx folder")
        QVERIFY(!QFile::exists(dir.file(TemporaryFile)));
}

void HiscoreFileTest::newTableKeepsPermissions_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("private, 600") << 0600;
    QTest::newRow("group may read, 640") << 0640;
    QTest::newRow("everyone may read, 644") << 0644;
    QTest::newRow("group may write, 664") << 0664;
    QTest::newRow("read-only, 400") << 0400;
}

// The new table has the old one's permission bits, whatever the umask;
// the lock file beside it is never more open than the table.
void HiscoreFileTest::newTableKeepsPermissions()
{
    QFETCH(int, mode);
    GameFolder dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeBytes(dir.file(HighScoreFile), OldTable));
    QVERIFY(::chmod(dir.local(HighScoreFile).constData(), mode_t(mode)) == 0);
    const mode_t oldMask = ::umask(0);
    const ChildRun run = runSaveChild(dir, {});
    ::umask(oldMask);
    QVERIFY2(run.exitCode == 20, run.said.constData());
    QCOMPARE(readBytes(dir.file(HighScoreFile)), withKim());
    QCOMPARE(permissions(dir.local(HighScoreFile).constData()), mode_t(mode));
    QCOMPARE(permissions(SaveLockFile) & ~mode_t(mode), mode_t(0));
}
#endif

QTEST_GUILESS_MAIN(HiscoreFileTest)
#include "tst_hiscorefile.moc"
