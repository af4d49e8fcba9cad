// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar_export/calendar_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "testing/fake_store.h"
#include "testing/memory_text_stream.h"
#include "testing/worked_examples.h"

namespace kalendro {
namespace {

using testing::BudgetMeeting;
using testing::FakeItem;
using testing::FirstLines;
using testing::Holiday;
using testing::LinesFromTo;
using testing::MemoryTextStream;
using testing::WorkedExampleCalendar;

void WriteExample(TextStream& file) {
    WriteCalendarHeader(file);
    WriteAppointmentEvent(file, BudgetMeeting());
    WriteAppointmentEvent(file, Holiday());
    WriteCalendarTrailer(file);
}

// The lines of one event block written for the appointment, without BEGIN and END.
std::vector<std::string> EventLines(const FakeItem& appointment) {
    MemoryTextStream file;
    WriteAppointmentEvent(file, appointment);
    std::vector<std::string> lines;
    const std::string& bytes = file.Bytes();
    for (std::size_t start = 0; start < bytes.size();) {
        const std::size_t end = bytes.find("\r\n", start);
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    EXPECT_EQ(lines.front(), "BEGIN:VEVENT");
    EXPECT_EQ(lines.back(), "END:VEVENT");
    return {lines.begin() + 1, lines.end() - 1};
}

std::vector<std::string> EventLinesWith(const std::string& member, FakeItem::Value value) {
    FakeItem appointment = BudgetMeeting();
    appointment.Set(member, std::move(value));
    return EventLines(appointment);
}

// The one line of the event block that starts with the key.
std::string LineOf(const std::vector<std::string>& lines, const std::string& key) {
    std::string found;
    for (const auto& line : lines) {
        if (line.rfind(key, 0) == 0) {
            EXPECT_TRUE(found.empty()) << "two lines " << key;
            found = line;
        }
    }
    return found;
}

TEST(CalendarWriterTest, WritesTheWorkedExampleByteForByte) {
    MemoryTextStream file;
    WriteExample(file);
    EXPECT_EQ(file.Bytes(), WorkedExampleCalendar());
}

TEST(CalendarWriterTest, StreamFailingAfterNLinesLeavesExactlyThoseLines) {
    const std::string example = WorkedExampleCalendar();
    const std::size_t lineCount = testing::LineCount(example);
    for (std::size_t n = 0; n < lineCount; ++n) {
        MemoryTextStream file(static_cast<int>(n));
        EXPECT_THROW(WriteExample(file), Failure) << n;
        EXPECT_EQ(file.Bytes(), FirstLines(example, n)) << n;
    }
    MemoryTextStream file(static_cast<int>(lineCount));
    EXPECT_NO_THROW(WriteExample(file));
}

TEST(CalendarWriterTest, FailingReadLeavesTheLinesBeforeIt) {
    MemoryTextStream file;
    FakeItem appointment = BudgetMeeting();
    appointment.FailOn("Subject");
    EXPECT_THROW(WriteAppointmentEvent(file, appointment), Failure);
    EXPECT_EQ(file.Bytes(), LinesFromTo(WorkedExampleCalendar(), "BEGIN:VEVENT", "DESCRIPTION:"));
}

TEST(CalendarWriterTest, EmptyAndBlankTexts) {
    EXPECT_EQ(LineOf(EventLinesWith("Body", std::string()), "DESCRIPTION"), "DESCRIPTION:");
    EXPECT_EQ(LineOf(EventLinesWith("Subject", std::string()), "SUMMARY"), "SUMMARY:");
    EXPECT_EQ(LineOf(EventLinesWith("Location", std::string()), "LOCATION"), "");
    EXPECT_EQ(LineOf(EventLinesWith("Categories", std::string()), "CATEGORIES"), "");
    EXPECT_EQ(LineOf(EventLinesWith("Location", std::string(" ")), "LOCATION"), "LOCATION: ");
}

TEST(CalendarWriterTest, LineBreaksInDescriptionAndSummaryBecomeBackslashN) {
    const auto description = [](const std::string& body) {
        return LineOf(EventLinesWith("Body", body), "DESCRIPTION");
    };
    EXPECT_EQ(description("a\r\n\r\nb"), "DESCRIPTION:a\\n\\nb");
    EXPECT_EQ(description("ends\r\n"), "DESCRIPTION:ends\\n");
    EXPECT_EQ(description("lone\nfeed"), "DESCRIPTION:lone\\nfeed");
    EXPECT_EQ(description("lone\rreturn"), "DESCRIPTION:lone\\nreturn");
    EXPECT_EQ(description("a\r\r\nb\n\rc"), "DESCRIPTION:a\\n\\nb\\n\\nc");
    EXPECT_EQ(LineOf(EventLinesWith("Subject", std::string("one\ntwo\r\nthree\r")), "SUMMARY"),
              "SUMMARY:one\\ntwo\\nthree\\n");
}

TEST(CalendarWriterTest, NoValueEverBreaksALine) {
    FakeItem appointment = BudgetMeeting();
    for (const char* member : {"Location", "EntryID", "Body", "Subject", "Categories"}) {
        appointment.Set(member, "x\ry\nz\r\n");
    }
    MemoryTextStream file;
    WriteAppointmentEvent(file, appointment);
    const std::string& bytes = file.Bytes();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' || bytes[i] == '\n') {
            const std::size_t pairStart = bytes[i] == '\r' ? i : i - 1;
            ASSERT_EQ(bytes.compare(pairStart, 2, "\r\n"), 0) << "stray line break at " << i;
            i = pairStart + 1;
        }
    }
    EXPECT_EQ(file.Writes(), 13);
}

TEST(CalendarWriterTest, BackslashSemicolonAndCommaAreEscapedInTexts) {
    const std::string text = "C:\\temp\\new; team, all \\n";
    const std::string escaped = "C:\\\\temp\\\\new\\; team\\, all \\\\n";
    EXPECT_EQ(LineOf(EventLinesWith("Subject", text), "SUMMARY"), "SUMMARY:" + escaped);
    EXPECT_EQ(LineOf(EventLinesWith("Body", text + "\r\n"), "DESCRIPTION"), "DESCRIPTION:" + escaped + "\\n");
    EXPECT_EQ(LineOf(EventLinesWith("Location", text), "LOCATION"), "LOCATION:" + escaped);
}

TEST(CalendarWriterTest, CategoriesAreAListOfTrimmedEscapedNames) {
    const auto categories = [](const std::string& text) {
        return LineOf(EventLinesWith("Categories", text), "CATEGORIES");
    };
    EXPECT_EQ(categories("Business, Personal"), "CATEGORIES:Business,Personal");
    EXPECT_EQ(categories("  Work ,Project; X,, Back\\slash , "), "CATEGORIES:Work,Project\\; X,Back\\\\slash");
    EXPECT_EQ(categories("Two words"), "CATEGORIES:Two words");
    EXPECT_EQ(categories(" "), "");
    EXPECT_EQ(categories(" , ,,"), "");
}

TEST(CalendarWriterTest, EntryIdIsWrittenWithoutPunctuationEscapes) {
    EXPECT_EQ(LineOf(EventLinesWith("EntryID", std::string("A;B,C\\D")), "UID"), "UID:A;B,C\\D");
}

TEST(CalendarWriterTest, LongDescriptionStaysOneLine) {
    const std::string body(5000, 'x');
    EXPECT_EQ(LineOf(EventLinesWith("Body", body), "DESCRIPTION"), "DESCRIPTION:" + body);
}

TEST(CalendarWriterTest, PriorityIsTheImportanceInDecimal) {
    EXPECT_EQ(LineOf(EventLinesWith("Importance", std::int32_t{0}), "PRIORITY"), "PRIORITY:0");
    EXPECT_EQ(LineOf(EventLinesWith("Importance", std::int32_t{-7}), "PRIORITY"), "PRIORITY:-7");
    EXPECT_EQ(LineOf(EventLinesWith("Importance", std::int32_t{-2147483647 - 1}), "PRIORITY"), "PRIORITY:-2147483648");
}

TEST(CalendarWriterTest, AllDayEventGetsTranspBetweenPriorityAndCategories) {
    const auto withCategories = EventLinesWith("AllDayEvent", true);
    ASSERT_GE(withCategories.size(), 3u);
    EXPECT_EQ(withCategories[withCategories.size() - 3], "PRIORITY:2");
    EXPECT_EQ(withCategories[withCategories.size() - 2], "TRANSP:TRANSPARENT");
    EXPECT_EQ(withCategories.back(), "CATEGORIES:Business");

    FakeItem noCategories = BudgetMeeting();
    noCategories.Set("AllDayEvent", true).Set("Categories", "");
    EXPECT_EQ(EventLines(noCategories).back(), "TRANSP:TRANSPARENT");

    EXPECT_EQ(LineOf(EventLinesWith("AllDayEvent", false), "TRANSP"), "");
}

TEST(CalendarWriterTest, AnOccurrenceIsNamedByItsSeriesAndTheDateItsPatternGaveIt) {
    FakeItem moved = BudgetMeeting();
    moved.Set("OriginalDate", StoreDate{2002, 11, 4, 14, 0, 0});
    EXPECT_EQ(LineOf(EventLines(moved), "UID"), "UID:00000000AB12CD34-20021104");
    EXPECT_EQ(LineOf(EventLines(BudgetMeeting()), "UID"), "UID:00000000AB12CD34");
}

TEST(CalendarWriterTest, AnAppointmentEndingWhenItStartsHasNoEnd) {
    FakeItem instant = BudgetMeeting();
    instant.Set("End", StoreDate{2002, 11, 5, 14, 0, 0});
    const auto lines = EventLines(instant);
    EXPECT_EQ(LineOf(lines, "DTSTART"), "DTSTART:20021105T140000");
    EXPECT_EQ(LineOf(lines, "DTEND"), "");
    EXPECT_EQ(LineOf(lines, "LAST-MODIFIED"), "LAST-MODIFIED:20021104T093540");
    EXPECT_EQ(LineOf(EventLinesWith("End", StoreDate{2002, 11, 5, 14, 0, 1}), "DTEND"), "DTEND:20021105T140001");
}

TEST(CalendarWriterTest, SameEntryIdGivesSameUidInEachBlock) {
    MemoryTextStream file;
    WriteAppointmentEvent(file, BudgetMeeting());
    WriteAppointmentEvent(file, BudgetMeeting());
    const std::string block = LinesFromTo(WorkedExampleCalendar(), "BEGIN:VEVENT", "END:VEVENT");
    EXPECT_EQ(file.Bytes(), block + block);
}

TEST(CalendarWriterTest, NoDateValuesAreWrittenLikeAnyOtherDate) {
    const auto lines = EventLinesWith("LastModificationTime", StoreDate::NoDate());
    EXPECT_EQ(LineOf(lines, "LAST-MODIFIED"), "LAST-MODIFIED:45010101T000000");
}

}  // namespace
}  // namespace kalendro
