// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/text/quoted_input.h"

#include <gtest/gtest.h>

#include <string>

namespace kalendro {
namespace {

TEST(QuotedInputTest, ShortTextIsQuotedWhole) {
    EXPECT_EQ(QuotedInput("Calendar"), "\"Calendar\"");
    EXPECT_EQ(QuotedInput(""), "\"\"");
    const std::string exactlyTheLimit(kQuotedInputLimit, 'k');
    EXPECT_EQ(QuotedInput(exactlyTheLimit), "\"" + exactlyTheLimit + "\"");
}

// A 100 MB key used to go to standard error whole; a megabyte shows the cut as well.
TEST(QuotedInputTest, LongTextIsCutAtTheLimitWithoutSplittingACharacter) {
    EXPECT_EQ(QuotedInput(std::string(1'000'000, 'k')), "\"" + std::string(kQuotedInputLimit, 'k') + "\"...");
    std::string accented;
    for (std::size_t i = 0; i <= kQuotedInputLimit; ++i) {
        accented += "\xC3\xA9";
    }
    EXPECT_EQ(QuotedInput(accented), "\"" + accented.substr(0, 2 * kQuotedInputLimit) + "\"...");
}

TEST(QuotedInputTest, ControlCharactersAreEscaped) {
    EXPECT_EQ(WithControlsEscaped("a\nb\rc\td\x1B[2J\x7F\x01 \xC3\xA9"), "a\\nb\\rc\\td\\x1B[2J\\x7F\\x01 \xC3\xA9");
    EXPECT_EQ(QuotedInput(std::string("nul\0here", 8)), "\"nul\\x00here\"");
}

}  // namespace
}  // namespace kalendro
