// SPDX-License-Identifier: GPL-3.0-or-later
// Dates written and read in the forms of the regional settings.
#include "platform/locale/regional.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cctype>
#include <span>
#include <vector>

#include "platform/text/utf8.h"

namespace kalendro {
namespace {

// Appends the value in at least minimumDigits characters, zeros after the sign; the sign counts
// towards the width, as in printf's "%0*d".
void AppendNumber(std::string& text, int value, std::size_t minimumDigits) {
    std::array<char, 16> digits{};
    const char* end = std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr;
    std::string_view number(digits.data(), static_cast<std::size_t>(end - digits.data()));
    const bool negative = value < 0;
    if (negative) {
        text += '-';
        number.remove_prefix(1);
    }
    const std::size_t width = number.size() + (negative ? 1 : 0);
    if (width < minimumDigits) {
        text.append(minimumDigits - width, '0');
    }
    text += number;
}

int TwelveHourClock(int hour) { return hour % 12 == 0 ? 12 : hour % 12; }

std::string_view Designator(const RegionalSettings& settings, const StoreDate& date, std::size_t count) {
    const std::string_view designator = date.hour < 12 ? settings.amDesignator : settings.pmDesignator;
    return count >= 2 ? designator : designator.substr(0, Utf8CharacterLength(designator));
}

void AppendToken(std::string& text, const RegionalSettings& settings, const PatternToken& token, const StoreDate& date,
                 bool fullYear) {
    const std::size_t digits = std::min<std::size_t>(token.count, 2);
    switch (token.letter) {
        case 'd':
            return AppendNumber(text, date.day, digits);
        case 'M':
            if (token.count >= 3) {
                text += settings.monthAbbreviations[date.month - 1];
                return;
            }
            return AppendNumber(text, date.month, digits);
        case 'y':
            if (fullYear || token.count >= 3) {
                return AppendNumber(text, date.year, 4);
            }
            return AppendNumber(text, date.year % 100, digits);
        case 'H':
            return AppendNumber(text, date.hour, digits);
        case 'h':
            return AppendNumber(text, TwelveHourClock(date.hour), digits);
        case 'm':
            return AppendNumber(text, date.minute, digits);
        case 's':
            return AppendNumber(text, date.second, digits);
        case 't':
            text += Designator(settings, date, token.count);
            return;
        default:
            text += token.literal;
    }
}

// Appends the date in the form.
void AppendForm(std::string& text, const RegionalSettings& settings, const RegionalForm& form, const StoreDate& date,
                bool fullYear = false) {
    for (const PatternToken& token : form.Tokens()) {
        AppendToken(text, settings, token, date, fullYear);
    }
}

std::string FormatForm(const RegionalSettings& settings, const RegionalForm& form, const StoreDate& date,
                       bool fullYear = false) {
    std::string text;
    AppendForm(text, settings, form, date, fullYear);
    return text;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
}

// Two-digit years as the platform reads them: 00-29 this century, 30-99 the last.
int FullYear(int year, std::size_t digits) {
    if (digits == 4) {
        return year;
    }
    return year < 30 ? 2000 + year : 1900 + year;
}

// Reads a date against the tokens of a pattern. Numbers with no separator between them ("yyMMdd")
// can be cut in more than one way, so each width that a token allows is tried in turn until the
// whole text makes a real date.
class ShortDateReader {
public:
    ShortDateReader(const RegionalSettings& settings, std::string_view text) : settings_(settings), text_(text) {}

    bool Read(std::span<const PatternToken> tokens, std::size_t at, StoreDate& date) const {
        if (tokens.empty()) {
            return at == text_.size() && StoreDate::IsValid(date.year, date.month, date.day);
        }
        for (const Reading& reading : Readings(tokens.front(), at)) {
            StoreDate candidate = date;
            Store(tokens.front().letter, reading.value, candidate);
            if (Read(tokens.subspan(1), reading.end, candidate)) {
                date = candidate;
                return true;
            }
        }
        return false;
    }

private:
    struct Reading {
        int value;
        std::size_t end;
    };

    std::vector<Reading> Readings(const PatternToken& token, std::size_t at) const {
        switch (token.letter) {
            case 'd':
            case 'y':
                return Numbers(token, at);
            case 'M':
                return token.count >= 3 ? MonthName(at) : Numbers(token, at);
            case 0:
                if (!text_.substr(at).starts_with(token.literal)) {
                    return {};
                }
                return {{0, at + token.literal.size()}};
            default:
                return {};
        }
    }

    // The token's own width comes first: that is what the short date form writes.
    static std::vector<std::size_t> WidthsToTry(const PatternToken& token) {
        if (token.letter == 'y') {
            if (token.count == 1) {
                return {1, 2, 4};
            }
            return token.count == 2 ? std::vector<std::size_t>{2, 4} : std::vector<std::size_t>{4, 2};
        }
        return token.count == 1 ? std::vector<std::size_t>{1, 2} : std::vector<std::size_t>{2, 1};
    }

    std::vector<Reading> Numbers(const PatternToken& token, std::size_t at) const {
        std::vector<Reading> readings;
        for (const std::size_t width : WidthsToTry(token)) {
            if (at + width > text_.size()) {
                continue;
            }
            const std::string_view digits = text_.substr(at, width);
            if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
                continue;
            }
            int value = 0;
            for (const char digit : digits) {
                value = value * 10 + (digit - '0');
            }
            readings.push_back({token.letter == 'y' ? FullYear(value, width) : value, at + width});
        }
        return readings;
    }

    // The month whose abbreviation starts there (the longest that matches).
    std::vector<Reading> MonthName(std::size_t at) const {
        std::optional<Reading> longest;
        for (int month = 1; month <= 12; ++month) {
            const std::string& name = settings_.monthAbbreviations[month - 1];
            if (!name.empty() && (!longest || at + name.size() > longest->end) &&
                StartsWithIgnoringCase(text_.substr(at), name)) {
                longest = Reading{month, at + name.size()};
            }
        }
        return longest ? std::vector<Reading>{*longest} : std::vector<Reading>{};
    }

    static void Store(char letter, int value, StoreDate& date) {
        if (letter == 'd') {
            date.day = value;
        }
        if (letter == 'M') {
            date.month = value;
        }
        if (letter == 'y') {
            date.year = value;
        }
    }

    const RegionalSettings& settings_;
    std::string_view text_;
};

}  // namespace

std::string RegionalSettings::FormatShortDate(const StoreDate& date) const {
    return FormatForm(*this, shortDateForm, date);
}

std::string RegionalSettings::FormatShortDateFullYear(const StoreDate& date) const {
    return FormatForm(*this, shortDateForm, date, true);
}

std::string RegionalSettings::FormatLongTime(const StoreDate& date) const {
    return FormatForm(*this, longTimeForm, date);
}

std::string RegionalSettings::FormatGeneralDate(const StoreDate& date) const {
    std::string text = FormatShortDate(date);
    if (date.SecondsOfDay() != 0) {
        text += ' ';
        AppendForm(text, *this, longTimeForm, date);
    }
    return text;
}

std::optional<StoreDate> RegionalSettings::ParseShortDate(std::string_view text) const {
    StoreDate date = StoreDate::NoDate();
    if (!ShortDateReader(*this, text).Read(shortDateForm.Tokens(), 0, date)) {
        return std::nullopt;
    }
    return date;
}

}  // namespace kalendro
