// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pst/rtf_compression.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "platform/pst/byte_reader.h"

namespace kalendro::pst {

namespace {

constexpr std::uint32_t kCompressed = 0x75465A4C;    // "LZFu"
constexpr std::uint32_t kUncompressed = 0x414C454D;  // "MELA"
constexpr std::size_t kDictionarySize = 4096;
constexpr std::string_view kInitialDictionary =
    "{\\rtf1\\ansi\\mac\\deff0\\deftab720{\\fonttbl;}{\\f0\\fnil \\froman \\fswiss \\fmodern \\fscript \\fdecor MS "
    "Sans "
    "SerifSymbolArialTimes New RomanCourier{\\colortbl\\red0\\green0\\blue0\r\n\\par "
    "\\pard\\plain\\f0\\fs20\\b\\i\\u\\tab\\tx";
static_assert(kInitialDictionary.size() == 207);

std::array<std::uint32_t, 256> MakeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t index = 0; index < table.size(); ++index) {
        std::uint32_t value = index;
        for (int bit = 0; bit < 8; ++bit) {
            value = (value & 1) ? 0xEDB88320 ^ (value >> 1) : value >> 1;
        }
        table[index] = value;
    }
    return table;
}

// The CRC-32 of the compressed contents, started at zero and not inverted, as MS-OXRTFCP computes it.
std::uint32_t ContentsCrc(std::string_view bytes) {
    static const std::array<std::uint32_t, 256> table = MakeCrcTable();
    std::uint32_t crc = 0;
    for (const char byte : bytes) {
        crc = table[(crc ^ static_cast<std::uint8_t>(byte)) & 0xFF] ^ (crc >> 8);
    }
    return crc;
}

class Dictionary {
public:
    Dictionary() { std::copy(kInitialDictionary.begin(), kInitialDictionary.end(), bytes_.begin()); }

    std::size_t WritePosition() const { return write_; }
    void Put(char byte, std::string& out) {
        out += byte;
        bytes_[write_] = byte;
        write_ = (write_ + 1) % kDictionarySize;
    }
    // A reference may overlap what it writes: it is copied one byte at a time.
    void Copy(std::size_t offset, std::size_t length, std::string& out) {
        for (std::size_t index = 0; index < length; ++index) {
            Put(bytes_[(offset + index) % kDictionarySize], out);
        }
    }

private:
    std::array<char, kDictionarySize> bytes_{};
    std::size_t write_ = kInitialDictionary.size();
};

std::string Decompress(ByteReader& contents) {
    Dictionary dictionary;
    std::string out;
    while (contents.Remaining() > 0) {
        const std::uint8_t control = contents.U8();
        for (int bit = 0; bit < 8; ++bit) {
            if ((control & (1 << bit)) == 0) {
                dictionary.Put(static_cast<char>(contents.U8()), out);
                continue;
            }
            const std::uint16_t reference = static_cast<std::uint16_t>((contents.U8() << 8) | contents.U8());
            const std::size_t offset = reference >> 4;
            if (offset == dictionary.WritePosition()) {
                return out;  // the end marker
            }
            dictionary.Copy(offset, (reference & 0xF) + 2, out);
        }
    }
    contents.Fail("it ends without its end marker");
}

}  // namespace

std::string DecompressRtf(std::string_view compressed) {
    ByteReader header(compressed, "compressed RTF body");
    const std::uint32_t compressedSize = header.U32();
    const std::uint32_t rawSize = header.U32();
    const std::uint32_t type = header.U32();
    const std::uint32_t crc = header.U32();
    if (compressedSize < 12 || compressedSize - 12 > header.Remaining()) {
        header.Fail("its size does not match its data");
    }
    const std::string_view contents = header.Take(compressedSize - 12);
    if (type == kUncompressed) {
        return std::string(contents.substr(0, rawSize));
    }
    if (type != kCompressed) {
        header.Fail("its compression type is unknown");
    }
    if (ContentsCrc(contents) != crc) {
        header.Fail("its checksum does not match");
    }
    ByteReader reader(contents, "compressed RTF body");
    std::string rtf = Decompress(reader);
    if (rtf.size() > rawSize) {
        rtf.resize(rawSize);
    }
    return rtf;
}

}  // namespace kalendro::pst
