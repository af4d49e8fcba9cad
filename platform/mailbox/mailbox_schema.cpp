#include "platform/mailbox/mailbox_schema.h"

#include <algorithm>

namespace kalendro::mailbox {

namespace {

using Kind = MemberKind;

// Shorter names first, then by their bytes: most comparisons end at the lengths.
bool ShortFirst(std::string_view left, std::string_view right) {
    return left.size() != right.size() ? left.size() < right.size() : left < right;
}

const ItemSchema& AppointmentSchema() {
    static const ItemSchema schema({
        {"Start", Kind::kDate},
        {"End", Kind::kDate},
        {"CreationTime", Kind::kDate},
        {"LastModificationTime", Kind::kDate},
        {"Location", Kind::kText},
        {"EntryID", Kind::kText},
        {"Body", Kind::kText},
        {"Subject", Kind::kText},
        {"Categories", Kind::kText},
        {"Importance", Kind::kNumber},
        {"AllDayEvent", Kind::kFlag},
    });
    return schema;
}

const ItemSchema& ContactSchema() {
    static const ItemSchema schema({
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
    });
    return schema;
}

std::vector<std::pair<std::string_view, MemberKind>> CommonMembers() {
    return {
        {"EntryID", Kind::kText},
        {"Subject", Kind::kText},
        {"Body", Kind::kText},
        {"Categories", Kind::kText},
        {"CreationTime", Kind::kDate},
        {"LastModificationTime", Kind::kDate},
    };
}

const ItemSchema& DistListSchema() {
    static const ItemSchema schema = [] {
        auto members = CommonMembers();
        members.emplace_back("DLName", Kind::kText);
        return ItemSchema(std::move(members));
    }();
    return schema;
}

const ItemSchema& CommonSchema() {
    static const ItemSchema schema(CommonMembers());
    return schema;
}

}  // namespace

ItemSchema::ItemSchema(std::vector<std::pair<std::string_view, MemberKind>> members) : members_(std::move(members)) {
    std::sort(members_.begin(), members_.end(),
              [](const auto& left, const auto& right) { return ShortFirst(left.first, right.first); });
}

std::optional<MemberKind> ItemSchema::KindOf(std::string_view member) const {
    const auto* found = Find(member);
    return found == nullptr ? std::nullopt : std::optional(found->second);
}

const std::pair<std::string_view, MemberKind>* ItemSchema::Find(std::string_view member) const {
    auto found = std::lower_bound(members_.begin(), members_.end(), member,
                                  [](const auto& entry, std::string_view name) { return ShortFirst(entry.first, name); });
    return found == members_.end() || found->first != member ? nullptr : &*found;
}

const ItemSchema& SchemaFor(std::string_view typeName) {
    if (typeName == "AppointmentItem") {
        return AppointmentSchema();
    }
    if (typeName == "ContactItem") {
        return ContactSchema();
    }
    if (typeName == "DistListItem") {
        return DistListSchema();
    }
    return CommonSchema();
}

std::string_view KnownMemberName(std::string_view member) {
    // Every name of every type once (the common members are the distribution list's too), in the
    // first spelling a schema gives it; kinds do not matter here.
    static const ItemSchema allNames = [] {
        std::vector<std::pair<std::string_view, MemberKind>> names;
        for (const ItemSchema* schema : {&AppointmentSchema(), &ContactSchema(), &DistListSchema()}) {
            for (const auto& entry : schema->Entries()) {
                if (!std::any_of(names.begin(), names.end(), [&](const auto& known) { return known.first == entry.first; })) {
                    names.push_back(entry);
                }
            }
        }
        return ItemSchema(std::move(names));
    }();
    const auto* found = allNames.Find(member);
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
