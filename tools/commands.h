// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace kalendro::tools {

// The subcommands of kalendro-export; each takes the arguments after its name and returns the
// process's exit status.
int RunCalendarCommand(const std::vector<std::string>& arguments);
int RunContactsCommand(const std::vector<std::string>& arguments);

}  // namespace kalendro::tools
