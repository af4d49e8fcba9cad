// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/memory_store/members.h"

#include <cstring>

namespace kalendro::memory_store {

MemberView ViewOf(const MemberValue& value) {
    return std::visit([](const auto& held) { return MemberView(held); }, value);
}

Members::Members(std::initializer_list<value_type> members) {
    for (const auto& [member, value] : members) {
        Set(member, value);
    }
}

bool Members::Add(MemberId member, const MemberView& value) {
    if (Contains(member)) {
        return false;
    }
    const Slot slot = SlotOf(member, value);
    buffer_.insert(PositionOf(member) * sizeof(Slot), sizeof(Slot), '\0');
    present_ |= Bit(member);
    PutSlot(PositionOf(member), slot);
    return true;
}

// A replaced text stays in the buffer unused: members are replaced rarely, and only while an item
// is being built.
void Members::Set(MemberId member, const MemberView& value) {
    if (Contains(member)) {
        PutSlot(PositionOf(member), SlotOf(member, value));
    } else {
        Add(member, value);
    }
}

Members Members::Of(std::span<const value_type> members) {
    Members built;
    std::size_t textSize = 0;
    for (const auto& [member, value] : members) {
        built.present_ |= Bit(member);
        if (const auto* text = std::get_if<std::string_view>(&value)) {
            textSize += text->size();
        }
    }
    built.buffer_.reserve(built.size() * sizeof(Slot) + textSize);
    built.buffer_.resize(built.size() * sizeof(Slot));
    for (const auto& [member, value] : members) {
        built.PutSlot(built.PositionOf(member), built.SlotOf(member, value));
    }
    return built;
}

void Members::PutSlot(std::size_t position, const Slot& slot) {
    std::memcpy(buffer_.data() + position * sizeof(Slot), &slot, sizeof(Slot));
}

// Text offsets count from the end of the slots, so that adding a slot later leaves them true.
Members::Slot Members::SlotOf(MemberId member, const MemberView& value) {
    Slot slot{static_cast<std::uint8_t>(member), value.index(), 0, 0};
    if (const auto* text = std::get_if<std::string_view>(&value)) {
        slot.extra = text->size();
        slot.value = buffer_.size() - size() * sizeof(Slot);
        buffer_.append(*text);
    } else if (const auto* date = std::get_if<StoreDate>(&value)) {
        slot.value = date->Packed();
    } else if (const auto* number = std::get_if<std::int32_t>(&value)) {
        slot.value = static_cast<std::uint32_t>(*number);
    } else {
        slot.value = std::get<bool>(value) ? 1 : 0;
    }
    return slot;
}

}  // namespace kalendro::memory_store
