// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/pst/property_bag.h"
#include "platform/pst/property_values.h"

namespace kalendro::pst {

// PSETID_Appointment LIDs (MS-OXOCAL) that both an item's members and its series read.
inline constexpr std::uint32_t kExceptionalBody = 0x8206;
inline constexpr std::uint32_t kLocationLid = 0x8208;
inline constexpr std::uint32_t kStartWhole = 0x820D;
inline constexpr std::uint32_t kEndWhole = 0x820E;
inline constexpr std::uint32_t kSubType = 0x8215;
inline constexpr std::uint32_t kRecurrenceBlob = 0x8216;
inline constexpr std::uint32_t kRecurring = 0x8223;
inline constexpr std::uint32_t kExceptionReplaceTime = 0x8228;
inline constexpr std::uint32_t kTimeZoneStruct = 0x8233;
inline constexpr std::uint32_t kZoneDefinitionStart = 0x825E;
inline constexpr std::uint32_t kZoneDefinitionEnd = 0x825F;
inline constexpr std::uint32_t kZoneDefinitionRecur = 0x8260;

// A property of a bag read as the member it gives: text, a UTC time or a flag, nothing when absent.
inline std::string TextOf(const PropertyValue* value, CodePageDecoder& decoder) {
    return value == nullptr ? std::string() : ReadText(*value, decoder).value_or(std::string());
}

template <typename Key>
std::string TextOf(const PropertyBag& bag, const Key& key, CodePageDecoder& decoder) {
    return TextOf(bag.Find(key), decoder);
}

template <typename Key>
std::optional<std::int64_t> TimeOf(const PropertyBag& bag, const Key& key) {
    const PropertyValue* value = bag.Find(key);
    return value == nullptr ? std::nullopt : ReadSystemTime(*value);
}

template <typename Key>
std::optional<bool> FlagOf(const PropertyBag& bag, const Key& key) {
    const PropertyValue* value = bag.Find(key);
    return value == nullptr ? std::nullopt : ReadBool(*value);
}

}  // namespace kalendro::pst
