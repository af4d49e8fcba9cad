#include "platform/text/escaped_text.h"

#include <gtest/gtest.h>

namespace kalendro {
namespace {

std::string Escaped(std::string_view text, const EscapeSet& escapes) {
    std::string out = "KEY:";
    AppendEscaped(out, text, escapes);
    return out;
}

TEST(AppendEscaped, MarkedCharactersGetABackslashAndLineBreaksBecomeOneBackslashN) {
    constexpr EscapeSet text("\\;,", true);
    EXPECT_EQ(Escaped("a;b,c\\d", text), "KEY:a\\;b\\,c\\\\d");
    EXPECT_EQ(Escaped("one\r\ntwo\nthree\rfour\n\rfive", text), "KEY:one\\ntwo\\nthree\\nfour\\n\\nfive");
    EXPECT_EQ(Escaped("\r\n\r\n", text), "KEY:\\n\\n");
    EXPECT_EQ(Escaped("end\r", text), "KEY:end\\n");
    EXPECT_EQ(Escaped("", text), "KEY:");
    EXPECT_EQ(Escaped("caf\xC3\xA9 plain", text), "KEY:caf\xC3\xA9 plain");
}

TEST(AppendEscaped, WithoutLineBreaksCrAndLfStayAndOnlyTheMarkedOnesChange) {
    constexpr EscapeSet component("\\;", false);
    EXPECT_EQ(Escaped("a;b,c\\d\r\ne", component), "KEY:a\\;b,c\\\\d\r\ne");
    constexpr EscapeSet breaksOnly("", true);
    EXPECT_EQ(Escaped("ID;1,\\\r\n2", breaksOnly), "KEY:ID;1,\\\\n2");
}

}  // namespace
}  // namespace kalendro
