// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/files/output_files.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>

#include <fcntl.h>

#include "platform/files/drive_table.h"
#include "platform/store/failure.h"
#include "testing/private_mounts.h"
#include "testing/temporary_directory.h"
#include "testing/failure_of.h"

namespace kalendro {
namespace {

namespace fs = std::filesystem;

using testing::FailureOf;

// Drive c: is a temporary home, d: a temporary "IPOD" beside it.
class DiskFileSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "kalendro-files-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        fs::create_directories(Home());
        fs::create_directories(Ipod());
        drives_ = std::make_shared<DriveTable>(Home().string(), [this] { return mounted_; });
        mounted_ = DirectoriesAsMounts({Ipod().string()})();
    }
    void TearDown() override {
        fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(root_);
    }

    fs::path Home() const { return root_ / "home"; }
    fs::path Ipod() const { return root_ / "IPOD"; }

    std::unique_ptr<FileSystem> Open(const std::string& charset = "UTF-8") {
        return OpenDiskFileSystem(drives_, charset, Home().string());
    }

    // Writes the lines to a new file and gives back its bytes.
    std::string WrittenBytes(const std::vector<std::string>& lines, const std::string& charset = "UTF-8") {
        auto stream = Open(charset)->CreateTextFile("d:\\out.txt");
        for (const std::string& line : lines) {
            stream->WriteLine(line);
        }
        stream->Close();
        return testing::ReadFileBytes(Ipod() / "out.txt");
    }

    fs::path root_;
    std::vector<DriveMount> mounted_;
    std::shared_ptr<DriveTable> drives_;
};

TEST_F(DiskFileSystemTest, LinesEndInCrLfWithoutByteOrderMark) {
    auto files = Open();
    files->CreateFolder("d:\\Calendars");
    auto stream = files->CreateTextFile("d:\\Calendars\\vCalendar.ics");
    stream->WriteLine("BEGIN:VCALENDAR");
    stream->Write("SUMMARY:");
    stream->Write("Caf\xC3\xA9");
    stream->WriteLine("");
    stream->WriteLine("");
    stream->Close();
    EXPECT_EQ(testing::ReadFileBytes(Ipod() / "Calendars" / "vCalendar.ics"),
              "BEGIN:VCALENDAR\r\nSUMMARY:Caf\xC3\xA9\r\n\r\n");
}

TEST_F(DiskFileSystemTest, CreateTextFileReplacesAnExistingFileOnlyWhenAllowed) {
    EXPECT_EQ(WrittenBytes({"a much longer first content", "second line"}),
              "a much longer first content\r\nsecond line\r\n");
    EXPECT_EQ(WrittenBytes({"short"}), "short\r\n");

    const Failure refused = FailureOf([&] { Open()->CreateTextFile("d:\\out.txt", false); });
    EXPECT_EQ(refused.Number(), kFileAlreadyExists);
    EXPECT_EQ(testing::ReadFileBytes(Ipod() / "out.txt"), "short\r\n");

    auto fresh = Open()->CreateTextFile("d:\\new.txt", false);
    fresh->WriteLine("new");
    fresh->Close();
    EXPECT_EQ(testing::ReadFileBytes(Ipod() / "new.txt"), "new\r\n");
}

TEST_F(DiskFileSystemTest, DrivePathsLandUnderTheDriveDirectory) {
    auto files = Open();
    EXPECT_FALSE(files->FolderExists("d:\\Calendars"));
    files->CreateFolder("D:\\Calendars");
    EXPECT_TRUE(files->FolderExists("d:\\Calendars"));
    EXPECT_TRUE(files->FolderExists("d:/Calendars/"));
    EXPECT_TRUE(fs::is_directory(Ipod() / "Calendars"));

    files->CreateTextFile("d:\\Calendars\\\\.\\x.ics")->Close();
    EXPECT_TRUE(fs::is_regular_file(Ipod() / "Calendars" / "x.ics"));
    EXPECT_FALSE(files->FolderExists("d:\\Calendars\\x.ics"));

    files->CreateTextFile("c:\\contacts.vcf")->Close();
    EXPECT_TRUE(fs::is_regular_file(Home() / "contacts.vcf"));
}

TEST_F(DiskFileSystemTest, NativePathsStandAsTheyAreAndRelativeOnesFromTheWorkingDirectory) {
    auto files = Open();
    files->CreateTextFile((root_ / "native.vcf").string())->Close();
    EXPECT_TRUE(fs::is_regular_file(root_ / "native.vcf"));
    files->CreateTextFile("relative.vcf")->Close();
    EXPECT_TRUE(fs::is_regular_file(Home() / "relative.vcf"));
    EXPECT_TRUE(files->FolderExists(root_.string()));
}

TEST_F(DiskFileSystemTest, NoDrivePathLeadsOutOfItsDrive) {
    auto files = Open();
    fs::create_directories(Ipod() / "Calendars");
    for (const char* path : {"d:\\..\\escape.ics", "d:\\Calendars\\..\\..\\escape.ics", "d:/../escape.ics", "d:.."}) {
        const Failure failure = FailureOf([&] { files->CreateTextFile(path); });
        EXPECT_EQ(failure.Number(), kBadFileName) << path;
        EXPECT_NE(failure.Description().find(path), std::string::npos) << failure.Description();
    }
    EXPECT_EQ(FailureOf([&] { files->CreateFolder("d:\\..\\escaped"); }).Number(), kBadFileName);
    EXPECT_FALSE(files->FolderExists("d:\\Calendars\\..\\.."));
    EXPECT_FALSE(fs::exists(root_ / "escape.ics"));
    EXPECT_FALSE(fs::exists(root_ / "escaped"));
}

TEST_F(DiskFileSystemTest, InvalidNamesAreBadFileNamesAndCreateNothing) {
    auto files = Open();
    for (const std::string& name :
         std::vector<std::string>{"a?b", "a*b", "a:b", "a\"b", "a<b", "a>b", "a|b", "a\tb", "a\x01"}) {
        const std::string path = "d:\\" + name + "vCalendar.ics";
        EXPECT_EQ(FailureOf([&] { files->CreateTextFile(path); }).Number(), kBadFileName) << name;
        EXPECT_EQ(FailureOf([&] { files->CreateFolder(path); }).Number(), kBadFileName) << name;
        EXPECT_FALSE(files->FolderExists(path));
    }
    EXPECT_EQ(FailureOf([&] { files->CreateTextFile((root_ / "what?.vcf").string()); }).Number(), kBadFileName);
    EXPECT_EQ(FailureOf([&] { files->CreateTextFile(""); }).Number(), kBadFileName);
    EXPECT_TRUE(fs::is_empty(Ipod()));
}

TEST_F(DiskFileSystemTest, MissingPlacesAndFilesInTheWayFailWithTheirNumbers) {
    auto files = Open();
    const Failure missingFolder = FailureOf([&] { files->CreateTextFile("d:\\Calendars\\x.ics"); });
    EXPECT_EQ(missingFolder.Number(), kPathNotFound);
    EXPECT_EQ(missingFolder.Description(),
              "Path not found: d:\\Calendars\\x.ics (" + (Ipod() / "Calendars" / "x.ics").string() + ")");
    EXPECT_EQ(FailureOf([&] { files->CreateFolder("d:\\Missing\\Calendars"); }).Number(), kPathNotFound);

    std::ofstream(Ipod() / "Calendars") << "a file where the folder belongs";
    EXPECT_FALSE(files->FolderExists("d:\\Calendars"));
    EXPECT_EQ(FailureOf([&] { files->CreateFolder("d:\\Calendars"); }).Number(), kFileAlreadyExists);
    EXPECT_EQ(FailureOf([&] { files->CreateTextFile("d:\\Calendars\\x.ics"); }).Number(), kPathNotFound);

    fs::create_directories(Ipod() / "Folder");
    EXPECT_EQ(FailureOf([&] { files->CreateFolder("d:\\Folder"); }).Number(), kFileAlreadyExists);
    EXPECT_EQ(FailureOf([&] { files->CreateTextFile("d:\\Folder"); }).Number(), kPathFileAccessError);
}

// Links below a drive's root could lead anywhere the user may write: none is followed there, while a
// native path, the user's own, is taken links and all.
TEST_F(DiskFileSystemTest, NoLinkOnADriveIsFollowed) {
    auto files = Open();
    const fs::path elsewhere = root_ / "elsewhere";
    fs::create_directories(elsewhere);
    fs::create_directory_symlink(elsewhere, Ipod() / "Calendars");
    EXPECT_FALSE(files->FolderExists("d:\\Calendars"));
    const std::string linkCause =
        " (" + (Ipod() / "Calendars").string() + " is a symbolic link, and links are not followed on a drive)";
    for (const auto& attempt :
         std::vector<std::function<void()>>{[&] { files->CreateFolder("d:\\Calendars"); },
                                            [&] { files->CreateTextFile("d:\\Calendars\\vCalendar.ics"); },
                                            [&] { files->CreateTextFile("d:\\Calendars\\Sub\\vCalendar.ics"); }}) {
        const Failure failure = FailureOf(attempt);
        EXPECT_EQ(failure.Number(), kPathFileAccessError);
        EXPECT_TRUE(failure.Description().ends_with(linkCause)) << failure.Description();
    }
    EXPECT_TRUE(fs::is_empty(elsewhere));

    fs::remove(Ipod() / "Calendars");
    fs::create_directories(Ipod() / "Calendars");
    const fs::path target = elsewhere / "precious.txt";
    std::ofstream(target) << "keep me";
    fs::create_symlink(target, Ipod() / "Calendars" / "vCalendar.ics");
    EXPECT_EQ(FailureOf([&] { files->CreateTextFile("d:\\Calendars\\vCalendar.ics", false); }).Number(),
              kPathFileAccessError);
    auto stream = files->CreateTextFile("d:\\Calendars\\vCalendar.ics");
    stream->WriteLine("new");
    stream->Close();
    EXPECT_FALSE(fs::is_symlink(Ipod() / "Calendars" / "vCalendar.ics"));
    EXPECT_EQ(testing::ReadFileBytes(Ipod() / "Calendars" / "vCalendar.ics"), "new\r\n");
    EXPECT_EQ(testing::ReadFileBytes(target), "keep me");

    fs::create_symlink(target, Home() / "contacts.vcf");
    auto contacts = files->CreateTextFile((Home() / "contacts.vcf").string());
    contacts->WriteLine("card");
    contacts->Close();
    EXPECT_TRUE(fs::is_symlink(Home() / "contacts.vcf"));
    EXPECT_EQ(testing::ReadFileBytes(target), "card\r\n");
}

TEST_F(DiskFileSystemTest, NoAccessIsPermissionDenied) {
    // Nobody, root included, may create files in sysfs.
    if (!fs::is_directory("/sys/kernel")) {
        GTEST_SKIP() << "no /sys here";
    }
    EXPECT_EQ(FailureOf([&] { Open()->CreateTextFile("/sys/kalendro-test.ics"); }).Number(), kPermissionDenied);
    EXPECT_EQ(FailureOf([&] { Open()->CreateFolder("/sys/kalendro-test"); }).Number(), kPermissionDenied);
}

TEST_F(DiskFileSystemTest, AReadOnlyFolderIsPermissionDenied) {
    fs::create_directories(Ipod() / "Locked");
    fs::permissions(Ipod() / "Locked", fs::perms::owner_read | fs::perms::owner_exec);
    if (access((Ipod() / "Locked").c_str(), W_OK) == 0) {
        GTEST_SKIP() << "running with rights past file modes (root)";
    }
    EXPECT_EQ(FailureOf([&] { Open()->CreateTextFile("d:\\Locked\\x.ics"); }).Number(), kPermissionDenied);
}

TEST_F(DiskFileSystemTest, AStreamReleasedWithoutCloseKeepsEverythingWritten) {
    {
        auto stream = Open()->CreateTextFile("d:\\out.txt");
        stream->WriteLine("BEGIN:VCALENDAR");
        stream->Write("BEGIN:VEV");
    }
    EXPECT_EQ(testing::ReadFileBytes(Ipod() / "out.txt"), "BEGIN:VCALENDAR\r\nBEGIN:VEV");
}

TEST_F(DiskFileSystemTest, LargeOutputArrivesWhole) {
    std::vector<std::string> lines;
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
        lines.push_back("DESCRIPTION:line " + std::to_string(i) + " \xC3\xA9t\xC3\xA9");
        expected += lines.back() + "\r\n";
    }
    EXPECT_EQ(WrittenBytes(lines), expected);
}

TEST_F(DiskFileSystemTest, AFullDiskIsAFailureAtCloseAtTheLatest) {
    auto files = Open();
    auto small = files->CreateTextFile("/dev/full");
    small->WriteLine("BEGIN:VCALENDAR");
    EXPECT_EQ(FailureOf([&] { small->Close(); }).Number(), kDiskFull);

    auto large = files->CreateTextFile("/dev/full");
    const Failure duringWrites = FailureOf([&] {
        for (int i = 0; i < 100000; ++i) {
            large->WriteLine("DESCRIPTION:a line that fills the disk");
        }
    });
    EXPECT_EQ(duringWrites.Number(), kDiskFull);
    EXPECT_NE(duringWrites.Description().find("/dev/full"), std::string::npos);
}

// Under a file-size limit the process used to die of SIGXFSZ with no message.
TEST_F(DiskFileSystemTest, WritingPastTheFileSizeLimitIsAFailureNamingTheFile) {
    const auto writePastTheLimit = [this] {
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        const Failure failure = FailureOf([&] {
            auto stream = Open()->CreateTextFile("d:\\out.txt");
            for (int i = 0; i < 10000; ++i) {
                stream->WriteLine("DESCRIPTION:a line past the limit");
            }
            stream->Close();
        });
        std::cerr << failure.Number() << " " << failure.Description();
        std::_Exit(failure.Number() == kPathFileAccessError ? 0 : 1);
    };
    EXPECT_EXIT(writePastTheLimit(), ::testing::ExitedWithCode(0), "75 .*out\\.txt.*File too large");
}

TEST_F(DiskFileSystemTest, WritingAfterCloseIsAFailure) {
    auto stream = Open()->CreateTextFile("d:\\out.txt");
    stream->WriteLine("last");
    stream->Close();
    stream->Close();
    EXPECT_EQ(FailureOf([&] { stream->WriteLine("late"); }).Number(), kInvalidArgument);
    EXPECT_EQ(FailureOf([&] { stream->Write("late"); }).Number(), kInvalidArgument);
    EXPECT_EQ(testing::ReadFileBytes(Ipod() / "out.txt"), "last\r\n");
}

TEST_F(DiskFileSystemTest, DriveLettersAreLookedUpInTheTable) {
    auto files = Open();
    for (const char* drive : {"d:", "D:", "d: [IPOD]"}) {
        EXPECT_TRUE(files->DriveExists(drive)) << drive;
    }
    for (const char* drive : {"q:", "d", ""}) {
        EXPECT_FALSE(files->DriveExists(drive)) << drive;
    }
    const Failure unknown = FailureOf([&] { files->CreateTextFile("q:\\Calendars\\x.ics"); });
    EXPECT_EQ(unknown.Number(), kDeviceUnavailable);
    EXPECT_NE(unknown.Description().find("q:\\Calendars\\x.ics"), std::string::npos);
    EXPECT_EQ(FailureOf([&] { files->CreateFolder("q:\\Calendars"); }).Number(), kDeviceUnavailable);
    EXPECT_FALSE(files->FolderExists("q:\\"));
    EXPECT_EQ(files->Drives().size(), 2u);
}

TEST_F(DiskFileSystemTest, ALetterWhoseDeviceWentAwayOrChangedWritesNothing) {
    auto files = Open();
    EXPECT_TRUE(files->DriveExists("d:"));
    const std::vector<DriveMount> ipod = mounted_;
    const auto expectUnavailable = [&](const char* why) {
        EXPECT_FALSE(files->DriveExists("d:")) << why;
        EXPECT_FALSE(files->FolderExists("d:\\")) << why;
        EXPECT_EQ(FailureOf([&] { files->CreateFolder("d:\\Calendars"); }).Number(), kDeviceUnavailable) << why;
        const Failure failure = FailureOf([&] { files->CreateTextFile("d:\\x.ics"); });
        EXPECT_EQ(failure.Number(), kDeviceUnavailable) << why;
        EXPECT_NE(failure.Description().find("d:\\x.ics (" + (Ipod() / "x.ics").string() + ")"), std::string::npos)
            << failure.Description();
        EXPECT_TRUE(fs::is_empty(Ipod())) << why;
    };
    mounted_.clear();
    expectUnavailable("unmounted");
    mounted_ = {{Ipod().string(), ipod[0].device + 1}};
    expectUnavailable("another device at the mount point");
    mounted_ = ipod;
    expectUnavailable("back after it was seen gone");
    EXPECT_EQ(files->Drives().back().DisplayText(), "f: [IPOD]");
    EXPECT_TRUE(files->DriveExists("f:"));

    // A table that still believes in a device the mount point no longer holds.
    auto stale = std::make_shared<DriveTable>(Home().string(), [&] {
        return std::vector<DriveMount>{{Ipod().string(), ipod[0].device + 1}};
    });
    const Failure failure =
        FailureOf([&] { OpenDiskFileSystem(stale, "UTF-8", Home().string())->CreateTextFile("d:\\x.ics"); });
    EXPECT_EQ(failure.Number(), kDeviceUnavailable);
    EXPECT_NE(failure.Description().find("another device"), std::string::npos) << failure.Description();
    EXPECT_TRUE(fs::is_empty(Ipod()));
}

TEST_F(DiskFileSystemTest, AFileWhoseFolderWentAwayIsNotWritten) {
    auto files = Open();
    for (const auto& takeAway :
         std::vector<std::function<void()>>{[&] { fs::remove_all(Ipod() / "Calendars"); },
                                            [&] { fs::rename(Ipod() / "Calendars", Ipod() / "Elsewhere"); }}) {
        fs::remove_all(Ipod() / "Elsewhere");
        files->CreateFolder("d:\\Calendars");
        auto stream = files->CreateTextFile("d:\\Calendars\\vCalendar.ics");
        stream->WriteLine("BEGIN:VCALENDAR");
        takeAway();
        const Failure failure = FailureOf([&] { stream->Close(); });
        EXPECT_EQ(failure.Number(), kFileNotFound);
        EXPECT_NE(failure.Description().find((Ipod() / "Calendars" / "vCalendar.ics").string()), std::string::npos)
            << failure.Description();
    }
}

TEST_F(DiskFileSystemTest, ASyncTheDeviceRefusesIsAFailureNamingTheFile) {
    // A pipe takes bytes but cannot be synced, as a failing device would refuse.
    const fs::path pipe = Ipod() / "pipe";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const int reader = open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    auto stream = Open()->CreateTextFile("d:\\pipe");
    stream->WriteLine("BEGIN:VCALENDAR");
    const Failure failure = FailureOf([&] { stream->Close(); });
    close(reader);
    EXPECT_EQ(failure.Number(), kPathFileAccessError);
    EXPECT_EQ(failure.Description().rfind("Could not sync to the device: d:\\pipe (" + pipe.string() + ")", 0), 0u)
        << failure.Description();
}

// Real small file systems: a tmpfs of a few pages as the player.
class SmallDiskTest : public DiskFileSystemTest {
protected:
    void SetUp() override {
        DiskFileSystemTest::SetUp();
        if (!mounts_->SkipReason().empty()) {
            GTEST_SKIP() << mounts_->SkipReason();
        }
        drives_ = std::make_shared<DriveTable>(Home().string(), testing::MountPointsAmong({Ipod()}));
    }
    // The player goes before the directories it is mounted in.
    void TearDown() override {
        mounts_.reset();
        DiskFileSystemTest::TearDown();
    }

    std::optional<testing::PrivateMounts> mounts_{std::in_place};
};

TEST_F(SmallDiskTest, APlayerSwappedAtTheSameMountPointGetsNothing) {
    mounts_->MountSmall(Ipod(), 64 * 1024);
    auto files = Open();
    EXPECT_TRUE(files->DriveExists("d:"));
    mounts_->Unmount(Ipod());
    EXPECT_FALSE(files->DriveExists("d:"));
    EXPECT_EQ(FailureOf([&] { files->CreateTextFile("d:\\x.ics"); }).Number(), kDeviceUnavailable);

    mounts_->MountSmall(Ipod(), 64 * 1024);
    EXPECT_EQ(FailureOf([&] { files->CreateTextFile("d:\\x.ics"); }).Number(), kDeviceUnavailable);
    EXPECT_EQ(files->Drives().back().DisplayText(), "e: [IPOD]");
    files->CreateTextFile("e:\\x.ics")->Close();
    EXPECT_TRUE(fs::exists(Ipod() / "x.ics"));
}

TEST_F(DiskFileSystemTest, TheCurrentDriveHoldsTheWorkingDirectory) {
    const auto currentDrive = [&](const fs::path& workingDirectory) {
        return OpenDiskFileSystem(drives_, "UTF-8", workingDirectory.string())->CurrentDrive();
    };
    EXPECT_EQ(currentDrive(Ipod() / "Music"), "d:");
    EXPECT_EQ(currentDrive(Home()), "c:");
    EXPECT_EQ(currentDrive(root_), "c:");
}

TEST_F(DiskFileSystemTest, TextIsWrittenInTheCharacterSet) {
    const std::string text = "caf\xC3\xA9 \xE2\x82\xAC 5";  // "café € 5"
    EXPECT_EQ(WrittenBytes({text}, "ISO-8859-1"), "caf\xE9 ? 5\r\n");
    EXPECT_EQ(WrittenBytes({text}, "ASCII"), "caf? ? 5\r\n");
    EXPECT_EQ(WrittenBytes({text}, "UTF-8"), text + "\r\n");
    EXPECT_EQ(WrittenBytes({"a\xFF\x62\xC3"}, "UTF-8"), "a?b?\r\n");
}

TEST_F(DiskFileSystemTest, AnUnknownCharacterSetFailsBeforeAnyFileIsMade) {
    EXPECT_EQ(FailureOf([&] { Open("NO-SUCH-SET")->CreateTextFile("d:\\out.txt"); }).Number(), kInvalidArgument);
    EXPECT_FALSE(fs::exists(Ipod() / "out.txt"));
}

TEST(SystemDisk, OpensWithTheLocaleCharacterSetAndHomeAsDriveC) {
    const std::vector<DriveEntry> drives = SystemDriveTable()->Refresh();
    ASSERT_FALSE(drives.empty());
    EXPECT_EQ(drives.front().letter, "c:");
    EXPECT_EQ(drives.front().DisplayText(), "c: [home]");
    auto files = OpenDiskFileSystem();
    EXPECT_TRUE(files->DriveExists("c:"));
    EXPECT_FALSE(files->CurrentDrive().empty());
}

}  // namespace
}  // namespace kalendro
