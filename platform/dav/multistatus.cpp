// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/dav/multistatus.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <climits>
#include <memory>
#include <string_view>

#include "platform/store/failure.h"

namespace kalendro::dav {

namespace {

constexpr std::string_view kDavNamespace = "DAV:";
constexpr std::string_view kCalDavNamespace = "urn:ietf:params:xml:ns:caldav";
constexpr std::string_view kCardDavNamespace = "urn:ietf:params:xml:ns:carddav";

struct DocumentFree {
    void operator()(xmlDoc* document) const { xmlFreeDoc(document); }
};

std::string_view View(const xmlChar* text) {
    return text == nullptr ? std::string_view() : std::string_view(reinterpret_cast<const char*>(text));
}

bool IsElement(const xmlNode* node, std::string_view space, std::string_view name) {
    return node->type == XML_ELEMENT_NODE && View(node->name) == name && node->ns != nullptr &&
           View(node->ns->href) == space;
}

std::string TextOf(const xmlNode* node) {
    xmlChar* content = xmlNodeGetContent(node);
    std::string text(View(content));
    xmlFree(content);
    return text;
}

const xmlNode* Child(const xmlNode* parent, std::string_view space, std::string_view name) {
    for (const xmlNode* child = parent->children; child != nullptr; child = child->next) {
        if (IsElement(child, space, name)) {
            return child;
        }
    }
    return nullptr;
}

void TakeProperties(const xmlNode* prop, ListedMember& member) {
    for (const auto& [space, name] :
         {std::pair{kCalDavNamespace, "calendar-data"}, std::pair{kCardDavNamespace, "address-data"}}) {
        if (const xmlNode* data = Child(prop, space, name)) {
            member.data = TextOf(data);
        }
    }
    if (const xmlNode* type = Child(prop, kDavNamespace, "resourcetype")) {
        member.calendar = Child(type, kCalDavNamespace, "calendar") != nullptr;
        member.addressBook = Child(type, kCardDavNamespace, "addressbook") != nullptr;
    }
}

// A response's href and the properties of its propstats whose status is 200.
ListedMember MemberOf(const xmlNode* response, const xmlNode* href) {
    ListedMember member{TextOf(href), {}};
    for (const xmlNode* propstat = response->children; propstat != nullptr; propstat = propstat->next) {
        const xmlNode* status =
            IsElement(propstat, kDavNamespace, "propstat") ? Child(propstat, kDavNamespace, "status") : nullptr;
        const xmlNode* prop = status != nullptr ? Child(propstat, kDavNamespace, "prop") : nullptr;
        if (prop != nullptr && TextOf(status).find(" 200 ") != std::string::npos) {
            TakeProperties(prop, member);
        }
    }
    return member;
}

// What libxml2 found wrong, in parentheses, or nothing when the XML was sound.
std::string ParserComplaint() {
    const xmlError* error = xmlGetLastError();
    if (error == nullptr || error->message == nullptr) {
        return {};
    }
    std::string message = error->message;
    while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) {
        message.pop_back();
    }
    return " (" + message + " at line " + std::to_string(error->line) + ")";
}

}  // namespace

std::vector<ListedMember> ParseMultistatus(std::string_view body) {
    if (body.size() > INT_MAX) {
        throw Failure(kBadServerAnswer, "the server's multistatus answer is too large to read");
    }
    xmlResetLastError();
    const std::unique_ptr<xmlDoc, DocumentFree> document(
        xmlReadMemory(body.data(), static_cast<int>(body.size()), nullptr, nullptr,
                      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    const xmlNode* root = document ? xmlDocGetRootElement(document.get()) : nullptr;
    if (root == nullptr || !IsElement(root, kDavNamespace, "multistatus")) {
        throw Failure(kBadServerAnswer, "the server's answer is no WebDAV multistatus" + ParserComplaint());
    }
    std::vector<ListedMember> members;
    for (const xmlNode* response = root->children; response != nullptr; response = response->next) {
        const xmlNode* href =
            IsElement(response, kDavNamespace, "response") ? Child(response, kDavNamespace, "href") : nullptr;
        if (href != nullptr) {
            members.push_back(MemberOf(response, href));
        }
    }
    return members;
}

}  // namespace kalendro::dav
