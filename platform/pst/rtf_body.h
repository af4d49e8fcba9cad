// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

#include "platform/pst/rtf_compression.h"

namespace kalendro::pst {

// The text Outlook's Body gives for an RTF body, UTF-8 with CR LF line breaks: the original text or
// HTML when the RTF encapsulates one (MS-OXRTFEX; HTML then turned into text), otherwise the
// document's own text.
std::string RtfBodyText(std::string_view rtf);

inline std::string BodyTextFromCompressedRtf(std::string_view compressed) {
    return RtfBodyText(DecompressRtf(compressed));
}

}  // namespace kalendro::pst
