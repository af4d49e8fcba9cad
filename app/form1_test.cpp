// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/form1.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <sstream>

#include <fcntl.h>
#include <langinfo.h>
#include <unistd.h>

#include "app/image_list.h"
#include "platform/files/drive_table.h"
#include "platform/mailbox/mailbox_store.h"
#include "platform/store/failure.h"
#include "testing/caught_command.h"
#include "testing/label_fit.h"
#include "testing/source_path.h"
#include "testing/temporary_directory.h"
#include "testing/window_controls.h"
#include "tools/commands.h"
#include "testing/failure_of.h"

namespace kalendro {
namespace {

using testing::FindControl;

const QDate kToday(2002, 11, 5);

// Mailbox files of the source tree. One store "Personal Folders" (S1) whose default calendar C1 holds three
// appointments on 5 November 2002 and a nested calendar, an inbox and an empty calendar; a second store
// "Archive" without calendars.
const char* const kTwoStores = "app/two-stores-mailbox.json";
// Store names that cannot serve as keys as they stand: the root's own and repeated ones.
const char* const kClashingStoreNames = "app/clashing-store-names-mailbox.json";

// Each node as "text [key]", indented by its depth, marked "+" when expanded.
void DumpNode(const QTreeWidgetItem& node, int depth, std::ostringstream& out) {
    out << std::string(depth, ' ') << (node.isExpanded() ? "+" : "") << node.text(0).toStdString() << " ["
        << node.data(0, Qt::UserRole).toString().toStdString() << "]\n";
    for (int child = 0; child < node.childCount(); ++child) {
        DumpNode(*node.child(child), depth + 1, out);
    }
}

std::string DumpTree(const QTreeWidget& tree) {
    std::ostringstream out;
    for (int top = 0; top < tree.topLevelItemCount(); ++top) {
        DumpNode(*tree.topLevelItem(top), 0, out);
    }
    return out.str();
}

// The tree DumpTree gives for the mailbox: the golden file NAME.tree beside NAME.json.
std::string ExpectedTree(const char* mailbox) {
    return testing::ReadFileBytes(testing::SourcePath(mailbox).replace_extension(".tree"));
}

QTreeWidgetItem* NodeByText(const QTreeWidget& tree, const char* text) {
    const auto found = tree.findItems(QString::fromLatin1(text), Qt::MatchExactly | Qt::MatchRecursive);
    EXPECT_EQ(found.size(), 1) << text;
    return found.value(0);
}

QImage Image(const QIcon& icon) { return icon.pixmap(16, 16).toImage(); }

std::vector<std::string> ListLines(const QListWidget& list) {
    std::vector<std::string> lines;
    for (int row = 0; row < list.count(); ++row) {
        lines.push_back(list.item(row)->text().toStdString());
    }
    return lines;
}

int OpenWindowsOfClass(const char* className) {
    int count = 0;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        count += window->inherits(className) && window->isVisible() ? 1 : 0;
    }
    return count;
}

// A session whose top-level folders cannot be read, as when a store fails to open.
class SessionWithBrokenStores : public StoreSession {
public:
    explicit SessionWithBrokenStores(std::shared_ptr<StoreSession> session) : session_(std::move(session)) {}
    std::shared_ptr<StoreFolder> GetDefaultFolder(int folderType) override {
        return session_->GetDefaultFolder(folderType);
    }
    std::shared_ptr<StoreFolder> GetFolderFromID(std::string_view entryId, std::string_view storeId) override {
        return session_->GetFolderFromID(entryId, storeId);
    }
    std::vector<std::shared_ptr<StoreFolder>> Folders() override {
        throw Failure(kStoreOperationFailed, "The store Archive cannot be opened");
    }

private:
    std::shared_ptr<StoreSession> session_;
};

class ApplicationWithBrokenStores : public StoreApplication {
public:
    explicit ApplicationWithBrokenStores(std::shared_ptr<StoreApplication> application)
        : application_(std::move(application)) {}
    std::shared_ptr<StoreSession> GetNamespace(std::string_view type) override {
        return std::make_shared<SessionWithBrokenStores>(application_->GetNamespace(type));
    }

private:
    std::shared_ptr<StoreApplication> application_;
};

// A mount monitor the test pokes: a byte in its pipe is a change not yet acknowledged.
class PokedMountMonitor : public MountMonitor {
public:
    struct Pipe {
        Pipe() { EXPECT_EQ(::pipe2(ends, O_NONBLOCK | O_CLOEXEC), 0); }
        ~Pipe() {
            ::close(ends[0]);
            ::close(ends[1]);
        }
        void Poke() { EXPECT_EQ(::write(ends[1], "!", 1), 1); }
        int ends[2] = {-1, -1};
    };

    explicit PokedMountMonitor(std::shared_ptr<Pipe> pipe) : pipe_(std::move(pipe)) {}
    int Descriptor() const override { return pipe_->ends[0]; }
    void Acknowledge() override {
        char pending[16];
        while (::read(pipe_->ends[0], pending, sizeof pending) > 0) {
        }
    }

private:
    std::shared_ptr<Pipe> pipe_;
};

// The main window over a mailbox text, with the drives c: [home] and d: [IPOD] in temporary directories,
// the short date form d-M-yy and 5 November 2002 as today. The test mounts and unmounts drives by changing
// the mount list, and tells the window of it through its mount monitor.
class MainWindowTest : public ::testing::Test {
protected:
    void TearDown() override {
        QApplication::closeAllWindows();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    PlatformServices Services(const char* mailbox, std::string workingDirectory) const {
        PlatformServices services;
        services.regional.shortDateForm = "d-M-yy";
        services.today = StoreDate{kToday.year(), kToday.month(), kToday.day()};
        services.createStoreApplication = [path = testing::SourcePath(mailbox).string(), regional = services.regional] {
            return OpenMailboxFile(path, regional);
        };
        services.createFileSystem = [drives = driveTable_, workingDirectory] {
            return OpenDiskFileSystem(drives, "UTF-8", workingDirectory);
        };
        services.watchMounts = [pipe = mountChanges_] { return std::make_unique<PokedMountMonitor>(pipe); };
        return services;
    }

    std::unique_ptr<Form1> StartedWindow(const char* mailbox = kTwoStores) {
        return StartedWindow(Services(mailbox, DriveC()));
    }

    std::unique_ptr<Form1> StartedWindow(PlatformServices services) {
        auto window = std::make_unique<Form1>(std::move(services));
        window->Form_Initialize();
        return window;
    }

    std::string DriveC() const { return drives_.filePath("c").toStdString(); }
    std::string DriveD() const { return Player("IPOD"); }
    std::string Player(const char* name) const { return drives_.filePath(name).toStdString(); }

    // Mounts exactly these players, in this order, and tells the window.
    void Mount(const std::vector<const char*>& players) {
        std::vector<std::string> directories;
        for (const char* player : players) {
            std::filesystem::create_directories(Player(player));
            directories.push_back(Player(player));
        }
        mounted_ = DirectoriesAsMounts(directories)();
        mountChanges_->Poke();
        QCoreApplication::processEvents();
    }

    void SetUp() override {
        ASSERT_TRUE(drives_.isValid());
        std::filesystem::create_directories(DriveC());
        std::filesystem::create_directories(DriveD());
        mounted_ = DirectoriesAsMounts({DriveD()})();
        driveTable_ = std::make_shared<DriveTable>(DriveC(), [this] { return mounted_; });
    }

    QTemporaryDir drives_;
    std::vector<DriveMount> mounted_;
    std::shared_ptr<DriveTable> driveTable_;
    std::shared_ptr<PokedMountMonitor::Pipe> mountChanges_ = std::make_shared<PokedMountMonitor::Pipe>();
};

TEST_F(MainWindowTest, StartUpSetsTheDefaultsOfTheExport) {
    const auto window = StartedWindow();
    EXPECT_EQ(window->windowTitle(), "MOLV - Kalendro Version 0.5 kalendro@example.org");
    EXPECT_EQ(FindControl<QCalendarWidget>(*window, "dtStart")->selectedDate(), kToday);
    EXPECT_EQ(FindControl<QCalendarWidget>(*window, "dtEnd")->selectedDate(), kToday);
    EXPECT_EQ(FindControl<QLabel>(*window, "lbStart")->text(), "5-11-02");
    EXPECT_EQ(FindControl<QLabel>(*window, "lbEnd")->text(), "5-11-02");
    EXPECT_EQ(FindControl<QLabel>(*window, "lbCountApp")->text(), "");
    EXPECT_EQ(FindControl<QLabel>(*window, "lbProcessDate")->text(), "");
    EXPECT_EQ(FindControl<QListWidget>(*window, "lstSubject")->count(), 0);
    EXPECT_EQ(FindControl<QLabel>(*window, "SaveFileName")->text(), "c:\\Calendars\\vCalendar.ics");
    EXPECT_FALSE(FindControl<QCheckBox>(*window, "CalName")->isChecked());
    const auto* drives = FindControl<QComboBox>(*window, "Drive1");
    ASSERT_EQ(drives->count(), 2);
    EXPECT_EQ(drives->itemText(1), "d: [IPOD]");
    EXPECT_EQ(drives->currentText(), "c: [home]");
    EXPECT_EQ(window->focusWidget(), FindControl<QPushButton>(*window, "Command1"));

    const CalendarExportChoice choice = window->ExportChoice();
    EXPECT_TRUE(choice.useDefaultCalendar);
    EXPECT_EQ(choice.selectedFolderKey, FolderKey{});
}

TEST_F(MainWindowTest, EveryLabelFitsItsBoxOnOneLine) { testing::ExpectLabelsFit(*StartedWindow()); }

std::vector<std::string> Entries(const QComboBox& list) {
    std::vector<std::string> entries;
    for (int index = 0; index < list.count(); ++index) {
        entries.push_back(list.itemText(index).toStdString());
    }
    return entries;
}

TEST_F(MainWindowTest, TheDriveListFollowsWhatIsMountedAndKeepsThePickedDrive) {
    const auto window = StartedWindow();
    auto* drives = FindControl<QComboBox>(*window, "Drive1");
    drives->setCurrentIndex(1);

    Mount({"IPOD", "AAA"});
    EXPECT_EQ(Entries(*drives), (std::vector<std::string>{"c: [home]", "d: [IPOD]", "e: [AAA]"}));
    EXPECT_EQ(drives->currentText(), "d: [IPOD]");

    // Unseen by the monitor, a new drive still shows when the list is opened.
    std::filesystem::create_directories(Player("BBB"));
    mounted_.push_back(DirectoriesAsMounts({Player("BBB")})().front());
    drives->showPopup();
    drives->hidePopup();
    EXPECT_EQ(Entries(*drives), (std::vector<std::string>{"c: [home]", "d: [IPOD]", "e: [AAA]", "f: [BBB]"}));

    Mount({"AAA"});
    EXPECT_EQ(Entries(*drives), (std::vector<std::string>{"c: [home]", "d: [IPOD] (removed)", "e: [AAA]"}));
    EXPECT_EQ(drives->currentText(), "d: [IPOD] (removed)");
    EXPECT_EQ(FindControl<QLabel>(*window, "SaveFileName")->text(), "d:\\Calendars\\vCalendar.ics");

    drives->setCurrentIndex(2);
    Mount({"AAA"});
    EXPECT_EQ(Entries(*drives), (std::vector<std::string>{"c: [home]", "e: [AAA]"}));
    EXPECT_EQ(drives->currentText(), "e: [AAA]");
}

TEST_F(MainWindowTest, TheDriveListSitsInItsFrameAndTabFollowsTheDesignedOrder) {
    const auto window = StartedWindow();
    EXPECT_EQ(window->size(), QSize(606, 472));
    const auto* drives = FindControl<QComboBox>(*window, "Drive1");
    EXPECT_EQ(drives->parentWidget(), FindControl<QGroupBox>(*window, "Frame1"));

    const QStringList controls = {"Command1", "dtStart",  "dtEnd",   "Command2", "lstSubject",
                                  "Command3", "Command4", "CalTree", "Drive1",   "CalName"};
    EXPECT_EQ(testing::TabOrder(*window, controls), controls);
}

TEST_F(MainWindowTest, AStoreThatCannotBeOpenedEndsTheStartUp) {
    PlatformServices services = Services(kTwoStores, DriveC());
    services.createStoreApplication = []() -> std::shared_ptr<StoreApplication> {
        throw Failure(kStoreCannotOpen, "No mailbox given");
    };
    Form1 window(std::move(services));
    EXPECT_EQ(testing::FailureOf([&] { window.Form_Initialize(); }).Number(), kStoreCannotOpen);
}

TEST_F(MainWindowTest, AStoreFailingWhileTheTreeIsFilledEndsTheStartUp) {
    PlatformServices services = Services(kTwoStores, DriveC());
    services.createStoreApplication = [open = services.createStoreApplication] {
        return std::make_shared<ApplicationWithBrokenStores>(open());
    };
    Form1 window(std::move(services));
    EXPECT_THROW(window.Form_Initialize(), Failure);
}

TEST_F(MainWindowTest, TreeShowsEveryStoreWithTheCalendarsDirectlyInsideIt) {
    const auto window = StartedWindow();
    const auto* tree = FindControl<QTreeWidget>(*window, "CalTree");
    EXPECT_EQ(DumpTree(*tree), ExpectedTree(kTwoStores));

    const std::vector<QIcon> images = DrawFolderTreeImages();
    EXPECT_EQ(Image(NodeByText(*tree, "Archive")->icon(0)), Image(images[kStoreImage - 1]));
    EXPECT_EQ(Image(NodeByText(*tree, "Empty (0)")->icon(0)), Image(images[kCalendarImage - 1]));
}

TEST_F(MainWindowTest, StoreNodesWithTakenKeysGetNumberedKeys) {
    const auto window = StartedWindow(kClashingStoreNames);
    EXPECT_EQ(DumpTree(*FindControl<QTreeWidget>(*window, "CalTree")), ExpectedTree(kClashingStoreNames));
}

TEST_F(MainWindowTest, ClickingACalendarChoosesItAndAnyOtherNodeTheDefault) {
    const auto window = StartedWindow(kClashingStoreNames);
    window->show();
    auto* tree = FindControl<QTreeWidget>(*window, "CalTree");
    QTreeWidgetItem* root = tree->topLevelItem(0);
    QTreeWidgetItem* storeNamedAsTheRoot = root->child(0);
    QTreeWidgetItem* calendar = storeNamedAsTheRoot->child(0);
    const auto click = [tree](QTreeWidgetItem* node) {
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(node).center());
    };

    click(calendar);
    EXPECT_FALSE(window->ExportChoice().useDefaultCalendar);
    EXPECT_EQ(window->ExportChoice().selectedFolderKey, (FolderKey{"C1", "S1"}));

    // A store node is no calendar, whatever its name; the key chosen before stays.
    click(storeNamedAsTheRoot);
    EXPECT_TRUE(window->ExportChoice().useDefaultCalendar);
    EXPECT_EQ(window->ExportChoice().selectedFolderKey, (FolderKey{"C1", "S1"}));

    click(calendar);
    click(root);
    EXPECT_TRUE(window->ExportChoice().useDefaultCalendar);
    EXPECT_EQ(window->ExportChoice().selectedFolderKey, (FolderKey{"C1", "S1"}));
}

TEST_F(MainWindowTest, PickingADateMovesTheOtherCalendarOnlyWhenTheRangeWouldRunBackwards) {
    const auto window = StartedWindow();
    auto* start = FindControl<QCalendarWidget>(*window, "dtStart");
    auto* end = FindControl<QCalendarWidget>(*window, "dtEnd");
    const auto* startLabel = FindControl<QLabel>(*window, "lbStart");
    const auto* endLabel = FindControl<QLabel>(*window, "lbEnd");

    start->setSelectedDate(QDate(2002, 11, 9));
    EXPECT_EQ(end->selectedDate(), QDate(2002, 11, 9));
    EXPECT_EQ(startLabel->text(), "9-11-02");
    EXPECT_EQ(endLabel->text(), "9-11-02");

    end->setSelectedDate(QDate(2002, 12, 24));
    EXPECT_EQ(start->selectedDate(), QDate(2002, 11, 9));
    EXPECT_EQ(endLabel->text(), "24-12-02");

    end->setSelectedDate(QDate(2002, 11, 9));
    EXPECT_EQ(start->selectedDate(), QDate(2002, 11, 9));
    EXPECT_EQ(endLabel->text(), "9-11-02");

    end->setSelectedDate(QDate(2002, 10, 31));
    EXPECT_EQ(start->selectedDate(), QDate(2002, 10, 31));
    EXPECT_EQ(startLabel->text(), "31-10-02");
    EXPECT_EQ(endLabel->text(), "31-10-02");

    // The keyboard picks dates too: the arrow moves the start one day past the end, which follows.
    QTest::keyClick(start->findChild<QAbstractItemView*>(), Qt::Key_Right);
    EXPECT_EQ(start->selectedDate(), QDate(2002, 11, 1));
    EXPECT_EQ(end->selectedDate(), QDate(2002, 11, 1));
    EXPECT_EQ(endLabel->text(), "1-11-02");
    EXPECT_EQ(window->ExportChoice().endDate, (StoreDate{2002, 11, 1}));

    // The range's filter names the day after its end, so the last day of all cannot be picked.
    start->setSelectedDate(QDate(9999, 12, 31));
    EXPECT_EQ(window->ExportChoice().startDate, kLastRangeEnd);
    EXPECT_EQ(window->ExportChoice().endDate, kLastRangeEnd);
}

TEST_F(MainWindowTest, ExportFillsTheResultAreaAndDateClicksLeaveItInPlace) {
    const auto window = StartedWindow();
    FindControl<QPushButton>(*window, "Command3")->click();
    const std::vector<std::string> expectedLines = {"5-11-02 Holiday", "5-11-02 14 Dentist"};
    EXPECT_EQ(ListLines(*FindControl<QListWidget>(*window, "lstSubject")), expectedLines);
    EXPECT_EQ(FindControl<QLabel>(*window, "lbProcessDate")->text(), "5-11-02 14");
    EXPECT_EQ(FindControl<QLabel>(*window, "lbCountApp")->text(), "2");

    FindControl<QCalendarWidget>(*window, "dtStart")->setSelectedDate(QDate(2002, 11, 20));
    FindControl<QCalendarWidget>(*window, "dtEnd")->setSelectedDate(QDate(2002, 11, 1));
    EXPECT_EQ(ListLines(*FindControl<QListWidget>(*window, "lstSubject")), expectedLines);
    EXPECT_EQ(FindControl<QLabel>(*window, "lbProcessDate")->text(), "5-11-02 14");
    EXPECT_EQ(FindControl<QLabel>(*window, "lbCountApp")->text(), "2");
}

TEST_F(MainWindowTest, WindowAndHeadlessCommandWriteTheSameFileForTheDemoMailbox) {
    const std::string demo = testing::SourcePath("samples/demo-mailbox.json");
    PlatformServices services = Services("samples/demo-mailbox.json", DriveC());
    // The command writes in the locale's character set; so does the window here.
    services.createFileSystem = [drives = driveTable_, c = DriveC()] {
        return OpenDiskFileSystem(drives, nl_langinfo(CODESET), c);
    };
    const auto window = StartedWindow(std::move(services));
    FindControl<QCalendarWidget>(*window, "dtEnd")->setSelectedDate(QDate(2027, 1, 31));
    FindControl<QCalendarWidget>(*window, "dtStart")->setSelectedDate(QDate(2026, 11, 1));
    FindControl<QPushButton>(*window, "Command3")->click();
    const std::string windowFile = testing::ReadFileBytes(std::filesystem::path(DriveC()) / "Calendars/vCalendar.ics");

    const testing::TemporaryDirectory target;
    const testing::CommandResult result = testing::RunCaught(
        tools::RunCalendarCommand,
        {"--store", demo, "--target", target.Path().string(), "--from", "2026-11-01", "--to", "2027-01-31"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_GT(FindControl<QListWidget>(*window, "lstSubject")->count(), 20);
    EXPECT_EQ(testing::ReadFileBytes(target.Path() / "Calendars/vCalendar.ics"), windowFile);
}

TEST_F(MainWindowTest, ContactsAndAboutOpenOneWindowEachThatASecondClickBringsBackAndCloseEndsAll) {
    const auto window = StartedWindow();
    window->show();
    for (const auto& [button, windowClass] :
         {std::pair{"Command4", "kalendro::Form2"}, std::pair{"Command2", "kalendro::FrmAbout"}}) {
        FindControl<QPushButton>(*window, button)->click();
        QWidget* opened = nullptr;
        for (QWidget* topLevel : QApplication::topLevelWidgets()) {
            opened = topLevel->inherits(windowClass) ? topLevel : opened;
        }
        ASSERT_NE(opened, nullptr) << windowClass;
        opened->showMinimized();
        FindControl<QPushButton>(*window, button)->click();
        EXPECT_FALSE(opened->isMinimized()) << windowClass;
        EXPECT_EQ(OpenWindowsOfClass(windowClass), 1) << windowClass;
    }
    // Closing the main window through its frame leaves the others open.
    window->close();
    EXPECT_EQ(OpenWindowsOfClass("kalendro::Form2"), 1);

    window->show();
    FindControl<QPushButton>(*window, "Command1")->click();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(OpenWindowsOfClass("kalendro::Form2"), 0);
    EXPECT_EQ(OpenWindowsOfClass("kalendro::FrmAbout"), 0);

    // A window closed and gone is made anew by the next click.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    FindControl<QPushButton>(*window, "Command4")->click();
    EXPECT_EQ(OpenWindowsOfClass("kalendro::Form2"), 1);
}

}  // namespace
}  // namespace kalendro
