// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace kalendro::pst {

// Ids of the tagged MAPI properties (MS-OXPROPS) read from folders, messages and the message store.
inline constexpr std::uint16_t kImportance = 0x0017;
inline constexpr std::uint16_t kMessageClass = 0x001A;
inline constexpr std::uint16_t kSubject = 0x0037;
inline constexpr std::uint16_t kRecordKey = 0x0FF9;
inline constexpr std::uint16_t kBody = 0x1000;
inline constexpr std::uint16_t kRtfCompressed = 0x1009;
inline constexpr std::uint16_t kHtml = 0x1013;
inline constexpr std::uint16_t kDisplayName = 0x3001;
inline constexpr std::uint16_t kCreationTime = 0x3007;
inline constexpr std::uint16_t kLastModificationTime = 0x3008;
inline constexpr std::uint16_t kWeddingAnniversary = 0x3A41;
inline constexpr std::uint16_t kBirthday = 0x3A42;
inline constexpr std::uint16_t kIpmSubtreeEntryId = 0x35E0;
inline constexpr std::uint16_t kContentCount = 0x3602;
inline constexpr std::uint16_t kContainerClass = 0x3613;
inline constexpr std::uint16_t kCalendarEntryId = 0x36D0;
inline constexpr std::uint16_t kContactsEntryId = 0x36D1;
inline constexpr std::uint16_t kInternetCodePage = 0x3FDE;
inline constexpr std::uint16_t kMessageCodePage = 0x3FFD;

}  // namespace kalendro::pst
