// SPDX-License-Identifier: GPL-3.0-or-later
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

using kalendro::kSecondsPerDay;
using kalendro::StoreDate;
using namespace kalendro::memory_store;

constexpr std::array<RecurrenceType, 6> kTypes = {RecurrenceType::kDaily,   RecurrenceType::kWeekly,
                                                  RecurrenceType::kMonthly, RecurrenceType::kMonthNth,
                                                  RecurrenceType::kYearly,  RecurrenceType::kYearNth};

bool InMask(int mask, int weekday) { return ((mask >> weekday) & 1) != 0; }

// A day as its calendar numbers it: year, month 1..12, day, and the length of its month.
struct CalendarDay {
    std::int64_t year;
    int month;
    int day;
    int monthLength;

    std::int64_t MonthNumber() const { return year * 12 + month - 1; }
};

CalendarDay GregorianDay(const StoreDate& date) {
    return {date.year, date.month, date.day, StoreDate::DaysInMonth(date.year, date.month)};
}

// The tabular Hijri calendar counted forward a day at a time: months of 30 and 29 days in turn, the
// twelfth 30 in the leap years, 1 Muharram 1 AH on 19 July 622.
class HijriWalk {
public:
    explicit HijriWalk(std::int64_t day) {
        std::int64_t at = StoreDate{622, 7, 19, 0, 0, 0}.DaySerial();
        while (at + YearLength() <= day) {
            at += YearLength();
            ++date_.year;
        }
        while (at + date_.monthLength <= day) {
            at += date_.monthLength;
            ++date_.month;
            date_.monthLength = MonthLength();
        }
        date_.day = static_cast<int>(day - at) + 1;
    }

    const CalendarDay& Today() const { return date_; }

    void Advance() {
        if (++date_.day <= date_.monthLength) {
            return;
        }
        date_.day = 1;
        if (++date_.month > 12) {
            date_.month = 1;
            ++date_.year;
        }
        date_.monthLength = MonthLength();
    }

private:
    bool Leap() const { return (11 * date_.year + 14) % 30 < 11; }
    int YearLength() const { return Leap() ? 355 : 354; }
    int MonthLength() const { return date_.month % 2 == 1 || (date_.month == 12 && Leap()) ? 30 : 29; }

    CalendarDay date_{1, 1, 1, 30};
};

// The instance-th day of the day's month that the mask holds (5: the last one).
bool IsNthMaskedDay(const RecurrencePattern& pattern, const CalendarDay& day, int weekday) {
    std::vector<int> days;
    for (int other = 1; other <= day.monthLength; ++other) {
        if (InMask(pattern.dayOfWeekMask, ((weekday + other - day.day) % 7 + 7) % 7)) {
            days.push_back(other);
        }
    }
    const std::size_t wanted = pattern.instance == 5 ? days.size() : static_cast<std::size_t>(pattern.instance);
    return wanted >= 1 && wanted <= days.size() && days[wanted - 1] == day.day;
}

bool IsClampedDayOfMonth(const RecurrencePattern& pattern, const CalendarDay& day) {
    return day.day == std::min(pattern.dayOfMonth, day.monthLength);
}

// Whether the pattern, without its end, places a date on the day; first is the pattern's start as
// the pattern's calendar numbers it.
bool PatternHolds(const RecurrencePattern& pattern, const StoreDate& date, const CalendarDay& day,
                  const CalendarDay& first) {
    const std::int64_t days = date.DaySerial() - pattern.patternStartDate.DaySerial();
    const std::int64_t months = day.MonthNumber() - first.MonthNumber();
    const std::int64_t yearlyMonths = day.MonthNumber() - (first.year * 12 + pattern.monthOfYear - 1);
    switch (pattern.type) {
        case RecurrenceType::kDaily:
            return days % pattern.interval == 0;
        case RecurrenceType::kWeekly: {
            const int intoWeek = (pattern.patternStartDate.DayOfWeek() - pattern.firstDayOfWeek + 7) % 7;
            const std::int64_t weeks = (days + intoWeek) / 7;
            return weeks % pattern.interval == 0 && InMask(pattern.dayOfWeekMask, date.DayOfWeek());
        }
        case RecurrenceType::kMonthly:
            return months % pattern.interval == 0 && IsClampedDayOfMonth(pattern, day);
        case RecurrenceType::kMonthNth:
            return months % pattern.interval == 0 && IsNthMaskedDay(pattern, day, date.DayOfWeek());
        case RecurrenceType::kYearly:
            return yearlyMonths >= 0 && yearlyMonths % (12 * pattern.interval) == 0 &&
                   IsClampedDayOfMonth(pattern, day);
        case RecurrenceType::kYearNth:
            return yearlyMonths >= 0 && yearlyMonths % (12 * pattern.interval) == 0 &&
                   IsNthMaskedDay(pattern, day, date.DayOfWeek());
    }
    return false;
}

// The starts in the window, walking every day from the pattern's start.
std::vector<StoreDate> WalkedStarts(const RecurrencePattern& pattern, int timeOfDay, const StartWindow& window) {
    std::vector<StoreDate> starts;
    int placed = 0;
    const bool hijri = pattern.calendar == PatternCalendar::kHijri;
    HijriWalk hijriDay(pattern.patternStartDate.DaySerial());
    const CalendarDay first = hijri ? hijriDay.Today() : GregorianDay(pattern.patternStartDate);
    for (std::int64_t day = pattern.patternStartDate.DaySerial();; ++day, hijriDay.Advance()) {
        const StoreDate date = StoreDate::FromDaySerial(day);
        const StoreDate start = StoreDate::FromDaySerial(day, timeOfDay);
        if (start > *window.to || (pattern.end == RecurrenceEnd::kByDate && date > pattern.patternEndDate) ||
            (pattern.end == RecurrenceEnd::kAfterOccurrences && placed == pattern.occurrences)) {
            return starts;
        }
        if (PatternHolds(pattern, date, hijri ? hijriDay.Today() : GregorianDay(date), first)) {
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
    pattern.firstDayOfWeek = input.ConsumeIntegralInRange(0, 6);
    pattern.calendar = input.ConsumeBool() ? PatternCalendar::kHijri : PatternCalendar::kGregorian;
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
        std::cerr << "FINDING: type " << static_cast<int>(pattern.type) << " interval " << pattern.interval
                  << " first day of the week " << pattern.firstDayOfWeek << " calendar "
                  << static_cast<int>(pattern.calendar) << " from " << pattern.patternStartDate.ToText()
                  << ": expanded " << expanded.size() << " occurrences, walked " << walked.size() << "\n";
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
