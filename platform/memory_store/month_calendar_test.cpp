// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/memory_store/month_calendar.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/store/store_date.h"

namespace kalendro::memory_store {
namespace {

std::int64_t Day(int year, int month, int day) { return StoreDate{year, month, day, 0, 0, 0}.DaySerial(); }

// Gregorian dates and their tabular Hijri dates as python-convertdate's islamic module gives them.
TEST(MonthCalendar, HijriDatesOfGregorianDays) {
    const struct {
        int year, month, day;
        HijriDate hijri;
    } dates[] = {
        {622, 7, 19, {1, 1, 1}},      {622, 7, 18, {0, 12, 29}},     {1592, 3, 29, {1000, 6, 15}},
        {1970, 1, 1, {1389, 10, 22}}, {2023, 7, 18, {1444, 12, 29}}, {2023, 7, 19, {1445, 1, 1}},
        {2024, 3, 11, {1445, 9, 1}},  {2024, 6, 3, {1445, 11, 26}},  {2025, 6, 27, {1447, 1, 1}},
        {1601, 1, 1, {1009, 6, 25}},  {2100, 1, 1, {1523, 10, 19}},  {9999, 12, 31, {9666, 4, 2}},
        {1, 1, 1, {-640, 5, 18}},
    };
    for (const auto& date : dates) {
        SCOPED_TRACE(StoreDate({date.year, date.month, date.day, 0, 0, 0}).ToText());
        const HijriDate hijri = HijriDateOfDay(Day(date.year, date.month, date.day));
        EXPECT_EQ(hijri.year, date.hijri.year);
        EXPECT_EQ(hijri.month, date.hijri.month);
        EXPECT_EQ(hijri.day, date.hijri.day);
    }
}

// 1445 is a leap year of the cycle, 1446 is not: months alternate 30 and 29 days, the twelfth 30 in a
// leap year.
TEST(MonthCalendar, HijriMonthsAlternateAndTheLeapYearLengthensTheLast) {
    const std::int64_t muharram1445 = MonthIndexOfDay(PatternCalendar::kHijri, Day(2023, 7, 19));
    EXPECT_EQ(MonthOfYear(muharram1445), 1);
    std::vector<int> lengths;
    for (std::int64_t index = muharram1445; index < muharram1445 + 24; ++index) {
        lengths.push_back(MonthAt(PatternCalendar::kHijri, index).length);
    }
    EXPECT_EQ(lengths, (std::vector<int>{30, 29, 30, 29, 30, 29, 30, 29, 30, 29, 30, 30,  //
                                         30, 29, 30, 29, 30, 29, 30, 29, 30, 29, 30, 29}));
    EXPECT_EQ(MonthAt(PatternCalendar::kHijri, muharram1445).firstDay, Day(2023, 7, 19));
    EXPECT_EQ(MonthAt(PatternCalendar::kHijri, muharram1445 + 24).firstDay, Day(2025, 6, 27));
}

TEST(MonthCalendar, EveryDayLiesInTheMonthItsIndexNames) {
    for (const PatternCalendar calendar : {PatternCalendar::kGregorian, PatternCalendar::kHijri}) {
        for (std::int64_t day = Day(1999, 12, 1); day < Day(2001, 3, 1); ++day) {
            const CalendarMonth month = MonthAt(calendar, MonthIndexOfDay(calendar, day));
            ASSERT_LE(month.firstDay, day);
            ASSERT_LT(day, month.firstDay + month.length);
        }
    }
    const std::int64_t february2024 = MonthIndexOfDay(PatternCalendar::kGregorian, Day(2024, 2, 10));
    EXPECT_EQ(february2024, 2024 * 12 + 1);
    EXPECT_EQ(MonthAt(PatternCalendar::kGregorian, february2024).length, 29);
    EXPECT_EQ(MonthOfYear(february2024), 2);
}

}  // namespace
}  // namespace kalendro::memory_store
