// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pst/recurrence_blob.h"

#include <algorithm>
#include <optional>
#include <string>

#include "platform/pst/byte_reader.h"
#include "platform/pst/property_values.h"

namespace kalendro::pst {

namespace {

using memory_store::PatternCalendar;
using memory_store::RecurrenceEnd;
using memory_store::RecurrencePattern;
using memory_store::RecurrenceType;

enum Frequency : std::uint16_t { kDaily = 0x200A, kWeekly = 0x200B, kMonthly = 0x200C, kYearly = 0x200D };

enum PatternType : std::uint16_t {
    kDay = 0x0,
    kWeek = 0x1,
    kMonth = 0x2,
    kMonthNth = 0x3,
    kMonthEnd = 0x4,
    kHjMonth = 0xA,
    kHjMonthNth = 0xB,
    kHjMonthEnd = 0xC,
};

enum EndType : std::uint32_t {
    kEndAfterDate = 0x2021,
    kEndAfterCount = 0x2022,
    kNeverEnd = 0x2023,
    kNeverEndOld = 0xFFFFFFFF
};

enum OverrideFlag : std::uint16_t {
    kSubject = 0x0001,
    kMeetingType = 0x0002,
    kReminderDelta = 0x0004,
    kReminderSet = 0x0008,
    kLocation = 0x0010,
    kBusyStatus = 0x0020,
    kAttachment = 0x0040,
    kSubType = 0x0080,
    kAppointmentColor = 0x0100,
    kExceptionalBody = 0x0200,
};

constexpr std::uint32_t kFirstWriterWithChangeHighlight = 0x3009;
constexpr std::uint32_t kMinutesPerDay = 24 * 60;
constexpr int kLongestInterval = 999;  // Outlook's own limit
constexpr int kDaysOfWeek = 0x7F;
constexpr int kMonthsPerYear = 12;
// The calendars a pattern may name, and whose months their month-based patterns count: those that
// only number their years otherwise (Japanese era, Taiwan, Korean Tangun era, Thai) count Gregorian
// months; the lunar and the Saka calendars are not laid out.
struct CalendarKind {
    std::uint16_t type;
    std::string_view name;
    std::optional<PatternCalendar> months;
};

constexpr CalendarKind kCalendarKinds[] = {
    {0, "default", PatternCalendar::kGregorian},
    {1, "Gregorian", PatternCalendar::kGregorian},
    {2, "Gregorian (US)", PatternCalendar::kGregorian},
    {3, "Japanese Emperor era", PatternCalendar::kGregorian},
    {4, "Taiwan", PatternCalendar::kGregorian},
    {5, "Korean Tangun era", PatternCalendar::kGregorian},
    {6, "Hijri", PatternCalendar::kHijri},
    {7, "Thai", PatternCalendar::kGregorian},
    {8, "Hebrew lunar", std::nullopt},
    {9, "Gregorian (Middle East French)", PatternCalendar::kGregorian},
    {10, "Gregorian (Arabic)", PatternCalendar::kGregorian},
    {11, "Gregorian (transliterated English)", PatternCalendar::kGregorian},
    {12, "Gregorian (transliterated French)", PatternCalendar::kGregorian},
    {14, "Japanese lunar", std::nullopt},
    {15, "Chinese lunar", std::nullopt},
    {16, "Saka era", std::nullopt},
    {17, "Chinese lunar (Eto)", std::nullopt},
    {18, "Korean lunar (Eto)", std::nullopt},
    {19, "Japanese lunar (Rokuyou)", std::nullopt},
    {20, "Korean lunar", std::nullopt},
    {23, "Umm al-Qura", std::nullopt},
};

// The fields of the RecurrencePattern part as stored, before they are put in the model's terms.
struct StoredPattern {
    std::uint16_t frequency = 0;
    std::uint16_t patternType = 0;
    std::uint16_t calendarType = 0;
    std::uint32_t period = 0;
    std::uint32_t dayMask = 0;
    std::uint32_t dayOfMonth = 0;
    std::uint32_t nth = 0;
    std::uint32_t endType = 0;
    std::uint32_t occurrenceCount = 0;
    std::uint32_t firstDayOfWeek = 0;
    std::vector<std::uint32_t> deletedDates;
    std::uint32_t startDate = 0;
    std::uint32_t endDate = 0;
};

StoreDate FromMinutes(std::uint32_t minutes) {
    return StoreDate::FromSerialSeconds(MinutesSince1601ToUnixSeconds(minutes));
}

void ReadPatternTypeFields(ByteReader& reader, StoredPattern& pattern) {
    switch (pattern.patternType) {
        case kDay:
            return;
        case kWeek:
            pattern.dayMask = reader.U32();
            return;
        case kMonth:
        case kMonthEnd:
        case kHjMonth:
        case kHjMonthEnd:
            pattern.dayOfMonth = reader.U32();
            return;
        case kMonthNth:
        case kHjMonthNth:
            pattern.dayMask = reader.U32();
            pattern.nth = reader.U32();
            return;
        default:
            reader.Fail("its pattern type is unknown");
    }
}

std::vector<std::uint32_t> ReadDates(ByteReader& reader) {
    const std::uint32_t count = reader.CountOf(reader.U32(), 4);
    std::vector<std::uint32_t> dates(count);
    for (std::uint32_t& date : dates) {
        date = reader.U32();
    }
    return dates;
}

StoredPattern ReadStoredPattern(ByteReader& reader) {
    StoredPattern pattern;
    reader.Skip(4);  // reader and writer versions: 0x3004 for every writer
    pattern.frequency = reader.U16();
    pattern.patternType = reader.U16();
    pattern.calendarType = reader.U16();
    reader.Skip(4);  // FirstDateTime: derived from the start date and the period
    pattern.period = reader.U32();
    reader.Skip(4);  // SlidingFlag: tasks only
    ReadPatternTypeFields(reader, pattern);
    pattern.endType = reader.U32();
    pattern.occurrenceCount = reader.U32();
    pattern.firstDayOfWeek = reader.U32();
    pattern.deletedDates = ReadDates(reader);
    ReadDates(reader);  // the modified instances' new dates: the exceptions carry them too
    pattern.startDate = reader.U32();
    pattern.endDate = reader.U32();
    return pattern;
}

// A calendar whose months the store cannot lay out refuses the whole series, never Gregorian months
// in their place. The Hijri pattern types count Hijri months whatever the calendar type says.
PatternCalendar MonthCalendar(const StoredPattern& stored) {
    const auto kind = std::find_if(std::begin(kCalendarKinds), std::end(kCalendarKinds),
                                   [&](const CalendarKind& known) { return known.type == stored.calendarType; });
    if (kind == std::end(kCalendarKinds)) {
        throw Failure(kStoreOperationFailed, "The recurrence pattern names a calendar that is not known (type " +
                                                 std::to_string(stored.calendarType) + ").");
    }
    if (!kind->months) {
        throw Failure(kStoreOperationFailed, "The recurrence pattern uses the " + std::string(kind->name) +
                                                 " calendar, whose months Kalendro does not lay out.");
    }
    const bool hijriType =
        stored.patternType == kHjMonth || stored.patternType == kHjMonthNth || stored.patternType == kHjMonthEnd;
    return hijriType ? PatternCalendar::kHijri : *kind->months;
}

int CheckedInterval(std::uint32_t value, const ByteReader& reader) {
    if (value < 1 || value > kLongestInterval) {
        reader.Fail("its interval is out of range");
    }
    return static_cast<int>(value);
}

int CheckedDayMask(std::uint32_t mask, const ByteReader& reader) {
    if (mask == 0 || mask > kDaysOfWeek) {
        reader.Fail("its days of the week are invalid");
    }
    return static_cast<int>(mask);
}

void MapDailyOrWeekly(const StoredPattern& stored, const ByteReader& reader, RecurrencePattern& pattern) {
    if (stored.patternType == kWeek) {
        // "Every weekday" is stored as a daily frequency with a weekly pattern, period 1.
        pattern.type = RecurrenceType::kWeekly;
        pattern.interval = stored.frequency == kDaily ? 1 : CheckedInterval(stored.period, reader);
        pattern.dayOfWeekMask = CheckedDayMask(stored.dayMask, reader);
        return;
    }
    if (stored.frequency != kDaily || stored.patternType != kDay || stored.period % kMinutesPerDay != 0) {
        reader.Fail("its daily pattern is invalid");
    }
    pattern.type = RecurrenceType::kDaily;
    pattern.interval = CheckedInterval(stored.period / kMinutesPerDay, reader);
}

// Monthly and yearly frequencies both count months; a period of whole years is a yearly pattern
// in the model, as Outlook shows it.
void MapMonthlyOrYearly(const StoredPattern& stored, const ByteReader& reader, RecurrencePattern& pattern) {
    const bool yearly = stored.period % kMonthsPerYear == 0 && stored.period > 0;
    if (stored.frequency == kYearly && !yearly) {
        reader.Fail("its yearly period is not a number of years");
    }
    const bool nth = stored.patternType == kMonthNth || stored.patternType == kHjMonthNth;
    if (nth) {
        if (stored.nth < 1 || stored.nth > 5) {
            reader.Fail("its week of the month is out of range");
        }
        pattern.dayOfWeekMask = CheckedDayMask(stored.dayMask, reader);
        pattern.instance = static_cast<int>(stored.nth);
    } else if (stored.patternType == kMonthEnd || stored.patternType == kHjMonthEnd) {
        pattern.dayOfMonth = 31;
    } else if (stored.patternType == kMonth || stored.patternType == kHjMonth) {
        if (stored.dayOfMonth < 1 || stored.dayOfMonth > 31) {
            reader.Fail("its day of the month is out of range");
        }
        pattern.dayOfMonth = static_cast<int>(stored.dayOfMonth);
    } else {
        reader.Fail("its monthly pattern type is invalid");
    }
    if (yearly) {
        pattern.type = nth ? RecurrenceType::kYearNth : RecurrenceType::kYearly;
        pattern.interval = CheckedInterval(stored.period / kMonthsPerYear, reader);
        pattern.monthOfYear = memory_store::MonthOfYear(
            memory_store::MonthIndexOfDay(pattern.calendar, pattern.patternStartDate.DaySerial()));
    } else {
        pattern.type = nth ? RecurrenceType::kMonthNth : RecurrenceType::kMonthly;
        pattern.interval = CheckedInterval(stored.period, reader);
    }
}

void MapEnd(const StoredPattern& stored, const ByteReader& reader, RecurrencePattern& pattern) {
    pattern.patternEndDate = FromMinutes(stored.endDate).DateOnly();
    switch (stored.endType) {
        case kEndAfterDate:
            pattern.end = RecurrenceEnd::kByDate;
            return;
        case kEndAfterCount:
            if (stored.occurrenceCount < 1 || stored.occurrenceCount > 999999) {
                reader.Fail("its number of occurrences is out of range");
            }
            pattern.end = RecurrenceEnd::kAfterOccurrences;
            pattern.occurrences = static_cast<int>(stored.occurrenceCount);
            return;
        case kNeverEnd:
        case kNeverEndOld:
            pattern.end = RecurrenceEnd::kNever;
            return;
        default:
            reader.Fail("its end type is unknown");
    }
}

void MapPattern(const StoredPattern& stored, const ByteReader& reader, RecurrencePattern& pattern) {
    if (stored.firstDayOfWeek > 6) {
        reader.Fail("its first day of the week is out of range");
    }
    pattern.firstDayOfWeek = static_cast<int>(stored.firstDayOfWeek);
    pattern.patternStartDate = FromMinutes(stored.startDate).DateOnly();
    pattern.calendar = MonthCalendar(stored);
    switch (stored.frequency) {
        case kDaily:
        case kWeekly:
            MapDailyOrWeekly(stored, reader, pattern);
            break;
        case kMonthly:
        case kYearly:
            MapMonthlyOrYearly(stored, reader, pattern);
            break;
        default:
            reader.Fail("its frequency is unknown");
    }
    MapEnd(stored, reader, pattern);
}

// An 8-bit string of the ExceptionInfo, in the message's code page: a length, the same length less
// one, then the characters.
std::string ReadAnsiOverride(ByteReader& reader, CodePageDecoder& decoder) {
    reader.Skip(2);
    return decoder.Decode(reader.Take(reader.U16()));
}

std::string ReadWideOverride(ByteReader& reader) { return Utf16ToUtf8(reader.Take(std::size_t{reader.U16()} * 2)); }

struct StoredException {
    std::uint16_t flags = 0;
    ModifiedInstance instance;
};

StoredException ReadExceptionInfo(ByteReader& reader, CodePageDecoder& decoder) {
    StoredException stored;
    ModifiedInstance& instance = stored.instance;
    instance.start = FromMinutes(reader.U32());
    instance.end = FromMinutes(reader.U32());
    instance.originalStart = FromMinutes(reader.U32());
    stored.flags = reader.U16();
    const std::uint16_t flags = stored.flags;
    if (flags & kSubject) {
        instance.subject = ReadAnsiOverride(reader, decoder);
    }
    for (const OverrideFlag skipped : {kMeetingType, kReminderDelta, kReminderSet}) {
        if (flags & skipped) {
            reader.Skip(4);
        }
    }
    if (flags & kLocation) {
        instance.location = ReadAnsiOverride(reader, decoder);
    }
    if (flags & kBusyStatus) {
        instance.busyStatus = reader.I32();
    }
    if (flags & kAttachment) {
        reader.Skip(4);
    }
    if (flags & kSubType) {
        instance.allDayEvent = reader.U32() != 0;
    }
    if (flags & kAppointmentColor) {
        reader.Skip(4);
    }
    instance.hasOwnBody = (flags & kExceptionalBody) != 0;
    return stored;
}

void SkipSizedBlock(ByteReader& reader) { reader.Skip(reader.U32()); }

// Where the second reserved block of an ExtendedException stands: after the wide texts only, or
// after every exception, including one that changes neither subject nor location.
enum class SecondReservedBlock { kWithWideTexts, kAlways };

// The wide subject and location of an exception replace its 8-bit ones.
void ReadExtendedException(ByteReader& reader, std::uint32_t writerVersion, SecondReservedBlock layout,
                           StoredException& stored) {
    if (writerVersion >= kFirstWriterWithChangeHighlight) {
        SkipSizedBlock(reader);
    }
    SkipSizedBlock(reader);
    if ((stored.flags & (kSubject | kLocation)) != 0) {
        reader.Skip(12);  // start, end and original start again
        if (stored.flags & kSubject) {
            stored.instance.subject = ReadWideOverride(reader);
        }
        if (stored.flags & kLocation) {
            stored.instance.location = ReadWideOverride(reader);
        }
    } else if (layout == SecondReservedBlock::kWithWideTexts) {
        return;
    }
    SkipSizedBlock(reader);
}

// Whether the blob ends with its closing reserved block, exactly.
bool EndsWithClosingBlock(ByteReader reader) {
    if (reader.Remaining() < 4) {
        return false;
    }
    const std::uint32_t size = reader.U32();
    return size == reader.Remaining();
}

std::optional<std::vector<StoredException>> TryExtendedExceptions(ByteReader& reader, std::uint32_t writerVersion,
                                                                  SecondReservedBlock layout,
                                                                  std::vector<StoredException> exceptions) {
    try {
        for (StoredException& stored : exceptions) {
            ReadExtendedException(reader, writerVersion, layout, stored);
        }
        return exceptions;
    } catch (const Failure&) {
        return std::nullopt;
    }
}

// MS-OXOCAL's layout leaves open whether an exception that changes neither subject nor location has
// the second reserved block: the reading that accounts for the whole blob is taken, else the first
// reading that fits at all.
std::vector<StoredException> ReadExtendedExceptions(ByteReader& reader, std::uint32_t writerVersion,
                                                    std::vector<StoredException> exceptions) {
    std::optional<std::vector<StoredException>> fitting;
    for (const SecondReservedBlock layout : {SecondReservedBlock::kWithWideTexts, SecondReservedBlock::kAlways}) {
        ByteReader attempt = reader;
        auto read = TryExtendedExceptions(attempt, writerVersion, layout, exceptions);
        if (read && EndsWithClosingBlock(attempt)) {
            return std::move(*read);
        }
        if (read && !fitting) {
            fitting = std::move(read);
        }
    }
    if (!fitting) {
        reader.Fail("its extended exceptions do not fit in it");
    }
    return std::move(*fitting);
}

void ReadTimesOfDay(ByteReader& reader, AppointmentRecurrence& series) {
    const std::uint32_t startMinutes = reader.U32();
    const std::uint32_t endMinutes = reader.U32();
    constexpr std::uint32_t kLongestSpan = 5 * 366 * kMinutesPerDay;
    if (startMinutes >= kMinutesPerDay || endMinutes < startMinutes || endMinutes - startMinutes > kLongestSpan) {
        reader.Fail("its times of day are out of range");
    }
    series.startMinutes = static_cast<int>(startMinutes);
    series.endMinutes = static_cast<int>(endMinutes);
}

std::vector<StoredException> ReadExceptions(ByteReader& reader, std::uint32_t writerVersion, CodePageDecoder& decoder) {
    constexpr std::size_t kSmallestExceptionInfo = 14;
    const std::uint16_t count = static_cast<std::uint16_t>(reader.CountOf(reader.U16(), kSmallestExceptionInfo));
    std::vector<StoredException> exceptions;
    exceptions.reserve(count);
    for (std::uint16_t index = 0; index < count; ++index) {
        exceptions.push_back(ReadExceptionInfo(reader, decoder));
    }
    SkipSizedBlock(reader);
    return ReadExtendedExceptions(reader, writerVersion, std::move(exceptions));
}

// A deleted date that is the original date of a modified instance only moved it.
std::vector<StoreDate> DeletedOnly(const std::vector<std::uint32_t>& deletedDates,
                                   const std::vector<ModifiedInstance>& modified) {
    std::vector<StoreDate> deleted;
    for (const std::uint32_t minutes : deletedDates) {
        const StoreDate date = FromMinutes(minutes).DateOnly();
        const bool moved = std::any_of(modified.begin(), modified.end(), [&](const ModifiedInstance& instance) {
            return instance.originalStart.DateOnly() == date;
        });
        if (!moved) {
            deleted.push_back(date);
        }
    }
    return deleted;
}

}  // namespace

AppointmentRecurrence ParseAppointmentRecurrence(std::string_view blob, CodePageDecoder& decoder) {
    ByteReader reader(blob, "recurrence pattern");
    const StoredPattern stored = ReadStoredPattern(reader);
    AppointmentRecurrence series;
    MapPattern(stored, reader, series.pattern);
    reader.Skip(4);  // ReaderVersion2
    const std::uint32_t writerVersion = reader.U32();
    ReadTimesOfDay(reader, series);
    for (StoredException& exception : ReadExceptions(reader, writerVersion, decoder)) {
        series.modified.push_back(std::move(exception.instance));
    }
    series.deletedDates = DeletedOnly(stored.deletedDates, series.modified);
    return series;
}

}  // namespace kalendro::pst
