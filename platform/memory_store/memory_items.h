// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/locale/regional.h"
#include "platform/memory_store/memory_folder.h"
#include "platform/store/store.h"

namespace kalendro::memory_store {

class Restriction;
struct StartIndex;

// One element of an items collection: an item as the store holds it, or one occurrence of a
// recurring appointment. An occurrence shares its series' item and names what differs in
// `overrides` (its own Start and End, and the members its exception changes).
struct CollectionEntry {
    std::shared_ptr<const MemoryItem> item;
    std::shared_ptr<const Members> overrides;  // null for an item as it stands
};

// The value of a member of an entry, overrides first; nothing when neither names it (the member is
// then unset). Whether the item type has the member is not checked.
std::optional<MemberView> FindMember(const CollectionEntry& entry, MemberId member);
// The entry's Start; the no-date value when it has none.
StoreDate StartOf(const CollectionEntry& entry);

// An item handed out by a collection: reads its members by name, checked against its type (a name
// the type lacks fails with kStoreOperationFailed, a read of another kind kTypeMismatch).
std::shared_ptr<StoreItem> MakeStoreItem(CollectionEntry entry);

// A folder's "Items": a list of entries in the store's order until sorted. Each request of a
// folder's Items makes a new one; the items under it never change.
class MemoryItems : public StoreItems {
public:
    MemoryItems(std::vector<CollectionEntry> entries, std::shared_ptr<const RegionalSettings> regional);
    // The folder's items, in the store's order, read from the folder when first enumerated, sorted
    // or restricted.
    static std::unique_ptr<MemoryItems> OfFolder(std::shared_ptr<const FolderItems> folderItems,
                                                 std::shared_ptr<const RegionalSettings> regional);

    // The number of entries as they stand (a series counts once, whether or not recurrences are
    // included); for a folder's items not read yet, the count the folder expects; for a restricted
    // collection, the entries it keeps, counted by walking them without holding them.
    std::int32_t Count() override;
    // Every entry once, in the present order. A restricted collection's entries are made as the
    // enumeration reaches them.
    std::unique_ptr<StoreItemEnumerator> Enumerate() override;
    // Only "[Start]": a stable ascending sort by Start (equal starts keep their order; entries
    // without Start, such as contacts, count as the no-date value and so come last). Any other
    // property is failure 5.
    void Sort(std::string_view property) override;
    void SetIncludeRecurrences(bool include) override;
    // A new collection of the entries the filter keeps (see Restriction), in this collection's
    // order and still sorted when this one is. A filter that cannot be read fails with kStoreOperationFailed.
    std::unique_ptr<StoreItems> Restrict(std::string_view filter) override;

    // The entries as they stand; a restricted collection makes and holds them all.
    const std::vector<CollectionEntry>& Entries();
    bool IncludeRecurrences() const { return includeRecurrences_; }
    // Whether Sort("[Start]") has been applied (the order a restricted collection keeps).
    bool SortedByStart() const { return sortedByStart_; }

private:
    explicit MemoryItems(std::shared_ptr<const RegionalSettings> regional) : regional_(std::move(regional)) {}
    const std::shared_ptr<const std::vector<CollectionEntry>>& SharedEntries();

    std::shared_ptr<const FolderItems> folderItems_;               // until its entries are made
    std::shared_ptr<const Restriction> restriction_;               // until its entries are made
    std::shared_ptr<const std::vector<CollectionEntry>> entries_;  // shared with the enumerators made before a Sort
    std::shared_ptr<const StartIndex> startIndex_;                 // of the entries as the last Sort left them
    std::shared_ptr<const RegionalSettings> regional_;
    bool includeRecurrences_ = false;
    bool sortedByStart_ = false;
};

}  // namespace kalendro::memory_store
