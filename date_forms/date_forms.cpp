#include "date_forms/date_forms.h"

#include <string_view>

namespace kalendro {

namespace {

// The number in decimal digits, zero-padded to at least the given width.
std::string Padded(int number, std::size_t width) {
    std::string digits = std::to_string(number);
    if (digits.size() < width) {
        digits.insert(0, width - digits.size(), '0');
    }
    return digits;
}

std::string DatePart(const StoreDate& date, std::string_view separator) {
    std::string text = Padded(date.year, 4);
    text += separator;
    text += Padded(date.month, 2);
    text += separator;
    text += Padded(date.day, 2);
    return text;
}

std::string TimePart(const StoreDate& date, std::string_view separator) {
    std::string text = Padded(date.hour, 2);
    text += separator;
    text += Padded(date.minute, 2);
    text += separator;
    text += Padded(date.second, 2);
    return text;
}

}  // namespace

std::string FormatICalDateTime(const StoreDate& date) {
    return DatePart(date, "") + "T" + TimePart(date, "");
}

std::string FormatIsoDate(const StoreDate& date) {
    return DatePart(date, "-");
}

std::string FormatIsoDateTime(const StoreDate& date) {
    return DatePart(date, "-") + "T" + TimePart(date, ":");
}

}  // namespace kalendro
