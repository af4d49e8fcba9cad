// SPDX-License-Identifier: GPL-3.0-or-later
// The PST mapping functions on arbitrary bytes: the recurrence blob (also as a series of the store,
// expanded over its first year, its exceptions that break it left out), both zone definitions,
// compressed RTF (with the body text made of what it gives) and the one-off entry id of a contact's
// Exchange address. A damaged value fails with kStoreOperationFailed and nothing else; a zone that reads converts any
// time there and back.
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>

#include "platform/memory_store/recurrence.h"
#include "platform/pst/item_classes.h"
#include "platform/pst/item_mapping.h"
#include "platform/pst/series_mapping.h"
#include "platform/pst/recurrence_blob.h"
#include "platform/pst/rtf_body.h"
#include "platform/pst/series_pattern.h"
#include "platform/pst/zone_rules.h"
#include "platform/store/failure.h"
#include "platform/text/html_text.h"

namespace {

using namespace kalendro;

void UseZone(const pst::ZoneRules& zone, std::string_view bytes) {
    for (const std::int64_t seconds : {std::int64_t{0}, std::int64_t{-62135596800}, std::int64_t{253402300799},
                                       static_cast<std::int64_t>(bytes.size()) * 7919 * 86400}) {
        zone.UtcToWall(zone.WallToUtc(seconds));
    }
}

// The blob as the recurrence of an appointment, whose occurrences of its first year are laid out.
void ExpandSeries(std::string_view bytes) {
    pst::Message message;
    message.properties.Set(pst::Lid(pst::kPsetidAppointment, 0x8216), {pst::kTypeBinary, std::string(bytes)});
    memory_store::MemoryItem item("AppointmentItem");
    pst::CodePageDecoder shiftJis(932);
    pst::AddRecurrence(item, message, shiftJis);
    if (!item.recurrence) {
        return;
    }
    const StoreDate start = std::get<StoreDate>(*item.members.Find(memory_store::MemberId::kStart));
    const StoreDate end = std::get<StoreDate>(*item.members.Find(memory_store::MemberId::kEnd));
    const memory_store::RecurringSeries series(*item.recurrence, start, end);
    series.OccurrencesIn({start, start.AddDays(366)});
}

// The bytes after a one-off entry id's header, as the original entry id of an Exchange address.
void MapExchangeAddress(std::string_view bytes) {
    std::string entryId(4, '\0');
    // The one-off entry id's provider UID holds a zero byte: a string_view literal keeps all sixteen.
    using namespace std::string_view_literals;
    entryId += "\x81\x2B\x1F\xA4\xBE\xA3\x10\x19\x9D\x6E\x00\xDD\x01\x0F\x54\x02"sv;
    entryId += bytes;
    pst::Message contact;
    const auto unicode = [](std::u16string_view text) {
        std::string data;
        for (const char16_t unit : text) {
            data += static_cast<char>(unit & 0xFF);
            data += static_cast<char>(unit >> 8);
        }
        return pst::PropertyValue{pst::kTypeUnicode, data};
    };
    contact.properties.Set(0x001A, unicode(u"IPM.Contact"));
    contact.properties.Set(pst::Lid(pst::kPsetidAddress, 0x8082), unicode(u"EX"));
    contact.properties.Set(pst::Lid(pst::kPsetidAddress, 0x8085), {pst::kTypeBinary, entryId});
    pst::CodePageDecoder decoder = pst::MessageDecoder(contact.properties);
    pst::MapItem(contact, "", decoder);
}

void ReadValue(unsigned char kind, std::string_view bytes) {
    switch (kind % 6) {
        case 0:
            ExpandSeries(bytes);
            break;
        case 1:
            UseZone(pst::ZoneRules::FromTimeZoneStruct(bytes), bytes);
            break;
        case 2:
            UseZone(pst::ZoneRules::FromDefinition(bytes), bytes);
            break;
        case 3:
            pst::RtfBodyText(pst::DecompressRtf(bytes));
            break;
        case 4:
            pst::RtfBodyText(bytes);
            HtmlToText(bytes);
            break;
        default:
            MapExchangeAddress(bytes);
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    try {
        ReadValue(data[0], bytes);
    } catch (const Failure& failure) {
        if (failure.Number() != kStoreOperationFailed) {
            std::cerr << "FINDING: failure " << failure.Number() << ": " << failure.Description() << "\n";
            std::abort();
        }
    }
    return 0;
}
