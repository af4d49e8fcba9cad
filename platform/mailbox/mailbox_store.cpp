// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mailbox/mailbox_store.h"

#include <utility>

#include "platform/mailbox/mailbox_loader.h"
#include "platform/memory_store/memory_store.h"

namespace kalendro {

namespace {

std::vector<memory_store::MemoryStore> StoresOf(const mailbox::Mailbox& mailbox) {
    std::vector<memory_store::MemoryStore> stores;
    const std::string source = "the mailbox file \"" + mailbox.sourceName + "\"";
    for (const auto& root : mailbox.stores) {
        stores.push_back({root, source});
    }
    return stores;
}

}  // namespace

std::vector<memory_store::MemoryStore> ReadMailboxStores(const std::string& path) {
    return StoresOf(*mailbox::LoadMailboxFile(path));
}

std::shared_ptr<StoreApplication> OpenMailboxFile(const std::string& path, const RegionalSettings& regional) {
    return memory_store::MakeMemoryApplication(ReadMailboxStores(path), regional);
}

std::shared_ptr<StoreApplication> OpenMailboxText(std::string_view text, const std::string& sourceName,
                                                  const RegionalSettings& regional) {
    return memory_store::MakeMemoryApplication(StoresOf(*mailbox::LoadMailboxText(text, sourceName)), regional);
}

}  // namespace kalendro
