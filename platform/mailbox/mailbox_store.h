// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/locale/regional.h"
#include "platform/memory_store/memory_store.h"
#include "platform/store/store.h"

namespace kalendro {

// The store application over a mailbox file. Opening reads and validates the whole file; a file
// that cannot be read or is not a valid mailbox fails with kStoreCannotOpen, whose description names the
// file, the item and member where the fault lies, and the reason. The regional settings are
// those in which Restrict reads the dates of its filters.
std::shared_ptr<StoreApplication> OpenMailboxFile(const std::string& path, const RegionalSettings& regional);
// The stores of a mailbox file, to be served beside those of other files. kStoreCannotOpen as above.
std::vector<memory_store::MemoryStore> ReadMailboxStores(const std::string& path);
// The same over the text of a mailbox; sourceName stands for the file in messages.
std::shared_ptr<StoreApplication> OpenMailboxText(std::string_view text, const std::string& sourceName,
                                                  const RegionalSettings& regional);

}  // namespace kalendro
