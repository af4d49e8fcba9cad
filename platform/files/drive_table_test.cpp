// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/files/drive_table.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <filesystem>

#include "platform/store/failure.h"
#include "testing/private_mounts.h"
#include "testing/source_path.h"
#include "testing/temporary_directory.h"
#include "testing/failure_of.h"

namespace kalendro {
namespace {

// The mountinfo beside this test: lines of /proc/self/mountinfo (id, parent, device, root, mount point,
// options, "-", type, source) of real and virtual, direct and nested mounts.
TEST(DriveMountPoints, OnlyRealFileSystemsMountedDirectlyWhereDrivesLand) {
    EXPECT_EQ(DriveMountPoints(testing::SourcePath("platform/files/mountinfo").string()),
              (std::vector<std::string>{"/run/media/bob/CARD", "/mnt/usb stick", "/media/user/IPOD", "/media/PLAYER"}));
}

TEST(DriveMountPoints, AnUnreadableTableIsAFailureNamingIt) {
    const Failure failure = testing::FailureOf([] { DriveMountPoints("/nonexistent/mountinfo"); });
    EXPECT_EQ(failure.Number(), kPathFileAccessError);
    EXPECT_NE(failure.Description().find("/nonexistent/mountinfo"), std::string::npos);
}

std::vector<std::string> Shown(const std::vector<DriveEntry>& drives) {
    std::vector<std::string> shown;
    for (const DriveEntry& drive : drives) {
        shown.push_back(drive.DisplayText());
    }
    return shown;
}

// A table over a mount list the test changes at will; the home is a real directory.
class DriveTableTest : public ::testing::Test {
protected:
    testing::TemporaryDirectory home;
    std::vector<DriveMount> mounted = {{"/media/user/IPOD", 2}, {"/media/AAA", 1}};
    DriveTable table{home.Path().string() + "/", [this] { return mounted; }};
};

TEST_F(DriveTableTest, LettersStayWithTheirFileSystemsWhateverComesAndGoes) {
    EXPECT_EQ(Shown(table.Refresh()), (std::vector<std::string>{"c: [home]", "d: [AAA]", "e: [IPOD]"}));
    EXPECT_EQ(table.Refresh()[0].directory, home.Path().string());

    mounted = {{"/media/user/IPOD", 2}};
    EXPECT_EQ(Shown(table.Refresh()), (std::vector<std::string>{"c: [home]", "d: [AAA] (removed)", "e: [IPOD]"}));

    mounted = {{"/media/user/IPOD", 2}, {"/media/BBB", 3}, {"/media/ABC", 4}};
    EXPECT_EQ(Shown(table.Refresh()),
              (std::vector<std::string>{"c: [home]", "d: [AAA] (removed)", "e: [IPOD]", "f: [ABC]", "g: [BBB]"}));

    // Seen gone, a letter stays gone: what comes back at the same place with the same device number may
    // be another player given the number the first one left free.
    mounted = {{"/media/AAA", 1}, {"/media/BBB", 3}};
    const std::vector<DriveEntry> drives = table.Refresh();
    EXPECT_EQ(Shown(drives), (std::vector<std::string>{"c: [home]", "d: [AAA] (removed)", "e: [IPOD] (removed)",
                                                       "f: [ABC] (removed)", "g: [BBB]", "h: [AAA]"}));
    EXPECT_EQ(drives.back().device, 1u);
    EXPECT_EQ(drives.back().directory, "/media/AAA");
    EXPECT_FALSE(table.Find("d:")->available);
}

TEST_F(DriveTableTest, LettersEndAtZ) {
    mounted.clear();
    for (int i = 0; i < 30; ++i) {
        mounted.push_back({"/mnt/disk" + std::to_string(100 + i), static_cast<dev_t>(10 + i)});
    }
    const std::vector<DriveEntry> drives = table.Refresh();
    ASSERT_EQ(drives.size(), 24u);
    EXPECT_EQ(drives.back().DisplayText(), "z: [disk122]");
}

TEST_F(DriveTableTest, AHomeThatIsGoneMakesCUnavailable) {
    DriveTable gone(home.Path().string() + "/missing");
    EXPECT_FALSE(gone.Find("c:")->available);
}

TEST(DriveHolding, TheDeepestAvailableDriveHoldingADirectoryIsCurrent) {
    const std::vector<DriveEntry> drives = {{"c:", "home", "/media"},
                                            {"d:", "IPOD", "/media/IPOD"},
                                            {"e:", "root", "/"},
                                            {"f:", "OLD", "/media/IPOD/Music", 0, false}};
    EXPECT_EQ(DriveHolding(drives, "/media/IPOD/Music"), "d:");
    EXPECT_EQ(DriveHolding(drives, "/media/IPOD"), "d:");
    EXPECT_EQ(DriveHolding(drives, "/media/IPOD2"), "c:");
    EXPECT_EQ(DriveHolding(drives, "/usr"), "e:");
    EXPECT_EQ(DriveHolding({{"c:", "home", "/home/user"}}, "/tmp"), "c:");
}

bool Readable(const MountMonitor& monitor) {
    pollfd watched{monitor.Descriptor(), POLLIN, 0};
    return ::poll(&watched, 1, 0) == 1;
}

TEST(MountMonitor, TellsOfAMountOnceUntilAcknowledged) {
    const testing::TemporaryDirectory directory;
    testing::PrivateMounts mounts;
    if (!mounts.SkipReason().empty()) {
        GTEST_SKIP() << mounts.SkipReason();
    }
    const std::unique_ptr<MountMonitor> monitor = WatchSystemMounts();
    monitor->Acknowledge();
    EXPECT_FALSE(Readable(*monitor));
    mounts.MountSmall(directory.Path() / "AAA", 64 * 1024);
    EXPECT_TRUE(Readable(*monitor));
    monitor->Acknowledge();
    EXPECT_FALSE(Readable(*monitor));
    mounts.Unmount(directory.Path() / "AAA");
    EXPECT_TRUE(Readable(*monitor));
}

}  // namespace
}  // namespace kalendro
