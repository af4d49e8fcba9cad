// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/memory_store/memory_store.h"

#include <algorithm>
#include <functional>
#include <utility>

#include "platform/memory_store/memory_items.h"
#include "platform/store/failure.h"
#include "platform/text/quoted_input.h"

namespace kalendro::memory_store {

namespace {

// Every object below shares the folders through shared pointers; they never change.
class MemoryStoreFolder : public StoreFolder {
public:
    MemoryStoreFolder(std::shared_ptr<const MemoryFolder> folder, std::shared_ptr<const RegionalSettings> regional)
        : folder_(std::move(folder)), regional_(std::move(regional)) {}

    std::string Name() override { return folder_->name; }
    std::string EntryID() override { return folder_->entryId; }
    std::string StoreID() override { return folder_->storeId; }
    std::int32_t DefaultItemType() override { return folder_->defaultItemType; }

    std::vector<std::shared_ptr<StoreFolder>> Folders() override {
        std::vector<std::shared_ptr<StoreFolder>> folders;
        for (const auto& subfolder : folder_->folders) {
            folders.push_back(std::make_shared<MemoryStoreFolder>(subfolder, regional_));
        }
        return folders;
    }

    std::unique_ptr<StoreItems> Items() override { return MemoryItems::OfFolder(folder_->items, regional_); }

private:
    std::shared_ptr<const MemoryFolder> folder_;
    std::shared_ptr<const RegionalSettings> regional_;
};

using FolderTest = std::function<bool(const MemoryFolder&)>;

// The first folder of the tree, depth first in the store's order, that the test accepts.
std::shared_ptr<const MemoryFolder> FindFolder(const std::shared_ptr<const MemoryFolder>& folder,
                                               const FolderTest& test) {
    if (test(*folder)) {
        return folder;
    }
    for (const auto& subfolder : folder->folders) {
        if (auto found = FindFolder(subfolder, test)) {
            return found;
        }
    }
    return nullptr;
}

// The sources of the stores, for messages: "the mailbox file \"a.json\" and the mailbox file \"b.json\"".
std::string SourcesOf(const std::vector<MemoryStore>& stores) {
    std::vector<std::string_view> sources;
    for (const MemoryStore& store : stores) {
        if (std::find(sources.begin(), sources.end(), store.source) == sources.end()) {
            sources.push_back(store.source);
        }
    }
    std::string text;
    for (std::size_t index = 0; index < sources.size(); ++index) {
        text += (index == 0 ? "" : index + 1 == sources.size() ? " and " : ", ") + std::string(sources[index]);
    }
    return text;
}

class MemorySession : public StoreSession {
public:
    MemorySession(std::vector<MemoryStore> stores, std::shared_ptr<const RegionalSettings> regional)
        : stores_(std::move(stores)), sources_(SourcesOf(stores_)), regional_(std::move(regional)) {}

    std::shared_ptr<StoreFolder> GetDefaultFolder(int folderType) override {
        if (folderType != kDefaultCalendarFolder && folderType != kDefaultContactsFolder) {
            throw Failure(kStoreOperationFailed, "GetDefaultFolder: folder type " + std::to_string(folderType) +
                                                     " is not available; only 9 (calendar) and 10 (contacts) "
                                                     "are.");
        }
        const std::string role = folderType == kDefaultCalendarFolder ? "calendar" : "contacts";
        auto folder = FindInStores([&](const MemoryFolder& candidate) { return candidate.defaultRole == role; });
        if (!folder) {
            throw Failure(kStoreOperationFailed, "GetDefaultFolder: " + NoFolder("default " + role + " folder") + ".");
        }
        return MakeFolder(folder);
    }

    std::shared_ptr<StoreFolder> GetFolderFromID(std::string_view entryId, std::string_view storeId) override {
        auto folder = FindInStores([&](const MemoryFolder& candidate) {
            return candidate.entryId == entryId && candidate.storeId == storeId;
        });
        if (!folder) {
            throw Failure(kStoreOperationFailed, "GetFolderFromID: " +
                                                     NoFolder("folder with entry ID " + QuotedInput(entryId) +
                                                              " in the store with ID " + QuotedInput(storeId)) +
                                                     ".");
        }
        return MakeFolder(folder);
    }

    std::vector<std::shared_ptr<StoreFolder>> Folders() override {
        std::vector<std::shared_ptr<StoreFolder>> folders;
        for (const MemoryStore& store : stores_) {
            folders.push_back(MakeFolder(store.root));
        }
        return folders;
    }

private:
    std::shared_ptr<const MemoryFolder> FindInStores(const FolderTest& test) const {
        for (const MemoryStore& store : stores_) {
            if (auto found = FindFolder(store.root, test)) {
                return found;
            }
        }
        return nullptr;
    }

    std::string NoFolder(const std::string& folder) const {
        return sources_.empty() ? "no store is open, so there is no " + folder : sources_ + " has no " + folder;
    }

    std::shared_ptr<StoreFolder> MakeFolder(const std::shared_ptr<const MemoryFolder>& folder) const {
        return std::make_shared<MemoryStoreFolder>(folder, regional_);
    }

    std::vector<MemoryStore> stores_;
    std::string sources_;
    std::shared_ptr<const RegionalSettings> regional_;
};

class MemoryApplication : public StoreApplication {
public:
    MemoryApplication(std::vector<MemoryStore> stores, std::shared_ptr<const RegionalSettings> regional)
        : session_(std::make_shared<MemorySession>(std::move(stores), std::move(regional))) {}

    std::shared_ptr<StoreSession> GetNamespace(std::string_view type) override {
        if (type != "MAPI") {
            throw Failure(kInvalidArgument, "GetNamespace: \"" + std::string(type) +
                                                "\" is not a namespace type; only \"MAPI\" is available.");
        }
        return session_;
    }

private:
    std::shared_ptr<MemorySession> session_;
};

}  // namespace

std::shared_ptr<StoreApplication> MakeMemoryApplication(std::vector<MemoryStore> stores,
                                                        const RegionalSettings& regional) {
    return std::make_shared<MemoryApplication>(std::move(stores), std::make_shared<const RegionalSettings>(regional));
}

}  // namespace kalendro::memory_store
