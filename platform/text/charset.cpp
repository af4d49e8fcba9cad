// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/text/charset.h"

#include <iconv.h>

#include <algorithm>
#include <cctype>
#include <cerrno>

#include "platform/store/failure.h"
#include "platform/text/utf8.h"

namespace kalendro {
namespace {

const auto kNoDescriptor = reinterpret_cast<iconv_t>(-1);
constexpr std::size_t kConversionFailed = static_cast<std::size_t>(-1);
constexpr std::size_t kShiftSequenceRoom = 16;
// glibc's iconv goes over the rest of its input again at each character it cannot convert, so the
// input goes in short pieces: the cost of a text full of such characters stays linear.
constexpr std::size_t kPieceSize = 64;

bool IsUtf8Name(std::string_view name) {
    std::string plain;
    for (const char c : name) {
        if (c != '-' && c != '_') {
            plain += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
    }
    return plain == "UTF8";
}

bool IsAscii(std::string_view text) { return AsciiRunEnd(text, 0) == text.size(); }

std::string AllAsciiCharacters() {
    std::string all;
    for (int c = 0; c < 0x80; ++c) {
        all += static_cast<char>(c);
    }
    return all;
}

// Grows the buffer only when the room past what is used runs short, never shrinking it: resizing on
// every unconvertible character would fill the rest of a long text again each time.
void EnsureRoom(std::string& out, std::size_t used, std::size_t room) {
    if (out.size() < used + room) {
        out.resize(used + room);
    }
}

}  // namespace

CharsetConverter::CharsetConverter(const std::string& from, const std::string& to)
    : handle_(iconv_open(to.c_str(), from.c_str())),
      fromUtf8_(IsUtf8Name(from)),
      utf8ToUtf8_(fromUtf8_ && IsUtf8Name(to)) {
    if (handle_ == kNoDescriptor) {
        throw Failure(kInvalidArgument, "Unknown character set conversion: " + from + " to " + to);
    }
    const std::string ascii = AllAsciiCharacters();
    asciiPassesThrough_ = Convert(ascii) == ascii;
}

CharsetConverter::~CharsetConverter() { iconv_close(static_cast<iconv_t>(handle_)); }

std::string CharsetConverter::Convert(std::string_view text) {
    std::string out;
    AppendConverted(text, out);
    return out;
}

void CharsetConverter::AppendConverted(std::string_view text, std::string& out) {
    if (utf8ToUtf8_) {
        AppendCheckedUtf8(text, out);
        return;
    }
    // Most output is plain ASCII; it needs no trip through iconv when the sets agree on it.
    if (asciiPassesThrough_ && IsAscii(text)) {
        out += text;
        return;
    }
    const auto descriptor = static_cast<iconv_t>(handle_);
    char* in = const_cast<char*>(text.data());  // iconv's signature only; it never writes there
    std::size_t inLeft = text.size();
    std::size_t used = out.size();
    while (inLeft > 0) {
        EnsureRoom(out, used, inLeft * 4 + kShiftSequenceRoom);
        char* outAt = out.data() + used;
        std::size_t outLeft = out.size() - used;
        const std::size_t piece = std::min(inLeft, kPieceSize);
        std::size_t pieceLeft = piece;
        const std::size_t result = iconv(descriptor, &in, &pieceLeft, &outAt, &outLeft);
        const int error = errno;
        inLeft -= piece - pieceLeft;
        used = static_cast<std::size_t>(outAt - out.data());
        // A character cut by the piece's end starts the next piece.
        const bool cutCharacter = error == EINVAL && pieceLeft < inLeft;
        if (result != kConversionFailed || error == E2BIG || cutCharacter) {
            continue;
        }
        // The "?" is plain ASCII, so a stateful target must be back in its initial state first.
        ReturnToInitialState(out, used);
        EnsureRoom(out, used, 1);
        out[used++] = '?';
        const std::size_t skip = UnconvertibleLength({in, inLeft});
        in += skip;
        inLeft -= skip;
    }
    ReturnToInitialState(out, used);
    out.resize(used);
}

void CharsetConverter::AppendCheckedUtf8(std::string_view text, std::string& out) {
    std::size_t at = 0;
    while (at < text.size()) {
        // Runs of well-formed characters go out in one append.
        std::size_t end = AsciiRunEnd(text, at);
        while (end < text.size()) {
            const std::size_t length = Utf8CharacterLength(text.substr(end));
            if (length == 0) {
                break;
            }
            end = AsciiRunEnd(text, end + length);
        }
        out.append(text, at, end - at);
        if (end < text.size()) {
            out += '?';
            ++end;
        }
        at = end;
    }
}

std::size_t CharsetConverter::UnconvertibleLength(std::string_view rest) const {
    // A whole character that the target cannot hold, or a single byte that is no character.
    return fromUtf8_ ? std::max<std::size_t>(1, Utf8CharacterLength(rest)) : 1;
}

void CharsetConverter::ReturnToInitialState(std::string& out, std::size_t& used) {
    EnsureRoom(out, used, kShiftSequenceRoom);
    char* outAt = out.data() + used;
    std::size_t outLeft = kShiftSequenceRoom;
    iconv(static_cast<iconv_t>(handle_), nullptr, nullptr, &outAt, &outLeft);
    used = static_cast<std::size_t>(outAt - out.data());
}

}  // namespace kalendro
