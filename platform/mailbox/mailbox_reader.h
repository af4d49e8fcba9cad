// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/mailbox/item_reader.h"
#include "platform/mailbox/mailbox_loader.h"
#include "platform/memory_store/memory_folder.h"

namespace kalendro::mailbox {

// How deep folders may nest below their store: far past any real store, and a bound on the reader's
// recursion and on the length of a place in a message.
inline constexpr int kMaximumFolderDepth = 100;

// Reads a whole mailbox file: its stores, their folders and the folders' items, and fails (kStoreCannotOpen) at
// the first fault, naming where it lies.
template <typename Node>
class MailboxReader : public ItemReader<Node> {
public:
    using Items = ItemReader<Node>;
    using Items::ArrayMember;
    using Items::CheckKeys;
    using Items::Fail;
    using Items::IdValue;
    using Items::NumberValue;
    using Items::ReadItem;
    using Items::RequiredKey;
    using Items::RequireObject;
    using Items::TextValue;
    using typename Items::MemberId;
    using typename Items::MemoryItem;
    using typename Items::Required;
    using typename Items::Where;
    using MemoryFolder = memory_store::MemoryFolder;

    explicit MailboxReader(const std::string& sourceName) : Items(sourceName), sourceName_(sourceName) {}

    // Reads an element of an "items" array as soon as it is parsed, so that the document need not
    // hold all items at once. Nothing when it cannot be read: the walk over the tree then reads it
    // again in its place and reports the fault with its location.
    std::optional<std::size_t> ReadItemEarly(const Node& parsed) {
        try {
            earlyItems_.push_back(ReadItem(parsed, Where{nullptr, "item", 0, &parsed}));
        } catch (const Failure&) {
            return std::nullopt;
        }
        return earlyItems_.size() - 1;
    }

    // The items read early elsewhere, in the order of the numbers that stand for them in the tree.
    void TakeItemsReadEarly(std::vector<std::shared_ptr<MemoryItem>> items) { earlyItems_ = std::move(items); }

    // Whether the tree read has taken every item read early into its place, each once.
    bool PlacedEveryEarlyItem() const { return placedEarlyItems_ == earlyItems_.size(); }

    std::shared_ptr<const Mailbox> ReadTree(const Node& root) {
        const Where top;
        if (!root.IsObject()) {
            Fail(top, "", "the document must be a JSON object, not " + root.TypeName());
        }
        root.ForEachMember([&](std::string_view key, const Node&) {
            if (key != "format" && key != "stores") {
                Fail(top, key, "is not a key of a mailbox (format, stores)");
            }
        });
        const Node format = RequiredKey(root, top, "format");
        if (!format.IsString() || format.Text() != kMailboxFormat) {
            const std::string given = format.IsString() ? Quoted(format.Text()) : "a JSON " + format.TypeName();
            Fail(top, "format", "is " + given + "; it must be " + Quoted(kMailboxFormat));
        }
        auto mailbox = std::make_shared<Mailbox>();
        mailbox->sourceName = sourceName_;
        std::set<std::string, std::less<>> storeIds;
        ArrayMember(root, top, "stores", Required::kYes)->ForEachElement([&](std::size_t index, const Node& node) {
            const Where where{&top, "store", index + 1, &node};
            auto store = ReadStore(node, where, "S" + std::to_string(index));
            if (!storeIds.insert(store->storeId).second) {
                Fail(where, "storeId", Quoted(store->storeId) + " is already the storeId of another store");
            }
            mailbox->stores.push_back(std::move(store));
        });
        return mailbox;
    }

private:
    std::shared_ptr<MemoryFolder> ReadStore(const Node& node, const Where& where, const std::string& place) {
        RequireObject(node, where);
        CheckKeys(node, where, {"name", "storeId", "folders"});
        auto store = std::make_shared<MemoryFolder>();
        store->name = TextValue(RequiredKey(node, where, "name"), where, "name");
        store->storeId = IdValue(node, where, "storeId", "StoreID:" + place);
        store->entryId = GeneratedId("EntryID:" + place);
        std::set<std::string, std::less<>> entryIds{store->entryId};
        ReadSubfolders(node, where, place, *store, entryIds, 1);
        return store;
    }

    // The walk goes down one call per level; the limit bounds it, and with it the stack, whatever the file.
    void ReadSubfolders(const Node& node, const Where& where, const std::string& place, MemoryFolder& parent,
                        std::set<std::string, std::less<>>& entryIds, int depth) {
        const std::optional<Node> folders = ArrayMember(node, where, "folders", Required::kNo);
        if (!folders) {
            return;
        }
        if (depth > kMaximumFolderDepth && folders->Size() > 0) {
            Fail(where, "folders",
                 "would place folders " + std::to_string(depth) + " levels below the store; folders nest at most " +
                     std::to_string(kMaximumFolderDepth) + " levels deep");
        }
        folders->ForEachElement([&](std::size_t index, const Node& folderNode) {
            const Where folderWhere{&where, "folder", index + 1, &folderNode};
            const std::string folderPlace = place + "/F" + std::to_string(index);
            auto folder = ReadFolder(folderNode, folderWhere, folderPlace, parent.storeId);
            if (!entryIds.insert(folder->entryId).second) {
                Fail(folderWhere, "entryId",
                     Quoted(folder->entryId) + " is already the entryId of another folder of this store");
            }
            ReadSubfolders(folderNode, folderWhere, folderPlace, *folder, entryIds, depth + 1);
            parent.folders.push_back(std::move(folder));
        });
    }

    std::shared_ptr<MemoryFolder> ReadFolder(const Node& node, const Where& where, const std::string& place,
                                             const std::string& storeId) {
        RequireObject(node, where);
        CheckKeys(node, where, {"name", "entryId", "defaultItemType", "default", "items", "folders"});
        auto folder = std::make_shared<MemoryFolder>();
        folder->name = TextValue(RequiredKey(node, where, "name"), where, "name");
        folder->entryId = IdValue(node, where, "entryId", "EntryID:" + place);
        folder->storeId = storeId;
        if (const std::optional<Node> found = node.Find("defaultItemType")) {
            folder->defaultItemType = NumberValue(*found, where, "defaultItemType");
        }
        if (const std::optional<Node> found = node.Find("default")) {
            ReadDefaultRole(*found, where, *folder);
        }
        if (const std::optional<Node> items = ArrayMember(node, where, "items", Required::kNo)) {
            memory_store::ItemList read;
            read.reserve(items->Size());
            items->ForEachElement([&](std::size_t index, const Node& item) {
                const Where itemWhere{&where, "item", index + 1, &item};
                read.push_back(ReadPlacedItem(item, itemWhere, place, index));
            });
            folder->items = std::make_shared<const memory_store::FolderItems>(std::move(read));
        }
        return folder;
    }

    void ReadDefaultRole(const Node& value, const Where& where, MemoryFolder& folder) {
        const std::string role(TextValue(value, where, "default"));
        const bool calendar = role == "calendar";
        if (!calendar && role != "contacts") {
            Fail(where, "default", Quoted(role) + " is neither \"calendar\" nor \"contacts\"");
        }
        const std::int32_t neededType = calendar ? 1 : 2;
        if (folder.defaultItemType != neededType) {
            Fail(where, "default",
                 "the default " + role + " folder must have defaultItemType " + std::to_string(neededType));
        }
        std::string& first = calendar ? firstDefaultCalendar_ : firstDefaultContacts_;
        if (!first.empty()) {
            Fail(where, "default", "there is already a default " + role + " folder: " + first);
        }
        first = Describe(where);
        folder.defaultRole = role;
    }

    std::shared_ptr<const MemoryItem> ReadPlacedItem(const Node& node, const Where& where,
                                                     const std::string& folderPlace, std::size_t index) {
        const std::optional<std::size_t> early = node.EarlyItem();
        std::shared_ptr<MemoryItem> item = early ? TakeEarlyItem(*early, where) : ReadItem(node, where);
        if (!item->members.Contains(MemberId::kEntryID)) {
            item->members.Add(MemberId::kEntryID, GeneratedId("EntryID:" + folderPlace + "/I" + std::to_string(index)));
        }
        return item;
    }

    std::shared_ptr<MemoryItem> TakeEarlyItem(std::size_t index, const Where& where) {
        if (index >= earlyItems_.size() || !earlyItems_[index]) {
            Fail(where, "", "stands for no item read early");
        }
        ++placedEarlyItems_;
        return std::move(earlyItems_[index]);
    }

    const std::string& sourceName_;
    std::vector<std::shared_ptr<MemoryItem>> earlyItems_;
    std::size_t placedEarlyItems_ = 0;
    std::string firstDefaultCalendar_;
    std::string firstDefaultContacts_;
};

}  // namespace kalendro::mailbox
