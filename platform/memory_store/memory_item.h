// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/memory_store/member_id.h"
#include "platform/memory_store/members.h"
#include "platform/memory_store/month_calendar.h"
#include "platform/store/store_date.h"

namespace kalendro::memory_store {

// The items a store back end fills and the in-memory store serves.

enum class RecurrenceType : int {
    kDaily = 0,
    kWeekly = 1,
    kMonthly = 2,
    kMonthNth = 3,
    kYearly = 5,
    kYearNth = 6,
};

enum class RecurrenceEnd { kByDate, kAfterOccurrences, kNever };

struct RecurrenceException {
    StoreDate originalDate;  // the start the occurrence would have had, in the series' zone
    bool deleted = false;
    Members members;  // for a modified occurrence: the members it overrides (its Start and End are local times)
};

// The time zone a recurring series is kept in, when it is not this machine's.
class SeriesTimeZone {
public:
    virtual ~SeriesTimeZone() = default;
    // A wall-clock time of the series' zone as this machine's local time.
    virtual StoreDate ToLocal(const StoreDate& zoneWallTime) const = 0;
};

// The pattern's fields must lie in the ranges the mailbox loader enforces (RecurringSeries relies on them).
struct RecurrencePattern {
    RecurrenceType type = RecurrenceType::kDaily;
    int interval = 1;
    int dayOfWeekMask = 0;   // Sunday 1, Monday 2, ... Saturday 64
    int dayOfMonth = 0;      // 1..31
    int instance = 0;        // 1..5, 5 = last
    int monthOfYear = 0;     // 1..12
    int firstDayOfWeek = 0;  // 0 Sunday .. 6 Saturday: the day each week of a weekly pattern begins on
    PatternCalendar calendar = PatternCalendar::kGregorian;  // whose months the month-based types count
    StoreDate patternStartDate;                              // a date at midnight
    RecurrenceEnd end = RecurrenceEnd::kNever;
    StoreDate patternEndDate;  // kByDate: the last date that may occur, at midnight
    int occurrences = 0;       // kAfterOccurrences
    std::vector<RecurrenceException> exceptions;
    // The zone of the pattern's dates and of the series' Start and End (their time of day and
    // length). Null when they are local times already.
    std::shared_ptr<const SeriesTimeZone> zone;
};

struct MemoryItem {
    explicit MemoryItem(std::string typeName) : typeName(std::move(typeName)), type(ItemTypeOf(this->typeName)) {}

    const std::string typeName;  // "AppointmentItem", "ContactItem", "DistListItem", ...
    const ItemType type;         // the type the name stands for
    Members members;             // EntryID always present once the back end has filled the item
    std::unique_ptr<const RecurrencePattern> recurrence;  // apart, since few items recur
};

}  // namespace kalendro::memory_store
