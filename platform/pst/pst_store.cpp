// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pst/pst_store.h"

#include <filesystem>
#include <memory>
#include <utility>

#include "platform/pst/default_folders.h"
#include "platform/pst/item_classes.h"
#include "platform/pst/item_mapping.h"
#include "platform/pst/series_mapping.h"
#include "platform/pst/property_tags.h"
#include "platform/pst/property_values.h"
#include "platform/pst/pst_file.h"
#include "platform/pst/series_pattern.h"
#include "platform/store/failure.h"

namespace kalendro::pst {

namespace {

using memory_store::FolderItems;
using memory_store::ItemList;
using memory_store::MemberId;
using memory_store::MemoryFolder;
using memory_store::MemoryItem;

std::string TextProperty(const PropertyBag& bag, std::uint16_t tag) {
    const PropertyValue* value = bag.Find(tag);
    return value == nullptr ? std::string() : ReadText(*value).value_or(std::string());
}

// The exceptions of its series that the item leaves out are told in leftOutExceptions.
std::shared_ptr<const MemoryItem> ItemOf(const Message& message, std::string_view recordKey,
                                         std::vector<std::string>& leftOutExceptions) {
    CodePageDecoder decoder = MessageDecoder(message.properties);
    MappedItem mapped = MapItem(message, recordKey, decoder);
    auto item = std::make_shared<MemoryItem>(mapped.typeName);
    for (const auto& [member, value] : mapped.members) {
        item->members.Set(member, memory_store::ViewOf(value));
    }
    if (item->type == memory_store::ItemType::kAppointment) {
        const std::string subject(std::get<std::string_view>(*item->members.Find(MemberId::kSubject)));
        for (const LeftOutException& exception : AddRecurrence(*item, message, decoder)) {
            leftOutExceptions.push_back(LeftOutExceptionText(subject, exception));
        }
    }
    return item;
}

struct StoreContext {
    std::shared_ptr<PstFile> file;
    std::string recordKey;
    std::string storeId;
    DefaultFolders defaults;
    StoreWarning warn;
};

// One warning for a folder: the items and the exceptions of series left out, each with why.
std::string LeftOutReport(const std::string& folderPath, const std::vector<std::string>& problems,
                          const std::vector<std::string>& leftOutExceptions) {
    std::string message = folderPath + ":";
    if (!problems.empty()) {
        message += " " + std::to_string(problems.size()) + " item(s) left out";
    }
    if (!leftOutExceptions.empty()) {
        message += std::string(problems.empty() ? "" : ",") + " " + std::to_string(leftOutExceptions.size()) +
                   " exception(s) of series left out";
    }
    for (const std::vector<std::string>* lines : {&problems, &leftOutExceptions}) {
        for (const std::string& line : *lines) {
            message += "\n  " + line;
        }
    }
    return message;
}

// Reads a folder's messages as items, one message at a time; those that cannot be read, and
// exceptions of series that break their pattern, are left out and told once, after what was noticed
// of the folder's contents.
ItemList ReadFolderItems(const StoreContext& store, std::uint32_t nodeId, const std::string& folderPath) {
    const FolderContents contents = store.file->Contents(nodeId);
    ItemList items;
    items.reserve(contents.messageIds.size());
    std::vector<std::string> problems;
    std::vector<std::string> leftOutExceptions;
    for (const std::uint32_t messageId : contents.messageIds) {
        try {
            items.push_back(ItemOf(store.file->ReadMessage(messageId), store.recordKey, leftOutExceptions));
        } catch (const Failure& failure) {
            problems.push_back("item " + EntryIdText(store.recordKey, messageId) + ": " + failure.Description());
        }
    }
    if (!store.warn) {
        return items;
    }
    for (const std::string& note : contents.notes) {
        store.warn(folderPath + ": " + note);
    }
    if (!problems.empty() || !leftOutExceptions.empty()) {
        store.warn(LeftOutReport(folderPath, problems, leftOutExceptions));
    }
    return items;
}

std::int32_t ContentCount(const PropertyBag& folder) {
    const PropertyValue* count = folder.Find(kContentCount);
    return std::max(count == nullptr ? 0 : ReadInt32(*count).value_or(0), 0);
}

std::string DefaultRole(const StoreContext& store, std::uint32_t nodeId) {
    if (store.defaults.calendar == nodeId) {
        return "calendar";
    }
    return store.defaults.contacts == nodeId ? "contacts" : "";
}

// Every folder's reader holds the store, whose file stays open as long as any folder may be read.
std::shared_ptr<MemoryFolder> FolderOf(const std::shared_ptr<const StoreContext>& store, const FolderNode& node,
                                       const std::string& path) {
    auto folder = std::make_shared<MemoryFolder>();
    folder->name = TextProperty(node.properties, kDisplayName);
    folder->entryId = EntryIdText(store->recordKey, node.nodeId);
    folder->storeId = store->storeId;
    folder->defaultItemType = DefaultItemType(node.properties);
    folder->defaultRole = DefaultRole(*store, node.nodeId);
    const std::string folderPath = path + " > " + folder->name;
    folder->items = std::make_shared<const FolderItems>(
        ContentCount(node.properties),
        [store, nodeId = node.nodeId, folderPath] { return ReadFolderItems(*store, nodeId, folderPath); });
    for (const FolderNode& subfolder : node.subfolders) {
        folder->folders.push_back(FolderOf(store, subfolder, folderPath));
    }
    return folder;
}

}  // namespace

memory_store::MemoryStore ReadPstStore(const std::string& path, StoreWarning warn) {
    auto store = std::make_shared<StoreContext>();
    store->file = PstFile::Open(path);
    const PropertyBag& messageStore = store->file->MessageStore();
    const PropertyValue* recordKey = messageStore.Find(kRecordKey);
    store->recordKey = recordKey == nullptr ? std::string() : recordKey->data;
    store->storeId = UpperHex(store->recordKey);
    store->defaults = FindDefaultFolders(store->file->Root(), messageStore);
    store->warn = std::move(warn);
    for (const std::string& warning : store->file->Warnings()) {
        store->warn(warning);
    }

    std::string name = TextProperty(messageStore, kDisplayName);
    if (name.empty()) {
        name = std::filesystem::path(path).filename().string();
    }
    const FolderNode* top = FindIpmSubtree(store->file->Root(), messageStore);
    auto root = std::make_shared<MemoryFolder>();
    root->name = name;
    root->entryId = EntryIdText(store->recordKey, top == nullptr ? store->file->Root().nodeId : top->nodeId);
    root->storeId = store->storeId;
    for (const FolderNode& subfolder : (top == nullptr ? store->file->Root() : *top).subfolders) {
        root->folders.push_back(FolderOf(store, subfolder, name));
    }
    return {root, "the Outlook data file \"" + path + "\""};
}

}  // namespace kalendro::pst
