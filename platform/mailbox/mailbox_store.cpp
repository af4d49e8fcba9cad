#include "platform/mailbox/mailbox_store.h"

#include <utility>

#include "platform/mailbox/mailbox_loader.h"
#include "platform/memory_store/memory_store.h"

namespace kalendro {

namespace {

std::shared_ptr<StoreApplication> MakeApplication(const mailbox::Mailbox& mailbox, const RegionalSettings& regional) {
    std::vector<memory_store::MemoryStore> stores;
    const std::string source = "the mailbox file \"" + mailbox.sourceName + "\"";
    for (const auto& root : mailbox.stores) {
        stores.push_back({root, source});
    }
    return memory_store::MakeMemoryApplication(std::move(stores), regional);
}

}  // namespace

std::shared_ptr<StoreApplication> OpenMailboxFile(const std::string& path, const RegionalSettings& regional) {
    return MakeApplication(*mailbox::LoadMailboxFile(path), regional);
}

std::shared_ptr<StoreApplication> OpenMailboxText(std::string_view text, const std::string& sourceName,
                                                  const RegionalSettings& regional) {
    return MakeApplication(*mailbox::LoadMailboxText(text, sourceName), regional);
}

}  // namespace kalendro
