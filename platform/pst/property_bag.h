// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace kalendro::pst {

// The properties of one PST/OST object (message store, folder, message, attachment) as the file
// holds them, with no knowledge of libpff: what the file adapter hands to the mapping functions.

// A property set GUID in its 16 stored bytes (Data1..Data3 little-endian, as on disk).
using Guid = std::array<std::uint8_t, 16>;

// Property sets the program reads, in their stored byte order.
inline constexpr Guid kPsetidAppointment = {0x02, 0x20, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00,
                                            0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
inline constexpr Guid kPsetidAddress = {0x04, 0x20, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00,
                                        0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
inline constexpr Guid kPsPublicStrings = {0x29, 0x03, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                          0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

inline constexpr Guid kPsMapi = {0x28, 0x03, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

// A named property: its property set and either its numeric id (LID) or its string name.
struct NamedProperty {
    Guid propertySet{};
    std::uint32_t lid = 0;  // used when name is empty
    std::string name;       // UTF-8; empty for a numeric named property

    friend bool operator<(const NamedProperty& left, const NamedProperty& right) {
        return std::tie(left.propertySet, left.lid, left.name) < std::tie(right.propertySet, right.lid, right.name);
    }
    friend bool operator==(const NamedProperty&, const NamedProperty&) = default;
};

// A numeric named property of a property set.
inline NamedProperty Lid(const Guid& propertySet, std::uint32_t lid) { return {propertySet, lid, {}}; }

// A value as stored: its MAPI property type (0x0003 PT_LONG, 0x000B PT_BOOLEAN, 0x0040 PT_SYSTIME,
// 0x001F PT_UNICODE, 0x001E PT_STRING8, 0x0102 PT_BINARY, 0x101F PT_MV_UNICODE, ...) and its bytes,
// little-endian as in the file. An empty string property has empty data.
struct PropertyValue {
    std::uint16_t type = 0;
    std::string data;

    friend bool operator==(const PropertyValue&, const PropertyValue&) = default;
};

// Properties by tag id (below 0x8000) and named properties by name. The 0x8000+ tag numbers of a
// file never appear here: the adapter resolves them through the file's name-to-id map.
class PropertyBag {
public:
    void Set(std::uint16_t tagId, PropertyValue value) { tagged_[tagId] = std::move(value); }
    void Set(const NamedProperty& name, PropertyValue value) { named_[name] = std::move(value); }

    const PropertyValue* Find(std::uint16_t tagId) const {
        const auto found = tagged_.find(tagId);
        return found == tagged_.end() ? nullptr : &found->second;
    }
    const PropertyValue* Find(const NamedProperty& name) const {
        const auto found = named_.find(name);
        return found == named_.end() ? nullptr : &found->second;
    }

    const std::map<std::uint16_t, PropertyValue>& Tagged() const { return tagged_; }
    const std::map<NamedProperty, PropertyValue>& Named() const { return named_; }
    friend bool operator==(const PropertyBag&, const PropertyBag&) = default;

private:
    std::map<std::uint16_t, PropertyValue> tagged_;
    std::map<NamedProperty, PropertyValue> named_;
};

// A message with the messages embedded in its attachments (attachment type 'i'), in attachment
// order: the exceptions of a recurring series are such embedded messages.
struct Message {
    std::uint32_t nodeId = 0;  // the message's node id in the file
    PropertyBag properties;
    std::vector<Message> embedded;
};

}  // namespace kalendro::pst
