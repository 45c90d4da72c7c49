#include "registry.h"

#include <algorithm>
#include <array>

namespace sysinfo {
namespace {

// Closes the key however the lookup is left.
class OpenedKey {
public:
    OpenedKey(Registry &registry, KeyHandle key) : m_registry(registry), m_key(key) {}
    ~OpenedKey() { m_registry.CloseKey(m_key); }
    OpenedKey(const OpenedKey &) = delete;
    OpenedKey &operator=(const OpenedKey &) = delete;

private:
    Registry &m_registry;
    KeyHandle m_key;
};

// "&h" and the bytes from the last to the first, two upper-case hex digits
// each, so the most significant byte comes first.
std::string HexLiteral(const std::string &bytes)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string literal = "&h";
    for (auto it = bytes.rbegin(); it != bytes.rend(); ++it) {
        const auto byte = static_cast<unsigned char>(*it);
        literal += digits[byte >> 4];
        literal += digits[byte & 0x0F];
    }
    return literal;
}

} // namespace

bool GetKeyValue(Registry &registry, std::uint32_t RootKey, const std::string &KeyPath,
                 const std::string &ValueName, std::string &ValueText)
{
    KeyHandle key = 0;
    if (registry.OpenKey(RootKey, KeyPath, KeyRead, key) != Success) {
        ValueText.clear();
        return false;
    }
    const OpenedKey opened(registry, key);

    std::array<unsigned char, DataBufferSize> DataBuffer{};
    std::uint32_t DataSize = DataBufferSize;
    std::uint32_t DataType = 0;
    if (registry.QueryValue(key, ValueName, DataType, DataBuffer.data(), DataSize) != Success) {
        ValueText.clear();
        return false;
    }

    // The first DataSize bytes are the value; a backend that claims more
    // than the buffer holds is not believed past its end.
    std::string text(reinterpret_cast<const char *>(DataBuffer.data()),
                     std::min(DataSize, DataBufferSize));
    // One terminating zero byte goes, whatever the type: a terminated text
    // loses its terminator, an unterminated one stays whole.
    if (!text.empty() && text.back() == '\0')
        text.pop_back();

    switch (DataType) {
    case RegSz:
        ValueText = text;
        break;
    case RegDword:
        // Formatting the literal without a pattern gives the literal back
        // unchanged: "&h12345678". (The number's top byte, when it is zero,
        // went with the terminator above, so 0x00ABCDEF reads "&hABCDEF";
        // the value of the literal is the same.)
        ValueText = HexLiteral(text);
        break;
    default:
        // Any other type is found, but the text stays as it came in.
        break;
    }
    return true;
}

} // namespace sysinfo
