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

// Running out of memory used to end the program with an abort instead of the failure report.
TEST(RunSubcommandTest, RunningOutOfMemoryIsFailure7WithExitStatus1) {
    const testing::CommandResult result = RunCaught(RunThatRunsOutOfMemory, {});
    EXPECT_EQ(result.status, kExitFailed);
    EXPECT_EQ(result.err, "Run-time error '7':\n\nOut of memory\n");
    EXPECT_EQ(result.out, "");
}

}  // namespace
}  // namespace kalendro::tools
