// SPDX-License-Identifier: GPL-3.0-or-later
#include "contact_export/vcard_property.h"

#include <gtest/gtest.h>

#include "testing/memory_text_stream.h"

namespace kalendro {
namespace {

using testing::MemoryTextStream;

std::string Repeat(const std::string& text, int count) {
    std::string result;
    for (int i = 0; i < count; ++i) {
        result += text;
    }
    return result;
}

class PropertyTest : public ::testing::Test {
protected:
    std::string Property(std::string_view name, std::string_view value) {
        WriteProperty(stream_, name, value);
        return stream_.Bytes();
    }

    MemoryTextStream stream_;
};

TEST_F(PropertyTest, FoldsEvery75CharactersWithALeadingSpace) {
    const std::string value73(73, 'x');  // "N:" + 73 = 75
    EXPECT_EQ(Property("N", value73), "N:" + value73 + "\r\n");
    stream_ = MemoryTextStream();
    EXPECT_EQ(Property("N", value73 + "y"), "N:" + value73 + "\r\n y\r\n");
    stream_ = MemoryTextStream();
    const std::string value223(223, 'z');  // 225 characters: three full physical lines
    EXPECT_EQ(Property("N", value223), "N:" + value223.substr(0, 73) + "\r\n " + value223.substr(73, 75) + "\r\n " +
                                           value223.substr(148) + "\r\n");
}

TEST_F(PropertyTest, FoldCountsEscapedCharactersAndMaySplitAnEscape) {
    // The comma becomes two characters and the fold falls between its backslash and the comma.
    const std::string value = std::string(72, 'a') + ",b";
    EXPECT_EQ(Property("N", value), "N:" + std::string(72, 'a') + "\\\r\n ,b\r\n");
}

TEST_F(PropertyTest, FoldCountsCodePointsAndNeverSplitsACharacter) {
    // 70 ASCII characters, then two-, three- and four-byte characters around the fold point.
    const std::string head = "N:" + std::string(70, 'a');
    EXPECT_EQ(Property("N", std::string(70, 'a') + "é€😀üñx"), head + "é€😀\r\n üñx\r\n");
    stream_ = MemoryTextStream();
    EXPECT_EQ(Property("N", Repeat("€", 80)), "N:" + Repeat("€", 73) + "\r\n " + Repeat("€", 7) + "\r\n");
}

TEST_F(PropertyTest, EmptyValueWritesNothing) {
    EXPECT_EQ(Property("NICKNAME", ""), "");
    EXPECT_EQ(stream_.Writes(), 0);
}

TEST_F(PropertyTest, StructuredValueEscapesCommasAndBreaksButKeepsComponentEscapes) {
    WriteStructuredProperty(stream_, "ADR", EscapeComponent("a;b") + ";" + EscapeComponent("c\\d, e\r\nf"));
    EXPECT_EQ(stream_.Bytes(), "ADR:a\\;b;c\\\\d\\, e\\nf\r\n");
    WriteStructuredProperty(stream_, "ORG", "");
    EXPECT_EQ(stream_.Writes(), 1);
}

TEST_F(PropertyTest, StructuredValueIsFoldedLikeAnyOther) {
    const std::string value = std::string(72, 'a') + "\\;b";  // "N:" + 72 = 74, the escape straddles the fold
    WriteStructuredProperty(stream_, "N", value);
    EXPECT_EQ(stream_.Bytes(), "N:" + std::string(72, 'a') + "\\\r\n ;b\r\n");
}

}  // namespace
}  // namespace kalendro
