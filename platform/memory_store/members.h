// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "platform/memory_store/member_id.h"
#include "platform/store/store_date.h"

namespace kalendro::memory_store {

// A member's value as it is built, owning its text.
using MemberValue = std::variant<std::string, StoreDate, std::int32_t, bool>;
// A member's value as Members hands it out: its text a view into the Members, valid while they
// stand unchanged.
using MemberView = std::variant<std::string_view, StoreDate, std::int32_t, bool>;

MemberView ViewOf(const MemberValue& value);

// The members an item gives, each at most once. A member that is absent is unset: it reads as its
// kind's unset value. The value's kind is the member's (KindOf), which whoever adds it checks.
//
// Large stores hold hundreds of thousands of these, so they are compact: one buffer, one allocation,
// holds a fixed slot of 16 bytes per member, in member order so that a look-up is a count of bits,
// followed by the bytes of every text member.
class Members {
public:
    using value_type = std::pair<MemberId, MemberView>;

    Members() = default;
    // Later entries for the same member replace earlier ones.
    Members(std::initializer_list<value_type> members);

    std::size_t size() const { return CountBits(present_); }
    bool empty() const { return present_ == 0; }

    // Nothing when the member is absent. Inline: stores read members by the million.
    std::optional<MemberView> Find(MemberId member) const {
        if (!Contains(member)) {
            return std::nullopt;
        }
        return SlotView(SlotAt(PositionOf(member)));
    }
    bool Contains(MemberId member) const { return (present_ & Bit(member)) != 0; }
    // Adds the member unless it is there already; whether it was added.
    bool Add(MemberId member, const MemberView& value);
    // Adds the member or replaces its value.
    void Set(MemberId member, const MemberView& value);
    // The members given, each once, in one allocation of the size they need: the way to build many.
    static Members Of(std::span<const value_type> members);

    // Visits every member as (MemberId, MemberView), in member order.
    template <typename Visit>
    void ForEach(Visit&& visit) const {
        for (std::size_t position = 0; position < size(); ++position) {
            const Slot slot = SlotAt(position);
            visit(static_cast<MemberId>(slot.member), SlotView(slot));
        }
    }

private:
    struct Slot {
        std::uint64_t member : 8;
        std::uint64_t alternative : 8;  // the index of the value's alternative in MemberView
        std::uint64_t extra : 48;       // text: its size
        std::uint64_t value;            // text: its offset after the slots; date: packed; number; flag
    };
    static_assert(sizeof(Slot) == 16);

    static std::uint64_t Bit(MemberId member) { return std::uint64_t{1} << static_cast<unsigned>(member); }
    // Where the member's slot is, or would be put, among the slots in member order.
    std::size_t PositionOf(MemberId member) const { return CountBits(present_ & (Bit(member) - 1)); }
    // std::popcount, inline: on the baseline x86-64 that packages are built for it is a library call,
    // and every look-up counts.
    static constexpr std::size_t CountBits(std::uint64_t bits) {
        bits -= (bits >> 1) & 0x5555555555555555U;
        bits = (bits & 0x3333333333333333U) + ((bits >> 2) & 0x3333333333333333U);
        bits = (bits + (bits >> 4)) & 0x0F0F0F0F0F0F0F0FU;
        return static_cast<std::size_t>((bits * 0x0101010101010101U) >> 56);
    }
    // The buffer holds slots at any alignment, so they are copied in and out.
    Slot SlotAt(std::size_t position) const {
        Slot slot;
        std::memcpy(&slot, buffer_.data() + position * sizeof(Slot), sizeof(Slot));
        return slot;
    }
    void PutSlot(std::size_t position, const Slot& slot);
    MemberView SlotView(const Slot& slot) const {
        switch (slot.alternative) {
            case 0:
                return std::string_view(buffer_.data() + size() * sizeof(Slot) + slot.value, slot.extra);
            case 1:
                return StoreDate::Unpacked(slot.value);
            case 2:
                return static_cast<std::int32_t>(slot.value);
            default:
                return slot.value != 0;
        }
    }
    // The slot for the value, its text appended to the buffer.
    Slot SlotOf(MemberId member, const MemberView& value);

    std::string buffer_;         // the slots, then the text
    std::uint64_t present_ = 0;  // one bit per member present
    static_assert(kMemberCount <= 64, "one bit per member");
};

}  // namespace kalendro::memory_store
