// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <limits>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/mailbox/member_reader.h"
#include "platform/memory_store/memory_item.h"
#include "platform/memory_store/recurrence.h"

namespace kalendro::mailbox {

// What each recurrence type reads.
struct RecurrenceRule {
    memory_store::RecurrenceType type;
    std::string_view name;
    bool usesDayOfWeekMask;
    bool usesDayOfMonth;
    bool usesInstance;
    bool usesMonthOfYear;
};

inline constexpr std::array<RecurrenceRule, 6> kRecurrenceRules = {{
    {memory_store::RecurrenceType::kDaily, "daily", false, false, false, false},
    {memory_store::RecurrenceType::kWeekly, "weekly", true, false, false, false},
    {memory_store::RecurrenceType::kMonthly, "monthly", false, true, false, false},
    {memory_store::RecurrenceType::kMonthNth, "month-nth", true, false, true, false},
    {memory_store::RecurrenceType::kYearly, "yearly", false, true, false, true},
    {memory_store::RecurrenceType::kYearNth, "year-nth", true, false, true, true},
}};

inline constexpr int kMaximumInterval = 999;

// Reads the recurrence of an appointment of a mailbox file: its pattern, and its exceptions, each
// checked against the pattern.
template <typename Node>
class RecurrenceReader : public MemberReader<Node> {
public:
    using Base = MemberReader<Node>;
    using Base::ArrayMember;
    using Base::CheckKeys;
    using Base::DateValue;
    using Base::DayValue;
    using Base::Fail;
    using Base::FlagValue;
    using Base::NumberInRange;
    using Base::NumberValue;
    using Base::RequiredKey;
    using Base::RequireObject;
    using typename Base::MemberId;
    using typename Base::Members;
    using typename Base::MemberView;
    using typename Base::MemoryItem;
    using typename Base::Required;
    using typename Base::Where;
    using RecurrenceEnd = memory_store::RecurrenceEnd;
    using RecurrenceException = memory_store::RecurrenceException;
    using RecurrencePattern = memory_store::RecurrencePattern;
    using RecurrenceType = memory_store::RecurrenceType;
    using RecurringSeries = memory_store::RecurringSeries;

    explicit RecurrenceReader(const std::string& sourceName) : Base(sourceName) {}

protected:
    using Base::ReadMembers;

    // The series' pattern with its exceptions, read from the item's "Recurrence" object; a missing Start
    // or End is told at the item.
    RecurrencePattern ReadSeriesRecurrence(const Node& node, const Where& where, const MemoryItem& series,
                                           const Where& itemWhere) const {
        return ReadRecurrence(node, where, series, AppointmentSpan(series, itemWhere));
    }

private:
    struct Span {
        StoreDate start;
        StoreDate end;
    };

    Span AppointmentSpan(const MemoryItem& item, const Where& where) const {
        Span span;
        for (auto [member, date] : {std::pair{MemberId::kStart, &span.start}, std::pair{MemberId::kEnd, &span.end}}) {
            const std::optional<MemberView> found = item.members.Find(member);
            if (!found) {
                Fail(where, memory_store::MemberName(member),
                     "is missing; a recurring appointment needs its Start and End");
            }
            *date = std::get<StoreDate>(*found);
        }
        if (span.end < span.start) {
            Fail(where, "End", "is before Start");
        }
        return span;
    }

    RecurrencePattern ReadRecurrence(const Node& node, const Where& where, const MemoryItem& series,
                                     const Span& span) const {
        RequireObject(node, where);
        CheckKeys(node, where,
                  {"RecurrenceType", "Interval", "DayOfWeekMask", "DayOfMonth", "Instance", "MonthOfYear",
                   "FirstDayOfWeek", "PatternStartDate", "PatternEndDate", "Occurrences", "NoEndDate", "Exceptions"});
        RecurrencePattern pattern;
        const RecurrenceRule& rule = ReadRule(RequiredKey(node, where, "RecurrenceType"), where);
        pattern.type = rule.type;
        if (const std::optional<Node> found = node.Find("Interval")) {
            pattern.interval = NumberInRange(*found, where, "Interval", 1, kMaximumInterval);
        }
        pattern.dayOfWeekMask = PatternField(node, where, rule, "DayOfWeekMask", rule.usesDayOfWeekMask, 1, 127);
        pattern.dayOfMonth = PatternField(node, where, rule, "DayOfMonth", rule.usesDayOfMonth, 1, 31);
        pattern.instance = PatternField(node, where, rule, "Instance", rule.usesInstance, 1, 5);
        pattern.monthOfYear = PatternField(node, where, rule, "MonthOfYear", rule.usesMonthOfYear, 1, 12);
        pattern.firstDayOfWeek = FirstDayOfWeek(node, where, rule);
        const std::optional<Node> startDate = node.Find("PatternStartDate");
        pattern.patternStartDate = startDate ? DayValue(*startDate, where, "PatternStartDate") : span.start.DateOnly();
        ReadPatternEnd(node, where, pattern);
        if (const std::optional<Node> exceptions = ArrayMember(node, where, "Exceptions", Required::kNo)) {
            pattern.exceptions = ReadExceptions(*exceptions, where, series, pattern, span);
        }
        return pattern;
    }

    // What the exceptions of one series are checked against: the pattern without exceptions, and the
    // original dates read so far.
    struct ExceptionCheck {
        const RecurrencePattern& pattern;
        const Span& span;
        RecurringSeries withoutExceptions;
        std::set<StoreDate> originalDates;
    };

    // One series over the pattern checks every original date, and a set finds repeated ones, so a series
    // with many exceptions opens in time proportional to their number.
    std::vector<RecurrenceException> ReadExceptions(const Node& node, const Where& where, const MemoryItem& series,
                                                    const RecurrencePattern& pattern, const Span& span) const {
        ExceptionCheck check{pattern, span, RecurringSeries(pattern, span.start, span.end), {}};
        std::vector<RecurrenceException> exceptions;
        exceptions.reserve(node.Size());
        node.ForEachElement([&](std::size_t index, const Node& exception) {
            const Where exceptionWhere{&where, "exception", index + 1, &exception};
            exceptions.push_back(ReadException(exception, exceptionWhere, series, check));
        });
        return exceptions;
    }

    const RecurrenceRule& ReadRule(const Node& value, const Where& where) const {
        const std::int32_t number = NumberValue(value, where, "RecurrenceType");
        for (const RecurrenceRule& rule : kRecurrenceRules) {
            if (static_cast<std::int32_t>(rule.type) == number) {
                return rule;
            }
        }
        Fail(where, "RecurrenceType", std::to_string(number) + " is not one of 0, 1, 2, 3, 5 and 6");
    }

    // A field the type needs must be there and in range; one it does not use must be absent.
    int PatternField(const Node& node, const Where& where, const RecurrenceRule& rule, std::string_view key, bool used,
                     int lowest, int highest) const {
        const std::optional<Node> found = node.Find(key);
        if (!found) {
            if (used) {
                Fail(where, key, "is missing; a " + std::string(rule.name) + " recurrence needs it");
            }
            return 0;
        }
        if (!used) {
            Fail(where, key, "is not used by a " + std::string(rule.name) + " recurrence");
        }
        return NumberInRange(*found, where, key, lowest, highest);
    }

    // Weeks begin on Sunday unless a weekly pattern says otherwise; no other type counts weeks.
    int FirstDayOfWeek(const Node& node, const Where& where, const RecurrenceRule& rule) const {
        const std::optional<Node> found = node.Find("FirstDayOfWeek");
        if (!found) {
            return 0;
        }
        if (rule.type != RecurrenceType::kWeekly) {
            Fail(where, "FirstDayOfWeek", "is not used by a " + std::string(rule.name) + " recurrence");
        }
        return NumberInRange(*found, where, "FirstDayOfWeek", 0, 6);
    }

    void ReadPatternEnd(const Node& node, const Where& where, RecurrencePattern& pattern) const {
        const std::optional<Node> endDate = node.Find("PatternEndDate");
        const std::optional<Node> occurrences = node.Find("Occurrences");
        const std::optional<Node> noEndDate = node.Find("NoEndDate");
        const int given = endDate.has_value() + occurrences.has_value() + noEndDate.has_value();
        if (given != 1) {
            Fail(where, "", "it must have exactly one of PatternEndDate, Occurrences and NoEndDate");
        }
        if (endDate) {
            pattern.end = RecurrenceEnd::kByDate;
            pattern.patternEndDate = DayValue(*endDate, where, "PatternEndDate");
            if (pattern.patternEndDate < pattern.patternStartDate) {
                Fail(where, "PatternEndDate", "is before the pattern's start " + pattern.patternStartDate.ToText());
            }
        } else if (occurrences) {
            pattern.end = RecurrenceEnd::kAfterOccurrences;
            pattern.occurrences = NumberInRange(*occurrences, where, "Occurrences", 1, std::numeric_limits<int>::max());
        } else {
            if (!FlagValue(*noEndDate, where, "NoEndDate")) {
                Fail(where, "NoEndDate", "must be true; leave it out for a series that ends");
            }
            pattern.end = RecurrenceEnd::kNever;
        }
    }

    RecurrenceException ReadException(const Node& node, const Where& where, const MemoryItem& series,
                                      ExceptionCheck& check) const {
        RequireObject(node, where);
        RecurrenceException exception;
        exception.originalDate = DateValue(RequiredKey(node, where, "OriginalDate"), where, "OriginalDate");
        CheckOriginalDate(exception.originalDate, where, check);
        if (!check.originalDates.insert(exception.originalDate).second) {
            Fail(where, "OriginalDate", "another exception already has " + exception.originalDate.ToText());
        }
        if (const std::optional<Node> deleted = node.Find("Deleted")) {
            exception.deleted = FlagValue(*deleted, where, "Deleted");
        }
        ReadMembers(node, where, series, {"OriginalDate", "Deleted"}, exception.members);
        if (exception.deleted && !exception.members.empty()) {
            Fail(where, FirstMemberName(exception.members), "a deleted occurrence has no members");
        }
        if (exception.members.Contains(MemberId::kEntryID)) {
            Fail(where, "EntryID", "an occurrence keeps the EntryID of its series");
        }
        return exception;
    }

    // The member whose key comes first in the order the reporting parser keeps an object's keys in
    // (sorted), so that the reading that names a fault names the same one.
    static std::string_view FirstMemberName(const Members& members) {
        std::string_view first;
        members.ForEach([&first](MemberId member, const MemberView&) {
            const std::string_view name = memory_store::MemberName(member);
            if (first.empty() || name < first) {
                first = name;
            }
        });
        return first;
    }

    // An original date must be the start of an occurrence: at the series' time of day and inside the
    // pattern's dates.
    void CheckOriginalDate(const StoreDate& original, const Where& where, const ExceptionCheck& check) const {
        const RecurrencePattern& pattern = check.pattern;
        const Span& span = check.span;
        if (original.SecondsOfDay() != span.start.SecondsOfDay()) {
            Fail(where, "OriginalDate",
                 original.ToText() + " is not at the series' time of day " + span.start.ToText().substr(11));
        }
        const StoreDate day = original.DateOnly();
        if (day < pattern.patternStartDate || (pattern.end == RecurrenceEnd::kByDate && pattern.patternEndDate < day)) {
            Fail(where, "OriginalDate", original.ToText() + " lies outside the pattern's dates");
        }
        if (!check.withoutExceptions.IsPatternOccurrence(original)) {
            Fail(where, "OriginalDate", original.ToText() + " is no occurrence of the pattern");
        }
    }
};

}  // namespace kalendro::mailbox
