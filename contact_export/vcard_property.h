// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

#include "platform/files/output_files.h"

namespace kalendro {

// One property line, escaped and folded every 75 characters (code points, never bytes), or
// nothing when the value is empty.
void WriteProperty(TextStream& stream, std::string_view name, std::string_view value);

// Backslash, comma and line breaks escaped; a lone CR counts as a line break too.
std::string EscapeText(std::string_view value);

// One component of a structured value (N, ADR, ORG) with its backslashes and semicolons escaped, so
// that joined by ";" to the others it stays one component.
std::string EscapeComponent(std::string_view component);

// A property line of a structured value: components already passed through EscapeComponent and
// joined by ";". Commas and line breaks are escaped as in WriteProperty, backslashes are left as the
// components have them; folded alike, nothing when the value is empty.
void WriteStructuredProperty(TextStream& stream, std::string_view name, std::string_view components);

}  // namespace kalendro
