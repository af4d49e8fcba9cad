// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/memory_store/memory_item.h"
#include "platform/store/store_date.h"

namespace kalendro::memory_store {

// One occurrence of a recurring appointment.
struct Occurrence {
    StoreDate start;
    StoreDate end;
    StoreDate originalStart;                         // where the pattern puts it, in the series' zone
    const RecurrenceException* exception = nullptr;  // the modified exception applied, if any
};

// Bounds on the start of occurrences, both inclusive; an absent bound leaves that side open.
struct StartWindow {
    std::optional<StoreDate> from;
    std::optional<StoreDate> to;
};

struct DurationSpan {
    std::int64_t shortestSeconds = 0;
    std::int64_t longestSeconds = 0;
};

// A recurring appointment: its pattern with the Start and End of the series item. The pattern's fields
// must lie in the ranges the mailbox loader enforces; the pattern and the zone must outlive the series.
//
// With a zone, the pattern's dates and the series' Start and End are wall-clock times of that zone;
// every occurrence the pattern places has its start and end turned into local times, by which the
// window and the order apply. A modified exception's own Start and End are local times already.
// Without a zone, every time is local.
//
// Occurrences are found by arithmetic: the pattern's dates fall into periods (interval days, weeks,
// months or years counted from the pattern's start), so the first period that can reach a window is
// computed directly, and so is the number of dates before it for series that end after a count.
// A query costs what the window holds, however old the series.
class RecurringSeries {
public:
    RecurringSeries(const RecurrencePattern& pattern, const StoreDate& seriesStart, const StoreDate& seriesEnd,
                    const SeriesTimeZone* zone = nullptr);

    // The occurrences whose start lies in the window, deleted ones left out and modified ones placed
    // by their new start, in ascending order of start (equal starts in the pattern's order). A series
    // without end needs window.to: without it this fails with kStoreOperationFailed rather than an endless walk.
    // OccurrenceWalk gives the same occurrences one at a time.
    std::vector<Occurrence> OccurrencesIn(const StartWindow& window) const;

    // Whether the pattern, before exceptions, has an occurrence starting at that moment of the series' zone.
    bool IsPatternOccurrence(const StoreDate& start) const;

    bool HasEnd() const { return pattern_.end != RecurrenceEnd::kNever; }
    // The shortest and longest End minus Start among the occurrences, exceptions included; they let
    // a condition on End bound the start. With a zone, whose offset may change within an occurrence,
    // both are widened by two days.
    DurationSpan Durations() const;

private:
    friend class OccurrenceWalk;

    Occurrence ModifiedOccurrence(const RecurrenceException& exception) const;
    StoreDate Local(const StoreDate& zoneTime) const;
    bool HasException(std::int64_t originalStartSeconds) const;

    const RecurrencePattern& pattern_;
    std::int64_t timeOfDaySeconds_;
    std::int64_t durationSeconds_;
    const SeriesTimeZone* zone_;
    std::vector<const RecurrenceException*> exceptionsByOriginal_;
};

// The occurrences of a series in a window as RecurringSeries::OccurrencesIn gives them, made one at a
// time: however many the window holds, the walk keeps only the series' modified occurrences and, with
// a zone, those of a few days. The series must outlive the walk.
class OccurrenceWalk {
public:
    OccurrenceWalk(const RecurringSeries& series, const StartWindow& window);
    ~OccurrenceWalk();
    OccurrenceWalk(OccurrenceWalk&&) noexcept;
    OccurrenceWalk& operator=(OccurrenceWalk&&) noexcept;

    // The next occurrence; none once the window has no more.
    std::optional<Occurrence> Next();

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace kalendro::memory_store
