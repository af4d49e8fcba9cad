// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include <simdjson.h>

namespace kalendro::mailbox {

// simdjson keeps every key of an object, where nlohmann's parser keeps the last of repeated keys;
// a file that repeats a key is left to the latter.
struct RepeatedKey {};

// A value parsed by simdjson. In the skeleton of a split mailbox (SplitItems) the items stand as
// numbers, their indexes among the items read early; such a node and those below it say so.
class SimdNode {
public:
    enum class Items { kInPlace, kNumbered };

    explicit SimdNode(simdjson::dom::element value, Items items = Items::kInPlace) : value_(value), items_(items) {}

    bool IsObject() const { return value_.is_object(); }
    bool IsArray() const { return value_.is_array(); }
    bool IsString() const { return value_.is_string(); }
    bool IsBoolean() const { return value_.is_bool(); }
    bool IsInteger() const { return value_.is_int64() || value_.is_uint64(); }
    std::string_view Text() const { return Get<std::string_view>(); }
    bool Flag() const { return Get<bool>(); }
    std::optional<std::int32_t> Int32() const {
        std::int64_t number = 0;
        const bool fits = value_.get_int64().get(number) == simdjson::SUCCESS &&
                          number >= std::numeric_limits<std::int32_t>::min() &&
                          number <= std::numeric_limits<std::int32_t>::max();
        return fits ? std::optional(static_cast<std::int32_t>(number)) : std::nullopt;
    }
    // The names nlohmann's parser gives.
    std::string TypeName() const {
        switch (value_.type()) {
            case simdjson::dom::element_type::ARRAY:
                return "array";
            case simdjson::dom::element_type::OBJECT:
                return "object";
            case simdjson::dom::element_type::STRING:
                return "string";
            case simdjson::dom::element_type::BOOL:
                return "boolean";
            case simdjson::dom::element_type::NULL_VALUE:
                return "null";
            default:
                return "number";
        }
    }
    std::string Dump() const { return simdjson::minify(value_); }

    std::optional<SimdNode> Find(std::string_view key) const {
        if (!value_.is_object()) {
            return std::nullopt;
        }
        std::optional<SimdNode> found;
        for (const simdjson::dom::key_value_pair field : Get<simdjson::dom::object>()) {
            if (field.key == key) {
                if (found) {
                    throw RepeatedKey{};
                }
                found.emplace(field.value, items_);
            }
        }
        return found;
    }
    // The number of elements of an array or members of an object.
    std::size_t Size() const {
        return IsObject() ? Get<simdjson::dom::object>().size() : Get<simdjson::dom::array>().size();
    }
    template <typename Visit>
    void ForEachElement(Visit&& visit) const {
        std::size_t index = 0;
        for (const simdjson::dom::element element : Get<simdjson::dom::array>()) {
            visit(index++, SimdNode(element, items_));
        }
    }
    template <typename Visit>
    void ForEachMember(Visit&& visit) const {
        for (const simdjson::dom::key_value_pair field : Get<simdjson::dom::object>()) {
            visit(field.key, SimdNode(field.value, items_));
        }
    }

    std::optional<std::size_t> EarlyItem() const {
        std::uint64_t index = 0;
        if (items_ == Items::kInPlace || value_.get_uint64().get(index) != simdjson::SUCCESS) {
            return std::nullopt;
        }
        return static_cast<std::size_t>(index);
    }

private:
    // The value as a T; the reader asks only after checking the type.
    template <typename T>
    T Get() const {
        T result{};
        [[maybe_unused]] const simdjson::error_code error = value_.get<T>().get(result);
        return result;
    }

    simdjson::dom::element value_;
    Items items_;
};

}  // namespace kalendro::mailbox
