// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dav/dav_resources.h"
#include "platform/dav/multistatus.h"

namespace kalendro::dav {

// Who this program is to the server. Without a password the one ~/.netrc holds for the server's host
// (and user) is taken; without a user too, ~/.netrc's login for the host.
struct DavCredentials {
    std::string user;
    std::optional<std::string> password;
};

// What a collection is, by its resourcetype.
enum class CollectionKind { kCalendar, kAddressBook };

// A calendar collection or an address book on a CalDAV or CardDAV server, spoken to over HTTP or
// HTTPS through libcurl, one connection kept for all requests. Certificates are checked against the
// system's; no redirect is followed. Every request that fails throws a Failure whose description names
// the method, the URL and what went wrong: the HTTP status when the server answered (its number is that
// status), kDeviceUnavailable when it could not be reached.
class DavCollection {
public:
    // The URL gets a trailing slash when it has none.
    DavCollection(std::string url, DavCredentials credentials);
    ~DavCollection();
    DavCollection(const DavCollection&) = delete;
    DavCollection& operator=(const DavCollection&) = delete;

    const std::string& Url() const { return url_; }

    // Fails with 404 when there is nothing at the URL and with 409 when what is there is no
    // collection of the kind.
    void CheckKind(CollectionKind kind);
    // Creates or replaces the member of the resource's name.
    void Put(const DavResource& resource, std::string_view contentType);
    // The members a REPORT query (calendar-query or addressbook-query) finds, with their data.
    std::vector<ListedMember> Report(const std::string& query);
    // Removes the member of that name; one already gone counts as removed.
    void Delete(const std::string& name);
    // The name of the member an href of this server's answers points at, decoded; none for an href
    // that is not directly inside this collection.
    std::optional<std::string> MemberName(std::string_view href) const;

private:
    struct Answer {
        long status = 0;
        std::string body;
        std::string location;
    };
    struct Request;
    Answer Send(const Request& request);
    Answer Expect(const Request& request, std::initializer_list<long> accepted);

    std::string url_;
    std::string origin_;                     // scheme://authority
    std::vector<std::string> pathSegments_;  // the collection's path, decoded
    DavCredentials credentials_;
    struct Connection;
    std::unique_ptr<Connection> connection_;
};

}  // namespace kalendro::dav
