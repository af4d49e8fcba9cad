// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/text/utf8.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace kalendro {

std::size_t Utf8CharacterLength(std::string_view text) {
    if (text.empty()) {
        return 0;
    }
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        return 1;
    }
    // The allowed range of the second byte rules out overlong forms, surrogates and code points
    // past U+10FFFF.
    std::size_t length = 0;
    unsigned char secondLow = 0x80;
    unsigned char secondHigh = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) {
            secondLow = 0xA0;
        }
        if (lead == 0xED) {
            secondHigh = 0x9F;
        }
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) {
            secondLow = 0x90;
        }
        if (lead == 0xF4) {
            secondHigh = 0x8F;
        }
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < secondLow || byte(1) > secondHigh) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

std::size_t AsciiRunEnd(std::string_view text, std::size_t from) {
    constexpr std::uint64_t kHighBits = 0x8080808080808080U;
    std::uint64_t word = 0;
    while (from + sizeof word <= text.size()) {
        std::memcpy(&word, text.data() + from, sizeof word);
        if ((word & kHighBits) != 0) {
            break;
        }
        from += sizeof word;
    }
    while (from < text.size() && static_cast<unsigned char>(text[from]) < 0x80) {
        ++from;
    }
    return from;
}

std::size_t AdvanceCodePoints(std::string_view text, std::size_t start, std::size_t count) {
    // Every code point takes at least one byte: no more bytes than code points wanted are all taken.
    if (start >= text.size() || text.size() - start <= count) {
        return std::max(start, text.size());
    }
    std::size_t at = start;
    std::size_t taken = 0;
    while (taken < count && at < text.size()) {
        // A run of ASCII, one byte a code point, up to the code points still wanted.
        const std::size_t asciiEnd = AsciiRunEnd(text.substr(0, at + (count - taken)), at);
        taken += asciiEnd - at;
        at = asciiEnd;
        if (taken < count && at < text.size()) {
            at += std::max<std::size_t>(1, Utf8CharacterLength(text.substr(at)));
            ++taken;
        }
    }
    return at;
}

std::string_view LeadingCodePoints(std::string_view text, std::size_t count) {
    return text.substr(0, AdvanceCodePoints(text, 0, count));
}

void AppendUtf8(char32_t codePoint, std::string& out) {
    if (codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        codePoint = kReplacementCharacter;
    }
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

}  // namespace kalendro
