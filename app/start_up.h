// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/store/store.h"

namespace kalendro {

// True when the arguments after the program's name hold --help or -h.
bool AsksForHelp(const std::vector<std::string>& arguments);

// The store files that the arguments after the program's name (without Qt's own) name: those after
// --store and the bare ones, in their order. Any other option, and a --store without its file, are
// failure 5 naming the argument.
std::vector<std::string> ParseStorePaths(const std::vector<std::string>& arguments);

// Asks the user for a store file; nothing when the user cancels.
using StoreFileChooser = std::function<std::optional<std::string>()>;
// Opens the store application over the files named.
using StoreFilesOpener = std::function<std::shared_ptr<StoreApplication>(const std::vector<std::string>& paths)>;

// Every store application the windows create opens the same files: those named on the command line, or
// else the one the user chooses when the store is first opened. A cancelled choice fails with kStoreCannotOpen.
StoreApplicationFactory StoreOpener(std::vector<std::string> storePaths, StoreFileChooser choose,
                                    StoreFilesOpener open);

}  // namespace kalendro
