// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/pst/item_mapping.h"
#include "platform/pst/property_bag.h"
#include "platform/pst/property_values.h"
#include "platform/pst/recurrence_blob.h"
#include "platform/pst/zone_rules.h"
#include "platform/store/store_date.h"

namespace kalendro::pst {

// The series' recurrence (PidLidAppointmentRecur) when the appointment recurs; a damaged or
// unsupported pattern fails with kStoreOperationFailed.
std::optional<AppointmentRecurrence> ReadRecurrence(const PropertyBag& appointment, CodePageDecoder& decoder);

// The zone a series' pattern times are in: the recurring time zone definition when it agrees with the
// time zone structure (as MS-OXOCAL asks), else the structure. Nothing when the item has neither: its
// pattern times are then this machine's local times. A damaged structure fails with kStoreOperationFailed.
std::optional<ZoneRules> SeriesZone(const PropertyBag& appointment);

// A moment the pattern gives on the series' wall clock, in UTC and in this machine's zone: series are
// expanded in their own zone, then each occurrence is shown in this one (an all-day series keeps its
// dates instead). Without a zone the wall clock is this machine's.
std::int64_t SeriesWallToUtc(const std::optional<ZoneRules>& zone, const StoreDate& wall);
StoreDate SeriesWallToMachineLocal(const std::optional<ZoneRules>& zone, const StoreDate& wall);

// One modified occurrence of a series: where the pattern puts it, and the members it overrides
// (Start and End always, machine-local; Subject, Location, Body and AllDayEvent when changed).
struct ModifiedOccurrence {
    StoreDate originalStart;       // wall clock of the series' own zone, as the pattern places it
    StoreDate originalStartLocal;  // the same moment in this machine's zone
    MemberValues members;
};
// The exception messages embedded in the series are matched to the modified instances by their
// PidLidExceptionReplaceTime, the rest in order.
std::vector<ModifiedOccurrence> MapModifiedOccurrences(const Message& series, const AppointmentRecurrence& recurrence,
                                                       CodePageDecoder& decoder);

// The zone of a PSETID_Appointment zone definition property, nothing when it is absent or damaged:
// the other zone properties then still describe the zone.
std::optional<ZoneRules> DefinitionIfReadable(const PropertyBag& bag, std::uint32_t lid);

}  // namespace kalendro::pst
