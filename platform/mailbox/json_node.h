// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace kalendro::mailbox {

// The mailbox reader is written once over a small view of a parsed JSON value and runs over two
// parsers: simdjson (SimdNode), which reads a large file many times faster, and nlohmann's
// (JsonNode), whose parse errors and type names the messages quote. A file is read with the
// first; only when that finds anything amiss is it read again with the second, which then
// reports the fault.

using Json = nlohmann::json;

// A value parsed by nlohmann's parser.
class JsonNode {
public:
    explicit JsonNode(const Json& value) : value_(&value) {}

    bool IsObject() const { return value_->is_object(); }
    bool IsArray() const { return value_->is_array(); }
    bool IsString() const { return value_->is_string(); }
    bool IsBoolean() const { return value_->is_boolean(); }
    bool IsInteger() const { return value_->is_number_integer(); }
    std::string_view Text() const { return value_->get_ref<const std::string&>(); }
    bool Flag() const { return value_->get<bool>(); }
    // Nothing when the whole number does not fit in 32 bits.
    std::optional<std::int32_t> Int32() const {
        constexpr std::int64_t lowest = std::numeric_limits<std::int32_t>::min();
        constexpr std::int64_t highest = std::numeric_limits<std::int32_t>::max();
        const bool fits = value_->is_number_unsigned()
                              ? value_->get<std::uint64_t>() <= static_cast<std::uint64_t>(highest)
                              : value_->get<std::int64_t>() >= lowest && value_->get<std::int64_t>() <= highest;
        return fits ? std::optional(value_->get<std::int32_t>()) : std::nullopt;
    }
    std::string TypeName() const { return value_->type_name(); }
    std::string Dump() const { return value_->dump(); }

    std::optional<JsonNode> Find(std::string_view key) const {
        if (!value_->is_object()) {
            return std::nullopt;
        }
        auto found = value_->find(key);
        return found == value_->end() ? std::nullopt : std::optional(JsonNode(*found));
    }
    std::size_t Size() const { return value_->size(); }
    template <typename Visit>
    void ForEachElement(Visit&& visit) const {
        std::size_t index = 0;
        for (const Json& element : *value_) {
            visit(index++, JsonNode(element));
        }
    }
    template <typename Visit>
    void ForEachMember(Visit&& visit) const {
        for (const auto& [key, value] : value_->items()) {
            visit(std::string_view(key), JsonNode(value));
        }
    }

    // An item the parser's builder has read already and left a placeholder for: a binary value,
    // which no JSON text can hold, whose subtype is the item's index among those read early.
    std::optional<std::size_t> EarlyItem() const {
        return value_->is_binary() ? std::optional<std::size_t>(value_->get_binary().subtype()) : std::nullopt;
    }

private:
    const Json* value_;
};

}  // namespace kalendro::mailbox
