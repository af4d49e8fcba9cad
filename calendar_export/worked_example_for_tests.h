#pragma once

#include <string>
#include <vector>

#include "calendar_export/fake_store_for_tests.h"

namespace kalendro::testing {

// The two appointments of the iCalendar worked example and the file they give.

using Members = std::map<std::string, FakeItem::Value, std::less<>>;

inline Members BudgetMeeting() {
    return {{"Start", StoreDate{2002, 11, 5, 14, 0, 0}},
            {"End", StoreDate{2002, 11, 5, 15, 30, 0}},
            {"CreationTime", StoreDate{2002, 11, 4, 9, 30, 12}},
            {"LastModificationTime", StoreDate{2002, 11, 4, 9, 35, 40}},
            {"Location", std::string("Room 2")},
            {"EntryID", std::string("00000000AB12CD34")},
            {"Body", std::string("Bring the figures\r\nand the slides")},
            {"Subject", std::string("Budget meeting")},
            {"Importance", std::int32_t{2}},
            {"AllDayEvent", false},
            {"Categories", std::string("Business")}};
}

inline Members Holiday() {
    return {{"Start", StoreDate{2002, 11, 6, 0, 0, 0}},
            {"End", StoreDate{2002, 11, 7, 0, 0, 0}},
            {"CreationTime", StoreDate{2002, 11, 1, 8, 0, 0}},
            {"LastModificationTime", StoreDate{2002, 11, 1, 8, 0, 0}},
            {"Location", std::string()},
            {"EntryID", std::string("00000000EF56AB78")},
            {"Body", std::string()},
            {"Subject", std::string("Holiday")},
            {"Importance", std::int32_t{1}},
            {"AllDayEvent", true},
            {"Categories", std::string()}};
}

inline const std::vector<std::string> kExampleLines = {
    "BEGIN:VCALENDAR",
    "PRODID:-//MOLV Calender Export//MOLVCal 1.0 MIMEDIR//EN",
    "VERSION:2.0",
    "METHOD:PUBLISH",
    "BEGIN:VEVENT",
    "ORGANIZER:MAILTO:MOLVCal",
    "DTSTAMP:20021104T093012",
    "DTSTART:20021105T140000",
    "DTEND:20021105T153000",
    "LAST-MODIFIED:20021104T093540",
    "LOCATION:Room 2",
    "UID:00000000AB12CD34",
    "DESCRIPTION:Bring the figures\\nand the slides",
    "SUMMARY:Budget meeting",
    "PRIORITY:2",
    "CATEGORIES:Business",
    "END:VEVENT",
    "BEGIN:VEVENT",
    "ORGANIZER:MAILTO:MOLVCal",
    "DTSTAMP:20021101T080000",
    "DTSTART:20021106T000000",
    "DTEND:20021107T000000",
    "LAST-MODIFIED:20021101T080000",
    "UID:00000000EF56AB78",
    "DESCRIPTION:",
    "SUMMARY:Holiday",
    "PRIORITY:1",
    "TRANSP:TRANSPARENT",
    "END:VEVENT",
    "END:VCALENDAR",
};

// The first count lines, each ended by CR LF.
inline std::string JoinedLines(const std::vector<std::string>& lines, std::size_t count) {
    std::string bytes;
    for (std::size_t i = 0; i < count; ++i) {
        bytes += lines[i] + "\r\n";
    }
    return bytes;
}

}  // namespace kalendro::testing
