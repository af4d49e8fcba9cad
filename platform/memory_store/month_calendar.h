// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace kalendro::memory_store {

// The calendar whose months a month-based pattern (monthly, month-nth, yearly, year-nth) counts. Days
// and weeks are the same in every calendar; only the months differ.
enum class PatternCalendar : std::uint8_t {
    kGregorian,
    // The tabular Hijri calendar Windows uses: years of twelve months alternately 30 and 29 days long,
    // the twelfth 30 in the eleven leap years of each 30-year cycle.
    kHijri,
};

// Months are numbered across years: index 12 * year + month - 1, the year counted as the calendar
// counts it (so the index of a Gregorian month is year * 12 + month - 1, that of a Hijri month
// (year - 1) * 12 + month - 1 from 1 Muharram 1 AH). Days are day serials (days since 1970-01-01).
struct CalendarMonth {
    std::int64_t firstDay;
    int length;
};

std::int64_t MonthIndexOfDay(PatternCalendar calendar, std::int64_t day);
CalendarMonth MonthAt(PatternCalendar calendar, std::int64_t monthIndex);
// 1..12 within its year.
int MonthOfYear(std::int64_t monthIndex);

// A Hijri date (year from 1 AH; 0 and below before it) of a day serial, for tests and readers that
// show Hijri dates.
struct HijriDate {
    std::int64_t year;
    int month;
    int day;
};
HijriDate HijriDateOfDay(std::int64_t day);

}  // namespace kalendro::memory_store
