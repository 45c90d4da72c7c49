#pragma once
// The few file operations that reading and replacing the high-score file
// need, behind an interface: the system's own, or one that a test wraps to
// fail a step or to stop the program in the middle of a replacement.

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace scores {

struct Status {
    // NotFile: something other than a regular file or a folder (a FIFO, a
    // device, a socket). Busy: another copy of the game holds the lock.
    enum Code { Ok, Missing, Folder, NotFile, Busy, Failed };
    Code code = Ok;
    // The system's own words for a failure, e.g. "No space left on device".
    std::string detail;

    explicit operator bool() const { return code == Ok; }
    static Status failed(std::string detail) { return {Failed, std::move(detail)}; }
};

class FileOps {
public:
    virtual ~FileOps() = default;

    // Reads a file from its start until it holds ten line ends, ends, or
    // reaches ReadLimit bytes (TableStart). Never waits: only a regular file
    // is read, anything else is refused (Folder, NotFile) without reading.
    virtual Status readStart(const std::string &name, std::string &bytes) = 0;

    // Takes the exclusive lock that every copy of the game sharing the
    // folder takes around a replacement, on the file `name` (made when
    // missing, with at most the permission bits of `like`; never opened
    // through a link). Tries again and again for up to `patience`, then
    // gives up with Busy. The lock is released by unlock, and by the system
    // when the program ends, however it ends.
    virtual Status lock(const std::string &name, const std::string &like,
                        std::chrono::milliseconds patience) = 0;
    virtual void unlock() = 0;

    // Output goes to one file at a time: create makes it new, write appends,
    // sync puts everything written on the disk, close ends it. create fails
    // when anything of that name is there already, a link or a FIFO
    // included, so it never writes into another file; the new file gets
    // the permission bits of the file `like`, where the system has them.
    virtual Status create(const std::string &name, const std::string &like) = 0;
    virtual Status write(std::string_view bytes) = 0;
    virtual Status sync() = 0;
    virtual Status close() = 0;

    // Gives `from` the name `to` in one step, replacing the file of that
    // name, so that `to` names the old or the new file at every moment.
    virtual Status replace(const std::string &from, const std::string &to) = 0;
    // Puts the folder's entries (the new name) on the disk. Nothing to do
    // where the replacement itself writes through.
    virtual Status syncFolder() = 0;

    // Removes a file if it is there; never fails loudly.
    virtual void remove(const std::string &name) = 0;

    // The full path of a file of the folder, for messages.
    virtual std::string displayPath(const std::string &name) = 0;
};

// The operating system's files in the game folder `folder` (UTF-8): every
// name given to the operations is a file of that folder.
std::unique_ptr<FileOps> makeSystemFileOps(const std::string &folder);

} // namespace scores
