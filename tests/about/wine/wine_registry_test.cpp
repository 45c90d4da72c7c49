// Runs the registry lookup against a real Windows registry (Wine's, in a
// throw-away prefix that tools/run-wine-tests.sh fills with `reg add`), and
// checks the icon and version record linked into this program from
// about/win/squibbo.rc. Prints one line per case; exits non-zero on any
// mismatch.

#include "registry.h"
#include "release.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "checks.h"

using namespace std::string_literals;

namespace {

using checks::check;

// Values that `reg add` cannot store: a text without its terminator, and
// texts right at the size of the receive buffer and one byte over it.
const char *const OwnKey = "SOFTWARE\\SquibboWineTest";

bool storeOwnValues()
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, OwnKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    const auto put = [key](const char *name, const std::string &data) {
        return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(data.data()),
                              static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
    };
    const bool ok = put("Unterminated", "C:\\Tools\\msinfo32.exe"s)
        && put("Terminated", "C:\\Tools\\msinfo32.exe\0"s)
        && put("Fits", std::string(1023, 'a') + '\0')
        && put("TooLong", std::string(1024, 'a') + '\0');
    RegCloseKey(key);
    return ok;
}

void lookups()
{
    struct Case {
        const char *name;
        std::string key;
        const char *value;
        bool found;
        std::string text;
    };
    const std::string msinfo = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
    const std::string location = "SOFTWARE\\Microsoft\\Shared Tools Location";
    const std::string own = OwnKey;
    const Case cases[] = {
        {"PATH present", msinfo, "PATH", true, "C:\\windows\\system32\\msinfo32.exe"},
        {"MSINFO folder present", location, "MSINFO", true, "C:\\windows\\system32"},
        {"value absent", msinfo, "NoSuchValue", false, ""},
        {"key absent", "SOFTWARE\\SquibboNoSuchKey", "PATH", false, ""},
        {"REG_DWORD", own, "Number", true, "&h12345678"},
        {"REG_DWORD, top byte zero", own, "Small", true, "&hABCDEF"},
        {"REG_EXPAND_SZ keeps the text", own, "Expandable", true, "as it came"},
        {"REG_SZ with terminator", own, "Terminated", true, "C:\\Tools\\msinfo32.exe"},
        {"REG_SZ without terminator", own, "Unterminated", true, "C:\\Tools\\msinfo32.exe"},
        {"1024 bytes are read", own, "Fits", true, std::string(1023, 'a')},
        {"1025 bytes are not found", own, "TooLong", false, ""},
    };
    const auto registry = sysinfo::makePlatformRegistry();
    for (const Case &c : cases) {
        std::string text = "as it came";
        const bool found = sysinfo::GetKeyValue(*registry, sysinfo::HkeyLocalMachine, c.key,
                                                c.value, text);
        const std::string shown = text.size() > 60 ? std::to_string(text.size()) + " bytes" : text;
        check(found == c.found && text == c.text, c.name,
              (found ? "found \""s : "not found \""s) + shown + "\"");
    }
}

std::string versionString(const void *block, const char *name)
{
    char *value = nullptr;
    UINT length = 0;
    const std::string path = "\\StringFileInfo\\040904B0\\"s + name;
    if (!VerQueryValueA(block, path.c_str(), reinterpret_cast<void **>(&value), &length) || !value)
        return "(missing)";
    return value;
}

void resources()
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(self, &handle);
    std::string block(size, '\0');
    const bool read = size > 0 && GetFileVersionInfoA(self, 0, size, block.data());
    check(read, "version record present");
    if (read) {
        VS_FIXEDFILEINFO *fixed = nullptr;
        UINT length = 0;
        // The version of this release, as the record gives it: four
        // numbers, and the major one with the minor one in two digits.
        const DWORD high = DWORD(rt::AppMajor) << 16 | DWORD(rt::AppMinor);
        const DWORD low = DWORD(rt::AppRevision) << 16;
        const bool ok = VerQueryValueA(block.data(), "\\", reinterpret_cast<void **>(&fixed), &length)
            && fixed && fixed->dwFileVersionMS == high && fixed->dwFileVersionLS == low
            && fixed->dwProductVersionMS == high && fixed->dwProductVersionLS == low;
        check(ok, "file and product version "s + rt::AppVersion + ".0");
        char twoDigits[16];
        std::snprintf(twoDigits, sizeof twoDigits, "%d.%02d", rt::AppMajor, rt::AppMinor);
        const std::pair<const char *, const char *> strings[] = {
            {"ProductName", "Squibbo"},       {"FileVersion", twoDigits},
            {"ProductVersion", twoDigits},    {"InternalName", "squibbo"},
            {"OriginalFilename", "squibbo.exe"},
        };
        for (const auto &[name, want] : strings) {
            const std::string got = versionString(block.data(), name);
            check(got == want, "version string "s + name, got);
        }
    }

    // The first icon group is the program's icon: 32 x 32 at 8 bits.
    LPSTR first = nullptr;
    EnumResourceNamesA(
        nullptr, RT_GROUP_ICON,
        [](HMODULE, LPCSTR, LPSTR name, LONG_PTR out) -> BOOL {
            *reinterpret_cast<LPSTR *>(out) = name;
            return FALSE;
        },
        reinterpret_cast<LONG_PTR>(&first));
    check(first && IS_INTRESOURCE(first) && reinterpret_cast<ULONG_PTR>(first) == 1,
          "first icon group has the number 1");
#pragma pack(push, 2)
    struct GroupEntry {
        BYTE width, height, colors, reserved;
        WORD planes, bitCount;
        DWORD bytes;
        WORD id;
    };
    struct Group {
        WORD reserved, type, count;
        GroupEntry entries[1];
    };
#pragma pack(pop)
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(1), RT_GROUP_ICON);
    const auto *group = found ? static_cast<const Group *>(LockResource(LoadResource(nullptr, found)))
                              : nullptr;
    check(group && group->count >= 1 && group->entries[0].width == 32
              && group->entries[0].height == 32 && group->entries[0].bitCount == 8,
          "icon is 32 x 32, 8 bits per pixel");
    check(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1)) != nullptr, "icon loads");
}

} // namespace

int main()
{
    check(storeOwnValues(), "store the test's own values");
    lookups();
    resources();
    std::printf("%d failed\n", checks::failures);
    return checks::failures == 0 ? 0 : 1;
}
