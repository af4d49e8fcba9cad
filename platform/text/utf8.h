// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kalendro {

// Text inside the program is UTF-8; these walk it by code points so that no cut, fold or
// replacement ever splits a character.

// Where the run of ASCII bytes that starts at `from` ends: most text is ASCII, and every byte of an
// export's output passes here, so the run is checked eight bytes at a time.
std::size_t AsciiRunEnd(std::string_view text, std::size_t from);

// The length of the well-formed UTF-8 character at the start of the text, 0 when there is none.
std::size_t Utf8CharacterLength(std::string_view text);

// The byte offset just past at most `count` code points from `start`. A byte that starts no
// well-formed character counts as one code point of its own.
std::size_t AdvanceCodePoints(std::string_view text, std::size_t start, std::size_t count);

// The first `count` code points of the text, or all of it when it is shorter.
std::string_view LeadingCodePoints(std::string_view text, std::size_t count);

// What stands for a character that cannot be read.
inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// Appends one code point as UTF-8; a value that is no Unicode scalar becomes U+FFFD.
void AppendUtf8(char32_t codePoint, std::string& out);

}  // namespace kalendro
