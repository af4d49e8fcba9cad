// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/text/escaped_text.h"

namespace kalendro {

void AppendEscaped(std::string& out, std::string_view text, const EscapeSet& escapes) {
    for (std::size_t at = 0; at < text.size();) {
        std::size_t special = at;
        while (special < text.size() && !escapes.Stops(text[special])) {
            ++special;
        }
        out.append(text, at, special - at);
        if (special == text.size()) {
            break;
        }
        const char c = text[special];
        at = special + 1;
        const bool lineBreak = escapes.LineBreaks() && (c == '\r' || c == '\n');
        if (!lineBreak) {
            out += '\\';
            out += c;
            continue;
        }
        if (c == '\r' && at < text.size() && text[at] == '\n') {
            ++at;
        }
        out += "\\n";
    }
}

}  // namespace kalendro
