// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kalendro::pst {

// How the data blocks of a file are obfuscated (the header's bCryptMethod).
enum class BlockCoding : std::uint8_t { kNone = 0x00, kPermute = 0x01, kCyclic = 0x02 };

// The CRC-32 the file format keeps for its header, pages and blocks: the reflected polynomial
// 0xEDB88320, started at zero and not inverted at the end.
std::uint32_t FormatCrc(std::string_view bytes);

// Undoes the obfuscation of one data block in place. The cyclic coding is keyed by the low 32 bits of
// the block's id.
void DecodeBlock(BlockCoding coding, std::uint64_t blockId, std::string& bytes);

// Inflates a zlib stream that must come to exactly `inflatedSize` bytes (the 4 KiB-page
// OST compresses data blocks); false when the stream is damaged or of another size.
bool Inflate(std::string_view compressed, std::size_t inflatedSize, std::string& inflated);

}  // namespace kalendro::pst
