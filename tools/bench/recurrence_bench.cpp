// SPDX-License-Identifier: GPL-3.0-or-later
// Expansion of recurring appointments over one year: Kalendro's RecurringSeries against libical's
// icalrecur_iterator, for series of every type that began twenty years before the year and for series
// that begin inside it. Prints times and occurrence counts (the counts must agree); asserts nothing.

#include <libical/ical.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "platform/memory_store/recurrence.h"

namespace {

using kalendro::StoreDate;
using namespace kalendro::memory_store;

constexpr int kSeriesPerType = 5000;
constexpr int kRounds = 3;  // ours; libical's runs are long enough to be measured once
const StoreDate kYearStart{2025, 1, 1, 0, 0, 0};
const StoreDate kYearEnd{2025, 12, 31, 23, 59, 59};

struct BenchSeries {
    RecurrencePattern pattern;
    StoreDate start;
    StoreDate end;
    std::string rrule;  // the same pattern for libical
};

std::string WeekdayList(int mask) {
    static const char* kNames[] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};
    std::string list;
    for (int day = 0; day < 7; ++day) {
        if ((mask >> day) & 1)
            list += std::string(list.empty() ? "" : ",") + kNames[day];
    }
    return list;
}

// A day of month past a short month's end means its last day: the last existing one of 28..day.
std::string MonthDayRule(int day) {
    if (day <= 28)
        return ";BYMONTHDAY=" + std::to_string(day);
    std::string days = "28";
    for (int d = 29; d <= day; ++d)
        days.append(",").append(std::to_string(d));
    return ";BYMONTHDAY=" + days + ";BYSETPOS=-1";
}

std::string NthRule(const RecurrencePattern& p) {
    return ";BYDAY=" + WeekdayList(p.dayOfWeekMask) +
           ";BYSETPOS=" + (p.instance == 5 ? "-1" : std::to_string(p.instance));
}

std::string RRuleOf(const RecurrencePattern& p) {
    static const char* kFrequencies[] = {"DAILY", "WEEKLY", "MONTHLY", "MONTHLY", "", "YEARLY", "YEARLY"};
    std::string rule = std::string("FREQ=") + kFrequencies[static_cast<int>(p.type)] +
                       ";INTERVAL=" + std::to_string(p.interval) + ";WKST=SU";
    switch (p.type) {
        case RecurrenceType::kDaily:
            break;
        case RecurrenceType::kWeekly:
            rule += ";BYDAY=" + WeekdayList(p.dayOfWeekMask);
            break;
        case RecurrenceType::kMonthly:
            rule += MonthDayRule(p.dayOfMonth);
            break;
        case RecurrenceType::kMonthNth:
            rule += NthRule(p);
            break;
        case RecurrenceType::kYearly:
            rule += ";BYMONTH=" + std::to_string(p.monthOfYear) + MonthDayRule(p.dayOfMonth);
            break;
        case RecurrenceType::kYearNth:
            rule += ";BYMONTH=" + std::to_string(p.monthOfYear) + NthRule(p);
            break;
    }
    return rule;
}

// Series without end of one type, their patterns begun on random days of the given year. The
// pattern starts on its first occurrence, as a store's series does (libical always yields DTSTART).
std::vector<BenchSeries> MakeSeries(RecurrenceType type, int firstYear, std::mt19937& random) {
    const auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    std::vector<BenchSeries> all;
    for (int i = 0; i < kSeriesPerType; ++i) {
        RecurrencePattern p;
        p.type = type;
        p.interval = type == RecurrenceType::kDaily ? pick(1, 3) : pick(1, 2);
        p.dayOfWeekMask = pick(1, 127);
        p.dayOfMonth = pick(1, 31);
        p.instance = pick(1, 5);
        p.monthOfYear = pick(1, 12);
        p.patternStartDate = StoreDate{firstYear, 1, 1, 0, 0, 0}.AddDays(pick(0, 180));
        const int timeOfDay = pick(6 * 4, 20 * 4) * 900;
        const StoreDate probe = StoreDate::FromDaySerial(p.patternStartDate.DaySerial(), timeOfDay);
        const RecurringSeries series(p, probe, probe);
        const StoreDate first = series.OccurrencesIn({probe, probe.AddDays(3 * 366)}).front().start;
        p.patternStartDate = first.DateOnly();
        all.push_back({p, first, StoreDate::FromSerialSeconds(first.SerialSeconds() + 3600), RRuleOf(p)});
    }
    return all;
}

icaltimetype IcalTime(const StoreDate& date) {
    icaltimetype time = icaltime_null_time();
    time.year = date.year;
    time.month = date.month;
    time.day = date.day;
    time.hour = date.hour;
    time.minute = date.minute;
    time.second = date.second;
    time.is_date = 0;
    return time;
}

long KalendroOccurrences(const std::vector<BenchSeries>& all) {
    long count = 0;
    for (const BenchSeries& s : all) {
        count +=
            static_cast<long>(RecurringSeries(s.pattern, s.start, s.end).OccurrencesIn({kYearStart, kYearEnd}).size());
    }
    return count;
}

long IcalOccurrences(const std::vector<BenchSeries>& all, const std::vector<icalrecurrencetype>& rules, bool jump) {
    const icaltimetype yearStart = IcalTime(kYearStart);
    const icaltimetype yearEnd = IcalTime(kYearEnd);
    long count = 0;
    for (std::size_t i = 0; i < all.size(); ++i) {
        icalrecur_iterator* iterator = icalrecur_iterator_new(rules[i], IcalTime(all[i].start));
        if (jump && icaltime_compare(IcalTime(all[i].start), yearStart) < 0) {
            icalrecur_iterator_set_start(iterator, yearStart);
        }
        for (icaltimetype next = icalrecur_iterator_next(iterator);
             !icaltime_is_null_time(next) && icaltime_compare(next, yearEnd) <= 0;
             next = icalrecur_iterator_next(iterator)) {
            if (icaltime_compare(next, yearStart) >= 0)
                ++count;
        }
        icalrecur_iterator_free(iterator);
    }
    return count;
}

// The best of some rounds, in milliseconds, with the count of the last.
double BestMilliseconds(int rounds, const std::function<long()>& run, long& count) {
    double best = 1e300;
    for (int round = 0; round < rounds; ++round) {
        const auto begin = std::chrono::steady_clock::now();
        count = run();
        best =
            std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count());
    }
    return best;
}

void Measure(const char* typeName, RecurrenceType type, int firstYear, const char* age, bool alsoPlain) {
    std::mt19937 random(static_cast<unsigned>(type) * 7919u + static_cast<unsigned>(firstYear));
    const std::vector<BenchSeries> all = MakeSeries(type, firstYear, random);
    std::vector<icalrecurrencetype> rules;
    for (const BenchSeries& s : all)
        rules.push_back(icalrecurrencetype_from_string(s.rrule.c_str()));

    long ours = 0;
    long theirs = 0;
    const double oursMs = BestMilliseconds(
        kRounds, [&] { return KalendroOccurrences(all); }, ours);
    const double theirsMs = BestMilliseconds(
        1, [&] { return IcalOccurrences(all, rules, true); }, theirs);
    std::printf("%-9s %-5s %9.2f ms %11.2f ms %8.1fx %9ld %9ld%s\n", typeName, age, oursMs, theirsMs, theirsMs / oursMs,
                ours, theirs, ours == theirs ? "" : "  COUNTS DIFFER");
    if (alsoPlain) {
        long plain = 0;
        const double plainMs = BestMilliseconds(
            1, [&] { return IcalOccurrences(all, rules, false); }, plain);
        std::printf("%-9s %-5s %9s    %11.2f ms %8.1fx %9s %9ld   (libical iterating from DTSTART)\n", typeName, age,
                    "", plainMs, plainMs / oursMs, "", plain);
    }
}

}  // namespace

int main() {
    const std::pair<const char*, RecurrenceType> kTypes[] = {
        {"daily", RecurrenceType::kDaily},     {"weekly", RecurrenceType::kWeekly},
        {"monthly", RecurrenceType::kMonthly}, {"month-nth", RecurrenceType::kMonthNth},
        {"yearly", RecurrenceType::kYearly},   {"year-nth", RecurrenceType::kYearNth},
    };
    std::printf("%d series without end per type and age; occurrences in 2025; kalendro best of %d rounds\n",
                kSeriesPerType, kRounds);
    std::printf("libical %s: icalrecur_iterator_set_start jumps to 1 January 2025 for the old series\n\n",
                ICAL_VERSION);
    std::printf("%-9s %-5s %12s %14s %9s %9s %9s\n", "type", "age", "kalendro", "libical", "ratio", "ours", "libical");
    for (const auto& [name, type] : kTypes)
        Measure(name, type, 2005, "old", true);
    for (const auto& [name, type] : kTypes)
        Measure(name, type, 2025, "new", false);
    return 0;
}
