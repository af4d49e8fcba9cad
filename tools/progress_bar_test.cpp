// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/progress_bar.h"

#include <gtest/gtest.h>

#include <sstream>

namespace kalendro::tools {
namespace {

TEST(ProgressBarLine, FillsTheBarAndCountsInProportion) {
    EXPECT_EQ(ProgressBarLine(0, 12), "[..............................]  0 of 12  0%");
    EXPECT_EQ(ProgressBarLine(3, 12), "[#######.......................]  3 of 12  25%");
    EXPECT_EQ(ProgressBarLine(12, 12), "[##############################]  12 of 12  100%");
    // 2 of 3 is 66.7%: both the cells and the percentage round down, so full means done.
    EXPECT_EQ(ProgressBarLine(2, 3), "[####################..........]  2 of 3  66%");
}

TEST(ProgressBarLine, CountsBeyondTheTotalNeverOverfillTheBar) {
    EXPECT_EQ(ProgressBarLine(5, 0), "[..............................]  5 of 0  0%");
    EXPECT_EQ(ProgressBarLine(4, 2), "[##############################]  4 of 2  100%");
}

TEST(TerminalProgress, RedrawsOneLineAndEndsItOnce) {
    std::ostringstream terminal;
    TerminalProgress progress(terminal);
    progress.Finish();
    EXPECT_EQ(terminal.str(), "");
    progress.Show(1, 2);
    progress.Show(2, 2);
    progress.Finish();
    progress.Finish();
    EXPECT_EQ(terminal.str(), "\r" + ProgressBarLine(1, 2) + "\r" + ProgressBarLine(2, 2) + "\n");
}

}  // namespace
}  // namespace kalendro::tools
