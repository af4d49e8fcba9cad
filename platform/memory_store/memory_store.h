// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/locale/regional.h"
#include "platform/memory_store/memory_folder.h"
#include "platform/store/store.h"

namespace kalendro::memory_store {

// One open store: its top-level folder and what it was read from, as messages name it
// ("the mailbox file \"work.json\"").
struct MemoryStore {
    std::shared_ptr<const MemoryFolder> root;
    std::string source;
};

// The store application over stores already in memory, in the given order: the session's Folders
// are their top-level folders, GetDefaultFolder gives the first folder with the default role, depth
// first in store order, and GetFolderFromID the first with both ids. The folders never change
// afterwards. The regional settings are those in which Restrict reads the dates of its filters.
std::shared_ptr<StoreApplication> MakeMemoryApplication(std::vector<MemoryStore> stores,
                                                        const RegionalSettings& regional);

}  // namespace kalendro::memory_store
