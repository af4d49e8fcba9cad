// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kalendro::pst {

// An unsigned little-endian number of `size` bytes (at most eight) as the file stores it.
inline std::uint64_t LittleEndian(const char* at, std::size_t size) {
    std::uint64_t value = 0;
    for (std::size_t index = size; index-- > 0;) {
        value = (value << 8) | static_cast<std::uint8_t>(at[index]);
    }
    return value;
}
inline std::uint16_t LittleEndian16(const char* at) { return static_cast<std::uint16_t>(LittleEndian(at, 2)); }
inline std::uint32_t LittleEndian32(const char* at) { return static_cast<std::uint32_t>(LittleEndian(at, 4)); }

// "0x" and upper-case hex digits, as ids and offsets are named in messages.
inline std::string HexNumber(std::uint64_t number) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    do {
        text.insert(text.begin(), kDigits[number & 0xF]);
        number >>= 4;
    } while (number != 0);
    return "0x" + text;
}

}  // namespace kalendro::pst
