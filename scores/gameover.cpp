#include "gameover.h"

#include "form2.h"
#include "hiscorestore.h"
#include "services.h"

namespace scores {

void GameOverHighScoreStep(rt::Services &services, Form2 &form2, std::int16_t score)
{
    const auto files = makeSystemFileOps();
    GameOverHighScoreStep(services, form2, score, *files);
}

void GameOverHighScoreStep(rt::Services &services, Form2 &form2, std::int16_t score,
                           FileOps &files)
{
    // All ten records are read and checked before anything is asked or
    // written, so a damaged file costs the player nothing but this game's
    // entry, and the file stays as it is for repair.
    const Loaded loaded = loadTable(files);
    if (!loaded.ok) {
        services.messageBox->show(QString::fromStdString(loaded.error)
                                  + QStringLiteral("\n\nThis game's score was not recorded."));
        return;
    }

    const std::optional<int> rank = entryRank(loaded.table, score);
    Record entry{{}, score};
    if (rank) {
        const QString typed = services.inputBox->ask(QStringLiteral("Enter your name:"),
                                                     QStringLiteral("You got a high score!"),
                                                     NameMaxLength);
        entry.name = sanitizeName(typed.toStdString());
    } else {
        services.messageBox->show(QStringLiteral("Game Over!"));
    }

    // Without an entry the ten are written back as they are, which drops an
    // eleventh record left by an earlier game.
    const Saved saved = saveTable(files, recordsAfterGame(loaded.table, rank, entry));
    if (!saved.ok)
        services.messageBox->show(QString::fromStdString(saved.error));

    // A failed save left the old table in place, and the window lists it.
    form2.Load();
    form2.Show();
}

} // namespace scores
