#pragma once

#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace kalendro::mailbox {

// What a member holds; a read of another kind is a type mismatch.
enum class MemberKind { kText, kDate, kNumber, kFlag };

// The members one item type has, by the store's member names. Names are case-sensitive.
class ItemSchema {
public:
    explicit ItemSchema(std::vector<std::pair<std::string_view, MemberKind>> members);

    // Nothing for a name the type does not have.
    std::optional<MemberKind> KindOf(std::string_view member) const;
    // The schema's entry for the name: its lasting spelling (see KnownMemberName) and its kind.
    // Null for a name the type does not have.
    const std::pair<std::string_view, MemberKind>* Find(std::string_view member) const;
    const std::vector<std::pair<std::string_view, MemberKind>>& Entries() const { return members_; }

private:
    std::vector<std::pair<std::string_view, MemberKind>> members_;  // sorted by length, then name
    std::vector<std::size_t> firstOfLength_;  // where the names of each length begin in members_, one past the longest
};

// The schema of an item type: "AppointmentItem", "ContactItem", "DistListItem", and a common set
// (EntryID, Subject, Body, Categories, CreationTime, LastModificationTime) for every other type.
const ItemSchema& SchemaFor(std::string_view typeName);

// The one spelling of a member name that lasts as long as the program and that every schema with
// the member shares, so that the same name is the same text; empty when no item type has that
// member (the common members are the distribution list's too).
std::string_view KnownMemberName(std::string_view member);

// "text", "date", "number", "true or false": for messages.
std::string_view KindName(MemberKind kind);

}  // namespace kalendro::mailbox
