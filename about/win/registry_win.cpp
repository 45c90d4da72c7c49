// The Windows registry through advapi32, in its ANSI form. Built only for
// Windows.

#include "registry.h"

#include <windows.h>

namespace sysinfo {
namespace {

// Predefined root keys are 32-bit values that a 64-bit HKEY carries sign
// extended (HKEY_LOCAL_MACHINE is 0xFFFFFFFF80000002 there).
HKEY rootHandle(std::uint32_t RootKey)
{
    return reinterpret_cast<HKEY>(
        static_cast<ULONG_PTR>(static_cast<LONG_PTR>(static_cast<LONG>(RootKey))));
}

class WinRegistry final : public Registry {
public:
    Status OpenKey(std::uint32_t RootKey, const std::string &KeyPath, std::uint32_t access,
                   KeyHandle &key) override
    {
        HKEY opened = nullptr;
        const LONG status =
            RegOpenKeyExA(rootHandle(RootKey), KeyPath.c_str(), 0, access, &opened);
        if (status == ERROR_SUCCESS)
            key = reinterpret_cast<KeyHandle>(opened);
        return status;
    }

    Status QueryValue(KeyHandle key, const std::string &ValueName, std::uint32_t &DataType,
                      unsigned char *data, std::uint32_t &DataSize) override
    {
        DWORD type = 0;
        DWORD size = DataSize;
        const LONG status = RegQueryValueExA(reinterpret_cast<HKEY>(key), ValueName.c_str(),
                                             nullptr, &type, data, &size);
        DataType = type;
        DataSize = size;
        return status;
    }

    Status CloseKey(KeyHandle key) override
    {
        return RegCloseKey(reinterpret_cast<HKEY>(key));
    }
};

} // namespace

std::unique_ptr<Registry> makePlatformRegistry()
{
    return std::make_unique<WinRegistry>();
}

} // namespace sysinfo
