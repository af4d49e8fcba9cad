// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/memory_store/restriction.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string>
#include <tuple>
#include <utility>

#include "platform/memory_store/recurrence.h"
#include "platform/store/failure.h"
#include "platform/text/quoted_input.h"

namespace kalendro::memory_store {

namespace {

std::string SubjectOf(const MemoryItem& item) {
    const std::optional<MemberView> subject = item.members.Find(MemberId::kSubject);
    const std::string_view* text = subject ? std::get_if<std::string_view>(&*subject) : nullptr;
    return text == nullptr ? std::string() : std::string(*text);
}

StoreDate EndOf(const CollectionEntry& entry) {
    const std::optional<MemberView> end = FindMember(entry, MemberId::kEnd);
    const StoreDate* date = end ? std::get_if<StoreDate>(&*end) : nullptr;
    return date == nullptr ? StoreDate::NoDate() : *date;
}

RecurringSeries SeriesOf(const CollectionEntry& entry) {
    const MemoryItem& item = *entry.item;
    return {*item.recurrence, StartOf(entry), EndOf(entry), item.recurrence->zone.get()};
}

// Most occurrences are no exception: their overrides are built at once.
CollectionEntry OccurrenceEntry(const std::shared_ptr<const MemoryItem>& series, const Occurrence& occurrence) {
    const std::array<Members::value_type, 3> dates = {{{MemberId::kStart, occurrence.start},
                                                       {MemberId::kEnd, occurrence.end},
                                                       {MemberId::kOriginalDate, occurrence.originalStart}}};
    if (occurrence.exception == nullptr) {
        return {series, std::make_shared<const Members>(Members::Of(dates))};
    }
    auto overrides = std::make_shared<Members>(occurrence.exception->members);
    for (const auto& [member, value] : dates) {
        overrides->Set(member, value);
    }
    return {series, std::move(overrides)};
}

// A series' matching occurrences in ascending order of start. Only the starts that the filter's
// conditions allow are expanded, so the cost follows the occurrences in that window.
class SeriesOccurrences {
public:
    SeriesOccurrences(const CollectionEntry& entry, const StartWindow& window, const Filter& filter)
        : item_(entry.item), series_(SeriesOf(entry)), walk_(series_, window), filter_(filter) {}
    SeriesOccurrences(const SeriesOccurrences&) = delete;
    SeriesOccurrences& operator=(const SeriesOccurrences&) = delete;

    std::optional<CollectionEntry> Next() {
        while (const std::optional<Occurrence> occurrence = walk_.Next()) {
            CollectionEntry candidate = OccurrenceEntry(item_, *occurrence);
            if (filter_.Matches(candidate)) {
                return candidate;
            }
        }
        return std::nullopt;
    }

private:
    std::shared_ptr<const MemoryItem> item_;
    const RecurringSeries series_;  // the walk refers to it
    OccurrenceWalk walk_;
    const Filter& filter_;
};

// The positions of the entries in order from `begin` to `end`, each either a series to expand or an
// entry the filter keeps or leaves out.
class EntryPositions {
public:
    EntryPositions(const std::vector<CollectionEntry>& entries, const std::vector<Restriction::SeriesToExpand>& series,
                   std::size_t begin, std::size_t end)
        : entries_(entries),
          series_(series),
          position_(begin),
          end_(end),
          nextSeries_(static_cast<std::size_t>(
              std::partition_point(series.begin(), series.end(),
                                   [begin](const Restriction::SeriesToExpand& s) { return s.position < begin; }) -
              series.begin())) {}

    bool AtEnd() const { return position_ == end_; }
    std::size_t Position() const { return position_; }
    const CollectionEntry& Entry() const { return entries_[position_]; }
    // The window of the series at the position, null for an entry that is not expanded.
    const StartWindow* SeriesWindow() const {
        const bool isSeries = nextSeries_ < series_.size() && series_[nextSeries_].position == position_;
        return isSeries ? &series_[nextSeries_].window : nullptr;
    }
    void Advance() {
        if (SeriesWindow() != nullptr) {
            ++nextSeries_;
        }
        ++position_;
    }

private:
    const std::vector<CollectionEntry>& entries_;
    const std::vector<Restriction::SeriesToExpand>& series_;
    std::size_t position_;
    std::size_t end_;
    std::size_t nextSeries_;
};

// The store's order: the entries in turn, each series' occurrences where the series stands.
class StoreOrderWalk : public EntryWalk {
public:
    StoreOrderWalk(const std::vector<CollectionEntry>& entries, const std::vector<Restriction::SeriesToExpand>& series,
                   const Filter& filter)
        : positions_(entries, series, 0, entries.size()), filter_(filter) {}

    std::optional<CollectionEntry> Next() override {
        for (;;) {
            if (expanding_) {
                if (std::optional<CollectionEntry> occurrence = expanding_->Next()) {
                    return occurrence;
                }
                expanding_.reset();
            }
            if (positions_.AtEnd()) {
                return std::nullopt;
            }
            const CollectionEntry& entry = positions_.Entry();
            const StartWindow* window = positions_.SeriesWindow();
            positions_.Advance();
            if (window != nullptr) {
                expanding_ = std::make_unique<SeriesOccurrences>(entry, *window, filter_);
            } else if (filter_.Matches(entry)) {
                return entry;
            }
        }
    }

private:
    EntryPositions positions_;
    const Filter& filter_;
    std::unique_ptr<SeriesOccurrences> expanding_;
};

// Sorted by Start: the entries that are not expanded, sorted already, merged with one walk per series.
// Each source offers its next entry; the earliest start goes first, equal starts by the entry's
// position and then by the order the source made them, which is the stable sort of the store's order.
class StartOrderWalk : public EntryWalk {
public:
    StartOrderWalk(const std::vector<CollectionEntry>& entries, const std::vector<Restriction::SeriesToExpand>& series,
                   std::size_t singlesBegin, std::size_t singlesEnd, const Filter& filter)
        : singles_(entries, series, singlesBegin, singlesEnd), filter_(filter) {
        for (const Restriction::SeriesToExpand& toExpand : series) {
            series_.push_back(std::make_unique<SeriesOccurrences>(entries[toExpand.position], toExpand.window, filter));
            Offer(series_.size() - 1, toExpand.position, series_.back()->Next());
        }
        OfferNextSingle();
    }

    std::optional<CollectionEntry> Next() override {
        if (offers_.empty()) {
            return std::nullopt;
        }
        std::pop_heap(offers_.begin(), offers_.end(), Later);
        Offered earliest = std::move(offers_.back());
        offers_.pop_back();
        if (earliest.source == kSingles) {
            OfferNextSingle();
        } else {
            Offer(earliest.source, earliest.position, series_[earliest.source]->Next());
        }
        return std::move(earliest.entry);
    }

private:
    static constexpr std::size_t kSingles = std::numeric_limits<std::size_t>::max();

    struct Offered {
        std::uint64_t start;  // packed
        std::size_t position;
        std::uint64_t made;
        std::size_t source;  // an index of series_, or kSingles
        CollectionEntry entry;
    };

    static bool Later(const Offered& a, const Offered& b) {
        return std::tie(b.start, b.position, b.made) < std::tie(a.start, a.position, a.made);
    }

    void Offer(std::size_t source, std::size_t position, std::optional<CollectionEntry> entry) {
        if (entry) {
            const std::uint64_t start = StartOf(*entry).Packed();
            offers_.push_back({start, position, made_++, source, std::move(*entry)});
            std::push_heap(offers_.begin(), offers_.end(), Later);
        }
    }

    void OfferNextSingle() {
        for (; !singles_.AtEnd(); singles_.Advance()) {
            if (singles_.SeriesWindow() == nullptr && filter_.Matches(singles_.Entry())) {
                const std::size_t position = singles_.Position();
                const CollectionEntry& entry = singles_.Entry();
                singles_.Advance();
                Offer(kSingles, position, entry);
                return;
            }
        }
    }

    EntryPositions singles_;
    const Filter& filter_;
    std::vector<std::unique_ptr<SeriesOccurrences>> series_;
    std::vector<Offered> offers_;  // a heap, the earliest on top; at most one per source
    std::uint64_t made_ = 0;
};

// The positions, among entries sorted by these starts, of those whose start lies in the window.
std::pair<std::size_t, std::size_t> PositionsInWindow(const std::vector<std::uint64_t>& starts,
                                                      const StartWindow& window) {
    const auto from =
        window.from ? std::lower_bound(starts.begin(), starts.end(), window.from->Packed()) : starts.begin();
    const auto to = window.to ? std::upper_bound(from, starts.end(), window.to->Packed()) : starts.end();
    return {static_cast<std::size_t>(from - starts.begin()), static_cast<std::size_t>(to - starts.begin())};
}

}  // namespace

bool IsSeries(const CollectionEntry& entry) {
    // An entry with overrides is already an occurrence: restricting a restricted collection keeps it as it is.
    return entry.item->recurrence && !entry.overrides;
}

Restriction::Restriction(std::shared_ptr<const std::vector<CollectionEntry>> entries,
                         std::shared_ptr<const StartIndex> index, bool includeRecurrences, bool sortedByStart,
                         Filter filter)
    : entries_(std::move(entries)),
      filter_(std::move(filter)),
      sortedByStart_(sortedByStart),
      singlesEnd_(entries_->size()) {
    if (includeRecurrences && index) {
        for (const std::size_t position : index->series) {
            AddSeries(position);
        }
    } else if (includeRecurrences) {
        for (std::size_t position = 0; position < entries_->size(); ++position) {
            if (IsSeries((*entries_)[position])) {
                AddSeries(position);
            }
        }
    }
    if (index) {
        std::tie(singlesBegin_, singlesEnd_) = PositionsInWindow(index->starts, filter_.StartBoundsOfAnyEntry());
    }
}

void Restriction::AddSeries(std::size_t position) {
    const CollectionEntry& entry = (*entries_)[position];
    const RecurringSeries series = SeriesOf(entry);
    const StartWindow window = filter_.StartBounds(series.Durations());
    if (!window.to && !series.HasEnd()) {
        throw Failure(kStoreOperationFailed, "The condition " + QuotedInput(filter_.Text()) +
                                                 " sets no latest start for the recurring appointment " +
                                                 QuotedInput(SubjectOf(*entry.item)) + ", which has no end.");
    }
    series_.push_back({position, window});
}

std::unique_ptr<EntryWalk> Restriction::Walk() const {
    if (sortedByStart_) {
        return std::make_unique<StartOrderWalk>(*entries_, series_, singlesBegin_, singlesEnd_, filter_);
    }
    return std::make_unique<StoreOrderWalk>(*entries_, series_, filter_);
}

std::int32_t Restriction::Count() const {
    std::int32_t count = 0;
    const std::unique_ptr<EntryWalk> walk = Walk();
    while (count < std::numeric_limits<std::int32_t>::max() && walk->Next()) {
        ++count;
    }
    return count;
}

}  // namespace kalendro::memory_store
