// Recurrence expansion of arbitrary valid patterns against a plain day-by-day walk written here from
// the rules alone: every day from the pattern's start is tested on its own, without the periods
// arithmetic that lets the expansion jump to a window.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "platform/memory_store/recurrence.h"

namespace {

using kalendro::StoreDate;
using namespace kalendro::memory_store;

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::array<RecurrenceType, 6> kTypes = {RecurrenceType::kDaily,   RecurrenceType::kWeekly,
                                                  RecurrenceType::kMonthly, RecurrenceType::kMonthNth,
                                                  RecurrenceType::kYearly,  RecurrenceType::kYearNth};

std::int64_t MonthIndex(const StoreDate& date) { return date.year * std::int64_t{12} + date.month - 1; }

bool InMask(int mask, const StoreDate& date) { return ((mask >> date.DayOfWeek()) & 1) != 0; }

// The instance-th day of the date's month that the mask holds (5: the last one).
bool IsNthMaskedDay(const RecurrencePattern& pattern, const StoreDate& date) {
    std::vector<int> days;
    for (int day = 1; day <= StoreDate::DaysInMonth(date.year, date.month); ++day) {
        if (InMask(pattern.dayOfWeekMask, StoreDate{date.year, date.month, day, 0, 0, 0})) {
            days.push_back(day);
        }
    }
    const std::size_t wanted = pattern.instance == 5 ? days.size() : static_cast<std::size_t>(pattern.instance);
    return wanted >= 1 && wanted <= days.size() && days[wanted - 1] == date.day;
}

bool IsClampedDayOfMonth(const RecurrencePattern& pattern, const StoreDate& date) {
    return date.day == std::min(pattern.dayOfMonth, StoreDate::DaysInMonth(date.year, date.month));
}

// Whether the pattern, without its end, places a date on the day.
bool PatternHolds(const RecurrencePattern& pattern, const StoreDate& date) {
    const StoreDate& first = pattern.patternStartDate;
    const std::int64_t days = date.DaySerial() - first.DaySerial();
    const std::int64_t months = MonthIndex(date) - MonthIndex(first);
    const std::int64_t yearlyMonths = MonthIndex(date) - (first.year * std::int64_t{12} + pattern.monthOfYear - 1);
    switch (pattern.type) {
        case RecurrenceType::kDaily:
            return days % pattern.interval == 0;
        case RecurrenceType::kWeekly: {
            const std::int64_t weeks = (days + first.DayOfWeek()) / 7;
            return weeks % pattern.interval == 0 && InMask(pattern.dayOfWeekMask, date);
        }
        case RecurrenceType::kMonthly:
            return months % pattern.interval == 0 && IsClampedDayOfMonth(pattern, date);
        case RecurrenceType::kMonthNth:
            return months % pattern.interval == 0 && IsNthMaskedDay(pattern, date);
        case RecurrenceType::kYearly:
            return yearlyMonths >= 0 && yearlyMonths % (12 * pattern.interval) == 0 &&
                   IsClampedDayOfMonth(pattern, date);
        case RecurrenceType::kYearNth:
            return yearlyMonths >= 0 && yearlyMonths % (12 * pattern.interval) == 0 && IsNthMaskedDay(pattern, date);
    }
    return false;
}

// The starts in the window, walking every day from the pattern's start.
std::vector<StoreDate> WalkedStarts(const RecurrencePattern& pattern, int timeOfDay, const StartWindow& window) {
    std::vector<StoreDate> starts;
    int placed = 0;
    for (std::int64_t day = pattern.patternStartDate.DaySerial();; ++day) {
        const StoreDate date = StoreDate::FromDaySerial(day);
        const StoreDate start = StoreDate::FromDaySerial(day, timeOfDay);
        if (start > *window.to || (pattern.end == RecurrenceEnd::kByDate && date > pattern.patternEndDate) ||
            (pattern.end == RecurrenceEnd::kAfterOccurrences && placed == pattern.occurrences)) {
            return starts;
        }
        if (PatternHolds(pattern, date)) {
            ++placed;
            if (start >= *window.from) {
                starts.push_back(start);
            }
        }
    }
}

StoreDate DayFrom(FuzzedDataProvider& input, std::int64_t firstDay, std::int64_t lastDay) {
    return StoreDate::FromDaySerial(input.ConsumeIntegralInRange<std::int64_t>(firstDay, lastDay));
}

RecurrencePattern PatternFrom(FuzzedDataProvider& input) {
    RecurrencePattern pattern;
    pattern.type = kTypes[input.ConsumeIntegralInRange<std::size_t>(0, kTypes.size() - 1)];
    pattern.interval = input.ConsumeBool() ? 1 : input.ConsumeIntegralInRange(1, 999);
    pattern.dayOfWeekMask = input.ConsumeIntegralInRange(1, 127);
    pattern.dayOfMonth = input.ConsumeIntegralInRange(1, 31);
    pattern.instance = input.ConsumeIntegralInRange(1, 5);
    pattern.monthOfYear = input.ConsumeIntegralInRange(1, 12);
    const std::int64_t from1990 = StoreDate{1990, 1, 1, 0, 0, 0}.DaySerial();
    pattern.patternStartDate = DayFrom(input, from1990, from1990 + 50 * 366);
    switch (input.ConsumeIntegralInRange(0, 2)) {
        case 0:
            pattern.end = RecurrenceEnd::kByDate;
            pattern.patternEndDate =
                DayFrom(input, pattern.patternStartDate.DaySerial(), pattern.patternStartDate.DaySerial() + 20 * 366);
            break;
        case 1:
            pattern.end = RecurrenceEnd::kAfterOccurrences;
            pattern.occurrences = input.ConsumeIntegralInRange(1, 5000);
            break;
        default:
            pattern.end = RecurrenceEnd::kNever;
            break;
    }
    return pattern;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const RecurrencePattern pattern = PatternFrom(input);
    const int timeOfDay = input.ConsumeIntegralInRange(0, 86399);
    const std::int64_t firstDay = pattern.patternStartDate.DaySerial();
    const StoreDate from = StoreDate::FromSerialSeconds(
        (firstDay + input.ConsumeIntegralInRange<std::int64_t>(-400, 20 * 366)) * kSecondsPerDay +
        input.ConsumeIntegralInRange(0, 86399));
    const StoreDate to = StoreDate::FromSerialSeconds(
        from.SerialSeconds() + input.ConsumeIntegralInRange<std::int64_t>(0, 3000) * kSecondsPerDay);
    const StartWindow window{from, to};
    const StoreDate seriesStart = StoreDate::FromDaySerial(firstDay, timeOfDay);
    const RecurringSeries series(pattern, seriesStart,
                                 StoreDate::FromSerialSeconds(seriesStart.SerialSeconds() + 1800));
    std::vector<StoreDate> expanded;
    for (const Occurrence& occurrence : series.OccurrencesIn(window)) {
        expanded.push_back(occurrence.start);
        if (!series.IsPatternOccurrence(occurrence.originalStart)) {
            std::cerr << "FINDING: " << occurrence.originalStart.ToText() << " is placed but no pattern occurrence\n";
            std::abort();
        }
    }
    const std::vector<StoreDate> walked = WalkedStarts(pattern, timeOfDay, window);
    if (expanded != walked) {
        std::cerr << "FINDING: type " << static_cast<int>(pattern.type) << " interval " << pattern.interval << " from "
                  << pattern.patternStartDate.ToText() << ": expanded " << expanded.size() << " occurrences, walked "
                  << walked.size() << "\n";
        for (std::size_t i = 0; i < std::min(expanded.size(), walked.size()); ++i) {
            if (expanded[i] != walked[i]) {
                std::cerr << "first difference: " << expanded[i].ToText() << " against " << walked[i].ToText() << "\n";
                break;
            }
        }
        std::abort();
    }
    return 0;
}
