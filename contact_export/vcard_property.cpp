// SPDX-License-Identifier: GPL-3.0-or-later
#include "contact_export/vcard_property.h"

#include "platform/text/escaped_text.h"
#include "platform/text/utf8.h"

namespace kalendro {
namespace {

constexpr std::size_t kFoldWidth = 75;

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

constexpr EscapeSet kTextEscapes("\\,", true);
constexpr EscapeSet kComponentEscapes("\\;", false);
// The backslashes of a structured value are its components' own.
constexpr EscapeSet kStructuredEscapes(",", true);

std::string Escaped(std::string_view value, const EscapeSet& escapes) {
    std::string text;
    text.reserve(value.size() + value.size() / 8);
    AppendEscaped(text, value, escapes);
    return text;
}

void WriteEscapedProperty(TextStream& stream, std::string_view name, std::string_view value, const EscapeSet& escapes) {
    if (value.empty()) {
        return;
    }
    std::string line;
    line.reserve(name.size() + 1 + value.size() + value.size() / 8);
    line += name;
    line += ':';
    AppendEscaped(line, value, escapes);
    WriteFolded(stream, line);
}

}  // namespace

std::string EscapeText(std::string_view value) { return Escaped(value, kTextEscapes); }

std::string EscapeComponent(std::string_view component) { return Escaped(component, kComponentEscapes); }

void WriteProperty(TextStream& stream, std::string_view name, std::string_view value) {
    WriteEscapedProperty(stream, name, value, kTextEscapes);
}

void WriteStructuredProperty(TextStream& stream, std::string_view name, std::string_view components) {
    WriteEscapedProperty(stream, name, components, kStructuredEscapes);
}

}  // namespace kalendro
