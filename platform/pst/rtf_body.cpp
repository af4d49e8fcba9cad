#include "platform/pst/rtf_body.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "platform/pst/byte_reader.h"
#include "platform/pst/property_values.h"
#include "platform/store/failure.h"

namespace kalendro::pst {

namespace {

// ---- MS-OXRTFCP decompression ----

constexpr std::uint32_t kCompressed = 0x75465A4C;    // "LZFu"
constexpr std::uint32_t kUncompressed = 0x414C454D;  // "MELA"
constexpr std::size_t kDictionarySize = 4096;
constexpr std::string_view kInitialDictionary =
    "{\\rtf1\\ansi\\mac\\deff0\\deftab720{\\fonttbl;}{\\f0\\fnil \\froman \\fswiss \\fmodern \\fscript \\fdecor MS "
    "Sans "
    "SerifSymbolArialTimes New RomanCourier{\\colortbl\\red0\\green0\\blue0\r\n\\par "
    "\\pard\\plain\\f0\\fs20\\b\\i\\u\\tab\\tx";
static_assert(kInitialDictionary.size() == 207);

std::array<std::uint32_t, 256> MakeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t index = 0; index < table.size(); ++index) {
        std::uint32_t value = index;
        for (int bit = 0; bit < 8; ++bit) {
            value = (value & 1) ? 0xEDB88320 ^ (value >> 1) : value >> 1;
        }
        table[index] = value;
    }
    return table;
}

// The CRC-32 of the compressed contents, started at zero and not inverted, as MS-OXRTFCP computes it.
std::uint32_t ContentsCrc(std::string_view bytes) {
    static const std::array<std::uint32_t, 256> table = MakeCrcTable();
    std::uint32_t crc = 0;
    for (const char byte : bytes) {
        crc = table[(crc ^ static_cast<std::uint8_t>(byte)) & 0xFF] ^ (crc >> 8);
    }
    return crc;
}

class Dictionary {
public:
    Dictionary() { std::copy(kInitialDictionary.begin(), kInitialDictionary.end(), bytes_.begin()); }

    std::size_t WritePosition() const { return write_; }
    void Put(char byte, std::string& out) {
        out += byte;
        bytes_[write_] = byte;
        write_ = (write_ + 1) % kDictionarySize;
    }
    // A reference may overlap what it writes: it is copied one byte at a time.
    void Copy(std::size_t offset, std::size_t length, std::string& out) {
        for (std::size_t index = 0; index < length; ++index) {
            Put(bytes_[(offset + index) % kDictionarySize], out);
        }
    }

private:
    std::array<char, kDictionarySize> bytes_{};
    std::size_t write_ = kInitialDictionary.size();
};

std::string Decompress(ByteReader& contents) {
    Dictionary dictionary;
    std::string out;
    while (contents.Remaining() > 0) {
        const std::uint8_t control = contents.U8();
        for (int bit = 0; bit < 8; ++bit) {
            if ((control & (1 << bit)) == 0) {
                dictionary.Put(static_cast<char>(contents.U8()), out);
                continue;
            }
            const std::uint16_t reference = static_cast<std::uint16_t>((contents.U8() << 8) | contents.U8());
            const std::size_t offset = reference >> 4;
            if (offset == dictionary.WritePosition()) {
                return out;  // the end marker
            }
            dictionary.Copy(offset, (reference & 0xF) + 2, out);
        }
    }
    contents.Fail("it ends without its end marker");
}

// ---- Text out of RTF ----

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

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::optional<int> HexValue(char c) {
    if (IsDigit(c)) {
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
        if (IsLetter(rtf_[position_])) {
            ControlWord();
        } else {
            ControlSymbol(rtf_[position_++]);
        }
    }

    void ControlWord() {
        const std::size_t start = position_;
        while (position_ < rtf_.size() && IsLetter(rtf_[position_]) && position_ - start < 32) {
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
        while (position_ < rtf_.size() && IsDigit(rtf_[position_])) {
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
        const auto high = HexValue(rtf_[position_]);
        const auto low = HexValue(rtf_[position_ + 1]);
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

// ---- HTML as text ----

struct Entity {
    std::string_view name;
    char32_t character;
};

constexpr Entity kEntities[] = {
    {"amp", U'&'},         {"lt", U'<'},         {"gt", U'>'},         {"quot", U'"'},       {"apos", U'\''},
    {"nbsp", U' '},        {"copy", U'\u00A9'},  {"reg", U'\u00AE'},   {"trade", U'\u2122'}, {"hellip", U'\u2026'},
    {"mdash", U'\u2014'},  {"ndash", U'\u2013'}, {"lsquo", U'\u2018'}, {"rsquo", U'\u2019'}, {"ldquo", U'\u201C'},
    {"rdquo", U'\u201D'},  {"bull", U'\u2022'},  {"euro", U'\u20AC'},  {"laquo", U'\u00AB'}, {"raquo", U'\u00BB'},
    {"middot", U'\u00B7'}, {"deg", U'\u00B0'},   {"times", U'\u00D7'},
};

constexpr std::string_view kBlockTags[] = {"p",  "div", "tr", "li", "h1",    "h2",         "h3",  "h4",
                                           "h5", "h6",  "ul", "ol", "table", "blockquote", "pre", "hr"};
constexpr std::string_view kInvisibleTags[] = {"head", "style", "script", "title"};

std::string Lowercase(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return lower;
}

bool IsHtmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

class HtmlTextWriter {
public:
    explicit HtmlTextWriter(std::string_view html) : html_(html), lower_(Lowercase(html)) {}

    std::string Text() {
        while (position_ < html_.size()) {
            const char c = html_[position_];
            if (c == '<' && StartsTag()) {
                Tag();
            } else if (c == '&') {
                EntityReference();
            } else {
                ++position_;
                Character(c);
            }
        }
        TrimTrailingBlanks();
        return std::move(out_);
    }

private:
    void Character(char c) {
        if (IsHtmlSpace(c)) {
            pendingSpace_ = !out_.empty() && !EndsWithLineBreak();
            return;
        }
        Visible(std::string_view(&c, 1));
    }
    void Visible(std::string_view text) {
        if (std::exchange(pendingSpace_, false)) {
            out_ += ' ';
        }
        out_ += text;
    }
    bool EndsWithLineBreak() const { return out_.size() >= 2 && out_.compare(out_.size() - 2, 2, "\r\n") == 0; }
    void TrimTrailingBlanks() {
        while (!out_.empty() && out_.back() == ' ') {
            out_.pop_back();
        }
    }
    void LineBreak() {
        pendingSpace_ = false;
        TrimTrailingBlanks();
        out_ += "\r\n";
    }

    // As browsers read it, "<" starts a tag only before a letter, "/" or "!": "a < b" is text.
    bool StartsTag() const {
        if (position_ + 1 >= html_.size()) {
            return false;
        }
        const char next = html_[position_ + 1];
        return IsLetter(next) || next == '/' || next == '!';
    }

    std::size_t TagEnd(std::size_t from) const {
        char quote = 0;
        for (std::size_t index = from; index < html_.size(); ++index) {
            const char c = html_[index];
            if (quote != 0) {
                quote = c == quote ? 0 : quote;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                return index;
            }
        }
        return html_.size();
    }

    void Tag() {
        if (lower_.compare(position_, 4, "<!--") == 0) {
            const std::size_t end = html_.find("-->", position_ + 4);
            position_ = end == std::string_view::npos ? html_.size() : end + 3;
            return;
        }
        const std::size_t end = TagEnd(position_ + 1);
        const std::string_view inside = std::string_view(lower_).substr(position_ + 1, end - position_ - 1);
        position_ = std::min(end + 1, html_.size());
        const bool closing = !inside.empty() && inside[0] == '/';
        const std::string_view rest = inside.substr(closing ? 1 : 0);
        const std::string_view name = rest.substr(0, std::min(rest.find_first_of(" \t\r\n/"), rest.size()));
        if (!closing && IsOneOf(name, kInvisibleTags)) {
            SkipPast("</" + std::string(name));
        } else if (name == "br" || (IsOneOf(name, kBlockTags) && !out_.empty() && !EndsWithLineBreak())) {
            LineBreak();
        }
    }

    void SkipPast(const std::string& closingTag) {
        const std::size_t found = lower_.find(closingTag, position_);
        position_ = found == std::string::npos ? html_.size() : std::min(TagEnd(found) + 1, html_.size());
    }

    void EntityReference() {
        const std::size_t end = html_.find(';', position_);
        constexpr std::size_t kLongestEntity = 10;
        if (end == std::string_view::npos || end - position_ > kLongestEntity) {
            ++position_;
            Visible("&");
            return;
        }
        const std::string_view name = html_.substr(position_ + 1, end - position_ - 1);
        const std::optional<char32_t> character = EntityCharacter(name);
        if (!character) {
            ++position_;
            Visible("&");
            return;
        }
        position_ = end + 1;
        std::string utf8;
        AppendUtf8(*character, utf8);
        Visible(utf8);
    }

    static std::optional<char32_t> EntityCharacter(std::string_view name) {
        if (name.size() >= 2 && name[0] == '#') {
            const bool hex = name[1] == 'x' || name[1] == 'X';
            const std::string_view digits = name.substr(hex ? 2 : 1);
            char32_t value = 0;
            for (const char digit : digits) {
                const std::optional<int> number =
                    hex ? HexValue(digit) : (IsDigit(digit) ? std::optional<int>(digit - '0') : std::nullopt);
                if (!number || value > 0x10FFFF) {
                    return std::nullopt;
                }
                value = value * (hex ? 16 : 10) + static_cast<char32_t>(*number);
            }
            return digits.empty() ? std::nullopt : std::optional<char32_t>(value);
        }
        const auto entity = std::find_if(std::begin(kEntities), std::end(kEntities),
                                         [&](const Entity& candidate) { return candidate.name == name; });
        return entity == std::end(kEntities) ? std::nullopt : std::optional<char32_t>(entity->character);
    }

    std::string_view html_;
    std::string lower_;
    std::size_t position_ = 0;
    bool pendingSpace_ = false;
    std::string out_;
};

}  // namespace

std::string DecompressRtf(std::string_view compressed) {
    ByteReader header(compressed, "compressed RTF body");
    const std::uint32_t compressedSize = header.U32();
    const std::uint32_t rawSize = header.U32();
    const std::uint32_t type = header.U32();
    const std::uint32_t crc = header.U32();
    if (compressedSize < 12 || compressedSize - 12 > header.Remaining()) {
        header.Fail("its size does not match its data");
    }
    const std::string_view contents = header.Take(compressedSize - 12);
    if (type == kUncompressed) {
        return std::string(contents.substr(0, rawSize));
    }
    if (type != kCompressed) {
        header.Fail("its compression type is unknown");
    }
    if (ContentsCrc(contents) != crc) {
        header.Fail("its checksum does not match");
    }
    ByteReader reader(contents, "compressed RTF body");
    std::string rtf = Decompress(reader);
    if (rtf.size() > rawSize) {
        rtf.resize(rawSize);
    }
    return rtf;
}

std::string RtfBodyText(std::string_view rtf) { return RtfReader(rtf).Text(); }

std::string HtmlToText(std::string_view html) { return HtmlTextWriter(html).Text(); }

}  // namespace kalendro::pst
