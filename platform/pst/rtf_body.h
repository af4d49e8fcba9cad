#pragma once

#include <string>
#include <string_view>

namespace kalendro::pst {

// The RTF of a PR_RTF_COMPRESSED value (MS-OXRTFCP): compressed ("LZFu", CRC checked) or stored
// ("MELA"). A damaged value fails with kStoreOperationFailed.
std::string DecompressRtf(std::string_view compressed);

// The text Outlook's Body gives for an RTF body, UTF-8 with CR LF line breaks: the original text or
// HTML when the RTF encapsulates one (MS-OXRTFEX; HTML then turned into text), otherwise the
// document's own text.
std::string RtfBodyText(std::string_view rtf);

// HTML as plain text: tags dropped, <br> and the ends of blocks as line breaks, runs of white space
// as one blank, entities decoded, the head, styles and scripts left out.
std::string HtmlToText(std::string_view html);

inline std::string BodyTextFromCompressedRtf(std::string_view compressed) {
    return RtfBodyText(DecompressRtf(compressed));
}

}  // namespace kalendro::pst
