// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/locale/regional.h"

#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cctype>
#include <map>
#include <memory>
#include <span>
#include <vector>

#include "platform/locale/regional_patterns.h"
#include "platform/text/charset.h"
#include "platform/text/utf8.h"

namespace kalendro {
namespace {

constexpr std::string_view kPatternLetters = "dMyHhmst";
constexpr char kQuote = '\'';

// A run of one pattern letter ("dd", "yyyy"), or literal text (letter 0).
struct PatternToken {
    char letter = 0;
    std::size_t count = 0;
    std::string literal;
};

bool IsPatternLetter(char c) { return kPatternLetters.find(c) != std::string_view::npos; }

std::vector<PatternToken> Tokenize(std::string_view pattern) {
    std::vector<PatternToken> tokens;
    std::size_t at = 0;
    while (at < pattern.size()) {
        const char c = pattern[at];
        if (c == kQuote) {
            const std::size_t end = std::min(pattern.find(kQuote, at + 1), pattern.size());
            const std::string_view quoted = pattern.substr(at + 1, end - at - 1);
            tokens.push_back({0, 0, quoted.empty() ? std::string(1, kQuote) : std::string(quoted)});
            at = end + 1;
        } else if (IsPatternLetter(c)) {
            const std::size_t end = std::min(pattern.find_first_not_of(c, at), pattern.size());
            tokens.push_back({c, end - at, {}});
            at = end;
        } else {
            if (tokens.empty() || tokens.back().letter != 0) {
                tokens.push_back({});
            }
            tokens.back().literal += c;
            ++at;
        }
    }
    return tokens;
}

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

// The tokens of a pattern. Each pattern is tokenized once per thread and kept for the thread's life,
// so the reference stays valid.
const std::vector<PatternToken>& TokensOf(std::string_view pattern) {
    thread_local std::map<std::string, std::vector<PatternToken>, std::less<>> tokensByPattern;
    auto found = tokensByPattern.find(pattern);
    if (found == tokensByPattern.end()) {
        found = tokensByPattern.emplace(pattern, Tokenize(pattern)).first;
    }
    return found->second;
}

// Appends the date in the pattern's form.
void AppendPattern(std::string& text, const RegionalSettings& settings, std::string_view pattern, const StoreDate& date,
                   bool fullYear = false) {
    for (const PatternToken& token : TokensOf(pattern)) {
        AppendToken(text, settings, token, date, fullYear);
    }
}

std::string FormatPattern(const RegionalSettings& settings, std::string_view pattern, const StoreDate& date,
                          bool fullYear = false) {
    std::string text;
    AppendPattern(text, settings, pattern, date, fullYear);
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

void AppendLiteral(std::string& pattern, char c) {
    if (c == kQuote) {
        pattern += "''";
    } else if (IsPatternLetter(c)) {
        pattern += {kQuote, c, kQuote};
    } else {
        pattern += c;
    }
}

// The patterns of the strftime conversions that a regional pattern can express.
struct ConversionPattern {
    char conversion;
    std::string_view pattern;
};
constexpr ConversionPattern kConversionPatterns[] = {
    {'d', "dd"}, {'e', "d"},    {'m', "MM"},       {'b', "MMM"},         {'h', "MMM"},
    {'y', "yy"}, {'Y', "yyyy"}, {'D', "MM/dd/yy"}, {'F', "yyyy-MM-dd"},  {'H', "HH"},
    {'k', "H"},  {'I', "hh"},   {'l', "h"},        {'M', "mm"},          {'S', "ss"},
    {'p', "tt"}, {'P', "tt"},   {'T', "HH:mm:ss"}, {'r', "hh:mm:ss tt"}, {'R', "HH:mm"},
};

// The pattern for one strftime conversion, or nothing when it has none.
std::string_view PatternOfConversion(char conversion) {
    for (const ConversionPattern& known : kConversionPatterns) {
        if (known.conversion == conversion) {
            return known.pattern;
        }
    }
    return {};
}

struct LocaleDeleter {
    void operator()(locale_t locale) const { freelocale(locale); }
};
using LocaleHandle = std::unique_ptr<std::remove_pointer_t<locale_t>, LocaleDeleter>;

// The process's LC_TIME locale, with the character set that its texts are written in.
LocaleHandle TimeLocale() {
    const char* name = setlocale(LC_TIME, nullptr);
    locale_t locale = newlocale(LC_CTYPE_MASK | LC_TIME_MASK, name != nullptr ? name : "C", locale_t{});
    return LocaleHandle(locale != locale_t{} ? locale : duplocale(LC_GLOBAL_LOCALE));
}

}  // namespace

std::string PatternFromLocaleFormat(std::string_view format) {
    std::string pattern;
    for (std::size_t at = 0; at < format.size(); ++at) {
        if (format[at] != '%' || at + 1 == format.size()) {
            AppendLiteral(pattern, format[at]);
            continue;
        }
        // The E and O modifiers only ask for alternative numerals or eras.
        std::size_t conversionAt = at + 1;
        if ((format[conversionAt] == 'E' || format[conversionAt] == 'O') && conversionAt + 1 < format.size()) {
            ++conversionAt;
        }
        const char conversion = format[conversionAt];
        if (const std::string_view converted = PatternOfConversion(conversion); !converted.empty()) {
            pattern += converted;
        } else if (conversion == '%' || conversion == 'n' || conversion == 't') {
            AppendLiteral(pattern, conversion == '%' ? '%' : conversion == 'n' ? '\n' : '\t');
        } else {
            for (std::size_t i = at; i <= conversionAt; ++i) {
                AppendLiteral(pattern, format[i]);
            }
        }
        at = conversionAt;
    }
    return pattern;
}

std::string TimeSeparatorOf(std::string_view timePattern) {
    const std::vector<PatternToken> tokens = Tokenize(timePattern);
    const auto hours = std::find_if(tokens.begin(), tokens.end(), [](const PatternToken& token) {
        return token.letter == 'H' || token.letter == 'h';
    });
    if (hours == tokens.end() || hours + 1 == tokens.end() || (hours + 1)->letter != 0) {
        return ":";
    }
    const std::string& literal = (hours + 1)->literal;
    return literal.substr(0, std::max<std::size_t>(1, Utf8CharacterLength(literal)));
}

RegionalSettings RegionalSettings::FromLocale() {
    const LocaleHandle locale = TimeLocale();
    CharsetConverter toUtf8(nl_langinfo_l(CODESET, locale.get()), "UTF-8");
    const auto text = [&](nl_item item) { return toUtf8.Convert(nl_langinfo_l(item, locale.get())); };

    RegionalSettings settings;
    if (const std::string dateForm = PatternFromLocaleFormat(text(D_FMT)); !dateForm.empty()) {
        settings.shortDateForm = dateForm;
    }
    if (const std::string timeForm = PatternFromLocaleFormat(text(T_FMT)); !timeForm.empty()) {
        settings.longTimeForm = timeForm;
        settings.timeSeparator = TimeSeparatorOf(timeForm);
    }
    constexpr nl_item kMonthItems[] = {ABMON_1, ABMON_2, ABMON_3, ABMON_4,  ABMON_5,  ABMON_6,
                                       ABMON_7, ABMON_8, ABMON_9, ABMON_10, ABMON_11, ABMON_12};
    for (int i = 0; i < 12; ++i) {
        settings.monthAbbreviations[i] = text(kMonthItems[i]);
    }
    settings.amDesignator = text(AM_STR);
    settings.pmDesignator = text(PM_STR);
    return settings;
}

std::string RegionalSettings::FormatShortDate(const StoreDate& date) const {
    return FormatPattern(*this, shortDateForm, date);
}

std::string RegionalSettings::FormatShortDateFullYear(const StoreDate& date) const {
    return FormatPattern(*this, shortDateForm, date, true);
}

std::string RegionalSettings::FormatLongTime(const StoreDate& date) const {
    return FormatPattern(*this, longTimeForm, date);
}

std::string RegionalSettings::FormatGeneralDate(const StoreDate& date) const {
    std::string text = FormatShortDate(date);
    if (date.SecondsOfDay() != 0) {
        text += ' ';
        AppendPattern(text, *this, longTimeForm, date);
    }
    return text;
}

std::optional<StoreDate> RegionalSettings::ParseShortDate(std::string_view text) const {
    StoreDate date = StoreDate::NoDate();
    const std::vector<PatternToken> tokens = Tokenize(shortDateForm);
    if (!ShortDateReader(*this, text).Read(tokens, 0, date)) {
        return std::nullopt;
    }
    return date;
}

}  // namespace kalendro
