// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kalendro::mailbox {

// A mailbox text taken apart so that the fast reading can parse it one item at a time and never
// hold a parsed tree of the whole file: each element of a folder's "items" array is cut out of the
// text, and the skeleton is the text with every such element replaced by its index among `items`
// (a JSON number). Put back in place of their numbers, the items give the text again byte for byte.
// The split follows only the shape of a mailbox (stores, folders below folders, items) and checks
// nothing else; whoever reads the split must check that every number of the skeleton it takes for
// an item is one (MailboxReader::PlacedEveryEarlyItem), so that a text whose shape the split misread
// is refused rather than read another way.
struct SplitMailbox {
    std::string skeleton;                 // with room for simdjson's padding after its end
    std::vector<std::string_view> items;  // views into the text split
};

// Splits the text into an empty SplitMailbox; false when the text is not the shape of a mailbox or
// its brackets and strings do not close.
bool SplitItems(std::string_view text, SplitMailbox& split);

}  // namespace kalendro::mailbox
