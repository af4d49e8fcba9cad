// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mailbox/fast_reading/mailbox_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>

namespace kalendro::mailbox {
namespace {

std::string Pattern(std::size_t size) {
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        text[i] = static_cast<char>('a' + i % 26);
    }
    return text;
}

// A file may be longer or shorter than its size said when it was opened.
TEST(MailboxText, ReadsTheWholeStreamWhateverSizeWasExpected) {
    const std::string content = Pattern(3 * 1024 * 1024 + 17);
    for (const std::size_t expected : {std::size_t{0}, std::size_t{100}, content.size(), content.size() * 2}) {
        std::istringstream stream(content);
        MailboxText text;
        ASSERT_TRUE(text.AppendAll(stream, expected));
        EXPECT_TRUE(text.View() == content) << expected;
        EXPECT_GE(text.ReadableSize(), text.size() + MailboxText::kPadding);
    }
}

TEST(MailboxText, PaddingAfterTheTextIsReadable) {
    const MailboxText text("{}");
    EXPECT_EQ(text.View(), "{}");
    ASSERT_GE(text.ReadableSize(), 2 + MailboxText::kPadding);
    EXPECT_TRUE(std::all_of(text.data() + 2, text.data() + 2 + MailboxText::kPadding, [](char c) { return c == 0; }));
}

// What lies before the position is handed back a megabyte at a time and reads as zeros; the page it
// falls in and all after it stay.
TEST(MailboxText, HandsBackOnlyWholeStepsBeforeThePosition) {
    const std::string content = Pattern(4 * 1024 * 1024);
    MailboxText text(content);
    text.ReleaseBefore(text.data() + 1000);
    EXPECT_TRUE(text.View() == content);
    const std::size_t position = 2 * 1024 * 1024 + 5000;
    text.ReleaseBefore(text.data() + position);
    EXPECT_EQ(text.data()[0], '\0');
    EXPECT_EQ(text.data()[2 * 1024 * 1024 - 1], '\0');
    EXPECT_TRUE(text.View().substr(position) == std::string_view(content).substr(position));
}

}  // namespace
}  // namespace kalendro::mailbox
