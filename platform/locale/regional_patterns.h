// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace kalendro {

// The regional pattern for a strftime format of the locale: "%e.%m.%Y" gives "d.MM.yyyy",
// "%I:%M:%S %p" gives "hh:mm:ss tt". Letters that stand for themselves are quoted ("'h'"), so that
// they are not read as pattern letters; a quote stands as "''".
std::string PatternFromLocaleFormat(std::string_view format);

// The character that follows the hours in a time pattern, ":" when nothing literal follows them.
std::string TimeSeparatorOf(std::string_view timePattern);

}  // namespace kalendro
