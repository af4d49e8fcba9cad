// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace kalendro::testing {

struct CommandResult {
    int status;
    std::string out;
    std::string err;
};

// Runs a subcommand with its standard output and standard error caught.
template <typename Command>
CommandResult RunCaught(Command command, const std::vector<std::string>& arguments) {
    std::ostringstream out;
    std::ostringstream err;
    auto* oldOut = std::cout.rdbuf(out.rdbuf());
    auto* oldErr = std::cerr.rdbuf(err.rdbuf());
    const int status = command(arguments);
    std::cout.rdbuf(oldOut);
    std::cerr.rdbuf(oldErr);
    return {status, out.str(), err.str()};
}

}  // namespace kalendro::testing
