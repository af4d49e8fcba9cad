// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/store/failure.h"

namespace kalendro::pst {

// Reads little-endian fields from an untrusted blob: every read is checked against the end, and a
// read past it fails with kStoreOperationFailed naming the blob, so a damaged file never reads out of bounds.
class ByteReader {
public:
    ByteReader(std::string_view bytes, std::string_view blobName) : bytes_(bytes), blobName_(blobName) {}

    std::uint8_t U8() { return static_cast<std::uint8_t>(Take(1)[0]); }
    std::uint16_t U16() { return static_cast<std::uint16_t>(Unsigned(2)); }
    std::uint32_t U32() { return static_cast<std::uint32_t>(Unsigned(4)); }
    std::int32_t I32() { return static_cast<std::int32_t>(U32()); }

    std::string_view Take(std::size_t count) {
        if (count > Remaining()) {
            Fail("it ends before its last field");
        }
        const std::string_view taken = bytes_.substr(position_, count);
        position_ += count;
        return taken;
    }
    void Skip(std::size_t count) { Take(count); }
    // A count of elements of elementSize bytes each that must fit in what is left, checked before
    // anything is allocated for them.
    std::uint32_t CountOf(std::uint32_t count, std::size_t elementSize) {
        if (count > Remaining() / elementSize) {
            Fail("a count is larger than the blob");
        }
        return count;
    }

    std::size_t Position() const { return position_; }
    std::size_t Remaining() const { return bytes_.size() - position_; }

    [[noreturn]] void Fail(std::string_view reason) const {
        throw Failure(kStoreOperationFailed,
                      "The " + std::string(blobName_) + " is damaged: " + std::string(reason) + ".");
    }

private:
    std::uint64_t Unsigned(std::size_t size) {
        const std::string_view field = Take(size);
        std::uint64_t value = 0;
        for (std::size_t index = size; index-- > 0;) {
            value = (value << 8) | static_cast<std::uint8_t>(field[index]);
        }
        return value;
    }

    std::string_view bytes_;
    std::string_view blobName_;
    std::size_t position_ = 0;
};

}  // namespace kalendro::pst
