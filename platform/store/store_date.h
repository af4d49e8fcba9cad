// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kalendro {

inline constexpr std::int64_t kSecondsPerDay = 86400;

// The quotient rounded towards minus infinity, so that a time before the epoch falls in the day, week
// or month that holds it (b must not be 0).
constexpr std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

// A calendar date with a wall-clock time of day, local time without zone, as the store hands it.
// The members are ordered so that the defaulted comparison is chronological.
struct StoreDate {
    int year = 4501;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;

    auto operator<=>(const StoreDate&) const = default;

    // 1 January 4501 at midnight: the store's "no date".
    static StoreDate NoDate() { return {}; }
    bool IsNoDate() const { return *this == NoDate(); }

    // "YYYY-MM-DDTHH:MM:SS" or "YYYY-MM-DD" (midnight); nothing for any other text or an
    // impossible date or time.
    static std::optional<StoreDate> Parse(std::string_view text);
    // "YYYY-MM-DDTHH:MM:SS", the form Parse reads.
    std::string ToText() const;

    // Days since 1970-01-01 (negative before), and back.
    std::int64_t DaySerial() const;
    static StoreDate FromDaySerial(std::int64_t days, int secondsOfDay = 0);
    // Seconds since 1970-01-01T00:00:00 of the same wall clock, and back.
    std::int64_t SerialSeconds() const;
    static StoreDate FromSerialSeconds(std::int64_t seconds);

    // The date as one number in the dates' order, and back: a byte for each field after the year,
    // which every date has below 256, and the year above them. For keeping and sorting many dates.
    std::uint64_t Packed() const;
    static StoreDate Unpacked(std::uint64_t packed);

    int SecondsOfDay() const { return hour * 3600 + minute * 60 + second; }
    StoreDate DateOnly() const { return {year, month, day, 0, 0, 0}; }
    StoreDate AddDays(std::int64_t days) const;
    // 0 Sunday, 1 Monday, ... 6 Saturday.
    int DayOfWeek() const;

    static bool IsLeapYear(int year);
    static int DaysInMonth(int year, int month);
    static bool IsValid(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
};

}  // namespace kalendro
