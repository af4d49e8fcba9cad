// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mailbox/document_builder.h"

#include <utility>

namespace kalendro::mailbox {

bool DocumentBuilder::key(string_t& name) {
    keyIsItems_ = name == "items";
    slot_ = &open_.back().node->get_ref<Json::object_t&>()[std::move(name)];
    return true;
}

bool DocumentBuilder::start_array(std::size_t) {
    const bool items = !open_.empty() && open_.back().node->is_object() && keyIsItems_;
    return Open(Json::array(), items);
}

bool DocumentBuilder::end_object() {
    Json* finished = open_.back().node;
    open_.pop_back();
    if (!open_.empty() && open_.back().holdsItems) {
        onItem_(*finished);
    }
    return true;
}

bool DocumentBuilder::end_array() {
    open_.pop_back();
    return true;
}

bool DocumentBuilder::parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& error) {
    errorMessage_ = error.what();
    const auto end = errorMessage_.find("] ");
    if (errorMessage_.starts_with("[json.exception") && end != std::string::npos) {
        errorMessage_.erase(0, end + 2);
    }
    return false;
}

Json* DocumentBuilder::Place(Json value) {
    if (open_.empty()) {
        root_ = std::move(value);
        return &root_;
    }
    if (open_.back().node->is_array()) {
        auto& elements = open_.back().node->get_ref<Json::array_t&>();
        elements.push_back(std::move(value));
        return &elements.back();
    }
    *slot_ = std::move(value);
    return slot_;
}

bool DocumentBuilder::Add(Json value) {
    Place(std::move(value));
    return true;
}

bool DocumentBuilder::Open(Json container, bool holdsItems) {
    open_.push_back({Place(std::move(container)), holdsItems});
    return true;
}

}  // namespace kalendro::mailbox
