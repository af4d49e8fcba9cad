// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/memory_store/recurrence.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>

#include "platform/store/failure.h"

namespace kalendro::memory_store {
namespace {

constexpr int kLastInstance = 5;
// A zone's wall clock and local time differ by less than this (each of a zone's biases is at most a
// day, and a machine's offset less than one more): a walk through a zone's occurrences holds back each
// one until the pattern has passed its local start by this much, so that no later one can precede it.
constexpr std::int64_t kZoneReorderSeconds = 4 * kSecondsPerDay;

std::int64_t CeilDiv(std::int64_t a, std::int64_t b) { return -FloorDiv(-a, b); }

bool MaskHolds(int dayOfWeekMask, int dayOfWeek) { return ((dayOfWeekMask >> dayOfWeek) & 1) != 0; }

bool IsMonthBased(RecurrenceType type) { return type != RecurrenceType::kDaily && type != RecurrenceType::kWeekly; }
bool IsNth(RecurrenceType type) { return type == RecurrenceType::kMonthNth || type == RecurrenceType::kYearNth; }

// 0 Sunday .. 6 Saturday; 1 January 1970 was a Thursday.
int WeekdayOfDay(std::int64_t day) {
    const std::int64_t fromSunday = day + 4;
    return static_cast<int>(fromSunday - FloorDiv(fromSunday, 7) * 7);
}

// The instance-th day of the month whose weekday the mask holds; instance 5 is the last such day
// even when the mask holds several weekdays.
int NthMaskedDay(const CalendarMonth& month, int dayOfWeekMask, int instance) {
    const int wanted = instance == kLastInstance ? INT_MAX : instance;
    const int weekdayOfFirst = WeekdayOfDay(month.firstDay);
    int found = 0;
    int seen = 0;
    for (int day = 1; day <= month.length && seen < wanted; ++day) {
        if (MaskHolds(dayOfWeekMask, (weekdayOfFirst + day - 1) % 7)) {
            found = day;
            ++seen;
        }
    }
    return found;
}

// The pattern's dates grouped into periods: period k is the k-th stretch of Interval days, weeks,
// months or years counted from the one holding the pattern's start. Each period holds its dates inside
// its own stretch, and every period after the first holds the same number of them, which is what lets
// a walk start at any period with the count of dates before it known.
class PatternPeriods {
public:
    explicit PatternPeriods(const RecurrencePattern& pattern)
        : pattern_(pattern), patternStartDay_(pattern.patternStartDate.DaySerial()) {
        const int interval = pattern.interval;
        switch (pattern.type) {
            case RecurrenceType::kDaily:
                origin_ = patternStartDay_;
                length_ = interval;
                break;
            case RecurrenceType::kWeekly:
                // That week's first day of the week.
                origin_ = patternStartDay_ - (WeekdayOfDay(patternStartDay_) - pattern.firstDayOfWeek + 7) % 7;
                length_ = 7 * std::int64_t{interval};
                break;
            case RecurrenceType::kMonthly:
            case RecurrenceType::kMonthNth:
                origin_ = MonthIndexOfDay(pattern.calendar, patternStartDay_);
                length_ = interval;
                break;
            case RecurrenceType::kYearly:
            case RecurrenceType::kYearNth: {
                const std::int64_t startMonth = MonthIndexOfDay(pattern.calendar, patternStartDay_);
                origin_ = startMonth - (MonthOfYear(startMonth) - 1) + pattern.monthOfYear - 1;
                length_ = 12 * std::int64_t{interval};
                break;
            }
        }
        datesPerPeriod_ = pattern.type == RecurrenceType::kWeekly ? std::popcount(unsigned(pattern.dayOfWeekMask)) : 1;
        std::array<std::int64_t, 7> days{};
        datesInFirstPeriod_ = DaysInPeriod(0, days);
    }

    // The period whose stretch holds the day; negative before the first.
    std::int64_t PeriodOfDay(std::int64_t day) const {
        if (!IsMonthBased(pattern_.type)) {
            return FloorDiv(day - origin_, length_);
        }
        return FloorDiv(MonthIndexOfDay(pattern_.calendar, day) - origin_, length_);
    }

    // Fills days with the period's dates (day serials) in ascending order, none before the pattern's
    // start, and gives their number.
    int DaysInPeriod(std::int64_t period, std::array<std::int64_t, 7>& days) const {
        const std::int64_t stretchStart = origin_ + period * length_;
        int count = 0;
        const auto keep = [&](std::int64_t day) {
            if (day >= patternStartDay_) {
                days[count++] = day;
            }
        };
        switch (pattern_.type) {
            case RecurrenceType::kDaily:
                keep(stretchStart);
                break;
            case RecurrenceType::kWeekly:
                for (int offset = 0; offset < 7; ++offset) {
                    if (MaskHolds(pattern_.dayOfWeekMask, (pattern_.firstDayOfWeek + offset) % 7)) {
                        keep(stretchStart + offset);
                    }
                }
                break;
            default:
                keep(DayInMonth(stretchStart));
                break;
        }
        return count;
    }

    // How many pattern dates the periods before this one (0 or later) hold.
    std::int64_t DaysBeforePeriod(std::int64_t period) const {
        return period == 0 ? 0 : datesInFirstPeriod_ + (period - 1) * datesPerPeriod_;
    }

private:
    std::int64_t DayInMonth(std::int64_t monthIndex) const {
        const CalendarMonth month = MonthAt(pattern_.calendar, monthIndex);
        const int day = IsNth(pattern_.type) ? NthMaskedDay(month, pattern_.dayOfWeekMask, pattern_.instance)
                                             : std::min(pattern_.dayOfMonth, month.length);
        return month.firstDay + day - 1;
    }

    const RecurrencePattern& pattern_;
    std::int64_t patternStartDay_;
    std::int64_t origin_ = 0;  // first day (daily, weekly) or month index (the others, in the pattern's calendar)
    std::int64_t length_ = 1;  // days or months per period
    std::int64_t datesPerPeriod_ = 1;
    std::int64_t datesInFirstPeriod_ = 0;
};

// The dates of the pattern from firstDay to lastDay (inclusive), in order, within the pattern's end,
// one at a time. The walk begins at the period that holds firstDay.
class PatternDays {
public:
    PatternDays(const RecurrencePattern& pattern, std::int64_t firstDay, std::optional<std::int64_t> lastDay)
        : pattern_(pattern), periods_(pattern), firstDay_(firstDay), lastDay_(lastDay) {
        if (pattern.end == RecurrenceEnd::kByDate) {
            const std::int64_t endDay = pattern.patternEndDate.DaySerial();
            lastDay_ = lastDay_ ? std::min(*lastDay_, endDay) : endDay;
        }
        if (!lastDay_ && pattern.end == RecurrenceEnd::kNever) {
            throw Failure(
                kStoreOperationFailed,
                "A recurring appointment without end has no last occurrence: the condition must bound its start.");
        }
        period_ = std::max<std::int64_t>(0, periods_.PeriodOfDay(firstDay));
        index_ = periods_.DaysBeforePeriod(period_);
        finished_ = !LoadPeriod();
    }

    std::optional<std::int64_t> Next() {
        while (!finished_) {
            if (next_ == count_) {
                ++period_;
                finished_ = !LoadPeriod();
                continue;
            }
            const std::int64_t day = days_[next_++];
            const std::int64_t index = index_++;
            if ((pattern_.end == RecurrenceEnd::kAfterOccurrences && index >= pattern_.occurrences) ||
                (lastDay_ && day > *lastDay_)) {
                finished_ = true;
            } else if (day >= firstDay_) {
                return day;
            }
        }
        return std::nullopt;
    }

private:
    // Reads the current period's dates; false when it holds none although earlier ones may (an empty
    // day mask: no period holds a date). The first period may hold none as its dates before the
    // pattern's start are left out.
    bool LoadPeriod() {
        count_ = periods_.DaysInPeriod(period_, days_);
        next_ = 0;
        return count_ > 0 || period_ == 0;
    }

    const RecurrencePattern& pattern_;
    const PatternPeriods periods_;
    const std::int64_t firstDay_;
    std::optional<std::int64_t> lastDay_;
    std::int64_t period_ = 0;
    std::int64_t index_ = 0;  // how many pattern dates come before days_[next_]
    std::array<std::int64_t, 7> days_{};
    int count_ = 0;
    int next_ = 0;
    bool finished_ = false;
};

bool InWindow(const StoreDate& start, const StartWindow& window) {
    return (!window.from || start >= *window.from) && (!window.to || start <= *window.to);
}

bool StartsEarlier(const Occurrence& a, const Occurrence& b) {
    return a.start != b.start ? a.start < b.start : a.originalStart < b.originalStart;
}

std::optional<StoreDate> DateMember(const Members& members, MemberId member) {
    const std::optional<MemberView> value = members.Find(member);
    const StoreDate* date = value ? std::get_if<StoreDate>(&*value) : nullptr;
    return date ? std::optional(*date) : std::nullopt;
}

// The window with both bounds two days further out: a zone's wall-clock time differs from local time by
// less than that, so every occurrence whose local start is in the window has its zone start in this one.
StartWindow Widened(const StartWindow& window) {
    const auto moved = [](const std::optional<StoreDate>& bound, std::int64_t seconds) {
        return bound ? std::optional(StoreDate::FromSerialSeconds(bound->SerialSeconds() + seconds)) : std::nullopt;
    };
    return {moved(window.from, -2 * kSecondsPerDay), moved(window.to, 2 * kSecondsPerDay)};
}

}  // namespace

RecurringSeries::RecurringSeries(const RecurrencePattern& pattern, const StoreDate& seriesStart,
                                 const StoreDate& seriesEnd, const SeriesTimeZone* zone)
    : pattern_(pattern),
      timeOfDaySeconds_(seriesStart.SecondsOfDay()),
      durationSeconds_(seriesEnd.SerialSeconds() - seriesStart.SerialSeconds()),
      zone_(zone) {
    for (const RecurrenceException& exception : pattern.exceptions) {
        exceptionsByOriginal_.push_back(&exception);
    }
    std::stable_sort(exceptionsByOriginal_.begin(), exceptionsByOriginal_.end(),
                     [](const auto* a, const auto* b) { return a->originalDate < b->originalDate; });
}

std::vector<Occurrence> RecurringSeries::OccurrencesIn(const StartWindow& window) const {
    std::vector<Occurrence> occurrences;
    OccurrenceWalk walk(*this, window);
    while (std::optional<Occurrence> occurrence = walk.Next()) {
        occurrences.push_back(*occurrence);
    }
    return occurrences;
}

bool RecurringSeries::IsPatternOccurrence(const StoreDate& start) const {
    if (start.SecondsOfDay() != timeOfDaySeconds_) {
        return false;
    }
    const std::int64_t day = start.DaySerial();
    return PatternDays(pattern_, day, day).Next().has_value();
}

DurationSpan RecurringSeries::Durations() const {
    const std::int64_t zoneMargin = zone_ ? 2 * kSecondsPerDay : 0;
    DurationSpan span{durationSeconds_ - zoneMargin, durationSeconds_ + zoneMargin};
    for (const RecurrenceException* exception : exceptionsByOriginal_) {
        if (exception->deleted) {
            continue;
        }
        const Occurrence modified = ModifiedOccurrence(*exception);
        const std::int64_t duration = modified.end.SerialSeconds() - modified.start.SerialSeconds();
        span.shortestSeconds = std::min(span.shortestSeconds, duration);
        span.longestSeconds = std::max(span.longestSeconds, duration);
    }
    return span;
}

Occurrence RecurringSeries::ModifiedOccurrence(const RecurrenceException& exception) const {
    const std::optional<StoreDate> movedStart = DateMember(exception.members, MemberId::kStart);
    const std::optional<StoreDate> movedEnd = DateMember(exception.members, MemberId::kEnd);
    const StoreDate start = movedStart ? *movedStart : Local(exception.originalDate);
    StoreDate end;
    if (movedEnd) {
        end = *movedEnd;
    } else if (movedStart) {
        end = StoreDate::FromSerialSeconds(start.SerialSeconds() + durationSeconds_);
    } else {
        end = Local(StoreDate::FromSerialSeconds(exception.originalDate.SerialSeconds() + durationSeconds_));
    }
    return {start, end, exception.originalDate, &exception};
}

StoreDate RecurringSeries::Local(const StoreDate& zoneTime) const {
    return zone_ ? zone_->ToLocal(zoneTime) : zoneTime;
}

bool RecurringSeries::HasException(std::int64_t originalStartSeconds) const {
    const StoreDate original = StoreDate::FromSerialSeconds(originalStartSeconds);
    const auto found = std::lower_bound(
        exceptionsByOriginal_.begin(), exceptionsByOriginal_.end(), original,
        [](const RecurrenceException* exception, const StoreDate& date) { return exception->originalDate < date; });
    return found != exceptionsByOriginal_.end() && (*found)->originalDate == original;
}

struct OccurrenceWalk::State {
    State(const RecurringSeries& series, const StartWindow& window)
        : series(series), window(window), days(PatternDaysFor(series, window)) {
        for (const RecurrenceException* exception : series.exceptionsByOriginal_) {
            if (exception->deleted) {
                continue;
            }
            Occurrence occurrence = series.ModifiedOccurrence(*exception);
            if (InWindow(occurrence.start, window)) {
                modified.push_back(occurrence);
            }
        }
        std::stable_sort(modified.begin(), modified.end(), StartsEarlier);
        nextFromPattern = NextFromPattern();
    }

    static PatternDays PatternDaysFor(const RecurringSeries& series, const StartWindow& window) {
        const StartWindow zoneWindow = series.zone_ ? Widened(window) : window;
        const std::int64_t firstDay =
            zoneWindow.from ? CeilDiv(zoneWindow.from->SerialSeconds() - series.timeOfDaySeconds_, kSecondsPerDay)
                            : series.pattern_.patternStartDate.DaySerial();
        std::optional<std::int64_t> lastDay;
        if (zoneWindow.to) {
            lastDay = FloorDiv(zoneWindow.to->SerialSeconds() - series.timeOfDaySeconds_, kSecondsPerDay);
        }
        return {series.pattern_, firstDay, lastDay};
    }

    // Modified occurrences may have moved from anywhere into the window; there are few, so each is
    // tried and they are merged with the pattern's, which come first among equals.
    std::optional<Occurrence> Next() {
        if (nextModified < modified.size() &&
            (!nextFromPattern || StartsEarlier(modified[nextModified], *nextFromPattern))) {
            return modified[nextModified++];
        }
        std::optional<Occurrence> occurrence = nextFromPattern;
        if (occurrence) {
            nextFromPattern = NextFromPattern();
        }
        return occurrence;
    }

    // The pattern's next occurrence in the window, without the exceptions, in ascending order of start.
    std::optional<Occurrence> NextFromPattern() {
        const auto laterStart = [](const Occurrence& a, const Occurrence& b) { return StartsEarlier(b, a); };
        for (;;) {
            if (!held.empty() && (patternDone || series.zone_ == nullptr ||
                                  held.front().start.SerialSeconds() <= latestZoneStart - kZoneReorderSeconds)) {
                std::pop_heap(held.begin(), held.end(), laterStart);
                const Occurrence earliest = held.back();
                held.pop_back();
                return earliest;
            }
            if (patternDone) {
                return std::nullopt;
            }
            const std::optional<std::int64_t> day = days.Next();
            if (!day) {
                patternDone = true;
                continue;
            }
            const std::int64_t start = *day * kSecondsPerDay + series.timeOfDaySeconds_;
            latestZoneStart = start;
            if (series.HasException(start)) {
                continue;
            }
            const StoreDate zoneStart = StoreDate::FromSerialSeconds(start);
            const Occurrence occurrence{series.Local(zoneStart),
                                        series.Local(StoreDate::FromSerialSeconds(start + series.durationSeconds_)),
                                        zoneStart, nullptr};
            if (series.zone_ == nullptr || InWindow(occurrence.start, window)) {
                held.push_back(occurrence);
                std::push_heap(held.begin(), held.end(), laterStart);
            }
        }
    }

    const RecurringSeries& series;
    const StartWindow window;
    PatternDays days;
    // Pattern occurrences made but not given yet, the earliest local start on top: a zone whose offset
    // falls back may turn later wall-clock times into earlier local ones.
    std::vector<Occurrence> held;
    std::int64_t latestZoneStart = 0;  // of the last pattern date made
    bool patternDone = false;
    std::optional<Occurrence> nextFromPattern;
    std::vector<Occurrence> modified;  // in the window, in ascending order of start
    std::size_t nextModified = 0;
};

OccurrenceWalk::OccurrenceWalk(const RecurringSeries& series, const StartWindow& window)
    : state_(std::make_unique<State>(series, window)) {}
OccurrenceWalk::~OccurrenceWalk() = default;
OccurrenceWalk::OccurrenceWalk(OccurrenceWalk&&) noexcept = default;
OccurrenceWalk& OccurrenceWalk::operator=(OccurrenceWalk&&) noexcept = default;

std::optional<Occurrence> OccurrenceWalk::Next() { return state_->Next(); }

}  // namespace kalendro::memory_store
