#include "contact_export/vcard_property.h"

#include "platform/utf8.h"

namespace kalendro {
namespace {

constexpr std::size_t kFoldWidth = 75;

// A backslash before each marked character; with line breaks, every CR LF pair is one "\n", and a CR
// alone is one too, since some readers end a line at a raw CR. Characters between two that need
// escaping are copied as they stand.
std::string Escape(std::string_view value, std::string_view marked, bool lineBreaks) {
    const auto needsEscape = [&](char c) {
        return marked.find(c) != std::string_view::npos || (lineBreaks && (c == '\r' || c == '\n'));
    };
    std::string text;
    text.reserve(value.size() + value.size() / 8);
    for (std::size_t at = 0; at < value.size();) {
        std::size_t special = at;
        while (special < value.size() && !needsEscape(value[special])) {
            ++special;
        }
        text.append(value, at, special - at);
        if (special == value.size()) {
            break;
        }
        const char c = value[special];
        at = special + 1;
        if (c != '\r' && c != '\n') {
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

void WriteFolded(TextStream& stream, const std::string& line) {
    for (std::size_t start = 0; start < line.size();) {
        const std::size_t end = AdvanceCodePoints(line, start, kFoldWidth);
        if (start > 0) {
            stream.Write(" ");
        }
        stream.WriteLine(std::string_view(line).substr(start, end - start));
        start = end;
    }
}

}  // namespace

std::string EscapeText(std::string_view value) { return Escape(value, "\\,", true); }

std::string EscapeComponent(std::string_view component) { return Escape(component, "\\;", false); }

void WriteProperty(TextStream& stream, std::string_view name, std::string_view value) {
    if (!value.empty()) {
        WriteFolded(stream, std::string(name) + ":" + EscapeText(value));
    }
}

void WriteStructuredProperty(TextStream& stream, std::string_view name, std::string_view components) {
    if (!components.empty()) {
        WriteFolded(stream, std::string(name) + ":" + Escape(components, ",", true));
    }
}

}  // namespace kalendro
