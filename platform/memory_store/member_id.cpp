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

// The members grouped by the length of their names: a search compares the text of the few names of
// its own length only.
struct NamesByLength {
    std::array<MemberId, kMemberCount> members{};
    std::array<std::uint8_t, kLongestName + 2> firstOfLength{};  // where each length begins in members
};

constexpr NamesByLength GroupByLength() {
    NamesByLength grouped;
    std::size_t next = 0;
    for (std::size_t length = 0; length <= kLongestName; ++length) {
        grouped.firstOfLength[length] = static_cast<std::uint8_t>(next);
        for (const MemberInfo& info : kMembers) {
            if (info.name.size() == length) {
                grouped.members[next++] = info.id;
            }
        }
    }
    grouped.firstOfLength[kLongestName + 1] = static_cast<std::uint8_t>(next);
    return grouped;
}

constexpr NamesByLength kNamesByLength = GroupByLength();

}  // namespace

std::optional<MemberId> FindMemberId(std::string_view name) {
    if (name.size() > kLongestName) {
        return std::nullopt;
    }
    const auto first = kNamesByLength.members.begin() + kNamesByLength.firstOfLength[name.size()];
    const auto last = kNamesByLength.members.begin() + kNamesByLength.firstOfLength[name.size() + 1];
    const auto found = std::find_if(first, last, [name](MemberId member) { return MemberName(member) == name; });
    return found == last ? std::nullopt : std::optional(*found);
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
