// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mailbox/generated_id.h"

#include <cstdint>
#include <cstdio>

namespace kalendro::mailbox {

namespace {

std::uint64_t Fnv1a(std::string_view text, std::uint64_t basis) {
    std::uint64_t hash = basis;
    for (unsigned char character : text) {
        hash ^= character;
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

// The finaliser of splitmix64: spreads every input bit over the whole word.
std::uint64_t Mix(std::uint64_t value) {
    value = (value ^ (value >> 30)) * 0xbf58476d1ce4e5b9ULL;
    value = (value ^ (value >> 27)) * 0x94d049bb133111ebULL;
    return value ^ (value >> 31);
}

}  // namespace

std::string GeneratedId(std::string_view place) {
    const std::uint64_t high = Mix(Fnv1a(place, 0xcbf29ce484222325ULL));
    const std::uint64_t low = Mix(Fnv1a(place, 0x84222325cbf29ce4ULL));
    char text[33];
    std::snprintf(text, sizeof text, "%016llX%016llX", static_cast<unsigned long long>(high),
                  static_cast<unsigned long long>(low));
    return text;
}

}  // namespace kalendro::mailbox
