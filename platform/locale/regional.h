// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/store/store_date.h"

namespace kalendro {

// A run of one pattern letter ("dd", "yyyy"), or literal text (letter 0).
struct PatternToken {
    char letter = 0;
    std::size_t count = 0;
    std::string literal;
};

// A date or time form with its tokens, found once when the form is set rather than for each date
// written: a large export writes hundreds of thousands of dates in the same form.
class RegionalForm {
public:
    // Not explicit, so that a form is set from its text as any other setting is.
    RegionalForm(std::string text);
    RegionalForm(const char* text) : RegionalForm(std::string(text)) {}

    const std::string& Text() const { return text_; }
    const std::vector<PatternToken>& Tokens() const { return tokens_; }

private:
    std::string text_;
    std::vector<PatternToken> tokens_;
};

// The regional settings the program reads: the short date form (a pattern of d, dd, M, MM, yy,
// yyyy and literal separators), the long time form (H, HH, h, hh, m, mm, s, ss, tt and literals),
// the time separator and the twelve abbreviated month names. Texts are UTF-8.
struct RegionalSettings {
    RegionalForm shortDateForm = "MM/dd/yy";
    RegionalForm longTimeForm = "HH:mm:ss";
    std::string timeSeparator = ":";
    std::array<std::string, 12> monthAbbreviations = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    // What tt in the long time form writes before and after noon (t: their first character).
    std::string amDesignator = "AM";
    std::string pmDesignator = "PM";

    // Derived from the process's LC_TIME locale.
    static RegionalSettings FromLocale();

    // The date in the short date form.
    std::string FormatShortDate(const StoreDate& date) const;
    // The same, its year always written with four digits (yy widened to yyyy).
    std::string FormatShortDateFullYear(const StoreDate& date) const;
    std::string FormatLongTime(const StoreDate& date) const;
    // The short date, then a blank and the long time when the time of day is not midnight.
    std::string FormatGeneralDate(const StoreDate& date) const;
    // Reads a date written in the short date form (two-digit years as the platform reads
    // them: 00-29 are 2000-2029, 30-99 are 1930-1999; four-digit years as they stand), at
    // midnight; nothing when the text does not match the form.
    std::optional<StoreDate> ParseShortDate(std::string_view text) const;
};

}  // namespace kalendro
