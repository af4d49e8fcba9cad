// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

namespace kalendro {

// Character classes of the ASCII syntax of formats such as RTF and HTML, whatever the text they carry:
// no locale decides what a letter or a digit is there.
inline bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
inline bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

// The value of a hexadecimal digit of either case.
inline std::optional<int> HexDigitValue(char c) {
    if (IsAsciiDigit(c)) {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return std::nullopt;
}

}  // namespace kalendro
