#include "platform/memory_store/recurrence.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>

#include "platform/failure.h"

namespace kalendro::memory_store {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr int kLastInstance = 5;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }
std::int64_t CeilDiv(std::int64_t a, std::int64_t b) { return -FloorDiv(-a, b); }

std::int64_t MonthIndex(const StoreDate& date) { return date.year * std::int64_t{12} + date.month - 1; }

bool MaskHolds(int dayOfWeekMask, int dayOfWeek) { return ((dayOfWeekMask >> dayOfWeek) & 1) != 0; }

bool IsMonthBased(RecurrenceType type) { return type != RecurrenceType::kDaily && type != RecurrenceType::kWeekly; }
bool IsNth(RecurrenceType type) { return type == RecurrenceType::kMonthNth || type == RecurrenceType::kYearNth; }

// The instance-th day of the month whose weekday the mask holds; instance 5 is the last such day
// even when the mask holds several weekdays.
int NthMaskedDay(int year, int month, int dayOfWeekMask, int instance) {
    const int wanted = instance == kLastInstance ? INT_MAX : instance;
    const int weekdayOfFirst = StoreDate{year, month, 1, 0, 0, 0}.DayOfWeek();
    int found = 0;
    int seen = 0;
    for (int day = 1; day <= StoreDate::DaysInMonth(year, month) && seen < wanted; ++day) {
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
                origin_ = patternStartDay_ - pattern.patternStartDate.DayOfWeek();  // that week's Sunday
                length_ = 7 * std::int64_t{interval};
                break;
            case RecurrenceType::kMonthly:
            case RecurrenceType::kMonthNth:
                origin_ = MonthIndex(pattern.patternStartDate);
                length_ = interval;
                break;
            case RecurrenceType::kYearly:
            case RecurrenceType::kYearNth:
                origin_ = pattern.patternStartDate.year * std::int64_t{12} + pattern.monthOfYear - 1;
                length_ = 12 * std::int64_t{interval};
                break;
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
        return FloorDiv(MonthIndex(StoreDate::FromDaySerial(day)) - origin_, length_);
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
                for (int weekday = 0; weekday < 7; ++weekday) {
                    if (MaskHolds(pattern_.dayOfWeekMask, weekday)) {
                        keep(stretchStart + weekday);
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
        const int year = static_cast<int>(FloorDiv(monthIndex, 12));
        const int month = static_cast<int>(monthIndex - year * std::int64_t{12}) + 1;
        const int day = IsNth(pattern_.type) ? NthMaskedDay(year, month, pattern_.dayOfWeekMask, pattern_.instance)
                                             : std::min(pattern_.dayOfMonth, StoreDate::DaysInMonth(year, month));
        return StoreDate{year, month, day, 0, 0, 0}.DaySerial();
    }

    const RecurrencePattern& pattern_;
    std::int64_t patternStartDay_;
    std::int64_t origin_ = 0;  // first day (daily, weekly) or month index (the others) of period 0
    std::int64_t length_ = 1;  // days or months per period
    std::int64_t datesPerPeriod_ = 1;
    std::int64_t datesInFirstPeriod_ = 0;
};

// Calls visit(day) for each date of the pattern from firstDay to lastDay (inclusive), in order, within
// the pattern's end. The walk begins at the period that holds firstDay.
template <typename Visit>
void ForEachPatternDay(const RecurrencePattern& pattern, std::int64_t firstDay, std::optional<std::int64_t> lastDay,
                       Visit visit) {
    if (pattern.end == RecurrenceEnd::kByDate) {
        const std::int64_t endDay = pattern.patternEndDate.DaySerial();
        lastDay = lastDay ? std::min(*lastDay, endDay) : endDay;
    }
    if (!lastDay && pattern.end == RecurrenceEnd::kNever) {
        throw Failure(
            kStoreOperationFailed,
            "A recurring appointment without end has no last occurrence: the condition must bound its start.");
    }
    const PatternPeriods periods(pattern);
    std::int64_t period = std::max<std::int64_t>(0, periods.PeriodOfDay(firstDay));
    std::int64_t index = periods.DaysBeforePeriod(period);
    std::array<std::int64_t, 7> days{};
    for (;; ++period) {
        const int count = periods.DaysInPeriod(period, days);
        if (count == 0 && period > 0) {
            return;  // an empty day mask: no period holds a date
        }
        for (int i = 0; i < count; ++i, ++index) {
            if (pattern.end == RecurrenceEnd::kAfterOccurrences && index >= pattern.occurrences) {
                return;
            }
            if (lastDay && days[i] > *lastDay) {
                return;
            }
            if (days[i] >= firstDay) {
                visit(days[i]);
            }
        }
    }
}

bool InWindow(const StoreDate& start, const StartWindow& window) {
    return (!window.from || start >= *window.from) && (!window.to || start <= *window.to);
}

bool StartsEarlier(const Occurrence& a, const Occurrence& b) {
    return a.start != b.start ? a.start < b.start : a.originalStart < b.originalStart;
}

const StoreDate* DateMember(const Members& members, MemberId member) {
    const MemberValue* value = members.Find(member);
    return value == nullptr ? nullptr : std::get_if<StoreDate>(value);
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

std::vector<Occurrence> RecurringSeries::PatternOccurrencesIn(const StartWindow& window) const {
    const StartWindow zoneWindow = zone_ ? Widened(window) : window;
    const std::int64_t firstDay = zoneWindow.from
                                      ? CeilDiv(zoneWindow.from->SerialSeconds() - timeOfDaySeconds_, kSecondsPerDay)
                                      : pattern_.patternStartDate.DaySerial();
    std::optional<std::int64_t> lastDay;
    if (zoneWindow.to) {
        lastDay = FloorDiv(zoneWindow.to->SerialSeconds() - timeOfDaySeconds_, kSecondsPerDay);
    }

    std::vector<Occurrence> occurrences;
    ForEachPatternDay(pattern_, firstDay, lastDay, [&](std::int64_t day) {
        const std::int64_t start = day * kSecondsPerDay + timeOfDaySeconds_;
        if (HasException(start)) {
            return;
        }
        const StoreDate zoneStart = StoreDate::FromSerialSeconds(start);
        const Occurrence occurrence{Local(zoneStart), Local(StoreDate::FromSerialSeconds(start + durationSeconds_)),
                                    zoneStart, nullptr};
        if (!zone_ || InWindow(occurrence.start, window)) {
            occurrences.push_back(occurrence);
        }
    });
    // A zone whose offset falls back may turn later wall-clock times into earlier local ones.
    if (zone_) {
        std::stable_sort(occurrences.begin(), occurrences.end(), StartsEarlier);
    }
    return occurrences;
}

std::vector<Occurrence> RecurringSeries::OccurrencesIn(const StartWindow& window) const {
    std::vector<Occurrence> occurrences = PatternOccurrencesIn(window);

    // Modified occurrences may have moved from anywhere into the window; there are few, so each is tried.
    const auto unmovedEnd = static_cast<std::ptrdiff_t>(occurrences.size());
    for (const RecurrenceException* exception : exceptionsByOriginal_) {
        if (exception->deleted) {
            continue;
        }
        Occurrence modified = ModifiedOccurrence(*exception);
        if (InWindow(modified.start, window)) {
            occurrences.push_back(modified);
        }
    }
    std::sort(occurrences.begin() + unmovedEnd, occurrences.end(), StartsEarlier);
    std::inplace_merge(occurrences.begin(), occurrences.begin() + unmovedEnd, occurrences.end(), StartsEarlier);
    return occurrences;
}

bool RecurringSeries::IsPatternOccurrence(const StoreDate& start) const {
    if (start.SecondsOfDay() != timeOfDaySeconds_) {
        return false;
    }
    bool found = false;
    const std::int64_t day = start.DaySerial();
    ForEachPatternDay(pattern_, day, day, [&](std::int64_t) { found = true; });
    return found;
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
    const StoreDate* movedStart = DateMember(exception.members, MemberId::kStart);
    const StoreDate* movedEnd = DateMember(exception.members, MemberId::kEnd);
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

}  // namespace kalendro::memory_store
