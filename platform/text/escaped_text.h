// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace kalendro {

// The characters that a text value of an export file (iCalendar, vCard) carries behind a backslash,
// and whether its line breaks become "\n". Made once, as a constant, so that the writers test each
// character by a table look-up rather than a search of the marked characters.
class EscapeSet {
public:
    constexpr EscapeSet(std::string_view marked, bool lineBreaks) {
        for (const char c : marked) {
            escaped_[static_cast<unsigned char>(c)] = true;
        }
        lineBreaks_ = lineBreaks;
        escaped_['\r'] = escaped_['\r'] || lineBreaks;
        escaped_['\n'] = escaped_['\n'] || lineBreaks;
    }

    constexpr bool Stops(char c) const { return escaped_[static_cast<unsigned char>(c)]; }
    constexpr bool LineBreaks() const { return lineBreaks_; }

private:
    std::array<bool, 256> escaped_{};
    bool lineBreaks_ = false;
};

// Appends the text with a backslash before each marked character; with line breaks, every CR LF pair
// is one "\n", and a CR or LF alone is one too, since some readers end a line at a raw CR. The
// characters between two that need escaping are appended as they stand.
void AppendEscaped(std::string& out, std::string_view text, const EscapeSet& escapes);

}  // namespace kalendro
