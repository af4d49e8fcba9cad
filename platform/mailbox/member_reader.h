// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/mailbox/fast_reading/simd_node.h"
#include "platform/mailbox/value_reader.h"
#include "platform/memory_store/memory_item.h"

namespace kalendro::mailbox {

// Reads the members of an item or of an exception of a series by the member table.
template <typename Node>
class MemberReader : public ValueReader<Node> {
public:
    using Values = ValueReader<Node>;
    using typename Values::Required;
    using typename Values::Where;
    using Values::ArrayMember;
    using Values::CheckEntryId;
    using Values::CheckKeys;
    using Values::DateValue;
    using Values::DayValue;
    using Values::Fail;
    using Values::FlagValue;
    using Values::NumberInRange;
    using Values::NumberValue;
    using Values::RequiredKey;
    using Values::RequireObject;
    using Values::TextValue;
    using MemberId = memory_store::MemberId;
    using MemberKind = memory_store::MemberKind;
    using Members = memory_store::Members;
    using MemberView = memory_store::MemberView;
    using MemoryItem = memory_store::MemoryItem;

    explicit MemberReader(const std::string& sourceName) : Values(sourceName) {}

protected:
    // Every key of the object but the reserved ones is a member of the item's type. The members are
    // gathered in a list used again for every item, then built at once.
    void ReadMembers(const Node& node, const Where& where, const MemoryItem& item,
                     std::initializer_list<std::string_view> reserved, Members& members) const {
        read_.clear();
        std::uint64_t seen = 0;
        node.ForEachMember([&](std::string_view key, const Node& value) {
            if (std::find(reserved.begin(), reserved.end(), key) != reserved.end()) {
                return;
            }
            const std::optional<MemberId> member = memory_store::FindMemberId(key);
            if (!member || !memory_store::TypeHasMember(item.type, *member)) {
                Fail(where, key, "is not a member of " + item.typeName);
            }
            if (memory_store::IsDerived(*member)) {
                Fail(where, key, "is set by the store on each occurrence of a series; a file cannot give it");
            }
            const std::uint64_t bit = std::uint64_t{1} << static_cast<unsigned>(*member);
            if ((seen & bit) != 0) {
                throw RepeatedKey{};
            }
            seen |= bit;
            read_.emplace_back(*member, MemberValueOf(value, memory_store::KindOf(*member), where, key));
        });
        members = Members::Of(read_);
    }

    MemberView MemberValueOf(const Node& value, MemberKind kind, const Where& where, std::string_view key) const {
        switch (kind) {
            case MemberKind::kText:
                return TextValue(value, where, key);
            case MemberKind::kDate:
                return DateValue(value, where, key);
            case MemberKind::kNumber:
                return NumberValue(value, where, key);
            case MemberKind::kFlag:
                return FlagValue(value, where, key);
        }
        Fail(where, key, "has a kind of value that is not known");
    }

private:
    mutable std::vector<Members::value_type> read_;  // the members of the item or exception being read
};

}  // namespace kalendro::mailbox
