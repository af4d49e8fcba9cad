// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/command_line.h"

#include <algorithm>
#include <iostream>
#include <new>

#include "platform/store/failure.h"
#include "platform/store_files/store_files.h"
#include "platform/text/quoted_input.h"

namespace kalendro::tools {

std::shared_ptr<StoreApplication> OpenCommandStores(const std::vector<std::string>& paths,
                                                    const RegionalSettings& regional) {
    return OpenStoreFiles(paths, regional,
                          [](const std::string& warning) { std::cerr << "Warning: " << warning << '\n'; });
}

void ReadOptions(const std::vector<std::string>& arguments, const OptionTaker& take) {
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& option = arguments[i];
        const auto value = [&]() -> const std::string& {
            if (i + 1 >= arguments.size()) {
                throw UsageError(option + " wants a value");
            }
            return arguments[++i];
        };
        if (!take(option, value)) {
            throw UsageError("unknown option " + QuotedInput(option));
        }
    }
}

int RunSubcommand(std::string_view name, std::string_view usage, const std::vector<std::string>& arguments,
                  const std::function<int()>& run) {
    if (std::find(arguments.begin(), arguments.end(), "--help") != arguments.end()) {
        std::cout << usage;
        return kExitWritten;
    }
    try {
        return run();
    } catch (const UsageError& error) {
        std::cerr << "kalendro-export " << name << ": " << error.what() << "\nTry 'kalendro-export " << name
                  << " --help'.\n";
        return kExitUsage;
    } catch (const std::bad_alloc&) {
        std::cerr << UnhandledFailureReport(OutOfMemoryFailure()) << '\n';
        return kExitFailed;
    }
}

}  // namespace kalendro::tools
