// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace kalendro::mailbox {

// The identifier given to a store, folder or item that the file leaves without one: 32
// uppercase hexadecimal digits hashed from a text naming its place in the file, so the same file
// always gives the same identifiers. Place texts: "StoreID:S<s>" for the store id of store s,
// "EntryID:S<s>" for its top-level folder, "EntryID:S<s>/F<f>/F<g>..." for folders along their
// path, and that folder text followed by "/I<i>" for item i (all indices from 0).
std::string GeneratedId(std::string_view place);

}  // namespace kalendro::mailbox
