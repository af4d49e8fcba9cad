// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pst/property_values.h"

#include <algorithm>
#include <array>

#include "platform/store/failure.h"
#include "platform/text/charset.h"
#include "platform/text/utf8.h"

namespace kalendro::pst {

namespace {

constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;

// Windows-1252 bytes 0x80..0x9F; the five the code page leaves undefined map to the C1 controls
// as Windows itself maps them.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

std::uint16_t UnitAt(std::string_view bytes, std::size_t index) {
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes[index]) |
                                      (static_cast<std::uint8_t>(bytes[index + 1]) << 8));
}

std::uint32_t U32At(std::string_view bytes, std::size_t index) {
    return static_cast<std::uint32_t>(UnitAt(bytes, index)) |
           (static_cast<std::uint32_t>(UnitAt(bytes, index + 2)) << 16);
}

bool IsHighSurrogate(std::uint16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(std::uint16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Both Unicode and ANSI strings may end with their terminating zero; Outlook never shows it.
std::string_view WithoutTerminator(std::string_view bytes, std::size_t unitSize) {
    while (bytes.size() >= unitSize &&
           bytes.substr(bytes.size() - unitSize).find_first_not_of('\0') == std::string_view::npos) {
        bytes.remove_suffix(unitSize);
    }
    return bytes;
}

}  // namespace

namespace {

struct CodePageName {
    int codePage;
    const char* iconvName;
};

// Code pages whose iconv name is not "CP" and the number.
constexpr CodePageName kCodePageNames[] = {
    {65001, "UTF-8"},      {20127, "ASCII"},       {28591, "ISO-8859-1"}, {28592, "ISO-8859-2"}, {28593, "ISO-8859-3"},
    {28594, "ISO-8859-4"}, {28595, "ISO-8859-5"},  {28596, "ISO-8859-6"}, {28597, "ISO-8859-7"}, {28598, "ISO-8859-8"},
    {28599, "ISO-8859-9"}, {28605, "ISO-8859-15"}, {20866, "KOI8-R"},     {21866, "KOI8-U"},     {50220, "ISO-2022-JP"},
    {51932, "EUC-JP"},     {51949, "EUC-KR"},      {52936, "HZ-GB-2312"}, {54936, "GB18030"},    {10000, "MACINTOSH"},
};

std::string IconvNameOf(int codePage) {
    const auto named = std::find_if(std::begin(kCodePageNames), std::end(kCodePageNames),
                                    [&](const CodePageName& entry) { return entry.codePage == codePage; });
    return named != std::end(kCodePageNames) ? named->iconvName : "CP" + std::to_string(codePage);
}

}  // namespace

CodePageDecoder::CodePageDecoder(int codePage) {
    if (codePage == 1252) {
        return;
    }
    try {
        converter_ = std::make_unique<CharsetConverter>(IconvNameOf(codePage), "UTF-8");
    } catch (const Failure&) {
        converter_.reset();  // Windows' own default
    }
}

CodePageDecoder::~CodePageDecoder() = default;
CodePageDecoder::CodePageDecoder(CodePageDecoder&&) noexcept = default;
CodePageDecoder& CodePageDecoder::operator=(CodePageDecoder&&) noexcept = default;

void CodePageDecoder::AppendDecoded(std::string_view bytes, std::string& out) {
    if (converter_) {
        converter_->AppendConverted(bytes, out);
    } else {
        out += Windows1252ToUtf8(bytes);
    }
}

std::string CodePageDecoder::Decode(std::string_view bytes) {
    std::string out;
    AppendDecoded(bytes, out);
    return out;
}

std::string Utf16ToUtf8(std::string_view littleEndianBytes) {
    std::string out;
    out.reserve(littleEndianBytes.size());
    const std::size_t units = littleEndianBytes.size() / 2;
    for (std::size_t index = 0; index < units; ++index) {
        const std::uint16_t unit = UnitAt(littleEndianBytes, index * 2);
        if (IsHighSurrogate(unit) && index + 1 < units && IsLowSurrogate(UnitAt(littleEndianBytes, index * 2 + 2))) {
            const std::uint16_t low = UnitAt(littleEndianBytes, ++index * 2);
            AppendUtf8(0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (low - 0xDC00), out);
        } else {
            AppendUtf8(unit, out);  // a lone surrogate becomes U+FFFD there
        }
    }
    if (littleEndianBytes.size() % 2 != 0) {
        AppendUtf8(kReplacementCharacter, out);
    }
    return out;
}

std::string Windows1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char byte : bytes) {
        const auto code = static_cast<std::uint8_t>(byte);
        AppendUtf8(code >= 0x80 && code < 0xA0 ? kWindows1252High[code - 0x80] : code, out);
    }
    return out;
}

std::optional<std::string> ReadText(const PropertyValue& value, CodePageDecoder& decoder) {
    if (value.type == kTypeUnicode) {
        return Utf16ToUtf8(WithoutTerminator(value.data, 2));
    }
    if (value.type == kTypeString8) {
        return decoder.Decode(WithoutTerminator(value.data, 1));
    }
    return std::nullopt;
}

std::optional<std::string> ReadText(const PropertyValue& value) {
    CodePageDecoder windows1252;
    return ReadText(value, windows1252);
}

std::optional<std::int32_t> ReadInt32(const PropertyValue& value) {
    if (value.type == kTypeInt32 && value.data.size() == 4) {
        return static_cast<std::int32_t>(U32At(value.data, 0));
    }
    if (value.type == kTypeInt16 && value.data.size() == 2) {
        return static_cast<std::int16_t>(UnitAt(value.data, 0));
    }
    return std::nullopt;
}

std::optional<bool> ReadBool(const PropertyValue& value) {
    // The file keeps a boolean in one, two or four bytes depending on where it stores it.
    if (value.type != kTypeBoolean || value.data.empty() || value.data.size() > 8) {
        return std::nullopt;
    }
    return value.data.find_first_not_of('\0') != std::string::npos;
}

std::optional<std::int64_t> ReadSystemTime(const PropertyValue& value) {
    if (value.type != kTypeSystemTime || value.data.size() != 8) {
        return std::nullopt;
    }
    const std::uint64_t fileTime = U32At(value.data, 0) | (static_cast<std::uint64_t>(U32At(value.data, 4)) << 32);
    return FileTimeToUnixSeconds(fileTime);
}

std::optional<std::vector<std::string>> ReadTextList(const PropertyValue& value, CodePageDecoder& decoder) {
    if (value.type != kTypeMultipleUnicode && value.type != kTypeMultipleString8) {
        return std::nullopt;
    }
    const std::string_view data = value.data;
    if (data.empty()) {
        return std::vector<std::string>{};
    }
    if (data.size() < 4) {
        return std::nullopt;
    }
    const std::uint32_t count = U32At(data, 0);
    if (count > (data.size() - 4) / 4) {
        return std::nullopt;
    }
    const std::uint16_t elementType = value.type == kTypeMultipleUnicode ? kTypeUnicode : kTypeString8;
    const std::size_t unitSize = elementType == kTypeUnicode ? 2 : 1;
    std::vector<std::string> texts;
    texts.reserve(count);
    for (std::uint32_t index = 0; index < count; ++index) {
        const std::size_t begin = U32At(data, 4 + index * 4);
        const std::size_t end = index + 1 < count ? U32At(data, 8 + index * 4) : data.size();
        if (begin < 4 + count * 4 || begin > end || end > data.size()) {
            return std::nullopt;
        }
        const std::string_view text = WithoutTerminator(data.substr(begin, end - begin), unitSize);
        texts.push_back(elementType == kTypeUnicode ? Utf16ToUtf8(text) : decoder.Decode(text));
    }
    return texts;
}

std::optional<std::vector<std::string>> ReadTextList(const PropertyValue& value) {
    CodePageDecoder windows1252;
    return ReadTextList(value, windows1252);
}

std::int64_t FileTimeToUnixSeconds(std::uint64_t fileTime) {
    return static_cast<std::int64_t>(fileTime / 10000000) - kSecondsFrom1601To1970;
}

std::int64_t MinutesSince1601ToUnixSeconds(std::uint32_t minutes) {
    return static_cast<std::int64_t>(minutes) * 60 - kSecondsFrom1601To1970;
}

std::string WithoutSubjectMarker(std::string subject) {
    if (subject.empty() || subject[0] != '\x01') {
        return subject;
    }
    const std::size_t markerLength =
        1 + std::max<std::size_t>(1, Utf8CharacterLength(std::string_view(subject).substr(1)));
    subject.erase(0, std::min(markerLength, subject.size()));
    return subject;
}

}  // namespace kalendro::pst
