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

// An appointment's recurrence (PidLidAppointmentRecur, PSETID_Appointment 0x8216): the store's pattern,
// and beside it what the blob has of its own, the times of day and the deleted and modified occurrences.
struct AppointmentRecurrence {
    // Its exceptions and zone are not in the blob: AddRecurrence gives them to the series once its
    // occurrences can be checked. Its patternEndDate is set whatever the end, a count's too.
    memory_store::RecurrencePattern pattern;
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
