// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/store_files/store_files.h"

#include <filesystem>
#include <fstream>

#include "platform/mailbox/mailbox_store.h"
#include "platform/memory_store/memory_store.h"
#include "platform/pst/pst_store.h"

namespace kalendro {

namespace {

// Outlook data files begin with "!BDN"; anything else is read as a mailbox file, whose loader
// says what is wrong with it. Only a regular file is opened to look: opening a named pipe waits for
// a writer and a device may never end, and the loader refuses both before it opens them.
bool IsOutlookDataFile(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return false;
    }
    std::ifstream file(path, std::ios::binary);
    char magic[4] = {};
    return file.read(magic, sizeof magic) && std::string_view(magic, sizeof magic) == "!BDN";
}

}  // namespace

std::shared_ptr<StoreApplication> OpenStoreFiles(const std::vector<std::string>& paths,
                                                 const RegionalSettings& regional, StoreWarningSink warn) {
    std::vector<memory_store::MemoryStore> stores;
    for (const std::string& path : paths) {
        if (IsOutlookDataFile(path)) {
            stores.push_back(pst::ReadPstStore(path, warn));
        } else {
            for (memory_store::MemoryStore& store : ReadMailboxStores(path)) {
                stores.push_back(std::move(store));
            }
        }
    }
    return memory_store::MakeMemoryApplication(std::move(stores), regional);
}

}  // namespace kalendro
