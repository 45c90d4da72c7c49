// Looks at the Windows edition from the Windows side, for the test that
// plays it under Wine:
//   wintool client TITLE   the client area of the top-level window TITLE, as WxH
//   wintool close TITLE    asks the window TITLE to close, as its close box does
//   wintool version FILE   the version record of FILE, one item a line
// Exits 1 when the window or the record is not there.

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string utf8(const std::wstring &text)
{
    if (text.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(std::size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

HWND topLevel(const wchar_t *title)
{
    HWND window = FindWindowW(nullptr, title);
    if (!window)
        std::fprintf(stderr, "no window titled \"%s\"\n", utf8(title).c_str());
    return window;
}

int client(const wchar_t *title)
{
    HWND window = topLevel(title);
    RECT r{};
    if (!window || !GetClientRect(window, &r))
        return 1;
    std::printf("%ldx%ld\n", r.right - r.left, r.bottom - r.top);
    return 0;
}

int close(const wchar_t *title)
{
    HWND window = topLevel(title);
    return window && PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
}

int version(const wchar_t *file)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file, &ignored);
    std::string record(size, '\0');
    if (size == 0 || !GetFileVersionInfoW(file, 0, size, record.data())) {
        std::fprintf(stderr, "no version record in \"%s\"\n", utf8(file).c_str());
        return 1;
    }
    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(record.data(), L"\\", reinterpret_cast<void **>(&fixed), &length))
        return 1;
    std::printf("FileVersion %u.%u.%u.%u\n", unsigned(HIWORD(fixed->dwFileVersionMS)),
                unsigned(LOWORD(fixed->dwFileVersionMS)), unsigned(HIWORD(fixed->dwFileVersionLS)),
                unsigned(LOWORD(fixed->dwFileVersionLS)));
    std::printf("ProductVersion %u.%u.%u.%u\n", unsigned(HIWORD(fixed->dwProductVersionMS)),
                unsigned(LOWORD(fixed->dwProductVersionMS)), unsigned(HIWORD(fixed->dwProductVersionLS)),
                unsigned(LOWORD(fixed->dwProductVersionLS)));
    struct Translation {
        WORD language, codePage;
    } *translations = nullptr;
    if (!VerQueryValueW(record.data(), L"\\VarFileInfo\\Translation",
                        reinterpret_cast<void **>(&translations), &length)
        || length < sizeof(Translation))
        return 1;
    for (const wchar_t *item : {L"ProductName", L"FileVersion", L"ProductVersion",
                                L"InternalName", L"OriginalFilename"}) {
        wchar_t path[128];
        swprintf(path, 128, L"\\StringFileInfo\\%04x%04x\\%ls", translations->language,
                 translations->codePage, item);
        wchar_t *value = nullptr;
        if (VerQueryValueW(record.data(), path, reinterpret_cast<void **>(&value), &length))
            std::printf("%s \"%s\"\n", utf8(item).c_str(), utf8(value).c_str());
    }
    return 0;
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    if (argc == 3) {
        const std::wstring command = argv[1];
        if (command == L"client")
            return client(argv[2]);
        if (command == L"close")
            return close(argv[2]);
        if (command == L"version")
            return version(argv[2]);
    }
    std::fprintf(stderr, "usage: wintool client|close TITLE | wintool version FILE\n");
    return 2;
}
