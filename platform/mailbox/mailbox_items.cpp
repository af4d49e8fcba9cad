#include "platform/mailbox/mailbox_items.h"

#include <algorithm>
#include <string>
#include <utility>

#include "platform/failure.h"
#include "platform/mailbox/filter.h"
#include "platform/mailbox/restriction.h"

namespace kalendro::mailbox {

namespace {

class MailboxStoreItem : public StoreItem {
public:
    explicit MailboxStoreItem(CollectionEntry entry)
        : entry_(std::move(entry)), schema_(&SchemaFor(entry_.item->typeName)) {}

    std::string TypeName() const override { return entry_.item->typeName; }
    std::string Text(std::string_view member) const override { return Read<std::string>(member, MemberKind::kText); }
    StoreDate Date(std::string_view member) const override { return Read<StoreDate>(member, MemberKind::kDate); }
    std::int32_t Number(std::string_view member) const override {
        return Read<std::int32_t>(member, MemberKind::kNumber);
    }
    bool Flag(std::string_view member) const override { return Read<bool>(member, MemberKind::kFlag); }

private:
    // An unset member reads as the value-initialised T: empty text, the no-date value, 0, false.
    template <typename T>
    T Read(std::string_view member, MemberKind wanted) const {
        const MemberValue* value = FindLastingMember(entry_, CheckMember(member, wanted));
        return value == nullptr ? T{} : std::get<T>(*value);
    }

    // The lasting spelling of the name.
    std::string_view CheckMember(std::string_view member, MemberKind wanted) const {
        const auto* found = schema_->Find(member);
        if (found == nullptr) {
            throw Failure(kStoreOperationFailed,
                          "The " + entry_.item->typeName + " has no member \"" + std::string(member) + "\".");
        }
        if (found->second != wanted) {
            throw Failure(kTypeMismatch, "Type mismatch: the member \"" + std::string(member) + "\" of the " +
                                             entry_.item->typeName + " is a " + std::string(KindName(found->second)) +
                                             ", not a " + std::string(KindName(wanted)) + ".");
        }
        return found->first;
    }

    CollectionEntry entry_;
    const ItemSchema* schema_;
};

class EntryEnumerator : public StoreItemEnumerator {
public:
    explicit EntryEnumerator(std::shared_ptr<const std::vector<CollectionEntry>> entries)
        : entries_(std::move(entries)) {}

    std::shared_ptr<StoreItem> Next() override {
        if (next_ == entries_->size()) {
            return nullptr;
        }
        return MakeStoreItem((*entries_)[next_++]);
    }

private:
    std::shared_ptr<const std::vector<CollectionEntry>> entries_;
    std::size_t next_ = 0;
};

const MemberValue* FindIn(const Members& members, std::string_view lasting) {
    auto found = members.FindLasting(lasting);
    return found == members.end() ? nullptr : &found->second;
}

}  // namespace

const MemberValue* FindMember(const CollectionEntry& entry, std::string_view member) {
    const std::string_view lasting = KnownMemberName(member);
    return lasting.empty() ? nullptr : FindLastingMember(entry, lasting);
}

const MemberValue* FindLastingMember(const CollectionEntry& entry, std::string_view lasting) {
    if (entry.overrides) {
        if (const MemberValue* value = FindIn(*entry.overrides, lasting)) {
            return value;
        }
    }
    return FindIn(entry.item->members, lasting);
}

StoreDate StartOf(const CollectionEntry& entry) {
    static const std::string_view start = KnownMemberName("Start");
    const MemberValue* value = FindLastingMember(entry, start);
    const StoreDate* date = value == nullptr ? nullptr : std::get_if<StoreDate>(value);
    return date == nullptr ? StoreDate::NoDate() : *date;
}

std::shared_ptr<StoreItem> MakeStoreItem(CollectionEntry entry) {
    return std::make_shared<MailboxStoreItem>(std::move(entry));
}

MailboxItems::MailboxItems(std::vector<CollectionEntry> entries, std::shared_ptr<const RegionalSettings> regional)
    : entries_(std::make_shared<const std::vector<CollectionEntry>>(std::move(entries))),
      regional_(std::move(regional)) {}

std::unique_ptr<MailboxItems> MailboxItems::OfFolder(const std::shared_ptr<const MailboxFolder>& folder,
                                                     std::shared_ptr<const RegionalSettings> regional) {
    std::vector<CollectionEntry> entries;
    entries.reserve(folder->items.size());
    for (const auto& item : folder->items) {
        entries.push_back({item, nullptr});
    }
    return std::make_unique<MailboxItems>(std::move(entries), std::move(regional));
}

std::int32_t MailboxItems::Count() { return static_cast<std::int32_t>(entries_->size()); }

std::unique_ptr<StoreItemEnumerator> MailboxItems::Enumerate() {
    // The enumerator shares the entries as they stand; a later Sort of this collection makes new
    // ones and does not disturb it.
    return std::make_unique<EntryEnumerator>(entries_);
}

void MailboxItems::Sort(std::string_view property) {
    if (property != "[Start]") {
        throw Failure(kInvalidArgument,
                      "Sort: the items can only be sorted by \"[Start]\", not by \"" + std::string(property) + "\".");
    }
    // Each start is looked up once rather than at every comparison.
    std::vector<std::pair<StoreDate, std::size_t>> keys;
    const std::vector<CollectionEntry>& entries = *entries_;
    keys.reserve(entries.size());
    for (std::size_t index = 0; index < entries.size(); ++index) {
        keys.emplace_back(StartOf(entries[index]), index);
    }
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto& left, const auto& right) { return left.first < right.first; });
    std::vector<CollectionEntry> sorted;
    sorted.reserve(entries.size());
    for (const auto& key : keys) {
        sorted.push_back(entries[key.second]);
    }
    entries_ = std::make_shared<const std::vector<CollectionEntry>>(std::move(sorted));
    sortedByStart_ = true;
}

void MailboxItems::SetIncludeRecurrences(bool include) { includeRecurrences_ = include; }

std::unique_ptr<StoreItems> MailboxItems::Restrict(std::string_view filter) {
    const Filter parsed = Filter::Parse(filter, *regional_);
    auto restricted = std::make_unique<MailboxItems>(
        RestrictEntries(*entries_, includeRecurrences_, sortedByStart_, parsed), regional_);
    restricted->sortedByStart_ = sortedByStart_;
    return restricted;
}

}  // namespace kalendro::mailbox
