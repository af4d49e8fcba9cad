// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pst/zone_rules.h"

#include <algorithm>
#include <ctime>

#include "platform/pst/byte_reader.h"
#include "platform/store/failure.h"

namespace kalendro::pst {

namespace {

constexpr int kMaxBiasMinutes = 24 * 60;
constexpr std::size_t kRuleFieldsSize = 62;  // flags, start, three biases, two transitions

TransitionDate ReadSystemTime(ByteReader& reader) {
    TransitionDate date;
    date.year = reader.U16();
    date.month = reader.U16();
    date.dayOfWeek = reader.U16();
    date.day = reader.U16();
    date.hour = reader.U16();
    date.minute = reader.U16();
    date.second = reader.U16();
    reader.Skip(2);  // milliseconds
    return date;
}

bool IsValidTransition(const TransitionDate& date) {
    if (date.month == 0) {
        return true;
    }
    const bool dayValid = date.year == 0 ? date.day >= 1 && date.day <= 5 : date.day >= 1 && date.day <= 31;
    return date.month <= 12 && date.dayOfWeek <= 6 && dayValid && date.hour <= 23 && date.minute <= 59 &&
           date.second <= 59;
}

void CheckRule(const ZoneRule& rule, const ByteReader& reader) {
    for (const int bias : {rule.bias, rule.standardBias, rule.daylightBias}) {
        if (bias < -kMaxBiasMinutes || bias > kMaxBiasMinutes) {
            reader.Fail("a bias is more than a day");
        }
    }
    if (!IsValidTransition(rule.standardDate) || !IsValidTransition(rule.daylightDate)) {
        reader.Fail("a transition date is impossible");
    }
}

// The biases and transitions in the order both blobs keep them after their own header.
ZoneRule ReadRuleBody(ByteReader& reader, int fromYear) {
    ZoneRule rule;
    rule.fromYear = fromYear;
    rule.bias = reader.I32();
    rule.standardBias = reader.I32();
    rule.daylightBias = reader.I32();
    rule.standardDate = ReadSystemTime(reader);
    rule.daylightDate = ReadSystemTime(reader);
    CheckRule(rule, reader);
    return rule;
}

ZoneRule ReadDefinitionRule(ByteReader& reader) {
    if (reader.U8() != 2) {
        reader.Fail("a rule has an unknown major version");
    }
    reader.Skip(1);  // minor version: additions only
    const std::uint16_t ruleSize = reader.U16();
    if (ruleSize < kRuleFieldsSize) {
        reader.Fail("a rule is too short");
    }
    ByteReader rule(reader.Take(ruleSize), "time zone definition");
    rule.Skip(2);  // flags
    const TransitionDate start = ReadSystemTime(rule);
    return ReadRuleBody(rule, start.year);
}

bool HasSummerTime(const ZoneRule& rule) { return rule.standardDate.month != 0 && rule.daylightDate.month != 0; }

// The transition's wall time in that year, as seconds since 1970 of the wall clock.
std::int64_t TransitionInYear(const TransitionDate& date, int year) {
    int day = date.day;
    if (date.year == 0) {
        const int firstDayOfWeek = StoreDate{year, date.month, 1}.DayOfWeek();
        day = 1 + (date.dayOfWeek - firstDayOfWeek + 7) % 7 + (date.day - 1) * 7;
        while (day > StoreDate::DaysInMonth(year, date.month)) {
            day -= 7;
        }
    }
    day = std::min(day, StoreDate::DaysInMonth(year, date.month));
    return StoreDate{year, date.month, day, date.hour, date.minute, date.second}.SerialSeconds();
}

int YearOf(std::int64_t wallSeconds) { return StoreDate::FromSerialSeconds(wallSeconds).year; }

// Whether summer time applies, given the wall clock read in summer time (against the end of
// summer time) and in standard time (against its start). Both are compared with the transitions
// of the standard wall clock's year: near the new year the two readings may fall in different years.
bool IsSummerTime(const ZoneRule& rule, std::int64_t summerWall, std::int64_t standardWall) {
    const int year = YearOf(standardWall);
    const bool beforeStandard = summerWall < TransitionInYear(rule.standardDate, year);
    const bool afterDaylight = standardWall >= TransitionInYear(rule.daylightDate, year);
    const bool northern = rule.daylightDate.month < rule.standardDate.month;
    return northern ? beforeStandard && afterDaylight : beforeStandard || afterDaylight;
}

constexpr std::int64_t kSecondsPerMinute = 60;

}  // namespace

ZoneRules ZoneRules::FromTimeZoneStruct(std::string_view blob) {
    ByteReader reader(blob, "time zone structure");
    ZoneRule rule;
    rule.bias = reader.I32();
    rule.standardBias = reader.I32();
    rule.daylightBias = reader.I32();
    reader.Skip(2);  // wStandardYear, a copy of the transition's own year
    rule.standardDate = ReadSystemTime(reader);
    reader.Skip(2);
    rule.daylightDate = ReadSystemTime(reader);
    CheckRule(rule, reader);
    return ZoneRules({rule});
}

ZoneRules ZoneRules::FromDefinition(std::string_view blob) {
    ByteReader reader(blob, "time zone definition");
    if (reader.U8() != 2) {
        reader.Fail("it has an unknown major version");
    }
    reader.Skip(1);
    const std::uint16_t headerSize = reader.U16();
    if (headerSize < 4) {
        reader.Fail("its header is too short");
    }
    // The header ends with the number of rules; what comes before it (flags, GUID, key name) is
    // not needed to convert times.
    const std::string_view header = reader.Take(headerSize);
    ByteReader count(header.substr(header.size() - 2), "time zone definition");
    const std::uint16_t ruleCount = reader.CountOf(count.U16(), 4 + kRuleFieldsSize);
    if (ruleCount == 0) {
        reader.Fail("it has no rule");
    }
    std::vector<ZoneRule> rules;
    rules.reserve(ruleCount);
    for (std::uint16_t index = 0; index < ruleCount; ++index) {
        rules.push_back(ReadDefinitionRule(reader));
    }
    return ZoneRules(std::move(rules));
}

ZoneRules::ZoneRules(std::vector<ZoneRule> rules) : rules_(std::move(rules)) {
    if (rules_.empty()) {
        throw Failure(kInvalidArgument, "A time zone needs at least one rule.");
    }
    std::stable_sort(rules_.begin(), rules_.end(),
                     [](const ZoneRule& left, const ZoneRule& right) { return left.fromYear < right.fromYear; });
}

// The first rule also covers the years before it: Windows does the same.
const ZoneRule& ZoneRules::RuleForYear(int year) const {
    const auto after = std::upper_bound(rules_.begin(), rules_.end(), year,
                                        [](int wanted, const ZoneRule& rule) { return wanted < rule.fromYear; });
    return after == rules_.begin() ? rules_.front() : *std::prev(after);
}

std::int64_t ZoneRules::WallToUtc(std::int64_t wallSeconds) const {
    const ZoneRule& rule = RuleForYear(YearOf(wallSeconds));
    std::int64_t biasMinutes = rule.bias;
    if (HasSummerTime(rule)) {
        biasMinutes += IsSummerTime(rule, wallSeconds, wallSeconds) ? rule.daylightBias : rule.standardBias;
    }
    return wallSeconds + biasMinutes * kSecondsPerMinute;
}

std::int64_t ZoneRules::UtcToWall(std::int64_t utcSeconds) const {
    const ZoneRule& rule = RuleForYear(YearOf(utcSeconds - RuleForYear(YearOf(utcSeconds)).bias * kSecondsPerMinute));
    const std::int64_t standardWall = utcSeconds - (rule.bias + rule.standardBias) * kSecondsPerMinute;
    if (!HasSummerTime(rule)) {
        return utcSeconds - rule.bias * kSecondsPerMinute;
    }
    const std::int64_t summerWall = utcSeconds - (rule.bias + rule.daylightBias) * kSecondsPerMinute;
    return IsSummerTime(rule, summerWall, standardWall) ? summerWall : standardWall;
}

StoreDate UtcToMachineLocal(std::int64_t utcSeconds) {
    const auto time = static_cast<std::time_t>(utcSeconds);
    std::tm local{};
    if (localtime_r(&time, &local) == nullptr) {
        throw Failure(kOverflow, "A time is outside the range of this machine's calendar.");
    }
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
            local.tm_hour,        local.tm_min,     std::min(local.tm_sec, 59)};
}

std::int64_t MachineLocalToUtc(const StoreDate& local) {
    std::tm fields{};
    fields.tm_year = local.year - 1900;
    fields.tm_mon = local.month - 1;
    fields.tm_mday = local.day;
    fields.tm_hour = local.hour;
    fields.tm_min = local.minute;
    fields.tm_sec = local.second;
    fields.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&fields));
}

}  // namespace kalendro::pst
