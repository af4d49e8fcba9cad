// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/system/registry.h"
#include "platform/system/system_programs.h"

namespace kalendro {

inline constexpr std::string_view kSysInfoUnavailableMessage = "System Information Is Unavailable At This Time";

// Shows a message with an OK button only, no icon, titled with the application title, and returns
// when the user has closed it.
using MessageShower = std::function<void(std::string_view message)>;

// What the system-information launch reaches out to.
struct SysInfoServices {
    std::shared_ptr<Registry> registry;
    NormalFileLookup isNormalFile;
    ProgramStarter startProgram;
    MessageShower showMessage;
};

// Reads one registry value as text. True when it was read: a string value gives its text without
// the closing NUL, a number its decimal text, any other type leaves keyValue as passed. False for a
// key that cannot be opened for reading or a value that is absent or larger than 1024 bytes, with
// keyValue emptied. Nothing is shown.
bool GetKeyValue(Registry& registry, const RegistryRoot& keyRoot, const std::string& keyName,
                 const std::string& subKeyRef, std::string& keyValue);

// Starts the system-information program that the registry names, or shows
// kSysInfoUnavailableMessage when it cannot be found or started.
void StartSysInfo(const SysInfoServices& services);

}  // namespace kalendro
