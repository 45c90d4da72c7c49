// The high-score file's operations on Windows. The new table takes the old
// one's name with MoveFileExW, replacing it in one step and writing through
// to the disk, so there is no folder to sync afterwards.

#include "fileops.h"

#include "hiscorefile.h"

#include <algorithm>

#include <windows.h>

namespace scores {
namespace {

std::wstring wide(const std::string &utf8)
{
    if (utf8.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                      nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string utf8(const std::wstring &text)
{
    if (text.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

Status fromError(DWORD error)
{
    wchar_t *text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                       | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, error, 0, reinterpret_cast<wchar_t *>(&text), 0,
                                   nullptr);
    std::wstring message = n && text ? std::wstring(text, n) : L"error " + std::to_wstring(error);
    if (text)
        LocalFree(text);
    while (!message.empty()
           && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L'.'))
        message.pop_back();
    return Status::failed(utf8(message));
}

class WindowsFileOps final : public FileOps {
public:
    explicit WindowsFileOps(const std::string &folder) : m_folder(wide(folder))
    {
        for (wchar_t &c : m_folder) {
            if (c == L'/')
                c = L'\\';
        }
        if (m_folder.empty())
            m_folder = L".";
        if (m_folder.back() != L'\\')
            m_folder += L'\\';
    }

    ~WindowsFileOps() override
    {
        if (m_file != INVALID_HANDLE_VALUE)
            CloseHandle(m_file);
        unlock();
    }

    Status readStart(const std::string &name, std::string &bytes) override
    {
        bytes.clear();
        const std::wstring where = path(name);
        const DWORD attributes = GetFileAttributesW(where.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return {Status::Folder, "a folder"};
        // Shared for writing and deleting too, so that another copy of the
        // game can put its new table in place while this one reads.
        HANDLE file = CreateFileW(where.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
                return {Status::Missing, {}};
            return fromError(error);
        }
        // A pipe or a device could keep a read waiting forever.
        if (GetFileType(file) != FILE_TYPE_DISK) {
            CloseHandle(file);
            return {Status::NotFile, "a device or pipe"};
        }
        TableStart start;
        char buffer[4096];
        while (const std::size_t room = std::min(sizeof buffer, start.room())) {
            DWORD n = 0;
            if (!ReadFile(file, buffer, static_cast<DWORD>(room), &n, nullptr)) {
                const DWORD error = GetLastError();
                CloseHandle(file);
                return fromError(error);
            }
            if (n == 0)
                break;
            start.append({buffer, n});
        }
        CloseHandle(file);
        bytes = std::move(start.bytes());
        return {};
    }

    Status lock(const std::string &name, const std::string &,
                std::chrono::milliseconds patience) override
    {
        unlock();
        // The new file inherits the folder's access rules, as the table did.
        HANDLE file = CreateFileW(path(name).c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return fromError(GetLastError());
        if (GetFileType(file) != FILE_TYPE_DISK) {
            CloseHandle(file);
            return Status::failed("it is not a regular file");
        }
        const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(patience.count());
        for (;;) {
            OVERLAPPED at{};
            if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                           &at)) {
                m_lock = file;
                return {};
            }
            const DWORD error = GetLastError();
            if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING) {
                CloseHandle(file);
                return fromError(error);
            }
            if (GetTickCount64() >= deadline) {
                CloseHandle(file);
                return {Status::Busy, {}};
            }
            Sleep(10);
        }
    }

    void unlock() override
    {
        if (m_lock == INVALID_HANDLE_VALUE)
            return;
        OVERLAPPED at{};
        UnlockFileEx(m_lock, 0, 1, 0, &at);
        CloseHandle(m_lock);
        m_lock = INVALID_HANDLE_VALUE;
    }

    Status create(const std::string &name, const std::string &) override
    {
        // CREATE_NEW refuses any file, link or device name already there.
        // The new file inherits the folder's access rules, as the old one
        // normally did; there are no permission bits to carry over.
        m_file = CreateFileW(path(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        return m_file == INVALID_HANDLE_VALUE ? fromError(GetLastError()) : Status{};
    }

    Status write(std::string_view bytes) override
    {
        while (!bytes.empty()) {
            DWORD n = 0;
            if (!WriteFile(m_file, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr))
                return fromError(GetLastError());
            bytes.remove_prefix(n);
        }
        return {};
    }

    Status sync() override
    {
        return FlushFileBuffers(m_file) ? Status{} : fromError(GetLastError());
    }

    Status close() override
    {
        const BOOL closed = CloseHandle(m_file);
        m_file = INVALID_HANDLE_VALUE;
        return closed ? Status{} : fromError(GetLastError());
    }

    Status replace(const std::string &from, const std::string &to) override
    {
        // The old table cannot be replaced while anyone has it open: a copy
        // of the game reading it (for a moment), or a virus scanner looking
        // at it. Both let go soon, so the rename is tried again for a while.
        for (int attempt = 0;; ++attempt) {
            if (MoveFileExW(path(from).c_str(), path(to).c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
                return {};
            const DWORD error = GetLastError();
            if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION)
                || attempt == 100)
                return fromError(error);
            Sleep(10);
        }
    }

    Status syncFolder() override { return {}; }

    void remove(const std::string &name) override { DeleteFileW(path(name).c_str()); }

    std::string displayPath(const std::string &name) override { return utf8(path(name)); }

private:
    std::wstring path(const std::string &name) const { return m_folder + wide(name); }

    std::wstring m_folder; // with its closing backslash
    HANDLE m_file = INVALID_HANDLE_VALUE;
    HANDLE m_lock = INVALID_HANDLE_VALUE;
};

} // namespace

std::unique_ptr<FileOps> makeSystemFileOps(const std::string &folder)
{
    return std::make_unique<WindowsFileOps>(folder);
}

} // namespace scores
