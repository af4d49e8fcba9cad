// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "platform/mailbox/generated_id.h"
#include "platform/mailbox/reader_location.h"
#include "platform/store/store_date.h"

namespace kalendro::mailbox {

// The checks of single JSON values of a mailbox file, each failing (kStoreCannotOpen) with the place of the value.
template <typename Node>
class ValueReader {
public:
    using Where = Location<Node>;

    explicit ValueReader(const std::string& sourceName) : sourceName_(sourceName) {}

    enum class Required { kNo, kYes };

    [[noreturn]] void Fail(const Where& where, std::string_view member, const std::string& reason) const {
        mailbox::Fail(sourceName_, where, member, reason);
    }

    void RequireObject(const Node& node, const Where& where) const {
        if (!node.IsObject()) {
            Fail(where, "", "must be a JSON object, not " + node.TypeName());
        }
    }

    void CheckKeys(const Node& node, const Where& where, std::initializer_list<std::string_view> known) const {
        node.ForEachMember([&](std::string_view key, const Node&) {
            if (std::find(known.begin(), known.end(), key) == known.end()) {
                std::string list;
                for (std::string_view name : known) {
                    list += (list.empty() ? "" : ", ") + std::string(name);
                }
                Fail(where, key, "is not a key of a " + std::string(where.kind) + " (" + list + ")");
            }
        });
    }

    Node RequiredKey(const Node& node, const Where& where, std::string_view key) const {
        std::optional<Node> found = node.Find(key);
        if (!found) {
            Fail(where, key, "is missing");
        }
        return *found;
    }

    [[noreturn]] void FailType(const Where& where, std::string_view member, std::string_view wanted,
                               const Node& value) const {
        Fail(where, member, "must be " + std::string(wanted) + ", not " + value.TypeName());
    }

    std::string_view TextValue(const Node& value, const Where& where, std::string_view member) const {
        if (!value.IsString()) {
            FailType(where, member, "a text (a JSON string)", value);
        }
        return value.Text();
    }

    // A date and time "YYYY-MM-DDTHH:MM:SS", or a date "YYYY-MM-DD" at midnight.
    StoreDate DateValue(const Node& value, const Where& where, std::string_view member) const {
        const std::string_view text = TextValue(value, where, member);
        const std::optional<StoreDate> date = StoreDate::Parse(text);
        if (!date) {
            Fail(where, member, Quoted(text) + " is not a date of the form YYYY-MM-DDTHH:MM:SS");
        }
        return *date;
    }

    // A date alone, "YYYY-MM-DD".
    StoreDate DayValue(const Node& value, const Where& where, std::string_view member) const {
        const std::string_view text = TextValue(value, where, member);
        const std::optional<StoreDate> date = StoreDate::Parse(text);
        if (!date || text.size() != 10) {
            Fail(where, member, Quoted(text) + " is not a date of the form YYYY-MM-DD");
        }
        return *date;
    }

    std::int32_t NumberValue(const Node& value, const Where& where, std::string_view member) const {
        if (!value.IsInteger()) {
            FailType(where, member, "a whole number", value);
        }
        const std::optional<std::int32_t> number = value.Int32();
        if (!number) {
            Fail(where, member, value.Dump() + " does not fit in 32 bits");
        }
        return *number;
    }

    std::int32_t NumberInRange(const Node& value, const Where& where, std::string_view member, int lowest,
                               int highest) const {
        const std::int32_t number = NumberValue(value, where, member);
        if (number < lowest || number > highest) {
            Fail(where, member,
                 std::to_string(number) + " is outside " + std::to_string(lowest) + " to " + std::to_string(highest));
        }
        return number;
    }

    bool FlagValue(const Node& value, const Where& where, std::string_view member) const {
        if (!value.IsBoolean()) {
            FailType(where, member, "true or false", value);
        }
        return value.Flag();
    }

    // Nothing when an array that is not required is absent.
    std::optional<Node> ArrayMember(const Node& node, const Where& where, std::string_view key,
                                    Required required) const {
        std::optional<Node> found = node.Find(key);
        if (!found) {
            if (required == Required::kYes) {
                Fail(where, key, "is missing");
            }
            return std::nullopt;
        }
        if (!found->IsArray()) {
            FailType(where, key, "a JSON array", *found);
        }
        return found;
    }

    // An identifier the file gives, or the generated one when it gives none.
    std::string IdValue(const Node& node, const Where& where, std::string_view key, std::string_view place) const {
        const std::optional<Node> found = node.Find(key);
        if (!found) {
            return GeneratedId(place);
        }
        const std::string_view id = TextValue(*found, where, key);
        CheckEntryId(id, where, key);
        return std::string(id);
    }

    void CheckEntryId(std::string_view id, const Where& where, std::string_view key) const {
        if (id.empty()) {
            Fail(where, key, "must not be empty");
        }
        if (key != "storeId" && id.find('@') != std::string_view::npos) {
            Fail(where, key, Quoted(id) + " holds \"@\", which an entry ID never holds");
        }
    }

private:
    const std::string& sourceName_;
};

}  // namespace kalendro::mailbox
