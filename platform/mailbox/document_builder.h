// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/mailbox/json_node.h"

namespace kalendro::mailbox {

// Builds the document from the parser's events, as the library's own builder does, and hands
// every element of an "items" array to onItem the moment it is complete, which may replace it
// (with a placeholder) so that the document need not hold every item at once. (The library's
// callback parser would do the same, but it scans the whole array after each element.)
class DocumentBuilder : public nlohmann::json_sax<Json> {
public:
    DocumentBuilder(Json& root, std::function<void(Json&)> onItem) : root_(root), onItem_(std::move(onItem)) {}

    bool null() override { return Add(nullptr); }
    bool boolean(bool value) override { return Add(value); }
    bool number_integer(number_integer_t value) override { return Add(value); }
    bool number_unsigned(number_unsigned_t value) override { return Add(value); }
    bool number_float(number_float_t value, const string_t&) override { return Add(value); }
    bool string(string_t& value) override { return Add(std::move(value)); }
    bool binary(binary_t& value) override { return Add(Json::binary(std::move(value))); }
    bool key(string_t& name) override;
    bool start_object(std::size_t) override { return Open(Json::object(), false); }
    bool start_array(std::size_t) override;
    bool end_object() override;
    bool end_array() override;
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& error) override;

    // The parser's message for the first syntax error, without the library's prefix.
    const std::string& ErrorMessage() const { return errorMessage_; }

private:
    struct OpenContainer {
        Json* node;
        bool holdsItems;
    };

    Json* Place(Json value);
    bool Add(Json value);
    bool Open(Json container, bool holdsItems);

    Json& root_;
    std::function<void(Json&)> onItem_;
    std::vector<OpenContainer> open_;
    Json* slot_ = nullptr;
    bool keyIsItems_ = false;
    std::string errorMessage_;
};

}  // namespace kalendro::mailbox
