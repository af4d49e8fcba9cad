// SPDX-License-Identifier: GPL-3.0-or-later
#include "about/sys_info.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

#include "platform/store/failure.h"

namespace kalendro {
namespace {

constexpr std::size_t kValueBufferSize = 1024;

const std::string kSysInfoLocationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
const std::string kSysInfoLocationValue = "MSINFO";
constexpr std::string_view kSysInfoProgramName = "\\MSINFO32.EXE";

using ValueBuffer = std::array<unsigned char, kValueBufferSize>;

// The first dataSize bytes as text, without the NUL that closes a string value.
std::string CutText(const ValueBuffer& buffer, std::uint32_t dataSize) {
    const auto end = buffer.begin() + dataSize;
    const bool closedByNul = dataSize > 0 && *(end - 1) == '\0';
    return std::string(buffer.begin(), closedByNul ? end - 1 : end);
}

std::uint32_t ReadNumber(const ValueBuffer& buffer) {
    return static_cast<std::uint32_t>(buffer[0]) | static_cast<std::uint32_t>(buffer[1]) << 8 |
           static_cast<std::uint32_t>(buffer[2]) << 16 | static_cast<std::uint32_t>(buffer[3]) << 24;
}

bool QueryValueText(Registry& registry, RegistryKey key, const std::string& valueName, std::string& keyValue) {
    ValueBuffer buffer{};
    std::uint32_t type = 0;
    std::uint32_t dataSize = 0;
    if (registry.QueryValue(key, valueName, type, buffer, dataSize) != kRegistrySuccess) {
        keyValue.clear();
        return false;
    }
    // A registry that claims more than the buffer holds gets no read past its end.
    dataSize = std::min<std::uint32_t>(dataSize, kValueBufferSize);
    if (type == kRegistryString) {
        keyValue = CutText(buffer, dataSize);
    } else if (type == kRegistryNumber) {
        keyValue = std::to_string(ReadNumber(buffer));
    }
    return true;
}

// The program that the registry names: its full path, taken as it stands, or else the file
// MSINFO32.EXE in the folder it names, when that exists. Nothing when neither is known.
std::optional<std::string> FindSysInfoProgram(const SysInfoServices& services) {
    std::string sysInfoPath;
    if (GetKeyValue(*services.registry, kHkeyLocalMachine, std::string(kSysInfoKey), std::string(kSysInfoValue),
                    sysInfoPath)) {
        return sysInfoPath;
    }
    if (!GetKeyValue(*services.registry, kHkeyLocalMachine, kSysInfoLocationKey, kSysInfoLocationValue, sysInfoPath)) {
        return std::nullopt;
    }
    sysInfoPath += kSysInfoProgramName;
    if (!services.isNormalFile(sysInfoPath)) {
        return std::nullopt;
    }
    return sysInfoPath;
}

}  // namespace

bool GetKeyValue(Registry& registry, const RegistryRoot& keyRoot, const std::string& keyName,
                 const std::string& subKeyRef, std::string& keyValue) {
    // Read access only: the right to set values, which a normal user lacks, is not needed here.
    RegistryKey key = kNoRegistryKey;
    bool read = false;
    if (registry.OpenKey(keyRoot, keyName, 0, kKeyRead, key) == kRegistrySuccess) {
        read = QueryValueText(registry, key, subKeyRef, keyValue);
    } else {
        keyValue.clear();
    }
    registry.CloseKey(key);
    return read;
}

void StartSysInfo(const SysInfoServices& services) {
    try {
        if (const std::optional<std::string> program = FindSysInfoProgram(services)) {
            services.startProgram(*program);
            return;
        }
    } catch (const Failure&) {
        // Whatever went wrong, the user learns only that the program is unavailable.
    }
    services.showMessage(kSysInfoUnavailableMessage);
}

}  // namespace kalendro
