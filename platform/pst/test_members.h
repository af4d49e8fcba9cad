// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/memory_store/member_id.h"
#include "platform/pst/item_mapping.h"

namespace kalendro::pst::testing {

// The value of one member among those an item was mapped to; a member left out throws.
inline const memory_store::MemberValue& ValueOf(const MemberValues& members, memory_store::MemberId member) {
    const auto found =
        std::find_if(members.begin(), members.end(), [&](const auto& entry) { return entry.first == member; });
    if (found == members.end()) {
        throw std::out_of_range(std::string(memory_store::MemberName(member)) + " is missing");
    }
    return found->second;
}

// The members an item was mapped to, in the order the mapping gives them.
inline std::vector<memory_store::MemberId> IdsOf(const MemberValues& members) {
    std::vector<memory_store::MemberId> ids;
    for (const auto& [id, value] : members) {
        ids.push_back(id);
    }
    return ids;
}

}  // namespace kalendro::pst::testing
