// The registry on platforms that have none: a read-only stand-in that
// knows one key and one value. Asked for the full path of the system
// information tool ("PATH" under the MSINFO key of HKEY_LOCAL_MACHINE), it
// answers with the host's own system information program; every other key
// and value is missing. Like Windows it compares names without regard to
// case, and like a key that the user may only read, it refuses to open
// with more than read access.

#include "registry.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <algorithm>
#include <cstring>
#include <string_view>

namespace sysinfo {
namespace {

// The programs that show what the machine is made of, best first. The first
// of them found on the search path is the tool. All are graphical tools
// that Debian ships:
//   hardinfo              system profiler and benchmark (GTK)
//   kinfocenter           KDE's information centre
//   cpu-x                 processor, board, memory and graphics (GTK)
//   lshw-gtk              hardware lister, graphical front end
//   gnome-system-monitor  GNOME's monitor; its first page is the system
constexpr std::string_view Tools[] = {
    "hardinfo", "kinfocenter", "cpu-x", "lshw-gtk", "gnome-system-monitor",
};

constexpr KeyHandle MsinfoHandle = 1;

bool sameName(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

// Looks along PATH at every click, so a tool installed meanwhile is found.
// Only absolute folders count: an empty or relative entry would mean the
// game's working folder, and a program lying there is not the host's tool.
std::string findTool()
{
    QStringList folders;
    const QStringList path = qEnvironmentVariable("PATH").split(QLatin1Char(':'));
    for (const QString &folder : path) {
        if (QDir::isAbsolutePath(folder))
            folders.append(folder);
    }
    // With no folders at all, Qt would search the whole PATH after all.
    if (folders.isEmpty())
        return {};
    for (const std::string_view tool : Tools) {
        const QString found = QStandardPaths::findExecutable(
            QString::fromLatin1(tool.data(), static_cast<qsizetype>(tool.size())), folders);
        if (!found.isEmpty())
            return QFile::encodeName(found).toStdString();
    }
    return {};
}

class HostRegistry final : public Registry {
public:
    Status OpenKey(std::uint32_t RootKey, const std::string &KeyPath, std::uint32_t access,
                   KeyHandle &key) override
    {
        if (RootKey != HkeyLocalMachine || !sameName(KeyPath, MsinfoKey))
            return FileNotFound;
        if ((access & ~KeyRead) != 0)
            return AccessDenied;
        key = MsinfoHandle;
        return Success;
    }

    Status QueryValue(KeyHandle key, const std::string &ValueName, std::uint32_t &DataType,
                      unsigned char *data, std::uint32_t &DataSize) override
    {
        if (key != MsinfoHandle || !sameName(ValueName, MsinfoPathValue))
            return FileNotFound;
        const std::string tool = findTool();
        if (tool.empty())
            return FileNotFound;
        // A text value carries its terminating zero byte.
        const auto needed = static_cast<std::uint32_t>(tool.size() + 1);
        DataType = RegSz;
        if (data == nullptr || DataSize < needed) {
            const bool wanted = data != nullptr;
            DataSize = needed;
            return wanted ? MoreData : Success;
        }
        std::memcpy(data, tool.c_str(), needed);
        DataSize = needed;
        return Success;
    }

    Status CloseKey(KeyHandle key) override
    {
        return key == MsinfoHandle ? Success : 6; // ERROR_INVALID_HANDLE
    }
};

} // namespace

std::unique_ptr<Registry> makePlatformRegistry()
{
    return std::make_unique<HostRegistry>();
}

} // namespace sysinfo
