// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/pst/test_values.h"
#include "platform/store/store_date.h"

namespace kalendro::pst::testing {

// AppointmentRecurrencePattern blobs as Outlook writes them, from the fields a test sets: by default
// a weekly series on Tuesdays from 2 August 2016, 08:00 to 08:30, weeks from Monday, without end.
struct PatternFields {
    std::uint16_t frequency = 0x200B;
    std::uint16_t patternType = 1;
    std::uint16_t calendarType = 0;
    std::uint32_t period = 1;
    std::vector<std::uint32_t> typeFields = {0x04};  // Tuesday
    std::uint32_t endType = 0x2023;
    std::uint32_t count = 10;
    std::uint32_t firstDayOfWeek = 1;  // Monday
    std::vector<StoreDate> deleted{};
    std::vector<StoreDate> modified{};
    StoreDate start{2016, 8, 2};
    StoreDate end{4500, 12, 31};
    std::uint32_t writerVersion = 0x3009;
    bool secondReservedBlockAlways = false;  // also after exceptions with neither subject nor location
};

struct ExceptionFields {
    StoreDate start;
    StoreDate end;
    StoreDate original;
    std::string subject;  // 8-bit; written when not empty
    std::u16string wideSubject;
    std::string location;
    std::u16string wideLocation;
    std::optional<std::uint32_t> busyStatus;
    std::optional<bool> allDay;
    bool ownBody = false;
    bool everySkippedField = false;  // meeting type, reminders, attachment, colour
};

inline ExceptionFields Exception(const StoreDate& start, const StoreDate& end, const StoreDate& original) {
    ExceptionFields exception;
    exception.start = start;
    exception.end = end;
    exception.original = original;
    return exception;
}

inline std::uint16_t FlagsOf(const ExceptionFields& exception) {
    std::uint16_t flags = 0;
    flags |= exception.subject.empty() ? 0 : 0x0001;
    flags |= exception.location.empty() ? 0 : 0x0010;
    flags |= exception.busyStatus ? 0x0020 : 0;
    flags |= exception.allDay ? 0x0080 : 0;
    flags |= exception.ownBody ? 0x0200 : 0;
    flags |= exception.everySkippedField ? 0x0002 | 0x0004 | 0x0008 | 0x0040 | 0x0100 : 0;
    return flags;
}

inline void WriteAnsi(BlobWriter& blob, const std::string& text) {
    blob.U16(static_cast<std::uint16_t>(text.size() + 1)).U16(static_cast<std::uint16_t>(text.size())).Bytes(text);
}

inline void WriteExceptionInfo(BlobWriter& blob, const ExceptionFields& exception) {
    const std::uint16_t flags = FlagsOf(exception);
    blob.U32(Minutes1601(exception.start)).U32(Minutes1601(exception.end)).U32(Minutes1601(exception.original));
    blob.U16(flags);
    if (flags & 0x0001) {
        WriteAnsi(blob, exception.subject);
    }
    if (exception.everySkippedField) {
        blob.U32(1).U32(15).U32(1);
    }
    if (flags & 0x0010) {
        WriteAnsi(blob, exception.location);
    }
    if (exception.busyStatus) {
        blob.U32(*exception.busyStatus);
    }
    if (exception.everySkippedField) {
        blob.U32(0);
    }
    if (exception.allDay) {
        blob.U32(*exception.allDay ? 1 : 0);
    }
    if (exception.everySkippedField) {
        blob.U32(3);
    }
}

inline void WriteExtendedException(BlobWriter& blob, const ExceptionFields& exception, const PatternFields& pattern) {
    if (pattern.writerVersion >= 0x3009) {
        blob.U32(4).U32(0);
    }
    blob.U32(0);
    if (exception.subject.empty() && exception.location.empty()) {
        if (pattern.secondReservedBlockAlways) {
            blob.U32(0);
        }
        return;
    }
    blob.U32(Minutes1601(exception.start)).U32(Minutes1601(exception.end)).U32(Minutes1601(exception.original));
    for (const std::u16string* wide : {&exception.wideSubject, &exception.wideLocation}) {
        if (!wide->empty()) {
            blob.U16(static_cast<std::uint16_t>(wide->size())).Utf16(*wide);
        }
    }
    blob.U32(0);
}

inline std::string RecurrenceBlob(const PatternFields& pattern, const std::vector<ExceptionFields>& exceptions = {}) {
    BlobWriter blob;
    blob.U16(0x3004).U16(0x3004).U16(pattern.frequency).U16(pattern.patternType).U16(pattern.calendarType);
    blob.U32(0).U32(pattern.period).U32(0);
    for (const std::uint32_t field : pattern.typeFields) {
        blob.U32(field);
    }
    blob.U32(pattern.endType).U32(pattern.count).U32(pattern.firstDayOfWeek);
    for (const auto* dates : {&pattern.deleted, &pattern.modified}) {
        blob.U32(static_cast<std::uint32_t>(dates->size()));
        for (const StoreDate& date : *dates) {
            blob.U32(Minutes1601(date));
        }
    }
    blob.U32(Minutes1601(pattern.start)).U32(Minutes1601(pattern.end));
    blob.U32(0x3006).U32(pattern.writerVersion).U32(480).U32(510);
    blob.U16(static_cast<std::uint16_t>(exceptions.size()));
    for (const ExceptionFields& exception : exceptions) {
        WriteExceptionInfo(blob, exception);
    }
    blob.U32(0);
    for (const ExceptionFields& exception : exceptions) {
        WriteExtendedException(blob, exception, pattern);
    }
    blob.U32(0);
    return blob.Data();
}

}  // namespace kalendro::pst::testing
