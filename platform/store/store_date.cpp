// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/store/store_date.h"

#include <chrono>
#include <cstdio>

namespace kalendro {
namespace {

namespace chr = std::chrono;

bool ReadDigits(std::string_view text, std::size_t at, std::size_t count, int& value) {
    if (at + count > text.size()) {
        return false;
    }
    value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

}  // namespace

bool StoreDate::IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int StoreDate::DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool StoreDate::IsValid(int year, int month, int day, int hour, int minute, int second) {
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month) &&
           hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 && second >= 0 && second <= 59;
}

std::optional<StoreDate> StoreDate::Parse(std::string_view text) {
    StoreDate d;
    d.hour = d.minute = d.second = 0;
    if (!ReadDigits(text, 0, 4, d.year) || text.size() < 10 || text[4] != '-' || !ReadDigits(text, 5, 2, d.month) ||
        text[7] != '-' || !ReadDigits(text, 8, 2, d.day)) {
        return std::nullopt;
    }
    if (text.size() != 10) {
        if (text.size() != 19 || text[10] != 'T' || !ReadDigits(text, 11, 2, d.hour) || text[13] != ':' ||
            !ReadDigits(text, 14, 2, d.minute) || text[16] != ':' || !ReadDigits(text, 17, 2, d.second)) {
            return std::nullopt;
        }
    }
    if (!IsValid(d.year, d.month, d.day, d.hour, d.minute, d.second)) {
        return std::nullopt;
    }
    return d;
}

std::string StoreDate::ToText() const {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d", year, month, day, hour, minute, second);
    return buffer;
}

std::int64_t StoreDate::DaySerial() const {
    const chr::year_month_day ymd{chr::year{year}, chr::month{static_cast<unsigned>(month)},
                                  chr::day{static_cast<unsigned>(day)}};
    return chr::sys_days{ymd}.time_since_epoch().count();
}

StoreDate StoreDate::FromDaySerial(std::int64_t days, int secondsOfDay) {
    const chr::year_month_day ymd{chr::sys_days{chr::days{days}}};
    return {static_cast<int>(ymd.year()),
            static_cast<int>(static_cast<unsigned>(ymd.month())),
            static_cast<int>(static_cast<unsigned>(ymd.day())),
            secondsOfDay / 3600,
            secondsOfDay / 60 % 60,
            secondsOfDay % 60};
}

std::int64_t StoreDate::SerialSeconds() const { return DaySerial() * kSecondsPerDay + SecondsOfDay(); }

StoreDate StoreDate::FromSerialSeconds(std::int64_t seconds) {
    const std::int64_t days = FloorDiv(seconds, kSecondsPerDay);
    return FromDaySerial(days, static_cast<int>(seconds - days * kSecondsPerDay));
}

namespace {
constexpr int kPackedFieldBits = 8;
}  // namespace

std::uint64_t StoreDate::Packed() const {
    std::uint64_t packed = static_cast<std::uint32_t>(year);
    for (const int field : {month, day, hour, minute, second}) {
        packed = (packed << kPackedFieldBits) | static_cast<std::uint8_t>(field);
    }
    return packed;
}

StoreDate StoreDate::Unpacked(std::uint64_t packed) {
    StoreDate date;
    for (int* field : {&date.second, &date.minute, &date.hour, &date.day, &date.month}) {
        *field = static_cast<std::uint8_t>(packed);
        packed >>= kPackedFieldBits;
    }
    date.year = static_cast<int>(packed);
    return date;
}

StoreDate StoreDate::AddDays(std::int64_t days) const { return FromDaySerial(DaySerial() + days, SecondsOfDay()); }

int StoreDate::DayOfWeek() const {
    // 1970-01-01 was a Thursday.
    return static_cast<int>(((DaySerial() % 7) + 7 + 4) % 7);
}

}  // namespace kalendro
