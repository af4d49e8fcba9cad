#include "platform/mailbox/mailbox_store.h"

#include <functional>
#include <utility>

#include "platform/failure.h"
#include "platform/mailbox/mailbox_items.h"
#include "platform/mailbox/mailbox_loader.h"

namespace kalendro {

namespace {

using mailbox::Mailbox;
using mailbox::MailboxFolder;

// Every object below holds the loaded mailbox through shared pointers; the tree never changes
// after loading, so they all share it.
class MailboxStoreFolder : public StoreFolder {
public:
    MailboxStoreFolder(std::shared_ptr<const MailboxFolder> folder, std::shared_ptr<const RegionalSettings> regional)
        : folder_(std::move(folder)), regional_(std::move(regional)) {}

    std::string Name() override { return folder_->name; }
    std::string EntryID() override { return folder_->entryId; }
    std::string StoreID() override { return folder_->storeId; }
    std::int32_t DefaultItemType() override { return folder_->defaultItemType; }

    std::vector<std::shared_ptr<StoreFolder>> Folders() override {
        std::vector<std::shared_ptr<StoreFolder>> folders;
        for (const auto& subfolder : folder_->folders) {
            folders.push_back(std::make_shared<MailboxStoreFolder>(subfolder, regional_));
        }
        return folders;
    }

    std::unique_ptr<StoreItems> Items() override { return mailbox::MailboxItems::OfFolder(folder_, regional_); }

private:
    std::shared_ptr<const MailboxFolder> folder_;
    std::shared_ptr<const RegionalSettings> regional_;
};

// The first folder of the tree, depth first in file order, that the test accepts.
std::shared_ptr<const MailboxFolder> FindFolder(const std::vector<std::shared_ptr<MailboxFolder>>& folders,
                                                const std::function<bool(const MailboxFolder&)>& test) {
    for (const auto& folder : folders) {
        if (test(*folder)) {
            return folder;
        }
        if (auto found = FindFolder(folder->folders, test)) {
            return found;
        }
    }
    return nullptr;
}

class MailboxSession : public StoreSession {
public:
    MailboxSession(std::shared_ptr<const Mailbox> mailbox, std::shared_ptr<const RegionalSettings> regional)
        : mailbox_(std::move(mailbox)), regional_(std::move(regional)) {}

    std::shared_ptr<StoreFolder> GetDefaultFolder(int folderType) override {
        if (folderType != kDefaultCalendarFolder && folderType != kDefaultContactsFolder) {
            throw Failure(kStoreOperationFailed, "GetDefaultFolder: folder type " + std::to_string(folderType) +
                                                     " is not available; a mailbox file has only 9 (calendar) and "
                                                     "10 (contacts).");
        }
        const std::string role = folderType == kDefaultCalendarFolder ? "calendar" : "contacts";
        auto folder =
            FindFolder(mailbox_->stores, [&](const MailboxFolder& candidate) { return candidate.defaultRole == role; });
        if (!folder) {
            throw Failure(kStoreOperationFailed, "GetDefaultFolder: the mailbox file \"" + mailbox_->sourceName +
                                                     "\" has no default " + role + " folder.");
        }
        return MakeFolder(folder);
    }

    std::shared_ptr<StoreFolder> GetFolderFromID(std::string_view entryId, std::string_view storeId) override {
        auto folder = FindFolder(mailbox_->stores, [&](const MailboxFolder& candidate) {
            return candidate.entryId == entryId && candidate.storeId == storeId;
        });
        if (!folder) {
            throw Failure(kStoreOperationFailed, "GetFolderFromID: the mailbox file \"" + mailbox_->sourceName +
                                                     "\" has no folder with entry ID \"" + std::string(entryId) +
                                                     "\" in the store with ID \"" + std::string(storeId) + "\".");
        }
        return MakeFolder(folder);
    }

    std::vector<std::shared_ptr<StoreFolder>> Folders() override {
        std::vector<std::shared_ptr<StoreFolder>> folders;
        for (const auto& store : mailbox_->stores) {
            folders.push_back(MakeFolder(store));
        }
        return folders;
    }

private:
    std::shared_ptr<StoreFolder> MakeFolder(const std::shared_ptr<const MailboxFolder>& folder) const {
        return std::make_shared<MailboxStoreFolder>(folder, regional_);
    }

    std::shared_ptr<const Mailbox> mailbox_;
    std::shared_ptr<const RegionalSettings> regional_;
};

class MailboxApplication : public StoreApplication {
public:
    MailboxApplication(std::shared_ptr<const Mailbox> mailbox, std::shared_ptr<const RegionalSettings> regional)
        : session_(std::make_shared<MailboxSession>(std::move(mailbox), std::move(regional))) {}

    std::shared_ptr<StoreSession> GetNamespace(std::string_view type) override {
        if (type != "MAPI") {
            throw Failure(kInvalidArgument, "GetNamespace: \"" + std::string(type) +
                                                "\" is not a namespace type; only \"MAPI\" is available.");
        }
        return session_;
    }

private:
    std::shared_ptr<MailboxSession> session_;
};

std::shared_ptr<StoreApplication> MakeApplication(std::shared_ptr<const Mailbox> mailbox,
                                                  const RegionalSettings& regional) {
    return std::make_shared<MailboxApplication>(std::move(mailbox), std::make_shared<const RegionalSettings>(regional));
}

}  // namespace

std::shared_ptr<StoreApplication> OpenMailboxFile(const std::string& path, const RegionalSettings& regional) {
    return MakeApplication(mailbox::LoadMailboxFile(path), regional);
}

std::shared_ptr<StoreApplication> OpenMailboxText(std::string_view text, const std::string& sourceName,
                                                  const RegionalSettings& regional) {
    return MakeApplication(mailbox::LoadMailboxText(text, sourceName), regional);
}

}  // namespace kalendro
