// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/locale/regional.h"
#include "platform/memory_store/memory_items.h"
#include "platform/memory_store/recurrence.h"

namespace kalendro::memory_store {

// A Restrict filter: conditions [Member] op 'value' (op one of = <> < <= > >=) joined by And and Or
// (either case; And binds tighter; parentheses group). A value is read as the member's kind: a date
// in the regional short date form, optionally followed by a blank and hours, the time separator and
// minutes; a whole number; True or False; or a text, compared without regard to case. A doubled
// quote inside a value stands for one.
class Filter {
public:
    // kStoreOperationFailed quoting the part that cannot be read.
    static Filter Parse(std::string_view text, const RegionalSettings& regional);

    // An entry whose type lacks a member of a condition does not meet that condition; a member the
    // entry leaves unset compares as its unset value.
    bool Matches(const CollectionEntry& entry) const;

    // The starts that can match, for entries whose End minus Start lies within the durations: the
    // conditions on Start and End bound it, others leave it open.
    StartWindow StartBounds(const DurationSpan& durations) const;
    // The starts that can match, for entries of any End: only the conditions on Start bound it.
    StartWindow StartBoundsOfAnyEntry() const;

    const std::string& Text() const { return text_; }

    struct Node;

private:
    Filter(std::string text, std::shared_ptr<const Node> root) : text_(std::move(text)), root_(std::move(root)) {}

    std::string text_;
    std::shared_ptr<const Node> root_;
};

}  // namespace kalendro::memory_store
