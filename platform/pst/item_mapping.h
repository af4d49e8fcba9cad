// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/memory_store/member_id.h"
#include "platform/memory_store/members.h"
#include "platform/pst/property_bag.h"
#include "platform/pst/property_values.h"
#include "platform/store/store_date.h"

namespace kalendro::pst {

using MemberValues = std::vector<std::pair<memory_store::MemberId, memory_store::MemberValue>>;

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

}  // namespace kalendro::pst
