// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pst/series_pattern.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/memory_store/recurrence.h"
#include "platform/pst/item_classes.h"
#include "platform/pst/item_mapping.h"
#include "platform/pst/series_mapping.h"
#include "platform/pst/recurrence_blob_writer.h"

namespace kalendro::pst {
namespace {

namespace t = testing;
using memory_store::MemoryItem;

struct Series {
    MemoryItem item{"AppointmentItem"};
    std::vector<LeftOutException> leftOut;
};

// An appointment whose only property is its recurrence, read in this machine's zone.
Series SeriesOf(const t::PatternFields& fields, const std::vector<t::ExceptionFields>& exceptions = {}) {
    Message message;
    message.properties.Set(Lid(kPsetidAppointment, 0x8216), t::Binary(t::RecurrenceBlob(fields, exceptions)));
    Series series;
    CodePageDecoder decoder;
    series.leftOut = AddRecurrence(series.item, message, decoder);
    return series;
}

std::vector<std::string> Starts(const MemoryItem& item, const char* from, const char* to) {
    const StoreDate start = std::get<StoreDate>(*item.members.Find(memory_store::MemberId::kStart));
    const StoreDate end = std::get<StoreDate>(*item.members.Find(memory_store::MemberId::kEnd));
    const memory_store::RecurringSeries series(*item.recurrence, start, end);
    std::vector<std::string> starts;
    for (const memory_store::Occurrence& occurrence :
         series.OccurrencesIn({StoreDate::Parse(from), StoreDate::Parse(to)})) {
        starts.push_back(occurrence.start.ToText());
    }
    return starts;
}

// Tuesdays at 08:00 from 2 August 2016: the 9th deleted, the 23rd moved to 09:00; a deletion on
// Wednesday the 10th and a second change of the 23rd break the pattern and are left out alone.
TEST(SeriesPatternTest, AnExceptionThatBreaksThePatternIsLeftOutAndTheSeriesKept) {
    t::PatternFields fields;
    fields.deleted = {{2016, 8, 9}, {2016, 8, 10}};
    fields.modified = {{2016, 8, 23}, {2016, 8, 23}};
    const std::vector<t::ExceptionFields> exceptions = {
        t::Exception({2016, 8, 23, 9, 0, 0}, {2016, 8, 23, 9, 30, 0}, {2016, 8, 23, 8, 0, 0}),
        t::Exception({2016, 8, 23, 11, 0, 0}, {2016, 8, 23, 11, 30, 0}, {2016, 8, 23, 8, 0, 0}),
    };
    const Series series = SeriesOf(fields, exceptions);
    ASSERT_NE(series.item.recurrence, nullptr);
    EXPECT_EQ(series.item.recurrence->exceptions.size(), 2u);
    EXPECT_EQ(Starts(series.item, "2016-08-01", "2016-08-31"),
              (std::vector<std::string>{"2016-08-02T08:00:00", "2016-08-16T08:00:00", "2016-08-23T09:00:00",
                                        "2016-08-30T08:00:00"}));
    ASSERT_EQ(series.leftOut.size(), 2u);
    EXPECT_EQ(series.leftOut[0].originalStart, StoreDate({2016, 8, 10, 8, 0, 0}));
    EXPECT_EQ(LeftOutExceptionText("Team sync", series.leftOut[0]),
              "the exception of 2016-08-10T08:00:00 of \"Team sync\": it is no occurrence of the pattern");
    EXPECT_EQ(series.leftOut[1].originalStart, StoreDate({2016, 8, 23, 8, 0, 0}));
    EXPECT_EQ(series.leftOut[1].reason, "another exception already changes that occurrence");
}

// The fortnightly Sunday-and-Tuesday series, weeks from Monday, begun on Tuesday 2 January
// 2024: its Sunday the 7th is an occurrence, and deleting it keeps the series.
TEST(SeriesPatternTest, AWeeklySeriesCountsItsWeeksFromItsFirstDayOfTheWeek) {
    t::PatternFields fields;
    fields.period = 2;
    fields.typeFields = {1 | 4};
    fields.firstDayOfWeek = 1;
    fields.start = {2024, 1, 2};
    fields.deleted = {{2024, 1, 7}};
    const Series series = SeriesOf(fields);
    EXPECT_TRUE(series.leftOut.empty());
    EXPECT_EQ(Starts(series.item, "2024-01-01", "2024-01-31"),
              (std::vector<std::string>{"2024-01-02T08:00:00", "2024-01-16T08:00:00", "2024-01-21T08:00:00",
                                        "2024-01-30T08:00:00"}));
}

// The first of each Hijri month from 1 Muharram 1445 (python-convertdate's dates); a Japanese-era
// series counts Gregorian months.
TEST(SeriesPatternTest, MonthlySeriesCountTheMonthsOfTheirCalendar) {
    t::PatternFields hijri;
    hijri.frequency = 0x200C;
    hijri.patternType = 0xA;
    hijri.typeFields = {1};
    hijri.start = {2023, 7, 19};
    EXPECT_EQ(Starts(SeriesOf(hijri).item, "2023-07-01", "2023-10-31"),
              (std::vector<std::string>{"2023-07-19T08:00:00", "2023-08-18T08:00:00", "2023-09-16T08:00:00",
                                        "2023-10-16T08:00:00"}));
    t::PatternFields japanese = hijri;
    japanese.patternType = 2;
    japanese.calendarType = 3;
    EXPECT_EQ(Starts(SeriesOf(japanese).item, "2023-07-01", "2023-09-30"),
              (std::vector<std::string>{"2023-08-01T08:00:00", "2023-09-01T08:00:00"}));
}

}  // namespace
}  // namespace kalendro::pst
