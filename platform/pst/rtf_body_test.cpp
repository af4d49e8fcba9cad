// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pst/rtf_body.h"

#include <gtest/gtest.h>

#include "platform/pst/test_values.h"
#include "platform/text/html_text.h"
#include "platform/store/failure.h"
#include "testing/failure_of.h"

namespace kalendro::pst {
namespace {

using testing::BlobWriter;

std::string Bytes(std::initializer_list<std::uint8_t> values) { return std::string(values.begin(), values.end()); }

// MS-OXRTFCP's own example: "{\rtf1\ansi\ansicpg1252\pard hello world}" CR LF, compressed.
const std::string kMicrosoftExample =
    Bytes({0x2d, 0x00, 0x00, 0x00, 0x2b, 0x00, 0x00, 0x00, 0x4c, 0x5a, 0x46, 0x75, 0xf1, 0xc5, 0xc7, 0xa7, 0x03,
           0x00, 0x0a, 0x00, 0x72, 0x63, 0x70, 0x67, 0x31, 0x32, 0x35, 0x42, 0x32, 0x0a, 0xf3, 0x20, 0x68, 0x65,
           0x6c, 0x09, 0x00, 0x20, 0x62, 0x77, 0x05, 0xb0, 0x6c, 0x64, 0x7d, 0x0a, 0x80, 0x0f, 0xa0});

// By hand: a reference to "{\rtf1\ansi" in the initial dictionary, three literals, a reference that
// overlaps what it writes ("ab" six times over), a literal, then the end marker. CRC computed apart.
const std::string kHandCompressed =
    Bytes({0x17, 0x00, 0x00, 0x00, 0x15, 0x00, 0x00, 0x00, 0x4c, 0x5a, 0x46, 0x75, 0x88, 0xb5,
           0xee, 0x5a, 0x51, 0x00, 0x09, 0x20, 0x61, 0x62, 0x0D, 0xB4, 0x7D, 0x0E, 0x40});

std::string Stored(std::string_view rtf) {
    return BlobWriter()
        .U32(static_cast<std::uint32_t>(rtf.size() + 12))
        .U32(static_cast<std::uint32_t>(rtf.size()))
        .Bytes("MELA")
        .U32(0)
        .Bytes(rtf)
        .Data();
}

TEST(RtfBodyTest, DecompressesCompressedAndStoredForms) {
    EXPECT_EQ(DecompressRtf(kMicrosoftExample), "{\\rtf1\\ansi\\ansicpg1252\\pard hello world}\r\n");
    EXPECT_EQ(DecompressRtf(kHandCompressed), "{\\rtf1\\ansi abababab}");
    EXPECT_EQ(DecompressRtf(Stored("{\\rtf1 x}")), "{\\rtf1 x}");
    EXPECT_EQ(BodyTextFromCompressedRtf(kMicrosoftExample), "hello world");
}

TEST(RtfBodyTest, DamagedCompressedValuesAreFailures) {
    std::string badCrc = kMicrosoftExample;
    badCrc[20] ^= 1;
    std::string unknownType = kMicrosoftExample;
    unknownType[8] = 'X';
    std::string tooLong = kMicrosoftExample;
    tooLong[0] = 0x2e;
    // The end marker cut off, with the CRC of what is left.
    const std::string noEnd =
        Bytes({0x0d, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x4c, 0x5a, 0x46, 0x75, 0x00, 0x00, 0x00, 0x00, 0x00});
    for (const std::string& value : {badCrc, unknownType, tooLong, noEnd, kMicrosoftExample.substr(0, 15)}) {
        EXPECT_EQ(kalendro::testing::FailureOf([&] { DecompressRtf(value); }).Number(), kStoreOperationFailed);
    }
}

TEST(RtfBodyTest, PlainRtfGivesItsTextWithCrLf) {
    EXPECT_EQ(
        RtfBodyText("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}"
                    "{\\colortbl ;\\red255\\green0\\blue0;}{\\*\\generator Riched20;}{\\stylesheet{\\s1 Normal;}}"
                    "{\\info{\\title T}}\\viewkind4\\uc1\\pard\\f0\\fs20 Caf\\'e9 \\b bold\\b0\\par\r\nSecond\\line "
                    "line\\tab x \\{a\\}\\\\\\par}"),
        "Caf\xC3\xA9 bold\r\nSecond\r\nline\tx {a}\\\r\n");
    EXPECT_EQ(RtfBodyText("{\\rtf1 {\\*\\unknown hidden}{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt link}}"
                          "\\ldblquote q\\rdblquote\\~\\emdash}"),
              "link\xE2\x80\x9Cq\xE2\x80\x9D\xC2\xA0\xE2\x80\x94");
    EXPECT_EQ(RtfBodyText("{\\rtf1 \\bin3 {}}a}"), "a");
    EXPECT_EQ(RtfBodyText("{\\rtf1 { \\fonttbl{\\f0 Arial;}}b}"), " b");
}

TEST(RtfBodyTest, UnicodeEscapesSkipTheirFallbackAndJoinSurrogates) {
    EXPECT_EQ(RtfBodyText("{\\rtf1\\uc1 \\u8364?x}"),
              "\xE2\x82\xAC"
              "x");
    EXPECT_EQ(RtfBodyText("{\\rtf1\\uc2 \\u8364\\'80\\'80x}"),
              "\xE2\x82\xAC"
              "x");
    EXPECT_EQ(RtfBodyText("{\\rtf1\\uc0 \\u8364 x}"),
              "\xE2\x82\xAC"
              "x");
    EXPECT_EQ(RtfBodyText("{\\rtf1\\uc1 \\u-10179?\\u-8704?}"), "\xF0\x9F\x98\x80");
    // A group end stops the skipping.
    EXPECT_EQ(RtfBodyText("{\\rtf1\\uc3 {\\u8364?}y}"),
              "\xE2\x82\xAC"
              "y");
    EXPECT_EQ(RtfBodyText("{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8}"), "\xD0\x9F\xD1\x80\xD0\xB8");
}

TEST(RtfBodyTest, EncapsulatedTextIsRecovered) {
    EXPECT_EQ(RtfBodyText("{\\rtf1\\ansi\\ansicpg1252\\fromtext \\fbidis \\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\r\n"
                          "\\uc1\\pard\\plain\\deftab360 \\f0\\fs20 This is a complete test\\htmlrtf {\\b x}\\htmlrtf0 "
                          "\\par\r\n}"),
              "This is a complete test\r\n");
}

// Encapsulated HTML as Outlook writes it: original tags in htmltag groups, RTF for display only
// between htmlrtf and htmlrtf0.
const std::string kEncapsulatedHtml =
    "{\\rtf1\\ansi\\ansicpg1252\\fromhtml1 \\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\r\n"
    "{\\*\\htmltag19 <html>}{\\*\\htmltag34 <head>}{\\*\\htmltag177 <style>p \\{margin:0\\}</style>}"
    "{\\*\\htmltag41 </head>}{\\*\\htmltag50 <body>}\\htmlrtf {\\htmlrtf0 {\\*\\htmltag64 <p>}Caf\\'e9 "
    "{\\*\\htmltag84 &amp;}\\htmlrtf &\\htmlrtf0  more{\\*\\htmltag116 <br>}\\htmlrtf \\line\\htmlrtf0 next"
    "{\\*\\htmltag72 </p>}\\htmlrtf \\par\\htmlrtf0 {\\*\\htmltag64 <p>}{\\*\\htmltag84 &nbsp;}\\htmlrtf "
    "\\'a0\\htmlrtf0 {\\*\\htmltag72 </p>}{\\*\\mhtmltag84 <img src=\"cid:x\">}\\htmlrtf }\\htmlrtf0 "
    "{\\*\\htmltag58 </body>}{\\*\\htmltag27 </html>}}";

TEST(RtfBodyTest, EncapsulatedHtmlBecomesText) {
    EXPECT_EQ(RtfBodyText(kEncapsulatedHtml), "Caf\xC3\xA9 & more\r\nnext\r\n\r\n");
}

TEST(RtfBodyTest, HtmlToTextDropsTagsAndDecodesEntities) {
    EXPECT_EQ(
        HtmlToText("<HTML><Head><Title>t</Title></head><BODY><!-- <p>no</p> -->\r\n"
                   "<div class=\"a>b\">one\r\n   two</div><script>x<y</script><p>&lt;3&gt; &#233;&#x20AC; AT&T &foo; "
                   "&</p>tail<br/>"),
        "one two\r\n<3> \xC3\xA9\xE2\x82\xAC AT&T &foo; &\r\ntail\r\n");
    EXPECT_EQ(HtmlToText("a<br>  <br>b   "), "a\r\n\r\nb");
    EXPECT_EQ(HtmlToText("1 < 2 <3 <"), "1 < 2 <3 <");
    EXPECT_EQ(HtmlToText("<p>unterminated <b"), "unterminated");
}

TEST(RtfBodyTest, AnyCutOrChangedByteStillGivesText) {
    for (std::size_t size = 0; size <= kEncapsulatedHtml.size(); ++size) {
        EXPECT_NO_THROW(RtfBodyText(kEncapsulatedHtml.substr(0, size)));
        EXPECT_NO_THROW(HtmlToText(kEncapsulatedHtml.substr(0, size)));
    }
    testing::ForEachOneByteChange(kEncapsulatedHtml, [](const std::string& changed) {
        EXPECT_NO_THROW(RtfBodyText(changed));
        EXPECT_NO_THROW(HtmlToText(changed));
    });
}

}  // namespace
}  // namespace kalendro::pst
