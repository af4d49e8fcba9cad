// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <random>
#include <string>

namespace kalendro::testing {

// Gives `variants` copies of the bytes, each with one to twelve bytes changed at random places; the
// same generator state gives the same copies at every run.
inline void ForEachDamagedCopy(const std::string& original, int variants, std::mt19937& random,
                               const std::function<void(const std::string& damaged)>& visit) {
    std::uniform_int_distribution<std::size_t> position(0, original.size() - 1);
    std::uniform_int_distribution<int> flipCount(1, 12);
    std::uniform_int_distribution<int> mask(1, 255);
    for (int variant = 0; variant < variants; ++variant) {
        std::string damaged = original;
        for (int flip = flipCount(random); flip > 0; --flip) {
            damaged[position(random)] ^= static_cast<char>(mask(random));
        }
        visit(damaged);
    }
}

}  // namespace kalendro::testing
