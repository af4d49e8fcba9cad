// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/dav/dav_collection.h"

#include <curl/curl.h>

#include <algorithm>
#include <initializer_list>
#include <utility>

#include "platform/store/failure.h"

namespace kalendro::dav {

namespace {

constexpr std::size_t kLargestAnswer = std::size_t{1} << 30;
constexpr long kConnectSeconds = 30;
// A server that sends nothing for a minute is taken for gone.
constexpr long kStalledSeconds = 60;

constexpr const char* kKindQuery =
    R"(<?xml version="1.0" encoding="utf-8"?><D:propfind xmlns:D="DAV:"><D:prop><D:resourcetype/></D:prop></D:propfind>)";

// Why a server may refuse, in the words a user acts on.
std::string StatusText(long status) {
    switch (status) {
        case 401:
            return "401 Unauthorized: the user name or password was refused";
        case 403:
            return "403 Forbidden: the user may not write there";
        case 404:
            return "404 Not Found: there is no collection at this URL";
        case 409:
            return "409 Conflict";
        case 412:
            return "412 Precondition Failed: the server refused the resource as it stands";
        case 413:
            return "413 Content Too Large";
        case 415:
            return "415 Unsupported Media Type";
        case 507:
            return "507 Insufficient Storage: the account's quota is used up";
        default:
            return std::to_string(status);
    }
}

std::size_t AppendAnswer(char* data, std::size_t size, std::size_t count, void* answer) {
    auto& body = *static_cast<std::string*>(answer);
    if (body.size() + size * count > kLargestAnswer) {
        return 0;
    }
    body.append(data, size * count);
    return size * count;
}

// Where a URL's path begins: after scheme://authority.
std::size_t PathStart(std::string_view url) {
    const std::size_t scheme = url.find("://");
    return scheme == std::string_view::npos ? 0 : std::min(url.find('/', scheme + 3), url.size());
}

// The segments of a URL path, decoded one by one so that an encoded slash stays inside its segment;
// the empty segment after a trailing slash is left out.
std::vector<std::string> PathSegments(std::string_view path) {
    std::vector<std::string> segments;
    for (std::size_t at = path.find('/'); at != std::string_view::npos;) {
        const std::size_t next = path.find('/', at + 1);
        const std::string_view segment = path.substr(at + 1, next == std::string_view::npos ? next : next - at - 1);
        if (!segment.empty() || next != std::string_view::npos) {
            segments.push_back(PercentDecoded(segment));
        }
        at = next;
    }
    return segments;
}

}  // namespace

struct DavCollection::Connection {
    struct HeaderListFree {
        void operator()(curl_slist* list) const { curl_slist_free_all(list); }
    };
    struct EasyFree {
        void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
    };
    std::unique_ptr<CURL, EasyFree> easy{curl_easy_init()};
};

struct DavCollection::Request {
    std::string method;
    std::string url;
    std::string body;
    std::vector<std::string> headers;
};

DavCollection::DavCollection(std::string url, DavCredentials credentials)
    : url_(std::move(url)), credentials_(std::move(credentials)), connection_(std::make_unique<Connection>()) {
    if (url_.empty() || url_.back() != '/') {
        url_ += '/';
    }
    origin_ = url_.substr(0, PathStart(url_));
    pathSegments_ = PathSegments(std::string_view(url_).substr(origin_.size()));
    if (!connection_->easy) {
        throw OutOfMemoryFailure();
    }
}

DavCollection::~DavCollection() = default;

DavCollection::Answer DavCollection::Send(const Request& request) {
    CURL* easy = connection_->easy.get();
    Answer answer;
    std::unique_ptr<curl_slist, Connection::HeaderListFree> headers;
    for (const std::string& header : request.headers) {
        headers.reset(curl_slist_append(headers.release(), header.c_str()));
    }
    headers.reset(curl_slist_append(headers.release(), "Expect:"));
    char error[CURL_ERROR_SIZE] = {};
    // Forgets the options, which point at this call's buffers, before those go; the open connection
    // stays, so that the requests of a run share it.
    const struct ResetAfter {
        CURL* easy;
        ~ResetAfter() { curl_easy_reset(easy); }
    } resetAfter{easy};
    curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, request.method.c_str());
    if (!request.body.empty()) {
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, request.body.data());
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
    }
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(easy, CURLOPT_USERAGENT, "Kalendro");
    curl_easy_setopt(easy, CURLOPT_HTTPAUTH, CURLAUTH_BASIC);
    curl_easy_setopt(easy, CURLOPT_NETRC, static_cast<long>(CURL_NETRC_OPTIONAL));
    if (!credentials_.user.empty()) {
        curl_easy_setopt(easy, CURLOPT_USERNAME, credentials_.user.c_str());
    }
    if (credentials_.password) {
        curl_easy_setopt(easy, CURLOPT_PASSWORD, credentials_.password->c_str());
    }
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, kConnectSeconds);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, kStalledSeconds);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, AppendAnswer);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &answer.body);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, error);
    const CURLcode result = curl_easy_perform(easy);
    if (result == CURLE_OUT_OF_MEMORY) {
        throw OutOfMemoryFailure();
    }
    if (result != CURLE_OK) {
        throw Failure(kDeviceUnavailable, request.method + " " + request.url + ": the server could not be reached (" +
                                              (error[0] != '\0' ? error : curl_easy_strerror(result)) + ")");
    }
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &answer.status);
    const char* location = nullptr;
    curl_easy_getinfo(easy, CURLINFO_REDIRECT_URL, &location);
    answer.location = location != nullptr ? location : "";
    return answer;
}

DavCollection::Answer DavCollection::Expect(const Request& request, std::initializer_list<long> accepted) {
    Answer answer = Send(request);
    if (std::find(accepted.begin(), accepted.end(), answer.status) != accepted.end()) {
        return answer;
    }
    std::string description = request.method + " " + request.url + ": the server answered " + StatusText(answer.status);
    if (!answer.location.empty()) {
        description += "; it sends to " + answer.location + ", give that URL";
    }
    throw Failure(static_cast<int>(answer.status), description);
}

void DavCollection::CheckKind(CollectionKind kind) {
    const Answer answer =
        Expect({"PROPFIND", url_, kKindQuery, {"Depth: 0", "Content-Type: application/xml; charset=utf-8"}}, {207});
    const std::vector<ListedMember> listed = ParseMultistatus(answer.body);
    const bool fits = std::any_of(listed.begin(), listed.end(), [&](const ListedMember& member) {
        return kind == CollectionKind::kCalendar ? member.calendar : member.addressBook;
    });
    if (!fits) {
        throw Failure(409, "PROPFIND " + url_ + ": this is no " +
                               (kind == CollectionKind::kCalendar ? "calendar collection" : "address book") +
                               " (give the URL of one)");
    }
}

void DavCollection::Put(const DavResource& resource, std::string_view contentType) {
    Expect({"PUT", url_ + resource.name, resource.body, {"Content-Type: " + std::string(contentType)}},
           {200, 201, 204});
}

std::vector<ListedMember> DavCollection::Report(const std::string& query) {
    return ParseMultistatus(
        Expect({"REPORT", url_, query, {"Depth: 1", "Content-Type: application/xml; charset=utf-8"}}, {207}).body);
}

void DavCollection::Delete(const std::string& name) {
    Expect({"DELETE", url_ + PercentEncoded(name), {}, {}}, {200, 204, 404});
}

std::optional<std::string> DavCollection::MemberName(std::string_view href) const {
    if (href.substr(0, origin_.size() + 1) == origin_ + "/") {
        href.remove_prefix(origin_.size());
    } else if (PathStart(href) != 0) {
        return std::nullopt;
    }
    std::vector<std::string> segments = PathSegments(href);
    if (segments.size() != pathSegments_.size() + 1 || segments.back().empty() ||
        !std::equal(pathSegments_.begin(), pathSegments_.end(), segments.begin())) {
        return std::nullopt;
    }
    return std::move(segments.back());
}

}  // namespace kalendro::dav
