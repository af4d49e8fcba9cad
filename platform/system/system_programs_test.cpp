// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/system_programs.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/store/failure.h"
#include "testing/failure_of.h"

namespace kalendro {
namespace {

namespace fs = std::filesystem;

class SystemProgramsTest : public ::testing::Test {
protected:
    SystemProgramsTest() {
        directory_ = fs::temp_directory_path() / ("kalendro-programs-" + std::to_string(getpid()));
        fs::create_directories(directory_);
    }
    ~SystemProgramsTest() override { fs::remove_all(directory_); }

    fs::path WriteFile(const std::string& name, const std::string& content, fs::perms permissions) {
        const fs::path path = directory_ / name;
        std::ofstream(path) << content;
        fs::permissions(path, permissions);
        return path;
    }

    static int StartFailureNumber(const std::string& path) {
        return testing::FailureOf([&] { StartSystemProgram(path); }).Number();
    }

    fs::path directory_;
};

TEST_F(SystemProgramsTest, NormalFileIsOnlyAnExistingRegularFile) {
    const fs::path file = WriteFile("msinfo32.exe", "x", fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_TRUE(IsNormalFile(file.string()));
    EXPECT_FALSE(IsNormalFile(directory_.string()));
    EXPECT_FALSE(IsNormalFile((directory_ / "missing.exe").string()));
    EXPECT_FALSE(IsNormalFile(""));
    EXPECT_FALSE(IsNormalFile("/dev/null"));
}

TEST_F(SystemProgramsTest, MissingOrEmptyPathFailsAsFileNotFound) {
    EXPECT_EQ(StartFailureNumber((directory_ / "missing.exe").string()), kFileNotFound);
    EXPECT_EQ(StartFailureNumber(""), kFileNotFound);
}

TEST_F(SystemProgramsTest, FileThatMayNotBeRunFailsAsPermissionDenied) {
    const fs::path file = WriteFile("plain.txt", "text", fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(StartFailureNumber(file.string()), kPermissionDenied);
    EXPECT_EQ(StartFailureNumber(directory_.string()), kPermissionDenied);
}

TEST_F(SystemProgramsTest, ProgramRunsWithoutBeingWaitedFor) {
    // The program waits a while for a go file that the test writes only after the start has
    // returned, and leaves its mark only when the go came: a start that waited for the program
    // to end would get no mark.
    const fs::path go = directory_ / "go";
    const fs::path mark = directory_ / "mark";
    const fs::path program = WriteFile("program.sh",
                                       "#!/bin/sh\ni=0\nwhile [ ! -e '" + go.string() +
                                           "' ] && [ $i -lt 200 ]; do sleep 0.05; i=$((i+1)); done\n"
                                           "[ -e '" +
                                           go.string() + "' ] && touch '" + mark.string() + "'\n",
                                       fs::perms::owner_all);
    ASSERT_EQ(StartFailureNumber(program.string()), 0);
    std::ofstream(go) << "go";
    for (int tries = 0; tries < 400 && !fs::exists(mark); ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    EXPECT_TRUE(fs::exists(mark)) << "the started program never ran";
}

TEST_F(SystemProgramsTest, WordsAfterTheProgramAreItsArguments) {
    const fs::path mark = directory_ / "arguments";
    const fs::path program =
        WriteFile("echo.sh", "#!/bin/sh\necho \"$#:$1:$2\" > '" + mark.string() + "'\n", fs::perms::owner_all);
    ASSERT_EQ(StartFailureNumber(program.string() + "  info-overview   --verbose "), 0);
    std::string written;
    for (int tries = 0; tries < 400 && written.empty(); ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
        std::ifstream(mark) >> written;
    }
    EXPECT_EQ(written, "2:info-overview:--verbose");
}

}  // namespace
}  // namespace kalendro
