// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kalendro::dav {

// One member of a calendar collection or an address book as this program puts it: the UID of its
// event or card, the name of the resource in the collection and the text put there.
struct DavResource {
    std::string uid;
    std::string name;
    std::string body;
};

// What was split off an exported file: the resources; the UIDs met more than once, of which only the
// first was kept since a collection holds one member per UID; and the number of blocks left out for
// want of a UID to name them by.
struct SplitFile {
    std::vector<DavResource> resources;
    std::vector<std::string> repeatedUids;
    std::size_t withoutUid = 0;
};

// The events of an iCalendar file as written by the calendar export, each in a calendar of its own:
// the file's header lines but METHOD (a calendar collection's members carry none), the event's lines
// as they are in the file, the trailer. Named UID.ics.
SplitFile CalendarResources(std::string_view file);

// The cards of a vCard file, each as it is in the file but for its bare type parameters (TEL;WORK;VOICE),
// which are written in vCard 3.0's form (TEL;TYPE=WORK,VOICE): a server that parses the card drops the
// bare ones, and with them whether a number is the work, home or mobile one. Named UID.vcf.
SplitFile CardResources(std::string_view file);

// The value of the first line of NAME (its parameters aside) at any depth of an iCalendar or vCard
// text, folded lines unfolded; empty when there is none. Lines may end with CR LF or with LF alone,
// as a server may give them back.
std::string PropertyValue(std::string_view text, std::string_view name);

// The days of an export, as YYYYMMDD, the way its filter takes them: an event lies in the range when it
// starts on or after the first day's midnight and ends at the latest at the midnight after the last.
struct DayRange {
    std::string first;
    std::string afterLast;
};
bool EventLiesInRange(std::string_view calendarText, const DayRange& range);

// A resource name as it appears in a URL path: everything but RFC 3986's unreserved characters as
// %XX; and back.
std::string PercentEncoded(std::string_view text);
std::string PercentDecoded(std::string_view text);

}  // namespace kalendro::dav
