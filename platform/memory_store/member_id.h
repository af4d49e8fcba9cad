// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace kalendro::memory_store {

// Every member the program reads from a store item, by the store's member name. Readers name a
// member by its id; names are looked up once, where text meets the model (a file's keys, the
// filter's [Member], StoreItem's by-name reads).
enum class MemberId : std::uint8_t {
    // Every item type
    kEntryID,
    kSubject,
    kBody,
    kCategories,
    kCreationTime,
    kLastModificationTime,
    // Appointments
    kStart,
    kEnd,
    kLocation,
    kImportance,
    kAllDayEvent,
    kOriginalDate,
    // Contacts
    kTitle,
    kFirstName,
    kMiddleName,
    kLastName,
    kCompanyName,
    kJobTitle,
    kNickName,
    kFullName,
    kFileAs,
    kWebPage,
    kBusinessTelephoneNumber,
    kHomeTelephoneNumber,
    kMobileTelephoneNumber,
    kEmail1Address,
    kEmail2Address,
    kEmail3Address,
    kEmail1AddressType,
    kEmail2AddressType,
    kEmail3AddressType,
    kBusinessAddress,
    kBusinessAddressCity,
    kBusinessAddressCountry,
    kBusinessAddressPostalCode,
    kBusinessAddressPostOfficeBox,
    kBusinessAddressState,
    kBusinessAddressStreet,
    kHomeAddress,
    kHomeAddressCity,
    kHomeAddressCountry,
    kHomeAddressPostalCode,
    kHomeAddressPostOfficeBox,
    kHomeAddressState,
    kHomeAddressStreet,
    kMailingAddress,
    kBirthday,
    kAnniversary,
    // Distribution lists
    kDLName,
};

inline constexpr std::size_t kMemberCount = static_cast<std::size_t>(MemberId::kDLName) + 1;

// What a member holds; a read of another kind is a type mismatch.
enum class MemberKind : std::uint8_t { kText, kDate, kNumber, kFlag };

// The item types the model tells apart; every other type name is kOther.
enum class ItemType : std::uint8_t { kAppointment, kContact, kDistList, kOther };

ItemType ItemTypeOf(std::string_view typeName);

// The store's name of the member ("Start"), its kind, and whether an item type has it.
std::string_view MemberName(MemberId member);
MemberKind KindOf(MemberId member);
bool TypeHasMember(ItemType type, MemberId member);
// Whether the store derives the member itself rather than keeping it: an occurrence's OriginalDate,
// the start its series' pattern gives it before any move, so that it names the occurrence however
// the occurrence is changed. Back ends and files never give such a member.
bool IsDerived(MemberId member);

// The member of that name (names are case-sensitive); nothing for a name no item type has.
std::optional<MemberId> FindMemberId(std::string_view name);

// "text", "date", "number", "true or false": for messages.
std::string_view KindName(MemberKind kind);

}  // namespace kalendro::memory_store
