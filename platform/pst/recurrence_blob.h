// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/memory_store/memory_item.h"
#include "platform/pst/property_values.h"
#include "platform/store/store_date.h"

namespace kalendro::pst {

// The pattern types and ends are the store model's (Outlook's OlRecurrenceType and its three ends).
using PatternKind = memory_store::RecurrenceType;
using SeriesEnd = memory_store::RecurrenceEnd;
using memory_store::PatternCalendar;

// What one modified occurrence overrides, from its ExceptionInfo and ExtendedException. Times are
// wall clock in the series' own zone.
struct ModifiedInstance {
    StoreDate originalStart;  // where the pattern puts it
    StoreDate start;
    StoreDate end;
    std::optional<std::string> subject;  // UTF-8; the wide text when the blob has it
    std::optional<std::string> location;
    std::optional<std::int32_t> busyStatus;
    std::optional<bool> allDayEvent;
    bool hasOwnBody = false;  // the exception message holds a body of its own
};

// An appointment's recurrence (PidLidAppointmentRecur, PSETID_Appointment 0x8216) in the model's
// terms.
struct AppointmentRecurrence {
    PatternKind kind = PatternKind::kDaily;
    int interval = 1;                                        // days, weeks, months or years
    int dayOfWeekMask = 0;                                   // Sunday 1, Monday 2, ... Saturday 64
    int dayOfMonth = 0;                                      // 1..31 (31 also for "the last day of the month")
    int instance = 0;                                        // 1..5, 5 = last
    int monthOfYear = 0;                                     // 1..12, yearly patterns
    int firstDayOfWeek = 0;                                  // 0 Sunday .. 6 Saturday
    PatternCalendar calendar = PatternCalendar::kGregorian;  // whose months the month-based kinds count
    StoreDate patternStartDate;                              // midnight of the first occurrence's date
    SeriesEnd end = SeriesEnd::kNever;
    StoreDate patternEndDate;             // midnight of the last date that may occur (also computed for a count)
    int occurrences = 0;                  // kAfterOccurrences
    int startMinutes = 0;                 // time of day of each occurrence's start, in the series' zone
    int endMinutes = 0;                   // start of the day of the start plus this is each occurrence's end
    std::vector<StoreDate> deletedDates;  // midnight of each deleted occurrence's original date
    std::vector<ModifiedInstance> modified;
};

// Parses an AppointmentRecurrencePattern (MS-OXOCAL); its 8-bit exception subjects and locations
// are read by the decoder of the message's code page. A damaged blob, a pattern Outlook never
// writes, and a series in a calendar whose months are neither Gregorian nor Hijri fail with kStoreOperationFailed
// with the reason.
AppointmentRecurrence ParseAppointmentRecurrence(std::string_view blob, CodePageDecoder& decoder);

}  // namespace kalendro::pst
