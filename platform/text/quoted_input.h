// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kalendro {

// How messages show text that came from outside (a file, the command line), which may be huge or
// hold control characters that would garble a terminal.

// The longest stretch of outside text a message quotes, in code points.
inline constexpr std::size_t kQuotedInputLimit = 80;

// The text with each control character written as \n, \r, \t or \xNN.
std::string WithControlsEscaped(std::string_view text);

// The text in double quotes, its controls escaped, cut after kQuotedInputLimit code points with "..."
// after the closing quote.
std::string QuotedInput(std::string_view text);

}  // namespace kalendro
