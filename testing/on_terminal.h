// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

namespace kalendro::testing {

// While it lives, standard output (descriptor 1) is a pseudo-terminal, so that code asking isatty
// takes its terminal path; what the test catches through std::cout's buffer is unchanged.
class OnTerminal {
public:
    OnTerminal() : master_(posix_openpt(O_RDWR | O_NOCTTY)), savedOutput_(dup(STDOUT_FILENO)) {
        EXPECT_GE(master_, 0);
        EXPECT_EQ(grantpt(master_), 0);
        EXPECT_EQ(unlockpt(master_), 0);
        const int terminal = open(ptsname(master_), O_RDWR | O_NOCTTY);
        EXPECT_GE(terminal, 0);
        dup2(terminal, STDOUT_FILENO);
        close(terminal);
    }
    ~OnTerminal() {
        dup2(savedOutput_, STDOUT_FILENO);
        close(savedOutput_);
        close(master_);
    }
    OnTerminal(const OnTerminal&) = delete;
    OnTerminal& operator=(const OnTerminal&) = delete;

private:
    int master_;
    int savedOutput_;
};

}  // namespace kalendro::testing
