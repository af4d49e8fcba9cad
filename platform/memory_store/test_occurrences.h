// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The tests' view of a series' occurrences.

#include <string>
#include <vector>

#include "platform/memory_store/recurrence.h"

namespace kalendro::memory_store {

// The starts as text, to compare with the starts a test expects.
inline std::vector<std::string> StartTexts(const std::vector<Occurrence>& occurrences) {
    std::vector<std::string> texts;
    for (const Occurrence& occurrence : occurrences) {
        texts.push_back(occurrence.start.ToText());
    }
    return texts;
}

}  // namespace kalendro::memory_store
