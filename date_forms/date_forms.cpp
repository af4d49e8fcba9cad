// SPDX-License-Identifier: GPL-3.0-or-later
#include "date_forms/date_forms.h"

#include <array>
#include <charconv>
#include <string_view>

namespace kalendro {

namespace {

// The number in decimal digits, zero-padded in front to at least the given width. Built in place:
// an export formats several dates for every appointment.
void AppendPadded(std::string& text, int number, std::size_t width) {
    std::array<char, 16> digits{};
    const char* end = std::to_chars(digits.data(), digits.data() + digits.size(), number).ptr;
    const auto length = static_cast<std::size_t>(end - digits.data());
    if (length < width) {
        text.append(width - length, '0');
    }
    text.append(digits.data(), length);
}

std::string DatePart(const StoreDate& date, std::string_view separator) {
    std::string text;
    AppendPadded(text, date.year, 4);
    text += separator;
    AppendPadded(text, date.month, 2);
    text += separator;
    AppendPadded(text, date.day, 2);
    return text;
}

void AppendTimePart(std::string& text, const StoreDate& date, std::string_view separator) {
    AppendPadded(text, date.hour, 2);
    text += separator;
    AppendPadded(text, date.minute, 2);
    text += separator;
    AppendPadded(text, date.second, 2);
}

std::string DateTime(const StoreDate& date, std::string_view dateSeparator, std::string_view timeSeparator) {
    std::string text = DatePart(date, dateSeparator);
    text += 'T';
    AppendTimePart(text, date, timeSeparator);
    return text;
}

}  // namespace

// Digit by digit into a fixed buffer, one string made at the end: an export writes several of these
// for every appointment. Years that are not four digits take the general path.
std::string FormatICalDateTime(const StoreDate& date) {
    if (date.year < 0 || date.year > 9999) {
        return DateTime(date, "", "");
    }
    std::array<char, 15> text{};
    const auto put = [&text](std::size_t at, int number, std::size_t width) {
        for (std::size_t digit = width; digit-- > 0; number /= 10) {
            text[at + digit] = static_cast<char>('0' + number % 10);
        }
    };
    put(0, date.year, 4);
    put(4, date.month, 2);
    put(6, date.day, 2);
    text[8] = 'T';
    put(9, date.hour, 2);
    put(11, date.minute, 2);
    put(13, date.second, 2);
    return {text.data(), text.size()};
}

std::string FormatIsoDate(const StoreDate& date) { return DatePart(date, "-"); }

std::string FormatIsoDateTime(const StoreDate& date) { return DateTime(date, "-", ":"); }

}  // namespace kalendro
