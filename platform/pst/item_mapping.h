#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "platform/memory_store/member_id.h"
#include "platform/pst/property_bag.h"
#include "platform/pst/property_values.h"
#include "platform/pst/recurrence_blob.h"
#include "platform/pst/zone_rules.h"
#include "platform/store/store_date.h"

namespace kalendro::pst {

inline NamedProperty Lid(const Guid& propertySet, std::uint32_t lid) { return {propertySet, lid, {}}; }

using MemberValue = std::variant<std::string, StoreDate, std::int32_t, bool>;
using MemberValues = std::vector<std::pair<memory_store::MemberId, MemberValue>>;

// Outlook's item type name for a message class ("IPM.Appointment.X" -> "AppointmentItem"), compared
// without case and by whole dot-separated parts; a class Outlook does not know is a MailItem.
std::string ItemTypeNameOfClass(std::string_view messageClass);
// The same from a message's PR_MESSAGE_CLASS (0x001A).
std::string ItemTypeName(const PropertyBag& message);

// A folder's default item type (Outlook's OlItemType) from its container class: IPF.Appointment 1,
// IPF.Contact 2, IPF.Task 3, IPF.Journal 4, IPF.StickyNote 5, anything else 0.
std::int32_t DefaultItemTypeOfContainerClass(std::string_view containerClass);
// The same from a folder's PR_CONTAINER_CLASS (0x3613).
std::int32_t DefaultItemType(const PropertyBag& folder);

// Bytes as upper-case hex digits, two to a byte.
std::string UpperHex(std::string_view bytes);
// An item's EntryID: upper-case hex of four zero bytes, the store's record key and the node id
// (little-endian).
std::string EntryIdText(std::string_view storeRecordKey, std::uint32_t nodeId);

// An item's type name and every member its type has but those the store derives itself (IsDerived),
// with the store's defaults for properties the item lacks (empty text, StoreDate::NoDate(),
// Importance 1, false). Dates are local times of this machine's zone, except an all-day event's
// Start and End and a contact's Birthday and Anniversary, which keep their own calendar dates. A
// damaged compressed RTF body fails with kStoreOperationFailed.
struct MappedItem {
    std::string typeName;
    MemberValues members;
};
// The decoder is the message's own (MessageDecoder), for its 8-bit strings.
MappedItem MapItem(const Message& message, std::string_view storeRecordKey, CodePageDecoder& decoder);

// The code page of every 8-bit string of a message: its PR_MESSAGE_CODEPAGE (0x3FFD), else the
// Windows code page of the script of its PR_INTERNET_CPID (0x3FDE: ISO-2022-JP and EUC-JP give
// Shift-JIS 932, KOI8-R 1251, ...), else Windows-1252. The decoder reads them all, so that a message
// opens its converter once; a code page this machine cannot convert is read as Windows-1252.
int MessageCodePage(const PropertyBag& message);
CodePageDecoder MessageDecoder(const PropertyBag& message);

// The text Outlook's Body gives: PR_BODY, else the compressed RTF body, else the HTML body (in its
// internet code page).
std::string BodyText(const PropertyBag& message, CodePageDecoder& decoder);

// The series' recurrence (PidLidAppointmentRecur) when the appointment recurs; a damaged or
// unsupported pattern fails with kStoreOperationFailed.
std::optional<AppointmentRecurrence> ReadRecurrence(const PropertyBag& appointment, CodePageDecoder& decoder);

// The zone a series' pattern times are in: the recurring time zone definition when it agrees with the
// time zone structure (as MS-OXOCAL asks), else the structure. Nothing when the item has neither: its
// pattern times are then this machine's local times. A damaged structure fails with kStoreOperationFailed.
std::optional<ZoneRules> SeriesZone(const PropertyBag& appointment);

// A moment the pattern gives on the series' wall clock, in UTC and in this machine's zone: series are
// expanded in their own zone, then each occurrence is shown in this one (an all-day series keeps its
// dates instead). Without a zone the wall clock is this machine's.
std::int64_t SeriesWallToUtc(const std::optional<ZoneRules>& zone, const StoreDate& wall);
StoreDate SeriesWallToMachineLocal(const std::optional<ZoneRules>& zone, const StoreDate& wall);

// One modified occurrence of a series: where the pattern puts it, and the members it overrides
// (Start and End always, machine-local; Subject, Location, Body and AllDayEvent when changed).
struct ModifiedOccurrence {
    StoreDate originalStart;       // wall clock of the series' own zone, as the pattern places it
    StoreDate originalStartLocal;  // the same moment in this machine's zone
    MemberValues members;
};
// The exception messages embedded in the series are matched to the modified instances by their
// PidLidExceptionReplaceTime, the rest in order.
std::vector<ModifiedOccurrence> MapModifiedOccurrences(const Message& series, const AppointmentRecurrence& recurrence,
                                                       CodePageDecoder& decoder);

}  // namespace kalendro::pst
