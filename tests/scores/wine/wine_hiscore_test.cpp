// Runs the high-score file code built for Windows (fileops_win.cpp, no Qt)
// under Wine, each case in a folder of its own below the working folder
// that tools/run-wine-tests.sh gives it: a game's save, a stale or odd xxx,
// a second copy that finds the lock taken, a reader holding the table open
// when a save renames, and reads of a folder, a device and a big file. Prints one
// line per case; exits non-zero on any failure. Wine is not Windows: this
// shows the calls are used as meant, not how every Windows version acts.

#include "hiscorestore.h"

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "checks.h"

using namespace scores;

namespace {

using checks::check;

std::string slurp(const char *name)
{
    std::ifstream in(name, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return in ? out.str() : std::string("<unreadable>");
}

void put(const char *name, const std::string &bytes)
{
    std::ofstream(name, std::ios::binary) << bytes;
}

bool exists(const char *name)
{
    return GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES;
}

std::vector<Record> oldRecords()
{
    std::vector<Record> records;
    for (int i = 0; i < TableSize; ++i)
        records.push_back({"P" + std::to_string(i + 1), static_cast<std::int16_t>(900 - 100 * i)});
    return records;
}

const std::string Old = formatRecords(oldRecords());

std::string withKim()
{
    std::vector<Record> records = oldRecords();
    records.insert(records.begin() + 3, Record{"Kim", 650});
    return formatRecords(records);
}

// A fresh folder for one case, made the working folder.
void enter(const char *name)
{
    static char home[MAX_PATH] = {};
    if (!home[0])
        GetCurrentDirectoryA(MAX_PATH, home);
    SetCurrentDirectoryA(home);
    CreateDirectoryA(name, nullptr);
    SetCurrentDirectoryA(name);
    put(HighScoreFile, Old);
}

void saves()
{
    enter("save");
    auto files = makeSystemFileOps(".");
    Stored stored = storeGame(*files, Record{"Kim", 650});
    check(stored.ok && slurp(HighScoreFile) == withKim(), "a game's save puts the entry at its rank",
          stored.error);
    check(!exists(TemporaryFile) && exists(SaveLockFile), "xxx is gone, the lock file stays");

    enter("stale");
    put(TemporaryFile, "\"stale\",1\r\n\"ha");
    stored = storeGame(*files, Record{"Kim", 650});
    check(stored.ok && slurp(HighScoreFile) == withKim() && !exists(TemporaryFile),
          "a stale xxx is removed and made anew", stored.error);

    enter("folder");
    CreateDirectoryA(TemporaryFile, nullptr);
    stored = storeGame(*files, Record{"Kim", 650});
    check(!stored.ok && stored.error.find("xxx") != std::string::npos
              && stored.error.find("is unchanged") != std::string::npos && slurp(HighScoreFile) == Old,
          "a folder named xxx stops the save and leaves the table", stored.error);
}

void lockedOut()
{
    enter("lock");
    auto first = makeSystemFileOps(".");
    auto second = makeSystemFileOps(".");
    check(bool(first->lock(SaveLockFile, HighScoreFile, std::chrono::milliseconds(0))), "the first copy locks");
    const ULONGLONG start = GetTickCount64();
    Stored stored = storeGame(*second, Record{"Lee", 750}, std::chrono::milliseconds(300));
    const ULONGLONG waited = GetTickCount64() - start;
    check(!stored.ok && stored.error.find("another copy of Squibbo") != std::string::npos && waited >= 250
              && waited < 5000 && slurp(HighScoreFile) == Old,
          "a second copy waits for the lock, then gives up", stored.error);
    first->unlock();
    stored = storeGame(*second, Record{"Kim", 650});
    check(stored.ok && slurp(HighScoreFile) == withKim(), "once released, the second copy saves",
          stored.error);
}

DWORD WINAPI closeSoon(void *handle)
{
    Sleep(150);
    CloseHandle(static_cast<HANDLE>(handle));
    return 0;
}

void readerDuringSave()
{
    enter("reader");
    // Opened as the reader opens it, and let go while the save waits.
    HANDLE reader = CreateFileA(HighScoreFile, GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE closer = CreateThread(nullptr, 0, closeSoon, reader, 0, nullptr);
    auto files = makeSystemFileOps(".");
    const Stored stored = storeGame(*files, Record{"Kim", 650});
    WaitForSingleObject(closer, INFINITE);
    CloseHandle(closer);
    check(reader != INVALID_HANDLE_VALUE && stored.ok && slurp(HighScoreFile) == withKim(),
          "a reader holding the table open for a moment does not stop a save", stored.error);
}

void reads()
{
    enter("reads");
    auto files = makeSystemFileOps(".");
    std::string bytes;
    CreateDirectoryA("folder", nullptr);
    check(files->readStart("folder", bytes).code == Status::Folder, "a folder is refused");
    check(files->readStart("NUL", bytes).code == Status::NotFile, "a device is refused");
    put("big", std::string(10 << 20, 'x'));
    const Status big = files->readStart("big", bytes);
    check(big && bytes.size() == ReadLimit, "a big file is read only up to the limit",
          std::to_string(bytes.size()));
    put(HighScoreFile, Old.substr(0, Old.size() - 2));
    const Loaded loaded = loadTable(*files);
    check(loaded.ok && loaded.table[9].name == "P10", "a tenth record without its line end reads",
          loaded.error);
}

} // namespace

int main()
{
    saves();
    lockedOut();
    readerDuringSave();
    reads();
    std::printf("%d failed\n", checks::failures);
    return checks::failures == 0 ? 0 : 1;
}
