// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <initializer_list>
#include <utility>
#include <string>
#include <string_view>
#include <vector>

#include "platform/pst/property_bag.h"
#include "platform/store/store_date.h"

namespace kalendro::pst::testing {

// Builds little-endian blobs and property values the way the file holds them.
class BlobWriter {
public:
    BlobWriter& U8(std::uint8_t value) {
        bytes_ += static_cast<char>(value);
        return *this;
    }
    BlobWriter& U16(std::uint16_t value) { return Unsigned(value, 2); }
    BlobWriter& U32(std::uint32_t value) { return Unsigned(value, 4); }
    BlobWriter& U64(std::uint64_t value) { return Unsigned(value, 8); }
    BlobWriter& Bytes(std::string_view bytes) {
        bytes_ += bytes;
        return *this;
    }
    BlobWriter& Utf16(std::u16string_view text) {
        for (const char16_t unit : text) {
            U16(unit);
        }
        return *this;
    }
    const std::string& Data() const { return bytes_; }

private:
    BlobWriter& Unsigned(std::uint64_t value, int size) {
        for (int index = 0; index < size; ++index) {
            bytes_ += static_cast<char>((value >> (8 * index)) & 0xFF);
        }
        return *this;
    }

    std::string bytes_;
};

inline std::string Utf16Bytes(std::u16string_view text) { return BlobWriter().Utf16(text).Data(); }

inline PropertyValue Unicode(std::u16string_view text) { return {0x001F, Utf16Bytes(text)}; }
inline PropertyValue Ansi(std::string_view bytes) { return {0x001E, std::string(bytes)}; }
inline PropertyValue Int32(std::int32_t value) {
    return {0x0003, BlobWriter().U32(static_cast<std::uint32_t>(value)).Data()};
}
inline PropertyValue Bool(bool value) { return {0x000B, BlobWriter().U16(value ? 1 : 0).Data()}; }
inline PropertyValue Binary(std::string bytes) { return {0x0102, std::move(bytes)}; }

// Minutes since 1601-01-01 of a wall clock or UTC time, as the recurrence blob counts them.
inline std::uint32_t Minutes1601(const StoreDate& date) {
    return static_cast<std::uint32_t>((date.SerialSeconds() + 11644473600) / 60);
}
// A PT_SYSTIME of a UTC time.
inline PropertyValue SystemTime(const StoreDate& utc) {
    return {0x0040, BlobWriter().U64(static_cast<std::uint64_t>(utc.SerialSeconds() + 11644473600) * 10000000).Data()};
}

// A PT_MV_UNICODE or PT_MV_STRING8 value: the count, the offsets, then the texts' bytes.
inline PropertyValue TextList(std::uint16_t type, const std::vector<std::string>& texts) {
    BlobWriter blob;
    blob.U32(static_cast<std::uint32_t>(texts.size()));
    std::uint32_t offset = 4 + 4 * static_cast<std::uint32_t>(texts.size());
    for (const std::string& text : texts) {
        blob.U32(offset);
        offset += static_cast<std::uint32_t>(text.size());
    }
    for (const std::string& text : texts) {
        blob.Bytes(text);
    }
    return {type, blob.Data()};
}

inline PropertyValue UnicodeList(std::initializer_list<std::u16string_view> texts) {
    std::vector<std::string> bytes;
    for (const auto text : texts) {
        bytes.push_back(Utf16Bytes(text));
    }
    return TextList(0x101F, bytes);
}

inline PropertyValue AnsiList(const std::vector<std::string>& texts) { return TextList(0x101E, texts); }

// Windows zone rules as the appointment properties hold them: bias and summer-time bias in minutes,
// transitions as "the occurrence-th dayOfWeek of month" (5 = last) at hour.
struct Transition {
    int month = 0;
    int dayOfWeek = 0;
    int occurrence = 0;  // 5 = last
    int hour = 0;
};

struct RuleText {
    int bias;
    int daylightBias;
    Transition standard;
    Transition daylight;
};

constexpr RuleText kPacific{480, -60, {11, 0, 1, 2}, {3, 0, 2, 2}};
constexpr RuleText kPacificBefore2007{480, -60, {10, 0, 5, 2}, {4, 0, 1, 2}};
constexpr RuleText kWestEurope{-60, -60, {10, 0, 5, 3}, {3, 0, 5, 2}};
constexpr RuleText kAusEastern{-600, -60, {4, 0, 1, 3}, {10, 0, 1, 2}};
constexpr RuleText kTokyo{-540, 0, {}, {}};

inline void WriteSystemTime(BlobWriter& blob, const Transition& transition) {
    blob.U16(0).U16(transition.month).U16(transition.dayOfWeek).U16(transition.occurrence);
    blob.U16(transition.hour).U16(0).U16(0).U16(0);
}

inline void WriteBiasesAndTransitions(BlobWriter& blob, const RuleText& rule) {
    blob.U32(rule.bias).U32(0).U32(rule.daylightBias);
    WriteSystemTime(blob, rule.standard);
    WriteSystemTime(blob, rule.daylight);
}

inline std::string TimeZoneStruct(const RuleText& rule) {
    BlobWriter blob;
    blob.U32(rule.bias).U32(0).U32(rule.daylightBias).U16(0);
    WriteSystemTime(blob, rule.standard);
    blob.U16(0);
    WriteSystemTime(blob, rule.daylight);
    return blob.Data();
}

// A TZDEFINITION stream with a key name and one rule per (first year, rule).
inline std::string Definition(std::initializer_list<std::pair<int, RuleText>> rules) {
    const std::u16string_view keyName = u"Pacific Standard Time";
    BlobWriter blob;
    blob.U8(2).U8(1).U16(static_cast<std::uint16_t>(6 + keyName.size() * 2)).U16(2);
    blob.U16(static_cast<std::uint16_t>(keyName.size())).Utf16(keyName).U16(static_cast<std::uint16_t>(rules.size()));
    for (const auto& [year, rule] : rules) {
        blob.U8(2).U8(1).U16(62).U16(0).U16(year).Bytes(std::string(14, '\0'));
        WriteBiasesAndTransitions(blob, rule);
    }
    return blob.Data();
}

// Hex digits as bytes (Microsoft's examples print blobs so).
inline std::string FromHex(std::string_view hex) {
    std::string bytes;
    for (std::size_t index = 0; index + 1 < hex.size(); index += 2) {
        bytes += static_cast<char>(std::stoi(std::string(hex.substr(index, 2)), nullptr, 16));
    }
    return bytes;
}

// MS-OXOCAL 4.1.1.2: every Monday, Thursday and Friday 10:00-10:30 for 12 occurrences; the
// occurrence of Monday 16 April 2007 moved to 11:00 with a new subject and location.
inline constexpr std::string_view kMicrosoftRecurrenceExample =
    "043004300B2001000000C0210000010000000000000032000000222000000C0000000000000001000000A096BC0C01000000A096BC0C"
    "8020BC0C20ADBC0C0630000009300000580200007602000001003499BC0C5299BC0CF898BC0C11002200210053696D706C6520526563"
    "757272656E6365207769746820657863657074696F6E730800070033342F34313431000000000400000000000000000000003499BC0C"
    "5299BC0CF898BC0C2100530069006D0070006C006500200052006500630075007200720065006E0063006500200077006900740068002"
    "00065007800630065007000740069006F006E0073000700330034002F0034003100340031000000000000000000";

// Every variation of a blob with one byte set to 0x00, 0x7F, 0xFF or itself plus one: what a
// damaged file may hand over.
template <typename Visit>
void ForEachOneByteChange(const std::string& blob, Visit visit) {
    for (std::size_t index = 0; index < blob.size(); ++index) {
        for (const auto change : {0x00, 0x7F, 0xFF, static_cast<std::uint8_t>(blob[index]) + 1}) {
            std::string changed = blob;
            changed[index] = static_cast<char>(change);
            visit(changed);
        }
    }
}

// Sets this machine's zone (TZ) for the life of a test, then puts the previous one back.
class ScopedMachineZone {
public:
    explicit ScopedMachineZone(const char* zone) {
        if (const char* previous = std::getenv("TZ")) {
            previous_ = previous;
        }
        Apply(zone);
    }
    ~ScopedMachineZone() { Apply(previous_ ? previous_->c_str() : nullptr); }
    ScopedMachineZone(const ScopedMachineZone&) = delete;
    ScopedMachineZone& operator=(const ScopedMachineZone&) = delete;

private:
    static void Apply(const char* zone) {
        if (zone == nullptr) {
            unsetenv("TZ");
        } else {
            setenv("TZ", zone, 1);
        }
        tzset();
    }

    std::optional<std::string> previous_;
};

// POSIX rules, so the tests need no zone database.
inline constexpr const char* kPacificPosix = "PST8PDT,M3.2.0,M11.1.0";
inline constexpr const char* kAusEasternPosix = "AEST-10AEDT,M10.1.0,M4.1.0/3";

}  // namespace kalendro::pst::testing
