// Several copies of the game ending games on one table at once, with a
// reader beside them: every table the reader sees is whole, no save is
// lost, and the final table is exactly what the saves give when replayed in
// the order in which they took the lock.

#include "hiscorestore.h"
#include "scorestesting.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

using namespace scores;

class ConcurrentGamesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void gamesEndingTogetherLoseNothing();
};

void ConcurrentGamesTest::gamesEndingTogetherLoseNothing()
{
    const int players = 3;
    const int games = qEnvironmentVariableIsSet("SQUIBBO_GAMES")
        ? qEnvironmentVariableIntValue("SQUIBBO_GAMES")
        : 400;
    GameFolder dir;
    QVERIFY(dir.isValid());
    std::vector<Record> seeded;
    for (int i = 0; i < TableSize; ++i)
        seeded.push_back({"Seed " + std::to_string(i + 1), static_cast<std::int16_t>(-3000 - 10 * i)});
    QVERIFY(writeBytes(dir.file(HighScoreFile), QByteArray::fromStdString(formatRecords(seeded))));

    QElapsedTimer clock;
    clock.start();
    // Each copy plays in its working folder, as the game does.
    QProcess reader;
    reader.setWorkingDirectory(dir.path());
    reader.start(PLAYER_CHILD, {"read", "stop"});
    QVERIFY(reader.waitForStarted());
    std::vector<std::unique_ptr<QProcess>> children;
    for (int p = 0; p < players; ++p) {
        children.push_back(std::make_unique<QProcess>());
        children.back()->setWorkingDirectory(dir.path());
        children.back()->start(PLAYER_CHILD, {"play", QString::number(games), QString::number(p + 1), "journal"});
        QVERIFY(children.back()->waitForStarted());
    }
    for (auto &child : children) {
        QVERIFY2(child->waitForFinished(400'000), "a player did not finish in time");
        const QByteArray said = child->readAllStandardOutput().trimmed();
        QVERIFY2(child->exitStatus() == QProcess::NormalExit && child->exitCode() == 0,
                 (said + '\n' + child->readAllStandardError()).constData());
        qInfo("player: %s", said.constData());
    }
    QVERIFY(writeBytes(dir.file("stop"), {}));
    QVERIFY(reader.waitForFinished(60'000));
    const QByteArray readerSaid = reader.readAllStandardOutput().trimmed();
    QVERIFY2(reader.exitStatus() == QProcess::NormalExit && reader.exitCode() == 0, readerSaid.constData());
    const qint64 elapsed = clock.elapsed();

    // Replays the journal from the seeded table, as each game chose.
    Table replayed;
    std::copy(seeded.begin(), seeded.end(), replayed.begin());
    const QList<QByteArray> lines = readBytes(dir.file("journal")).split('\n');
    int saves = 0;
    int entries = 0;
    for (const QByteArray &line : lines) {
        if (line.isEmpty())
            continue;
        const QList<QByteArray> f = line.split(' ');
        QVERIFY2(f.size() == 6, line.constData());
        const auto score = static_cast<std::int16_t>(f[2].toInt());
        const Record entry{(f[4] + ' ' + f[5]).toStdString(), score};
        const std::optional<int> rank = f[3] == "1" ? entryRank(replayed, score) : std::nullopt;
        entries += rank ? 1 : 0;
        const std::vector<Record> after = recordsAfterGame(replayed, rank, entry);
        std::copy_n(after.begin(), TableSize, replayed.begin());
        ++saves;
    }
    QCOMPARE(saves, players * games);

    const Loaded final = [&] {
        const auto files = makeSystemFileOps(dir.native());
        return loadTable(*files);
    }();
    QVERIFY2(final.ok, final.error.c_str());
    int fromGames = 0;
    int expectedFromGames = 0;
    for (int k = 0; k < TableSize; ++k) {
        fromGames += final.table[k].name.starts_with('p') ? 1 : 0;
        expectedFromGames += replayed[k].name.starts_with('p') ? 1 : 0;
    }
    qInfo("%d players ended %d games in %.1f s; %d saves journalled under the lock, %d of them entries; "
          "reader: %s; final table: %d entries from these games against %d expected from the replay",
          players, players * games, elapsed / 1000.0, saves, entries, readerSaid.constData(), fromGames,
          expectedFromGames);
    for (int k = 0; k < TableSize; ++k) {
        QCOMPARE(QString::fromStdString(final.table[k].name), QString::fromStdString(replayed[k].name));
        QCOMPARE(final.table[k].score, replayed[k].score);
    }
    QVERIFY(!QFile::exists(dir.file(TemporaryFile)));
}

QTEST_GUILESS_MAIN(ConcurrentGamesTest)
#include "tst_concurrent_games.moc"
