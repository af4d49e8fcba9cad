// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pst/rtf_body.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "platform/pst/property_values.h"
#include "platform/text/ascii.h"
#include "platform/text/html_text.h"

namespace kalendro::pst {

namespace {

// Bytes in the document's code page and UTF-16 units of \u, in the order they come, as UTF-8.
class TextSink {
public:
    void SetCodePage(int codePage) {
        FlushBytes();
        decoder_ = CodePageDecoder(codePage);
    }
    void Byte(char byte) {
        FlushUnits();
        bytes_ += byte;
    }
    void Unit(std::uint16_t unit) {
        FlushBytes();
        units_ += static_cast<char>(unit & 0xFF);
        units_ += static_cast<char>(unit >> 8);
    }
    void Text(std::string_view utf8) {
        FlushBytes();
        FlushUnits();
        out_ += utf8;
    }
    std::string Finish() {
        Text({});
        return std::move(out_);
    }

private:
    void FlushBytes() {
        decoder_.AppendDecoded(bytes_, out_);
        bytes_.clear();
    }
    void FlushUnits() {
        out_ += Utf16ToUtf8(units_);
        units_.clear();
    }

    CodePageDecoder decoder_;
    std::string bytes_;
    std::string units_;
    std::string out_;
};

struct GroupState {
    bool skipped = false;  // a destination whose text is not part of the body
    bool htmlRtf = false;  // RTF that only renders encapsulated HTML or text
    bool htmlTag = false;  // a \*\htmltag destination: original HTML
    int unicodeSkip = 1;   // \uc: characters that follow each \u as its fallback
};

// Destinations that hold no body text.
constexpr std::string_view kSkippedDestinations[] = {
    "fonttbl",    "colortbl",
    "stylesheet", "info",
    "pict",       "object",
    "header",     "headerl",
    "headerr",    "headerf",
    "footer",     "footerl",
    "footerr",    "footerf",
    "listtable",  "listoverridetable",
    "revtbl",     "rsidtbl",
    "generator",  "xmlnstbl",
    "themedata",  "colorschememapping",
    "datastore",  "latentstyles",
    "fldinst",    "filetbl",
    "pgdsctbl",   "mmathPr",
    "footnote",   "mhtmltag",
};

struct SpecialCharacter {
    std::string_view word;
    char16_t character;
};

constexpr SpecialCharacter kSpecialCharacters[] = {
    {"emdash", u'\u2014'},    {"endash", u'\u2013'},    {"lquote", u'\u2018'}, {"rquote", u'\u2019'},
    {"ldblquote", u'\u201C'}, {"rdblquote", u'\u201D'}, {"bullet", u'\u2022'}, {"emspace", u' '},
    {"enspace", u' '},        {"qmspace", u' '},
};

constexpr std::string_view kLineBreakWords[] = {"par", "line", "row", "sect", "page"};
constexpr std::string_view kTabWords[] = {"tab", "cell"};

template <std::size_t N>
bool IsOneOf(std::string_view word, const std::string_view (&words)[N]) {
    return std::find(std::begin(words), std::end(words), word) != std::end(words);
}

class RtfReader {
public:
    explicit RtfReader(std::string_view rtf) : rtf_(rtf) {}

    std::string Text() {
        while (position_ < rtf_.size()) {
            Step();
        }
        std::string text = sink_.Finish();
        return fromHtml_ ? HtmlToText(text) : text;
    }

private:
    GroupState& State() { return groups_.back(); }
    bool Emitting() { return !State().skipped && (State().htmlTag || !State().htmlRtf); }

    // A character, \'hh, control word or symbol that follows \u as its fallback is dropped.
    bool SkippedAsFallback() {
        if (pendingFallback_ == 0) {
            return false;
        }
        --pendingFallback_;
        return true;
    }

    void Step() {
        const char c = rtf_[position_++];
        switch (c) {
            case '{':
                groups_.push_back(State());
                groupStart_ = true;
                ignorable_ = false;
                pendingFallback_ = 0;
                return;
            case '}':
                if (groups_.size() > 1) {
                    groups_.pop_back();
                }
                pendingFallback_ = 0;
                return;
            case '\\':
                Control();
                return;
            case '\r':
            case '\n':
                return;
            default:
                groupStart_ = false;
                if (!SkippedAsFallback() && Emitting()) {
                    sink_.Byte(c);
                }
        }
    }

    void Control() {
        if (position_ >= rtf_.size()) {
            return;
        }
        if (IsAsciiLetter(rtf_[position_])) {
            ControlWord();
        } else {
            ControlSymbol(rtf_[position_++]);
        }
    }

    void ControlWord() {
        const std::size_t start = position_;
        while (position_ < rtf_.size() && IsAsciiLetter(rtf_[position_]) && position_ - start < 32) {
            ++position_;
        }
        const std::string_view word = rtf_.substr(start, position_ - start);
        const std::optional<int> parameter = Parameter();
        if (position_ < rtf_.size() && rtf_[position_] == ' ') {
            ++position_;
        }
        const bool first = std::exchange(groupStart_, false);
        const bool ignorable = std::exchange(ignorable_, false);
        if (word == "bin") {
            position_ += std::min<std::size_t>(std::max(parameter.value_or(0), 0), rtf_.size() - position_);
            return;
        }
        if (SkippedAsFallback()) {
            return;
        }
        // A known non-text destination is left out even when some text precedes its word in the group.
        if ((first && ignorable) || IsOneOf(word, kSkippedDestinations)) {
            StartDestination(word);
            return;
        }
        if (!State().skipped) {
            Apply(word, parameter);
        }
    }

    std::optional<int> Parameter() {
        const std::size_t start = position_;
        const bool negative = position_ < rtf_.size() && rtf_[position_] == '-';
        position_ += negative ? 1 : 0;
        long long value = 0;
        std::size_t digits = 0;
        while (position_ < rtf_.size() && IsAsciiDigit(rtf_[position_])) {
            value = std::min<long long>(value * 10 + (rtf_[position_++] - '0'), 1LL << 31);
            ++digits;
        }
        if (digits == 0) {
            position_ = start;
            return std::nullopt;
        }
        return static_cast<int>(std::clamp<long long>(negative ? -value : value, INT32_MIN, INT32_MAX));
    }

    // \*\htmltag keeps the original HTML of a message that came as HTML; every other ignorable or
    // known non-text destination is left out.
    void StartDestination(std::string_view word) {
        if (word == "htmltag" && fromHtml_) {
            State().htmlTag = true;
        } else {
            State().skipped = true;
        }
    }

    void Apply(std::string_view word, std::optional<int> parameter) {
        if (word == "fromhtml") {
            fromHtml_ = true;
        } else if (word == "ansicpg" && parameter) {
            sink_.SetCodePage(*parameter);
        } else if (word == "uc") {
            State().unicodeSkip = std::clamp(parameter.value_or(1), 0, 16);
        } else if (word == "htmlrtf") {
            State().htmlRtf = parameter.value_or(1) != 0;
        } else if (Emitting()) {
            Emit(word, parameter);
        }
    }

    void Emit(std::string_view word, std::optional<int> parameter) {
        if (word == "u" && parameter) {
            sink_.Unit(static_cast<std::uint16_t>(*parameter));
            pendingFallback_ = State().unicodeSkip;
        } else if (IsOneOf(word, kLineBreakWords)) {
            sink_.Text("\r\n");
        } else if (IsOneOf(word, kTabWords)) {
            sink_.Text("\t");
        } else {
            const auto special = std::find_if(std::begin(kSpecialCharacters), std::end(kSpecialCharacters),
                                              [&](const SpecialCharacter& entry) { return entry.word == word; });
            if (special != std::end(kSpecialCharacters)) {
                sink_.Unit(special->character);
            }
        }
    }

    void ControlSymbol(char symbol) {
        if (symbol == '*') {
            ignorable_ = true;
            return;
        }
        groupStart_ = false;
        std::optional<char> byte;
        if (symbol == '\'') {
            byte = HexByte();
        } else if (symbol == '\\' || symbol == '{' || symbol == '}') {
            byte = symbol;
        }
        if (SkippedAsFallback() || !Emitting()) {
            return;
        }
        if (byte) {
            sink_.Byte(*byte);
        } else if (symbol == '~') {
            sink_.Unit(0x00A0);
        } else if (symbol == '_') {
            sink_.Text("-");
        } else if (symbol == '\r' || symbol == '\n') {
            sink_.Text("\r\n");
        }
    }

    std::optional<char> HexByte() {
        if (rtf_.size() - position_ < 2) {
            position_ = rtf_.size();
            return std::nullopt;
        }
        const auto high = HexDigitValue(rtf_[position_]);
        const auto low = HexDigitValue(rtf_[position_ + 1]);
        position_ += 2;
        if (!high || !low) {
            return std::nullopt;
        }
        return static_cast<char>(*high * 16 + *low);
    }

    std::string_view rtf_;
    std::size_t position_ = 0;
    std::vector<GroupState> groups_{GroupState{}};
    bool groupStart_ = false;
    bool ignorable_ = false;
    int pendingFallback_ = 0;
    bool fromHtml_ = false;
    TextSink sink_;
};

}  // namespace

std::string RtfBodyText(std::string_view rtf) { return RtfReader(rtf).Text(); }

}  // namespace kalendro::pst
