// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/start_up.h"

#include <algorithm>
#include <utility>

#include "platform/store/failure.h"

namespace kalendro {

bool AsksForHelp(const std::vector<std::string>& arguments) {
    return std::ranges::any_of(arguments,
                               [](const std::string& argument) { return argument == "--help" || argument == "-h"; });
}

std::vector<std::string> ParseStorePaths(const std::vector<std::string>& arguments) {
    std::vector<std::string> storePaths;
    for (auto argument = arguments.begin(); argument != arguments.end(); ++argument) {
        if (*argument == "--store") {
            if (std::next(argument) == arguments.end()) {
                throw Failure(kInvalidArgument, "--store needs a FILE");
            }
            storePaths.push_back(*++argument);
        } else if (argument->starts_with('-')) {
            throw Failure(kInvalidArgument, "Unknown option: " + *argument);
        } else {
            // Launchers and file managers hand over the file to open as a bare argument.
            storePaths.push_back(*argument);
        }
    }
    return storePaths;
}

StoreApplicationFactory StoreOpener(std::vector<std::string> storePaths, StoreFileChooser choose,
                                    StoreFilesOpener open) {
    // Shared by every copy of the factory, so that the contact window's runs open the file chosen for the
    // main window without asking again.
    auto paths = std::make_shared<std::vector<std::string>>(std::move(storePaths));
    return [paths, choose = std::move(choose), open = std::move(open)] {
        if (paths->empty()) {
            std::optional<std::string> chosen = choose();
            if (!chosen) {
                throw Failure(kStoreCannotOpen,
                              "No mail store chosen: start Kalendro with --store FILE or choose a file");
            }
            paths->push_back(std::move(*chosen));
        }
        return open(*paths);
    };
}

}  // namespace kalendro
