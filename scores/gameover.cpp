#include "gameover.h"

#include "accessibility.h"
#include "form2.h"
#include "hiscorestore.h"
#include "services.h"

#include <QPointer>

namespace scores {

void GameOverHighScoreStep(rt::Services &services, Form2 &form2, std::int16_t score,
                           FileOps &files, QWidget *mainWindow)
{
    // The player may close the main window while a dialog is open.
    const QPointer<QWidget> owner(mainWindow);
    // All ten records are read and checked before anything is asked or
    // written, so a damaged file costs the player nothing but this game's
    // entry, and the file stays as it is for repair.
    auto notRecorded = [&](const std::string &whyNot) {
        services.messageBox->show(owner, QString::fromStdString(whyNot)
                                  + QStringLiteral("\n\nThis game's score was not recorded."));
    };
    const Loaded loaded = loadTable(files);
    if (!loaded.ok) {
        notRecorded(loaded.error);
        return;
    }

    // What the dialogs from here on show stays as it is; a screen reader
    // also says the final score with them.
    const rt::DialogDescription spoken(QStringLiteral("Final score: %1.").arg(score));
    std::optional<Record> entry;
    if (entryRank(loaded.table, score)) {
        const QString typed = services.inputBox->ask(owner, QStringLiteral("Enter your name:"),
                                                     QStringLiteral("You got a high score!"),
                                                     NameMaxLength, int(NameMaxBytes));
        // The rule that kept the prompt keeps the table: what the player
        // saw there is what is stored, in whole characters.
        const QString shown = rt::leftCharacters(typed, NameMaxLength, int(NameMaxBytes));
        entry = Record{sanitizeName(shown.toStdString()), score};
    } else {
        services.messageBox->show(owner, QStringLiteral("Game Over!"));
    }

    // Another copy of the game may have saved while the prompt was up: the
    // save reads the table again under the lock and ranks the entry there.
    // Without an entry the ten are written back as they are, which drops
    // an eleventh record left by an earlier game.
    const Stored stored = storeGame(files, entry);
    if (stored.crowdedOut)
        services.messageBox->show(
            owner,
            QStringLiteral("While you typed your name, another game saved better scores: your "
                           "score of %1 no longer earns a place among the ten best.")
                .arg(score));
    if (stored.unreadable) {
        // The window would only say the same again.
        notRecorded(stored.error);
        return;
    }
    if (!stored.ok)
        services.messageBox->show(owner, QString::fromStdString(stored.error));

    // A failed save left the old table in place, and the window lists it.
    form2.Open(owner);
}

} // namespace scores
