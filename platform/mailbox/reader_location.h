// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/store/failure.h"
#include "platform/text/quoted_input.h"

namespace kalendro::mailbox {

// Where the reader stands, kept as a chain of stack frames so that nothing is formatted unless a
// fault is found.
template <typename Node>
struct Location {
    const Location* parent = nullptr;
    std::string_view kind;   // "store", "folder", "item", "Recurrence", "exception"; empty for the top level
    std::size_t number = 0;  // position in its list, from 1
    const Node* node = nullptr;
};

inline std::string Quoted(std::string_view text) { return QuotedInput(text); }

template <typename Node>
std::optional<std::string_view> StringMember(const Node& node, std::string_view key) {
    const std::optional<Node> found = node.Find(key);
    return found && found->IsString() ? std::optional(found->Text()) : std::nullopt;
}

// What an item is called in messages: its Subject, else a contact's or list's name.
template <typename Node>
std::string ItemLabel(const Node& node) {
    for (const char* key : {"Subject", "DLName", "CompanyName"}) {
        if (const auto label = StringMember(node, key); label && !label->empty()) {
            return std::string(*label);
        }
    }
    std::string name;
    for (const char* key : {"FirstName", "LastName"}) {
        if (const auto part = StringMember(node, key); part && !part->empty()) {
            name += (name.empty() ? "" : " ") + std::string(*part);
        }
    }
    return name;
}

template <typename Node>
std::string DescribeStep(const Location<Node>& where) {
    std::string text(where.kind);
    if (where.kind == "item") {
        text += " " + std::to_string(where.number);
        const auto type = StringMember(*where.node, "type");
        const std::string label = ItemLabel(*where.node);
        if (type || !label.empty()) {
            text += " (" + (type ? std::string(*type) : std::string("item")) +
                    (label.empty() ? "" : " " + Quoted(label)) + ")";
        }
    } else if (const auto name = StringMember(*where.node, "name")) {
        text += " " + Quoted(*name);
    } else if (where.number > 0) {
        text += " " + std::to_string(where.number);
    }
    return text;
}

template <typename Node>
std::string Describe(const Location<Node>& where) {
    if (where.parent == nullptr) {
        return "the top level";
    }
    std::string text = where.parent->parent == nullptr ? "" : Describe(*where.parent) + " > ";
    return text + DescribeStep(where);
}

inline std::string InvalidPrefix(const std::string& sourceName) {
    return "The mailbox file " + Quoted(sourceName) + " is not valid: ";
}

template <typename Node>
[[noreturn]] void Fail(const std::string& sourceName, const Location<Node>& where, std::string_view member,
                       const std::string& reason) {
    std::string message = InvalidPrefix(sourceName) + Describe(where);
    message += member.empty() ? ": " : ", member " + Quoted(member) + ": ";
    throw Failure(kStoreCannotOpen, message + reason + ".");
}

}  // namespace kalendro::mailbox
