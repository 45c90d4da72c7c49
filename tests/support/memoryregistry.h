#pragma once
// A registry held in memory, with the contract of the Windows registry:
// keys and value names without regard to case, MoreData for a value that
// does not fit. Like a key that the player may only read, it refuses to
// open with more than read access. It counts opens and closes.

#include "registry.h"

#include <cctype>
#include <iterator>
#include <algorithm>
#include <cstring>
#include <map>

class MemoryRegistry final : public sysinfo::Registry {
public:
    struct Value {
        std::uint32_t type;
        std::string data;
    };

    void set(const std::string &key, const std::string &name, std::uint32_t type,
             const std::string &data)
    {
        m_keys[lower(key)][lower(name)] = {type, data};
    }
    void clear() { m_keys.clear(); }

    sysinfo::Status OpenKey(std::uint32_t RootKey, const std::string &KeyPath,
                            std::uint32_t access, sysinfo::KeyHandle &key) override
    {
        if (RootKey != sysinfo::HkeyLocalMachine)
            return sysinfo::FileNotFound;
        const auto it = m_keys.find(lower(KeyPath));
        if (it == m_keys.end())
            return sysinfo::FileNotFound;
        if (access & ~sysinfo::KeyRead)
            return sysinfo::AccessDenied;
        ++opened;
        key = static_cast<sysinfo::KeyHandle>(std::distance(m_keys.begin(), it) + 1);
        return sysinfo::Success;
    }

    sysinfo::Status QueryValue(sysinfo::KeyHandle key, const std::string &ValueName,
                               std::uint32_t &DataType, unsigned char *data,
                               std::uint32_t &DataSize) override
    {
        const auto &values = std::next(m_keys.begin(), static_cast<long>(key) - 1)->second;
        const auto it = values.find(lower(ValueName));
        if (it == values.end())
            return sysinfo::FileNotFound;
        const auto size = static_cast<std::uint32_t>(it->second.data.size());
        DataType = it->second.type;
        if (size > DataSize) {
            DataSize = size;
            return sysinfo::MoreData;
        }
        std::memcpy(data, it->second.data.data(), size);
        DataSize = size;
        return sysinfo::Success;
    }

    sysinfo::Status CloseKey(sysinfo::KeyHandle) override
    {
        ++closed;
        return sysinfo::Success;
    }

    int opened = 0;
    int closed = 0;

private:
    static std::string lower(std::string s)
    {
        std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
        return s;
    }
    std::map<std::string, std::map<std::string, Value>> m_keys;
};
