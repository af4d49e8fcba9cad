// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/memory_store/memory_items.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "platform/memory_store/filter.h"
#include "platform/memory_store/restriction.h"
#include "platform/store/failure.h"

namespace kalendro::memory_store {

namespace {

class MemoryStoreItem : public StoreItem {
public:
    explicit MemoryStoreItem(CollectionEntry entry) : entry_(std::move(entry)) {}

    std::string TypeName() const override { return entry_.item->typeName; }
    std::string Text(std::string_view member) const override {
        return std::string(Read<std::string_view>(member, MemberKind::kText));
    }
    StoreDate Date(std::string_view member) const override { return Read<StoreDate>(member, MemberKind::kDate); }
    std::int32_t Number(std::string_view member) const override {
        return Read<std::int32_t>(member, MemberKind::kNumber);
    }
    bool Flag(std::string_view member) const override { return Read<bool>(member, MemberKind::kFlag); }

private:
    // An unset member reads as the value-initialised T: empty text, the no-date value, 0, false.
    template <typename T>
    T Read(std::string_view member, MemberKind wanted) const {
        const std::optional<MemberView> value = FindMember(entry_, CheckMember(member, wanted));
        return value ? std::get<T>(*value) : T{};
    }

    MemberId CheckMember(std::string_view name, MemberKind wanted) const {
        const std::optional<MemberId> member = FindMemberId(name);
        if (!member || !TypeHasMember(entry_.item->type, *member)) {
            throw Failure(kStoreOperationFailed,
                          "The " + entry_.item->typeName + " has no member \"" + std::string(name) + "\".");
        }
        if (KindOf(*member) != wanted) {
            throw Failure(kTypeMismatch, "Type mismatch: the member \"" + std::string(name) + "\" of the " +
                                             entry_.item->typeName + " is a " + std::string(KindName(KindOf(*member))) +
                                             ", not a " + std::string(KindName(wanted)) + ".");
        }
        return *member;
    }

    CollectionEntry entry_;
};

class WalkEnumerator : public StoreItemEnumerator {
public:
    explicit WalkEnumerator(std::shared_ptr<const Restriction> restriction)
        : restriction_(std::move(restriction)), walk_(restriction_->Walk()) {}

    std::shared_ptr<StoreItem> Next() override {
        std::optional<CollectionEntry> entry = walk_->Next();
        return entry ? MakeStoreItem(std::move(*entry)) : nullptr;
    }

private:
    std::shared_ptr<const Restriction> restriction_;  // the walk refers to it
    std::unique_ptr<EntryWalk> walk_;
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

// The index of entries sorted by these keys (start, position before the sort); `series` tells by the
// position before the sort which entries are series.
std::shared_ptr<const StartIndex> IndexOfSorted(const std::vector<std::pair<std::uint64_t, std::size_t>>& keys,
                                                const std::vector<bool>& series) {
    auto index = std::make_shared<StartIndex>();
    index->starts.reserve(keys.size());
    for (std::size_t position = 0; position < keys.size(); ++position) {
        index->starts.push_back(keys[position].first);
        if (series[keys[position].second]) {
            index->series.push_back(position);
        }
    }
    return index;
}

}  // namespace

std::optional<MemberView> FindMember(const CollectionEntry& entry, MemberId member) {
    if (entry.overrides) {
        if (std::optional<MemberView> value = entry.overrides->Find(member)) {
            return value;
        }
    }
    return entry.item->members.Find(member);
}

StoreDate StartOf(const CollectionEntry& entry) {
    const std::optional<MemberView> value = FindMember(entry, MemberId::kStart);
    const StoreDate* date = value ? std::get_if<StoreDate>(&*value) : nullptr;
    return date == nullptr ? StoreDate::NoDate() : *date;
}

std::shared_ptr<StoreItem> MakeStoreItem(CollectionEntry entry) {
    return std::make_shared<MemoryStoreItem>(std::move(entry));
}

MemoryItems::MemoryItems(std::vector<CollectionEntry> entries, std::shared_ptr<const RegionalSettings> regional)
    : entries_(std::make_shared<const std::vector<CollectionEntry>>(std::move(entries))),
      regional_(std::move(regional)) {}

std::unique_ptr<MemoryItems> MemoryItems::OfFolder(std::shared_ptr<const FolderItems> folderItems,
                                                   std::shared_ptr<const RegionalSettings> regional) {
    std::unique_ptr<MemoryItems> items(new MemoryItems(std::move(regional)));
    items->folderItems_ = std::move(folderItems);
    return items;
}

const std::shared_ptr<const std::vector<CollectionEntry>>& MemoryItems::SharedEntries() {
    if (!entries_ && restriction_) {
        std::vector<CollectionEntry> entries;
        const std::unique_ptr<EntryWalk> walk = restriction_->Walk();
        while (std::optional<CollectionEntry> entry = walk->Next()) {
            entries.push_back(std::move(*entry));
        }
        entries_ = std::make_shared<const std::vector<CollectionEntry>>(std::move(entries));
        restriction_.reset();
    }
    if (!entries_) {
        const ItemList& items = folderItems_->All();
        std::vector<CollectionEntry> entries;
        entries.reserve(items.size());
        for (const auto& item : items) {
            entries.push_back({item, nullptr});
        }
        entries_ = std::make_shared<const std::vector<CollectionEntry>>(std::move(entries));
        folderItems_.reset();
    }
    return entries_;
}

const std::vector<CollectionEntry>& MemoryItems::Entries() { return *SharedEntries(); }

std::int32_t MemoryItems::Count() {
    if (entries_) {
        return static_cast<std::int32_t>(entries_->size());
    }
    return restriction_ ? restriction_->Count() : folderItems_->Count();
}

std::unique_ptr<StoreItemEnumerator> MemoryItems::Enumerate() {
    if (restriction_) {
        return std::make_unique<WalkEnumerator>(restriction_);
    }
    // The enumerator shares the entries as they stand; a later Sort of this collection makes new
    // ones and does not disturb it.
    return std::make_unique<EntryEnumerator>(SharedEntries());
}

void MemoryItems::Sort(std::string_view property) {
    if (property != "[Start]") {
        throw Failure(kInvalidArgument,
                      "Sort: the items can only be sorted by \"[Start]\", not by \"" + std::string(property) + "\".");
    }
    // Each start is looked up once rather than at every comparison, and packed; the position breaks
    // ties, which makes the sort stable. Whether an entry is a series is noted while it is at hand.
    std::vector<std::pair<std::uint64_t, std::size_t>> keys;
    std::vector<bool> series;
    const std::vector<CollectionEntry>& entries = Entries();
    keys.reserve(entries.size());
    series.reserve(entries.size());
    for (std::size_t index = 0; index < entries.size(); ++index) {
        keys.emplace_back(StartOf(entries[index]).Packed(), index);
        series.push_back(IsSeries(entries[index]));
    }
    std::sort(keys.begin(), keys.end());
    std::vector<CollectionEntry> sorted;
    sorted.reserve(entries.size());
    for (const auto& key : keys) {
        sorted.push_back(entries[key.second]);
    }
    entries_ = std::make_shared<const std::vector<CollectionEntry>>(std::move(sorted));
    // The index is made once the unsorted entries are gone, so that a large folder's sort holds no
    // more than two lists of entries at once.
    startIndex_ = IndexOfSorted(keys, series);
    sortedByStart_ = true;
}

void MemoryItems::SetIncludeRecurrences(bool include) { includeRecurrences_ = include; }

std::unique_ptr<StoreItems> MemoryItems::Restrict(std::string_view filter) {
    Filter parsed = Filter::Parse(filter, *regional_);
    std::unique_ptr<MemoryItems> restricted(new MemoryItems(regional_));
    restricted->restriction_ = std::make_shared<const Restriction>(SharedEntries(), startIndex_, includeRecurrences_,
                                                                   sortedByStart_, std::move(parsed));
    restricted->sortedByStart_ = sortedByStart_;
    return restricted;
}

}  // namespace kalendro::memory_store
