// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>

#include "platform/memory_store/memory_store.h"

namespace kalendro::pst {

// Told once for each folder whose items could not all be read: which folder, how many items were
// left out, and why.
using StoreWarning = std::function<void(const std::string& message)>;

// The store an Outlook data file (PST or OST) holds, as a top-level folder of the in-memory store:
// named by the store's display name (the file's name when it has none), holding the folders of the
// top of the personal folders as the file names them. The tree is read at once; a folder's items
// only when they are first asked for, each damaged one left out and reported to `warn`. A file
// that is no Outlook data file or whose folder tree cannot be read fails with kStoreCannotOpen.
memory_store::MemoryStore ReadPstStore(const std::string& path, StoreWarning warn);

}  // namespace kalendro::pst
