// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/registry.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>

namespace kalendro {
namespace {

// Each desktop's program and the arguments that open it on the system's description.
struct SystemInformationProgram {
    std::string_view name;
    std::string_view arguments;
};

constexpr std::array<SystemInformationProgram, 4> kSystemInformationPrograms = {{
    {"kinfocenter", ""},
    {"gnome-control-center", " info-overview"},
    {"hardinfo2", ""},
    {"hardinfo", ""},
}};

constexpr RegistryKey kSysInfoKeyHandle = 1;

bool IsExecutableFile(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error) && access(path.c_str(), X_OK) == 0;
}

std::optional<std::filesystem::path> FindOnSearchPath(std::string_view name, std::string_view searchPath) {
    std::size_t start = 0;
    while (start <= searchPath.size()) {
        const std::size_t end = std::min(searchPath.find(':', start), searchPath.size());
        const std::string_view folder = searchPath.substr(start, end - start);
        const std::filesystem::path candidate = std::filesystem::path(folder) / name;
        if (!folder.empty() && IsExecutableFile(candidate)) {
            return candidate;
        }
        start = end + 1;
    }
    return std::nullopt;
}

// No registry exists on this platform; the one key it answers stands in for the installed
// system-information program's, holding its command line as a string closed by a NUL.
class StandInRegistry : public Registry {
public:
    explicit StandInRegistry(std::optional<std::string> sysInfoCommand) : sysInfoCommand_(std::move(sysInfoCommand)) {}

    std::int32_t OpenKey(RegistryRoot root, std::string_view subKey, std::uint32_t, std::uint32_t,
                         RegistryKey& key) override {
        key = kNoRegistryKey;
        if (!sysInfoCommand_ || root != kHkeyLocalMachine || subKey != kSysInfoKey) {
            return kRegistryFileNotFound;
        }
        key = kSysInfoKeyHandle;
        return kRegistrySuccess;
    }

    std::int32_t QueryValue(RegistryKey key, std::string_view valueName, std::uint32_t& type,
                            std::span<unsigned char> buffer, std::uint32_t& dataSize) override {
        if (key != kSysInfoKeyHandle) {
            return kRegistryInvalidHandle;
        }
        if (valueName != kSysInfoValue) {
            return kRegistryFileNotFound;
        }
        const std::size_t size = sysInfoCommand_->size() + 1;
        if (size > buffer.size()) {
            return kRegistryMoreData;
        }
        std::ranges::copy(*sysInfoCommand_, buffer.begin());
        buffer[size - 1] = '\0';
        type = kRegistryString;
        dataSize = static_cast<std::uint32_t>(size);
        return kRegistrySuccess;
    }

    std::int32_t CloseKey(RegistryKey key) override {
        return key == kSysInfoKeyHandle ? kRegistrySuccess : kRegistryInvalidHandle;
    }

private:
    std::optional<std::string> sysInfoCommand_;
};

}  // namespace

std::optional<std::string> FindSystemInformationProgram(std::string_view searchPath) {
    for (const SystemInformationProgram& program : kSystemInformationPrograms) {
        if (const auto path = FindOnSearchPath(program.name, searchPath)) {
            return path->string() + std::string(program.arguments);
        }
    }
    return std::nullopt;
}

std::shared_ptr<Registry> OpenSystemRegistry() {
    const char* searchPath = std::getenv("PATH");
    return OpenSystemRegistry(searchPath != nullptr ? searchPath : "");
}

std::shared_ptr<Registry> OpenSystemRegistry(std::string_view searchPath) {
    return std::make_shared<StandInRegistry>(FindSystemInformationProgram(searchPath));
}

}  // namespace kalendro
