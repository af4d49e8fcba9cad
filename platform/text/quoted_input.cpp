// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/text/quoted_input.h"

#include <array>

#include "platform/text/utf8.h"

namespace kalendro {
namespace {

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == '\x7F'; }

std::string EscapedControl(char c) {
    switch (c) {
        case '\n':
            return "\\n";
        case '\r':
            return "\\r";
        case '\t':
            return "\\t";
        default: {
            constexpr std::array<char, 16> kHexDigits = {'0', '1', '2', '3', '4', '5', '6', '7',
                                                         '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'};
            const auto byte = static_cast<unsigned char>(c);
            return {'\\', 'x', kHexDigits[byte >> 4], kHexDigits[byte & 0xF]};
        }
    }
}

}  // namespace

std::string WithControlsEscaped(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    for (const char c : text) {
        if (IsControl(c)) {
            shown += EscapedControl(c);
        } else {
            shown += c;
        }
    }
    return shown;
}

std::string QuotedInput(std::string_view text) {
    const std::string_view kept = LeadingCodePoints(text, kQuotedInputLimit);
    return "\"" + WithControlsEscaped(kept) + "\"" + (kept.size() < text.size() ? "..." : "");
}

}  // namespace kalendro
