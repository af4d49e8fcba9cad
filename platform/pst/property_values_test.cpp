// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pst/property_values.h"

#include <gtest/gtest.h>

#include "platform/pst/test_values.h"

namespace kalendro::pst {
namespace {

using testing::BlobWriter;

TEST(PropertyValuesTest, UnicodeTextBecomesUtf8WithSurrogatesJoinedAndFaultsReplaced) {
    EXPECT_EQ(ReadText(testing::Unicode(u"Caf\u00e9 \u20ac")), "Caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(ReadText(testing::Unicode(u"\U0001F600!")), "\xF0\x9F\x98\x80!");
    // A lone high surrogate, a lone low surrogate, then an odd trailing byte.
    EXPECT_EQ(Utf16ToUtf8(BlobWriter().U16(0xD83D).U16('a').U16(0xDE00).Data() + "x"),
              "\xEF\xBF\xBD"
              "a"
              "\xEF\xBF\xBD"
              "\xEF\xBF\xBD");
    EXPECT_EQ(ReadText(testing::Unicode(std::u16string(u"end") + u'\0')), "end");
    EXPECT_EQ(ReadText({kTypeUnicode, ""}), "");
}

TEST(PropertyValuesTest, AnsiTextIsWindows1252) {
    EXPECT_EQ(ReadText(testing::Ansi("\x80 \x93q\x94 \xE9\xFF")),
              "\xE2\x82\xAC \xE2\x80\x9Cq\xE2\x80\x9D \xC3\xA9\xC3\xBF");
    EXPECT_EQ(ReadText(testing::Ansi("")), "");
    EXPECT_EQ(ReadText(testing::Int32(5)), std::nullopt);
}

TEST(PropertyValuesTest, CodePagesConvertThroughIconvOrFallBackToWindows1252) {
    CodePageDecoder cyrillic(1251);
    EXPECT_EQ(ReadText(testing::Ansi("\xCF\xF0\xE8"), cyrillic), "\xD0\x9F\xD1\x80\xD0\xB8");
    EXPECT_EQ(ReadText(testing::Unicode(u"\u00e9"), cyrillic), "\xC3\xA9");
    EXPECT_EQ(CodePageDecoder(28605).Decode("\xA4"), "\xE2\x82\xAC");  // ISO-8859-15's euro sign
    EXPECT_EQ(CodePageDecoder(65001).Decode("ok\xFF"), "ok?");
    EXPECT_EQ(CodePageDecoder(99999).Decode("\x80"), "\xE2\x82\xAC");
    EXPECT_EQ(CodePageDecoder(932).Decode("\x93\xFA\x96\x7B"), "\xE6\x97\xA5\xE6\x9C\xAC");
}

TEST(PropertyValuesTest, NumbersFlagsAndTimesCheckTypeAndSize) {
    EXPECT_EQ(ReadInt32(testing::Int32(-2)), -2);
    EXPECT_EQ(ReadInt32({kTypeInt16, BlobWriter().U16(0xFFFE).Data()}), -2);
    EXPECT_EQ(ReadInt32({kTypeInt32, "\x01\x02"}), std::nullopt);
    EXPECT_EQ(ReadBool(testing::Bool(true)), true);
    EXPECT_EQ(ReadBool({kTypeBoolean, std::string(1, '\0')}), false);
    EXPECT_EQ(ReadBool({kTypeBoolean, ""}), std::nullopt);
    EXPECT_EQ(ReadSystemTime(testing::SystemTime({2016, 8, 2, 15, 0, 0})),
              StoreDate({2016, 8, 2, 15, 0, 0}).SerialSeconds());
    // 1601-01-01 itself, the smallest FILETIME.
    EXPECT_EQ(ReadSystemTime({kTypeSystemTime, BlobWriter().U64(0).Data()}), -11644473600);
    EXPECT_EQ(ReadSystemTime({kTypeSystemTime, "1234567"}), std::nullopt);
    EXPECT_EQ(MinutesSince1601ToUnixSeconds(testing::Minutes1601({2016, 8, 2})),
              StoreDate({2016, 8, 2}).SerialSeconds());
}

TEST(PropertyValuesTest, TextListsReadTheirOffsetsAndRefuseBadOnes) {
    EXPECT_EQ(ReadTextList(testing::UnicodeList({u"Red", u"", u"Gr\u00fcn"})),
              (std::vector<std::string>{"Red", "", "Gr\xC3\xBCn"}));
    EXPECT_EQ(ReadTextList({kTypeMultipleUnicode, ""}), std::vector<std::string>{});
    // A count larger than the data, an offset inside the offset table, an offset past the end.
    EXPECT_EQ(ReadTextList({kTypeMultipleUnicode, BlobWriter().U32(1000).U32(8).Data()}), std::nullopt);
    EXPECT_EQ(ReadTextList({kTypeMultipleUnicode, BlobWriter().U32(1).U32(2).Utf16(u"ab").Data()}), std::nullopt);
    EXPECT_EQ(ReadTextList({kTypeMultipleUnicode, BlobWriter().U32(2).U32(12).U32(99).Utf16(u"ab").Data()}),
              std::nullopt);
    EXPECT_EQ(ReadTextList(testing::Unicode(u"x")), std::nullopt);
}

TEST(PropertyValuesTest, SubjectMarkerIsDropped) {
    EXPECT_EQ(WithoutSubjectMarker("\x01\x05RE: lunch"), "RE: lunch");
    EXPECT_EQ(WithoutSubjectMarker("\x01\xC3\xA9text"), "text");
    EXPECT_EQ(WithoutSubjectMarker("\x01"), "");
    EXPECT_EQ(WithoutSubjectMarker("plain \x01"), "plain \x01");
}

}  // namespace
}  // namespace kalendro::pst
