#include "platform/drive_table.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace kalendro {
namespace {

TEST(MountField, OctalEscapesAreDecoded) {
    EXPECT_EQ(DecodeMountField("/media/user/MY\\040IPOD"), "/media/user/MY IPOD");
    EXPECT_EQ(DecodeMountField("/mnt/tab\\011and\\134backslash"), "/mnt/tab\tand\\backslash");
    EXPECT_EQ(DecodeMountField("/mnt/short\\04"), "/mnt/short\\04");
    EXPECT_EQ(DecodeMountField("/mnt/not\\089octal"), "/mnt/not\\089octal");
}

constexpr std::string_view kMounts =
    "/dev/vda1 / ext4 rw,relatime 0 0\n"
    "proc /proc proc rw 0 0\n"
    "/dev/sdc1 /run/media/bob/CARD vfat rw 0 0\n"
    "/dev/sdb1 /mnt/usb\\040stick vfat rw 0 0\n"
    "/dev/sda1 /media/user/IPOD vfat rw 0 0\n"
    "/dev/sda1 /media/user/IPOD vfat ro 0 0\n"
    "tmpfs /mnt tmpfs rw 0 0\n"
    "tmpfs /mediafiles tmpfs rw 0 0\n"
    "garbage\n";

TEST(DriveTable, HomeIsCAndMountsUnderMediaAndMntFollowInPathOrder) {
    const std::vector<DriveEntry> drives = DrivesFromMounts(kMounts, "/home/user/");
    ASSERT_EQ(drives.size(), 4u);
    EXPECT_EQ(drives[0].DisplayText(), "c: [home]");
    EXPECT_EQ(drives[0].directory, "/home/user");
    EXPECT_EQ(drives[1].DisplayText(), "d: [IPOD]");
    EXPECT_EQ(drives[1].directory, "/media/user/IPOD");
    EXPECT_EQ(drives[2].DisplayText(), "e: [usb stick]");
    EXPECT_EQ(drives[2].directory, "/mnt/usb stick");
    EXPECT_EQ(drives[3].DisplayText(), "f: [CARD]");
    EXPECT_EQ(drives[3].directory, "/run/media/bob/CARD");
}

TEST(DriveTable, LettersEndAtZ) {
    std::string mounts;
    for (int i = 0; i < 30; ++i)
        mounts += "dev /mnt/disk" + std::to_string(100 + i) + " ext4 rw 0 0\n";
    const std::vector<DriveEntry> drives = DrivesFromMounts(mounts, "/root");
    ASSERT_EQ(drives.size(), 24u);
    EXPECT_EQ(drives.back().letter, "z:");
    EXPECT_EQ(drives.back().label, "disk122");
}

TEST(DriveTable, DrivesAreFoundByTheirLetterInAnyCase) {
    const std::vector<DriveEntry> drives = DrivesFromMounts(kMounts, "/home/user");
    ASSERT_NE(FindDrive(drives, "E:"), nullptr);
    EXPECT_EQ(FindDrive(drives, "E:")->label, "usb stick");
    EXPECT_EQ(FindDrive(drives, "d: [IPOD]")->letter, "d:");
    EXPECT_EQ(FindDrive(drives, "g:"), nullptr);
    EXPECT_EQ(FindDrive(drives, "d"), nullptr);
    EXPECT_EQ(FindDrive(drives, "dd"), nullptr);
}

TEST(DriveTable, TheDeepestDriveHoldingADirectoryIsCurrent) {
    const std::vector<DriveEntry> drives = {
        {"c:", "home", "/media"}, {"d:", "IPOD", "/media/IPOD"}, {"e:", "root", "/"}};
    EXPECT_EQ(DriveHolding(drives, "/media/IPOD/Music"), "d:");
    EXPECT_EQ(DriveHolding(drives, "/media/IPOD"), "d:");
    EXPECT_EQ(DriveHolding(drives, "/media/IPOD2"), "c:");
    EXPECT_EQ(DriveHolding(drives, "/usr"), "e:");
    EXPECT_EQ(DriveHolding({{"c:", "home", "/home/user"}}, "/tmp"), "c:");
}

TEST(DriveTable, TheSystemTableStartsWithTheHomeDirectory) {
    const char* savedHome = std::getenv("HOME");
    const std::optional<std::string> saved = savedHome ? std::optional<std::string>(savedHome) : std::nullopt;
    setenv("HOME", "/tmp/kalendro-home", 1);
    const std::vector<DriveEntry> drives = ListSystemDrives();
    saved ? setenv("HOME", saved->c_str(), 1) : unsetenv("HOME");
    ASSERT_FALSE(drives.empty());
    EXPECT_EQ(drives.front().directory, "/tmp/kalendro-home");
    for (std::size_t i = 1; i < drives.size(); ++i) {
        const std::string letter{static_cast<char>('c' + i), ':'};
        EXPECT_EQ(drives[i].letter, letter);
    }
}

}  // namespace
}  // namespace kalendro
