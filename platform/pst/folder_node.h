// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <vector>

#include "platform/pst/property_bag.h"

namespace kalendro::pst {

// One folder of a PST/OST file with the folders below it, in the file's order.
struct FolderNode {
    std::uint32_t nodeId = 0;
    PropertyBag properties;
    std::vector<FolderNode> subfolders;
};

}  // namespace kalendro::pst
