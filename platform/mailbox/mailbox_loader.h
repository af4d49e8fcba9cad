// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/mailbox/generated_id.h"
#include "platform/memory_store/memory_folder.h"

namespace kalendro::mailbox {

// The format a mailbox file names in its "format" key.
inline constexpr std::string_view kMailboxFormat = "kalendro-mailbox/1";

// A mailbox file: one top-level folder per store, with every folder's items read.
struct Mailbox {
    std::string sourceName;  // the file it was read from, for messages
    std::vector<std::shared_ptr<memory_store::MemoryFolder>> stores;
};

// Reads and validates a whole mailbox. Any fault fails with kStoreCannotOpen, whose description names the
// file, where in it the fault lies (store, folder, item, member) and the reason.
std::shared_ptr<const Mailbox> LoadMailboxFile(const std::string& path);
// The same over the text of a file; sourceName stands for the file in messages.
std::shared_ptr<const Mailbox> LoadMailboxText(std::string_view text, const std::string& sourceName);

// The two readings the loader chains, each alone, so that a test can hold them to the same result:
// the fast one gives nothing where it finds anything amiss (a repeated key among it); the reporting
// one raises the failure.
std::shared_ptr<const Mailbox> ReadMailboxQuickly(std::string_view text, const std::string& sourceName);
std::shared_ptr<const Mailbox> ReadMailboxReportingFaults(std::string_view text, const std::string& sourceName);

// How many loads of this process have fallen back from the fast reading to the reporting one. A valid
// file falls back only for a key given twice; any other fallback of a valid file is a fault of the fast
// reading, which would otherwise show only as a slower load.
std::size_t FastReadingFallbacks();

}  // namespace kalendro::mailbox
