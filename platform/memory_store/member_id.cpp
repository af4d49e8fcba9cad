// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/memory_store/member_id.h"

#include <algorithm>
#include <array>

namespace kalendro::memory_store {

namespace {

// Which item types have a member: one bit per ItemType.
enum TypeBits : std::uint8_t {
    kAppointmentBit = 1,
    kContactBit = 2,
    kDistListBit = 4,
    kOtherBit = 8,
    kEveryType = kAppointmentBit | kContactBit | kDistListBit | kOtherBit,
};

struct MemberInfo {
    MemberId id;
    std::string_view name;
    MemberKind kind;
    std::uint8_t types;
};

using Kind = MemberKind;
using Id = MemberId;

// In the order of MemberId, so that an id indexes its row.
constexpr std::array<MemberInfo, kMemberCount> kMembers = {{
    {Id::kEntryID, "EntryID", Kind::kText, kEveryType},
    {Id::kSubject, "Subject", Kind::kText, kAppointmentBit | kDistListBit | kOtherBit},
    {Id::kBody, "Body", Kind::kText, kEveryType},
    {Id::kCategories, "Categories", Kind::kText, kEveryType},
    {Id::kCreationTime, "CreationTime", Kind::kDate, kAppointmentBit | kDistListBit | kOtherBit},
    {Id::kLastModificationTime, "LastModificationTime", Kind::kDate, kEveryType},
    {Id::kStart, "Start", Kind::kDate, kAppointmentBit},
    {Id::kEnd, "End", Kind::kDate, kAppointmentBit},
    {Id::kLocation, "Location", Kind::kText, kAppointmentBit},
    {Id::kImportance, "Importance", Kind::kNumber, kAppointmentBit},
    {Id::kAllDayEvent, "AllDayEvent", Kind::kFlag, kAppointmentBit},
    {Id::kOriginalDate, "OriginalDate", Kind::kDate, kAppointmentBit},
    {Id::kTitle, "Title", Kind::kText, kContactBit},
    {Id::kFirstName, "FirstName", Kind::kText, kContactBit},
    {Id::kMiddleName, "MiddleName", Kind::kText, kContactBit},
    {Id::kLastName, "LastName", Kind::kText, kContactBit},
    {Id::kCompanyName, "CompanyName", Kind::kText, kContactBit},
    {Id::kJobTitle, "JobTitle", Kind::kText, kContactBit},
    {Id::kNickName, "NickName", Kind::kText, kContactBit},
    {Id::kFullName, "FullName", Kind::kText, kContactBit},
    {Id::kFileAs, "FileAs", Kind::kText, kContactBit},
    {Id::kWebPage, "WebPage", Kind::kText, kContactBit},
    {Id::kBusinessTelephoneNumber, "BusinessTelephoneNumber", Kind::kText, kContactBit},
    {Id::kHomeTelephoneNumber, "HomeTelephoneNumber", Kind::kText, kContactBit},
    {Id::kMobileTelephoneNumber, "MobileTelephoneNumber", Kind::kText, kContactBit},
    {Id::kEmail1Address, "Email1Address", Kind::kText, kContactBit},
    {Id::kEmail2Address, "Email2Address", Kind::kText, kContactBit},
    {Id::kEmail3Address, "Email3Address", Kind::kText, kContactBit},
    {Id::kEmail1AddressType, "Email1AddressType", Kind::kText, kContactBit},
    {Id::kEmail2AddressType, "Email2AddressType", Kind::kText, kContactBit},
    {Id::kEmail3AddressType, "Email3AddressType", Kind::kText, kContactBit},
    {Id::kBusinessAddress, "BusinessAddress", Kind::kText, kContactBit},
    {Id::kBusinessAddressCity, "BusinessAddressCity", Kind::kText, kContactBit},
    {Id::kBusinessAddressCountry, "BusinessAddressCountry", Kind::kText, kContactBit},
    {Id::kBusinessAddressPostalCode, "BusinessAddressPostalCode", Kind::kText, kContactBit},
    {Id::kBusinessAddressPostOfficeBox, "BusinessAddressPostOfficeBox", Kind::kText, kContactBit},
    {Id::kBusinessAddressState, "BusinessAddressState", Kind::kText, kContactBit},
    {Id::kBusinessAddressStreet, "BusinessAddressStreet", Kind::kText, kContactBit},
    {Id::kHomeAddress, "HomeAddress", Kind::kText, kContactBit},
    {Id::kHomeAddressCity, "HomeAddressCity", Kind::kText, kContactBit},
    {Id::kHomeAddressCountry, "HomeAddressCountry", Kind::kText, kContactBit},
    {Id::kHomeAddressPostalCode, "HomeAddressPostalCode", Kind::kText, kContactBit},
    {Id::kHomeAddressPostOfficeBox, "HomeAddressPostOfficeBox", Kind::kText, kContactBit},
    {Id::kHomeAddressState, "HomeAddressState", Kind::kText, kContactBit},
    {Id::kHomeAddressStreet, "HomeAddressStreet", Kind::kText, kContactBit},
    {Id::kMailingAddress, "MailingAddress", Kind::kText, kContactBit},
    {Id::kBirthday, "Birthday", Kind::kDate, kContactBit},
    {Id::kAnniversary, "Anniversary", Kind::kDate, kContactBit},
    {Id::kDLName, "DLName", Kind::kText, kDistListBit},
}};

static_assert(std::all_of(kMembers.begin(), kMembers.end(),
                          [](const MemberInfo& info) { return &info == &kMembers[static_cast<std::size_t>(info.id)]; }),
              "every row stands at its id");

const MemberInfo& Info(MemberId member) { return kMembers[static_cast<std::size_t>(member)]; }

}  // namespace

ItemType ItemTypeOf(std::string_view typeName) {
    if (typeName == "AppointmentItem") {
        return ItemType::kAppointment;
    }
    if (typeName == "ContactItem") {
        return ItemType::kContact;
    }
    if (typeName == "DistListItem") {
        return ItemType::kDistList;
    }
    return ItemType::kOther;
}

std::string_view MemberName(MemberId member) { return Info(member).name; }

MemberKind KindOf(MemberId member) { return Info(member).kind; }

bool TypeHasMember(ItemType type, MemberId member) {
    return (Info(member).types & (1U << static_cast<unsigned>(type))) != 0;
}

bool IsDerived(MemberId member) { return member == MemberId::kOriginalDate; }

namespace {

constexpr std::size_t kLongestName = 28;  // "BusinessAddressPostOfficeBox"

static_assert(std::all_of(kMembers.begin(), kMembers.end(),
                          [](const MemberInfo& info) { return info.name.size() <= kLongestName; }),
              "no name is longer than kLongestName");

// The members by a hash of their names, each in a slot of its own: a look-up reads a few characters
// and compares the text with the one name in its slot. Every file key and every by-name read of the
// writers passes here.
constexpr std::size_t kNameTableSize = 128;  // a power of two

// The length and four characters, the sixth among them ("Email1Address" and its siblings differ
// there), weighted so that no two names meet.
constexpr std::size_t NameHash(std::string_view name) {
    const auto at = [name](std::size_t index) {
        return static_cast<std::size_t>(static_cast<unsigned char>(name[index]));
    };
    const std::size_t last = name.size() - 1;
    return (name.size() + at(0) * 7 + at(name.size() / 2) * 11 + at(std::min<std::size_t>(5, last)) * 31 +
            at(last) * 3) &
           (kNameTableSize - 1);
}

struct NameTable {
    std::array<std::uint8_t, kNameTableSize> slots{};  // a MemberId plus one; 0 where none stands
    bool namesMeet = false;
};

constexpr NameTable BuildNameTable() {
    NameTable table;
    for (const MemberInfo& info : kMembers) {
        std::uint8_t& slot = table.slots[NameHash(info.name)];
        table.namesMeet = table.namesMeet || slot != 0;
        slot = static_cast<std::uint8_t>(static_cast<std::size_t>(info.id) + 1);
    }
    return table;
}

constexpr NameTable kNameTable = BuildNameTable();
static_assert(!kNameTable.namesMeet, "a new name shares a slot: change the weights of NameHash");

}  // namespace

std::optional<MemberId> FindMemberId(std::string_view name) {
    if (name.empty() || name.size() > kLongestName) {
        return std::nullopt;
    }
    const std::uint8_t slot = kNameTable.slots[NameHash(name)];
    if (slot == 0) {
        return std::nullopt;
    }
    const auto member = static_cast<MemberId>(slot - 1);
    return MemberName(member) == name ? std::optional(member) : std::nullopt;
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

}  // namespace kalendro::memory_store
