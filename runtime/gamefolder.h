#pragma once
// The player's own game folder. The game reads its pictures and sounds and
// keeps its high scores in the folder it runs in; that folder belongs to
// the player, so that the scores survive updates and a game installed
// where the player may not write still saves them.

#include <QString>

namespace rt {

// Prepares `folder` from the files delivered in `delivered` (release.h):
// makes the folder, brings in every delivered picture and sound that it
// lacks or that differs (replacing the file, never writing into it), and
// the high-score table only when the folder has none, so that a player's
// own table is never replaced. A file that cannot be refreshed is left as
// it is so long as it is there, and a finer picture that cannot be added
// is done without. Returns an empty text when the folder can be played
// in, or else what went wrong.
QString prepareGameFolder(const QString &delivered, const QString &folder);

} // namespace rt
