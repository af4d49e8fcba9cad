// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/pst/property_bag.h"

namespace kalendro::pst {

// Outlook's item type name for a message class ("IPM.Appointment.X" -> "AppointmentItem"), compared
// without case and by whole dot-separated parts; a class Outlook does not know is a MailItem.
std::string ItemTypeNameOfClass(std::string_view messageClass);
// The same from a message's PR_MESSAGE_CLASS (0x001A).
std::string ItemTypeName(const PropertyBag& message);

// A folder's default item type (Outlook's OlItemType) from its container class: IPF.Appointment 1,
// IPF.Contact 2, IPF.Task 3, IPF.Journal 4, IPF.StickyNote 5, anything else 0.
std::int32_t DefaultItemTypeOfContainerClass(std::string_view containerClass);
// The same from a folder's PR_CONTAINER_CLASS (0x3613).
std::int32_t DefaultItemType(const PropertyBag& folder);

// ASCII letters compared without case, as MAPI compares class names and address types.
bool EqualIgnoringCase(std::string_view left, std::string_view right);

}  // namespace kalendro::pst
