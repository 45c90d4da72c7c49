// A stand-in for the system's information tool, for the test that plays the
// Windows edition under Wine. Started, it leaves "started.txt" beside
// itself, so the test knows that "System Info..." started it.

#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring marker(path, n);
    marker.erase(marker.find_last_of(L'\\') + 1);
    marker += L"started.txt";
    HANDLE file = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    WriteFile(file, "started\r\n", 9, &written, nullptr);
    CloseHandle(file);
    return 0;
}
