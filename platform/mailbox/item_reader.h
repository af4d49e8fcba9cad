// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/mailbox/recurrence_reader.h"
#include "platform/memory_store/memory_item.h"

namespace kalendro::mailbox {

// Reads an item of a mailbox file: its type, its members by the member table, and its recurrence.
template <typename Node>
class ItemReader : public RecurrenceReader<Node> {
public:
    using Base = RecurrenceReader<Node>;
    using Base::ArrayMember;
    using Base::CheckEntryId;
    using Base::CheckKeys;
    using Base::Fail;
    using Base::IdValue;
    using Base::NumberValue;
    using Base::RequiredKey;
    using Base::RequireObject;
    using Base::TextValue;
    using typename Base::MemberId;
    using typename Base::MemberView;
    using typename Base::MemoryItem;
    using typename Base::RecurrencePattern;
    using typename Base::Required;
    using typename Base::Where;

    explicit ItemReader(const std::string& sourceName) : Base(sourceName) {}

    // All of an item that does not depend on its place in the file.
    std::shared_ptr<MemoryItem> ReadItem(const Node& node, const Where& where) const {
        RequireObject(node, where);
        const std::string_view typeName = TextValue(RequiredKey(node, where, "type"), where, "type");
        if (typeName.empty()) {
            Fail(where, "type", "must not be empty");
        }
        auto item = std::make_shared<MemoryItem>(std::string(typeName));
        ReadMembers(node, where, *item, {"type", "Recurrence"}, item->members);
        if (const std::optional<MemberView> entryId = item->members.Find(MemberId::kEntryID)) {
            CheckEntryId(std::get<std::string_view>(*entryId), where, "EntryID");
        }
        if (const std::optional<Node> recurrence = node.Find("Recurrence")) {
            if (item->type != memory_store::ItemType::kAppointment) {
                Fail(where, "Recurrence", "only an AppointmentItem can recur");
            }
            item->recurrence = std::make_unique<RecurrencePattern>(
                ReadSeriesRecurrence(*recurrence, Where{&where, "Recurrence", 0, &*recurrence}, *item, where));
        }
        return item;
    }

private:
    using Base::ReadMembers;
    using Base::ReadSeriesRecurrence;
};

}  // namespace kalendro::mailbox
