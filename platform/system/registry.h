// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kalendro {

// The registry as the platform's advapi32 offers it: open a key, query one value into the
// caller's buffer, close the key. Statuses are the platform's: 0 means done, anything else not.

using RegistryRoot = std::uint32_t;
using RegistryKey = std::uintptr_t;

inline constexpr RegistryRoot kHkeyLocalMachine = 0x80000002;
// KEY_READ: query values, enumerate subkeys, notify and read control; nothing that writes.
inline constexpr std::uint32_t kKeyRead = 0x20019;
// The handle given back when an open fails.
inline constexpr RegistryKey kNoRegistryKey = 0;

inline constexpr std::int32_t kRegistrySuccess = 0;
inline constexpr std::int32_t kRegistryFileNotFound = 2;
inline constexpr std::int32_t kRegistryInvalidHandle = 6;
inline constexpr std::int32_t kRegistryMoreData = 234;

inline constexpr std::uint32_t kRegistryString = 1;        // REG_SZ
inline constexpr std::uint32_t kRegistryExpandString = 2;  // REG_EXPAND_SZ
inline constexpr std::uint32_t kRegistryNumber = 4;        // REG_DWORD, little-endian

class Registry {
public:
    virtual ~Registry() = default;
    // RegOpenKeyExA: on 0, key holds the opened key's handle; otherwise key is kNoRegistryKey.
    virtual std::int32_t OpenKey(RegistryRoot root, std::string_view subKey, std::uint32_t options,
                                 std::uint32_t access, RegistryKey& key) = 0;
    // RegQueryValueExA: on 0, type and dataSize are filled in and the value's bytes copied to the
    // front of buffer. Data larger than the buffer is not copied and gives kRegistryMoreData.
    virtual std::int32_t QueryValue(RegistryKey key, std::string_view valueName, std::uint32_t& type,
                                    std::span<unsigned char> buffer, std::uint32_t& dataSize) = 0;
    // RegCloseKey.
    virtual std::int32_t CloseKey(RegistryKey key) = 0;
};

// The value that names the system-information program.
inline constexpr std::string_view kSysInfoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
inline constexpr std::string_view kSysInfoValue = "PATH";

// The desktop's own system-information program as a command line (KDE's kinfocenter, GNOME's settings
// on their about panel, hardinfo2, hardinfo, looked for in that order), found in the folders of
// searchPath (separated by ":", as in the PATH variable); nothing when none is installed.
std::optional<std::string> FindSystemInformationProgram(std::string_view searchPath);

// The machine's registry. Linux has none: the stand-in holds only the system-information key under
// HKEY_LOCAL_MACHINE, whose string value "PATH" is what FindSystemInformationProgram finds on the
// process's PATH; without such a program, and for any other key, an open fails with
// kRegistryFileNotFound.
std::shared_ptr<Registry> OpenSystemRegistry();
std::shared_ptr<Registry> OpenSystemRegistry(std::string_view searchPath);

}  // namespace kalendro
