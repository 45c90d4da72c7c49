// One copy of the game, headless, ending game after game on the table in
// its working folder, its game folder as for the real game, through the game's own end-of-game step, with the
// high-score window opening after each; or a reader that reads the table
// over and over as the high-score window does. The concurrency test runs
// several of each side by side on one table.
//
//   hiscore_player_child play GAMES SEED JOURNAL
//   hiscore_player_child read STOP-FILE
//
// A player pauses a random few milliseconds where a person would sit at
// the name prompt or the "Game Over!" box. Each save that puts a new table
// in place appends one line to JOURNAL while it still holds the lock:
//
//   SEED GAME SCORE PROMPTED NAME
//
// so the journal lists the saves in the order they really happened. A
// player prints "games G saved S crowded C" and exits 0 when every message
// it was shown was one that the game may show without anything wrong.
// A reader prints "reads R bad B", each bad read on a line of its own, and
// exits 0 when every read found a whole table.

#include "form2.h"
#include "gameover.h"
#include "hiscorestore.h"
#include "steppedfileops.h"
#include "testdoubles.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QThread>

#include <cstdio>

namespace {

int play(int games, quint32 seed, const QString &journalName)
{
    QFile journal(journalName);
    if (!journal.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        std::printf("cannot open the journal\n");
        return 1;
    }
    QRandomGenerator rng(seed);
    rt::testing::Doubles doubles;
    rt::Services services = doubles.services(QDir::currentPath());
    auto system = scores::makeSystemFileOps(services.folder.toStdString());
    Form2 form2(services, *system, nullptr);
    auto sitAtDialog = [&] { QThread::usleep(rng.bounded(15000)); };
    bool prompted = false;
    doubles.inputBox->onAsk = [&] {
        prompted = true;
        sitAtDialog();
    };
    doubles.messageBox->onShow = sitAtDialog;

    int saved = 0;
    int crowded = 0;
    int failures = 0;
    for (int game = 0; game < games; ++game) {
        // Scores climb from game to game, so that most games earn a place
        // in a table that keeps getting better.
        const auto score = static_cast<std::int16_t>(-3000 + 60 * game + rng.bounded(1500));
        const QString name = QStringLiteral("p%1 g%2").arg(seed).arg(game);
        prompted = false;
        doubles.inputBox->answers = {name};
        doubles.messageBox->shown.clear();
        bool journalled = false;
        // The folder is synced right after the rename, with the lock held.
        scores::SteppedFileOps files(*system, [&](int, std::string_view what) {
            if (what != "sync folder")
                return;
            const QByteArray line = QStringLiteral("%1 %2 %3 %4 %5\n")
                                        .arg(seed)
                                        .arg(game)
                                        .arg(score)
                                        .arg(prompted ? 1 : 0)
                                        .arg(name)
                                        .toUtf8();
            journalled = journal.write(line) == line.size();
        });
        scores::GameOverHighScoreStep(services, form2, score, files);
        QCoreApplication::processEvents();
        saved += journalled ? 1 : 0;
        for (const auto &shown : doubles.messageBox->shown) {
            if (shown.text == QLatin1String("Game Over!"))
                continue;
            if (shown.text.contains(QLatin1String("no longer earns a place"))) {
                ++crowded;
                continue;
            }
            ++failures;
            std::printf("game %d: %s\n", game, qPrintable(shown.text));
        }
        if (!journalled) {
            ++failures;
            std::printf("game %d was not saved\n", game);
        }
    }
    std::printf("games %d saved %d crowded %d\n", games, saved, crowded);
    return failures == 0 ? 0 : 1;
}

int read(const QString &stopFile)
{
    auto files = scores::makeSystemFileOps(QDir::currentPath().toStdString());
    long reads = 0;
    long bad = 0;
    // One more read after the stop file appears sees the final table.
    for (bool last = false; !last;) {
        last = QFile::exists(stopFile);
        const scores::Loaded loaded = scores::loadTable(*files);
        ++reads;
        if (!loaded.ok && ++bad <= 20)
            std::printf("bad read: %s\n", loaded.error.c_str());
    }
    std::printf("reads %ld bad %ld\n", reads, bad);
    return bad == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 5 && args[1] == QLatin1String("play"))
        return play(args[2].toInt(), args[3].toUInt(), args[4]);
    if (args.size() == 3 && args[1] == QLatin1String("read"))
        return read(args[2]);
    std::fprintf(stderr, "usage: %s play GAMES SEED JOURNAL | read STOP-FILE\n", argv[0]);
    return 2;
}
