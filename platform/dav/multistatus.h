// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kalendro::dav {

// One resource as a PROPFIND's or REPORT's multistatus answer tells of it, from its properties given
// with status 200: its href as the server wrote it, the text of its calendar-data or address-data
// (empty when there is none), and whether its resourcetype makes it a calendar or an address book.
struct ListedMember {
    std::string href;
    std::string data;
    bool calendar = false;
    bool addressBook = false;
};

// The members of a WebDAV multistatus body (RFC 4918), read with libxml2 without fetching anything
// from the network and without expanding entities. A body that is not such XML fails with
// kBadServerAnswer, naming what the parser found.
std::vector<ListedMember> ParseMultistatus(std::string_view body);

}  // namespace kalendro::dav
