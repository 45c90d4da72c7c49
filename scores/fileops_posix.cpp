// The high-score file's operations on Linux and other POSIX systems.

#include "fileops.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "hiscorefile.h"

namespace scores {
namespace {

Status fromErrno(int error)
{
    return Status::failed(std::strerror(error));
}

class PosixFileOps final : public FileOps {
public:
    ~PosixFileOps() override
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    Status readStart(const std::string &name, std::string &bytes) override
    {
        bytes.clear();
        const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            const int error = errno;
            if (error == ENOENT)
                return {Status::Missing, {}};
            return fromErrno(error);
        }
        struct stat info {};
        if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
            const bool folder = S_ISDIR(info.st_mode);
            const int error = errno;
            ::close(fd);
            return folder ? Status{Status::Folder, {}} : fromErrno(error);
        }
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                const int error = errno;
                ::close(fd);
                return fromErrno(error);
            }
            if (n == 0)
                break;
            bytes.append(buffer, static_cast<std::size_t>(n));
            // Lines after the tenth are never read, however long they are.
            if (holdsTenLines(bytes))
                break;
        }
        ::close(fd);
        return {};
    }

    Status create(const std::string &name) override
    {
        m_fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        return m_fd < 0 ? fromErrno(errno) : Status{};
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
        return ::rename(from.c_str(), to.c_str()) != 0 ? fromErrno(errno) : Status{};
    }

    Status syncFolder() override
    {
        const int fd = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return fromErrno(errno);
        const int result = ::fsync(fd);
        const int error = errno;
        ::close(fd);
        return result != 0 ? fromErrno(error) : Status{};
    }

    void remove(const std::string &name) override { ::unlink(name.c_str()); }

    std::string displayPath(const std::string &name) override
    {
        char buffer[4096];
        if (!::getcwd(buffer, sizeof buffer))
            return name;
        std::string path = buffer;
        if (path.empty() || path.back() != '/')
            path += '/';
        return path + name;
    }

private:
    int m_fd = -1;
};

} // namespace

std::unique_ptr<FileOps> makeSystemFileOps()
{
    return std::make_unique<PosixFileOps>();
}

} // namespace scores
