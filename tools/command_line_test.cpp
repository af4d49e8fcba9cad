// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/command_line.h"

#include <gtest/gtest.h>

#include <new>

#include "testing/caught_command.h"

namespace kalendro::tools {
namespace {

using testing::RunCaught;

int RunThatRunsOutOfMemory(const std::vector<std::string>& arguments) {
    return RunSubcommand("calendar", "usage", arguments, []() -> int { throw std::bad_alloc(); });
}

int RunWithAnUnknownOption(const std::vector<std::string>& arguments) {
    return RunSubcommand("calendar", "usage", arguments, [&] {
        ReadOptions(arguments, [](const std::string&, const auto&) { return false; });
        return kExitWritten;
    });
}

// Running out of memory used to end the program with an abort instead of the failure report.
TEST(RunSubcommandTest, RunningOutOfMemoryIsFailure7WithExitStatus1) {
    const testing::CommandResult result = RunCaught(RunThatRunsOutOfMemory, {});
    EXPECT_EQ(result.status, kExitFailed);
    EXPECT_EQ(result.err, "Run-time error '7':\n\nOut of memory\n");
    EXPECT_EQ(result.out, "");
}

TEST(RunSubcommandTest, UsageErrorsAndHelpKeepTheirStatus) {
    const testing::CommandResult unknown = RunCaught(RunWithAnUnknownOption, {"--bogus"});
    EXPECT_EQ(unknown.status, kExitUsage);
    EXPECT_NE(unknown.err.find("unknown option \"--bogus\""), std::string::npos);
    const testing::CommandResult help = RunCaught(RunThatRunsOutOfMemory, {"--help"});
    EXPECT_EQ(help.status, kExitWritten);
    EXPECT_EQ(help.out, "usage");
}

}  // namespace
}  // namespace kalendro::tools
