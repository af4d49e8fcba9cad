#include "contact_export/vcard_property.h"

#include "platform/utf8.h"

namespace kalendro {
namespace {

constexpr std::size_t kFoldWidth = 75;

bool IsEscaped(char c) { return c == '\\' || c == ',' || c == '\r' || c == '\n'; }

}  // namespace

// Characters between two that need escaping are copied as they stand; a CR LF pair is one line
// break, and a CR alone is one too, since some readers end a line at a raw CR.
std::string EscapeText(std::string_view value) {
    std::string text;
    text.reserve(value.size() + value.size() / 8);
    for (std::size_t at = 0; at < value.size();) {
        std::size_t special = at;
        while (special < value.size() && !IsEscaped(value[special])) {
            ++special;
        }
        text.append(value, at, special - at);
        if (special == value.size()) {
            break;
        }
        const char c = value[special];
        at = special + 1;
        if (c == '\\' || c == ',') {
            text += '\\';
            text += c;
            continue;
        }
        if (c == '\r' && at < value.size() && value[at] == '\n') {
            ++at;
        }
        text += "\\n";
    }
    return text;
}

void WriteProperty(TextStream& stream, std::string_view name, std::string_view value) {
    if (value.empty()) {
        return;
    }
    const std::string line = std::string(name) + ":" + EscapeText(value);
    for (std::size_t start = 0; start < line.size();) {
        const std::size_t end = AdvanceCodePoints(line, start, kFoldWidth);
        if (start > 0) {
            stream.Write(" ");
        }
        stream.WriteLine(std::string_view(line).substr(start, end - start));
        start = end;
    }
}

}  // namespace kalendro
