// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pst/recurrence_blob.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/pst/recurrence_blob_writer.h"
#include "platform/pst/test_values.h"
#include "platform/store/failure.h"
#include "testing/failure_of.h"

namespace kalendro::pst {
namespace {

using memory_store::PatternCalendar;
using memory_store::RecurrenceEnd;
using memory_store::RecurrenceType;
using testing::Exception;
using testing::ExceptionFields;
using testing::FromHex;
using testing::PatternFields;
using testing::RecurrenceBlob;

// 8-bit exception texts in Windows-1252, as a message that names no code page has them.
AppointmentRecurrence Parse(std::string_view blob) {
    CodePageDecoder windows1252;
    return ParseAppointmentRecurrence(blob, windows1252);
}

TEST(RecurrenceBlobTest, MicrosoftExampleWithAMovedOccurrence) {
    const AppointmentRecurrence series = Parse(FromHex(testing::kMicrosoftRecurrenceExample));
    EXPECT_EQ(series.pattern.type, RecurrenceType::kWeekly);
    EXPECT_EQ(series.pattern.interval, 1);
    EXPECT_EQ(series.pattern.dayOfWeekMask, 2 | 16 | 32);
    EXPECT_EQ(series.pattern.end, RecurrenceEnd::kAfterOccurrences);
    EXPECT_EQ(series.pattern.occurrences, 12);
    EXPECT_EQ(series.pattern.patternStartDate, StoreDate({2007, 3, 26}));
    EXPECT_EQ(series.pattern.patternEndDate, StoreDate({2007, 4, 20}));
    EXPECT_EQ(series.startMinutes, 600);
    EXPECT_EQ(series.endMinutes, 630);
    EXPECT_TRUE(series.deletedDates.empty());
    ASSERT_EQ(series.modified.size(), 1u);
    const ModifiedInstance& moved = series.modified[0];
    EXPECT_EQ(moved.originalStart, StoreDate({2007, 4, 16, 10, 0, 0}));
    EXPECT_EQ(moved.start, StoreDate({2007, 4, 16, 11, 0, 0}));
    EXPECT_EQ(moved.end, StoreDate({2007, 4, 16, 11, 30, 0}));
    EXPECT_EQ(moved.subject, "Simple Recurrence with exceptions");
    EXPECT_EQ(moved.location, "34/4141");
    EXPECT_EQ(moved.busyStatus, std::nullopt);
    EXPECT_EQ(moved.allDayEvent, std::nullopt);
}

struct PatternCase {
    const char* name;
    std::uint16_t frequency;
    std::uint16_t patternType;
    std::uint32_t period;
    std::vector<std::uint32_t> typeFields;
    RecurrenceType type;
    int interval;
    int dayOfWeekMask;
    int dayOfMonth;
    int instance;
    int monthOfYear;
};

TEST(RecurrenceBlobTest, EveryPatternTypeInTheModelsTerms) {
    const PatternCase cases[] = {
        {"every 3 days", 0x200A, 0, 3 * 1440, {}, RecurrenceType::kDaily, 3, 0, 0, 0, 0},
        {"every weekday", 0x200A, 1, 1, {0x3E}, RecurrenceType::kWeekly, 1, 0x3E, 0, 0, 0},
        {"every 2 weeks", 0x200B, 1, 2, {0x14}, RecurrenceType::kWeekly, 2, 0x14, 0, 0, 0},
        {"day 15 every 2 months", 0x200C, 2, 2, {15}, RecurrenceType::kMonthly, 2, 0, 15, 0, 0},
        {"last day of the month", 0x200C, 4, 1, {31}, RecurrenceType::kMonthly, 1, 0, 31, 0, 0},
        {"second Tuesday", 0x200C, 3, 1, {0x04, 2}, RecurrenceType::kMonthNth, 1, 0x04, 0, 2, 0},
        {"monthly every 12 months", 0x200C, 2, 12, {2}, RecurrenceType::kYearly, 1, 0, 2, 0, 8},
        {"yearly every 2 years", 0x200D, 2, 24, {2}, RecurrenceType::kYearly, 2, 0, 2, 0, 8},
        {"yearly third Monday", 0x200D, 3, 12, {0x02, 3}, RecurrenceType::kYearNth, 1, 0x02, 0, 3, 8},
        {"yearly last day of the month", 0x200D, 4, 12, {31}, RecurrenceType::kYearly, 1, 0, 31, 0, 8},
    };
    for (const PatternCase& test : cases) {
        PatternFields fields;
        fields.frequency = test.frequency;
        fields.patternType = test.patternType;
        fields.period = test.period;
        fields.typeFields = test.typeFields;
        const AppointmentRecurrence series = Parse(RecurrenceBlob(fields));
        EXPECT_EQ(series.pattern.type, test.type) << test.name;
        EXPECT_EQ(series.pattern.interval, test.interval) << test.name;
        EXPECT_EQ(series.pattern.dayOfWeekMask, test.dayOfWeekMask) << test.name;
        EXPECT_EQ(series.pattern.dayOfMonth, test.dayOfMonth) << test.name;
        EXPECT_EQ(series.pattern.instance, test.instance) << test.name;
        EXPECT_EQ(series.pattern.monthOfYear, test.monthOfYear) << test.name;
        EXPECT_EQ(series.pattern.firstDayOfWeek, 1) << test.name;
        EXPECT_EQ(series.startMinutes, 480) << test.name;
        EXPECT_EQ(series.endMinutes, 510) << test.name;
    }
}

// Calendars that only number their years otherwise keep Gregorian months; the Hijri pattern types
// and the Hijri calendar count Hijri months; the month of a yearly Hijri pattern is the Hijri month
// of its start (2 August 2016 is 27 Shawwal 1437).
TEST(RecurrenceBlobTest, EachCalendarTypeCountsTheMonthsItsCalendarHas) {
    const struct {
        std::uint16_t calendarType;
        std::uint16_t frequency;
        std::uint16_t patternType;
        std::uint32_t period;
        std::vector<std::uint32_t> typeFields;
        RecurrenceType type;
        PatternCalendar calendar;
        int monthOfYear;
    } cases[] = {
        {3, 0x200C, 2, 1, {2}, RecurrenceType::kMonthly, PatternCalendar::kGregorian, 0},
        {0, 0x200C, 0xA, 1, {15}, RecurrenceType::kMonthly, PatternCalendar::kHijri, 0},
        {0, 0x200C, 0xB, 3, {0x20, 5}, RecurrenceType::kMonthNth, PatternCalendar::kHijri, 0},
        {0, 0x200C, 0xC, 1, {30}, RecurrenceType::kMonthly, PatternCalendar::kHijri, 0},
        {6, 0x200D, 2, 12, {28}, RecurrenceType::kYearly, PatternCalendar::kHijri, 10},
        {6, 0x200A, 0, 1440, {}, RecurrenceType::kDaily, PatternCalendar::kHijri, 0},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(std::to_string(test.calendarType) + "/" + std::to_string(test.patternType));
        PatternFields fields;
        fields.calendarType = test.calendarType;
        fields.frequency = test.frequency;
        fields.patternType = test.patternType;
        fields.period = test.period;
        fields.typeFields = test.typeFields;
        const AppointmentRecurrence series = Parse(RecurrenceBlob(fields));
        EXPECT_EQ(series.pattern.type, test.type);
        EXPECT_EQ(series.pattern.calendar, test.calendar);
        EXPECT_EQ(series.pattern.monthOfYear, test.monthOfYear);
    }
}

void ExpectFailure(const std::string& blob, std::string_view reason) {
    const Failure failure = kalendro::testing::FailureOf([&] { Parse(blob); });
    EXPECT_EQ(failure.Number(), kStoreOperationFailed) << reason;
    EXPECT_NE(failure.Description().find(reason), std::string::npos) << failure.Description();
}

TEST(RecurrenceBlobTest, CalendarsWhoseMonthsAreNotLaidOutAreRefusedByName) {
    const std::pair<std::uint16_t, const char*> refused[] = {
        {8, "uses the Hebrew lunar calendar"},
        {13, "a calendar that is not known (type 13)"},
    };
    for (const auto& [calendarType, reason] : refused) {
        for (const std::uint16_t patternType : {std::uint16_t{1}, std::uint16_t{0xA}}) {
            PatternFields fields;
            fields.calendarType = calendarType;
            fields.patternType = patternType;
            if (patternType == 0xA) {
                fields.frequency = 0x200C;
                fields.typeFields = {15};
            }
            ExpectFailure(RecurrenceBlob(fields), reason);
        }
    }
}

TEST(RecurrenceBlobTest, EndByDateAfterACountOrNever) {
    PatternFields fields;
    fields.endType = 0x2021;
    fields.end = {2016, 12, 27};
    AppointmentRecurrence series = Parse(RecurrenceBlob(fields));
    EXPECT_EQ(series.pattern.end, RecurrenceEnd::kByDate);
    EXPECT_EQ(series.pattern.patternEndDate, StoreDate({2016, 12, 27}));

    fields.endType = 0x2022;
    fields.count = 7;
    series = Parse(RecurrenceBlob(fields));
    EXPECT_EQ(series.pattern.end, RecurrenceEnd::kAfterOccurrences);
    EXPECT_EQ(series.pattern.occurrences, 7);

    for (const std::uint32_t never : {0x2023u, 0xFFFFFFFFu}) {
        fields.endType = never;
        EXPECT_EQ(Parse(RecurrenceBlob(fields)).pattern.end, RecurrenceEnd::kNever);
    }
}

TEST(RecurrenceBlobTest, ExceptionsOverrideEachMemberAndDeletionsAreKeptApart) {
    PatternFields fields;
    fields.deleted = {{2016, 8, 9}, {2016, 8, 23}, {2016, 8, 30}};
    fields.modified = {{2016, 8, 23}, {2016, 8, 31}};
    ExceptionFields moved = Exception({2016, 8, 23, 9, 0, 0}, {2016, 8, 23, 9, 30, 0}, {2016, 8, 23, 8, 0, 0});
    moved.subject = "Caf\xE9";
    moved.wideSubject = u"Caf\u00e9";
    moved.ownBody = true;
    moved.busyStatus = 3;
    moved.everySkippedField = true;
    ExceptionFields renamed = Exception({2016, 8, 31, 0, 0, 0}, {2016, 9, 1, 0, 0, 0}, {2016, 8, 30, 8, 0, 0});
    renamed.subject = "?";
    renamed.wideSubject = u"\u65e5\u672c";
    renamed.location = "Room 1";
    renamed.wideLocation = u"Room \u2460";
    renamed.allDay = true;
    const AppointmentRecurrence series = Parse(RecurrenceBlob(fields, {moved, renamed}));

    EXPECT_EQ(series.deletedDates, std::vector<StoreDate>{StoreDate({2016, 8, 9})});
    ASSERT_EQ(series.modified.size(), 2u);
    const ModifiedInstance& first = series.modified[0];
    EXPECT_EQ(first.start, StoreDate({2016, 8, 23, 9, 0, 0}));
    EXPECT_EQ(first.end, StoreDate({2016, 8, 23, 9, 30, 0}));
    EXPECT_EQ(first.originalStart, StoreDate({2016, 8, 23, 8, 0, 0}));
    EXPECT_EQ(first.subject, "Caf\xC3\xA9");
    EXPECT_EQ(first.location, std::nullopt);
    EXPECT_EQ(first.busyStatus, 3);
    EXPECT_EQ(first.allDayEvent, std::nullopt);
    EXPECT_TRUE(first.hasOwnBody);
    const ModifiedInstance& second = series.modified[1];
    EXPECT_EQ(second.subject, "\xE6\x97\xA5\xE6\x9C\xAC");
    EXPECT_EQ(second.location, "Room \xE2\x91\xA0");
    EXPECT_EQ(second.allDayEvent, true);
    EXPECT_EQ(second.busyStatus, std::nullopt);
    EXPECT_FALSE(second.hasOwnBody);
}

TEST(RecurrenceBlobTest, SecondReservedBlockIsFoundWhereverTheWriterPutIt) {
    ExceptionFields moved = Exception({2016, 8, 9, 9, 0, 0}, {2016, 8, 9, 9, 30, 0}, {2016, 8, 9, 8, 0, 0});
    ExceptionFields renamed = Exception({2016, 8, 16, 8, 0, 0}, {2016, 8, 16, 8, 30, 0}, {2016, 8, 16, 8, 0, 0});
    renamed.subject = "?";
    renamed.wideSubject = u"\u00c9t\u00e9";
    for (const bool always : {false, true}) {
        PatternFields fields;
        fields.secondReservedBlockAlways = always;
        const AppointmentRecurrence series = Parse(RecurrenceBlob(fields, {moved, renamed}));
        ASSERT_EQ(series.modified.size(), 2u);
        EXPECT_EQ(series.modified[0].subject, std::nullopt);
        EXPECT_EQ(series.modified[1].subject, "\xC3\x89t\xC3\xA9") << always;
    }
}

TEST(RecurrenceBlobTest, OlderWriterHasNoChangeHighlight) {
    PatternFields fields;
    fields.writerVersion = 0x3008;
    ExceptionFields moved = Exception({2016, 8, 9, 9, 0, 0}, {2016, 8, 9, 9, 30, 0}, {2016, 8, 9, 8, 0, 0});
    moved.location = "Hall";
    moved.wideLocation = u"Hall";
    const AppointmentRecurrence series = Parse(RecurrenceBlob(fields, {moved}));
    ASSERT_EQ(series.modified.size(), 1u);
    EXPECT_EQ(series.modified[0].location, "Hall");
}

TEST(RecurrenceBlobTest, DamagedOrUnsupportedBlobsAreFailuresWithTheirReason) {
    PatternFields fields;
    ExceptionFields moved = Exception({2016, 8, 9, 9, 0, 0}, {2016, 8, 9, 9, 30, 0}, {2016, 8, 9, 8, 0, 0});
    moved.subject = "S";
    moved.wideSubject = u"S";
    const std::string whole = RecurrenceBlob(fields, {moved});
    // Every cut before the closing reserved block, which nothing reads.
    for (std::size_t size = 0; size + 4 < whole.size(); ++size) {
        ExpectFailure(whole.substr(0, size), "is damaged");
    }

    PatternFields huge;
    huge.deleted = {{2016, 8, 9}};
    std::string hugeCount = RecurrenceBlob(huge);
    hugeCount.replace(38, 4, "\xFF\xFF\xFF\x7F");  // the deleted dates' count
    ExpectFailure(hugeCount, "a count is larger than the blob");

    const std::pair<PatternFields, const char*> invalid[] = {
        {{.patternType = 7}, "pattern type is unknown"},
        {{.frequency = 0x200A, .patternType = 0, .period = 100, .typeFields = {}}, "daily pattern is invalid"},
        {{.typeFields = {0x80}}, "days of the week are invalid"},
        {{.period = 0}, "interval is out of range"},
        {{.frequency = 0x200C, .patternType = 3, .typeFields = {0x02, 6}}, "week of the month is out of range"},
        {{.frequency = 0x200C, .patternType = 2, .typeFields = {32}}, "day of the month is out of range"},
        {{.frequency = 0x200D, .patternType = 2, .period = 6, .typeFields = {1}}, "not a number of years"},
        {{.frequency = 0x2010}, "frequency is unknown"},
        {{.endType = 0x2024}, "end type is unknown"},
        {{.endType = 0x2022, .count = 0}, "number of occurrences is out of range"},
    };
    for (const auto& [pattern, reason] : invalid) {
        ExpectFailure(RecurrenceBlob(pattern), reason);
    }
}

TEST(RecurrenceBlobTest, AnyChangedByteGivesARecurrenceOrAFailure) {
    PatternFields fields;
    fields.deleted = {{2016, 8, 9}};
    fields.modified = {{2016, 8, 23}};
    ExceptionFields moved = Exception({2016, 8, 23, 9, 0, 0}, {2016, 8, 23, 9, 30, 0}, {2016, 8, 23, 8, 0, 0});
    moved.subject = "S";
    moved.wideSubject = u"S";
    moved.location = "L";
    moved.wideLocation = u"L";
    moved.busyStatus = 2;
    for (const std::string& blob : {FromHex(testing::kMicrosoftRecurrenceExample), RecurrenceBlob(fields, {moved})}) {
        testing::ForEachOneByteChange(blob, [](const std::string& changed) {
            try {
                Parse(changed);
            } catch (const Failure& failure) {
                EXPECT_EQ(failure.Number(), kStoreOperationFailed);
            }
        });
    }
}

}  // namespace
}  // namespace kalendro::pst
