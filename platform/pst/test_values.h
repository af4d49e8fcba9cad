#pragma once

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "platform/pst/property_bag.h"
#include "platform/store_date.h"

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

inline PropertyValue UnicodeList(std::initializer_list<std::u16string_view> texts) {
    BlobWriter blob;
    blob.U32(static_cast<std::uint32_t>(texts.size()));
    std::uint32_t offset = 4 + 4 * static_cast<std::uint32_t>(texts.size());
    for (const auto text : texts) {
        blob.U32(offset);
        offset += static_cast<std::uint32_t>(text.size() * 2);
    }
    for (const auto text : texts) {
        blob.Utf16(text);
    }
    return {0x101F, blob.Data()};
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
