#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "platform/memory_store/member_id.h"
#include "platform/store_date.h"

namespace kalendro::memory_store {

using MemberValue = std::variant<std::string, StoreDate, std::int32_t, bool>;

// The members an item gives, each at most once, in the order they were added. A member that is
// absent is unset: it reads as its kind's unset value. The value's kind is the member's
// (KindOf), which whoever adds it checks.
class Members {
public:
    using value_type = std::pair<MemberId, MemberValue>;
    using const_iterator = std::vector<value_type>::const_iterator;

    Members() = default;
    // Later entries for the same member replace earlier ones.
    Members(std::initializer_list<value_type> members);

    const_iterator begin() const { return members_.begin(); }
    const_iterator end() const { return members_.end(); }
    std::size_t size() const { return members_.size(); }
    bool empty() const { return members_.empty(); }
    void reserve(std::size_t count) { members_.reserve(count); }

    // Null when the member is absent.
    const MemberValue* Find(MemberId member) const;
    bool Contains(MemberId member) const { return Find(member) != nullptr; }
    // Adds the member unless it is there already; whether it was added.
    bool Add(MemberId member, MemberValue value);
    // Adds the member or replaces its value.
    void Set(MemberId member, MemberValue value);

private:
    static std::uint64_t Bit(MemberId member) { return std::uint64_t{1} << static_cast<unsigned>(member); }

    std::vector<value_type> members_;
    // One bit per member present: most look-ups of the writers are of members an item lacks, and
    // they need no search.
    std::uint64_t present_ = 0;
    static_assert(kMemberCount <= 64, "one bit per member");
};

}  // namespace kalendro::memory_store
