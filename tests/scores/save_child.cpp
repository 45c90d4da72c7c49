// The save at the end of one game, as the game makes it, on the table in
// the game folder FOLDER: the table is read before the name prompt, then
// the entry is stored under the lock. The tests run it as a separate
// process, to kill it or stop it in the middle of a save, or to give up on
// it when it hangs.
//
//   hiscore_save_child --folder FOLDER [--score N] [--name TEXT]
//                      [--kill-at STEP] [--stop-at STEP] [--patience MS]
//
// --kill-at ends it with SIGKILL and --stop-at stops it with SIGSTOP just
// before file operation number STEP (counted as SteppedFileOps counts
// them). It prints any message the player would see, one a line, and exits
// with the number of file operations done, 100 more when the save failed;
// 200 when the table could not be read before the prompt.

#include "hiscorestore.h"
#include "steppedfileops.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char **argv)
{
    int killAt = -1;
    int stopAt = -1;
    long patience = scores::LockPatience.count();
    scores::Record entry{"Kim", 650};
    std::string folder = ".";
    for (int i = 1; i + 1 < argc; i += 2) {
        const char *value = argv[i + 1];
        if (!std::strcmp(argv[i], "--folder"))
            folder = value;
        else if (!std::strcmp(argv[i], "--score"))
            entry.score = static_cast<std::int16_t>(std::atoi(value));
        else if (!std::strcmp(argv[i], "--name"))
            entry.name = scores::sanitizeName(value);
        else if (!std::strcmp(argv[i], "--kill-at"))
            killAt = std::atoi(value);
        else if (!std::strcmp(argv[i], "--stop-at"))
            stopAt = std::atoi(value);
        else if (!std::strcmp(argv[i], "--patience"))
            patience = std::atol(value);
    }
    auto system = scores::makeSystemFileOps(folder);
    scores::SteppedFileOps files(*system, [&](int step, std::string_view) {
        if (step == killAt)
            std::raise(SIGKILL);
        if (step == stopAt)
            std::raise(SIGSTOP);
    });
    const scores::Loaded loaded = scores::loadTable(files);
    if (!loaded.ok) {
        std::printf("%s\n", loaded.error.c_str());
        return 200;
    }
    std::optional<scores::Record> prompted;
    if (scores::entryRank(loaded.table, entry.score))
        prompted = entry;
    const scores::Stored stored =
        scores::storeGame(files, prompted, std::chrono::milliseconds(patience));
    if (stored.crowdedOut)
        std::printf("crowded out\n");
    if (!stored.error.empty())
        std::printf("%s\n", stored.error.c_str());
    return files.steps() + (stored.ok ? 0 : 100);
}
