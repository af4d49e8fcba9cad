// SPDX-License-Identifier: GPL-3.0-or-later
// The run over the mailbox store: what the store's sort, recurrence expansion and restriction give
// the run, seen in the list lines, the count and the file.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "calendar_export/calendar_export_run.h"
#include "platform/mailbox/mailbox_store.h"
#include "testing/fake_file_system.h"
#include "testing/recording_views.h"
#include "testing/source_path.h"
#include "testing/worked_examples.h"

namespace kalendro {
namespace {

using namespace kalendro::testing;

class CalendarExportStoreTest : public ::testing::Test {
protected:
    // The default calendar of a mailbox file beside this test, from the first day to the last.
    RecordingCalendarView Export(const char* mailbox, StoreDate first, StoreDate last) {
        const std::string path = SourcePath(std::string("calendar_export/") + mailbox).string();
        const auto session = OpenMailboxFile(path, regional)->GetNamespace("MAPI");
        const CalendarExportChoice choice{true, {}, "c: [home]", false, first, last};
        const FileSystemFactory createFileSystem = [this] { return std::make_unique<FakeFileSystem>(disk); };
        RecordingCalendarView view;
        CalendarExportCollections collections;
        RunCalendarExport(*session, choice, regional, createFileSystem, view, collections);
        EXPECT_TRUE(view.messages.empty()) << view.messages.front() << ": " << view.cause->what();
        return view;
    }

    std::string File() { return disk->files.at("c:\\Calendars\\vCalendar.ics")->Bytes(); }

    RegionalSettings regional = [] {
        RegionalSettings settings;
        settings.shortDateForm = "d-M-yy";
        return settings;
    }();
    std::shared_ptr<FakeDisk> disk = std::make_shared<FakeDisk>();
};

TEST_F(CalendarExportStoreTest, WeeklySeriesGivesOneBlockPerOccurrenceInStartOrder) {
    const RecordingCalendarView view = Export("weekly-series-mailbox.json", {2002, 11, 1}, {2002, 11, 21});
    EXPECT_EQ(view.listLines,
              (std::vector<std::string>{"5-11-02 10 Team", "12-11-02 0 Early", "12-11-02 1 Team", "19-11-02 1 Team"}));
    EXPECT_EQ(view.count, "4");
    const std::string file = File();
    EXPECT_EQ(CountOf(file, "BEGIN:VEVENT\r\n"), 4);
    EXPECT_EQ(CountOf(file, "SUMMARY:Team\r\n"), 3);
    for (const char* start : {"DTSTART:20021105T100000", "DTSTART:20021112T100000", "DTSTART:20021119T100000"}) {
        EXPECT_EQ(CountOf(file, start), 1) << start;
    }
}

TEST_F(CalendarExportStoreTest, TwoDigitYearFormStillFindsAppointmentsAfter2029) {
    const RecordingCalendarView view = Export("centuries-mailbox.json", {2031, 3, 4}, {2031, 3, 4});
    EXPECT_EQ(view.listLines, std::vector<std::string>{"4-3-31 09: Far ahead"});
}

}  // namespace
}  // namespace kalendro
