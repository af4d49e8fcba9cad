#include "platform/charset.h"

#include <gtest/gtest.h>

#include "platform/failure.h"

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

TEST(CharsetConverter, ReadsAnEightBitSetIntoUtf8) {
    CharsetConverter fromLatin1("ISO-8859-1", "UTF-8");
    EXPECT_EQ(fromLatin1.Convert("M\xE4r"), "M\xC3\xA4r");
}

TEST(CharsetConverter, AnUnknownSetIsAFailure) {
    try {
        CharsetConverter unknown("UTF-8", "NO-SUCH-SET");
        FAIL() << "no failure";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.Number(), kInvalidArgument);
        EXPECT_NE(failure.Description().find("NO-SUCH-SET"), std::string::npos);
    }
}

}  // namespace
}  // namespace kalendro
