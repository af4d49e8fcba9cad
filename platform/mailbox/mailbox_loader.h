#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/mailbox/mailbox_data.h"

namespace kalendro::mailbox {

// The format a mailbox file names in its "format" key.
inline constexpr std::string_view kMailboxFormat = "kalendro-mailbox/1";

// Reads and validates a whole mailbox. Any fault is failure 429 whose description names the
// file, where in it the fault lies (store, folder, item, member) and the reason.
std::shared_ptr<const Mailbox> LoadMailboxFile(const std::string& path);
// The same over the text of a file; sourceName stands for the file in messages.
std::shared_ptr<const Mailbox> LoadMailboxText(std::string_view text, const std::string& sourceName);

// The identifier given to a store, folder or item that the file leaves without one: 32
// uppercase hexadecimal digits hashed from a text naming its place in the file, so the same file
// always gives the same identifiers. Place texts: "StoreID:S<s>" for the store id of store s,
// "EntryID:S<s>" for its top-level folder, "EntryID:S<s>/F<f>/F<g>..." for folders along their
// path, and that folder text followed by "/I<i>" for item i (all indices from 0).
std::string GeneratedId(std::string_view place);

}  // namespace kalendro::mailbox
