// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/text/utf8.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace kalendro {
namespace {

TEST(Utf8CharacterLength, WellFormedCharactersOnly) {
    EXPECT_EQ(Utf8CharacterLength("a"), 1u);
    EXPECT_EQ(Utf8CharacterLength("\xC3\xA9x"), 2u);         // é
    EXPECT_EQ(Utf8CharacterLength("\xE2\x82\xAC"), 3u);      // €
    EXPECT_EQ(Utf8CharacterLength("\xF0\x9F\x98\x80"), 4u);  // an emoji
    EXPECT_EQ(Utf8CharacterLength(""), 0u);
    EXPECT_EQ(Utf8CharacterLength("\x80"), 0u);              // a continuation byte alone
    EXPECT_EQ(Utf8CharacterLength("\xC0\xAF"), 0u);          // overlong "/"
    EXPECT_EQ(Utf8CharacterLength("\xE0\x80\xAF"), 0u);      // overlong "/"
    EXPECT_EQ(Utf8CharacterLength("\xED\xA0\x80"), 0u);      // a surrogate
    EXPECT_EQ(Utf8CharacterLength("\xF4\x90\x80\x80"), 0u);  // past U+10FFFF
    EXPECT_EQ(Utf8CharacterLength("\xE2\x82"), 0u);          // cut short
    EXPECT_EQ(Utf8CharacterLength("\xE2\x82x"), 0u);
}

TEST(AdvanceCodePoints, CountsCharactersNotBytes) {
    const std::string_view text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z";  // a é € emoji z
    EXPECT_EQ(AdvanceCodePoints(text, 0, 0), 0u);
    EXPECT_EQ(AdvanceCodePoints(text, 0, 2), 3u);
    EXPECT_EQ(AdvanceCodePoints(text, 1, 3), 10u);
    EXPECT_EQ(AdvanceCodePoints(text, 0, 99), text.size());
    EXPECT_EQ(AdvanceCodePoints(text, text.size(), 1), text.size());
}

TEST(AdvanceCodePoints, ABrokenByteIsOneCodePointOfItsOwn) {
    EXPECT_EQ(AdvanceCodePoints("\x80\x80x", 0, 2), 2u);
    EXPECT_EQ(AdvanceCodePoints("\xE2\x82x", 0, 1), 1u);
}

// ASCII is taken in runs of eight bytes: characters at every place around a run's edges still count
// as one, as a walk of one code point at a time counts them.
TEST(AdvanceCodePoints, RunsOfAsciiCountAsOneByteACharacter) {
    for (std::size_t place = 0; place < 20; ++place) {
        std::string text(24, 'x');
        text.insert(place, "\xE2\x82\xAC");  // €
        text.insert(0, "\x80");              // a broken byte first
        for (std::size_t count = 0; count < text.size(); ++count) {
            std::size_t expected = 0;
            for (std::size_t taken = 0; taken < count && expected < text.size(); ++taken) {
                expected += std::max<std::size_t>(1, Utf8CharacterLength(std::string_view(text).substr(expected)));
            }
            EXPECT_EQ(AdvanceCodePoints(text, 0, count), expected) << place << " " << count;
        }
        EXPECT_EQ(AsciiRunEnd(text, 1), place + 1);
    }
}

TEST(LeadingCodePoints, NeverCutsACharacterInTwo) {
    EXPECT_EQ(LeadingCodePoints("5-11-02 14:00:00", 10), "5-11-02 14");
    EXPECT_EQ(LeadingCodePoints("\xC3\xA9t\xC3\xA9", 2), "\xC3\xA9t");
    EXPECT_EQ(LeadingCodePoints("short", 10), "short");
}

}  // namespace
}  // namespace kalendro
