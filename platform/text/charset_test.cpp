// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/text/charset.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/store/failure.h"
#include "testing/failure_of.h"

namespace kalendro {
namespace {

TEST(CharsetConverter, CharactersTheTargetCannotHoldBecomeOneQuestionMarkEach) {
    CharsetConverter latin1("UTF-8", "ISO-8859-1");
    EXPECT_EQ(latin1.Convert("caf\xC3\xA9"), "caf\xE9");
    EXPECT_EQ(latin1.Convert("\xE2\x82\xAC\xF0\x9F\x98\x80."), "??.");
    EXPECT_EQ(latin1.Convert(""), "");
    CharsetConverter ascii("UTF-8", "ASCII");
    EXPECT_EQ(ascii.Convert("\xC3\xA9t\xC3\xA9"), "?t?");
}

// A long text of characters the target cannot hold took over a minute when each one re-sized the rest
// of the buffer; it must now finish at once, appended after what the buffer already holds.
TEST(CharsetConverter, LongTextTheTargetCannotHoldBecomesQuestionMarksAfterWhatIsThere) {
    constexpr std::size_t kCharacters = 800'000;
    std::string text;
    for (std::size_t i = 0; i < kCharacters; ++i) {
        text += "\xC3\xA9";
    }
    CharsetConverter ascii("UTF-8", "ASCII");
    std::string out = "SUMMARY:";
    ascii.AppendConverted(text + "!", out);
    EXPECT_EQ(out, "SUMMARY:" + std::string(kCharacters, '?') + "!");
}

TEST(CharsetConverter, BytesThatStartNoCharacterBecomeOneQuestionMarkEach) {
    CharsetConverter utf8("UTF-8", "UTF-8");
    EXPECT_EQ(utf8.Convert("caf\xC3\xA9 \xE2\x82\xAC"), "caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(utf8.Convert("a\xFF\xFE\x62"), "a??b");
    EXPECT_EQ(utf8.Convert("\xC0\xAF"), "??");
    EXPECT_EQ(utf8.Convert("end\xE2\x82"), "end??");
    CharsetConverter latin1("UTF-8", "ISO-8859-1");
    EXPECT_EQ(latin1.Convert("\xC3\xA9\xFF\xC3\xA9"), "\xE9?\xE9");
}

// UTF-8 into UTF-8 bypasses iconv; iconv's own reading of UTF-8 (into GB18030, which holds every code point and keeps
// ASCII, and back) must give the same bytes for every text, well-formed or not: truncated, overlong, surrogate and
// out-of-range forms, and random bytes around them.
TEST(CharsetConverter, Utf8IntoUtf8GivesWhatIconvGives) {
    std::vector<std::string> texts = {"plain",
                                      "caf\xC3\xA9",
                                      "\xE2\x82\xAC\xF0\x9F\x98\x80",
                                      "\xC0\x80",
                                      "\xC1\xBF",
                                      "\xE0\x80\xAF",
                                      "\xE0\x9F\xBF",
                                      "\xED\xA0\x80",
                                      "\xED\x9F\xBF",
                                      "\xF0\x8F\xBF\xBF",
                                      "\xF4\x90\x80\x80",
                                      "\xF4\x8F\xBF\xBF",
                                      "\xF5\x80\x80\x80",
                                      "\xE2\x82",
                                      "\xE2\x82x",
                                      "\xF0\x9F\x98",
                                      "\x80\xBF",
                                      "a\xFE\xFF!",
                                      "\xC3"};
    std::mt19937 random(20261207);
    const std::string pieces = "a\x80\xBF\xC2\xC3\xDF\xE0\xE2\xED\xEF\xF0\xF4\xF5\xFF\x82\xA0\x9F\x90";
    for (int count = 0; count < 2000; ++count) {
        std::string text;
        const int length = static_cast<int>(random() % 12);
        for (int i = 0; i < length; ++i) {
            text += pieces[random() % pieces.size()];
        }
        texts.push_back(text);
    }
    CharsetConverter direct("UTF-8", "UTF-8");
    CharsetConverter toGb18030("UTF-8", "GB18030");
    CharsetConverter fromGb18030("GB18030", "UTF-8");
    for (const std::string& text : texts) {
        EXPECT_EQ(direct.Convert(text), fromGb18030.Convert(toGb18030.Convert(text))) << text;
    }
}

TEST(CharsetConverter, ReadsAnEightBitSetIntoUtf8) {
    CharsetConverter fromLatin1("ISO-8859-1", "UTF-8");
    EXPECT_EQ(fromLatin1.Convert("M\xE4r"), "M\xC3\xA4r");
}

TEST(CharsetConverter, AnUnknownSetIsAFailure) {
    const Failure failure = testing::FailureOf([] { CharsetConverter unknown("UTF-8", "NO-SUCH-SET"); });
    EXPECT_EQ(failure.Number(), kInvalidArgument);
    EXPECT_NE(failure.Description().find("NO-SUCH-SET"), std::string::npos);
}

}  // namespace
}  // namespace kalendro
