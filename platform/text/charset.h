// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace kalendro {

// Converts text from one character set into another (iconv names such as "UTF-8" or
// "ISO-8859-1"). A character that the target set cannot hold, and a byte that starts no character
// of the source set, each become one "?": output files must never fail on the text they are given.
// From UTF-8 into UTF-8 the text is only checked, not sent through iconv: the bytes are the same,
// each byte that starts no well-formed character (Utf8CharacterLength) giving one "?" as iconv's
// refusal would.
class CharsetConverter {
public:
    // An unknown character set is a failure.
    CharsetConverter(const std::string& from, const std::string& to);
    ~CharsetConverter();
    CharsetConverter(const CharsetConverter&) = delete;
    CharsetConverter& operator=(const CharsetConverter&) = delete;

    void AppendConverted(std::string_view text, std::string& out);
    std::string Convert(std::string_view text);

private:
    std::size_t UnconvertibleLength(std::string_view rest) const;
    static void AppendCheckedUtf8(std::string_view text, std::string& out);
    void ReturnToInitialState(std::string& out, std::size_t& used);

    void* handle_;
    bool fromUtf8_;
    bool utf8ToUtf8_;
    bool asciiPassesThrough_ = false;
};

}  // namespace kalendro
