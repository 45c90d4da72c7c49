#pragma once
// Reading the table from squibbo.hi and putting a new version in its place
// through the temporary file xxx, both in the game folder.
//
// Several copies of the game may share the folder. A copy that saves holds
// the lock on squibbo.lock from reading the table again until the new one
// has its name, so two games that end together never write xxx at the same
// time, and each saves into the table as the other left it. Readers take no
// lock: the rename shows them the old table or the new one, never a part.

#include "fileops.h"
#include "hiscorefile.h"
#include "release.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace scores {

// The table is named with the files of the game folder (release.h).
using rt::HighScoreFile;
inline constexpr const char *TemporaryFile = "xxx";
// Named apart from the Windows call LockFile.
inline constexpr const char *SaveLockFile = "squibbo.lock";

// How long a save waits for another copy of the game to finish its own.
// A save takes milliseconds; a copy that holds the lock longer is stuck
// (stopped in a debugger, say), and the player is told rather than frozen.
inline constexpr std::chrono::milliseconds LockPatience{5000};

struct Loaded {
    bool ok = false;
    Table table{};
    // When !ok: a sentence for the player naming the file and what is
    // wrong with it.
    std::string error;
};

// Reads and checks the first ten records of squibbo.hi. Changes nothing on
// disk, and never waits: anything but a regular file is refused.
Loaded loadTable(FileOps &files);

struct Saved {
    // False with an error when any step failed; the error says whether the
    // new table is in place (only the folder sync after the rename failed)
    // or the old one stays.
    bool ok = false;
    std::string error;
};

// Removes a stale xxx, makes it new with the permission bits of squibbo.hi,
// writes `records` to it, syncs and closes it, renames it over squibbo.hi
// and syncs the folder. Before the rename nothing of the old file has
// changed; when any step up to the rename fails, xxx is removed and the old
// file stays as it was. The caller holds the lock.
Saved saveTable(FileOps &files, const std::vector<Record> &records);

struct Stored : Saved {
    // The table could not be read again: nothing was written, and `error`
    // says what is wrong with it.
    bool unreadable = false;
    // Where the entry went, when it went in.
    std::optional<int> rank;
    // The entry earned a place in the table read before the name prompt,
    // but not in the table as other games had left it meanwhile.
    bool crowdedOut = false;
};

// The save at the end of a game: takes the lock, reads and checks the table
// again, puts `entry` (the player's, when the name prompt was shown) at its
// rank in that table, and replaces the file; without an entry the ten are
// written back as they are. Releases the lock whatever happened.
Stored storeGame(FileOps &files, const std::optional<Record> &entry,
                 std::chrono::milliseconds patience = LockPatience);

} // namespace scores
