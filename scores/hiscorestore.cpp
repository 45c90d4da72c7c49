#include "hiscorestore.h"

namespace scores {

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

    if (Status s = files.create(TemporaryFile); !s)
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
    out.replaced = true;
    if (Status s = files.syncFolder(); !s) {
        out.error = "The new high scores are in " + files.displayPath(HighScoreFile)
            + ", but the system could not confirm that they are safe on the disk (" + s.detail
            + ").";
        return out;
    }
    out.ok = true;
    return out;
}

} // namespace scores
