#include "platform/pst/default_folders.h"

#include <deque>
#include <string_view>

#include "platform/pst/property_tags.h"
#include "platform/pst/property_values.h"

namespace kalendro::pst {

namespace {

// A PST entry id: 4 flag bytes, the store's 16-byte record key, the 4-byte node id. An OST's
// 46-byte Exchange ids hold no node id.
constexpr std::size_t kEntryIdSize = 24;
constexpr std::size_t kRecordKeySize = 16;

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

// The folder an entry id names, when it is a PST entry id of this store and of a folder the tree
// holds.
const FolderNode* FolderOfEntryId(const FolderNode& root, const PropertyBag& messageStore, const PropertyBag& bag,
                                  std::uint16_t tag) {
    const PropertyValue* entryId = bag.Find(tag);
    if (entryId == nullptr || entryId->type != kTypeBinary || entryId->data.size() != kEntryIdSize) {
        return nullptr;
    }
    const PropertyValue* recordKey = messageStore.Find(kRecordKey);
    if (recordKey != nullptr && recordKey->data.size() == kRecordKeySize &&
        std::string_view(entryId->data).substr(4, kRecordKeySize) != recordKey->data) {
        return nullptr;
    }
    const auto byte = [&](std::size_t index) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(entryId->data[index]));
    };
    const std::uint32_t nodeId = byte(20) | byte(21) << 8 | byte(22) << 16 | byte(23) << 24;
    return FindFolder(root, nodeId);
}

std::string ContainerClass(const FolderNode& folder) {
    const PropertyValue* value = folder.properties.Find(kContainerClass);
    return value == nullptr ? std::string() : ReadText(*value).value_or(std::string());
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
        if (ContainerClass(folder) == containerClass) {
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
