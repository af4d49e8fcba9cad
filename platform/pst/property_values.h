// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/pst/property_bag.h"

namespace kalendro {
class CharsetConverter;
}

namespace kalendro::pst {

// MAPI property types the mapping reads.
inline constexpr std::uint16_t kTypeInt16 = 0x0002;
inline constexpr std::uint16_t kTypeInt32 = 0x0003;
inline constexpr std::uint16_t kTypeBoolean = 0x000B;
inline constexpr std::uint16_t kTypeString8 = 0x001E;
inline constexpr std::uint16_t kTypeUnicode = 0x001F;
inline constexpr std::uint16_t kTypeSystemTime = 0x0040;
inline constexpr std::uint16_t kTypeBinary = 0x0102;
inline constexpr std::uint16_t kTypeMultipleString8 = 0x101E;
inline constexpr std::uint16_t kTypeMultipleUnicode = 0x101F;

// UTF-16LE to UTF-8: pairs of surrogates joined, a lone surrogate or a trailing odd byte U+FFFD.
std::string Utf16ToUtf8(std::string_view littleEndianBytes);
// Windows-1252 to UTF-8 (the code page of ANSI files and of Outlook's 8-bit strings).
std::string Windows1252ToUtf8(std::string_view bytes);
// Text of a Windows code page (PR_MESSAGE_CODEPAGE, PR_INTERNET_CPID, RTF's \ansicpg) as UTF-8. A
// code page this machine cannot convert is read as Windows-1252; a byte that starts no character
// becomes "?".
class CodePageDecoder {
public:
    explicit CodePageDecoder(int codePage = 1252);
    ~CodePageDecoder();
    CodePageDecoder(CodePageDecoder&&) noexcept;
    CodePageDecoder& operator=(CodePageDecoder&&) noexcept;

    void AppendDecoded(std::string_view bytes, std::string& out);
    std::string Decode(std::string_view bytes);

private:
    std::unique_ptr<CharsetConverter> converter_;  // none: Windows-1252 by table
};

// Each reader gives nothing when the value has another type or a size that type cannot have.
// A string value with no data is the empty string. An 8-bit string is read by the decoder of its
// message's code page, or as Windows-1252 when no decoder is given.
std::optional<std::string> ReadText(const PropertyValue& value, CodePageDecoder& decoder);
std::optional<std::string> ReadText(const PropertyValue& value);
std::optional<std::int32_t> ReadInt32(const PropertyValue& value);
std::optional<bool> ReadBool(const PropertyValue& value);
// A PT_SYSTIME (100 ns since 1601-01-01 UTC) in whole seconds since 1970-01-01 UTC.
std::optional<std::int64_t> ReadSystemTime(const PropertyValue& value);
// PT_MV_UNICODE / PT_MV_STRING8: a 32-bit count, 32-bit offsets into the strings that follow.
std::optional<std::vector<std::string>> ReadTextList(const PropertyValue& value, CodePageDecoder& decoder);
std::optional<std::vector<std::string>> ReadTextList(const PropertyValue& value);

// Seconds since 1970 UTC of a FILETIME, and of a count of minutes since 1601 (the recurrence
// blob's dates).
std::int64_t FileTimeToUnixSeconds(std::uint64_t fileTime);
std::int64_t MinutesSince1601ToUnixSeconds(std::uint32_t minutes);

// A subject as Outlook shows it: a leading U+0001 starts a two-character marker the file keeps
// in front of the text.
std::string WithoutSubjectMarker(std::string subject);

}  // namespace kalendro::pst
