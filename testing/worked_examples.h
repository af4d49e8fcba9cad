// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

#include "testing/fake_store.h"
#include "testing/source_path.h"
#include "testing/temporary_directory.h"

namespace kalendro::testing {

// The worked examples: the items the program reads and the files it must write from them, kept
// byte for byte (CR LF line ends) in testing/data.

// The two appointments of the iCalendar example.
inline FakeItem BudgetMeeting() {
    FakeItem meeting("AppointmentItem");
    meeting.Set("Start", StoreDate{2002, 11, 5, 14, 0, 0}).Set("End", StoreDate{2002, 11, 5, 15, 30, 0});
    meeting.Set("CreationTime", StoreDate{2002, 11, 4, 9, 30, 12});
    meeting.Set("LastModificationTime", StoreDate{2002, 11, 4, 9, 35, 40});
    meeting.Set("Location", "Room 2").Set("EntryID", "00000000AB12CD34");
    meeting.Set("Body", "Bring the figures\r\nand the slides").Set("Subject", "Budget meeting");
    meeting.Set("Importance", std::int32_t{2}).Set("AllDayEvent", false).Set("Categories", "Business");
    return meeting;
}

inline FakeItem Holiday() {
    FakeItem holiday("AppointmentItem");
    holiday.Set("Start", StoreDate{2002, 11, 6, 0, 0, 0}).Set("End", StoreDate{2002, 11, 7, 0, 0, 0});
    holiday.Set("CreationTime", StoreDate{2002, 11, 1, 8, 0, 0});
    holiday.Set("LastModificationTime", StoreDate{2002, 11, 1, 8, 0, 0});
    holiday.Set("Location", "").Set("EntryID", "00000000EF56AB78").Set("Body", "").Set("Subject", "Holiday");
    holiday.Set("Importance", std::int32_t{1}).Set("AllDayEvent", true).Set("Categories", "");
    return holiday;
}

// The file the budget meeting and the holiday give, in that order.
inline std::string WorkedExampleCalendar() {
    return ReadFileBytes(SourcePath("testing/data/worked-example.2002-11-05.2002-11-06.ics"));
}

// The contact of the vCard example: Dr. Jane Doe of Acme, Inc.
inline FakeItem WorkedExampleContact() {
    const std::string address = "1 High Street\r\nLondon, N1 9GU\r\nUK";
    FakeItem contact("ContactItem");
    contact.Set("LastName", "Doe").Set("FirstName", "Jane").Set("Title", "Dr.").Set("CompanyName", "Acme, Inc.");
    contact.Set("JobTitle", "Engineer").Set("BusinessTelephoneNumber", "+1 555 0100");
    contact.Set("MobileTelephoneNumber", "+1 555 0199");
    contact.Set("BusinessAddressStreet", "1 High Street").Set("BusinessAddressCity", "London");
    contact.Set("BusinessAddressPostalCode", "N1 9GU").Set("BusinessAddressCountry", "UK");
    contact.Set("BusinessAddress", address).Set("MailingAddress", address);
    contact.Set("Birthday", StoreDate{2002, 3, 7}).Set("Categories", "Business");
    contact.Set("LastModificationTime", StoreDate{2002, 11, 5, 14, 3, 9});
    contact.Set("EntryID", "00000000A1B2C3D4E5F60718293A4B5C6D7E8F90");
    contact.Set("Body", "Met at the trade fair, prefers calls in the morning; please ring before ten.");
    return contact;
}

// The card of that contact, birthday in the notes.
inline std::string WorkedExampleCard() { return ReadFileBytes(SourcePath("testing/data/worked-example.vcf")); }

// The first `count` lines of a file's text, each with its CR LF.
inline std::string FirstLines(const std::string& text, std::size_t count) {
    std::size_t end = 0;
    for (std::size_t line = 0; line < count && end < text.size(); ++line) {
        end = std::min(text.find("\r\n", end), text.size() - 2) + 2;
    }
    return text.substr(0, end);
}

// How often the part occurs in the text, overlapping occurrences included.
inline int CountOf(std::string_view text, std::string_view part) {
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string_view::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// The number of lines, each ended by CR LF.
inline std::size_t LineCount(std::string_view text) { return static_cast<std::size_t>(CountOf(text, "\r\n")); }

// The offset of the first line at or after `from` that starts with the prefix (a property name).
inline std::size_t LineStartingWith(const std::string& text, std::string_view prefix, std::size_t from = 0) {
    for (std::size_t at = from; at < text.size();) {
        if (text.compare(at, prefix.size(), prefix) == 0) {
            return at;
        }
        const std::size_t end = text.find("\r\n", at);
        at = end == std::string::npos ? text.size() : end + 2;
    }
    ADD_FAILURE() << "no line starts with " << prefix;
    return text.size();
}

// The lines from the first that starts with `first` through the next one that starts with `last`,
// with their CR LF: "BEGIN:VEVENT" to "END:VEVENT" is the first event block.
inline std::string LinesFromTo(const std::string& text, std::string_view first, std::string_view last) {
    const std::size_t start = LineStartingWith(text, first);
    const std::size_t lastLine = LineStartingWith(text, last, start);
    const std::size_t end = std::min(text.find("\r\n", lastLine), text.size() - 2) + 2;
    return text.substr(start, end - start);
}

}  // namespace kalendro::testing
