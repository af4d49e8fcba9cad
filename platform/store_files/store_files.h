// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/locale/regional.h"
#include "platform/store/store.h"

namespace kalendro {

// Told of what a store file holds but could not give: a folder and the items left out of it.
using StoreWarningSink = std::function<void(const std::string& message)>;

// The store application over the files named, each a top-level store in the given order: Outlook
// data files (PST or OST) and mailbox files, told apart by their content. The first file's default
// folders come first. A file that cannot be opened fails with kStoreCannotOpen naming it; damaged items of an
// Outlook data file are left out and told to `warn` when their folder is read.
std::shared_ptr<StoreApplication> OpenStoreFiles(const std::vector<std::string>& paths,
                                                 const RegionalSettings& regional, StoreWarningSink warn);

}  // namespace kalendro
