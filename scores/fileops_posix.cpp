// The high-score file's operations on Linux and other POSIX systems.

#include "fileops.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "hiscorefile.h"

namespace scores {
namespace {

Status fromErrno(int error)
{
    return Status::failed(std::strerror(error));
}

// The permission bits of `path`, or those of a table as delivered.
mode_t permissionsOf(const std::string &path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode))
        return info.st_mode & 0777;
    return 0644;
}

// Whatever the name leads to, the reason it is no file to read.
Status notRegular(mode_t mode)
{
    if (S_ISDIR(mode))
        return {Status::Folder, "a folder"};
    return {Status::NotFile, S_ISFIFO(mode) ? "a FIFO" : S_ISSOCK(mode) ? "a socket" : "a device"};
}

class PosixFileOps final : public FileOps {
public:
    explicit PosixFileOps(std::string folder)
        : m_folder(folder.empty() ? std::string(1, '.') : std::move(folder))
    {
    }

    ~PosixFileOps() override
    {
        if (m_fd >= 0)
            ::close(m_fd);
        unlock();
    }

    Status readStart(const std::string &name, std::string &bytes) override
    {
        bytes.clear();
        // A look before opening keeps devices from being opened at all
        // (opening some has effects of its own); the look at what was
        // opened is the one that counts, should the name change between.
        struct stat info {};
        const std::string file = path(name);
        if (::stat(file.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
            return notRegular(info.st_mode);
        // Without O_NONBLOCK, opening a FIFO waits for a writer forever.
        const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            const int error = errno;
            if (error == ENOENT)
                return {Status::Missing, {}};
            return fromErrno(error);
        }
        if (::fstat(fd, &info) != 0) {
            const int error = errno;
            ::close(fd);
            return fromErrno(error);
        }
        if (!S_ISREG(info.st_mode)) {
            ::close(fd);
            return notRegular(info.st_mode);
        }
        TableStart start;
        char buffer[4096];
        while (const std::size_t room = std::min(sizeof buffer, start.room())) {
            const ssize_t n = ::read(fd, buffer, room);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                const int error = errno;
                ::close(fd);
                return fromErrno(error);
            }
            if (n == 0)
                break;
            start.append({buffer, static_cast<std::size_t>(n)});
        }
        ::close(fd);
        bytes = std::move(start.bytes());
        return {};
    }

    Status lock(const std::string &name, const std::string &like,
                std::chrono::milliseconds patience) override
    {
        unlock();
        // Whoever may read the table may take the lock, and no one else.
        const int fd = ::open(path(name).c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK
                                  | O_NOCTTY | O_CLOEXEC,
                              permissionsOf(path(like)) & 0666);
        if (fd < 0)
            return fromErrno(errno);
        struct stat info {};
        if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            ::close(fd);
            return Status::failed("it is not a regular file");
        }
        const auto deadline = std::chrono::steady_clock::now() + patience;
        for (;;) {
            if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
                m_lock = fd;
                return {};
            }
            const int error = errno;
            if (error != EWOULDBLOCK && error != EINTR) {
                ::close(fd);
                return fromErrno(error);
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                ::close(fd);
                return {Status::Busy, {}};
            }
            ::usleep(10'000);
        }
    }

    void unlock() override
    {
        // Closing the last descriptor of the lock file releases the lock.
        if (m_lock >= 0)
            ::close(m_lock);
        m_lock = -1;
    }

    Status create(const std::string &name, const std::string &like) override
    {
        // Made private first, so that no one who may not read the old table
        // can open the new one before its permissions are set; O_EXCL and
        // O_NOFOLLOW refuse anything already there, a link or FIFO too.
        m_fd = ::open(path(name).c_str(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                      0600);
        if (m_fd < 0)
            return fromErrno(errno);
        // Where the system keeps no such bits (a FAT stick) this may fail;
        // the table is then private to the player, never more open.
        (void)::fchmod(m_fd, permissionsOf(path(like)));
        return {};
    }

    Status write(std::string_view bytes) override
    {
        while (!bytes.empty()) {
            const ssize_t n = ::write(m_fd, bytes.data(), bytes.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return fromErrno(errno);
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
        return {};
    }

    Status sync() override
    {
        return ::fsync(m_fd) != 0 ? fromErrno(errno) : Status{};
    }

    Status close() override
    {
        // The descriptor is gone whatever close says, so it is never retried.
        const int result = ::close(m_fd);
        m_fd = -1;
        return result != 0 ? fromErrno(errno) : Status{};
    }

    Status replace(const std::string &from, const std::string &to) override
    {
        return ::rename(path(from).c_str(), path(to).c_str()) != 0 ? fromErrno(errno) : Status{};
    }

    Status syncFolder() override
    {
        const int fd = ::open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return fromErrno(errno);
        const int result = ::fsync(fd);
        const int error = errno;
        ::close(fd);
        return result != 0 ? fromErrno(error) : Status{};
    }

    void remove(const std::string &name) override { ::unlink(path(name).c_str()); }

    std::string displayPath(const std::string &name) override { return path(name); }

private:
    std::string path(const std::string &name) const
    {
        std::string out;
        out.reserve(m_folder.size() + 1 + name.size());
        out.append(m_folder);
        if (out.back() != '/')
            out.push_back('/');
        out.append(name);
        return out;
    }

    std::string m_folder;
    int m_fd = -1;
    int m_lock = -1;
};

} // namespace

std::unique_ptr<FileOps> makeSystemFileOps(const std::string &folder)
{
    return std::make_unique<PosixFileOps>(folder);
}

} // namespace scores
