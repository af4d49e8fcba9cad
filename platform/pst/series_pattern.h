// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "platform/memory_store/memory_item.h"
#include "platform/pst/property_bag.h"
#include "platform/pst/property_values.h"
#include "platform/store/store_date.h"

namespace kalendro::pst {

// An exception of a series that the store leaves out: the start the pattern would give it, in the
// series' own zone, and why.
struct LeftOutException {
    StoreDate originalStart;
    std::string reason;
};

// Gives a recurring appointment its series: Start and End become those of the pattern's first
// occurrence in the series' own zone (an all-day series keeps its dates whatever this machine's zone),
// and the pattern with its zone, deleted and modified occurrences. An exception that is no occurrence
// of the pattern, or a second one for the same occurrence, is left out and returned, the rest of the
// series kept. The decoder is the message's own (MessageDecoder). An item that does not recur is left
// as it is; a damaged or unsupported pattern fails with kStoreOperationFailed.
std::vector<LeftOutException> AddRecurrence(memory_store::MemoryItem& item, const Message& message,
                                            CodePageDecoder& decoder);

// How a left-out exception is told: the series' subject and the exception's original start.
std::string LeftOutExceptionText(const std::string& subject, const LeftOutException& exception);

}  // namespace kalendro::pst
