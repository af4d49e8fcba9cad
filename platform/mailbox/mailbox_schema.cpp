#include "platform/mailbox/mailbox_schema.h"

#include <algorithm>

namespace kalendro::mailbox {

namespace {

using Kind = MemberKind;

// Shorter names first, then by their bytes: most comparisons end at the lengths.
bool ShortFirst(std::string_view left, std::string_view right) {
    return left.size() != right.size() ? left.size() < right.size() : left < right;
}

using Member = std::pair<std::string_view, MemberKind>;

std::vector<Member> AppointmentMembers() {
    return {
        {"Start", Kind::kDate},        {"End", Kind::kDate},
        {"CreationTime", Kind::kDate}, {"LastModificationTime", Kind::kDate},
        {"Location", Kind::kText},     {"EntryID", Kind::kText},
        {"Body", Kind::kText},         {"Subject", Kind::kText},
        {"Categories", Kind::kText},   {"Importance", Kind::kNumber},
        {"AllDayEvent", Kind::kFlag},
    };
}

std::vector<Member> ContactMembers() {
    return {
        {"Body", Kind::kText},
        {"Categories", Kind::kText},
        {"EntryID", Kind::kText},
        {"Title", Kind::kText},
        {"FirstName", Kind::kText},
        {"MiddleName", Kind::kText},
        {"LastName", Kind::kText},
        {"CompanyName", Kind::kText},
        {"JobTitle", Kind::kText},
        {"NickName", Kind::kText},
        {"WebPage", Kind::kText},
        {"BusinessTelephoneNumber", Kind::kText},
        {"HomeTelephoneNumber", Kind::kText},
        {"MobileTelephoneNumber", Kind::kText},
        {"Email1Address", Kind::kText},
        {"Email2Address", Kind::kText},
        {"Email3Address", Kind::kText},
        {"Email1AddressType", Kind::kText},
        {"Email2AddressType", Kind::kText},
        {"Email3AddressType", Kind::kText},
        {"BusinessAddress", Kind::kText},
        {"BusinessAddressCity", Kind::kText},
        {"BusinessAddressCountry", Kind::kText},
        {"BusinessAddressPostalCode", Kind::kText},
        {"BusinessAddressPostOfficeBox", Kind::kText},
        {"BusinessAddressState", Kind::kText},
        {"BusinessAddressStreet", Kind::kText},
        {"HomeAddress", Kind::kText},
        {"HomeAddressCity", Kind::kText},
        {"HomeAddressCountry", Kind::kText},
        {"HomeAddressPostalCode", Kind::kText},
        {"HomeAddressPostOfficeBox", Kind::kText},
        {"HomeAddressState", Kind::kText},
        {"HomeAddressStreet", Kind::kText},
        {"MailingAddress", Kind::kText},
        {"Birthday", Kind::kDate},
        {"Anniversary", Kind::kDate},
        {"LastModificationTime", Kind::kDate},
    };
}

std::vector<Member> CommonMembers() {
    return {
        {"EntryID", Kind::kText},    {"Subject", Kind::kText},      {"Body", Kind::kText},
        {"Categories", Kind::kText}, {"CreationTime", Kind::kDate}, {"LastModificationTime", Kind::kDate},
    };
}

std::vector<Member> DistListMembers() {
    auto members = CommonMembers();
    members.emplace_back("DLName", Kind::kText);
    return members;
}

struct Schemas {
    ItemSchema appointment;
    ItemSchema contact;
    ItemSchema distList;
    ItemSchema common;
    ItemSchema allNames;  // every name of every type once; kinds do not matter here
};

// Every schema, built together so that each member name has one spelling, the first met, which
// every schema that has the member shares: members compare names by that text's address.
const Schemas& AllSchemas() {
    static const Schemas schemas = [] {
        std::vector<Member> allNames;
        const auto shared = [&allNames](std::vector<Member> members) {
            for (Member& member : members) {
                const auto known = std::find_if(allNames.begin(), allNames.end(),
                                                [&](const Member& name) { return name.first == member.first; });
                if (known == allNames.end()) {
                    allNames.push_back(member);
                } else {
                    member.first = known->first;
                }
            }
            return ItemSchema(std::move(members));
        };
        ItemSchema appointment = shared(AppointmentMembers());
        ItemSchema contact = shared(ContactMembers());
        ItemSchema distList = shared(DistListMembers());
        ItemSchema common = shared(CommonMembers());
        return Schemas{std::move(appointment), std::move(contact), std::move(distList), std::move(common),
                       ItemSchema(allNames)};
    }();
    return schemas;
}

}  // namespace

ItemSchema::ItemSchema(std::vector<std::pair<std::string_view, MemberKind>> members) : members_(std::move(members)) {
    std::sort(members_.begin(), members_.end(),
              [](const auto& left, const auto& right) { return ShortFirst(left.first, right.first); });
    const std::size_t longest = members_.empty() ? 0 : members_.back().first.size();
    for (std::size_t length = 0, at = 0; length <= longest + 1; ++length) {
        while (at < members_.size() && members_[at].first.size() < length) {
            ++at;
        }
        firstOfLength_.push_back(at);
    }
}

std::optional<MemberKind> ItemSchema::KindOf(std::string_view member) const {
    const auto* found = Find(member);
    return found == nullptr ? std::nullopt : std::optional(found->second);
}

const std::pair<std::string_view, MemberKind>* ItemSchema::Find(std::string_view member) const {
    // Only the few names of the same length need their texts compared.
    if (member.size() + 1 >= firstOfLength_.size()) {
        return nullptr;
    }
    const auto last = members_.begin() + static_cast<std::ptrdiff_t>(firstOfLength_[member.size() + 1]);
    const auto found = std::find_if(members_.begin() + static_cast<std::ptrdiff_t>(firstOfLength_[member.size()]), last,
                                    [member](const auto& entry) { return entry.first == member; });
    return found == last ? nullptr : &*found;
}

const ItemSchema& SchemaFor(std::string_view typeName) {
    const Schemas& schemas = AllSchemas();
    if (typeName == "AppointmentItem") {
        return schemas.appointment;
    }
    if (typeName == "ContactItem") {
        return schemas.contact;
    }
    if (typeName == "DistListItem") {
        return schemas.distList;
    }
    return schemas.common;
}

std::string_view KnownMemberName(std::string_view member) {
    const auto* found = AllSchemas().allNames.Find(member);
    return found == nullptr ? std::string_view() : found->first;
}

std::string_view KindName(MemberKind kind) {
    switch (kind) {
        case MemberKind::kText:
            return "text";
        case MemberKind::kDate:
            return "date";
        case MemberKind::kNumber:
            return "number";
        case MemberKind::kFlag:
            return "true or false";
    }
    return "value";
}

}  // namespace kalendro::mailbox
