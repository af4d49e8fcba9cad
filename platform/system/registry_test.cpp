// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/registry.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>

#include "testing/temporary_directory.h"

namespace kalendro {
namespace {

namespace fs = std::filesystem;

// Folders of a search path holding stand-ins for the desktops' system-information programs.
class SystemInformationProgramTest : public ::testing::Test {
protected:
    fs::path Folder(const std::string& name) {
        const fs::path folder = directory_.Path() / name;
        fs::create_directories(folder);
        return folder;
    }
    void Install(const fs::path& folder, const std::string& program, fs::perms permissions = fs::perms::owner_all) {
        std::ofstream(folder / program) << "#!/bin/sh\n";
        fs::permissions(folder / program, permissions);
    }
    std::string SearchPath() const {
        return (directory_.Path() / "first").string() + "::" + (directory_.Path() / "second").string();
    }

    testing::TemporaryDirectory directory_;
};

TEST_F(SystemInformationProgramTest, TheDesktopsProgramsAreTakenInTheirOrderWhereverTheyLie) {
    EXPECT_EQ(FindSystemInformationProgram(SearchPath()), std::nullopt);
    Install(Folder("first"), "hardinfo");
    EXPECT_EQ(FindSystemInformationProgram(SearchPath()), (directory_.Path() / "first/hardinfo").string());
    Install(Folder("second"), "gnome-control-center");
    EXPECT_EQ(FindSystemInformationProgram(SearchPath()),
              (directory_.Path() / "second/gnome-control-center").string() + " info-overview");
    Install(Folder("second"), "kinfocenter");
    EXPECT_EQ(FindSystemInformationProgram(SearchPath()), (directory_.Path() / "second/kinfocenter").string());
}

TEST_F(SystemInformationProgramTest, FilesThatCannotRunAndFoldersAreNoPrograms) {
    Install(Folder("first"), "kinfocenter", fs::perms::owner_read | fs::perms::owner_write);
    Folder("first/hardinfo2");
    EXPECT_EQ(FindSystemInformationProgram(SearchPath()), std::nullopt);
}

TEST_F(SystemInformationProgramTest, TheSysInfoKeyNamesTheProgramFound) {
    Install(Folder("first"), "hardinfo2");
    const std::shared_ptr<Registry> registry = OpenSystemRegistry(SearchPath());
    RegistryKey key = kNoRegistryKey;
    ASSERT_EQ(registry->OpenKey(kHkeyLocalMachine, kSysInfoKey, 0, kKeyRead, key), kRegistrySuccess);
    std::array<unsigned char, 1024> buffer{};
    std::uint32_t type = 0;
    std::uint32_t dataSize = 0;
    ASSERT_EQ(registry->QueryValue(key, kSysInfoValue, type, buffer, dataSize), kRegistrySuccess);
    const std::string expected = (directory_.Path() / "first/hardinfo2").string();
    EXPECT_EQ(type, kRegistryString);
    ASSERT_EQ(dataSize, expected.size() + 1);
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + dataSize), expected + '\0');
    EXPECT_EQ(registry->QueryValue(key, "MSINFO", type, buffer, dataSize), kRegistryFileNotFound);
    std::array<unsigned char, 4> small{};
    EXPECT_EQ(registry->QueryValue(key, kSysInfoValue, type, small, dataSize), kRegistryMoreData);
    EXPECT_EQ(registry->CloseKey(key), kRegistrySuccess);

    key = 42;
    EXPECT_NE(registry->OpenKey(kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Shared Tools Location", 0, kKeyRead, key),
              kRegistrySuccess);
    EXPECT_EQ(key, kNoRegistryKey);
}

TEST(SystemRegistry, WithoutASystemInformationProgramNoKeyOpens) {
    const std::shared_ptr<Registry> registry = OpenSystemRegistry("");
    for (std::string_view keyPath : {kSysInfoKey, std::string_view("SOFTWARE"), std::string_view("")}) {
        RegistryKey key = 42;
        EXPECT_NE(registry->OpenKey(kHkeyLocalMachine, keyPath, 0, kKeyRead, key), kRegistrySuccess) << keyPath;
        EXPECT_EQ(key, kNoRegistryKey) << keyPath;
    }
}

TEST(SystemRegistry, QueryOnAnEmptyHandleReadsNothing) {
    const std::shared_ptr<Registry> registry = OpenSystemRegistry("");
    std::array<unsigned char, 16> buffer{};
    std::uint32_t type = 0;
    std::uint32_t dataSize = 0;
    EXPECT_NE(registry->QueryValue(kNoRegistryKey, "PATH", type, buffer, dataSize), kRegistrySuccess);
    EXPECT_EQ(dataSize, 0u);
    EXPECT_EQ(buffer, (std::array<unsigned char, 16>{}));
}

}  // namespace
}  // namespace kalendro
