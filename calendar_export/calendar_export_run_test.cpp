// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar_export/calendar_export_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/files/drive_table.h"
#include "testing/fake_file_system.h"
#include "testing/fake_store.h"
#include "testing/private_mounts.h"
#include "testing/recording_views.h"
#include "testing/temporary_directory.h"
#include "testing/worked_examples.h"

namespace kalendro {
namespace {

using namespace kalendro::testing;

std::shared_ptr<StoreItem> Appointment(const FakeItem& item) { return std::make_shared<FakeItem>(item); }

std::shared_ptr<StoreItem> AppointmentAt(StoreDate start, const std::string& subject) {
    FakeItem appointment = BudgetMeeting();
    appointment.Set("Start", start).Set("Subject", subject);
    return Appointment(appointment);
}

RegionalSettings DayMonthYear() {
    RegionalSettings regional;
    regional.shortDateForm = "d-M-yy";
    return regional;
}

class CalendarExportRunTest : public ::testing::Test {
protected:
    void Run() { RunCalendarExport(session, choice, regional, createFileSystem, view, collections); }

    const std::string& FileBytes(const std::string& path) {
        static const std::string kNone = "<no file>";
        const auto found = disk->files.find(path);
        return found == disk->files.end() ? kNone : found->second->Bytes();
    }

    std::shared_ptr<FakeFolder> calendar = std::make_shared<FakeFolder>(
        "Calendar", "E1", "S1", std::vector{Appointment(Holiday()), Appointment(BudgetMeeting())});
    std::shared_ptr<FakeFolder> agenda = std::make_shared<FakeFolder>(
        "Agenda", "E2", "S@2", std::vector{AppointmentAt({2002, 11, 5, 9, 0, 0}, "Agenda item")});
    FakeStore session{{calendar, agenda}};
    CalendarExportChoice choice{true, {}, "c: [home]", false, {2002, 11, 5}, {2002, 11, 7}};
    RegionalSettings regional = DayMonthYear();
    std::shared_ptr<FakeDisk> disk = std::make_shared<FakeDisk>();
    int fileSystemsMade = 0;
    FileSystemFactory createFileSystem = [this] {
        ++fileSystemsMade;
        return std::make_unique<FakeFileSystem>(disk);
    };
    RecordingCalendarView view;
    CalendarExportCollections collections;
};

constexpr const char* kPath = "c:\\Calendars\\vCalendar.ics";

TEST_F(CalendarExportRunTest, WritesTheDefaultCalendarToTheCalendarsFolderOfTheDrive) {
    Run();
    EXPECT_EQ(disk->calls,
              (std::vector<std::string>{"DriveExists c:", "FolderExists c:\\Calendars", "CreateFolder c:\\Calendars",
                                        std::string("CreateTextFile ") + kPath + " overwrite"}));
    EXPECT_EQ(FileBytes(kPath), WorkedExampleCalendar());
    EXPECT_TRUE(disk->files[kPath]->Closed());
    EXPECT_EQ(view.outputPath, kPath);
    EXPECT_EQ(view.listLines, (std::vector<std::string>{"5-11-02 14 Budget meeting", "6-11-02 Holiday"}));
    EXPECT_EQ(view.processDate, "6-11-02");
    EXPECT_EQ(view.count, "2");
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(view.calls, (std::vector<std::string>{"path", "clear", "date", "line", "progress", "date", "line",
                                                    "progress", "count"}));
}

// Remembers, when the count is shown, whether the file was closed by then.
class CountAfterCloseView : public RecordingCalendarView {
public:
    explicit CountAfterCloseView(std::function<bool()> fileClosed) : fileClosed_(std::move(fileClosed)) {}
    void ShowCount(const std::string& text) override {
        closedAtCount = fileClosed_();
        RecordingCalendarView::ShowCount(text);
    }
    std::optional<bool> closedAtCount;

private:
    std::function<bool()> fileClosed_;
};

TEST_F(CalendarExportRunTest, TheCountIsShownOnlyOnceTheFileIsClosed) {
    CountAfterCloseView countView([this] { return disk->files.at(kPath)->Closed(); });
    RunCalendarExport(session, choice, regional, createFileSystem, countView, collections);
    EXPECT_EQ(countView.count, "2");
    EXPECT_EQ(countView.closedAtCount, std::optional<bool>(true));
}

TEST_F(CalendarExportRunTest, SortsExpandsAndRestrictsToWholeDaysWithFourDigitYears) {
    Run();
    EXPECT_EQ(*calendar->faults.log, (std::vector<std::string>{"Sort [Start]", "IncludeRecurrences 1",
                                                               "Restrict [Start] >= '5-11-2002 00:00' And [End] <= "
                                                               "'8-11-2002 00:00'"}));
    ASSERT_NE(collections.rangeItems, nullptr);
    EXPECT_EQ(collections.rangeItems->Count(), 2);
}

TEST_F(CalendarExportRunTest, FilterAfter2029KeepsItsCenturyAndTheTimeSeparator) {
    regional.timeSeparator = ".";
    choice.startDate = {2031, 12, 31};
    choice.endDate = {2031, 12, 31};
    Run();
    EXPECT_EQ(calendar->faults.log->back(), "Restrict [Start] >= '31-12-2031 00.00' And [End] <= '1-1-2032 00.00'");
}

TEST_F(CalendarExportRunTest, ExistingCalendarsFolderIsNotCreatedAgain) {
    disk->folders.insert("c:\\Calendars");
    Run();
    EXPECT_EQ(disk->calls, (std::vector<std::string>{"DriveExists c:", "FolderExists c:\\Calendars",
                                                     std::string("CreateTextFile ") + kPath + " overwrite"}));
    EXPECT_EQ(view.count, "2");
}

TEST_F(CalendarExportRunTest, EmptyRangeGivesHeaderAndTrailerAndEmptyResults) {
    calendar = std::make_shared<FakeFolder>("Calendar", "E1", "S1");
    session = FakeStore({calendar});
    view.listLines = {"from the run before"};
    view.processDate = "1-1-02";
    Run();
    EXPECT_EQ(FileBytes(kPath), FirstLines(WorkedExampleCalendar(), 4) + "END:VCALENDAR\r\n");
    EXPECT_TRUE(view.listLines.empty());
    EXPECT_EQ(view.processDate, "");
    EXPECT_EQ(view.count, "0");
}

TEST_F(CalendarExportRunTest, ProcessDateIsCutFromTheWholeGeneralDate) {
    calendar = std::make_shared<FakeFolder>("Calendar", "E1", "S1",
                                            std::vector{AppointmentAt({2002, 11, 5, 14, 0, 0}, "Afternoon"),
                                                        AppointmentAt({2002, 11, 25, 9, 30, 0}, "Morning"),
                                                        AppointmentAt({2002, 11, 5, 0, 0, 0}, "Midnight")});
    session = FakeStore({calendar});
    Run();
    EXPECT_EQ(view.listLines,
              (std::vector<std::string>{"5-11-02 Midnight", "5-11-02 14 Afternoon", "25-11-02 0 Morning"}));
    EXPECT_EQ(view.processDate, "25-11-02 0");
}

TEST_F(CalendarExportRunTest, ListLineKeepsTheSubjectAsTheStoreGivesIt) {
    calendar = std::make_shared<FakeFolder>("Calendar", "E1", "S1",
                                            std::vector{AppointmentAt({2002, 11, 5, 0, 0, 0}, "Two\r\nlines")});
    session = FakeStore({calendar});
    Run();
    EXPECT_EQ(view.listLines, (std::vector<std::string>{"5-11-02 Two\r\nlines"}));
}

TEST_F(CalendarExportRunTest, ChosenFolderThenRootClickExportsTheDefaultCalendarAgain) {
    choice.useCalendarName = true;
    choice.useDefaultCalendar = false;
    choice.selectedFolderKey = FolderKey{"E2", "S@2"};
    Run();
    EXPECT_EQ(view.outputPath, "c:\\Calendars\\AgendavCalendar.ics");
    EXPECT_EQ(view.listLines, (std::vector<std::string>{"5-11-02 09 Agenda item"}));

    choice.useDefaultCalendar = true;
    Run();
    EXPECT_EQ(view.outputPath, "c:\\Calendars\\CalendarvCalendar.ics");
    EXPECT_EQ(view.count, "2");
    EXPECT_EQ(FileBytes("c:\\Calendars\\CalendarvCalendar.ics"), WorkedExampleCalendar());
}

TEST_F(CalendarExportRunTest, CalendarNameThatIsNoFileNameWritesNothing) {
    for (const std::string& bad : std::vector<std::string>{"a\\b", "..\\..\\x", "a/b", "c:", "a*", "a?", "a\"", "a<",
                                                           "a>", "a|", "tab\t", std::string("nul\0", 4), "\x1f"}) {
        agenda = std::make_shared<FakeFolder>(bad, "E2", "S2");
        session = FakeStore({calendar, agenda});
        disk = std::make_shared<FakeDisk>();
        choice = {false, FolderKey{"E2", "S2"}, "c: [home]", true, {2002, 11, 5}, {2002, 11, 7}};
        view = RecordingCalendarView();
        Run();
        EXPECT_TRUE(disk->files.empty()) << bad;
        EXPECT_EQ(view.messages, std::vector<std::string>{kCalendarExportFailureMessage}) << bad;
        ASSERT_TRUE(view.cause.has_value());
        EXPECT_EQ(view.cause->Number(), kBadFileName);
        EXPECT_TRUE(view.outputPath.empty()) << bad;
    }
}

TEST_F(CalendarExportRunTest, VanishedDriveShowsTheMessageAndChangesNothing) {
    Run();
    const RecordingCalendarView afterFirstRun = view;
    disk->drives.clear();
    disk->calls.clear();
    Run();
    EXPECT_EQ(disk->calls, std::vector<std::string>{"DriveExists c:"});
    EXPECT_EQ(view.messages, std::vector<std::string>{kCalendarExportFailureMessage});
    EXPECT_EQ(view.listLines, afterFirstRun.listLines);
    EXPECT_EQ(view.count, "2");
    EXPECT_EQ(view.processDate, afterFirstRun.processDate);
    EXPECT_EQ(view.calls.size(), afterFirstRun.calls.size() + 1);
}

TEST_F(CalendarExportRunTest, FolderThatCannotBeMadeKeepsThePreviousResults) {
    view.listLines = {"from the run before"};
    view.count = "1";
    disk->createFolderFails = true;
    Run();
    EXPECT_TRUE(disk->files.empty());
    EXPECT_EQ(view.messages, std::vector<std::string>{kCalendarExportFailureMessage});
    EXPECT_EQ(view.listLines, std::vector<std::string>{"from the run before"});
    EXPECT_EQ(view.count, "1");
}

TEST_F(CalendarExportRunTest, WriteFailingMidBlockLeavesTheExactPrefix) {
    for (int lines : {0, 3, 4, 10, 17, 20, 29}) {
        disk = std::make_shared<FakeDisk>();
        disk->failAfterWrites = lines;
        view = RecordingCalendarView();
        Run();
        EXPECT_EQ(FileBytes(kPath), FirstLines(WorkedExampleCalendar(), lines)) << lines;
        EXPECT_EQ(view.messages, std::vector<std::string>{kCalendarExportFailureMessage}) << lines;
        EXPECT_EQ(view.count, "") << lines;
        EXPECT_EQ(view.outputPath, kPath);
        // An appointment is listed before its block is written.
        EXPECT_EQ(view.listLines.size(), lines < 4 ? 0u : lines < 17 ? 1u : 2u) << lines;
    }
}

TEST_F(CalendarExportRunTest, RangeElementThatIsNoAppointmentEndsTheRun) {
    calendar =
        std::make_shared<FakeFolder>("Calendar", "E1", "S1",
                                     std::vector<std::shared_ptr<StoreItem>>{
                                         Appointment(BudgetMeeting()), Appointment(Holiday().WithType("MailItem"))});
    session = FakeStore({calendar});
    Run();
    EXPECT_EQ(FileBytes(kPath), LinesFromTo(WorkedExampleCalendar(), "BEGIN:VCALENDAR", "END:VEVENT"));
    EXPECT_EQ(view.listLines.size(), 1u);
    EXPECT_EQ(view.messages, std::vector<std::string>{kCalendarExportFailureMessage});
    ASSERT_TRUE(view.cause.has_value());
    EXPECT_EQ(view.cause->Number(), kTypeMismatch);
}

TEST_F(CalendarExportRunTest, UnreadableFilterLeavesAnEmptyFileAndClearedResults) {
    calendar->faults.failRestrict = true;
    view.listLines = {"from the run before"};
    Run();
    EXPECT_EQ(FileBytes(kPath), "");
    EXPECT_TRUE(view.listLines.empty());
    EXPECT_EQ(view.count, "");
    EXPECT_EQ(view.messages, std::vector<std::string>{kCalendarExportFailureMessage});
}

TEST_F(CalendarExportRunTest, RemovedFolderIsReportedWithItsNumberBeforeAnyFileWork) {
    choice.useDefaultCalendar = false;
    choice.selectedFolderKey = FolderKey{"GONE", "S1"};
    Run();
    EXPECT_EQ(fileSystemsMade, 0);
    EXPECT_EQ(view.messages, std::vector<std::string>{"Run-time error '440':\n\nThe folder could not be found"});
    EXPECT_EQ(collections.calendarItems, nullptr);
}

namespace fs = std::filesystem;

// The run on the disk, with players the test plugs in through the mount list.
class CalendarExportToPlayersTest : public CalendarExportRunTest {
protected:
    void SetUp() override {
        createFileSystem = [this] { return OpenDiskFileSystem(table, "UTF-8", home.Path().string()); };
    }

    fs::path Player(const std::string& name) const { return players.Path() / name; }

    // Exactly these players are mounted now; the table has seen it.
    void Mount(const std::vector<std::string>& names) {
        std::vector<std::string> directories;
        for (const std::string& name : names) {
            fs::create_directories(Player(name));
            directories.push_back(Player(name).string());
        }
        mounted = DirectoriesAsMounts(directories)();
        table->Refresh();
    }

    testing::TemporaryDirectory home;
    testing::TemporaryDirectory players;
    std::vector<DriveMount> mounted;
    std::shared_ptr<DriveTable> table = std::make_shared<DriveTable>(home.Path().string(), [this] { return mounted; });
};

TEST_F(CalendarExportToPlayersTest, LinksOnThePlayerLeadNowhereElse) {
    Mount({"IPOD"});
    choice.driveText = "d: [IPOD]";
    testing::TemporaryDirectory elsewhere;
    fs::create_directory_symlink(elsewhere.Path(), Player("IPOD") / "Calendars");
    Run();
    EXPECT_EQ(view.messages, std::vector<std::string>{kCalendarExportFailureMessage});
    ASSERT_TRUE(view.cause.has_value());
    EXPECT_EQ(view.cause->Number(), kPathFileAccessError);
    EXPECT_NE(view.cause->Description().find((Player("IPOD") / "Calendars").string() + " is a symbolic link"),
              std::string::npos)
        << view.cause->Description();
    EXPECT_TRUE(fs::is_empty(elsewhere.Path()));

    fs::remove(Player("IPOD") / "Calendars");
    fs::create_directory(Player("IPOD") / "Calendars");
    const fs::path precious = elsewhere.Path() / "precious";
    std::ofstream(precious) << "keep me";
    fs::create_symlink(precious, Player("IPOD") / "Calendars" / "vCalendar.ics");
    view = {};
    Run();
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(testing::ReadFileBytes(Player("IPOD") / "Calendars" / "vCalendar.ics"), WorkedExampleCalendar());
    EXPECT_EQ(testing::ReadFileBytes(precious), "keep me");
}

// A player that is a real small file system (a tmpfs), where the tests may mount one.
class CalendarExportToSmallPlayerTest : public CalendarExportToPlayersTest {
protected:
    static constexpr std::size_t kPlayerSize = 256 * 1024;

    void SetUp() override {
        CalendarExportToPlayersTest::SetUp();
        if (!mounts->SkipReason().empty()) {
            GTEST_SKIP() << mounts->SkipReason();
        }
        table = std::make_shared<DriveTable>(home.Path().string(), testing::MountPointsAmong({Player("IPOD")}));
        choice.driveText = "d: [IPOD]";
        choice.endDate = {2002, 12, 31};
    }
    void TearDown() override { mounts.reset(); }

    // A calendar of many appointments, far more than the player holds.
    void FillCalendar(int appointments) {
        std::vector<std::shared_ptr<StoreItem>> items;
        for (int i = 0; i < appointments; ++i) {
            items.push_back(AppointmentAt({2002, 11, 5 + i % 50, 9, 0, 0}, "Appointment " + std::to_string(i)));
        }
        calendar = std::make_shared<FakeFolder>("Calendar", "E1", "S1", items);
        session = FakeStore({calendar});
    }

    // A fresh player with only this many bytes free.
    void MountPlayerWithFree(std::size_t free) {
        mounts.reset();
        mounts.emplace();
        mounts->MountSmall(Player("IPOD"), kPlayerSize);
        std::ofstream(Player("IPOD") / "filler") << std::string(kPlayerSize - free, 'x');
        // The new tmpfs may have another device number than the last one (a test running beside this one
        // may have taken the freed number), and the table rightly holds the letter to the old device:
        // plug the player in anew.
        table = std::make_shared<DriveTable>(home.Path().string(), testing::MountPointsAmong({Player("IPOD")}));
    }

    std::optional<testing::PrivateMounts> mounts{std::in_place};
};

TEST_F(CalendarExportToSmallPlayerTest, ADiskFillingAtAnyPointShowsOneMessageAndNoCount) {
    constexpr std::size_t kAppointments = 500;
    constexpr std::size_t kWriteBatch = 64 * 1024;
    FillCalendar(kAppointments);
    choice.driveText = "c: [home]";
    Run();
    const std::string whole = testing::ReadFileBytes(home.Path() / "Calendars" / "vCalendar.ics");
    ASSERT_EQ(view.count, std::to_string(kAppointments));
    ASSERT_GT(whole.size(), 2 * kWriteBatch);
    ASSERT_LT(whole.size(), kPlayerSize);
    choice.driveText = "d: [IPOD]";
    for (const std::size_t free : {std::size_t{0}, std::size_t{4096}, whole.size() / 2, whole.size() - 1}) {
        MountPlayerWithFree(free);
        view = RecordingCalendarView();
        Run();
        EXPECT_EQ(view.messages, std::vector<std::string>{kCalendarExportFailureMessage}) << free;
        ASSERT_TRUE(view.cause.has_value()) << free;
        EXPECT_EQ(view.cause->Number(), kDiskFull) << free;
        EXPECT_EQ(view.count, "") << free;
        const std::string kept = testing::ReadFileBytes(Player("IPOD") / "Calendars" / "vCalendar.ics");
        EXPECT_EQ(kept, whole.substr(0, kept.size())) << free;
        EXPECT_LE(kept.size(), free) << free;
        // Reported when the batch that does not fit is sent, not after the whole list.
        if (free + kWriteBatch < whole.size()) {
            EXPECT_LT(view.listLines.size(), kAppointments) << free;
        }
    }
}

TEST_F(CalendarExportToSmallPlayerTest, ASmallFileOnAFullDiskFailsAtCloseBeforeTheCount) {
    MountPlayerWithFree(0);
    Run();
    EXPECT_EQ(view.messages, std::vector<std::string>{kCalendarExportFailureMessage});
    EXPECT_EQ(view.count, "");
    EXPECT_EQ(view.listLines.size(), 2u);
}

}  // namespace
}  // namespace kalendro
