// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Stand-ins for the registry and the system's programs, for the system-information tests.

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/store/failure.h"
#include "platform/system/registry.h"
#include "platform/system/system_programs.h"

namespace kalendro::testing {

// A registry held in memory for tests: keys under HKEY_LOCAL_MACHINE with their values, guarded as
// a normal user finds them. An open that asks for any right beyond reading is refused, and a value
// is read only through a key opened with the right to query values. It records what is asked of it:
// the access masks of the opens, the value names queried, the keys closed and those still open.
class MemoryRegistry : public Registry {
public:
    // KEY_QUERY_VALUE, and what a normal user may ask besides: enumerate subkeys, notify, read control.
    static constexpr std::uint32_t kQueryValueRight = 0x0001;
    static constexpr std::uint32_t kUserRights = kQueryValueRight | 0x0008 | 0x0010 | 0x20000;
    // ERROR_ACCESS_DENIED
    static constexpr std::int32_t kAccessDenied = 5;

    void SetValue(const std::string& keyPath, const std::string& valueName, std::uint32_t type,
                  std::vector<unsigned char> data) {
        keys_[keyPath][valueName] = StoredValue{type, std::move(data)};
    }
    // A string value as the platform stores it: its text and a closing NUL.
    void SetString(const std::string& keyPath, const std::string& valueName, std::string_view text) {
        std::vector<unsigned char> data(text.begin(), text.end());
        data.push_back('\0');
        SetValue(keyPath, valueName, kRegistryString, std::move(data));
    }
    void SetNumber(const std::string& keyPath, const std::string& valueName, std::uint32_t number) {
        SetValue(keyPath, valueName, kRegistryNumber,
                 {static_cast<unsigned char>(number), static_cast<unsigned char>(number >> 8),
                  static_cast<unsigned char>(number >> 16), static_cast<unsigned char>(number >> 24)});
    }

    std::int32_t OpenKey(RegistryRoot root, std::string_view subKey, std::uint32_t, std::uint32_t access,
                         RegistryKey& key) override {
        accessRequested_.push_back(access);
        key = kNoRegistryKey;
        const auto found = keys_.find(std::string(subKey));
        if (root != kHkeyLocalMachine || found == keys_.end()) {
            return kRegistryFileNotFound;
        }
        if ((access & ~kUserRights) != 0) {
            return kAccessDenied;
        }
        key = nextKey_++;
        openKeys_[key] = OpenedKey{found->first, access};
        return kRegistrySuccess;
    }

    std::int32_t QueryValue(RegistryKey key, std::string_view valueName, std::uint32_t& type,
                            std::span<unsigned char> buffer, std::uint32_t& dataSize) override {
        queriedValues_.emplace_back(valueName);
        const auto open = openKeys_.find(key);
        if (open == openKeys_.end()) {
            return kRegistryInvalidHandle;
        }
        if ((open->second.access & kQueryValueRight) == 0) {
            return kAccessDenied;
        }
        const auto& values = keys_.at(open->second.path);
        const auto value = values.find(std::string(valueName));
        if (value == values.end()) {
            return kRegistryFileNotFound;
        }
        const std::vector<unsigned char>& data = value->second.data;
        dataSize = static_cast<std::uint32_t>(data.size());
        if (data.size() > buffer.size()) {
            return kRegistryMoreData;
        }
        type = value->second.type;
        std::copy(data.begin(), data.end(), buffer.begin());
        return kRegistrySuccess;
    }

    std::int32_t CloseKey(RegistryKey key) override {
        closedKeys_.push_back(key);
        return openKeys_.erase(key) == 1 ? kRegistrySuccess : kRegistryInvalidHandle;
    }

    const std::vector<std::uint32_t>& AccessRequested() const { return accessRequested_; }
    const std::vector<std::string>& QueriedValues() const { return queriedValues_; }
    std::size_t OpenKeyCount() const { return openKeys_.size(); }
    const std::vector<RegistryKey>& ClosedKeys() const { return closedKeys_; }

private:
    struct StoredValue {
        std::uint32_t type;
        std::vector<unsigned char> data;
    };
    struct OpenedKey {
        std::string path;
        std::uint32_t access;
    };

    std::map<std::string, std::map<std::string, StoredValue>> keys_;
    std::map<RegistryKey, OpenedKey> openKeys_;
    RegistryKey nextKey_ = 1;
    std::vector<std::uint32_t> accessRequested_;
    std::vector<std::string> queriedValues_;
    std::vector<RegistryKey> closedKeys_;
};

// The programs of a pretend machine: each one known is a normal file that starts; starting
// anything else fails as a missing file does. Every start attempt and file lookup is recorded.
class FakeSystemPrograms {
public:
    void AddProgram(const std::string& path) { programs_.insert(path); }

    ProgramStarter Starter() {
        return [this](std::string_view path) {
            startAttempts_.emplace_back(path);
            if (!programs_.contains(std::string(path))) {
                throw Failure(kFileNotFound, "File not found");
            }
            started_.emplace_back(path);
        };
    }
    NormalFileLookup Lookup() {
        return [this](std::string_view path) {
            lookups_.emplace_back(path);
            return programs_.contains(std::string(path));
        };
    }

    const std::vector<std::string>& StartAttempts() const { return startAttempts_; }
    const std::vector<std::string>& Started() const { return started_; }
    const std::vector<std::string>& Lookups() const { return lookups_; }

private:
    std::set<std::string> programs_;
    std::vector<std::string> startAttempts_;
    std::vector<std::string> started_;
    std::vector<std::string> lookups_;
};

}  // namespace kalendro::testing
