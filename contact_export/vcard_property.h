#pragma once

#include <string>
#include <string_view>

#include "platform/output_files.h"

namespace kalendro {

// One property line, escaped and folded every 75 characters (code points, never bytes), or
// nothing when the value is empty.
void WriteProperty(TextStream& stream, std::string_view name, std::string_view value);

// Backslash, comma and line breaks escaped; a lone CR counts as a line break too.
std::string EscapeText(std::string_view value);

}  // namespace kalendro
