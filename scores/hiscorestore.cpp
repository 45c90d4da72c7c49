#include "hiscorestore.h"

namespace scores {
namespace {

std::string spoken(std::chrono::milliseconds time)
{
    const auto ms = time.count();
    return ms % 1000 == 0 ? std::to_string(ms / 1000) + (ms == 1000 ? " second" : " seconds")
                          : std::to_string(ms) + " milliseconds";
}

} // namespace

Loaded loadTable(FileOps &files)
{
    Loaded out;
    const std::string path = files.displayPath(HighScoreFile);
    std::string bytes;
    const Status read = files.readStart(HighScoreFile, bytes);
    switch (read.code) {
    case Status::Ok:
        break;
    case Status::Missing:
        out.error = "The high-score file " + path + " is missing.";
        return out;
    case Status::Folder:
        out.error = "The high-score file " + path + " is a folder, not a file.";
        return out;
    case Status::NotFile:
        out.error = "The high-score file " + path + " is not a regular file but " + read.detail
            + "; the game reads its table only from a regular file.";
        return out;
    case Status::Busy:
    case Status::Failed:
        out.error = "The high-score file " + path + " cannot be read: " + read.detail + ".";
        return out;
    }
    Parsed parsed = parseTable(bytes);
    if (!parsed.ok) {
        out.error = "The high-score file " + path + " is damaged: " + parsed.error + ".";
        return out;
    }
    out.ok = true;
    out.table = std::move(parsed.table);
    return out;
}

Saved saveTable(FileOps &files, const std::vector<Record> &records)
{
    Saved out;
    bool open = false;
    auto fail = [&](const char *doing, const std::string &name, const Status &status) {
        if (open)
            files.close();
        files.remove(TemporaryFile);
        out.error = "The high scores could not be saved: " + std::string(doing) + " "
            + files.displayPath(name) + " failed (" + status.detail + "). The table in "
            + files.displayPath(HighScoreFile) + " is unchanged.";
        return out;
    };

    // Left by a copy of the game that was ended in the middle of a save, or
    // put there by someone else: removing the name leaves alone whatever
    // it leads to, and create then refuses anything that is there again.
    files.remove(TemporaryFile);
    if (Status s = files.create(TemporaryFile, HighScoreFile); !s)
        return fail("creating", TemporaryFile, s);
    open = true;
    // One record at a time, as the table is copied.
    for (const Record &record : records) {
        if (Status s = files.write(formatRecord(record)); !s)
            return fail("writing", TemporaryFile, s);
    }
    if (Status s = files.sync(); !s)
        return fail("syncing", TemporaryFile, s);
    open = false;
    if (Status s = files.close(); !s)
        return fail("closing", TemporaryFile, s);
    if (Status s = files.replace(TemporaryFile, HighScoreFile); !s)
        return fail("renaming", TemporaryFile, s);
    if (Status s = files.syncFolder(); !s) {
        out.error = "The new high scores are in " + files.displayPath(HighScoreFile)
            + ", but the system could not confirm that they are safe on the disk (" + s.detail
            + ").";
        return out;
    }
    out.ok = true;
    return out;
}

Stored storeGame(FileOps &files, const std::optional<Record> &entry,
                 std::chrono::milliseconds patience)
{
    Stored out;
    if (Status s = files.lock(SaveLockFile, HighScoreFile, patience); !s) {
        const std::string unchanged =
            " The table in " + files.displayPath(HighScoreFile) + " is unchanged.";
        const std::string lockPath = files.displayPath(SaveLockFile);
        out.error = s.code == Status::Busy
            ? "The high scores could not be saved: another copy of Squibbo has been saving them "
                  "for more than " + spoken(patience) + " (it holds " + lockPath + ")." + unchanged
            : "The high scores could not be saved: locking " + lockPath + " failed (" + s.detail
                  + ")." + unchanged;
        return out;
    }
    // Other copies may have saved since this one read the table before the
    // name prompt: the entry goes into the table as they left it.
    const Loaded now = loadTable(files);
    if (!now.ok) {
        files.unlock();
        out.unreadable = true;
        out.error = now.error;
        return out;
    }
    out.rank = entry ? entryRank(now.table, entry->score) : std::nullopt;
    out.crowdedOut = entry && !out.rank;
    static_cast<Saved &>(out) =
        saveTable(files, recordsAfterGame(now.table, out.rank, entry.value_or(Record{})));
    files.unlock();
    return out;
}

} // namespace scores
