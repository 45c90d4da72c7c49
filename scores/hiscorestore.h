#pragma once
// Reading the table from squibbo.hi and putting a new version in its place
// through the temporary file xxx, both in the working directory.

#include "fileops.h"
#include "hiscorefile.h"

#include <string>
#include <vector>

namespace scores {

inline constexpr const char *HighScoreFile = "squibbo.hi";
inline constexpr const char *TemporaryFile = "xxx";

struct Loaded {
    bool ok = false;
    Table table{};
    // When !ok: a sentence for the player naming the file and what is
    // wrong with it.
    std::string error;
};

// Reads and checks the first ten records of squibbo.hi. Changes nothing on
// disk.
Loaded loadTable(FileOps &files);

struct Saved {
    bool ok = false;
    // Whether squibbo.hi now holds the new records. It can be true with
    // !ok: the rename worked but the folder could not be synced.
    bool replaced = false;
    std::string error;
};

// Writes `records` to xxx, syncs and closes it, renames it over squibbo.hi
// and syncs the folder. Before the rename nothing of the old file has
// changed; when any step up to the rename fails, xxx is removed and the old
// file stays as it was.
Saved saveTable(FileOps &files, const std::vector<Record> &records);

} // namespace scores
