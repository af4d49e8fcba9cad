#include "platform/memory_store/members.h"

#include <algorithm>

namespace kalendro::memory_store {

Members::Members(std::initializer_list<value_type> members) {
    members_.reserve(members.size());
    for (const auto& [member, value] : members) {
        Set(member, value);
    }
}

namespace {

template <typename Entries>
auto Position(Entries& entries, MemberId member) {
    return std::find_if(entries.begin(), entries.end(), [member](const auto& entry) { return entry.first == member; });
}

}  // namespace

const MemberValue* Members::Find(MemberId member) const {
    if ((present_ & Bit(member)) == 0) {
        return nullptr;
    }
    const auto found = Position(members_, member);
    return found == members_.end() ? nullptr : &found->second;
}

bool Members::Add(MemberId member, MemberValue value) {
    if (Contains(member)) {
        return false;
    }
    members_.emplace_back(member, std::move(value));
    present_ |= Bit(member);
    return true;
}

void Members::Set(MemberId member, MemberValue value) {
    const auto found = Position(members_, member);
    if (found == members_.end()) {
        members_.emplace_back(member, std::move(value));
        present_ |= Bit(member);
    } else {
        found->second = std::move(value);
    }
}

}  // namespace kalendro::memory_store
