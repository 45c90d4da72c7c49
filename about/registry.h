#pragma once
// The system registry as the launcher of the system information tool sees
// it: open a key, query one value into a byte buffer, close the key. The
// calls keep the shape and the status codes of the Windows registry, so
// the lookup is written once and runs on the Windows registry itself or on
// the stand-in of the other platforms. Nothing here needs Qt: this part is
// also built with MinGW-w64 and run under Wine by the test suite.
//
// Registry text is single-byte ANSI: keys, value names and data are plain
// bytes in the system's code page.

#include <cstdint>
#include <memory>
#include <string>

namespace sysinfo {

// Status codes of the registry calls (the Windows error numbers).
using Status = std::int32_t;
inline constexpr Status Success = 0;        // ERROR_SUCCESS
inline constexpr Status FileNotFound = 2;   // ERROR_FILE_NOT_FOUND
inline constexpr Status AccessDenied = 5;   // ERROR_ACCESS_DENIED
inline constexpr Status MoreData = 234;     // ERROR_MORE_DATA: the value does not fit

// The root key under which the tool is recorded, as its 32-bit handle value.
inline constexpr std::uint32_t HkeyLocalMachine = 0x80000002u;

// Where Windows records its system information tool: the full path of the
// program under the first key, the folder that holds it under the second.
inline constexpr const char *MsinfoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
inline constexpr const char *MsinfoPathValue = "PATH";
inline constexpr const char *ToolsLocationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
inline constexpr const char *ToolsLocationValue = "MSINFO";

// Value types.
inline constexpr std::uint32_t RegSz = 1;        // text
inline constexpr std::uint32_t RegDword = 4;     // 32-bit number, low byte first

// Access rights. KeyRead is all the lookup asks for, so that a user who may
// not change the key can still read it.
inline constexpr std::uint32_t KeySetValue = 0x0002;
inline constexpr std::uint32_t KeyRead = 0x20019;

// Size of the receive buffer of a query.
inline constexpr std::uint32_t DataBufferSize = 1024;

// An open key.
using KeyHandle = std::uintptr_t;

class Registry {
public:
    virtual ~Registry() = default;

    // Opens `KeyPath` below the root `RootKey` with the rights `access`.
    // Success fills `key`; any other status leaves it untouched.
    virtual Status OpenKey(std::uint32_t RootKey, const std::string &KeyPath,
                           std::uint32_t access, KeyHandle &key) = 0;

    // Copies the data of `ValueName` into `data`, which holds `DataSize`
    // bytes. On Success `DataType` is the value's type and `DataSize` the
    // number of bytes delivered. A value longer than the buffer gives
    // MoreData (with the size it would need in `DataSize`).
    virtual Status QueryValue(KeyHandle key, const std::string &ValueName,
                              std::uint32_t &DataType, unsigned char *data,
                              std::uint32_t &DataSize) = 0;

    // Closes a key that was opened.
    virtual Status CloseKey(KeyHandle key) = 0;
};

// Reads one value and gives it as text in `ValueText`: a text value without
// its terminating zero byte, a 32-bit number as its "&h" literal. A value
// of another type counts as found but leaves `ValueText` as it came in.
// A missing key or value, a key that cannot be opened and a value longer
// than DataBufferSize bytes count as not found: the result is false and
// `ValueText` is empty.
bool GetKeyValue(Registry &registry, std::uint32_t RootKey, const std::string &KeyPath,
                 const std::string &ValueName, std::string &ValueText);

// The registry of the platform the game runs on: the Windows registry on
// Windows, elsewhere the read-only stand-in (registry_host.cpp).
std::unique_ptr<Registry> makePlatformRegistry();

} // namespace sysinfo
