// Plays the end of a game that enters "Kim" with 650 points into the table
// in the working directory, and kills itself with SIGKILL just before file
// operation number argv[1]. Without being killed it exits with the number
// of file operations it did (and 100 more when the save failed).

#include "hiscorestore.h"

#include <csignal>
#include <cstdlib>

int main(int argc, char **argv)
{
    const int killAt = argc > 1 ? std::atoi(argv[1]) : -1;
    auto system = scores::makeSystemFileOps();
    scores::SteppedFileOps files(*system, [killAt](int step, std::string_view) {
        if (step == killAt)
            std::raise(SIGKILL);
    });
    const scores::Loaded loaded = scores::loadTable(files);
    if (!loaded.ok)
        return 200;
    const scores::Record entry{"Kim", 650};
    const auto rank = scores::entryRank(loaded.table, entry.score);
    const scores::Saved saved =
        scores::saveTable(files, scores::recordsAfterGame(loaded.table, rank, entry));
    return files.steps() + (saved.ok ? 0 : 100);
}
