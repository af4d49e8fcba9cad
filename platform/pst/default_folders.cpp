// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pst/default_folders.h"

#include <deque>
#include <string_view>

#include "platform/pst/property_tags.h"
#include "platform/pst/property_values.h"

namespace kalendro::pst {

namespace {

// A PST entry id: 4 flag bytes, the store's 16-byte record key, the 4-byte node id.
constexpr std::size_t kEntryIdSize = 24;
constexpr std::size_t kRecordKeySize = 16;
// An Exchange store's folder entry id: 4 flag bytes, the provider's 16 bytes, the folder type (2), the
// database's GUID (16), the folder's global counter (6) and 2 bytes of padding.
constexpr std::size_t kExchangeEntryIdSize = 46;
constexpr std::size_t kGlobalCounterAt = 38;
constexpr std::size_t kGlobalCounterSize = 6;
// The folder's own FID: a 2-byte replica id, then its 6-byte global counter. An offline store keeps
// it in 0x67F4; PidTagFolderId is the name Exchange gives it.
constexpr std::uint16_t kFolderIds[] = {0x6748, 0x67F4};
constexpr std::uint16_t kTypeInt64 = 0x0014;
constexpr std::uint16_t kHidden = 0x10F4;  // PR_ATTR_HIDDEN

const FolderNode* FindFolder(const FolderNode& folder, std::uint32_t nodeId) {
    if (folder.nodeId == nodeId) {
        return &folder;
    }
    for (const FolderNode& subfolder : folder.subfolders) {
        if (const FolderNode* found = FindFolder(subfolder, nodeId)) {
            return found;
        }
    }
    return nullptr;
}

bool HasGlobalCounter(const FolderNode& folder, std::string_view counter) {
    for (const std::uint16_t tag : kFolderIds) {
        const PropertyValue* id = folder.properties.Find(tag);
        if (id != nullptr && id->type == kTypeInt64 && id->data.size() == 8 &&
            std::string_view(id->data).substr(2) == counter) {
            return true;
        }
    }
    return false;
}

// The one folder whose FID holds the global counter; none when no folder or several do.
void FindByGlobalCounter(const FolderNode& folder, std::string_view counter, const FolderNode*& found,
                         std::size_t& matches) {
    if (HasGlobalCounter(folder, counter)) {
        found = &folder;
        ++matches;
    }
    for (const FolderNode& subfolder : folder.subfolders) {
        FindByGlobalCounter(subfolder, counter, found, matches);
    }
}

const FolderNode* FolderOfPstEntryId(const FolderNode& root, const PropertyBag& messageStore,
                                     std::string_view entryId) {
    const PropertyValue* recordKey = messageStore.Find(kRecordKey);
    if (recordKey != nullptr && recordKey->data.size() == kRecordKeySize &&
        entryId.substr(4, kRecordKeySize) != recordKey->data) {
        return nullptr;
    }
    const auto byte = [&](std::size_t index) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(entryId[index]));
    };
    const std::uint32_t nodeId = byte(20) | byte(21) << 8 | byte(22) << 16 | byte(23) << 24;
    return FindFolder(root, nodeId);
}

// The folder an entry id names: a PST entry id of this store and of a folder the tree holds, or an
// Exchange folder entry id whose global counter one folder's FID holds.
const FolderNode* FolderOfEntryId(const FolderNode& root, const PropertyBag& messageStore, const PropertyBag& bag,
                                  std::uint16_t tag) {
    const PropertyValue* entryId = bag.Find(tag);
    if (entryId == nullptr || entryId->type != kTypeBinary) {
        return nullptr;
    }
    if (entryId->data.size() == kEntryIdSize) {
        return FolderOfPstEntryId(root, messageStore, entryId->data);
    }
    if (entryId->data.size() != kExchangeEntryIdSize) {
        return nullptr;
    }
    const FolderNode* found = nullptr;
    std::size_t matches = 0;
    FindByGlobalCounter(root, std::string_view(entryId->data).substr(kGlobalCounterAt, kGlobalCounterSize), found,
                        matches);
    return matches == 1 ? found : nullptr;
}

std::string ContainerClass(const FolderNode& folder) {
    const PropertyValue* value = folder.properties.Find(kContainerClass);
    return value == nullptr ? std::string() : ReadText(*value).value_or(std::string());
}

// Outlook hides the folders it keeps for itself (an Exchange store's contact lists of other
// programs, for one) and never makes them a default.
bool IsHidden(const FolderNode& folder) {
    const PropertyValue* hidden = folder.properties.Find(kHidden);
    return hidden != nullptr && ReadBool(*hidden).value_or(false);
}

std::size_t StandardSubfolderCount(const FolderNode& folder) {
    std::size_t count = 0;
    for (const FolderNode& subfolder : folder.subfolders) {
        count += ContainerClass(subfolder).starts_with("IPF.") ? 1 : 0;
    }
    return count;
}

std::optional<std::uint32_t> FindDefault(const FolderNode& root, const PropertyBag& messageStore,
                                         const FolderNode* ipmSubtree, std::uint16_t entryIdTag,
                                         std::string_view containerClass) {
    if (const FolderNode* named = FolderOfEntryId(root, messageStore, root.properties, entryIdTag)) {
        return named->nodeId;
    }
    if (ipmSubtree == nullptr) {
        return std::nullopt;
    }
    for (const FolderNode& folder : ipmSubtree->subfolders) {
        if (const FolderNode* named = FolderOfEntryId(root, messageStore, folder.properties, entryIdTag)) {
            return named->nodeId;
        }
    }
    for (const FolderNode& folder : ipmSubtree->subfolders) {
        if (ContainerClass(folder) == containerClass && !IsHidden(folder)) {
            return folder.nodeId;
        }
    }
    return std::nullopt;
}

}  // namespace

const FolderNode* FindIpmSubtree(const FolderNode& root, const PropertyBag& messageStore) {
    if (const FolderNode* named = FolderOfEntryId(root, messageStore, messageStore, kIpmSubtreeEntryId)) {
        return named;
    }
    const FolderNode* best = nullptr;
    std::size_t bestCount = 0;
    std::deque<const FolderNode*> pending{&root};
    while (!pending.empty()) {
        const FolderNode* folder = pending.front();
        pending.pop_front();
        const std::size_t count = StandardSubfolderCount(*folder);
        if (count > bestCount) {
            best = folder;
            bestCount = count;
        }
        for (const FolderNode& subfolder : folder->subfolders) {
            pending.push_back(&subfolder);
        }
    }
    return best;
}

DefaultFolders FindDefaultFolders(const FolderNode& root, const PropertyBag& messageStore) {
    const FolderNode* ipmSubtree = FindIpmSubtree(root, messageStore);
    return {FindDefault(root, messageStore, ipmSubtree, kCalendarEntryId, "IPF.Appointment"),
            FindDefault(root, messageStore, ipmSubtree, kContactsEntryId, "IPF.Contact")};
}

}  // namespace kalendro::pst
