// SPDX-License-Identifier: GPL-3.0-or-later
// A server's multistatus answer and the calendar and card texts it carries, as arbitrary bytes: the
// answer is read or refused with kBadServerAnswer, and every text the listing hands on is read for the
// properties and the range that pruning asks of it without fault.
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <string_view>

#include "platform/dav/dav_collection.h"
#include "platform/dav/dav_resources.h"
#include "platform/dav/multistatus.h"
#include "platform/store/failure.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kalendro::dav;
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    static const DavCollection collection("https://dav.example.com/alice/calendar/", {});
    try {
        for (const ListedMember& member : ParseMultistatus(body)) {
            (void)collection.MemberName(member.href);
            (void)PropertyValue(member.data, "PRODID");
            (void)EventLiesInRange(member.data, {"20261201", "20270101"});
        }
    } catch (const kalendro::Failure& failure) {
        if (failure.Number() != kalendro::kBadServerAnswer) {
            std::cerr << "FINDING: failure " << failure.Number() << ": " << failure.Description() << "\n";
            std::abort();
        }
    }
    // The same bytes as an exported file, split into resources.
    (void)CalendarResources(body);
    (void)CardResources(body);
    return 0;
}
