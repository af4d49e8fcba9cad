#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/mailbox/mailbox_data.h"
#include "platform/store_date.h"

namespace kalendro::mailbox {

// One occurrence of a recurring appointment.
struct Occurrence {
    StoreDate start;
    StoreDate end;
    StoreDate originalStart;                         // where the pattern puts it
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
// must lie in the ranges the mailbox loader enforces, and the pattern must outlive the series.
//
// Occurrences are found by arithmetic: the pattern's dates fall into periods (interval days, weeks,
// months or years counted from the pattern's start), so the first period that can reach a window is
// computed directly, and so is the number of dates before it for series that end after a count.
// A query costs what the window holds, however old the series.
class RecurringSeries {
public:
    RecurringSeries(const RecurrencePattern& pattern, const StoreDate& seriesStart, const StoreDate& seriesEnd);

    // The occurrences whose start lies in the window, deleted ones left out and modified ones placed
    // by their new start, in ascending order of start (equal starts in the pattern's order). A series
    // without end needs window.to: without it this is failure 440 rather than an endless walk.
    std::vector<Occurrence> OccurrencesIn(const StartWindow& window) const;

    // Whether the pattern, before exceptions, has an occurrence starting at that moment.
    bool IsPatternOccurrence(const StoreDate& start) const;

    bool HasEnd() const { return pattern_.end != RecurrenceEnd::kNever; }
    // The shortest and longest End minus Start among the occurrences, exceptions included; they let
    // a condition on End bound the start.
    DurationSpan Durations() const;

private:
    Occurrence ModifiedOccurrence(const RecurrenceException& exception) const;
    bool HasException(std::int64_t originalStartSeconds) const;

    const RecurrencePattern& pattern_;
    std::int64_t timeOfDaySeconds_;
    std::int64_t durationSeconds_;
    std::vector<const RecurrenceException*> exceptionsByOriginal_;
};

}  // namespace kalendro::mailbox
