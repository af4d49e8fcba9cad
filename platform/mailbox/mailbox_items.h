#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/mailbox/mailbox_data.h"
#include "platform/mailbox/mailbox_schema.h"
#include "platform/regional.h"
#include "platform/store.h"

namespace kalendro::mailbox {

// One element of an items collection: an item of the file as it stands, or one occurrence of a
// recurring appointment. An occurrence shares its series' item and names what differs in
// `overrides` (its own Start and End, and the members its exception changes), so that making
// one costs no copy of the series' members.
struct CollectionEntry {
    std::shared_ptr<const MailboxItem> item;
    std::shared_ptr<const Members> overrides;  // null for an item as it stands
};

// The value of a member of an entry, overrides first; null when neither names it (the member is
// then unset). The name is not checked against the item type's schema.
const MemberValue* FindMember(const CollectionEntry& entry, std::string_view member);
// The same for a name in its lasting spelling (see KnownMemberName), without looking the name up.
const MemberValue* FindLastingMember(const CollectionEntry& entry, std::string_view lasting);
// The entry's Start; the no-date value when it has none.
StoreDate StartOf(const CollectionEntry& entry);

// An item handed out by a collection: reads its members by name, checked against its type's
// schema (a name the type lacks is failure 440, a read of another kind failure 13).
std::shared_ptr<StoreItem> MakeStoreItem(CollectionEntry entry);

// A folder's "Items": a list of entries in the store's order until sorted. Each request of a
// folder's Items makes a new one; the mailbox under it never changes.
class MailboxItems : public StoreItems {
public:
    MailboxItems(std::vector<CollectionEntry> entries, std::shared_ptr<const RegionalSettings> regional);
    // The folder's items, in file order.
    static std::unique_ptr<MailboxItems> OfFolder(const std::shared_ptr<const MailboxFolder>& folder,
                                                  std::shared_ptr<const RegionalSettings> regional);

    // The number of entries as they stand (a series counts once, whether or not recurrences are included).
    std::int32_t Count() override;
    // Every entry once, in the present order.
    std::unique_ptr<StoreItemEnumerator> Enumerate() override;
    // Only "[Start]": a stable ascending sort by Start (equal starts keep their order; entries
    // without Start, such as contacts, count as the no-date value and so come last). Any other
    // property is failure 5.
    void Sort(std::string_view property) override;
    void SetIncludeRecurrences(bool include) override;
    // A new collection of the entries the filter keeps (see RestrictEntries), in this collection's
    // order and still sorted when this one is. A filter that cannot be read is failure 440.
    std::unique_ptr<StoreItems> Restrict(std::string_view filter) override;

    const std::vector<CollectionEntry>& Entries() const { return *entries_; }
    bool IncludeRecurrences() const { return includeRecurrences_; }
    // Whether Sort("[Start]") has been applied (the order a restricted collection keeps).
    bool SortedByStart() const { return sortedByStart_; }
    const RegionalSettings& Regional() const { return *regional_; }

private:
    std::shared_ptr<const std::vector<CollectionEntry>> entries_;  // shared with the enumerators made before a Sort
    std::shared_ptr<const RegionalSettings> regional_;
    bool includeRecurrences_ = false;
    bool sortedByStart_ = false;
};

}  // namespace kalendro::mailbox
