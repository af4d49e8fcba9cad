// The PST mapping functions on arbitrary bytes: the recurrence blob, both zone definitions and
// compressed RTF (with the body text made of what it gives). A damaged value is failure 440 and
// nothing else; a zone that reads converts any time there and back.
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>

#include "platform/failure.h"
#include "platform/pst/recurrence_blob.h"
#include "platform/pst/rtf_body.h"
#include "platform/pst/zone_rules.h"

namespace {

using namespace kalendro;

void UseZone(const pst::ZoneRules& zone, std::string_view bytes) {
    for (const std::int64_t seconds : {std::int64_t{0}, std::int64_t{-62135596800}, std::int64_t{253402300799},
                                       static_cast<std::int64_t>(bytes.size()) * 7919 * 86400}) {
        zone.UtcToWall(zone.WallToUtc(seconds));
    }
}

void ReadValue(unsigned char kind, std::string_view bytes) {
    switch (kind % 5) {
        case 0: {
            pst::CodePageDecoder shiftJis(932);
            pst::ParseAppointmentRecurrence(bytes, shiftJis);
            break;
        }
        case 1:
            UseZone(pst::ZoneRules::FromTimeZoneStruct(bytes), bytes);
            break;
        case 2:
            UseZone(pst::ZoneRules::FromDefinition(bytes), bytes);
            break;
        case 3:
            pst::RtfBodyText(pst::DecompressRtf(bytes));
            break;
        default:
            pst::RtfBodyText(bytes);
            pst::HtmlToText(bytes);
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
