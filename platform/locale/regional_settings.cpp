// SPDX-License-Identifier: GPL-3.0-or-later
// Finding the regional settings: the locale's forms put in pattern letters, and the forms' tokens.
#include "platform/locale/regional.h"

#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <memory>
#include <utility>

#include "platform/locale/regional_patterns.h"
#include "platform/text/charset.h"
#include "platform/text/utf8.h"

namespace kalendro {
namespace {

constexpr std::string_view kPatternLetters = "dMyHhmst";
constexpr char kQuote = '\'';

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

RegionalForm::RegionalForm(std::string text) : text_(std::move(text)), tokens_(Tokenize(text_)) {}

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

}  // namespace kalendro
