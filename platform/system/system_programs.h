// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string_view>

namespace kalendro {

// Starts a program from its command line (the program's path, then its arguments, separated by
// blanks), in a window of its own, and returns at once without waiting for it. A program that cannot
// be started is raised as a Failure.
using ProgramStarter = std::function<void(std::string_view commandLine)>;

// True when the path names an existing normal file (not a folder or a device).
using NormalFileLookup = std::function<bool(std::string_view path)>;

// The system's versions: the program runs detached from this process, in a session of its own.
void StartSystemProgram(std::string_view commandLine);
bool IsNormalFile(std::string_view path);

}  // namespace kalendro
