// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/mailbox/fast_reading/item_split.h"
#include "platform/mailbox/fast_reading/mailbox_text.h"
#include "platform/memory_store/memory_item.h"

namespace kalendro::mailbox {

using ItemsReadEarly = std::vector<std::shared_ptr<memory_store::MemoryItem>>;

// Parses and reads the items of a split text on both cores: two threads take batches of consecutive
// items in turn, each with its own parser and reader. The items come back in the split's order,
// whichever thread read each, and the text before the first batch not yet finished is handed back
// while they read on. Nothing when simdjson cannot parse an item or the reader finds a fault or a
// repeated key in one: the reading that names faults then reads the file. Any other exception (out
// of memory) reaches the caller, after both threads have stopped.
std::optional<ItemsReadEarly> ReadItemBatches(const SplitMailbox& split, MailboxText& text,
                                              const std::string& sourceName);

}  // namespace kalendro::mailbox
