// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/locale/regional.h"
#include "platform/store/store.h"

namespace kalendro::tools {

inline constexpr int kExitWritten = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// A command line that asks for something the command does not offer.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Gives each option to `take` with a function that consumes the option's value; `take` returns
// false for an option it does not know, which is a usage error, as is a value missing at the end.
using OptionTaker = std::function<bool(const std::string& option, const std::function<const std::string&()>& value)>;
void ReadOptions(const std::vector<std::string>& arguments, const OptionTaker& take);

// Runs one subcommand of kalendro-export: with --help anywhere it prints the usage and does
// nothing else; a usage error is reported on standard error with exit status 2, running out of
// memory as failure 7 with exit status 1.
int RunSubcommand(std::string_view name, std::string_view usage, const std::vector<std::string>& arguments,
                  const std::function<int()>& run);

// The store files named by --store, in order; what they could not give is told on standard error.
std::shared_ptr<StoreApplication> OpenCommandStores(const std::vector<std::string>& paths,
                                                    const RegionalSettings& regional);

}  // namespace kalendro::tools
