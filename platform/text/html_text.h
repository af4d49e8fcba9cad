// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace kalendro {

// HTML as plain text: tags dropped, <br> and the ends of blocks as line breaks, runs of white space
// as one blank, entities decoded, the head, styles and scripts left out.
std::string HtmlToText(std::string_view html);

}  // namespace kalendro
