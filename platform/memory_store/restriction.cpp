#include "platform/memory_store/restriction.h"

#include <algorithm>
#include <memory>
#include <string>

#include "platform/failure.h"
#include "platform/memory_store/recurrence.h"

namespace kalendro::memory_store {

namespace {

std::string SubjectOf(const MemoryItem& item) {
    const MemberValue* subject = item.members.Find(MemberId::kSubject);
    const std::string* text = subject == nullptr ? nullptr : std::get_if<std::string>(subject);
    return text == nullptr ? std::string() : *text;
}

StoreDate EndOf(const CollectionEntry& entry) {
    const MemberValue* end = FindMember(entry, MemberId::kEnd);
    const StoreDate* date = end == nullptr ? nullptr : std::get_if<StoreDate>(end);
    return date == nullptr ? StoreDate::NoDate() : *date;
}

CollectionEntry OccurrenceEntry(const std::shared_ptr<const MemoryItem>& series, const Occurrence& occurrence) {
    auto overrides = std::make_shared<Members>();
    if (occurrence.exception != nullptr) {
        *overrides = occurrence.exception->members;
    }
    overrides->Set(MemberId::kStart, occurrence.start);
    overrides->Set(MemberId::kEnd, occurrence.end);
    overrides->Set(MemberId::kOriginalDate, occurrence.originalStart);
    return {series, std::move(overrides)};
}

// Appends the series' matching occurrences in ascending order of start. Only the starts that the
// filter's conditions allow are expanded, so the cost follows the occurrences in that window.
void AppendOccurrences(const CollectionEntry& entry, const Filter& filter, std::vector<CollectionEntry>& kept) {
    const MemoryItem& item = *entry.item;
    const RecurringSeries series(*item.recurrence, StartOf(entry), EndOf(entry), item.seriesTimeZone.get());
    const StartWindow window = filter.StartBounds(series.Durations());
    if (!window.to && !series.HasEnd()) {
        throw Failure(kStoreOperationFailed, "The condition \"" + filter.Text() +
                                                 "\" sets no latest start for the recurring appointment \"" +
                                                 SubjectOf(item) + "\", which has no end.");
    }
    for (const Occurrence& occurrence : series.OccurrencesIn(window)) {
        CollectionEntry candidate = OccurrenceEntry(entry.item, occurrence);
        if (filter.Matches(candidate)) {
            kept.push_back(std::move(candidate));
        }
    }
}

bool IsSeriesToExpand(const CollectionEntry& entry, bool includeRecurrences) {
    // An entry with overrides is already an occurrence: restricting a restricted collection keeps it as it is.
    return includeRecurrences && entry.item->recurrence && !entry.overrides;
}

}  // namespace

std::vector<CollectionEntry> RestrictEntries(const std::vector<CollectionEntry>& entries, bool includeRecurrences,
                                             bool sortedByStart, const Filter& filter) {
    std::vector<CollectionEntry> kept;
    for (const CollectionEntry& entry : entries) {
        if (IsSeriesToExpand(entry, includeRecurrences)) {
            AppendOccurrences(entry, filter, kept);
        } else if (filter.Matches(entry)) {
            kept.push_back(entry);
        }
    }
    if (!sortedByStart) {
        return kept;
    }

    std::vector<std::size_t> order(kept.size());
    std::vector<StoreDate> starts(kept.size());
    for (std::size_t i = 0; i < kept.size(); ++i) {
        order[i] = i;
        starts[i] = StartOf(kept[i]);
    }
    // Stable, and the positions already follow the entries and each series' ascending occurrences, so
    // equal starts keep the order of their entries.
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return starts[a] < starts[b]; });
    std::vector<CollectionEntry> sorted;
    sorted.reserve(kept.size());
    for (std::size_t i : order) {
        sorted.push_back(std::move(kept[i]));
    }
    return sorted;
}

}  // namespace kalendro::memory_store
