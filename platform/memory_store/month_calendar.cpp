// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/memory_store/month_calendar.h"

#include "platform/store/store_date.h"

namespace kalendro::memory_store {

namespace {

constexpr std::int64_t kMonthsPerYear = 12;
// 1 Muharram 1 AH: Friday 16 July 622 of the Julian calendar, 19 July 622 of the proleptic Gregorian one.
constexpr std::int64_t kHijriEpochDay = -492148;
constexpr std::int64_t kDaysPerHijriCycle = 10631;  // 30 years, 11 of them leap
constexpr std::int64_t kMonthsPerHijriCycle = 360;

// Days from the epoch to the first of the month: 354 days a year and one more for each leap year
// before it (the leap years of a cycle are those where (11 * year + 14) mod 30 < 11), then 29 days
// a month and one more for every second month.
std::int64_t HijriMonthStart(std::int64_t monthIndex) {
    const std::int64_t year = FloorDiv(monthIndex, kMonthsPerYear) + 1;
    const std::int64_t month = monthIndex - (year - 1) * kMonthsPerYear + 1;
    return kHijriEpochDay + (year - 1) * 354 + FloorDiv(3 + 11 * year, 30) + 29 * (month - 1) + month / 2;
}

std::int64_t HijriMonthIndexOfDay(std::int64_t day) {
    std::int64_t index = FloorDiv((day - kHijriEpochDay) * kMonthsPerHijriCycle, kDaysPerHijriCycle);
    while (HijriMonthStart(index) > day) {
        --index;
    }
    while (HijriMonthStart(index + 1) <= day) {
        ++index;
    }
    return index;
}

}  // namespace

std::int64_t MonthIndexOfDay(PatternCalendar calendar, std::int64_t day) {
    if (calendar == PatternCalendar::kHijri) {
        return HijriMonthIndexOfDay(day);
    }
    const StoreDate date = StoreDate::FromDaySerial(day);
    return date.year * kMonthsPerYear + date.month - 1;
}

CalendarMonth MonthAt(PatternCalendar calendar, std::int64_t monthIndex) {
    if (calendar == PatternCalendar::kHijri) {
        const std::int64_t first = HijriMonthStart(monthIndex);
        return {first, static_cast<int>(HijriMonthStart(monthIndex + 1) - first)};
    }
    const int year = static_cast<int>(FloorDiv(monthIndex, kMonthsPerYear));
    const int month = MonthOfYear(monthIndex);
    return {StoreDate{year, month, 1, 0, 0, 0}.DaySerial(), StoreDate::DaysInMonth(year, month)};
}

int MonthOfYear(std::int64_t monthIndex) {
    return static_cast<int>(monthIndex - FloorDiv(monthIndex, kMonthsPerYear) * kMonthsPerYear) + 1;
}

HijriDate HijriDateOfDay(std::int64_t day) {
    const std::int64_t index = HijriMonthIndexOfDay(day);
    return {FloorDiv(index, kMonthsPerYear) + 1, MonthOfYear(index),
            static_cast<int>(day - HijriMonthStart(index)) + 1};
}

}  // namespace kalendro::memory_store
