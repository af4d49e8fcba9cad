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

std::string FormatICalDateTime(const StoreDate& date) { return DateTime(date, "", ""); }

std::string FormatIsoDate(const StoreDate& date) { return DatePart(date, "-"); }

std::string FormatIsoDateTime(const StoreDate& date) { return DateTime(date, "-", ":"); }

}  // namespace kalendro
