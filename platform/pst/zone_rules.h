// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/store/store_date.h"

namespace kalendro::pst {

// A SYSTEMTIME as a zone rule holds a transition: with year 0, "the day-th dayOfWeek of month"
// (day 5 meaning the last); with a year, that fixed month and day.
struct TransitionDate {
    int year = 0;
    int month = 0;      // 0: the zone has no summer time
    int dayOfWeek = 0;  // 0 Sunday .. 6 Saturday
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// One rule of a zone, as Windows keeps it: UTC = local time + bias (+ standardBias or
// daylightBias), minutes. standardDate is when summer time ends, in summer wall time;
// daylightDate when it starts, in standard wall time.
struct ZoneRule {
    int fromYear = 0;  // the first year the rule applies to
    int bias = 0;
    int standardBias = 0;
    int daylightBias = 0;
    TransitionDate standardDate;
    TransitionDate daylightDate;
};

// A time zone from an appointment's properties. Conversions follow Windows: a wall time that
// occurs twice at the end of summer time is taken as summer time, one that the start of summer
// time skips is taken as summer time too.
class ZoneRules {
public:
    // PidLidTimeZoneStruct (PSETID_Appointment 0x8233). A damaged blob fails with kStoreOperationFailed.
    static ZoneRules FromTimeZoneStruct(std::string_view blob);
    // A TZDEFINITION stream (PidLidAppointmentTimeZoneDefinitionRecur 0x8260, StartDisplay 0x825E,
    // EndDisplay 0x825F). A damaged blob fails with kStoreOperationFailed.
    static ZoneRules FromDefinition(std::string_view blob);
    // Rules sorted by fromYear; at least one.
    explicit ZoneRules(std::vector<ZoneRule> rules);

    // Seconds since 1970 of a wall clock in this zone (StoreDate::SerialSeconds) to UTC seconds.
    std::int64_t WallToUtc(std::int64_t wallSeconds) const;
    std::int64_t UtcToWall(std::int64_t utcSeconds) const;
    StoreDate UtcToWallDate(std::int64_t utcSeconds) const {
        return StoreDate::FromSerialSeconds(UtcToWall(utcSeconds));
    }

    const std::vector<ZoneRule>& Rules() const { return rules_; }

private:
    const ZoneRule& RuleForYear(int year) const;

    std::vector<ZoneRule> rules_;
};

// This machine's zone (TZ honoured): UTC seconds to the local wall clock, and back (a wall time
// that does not exist or exists twice resolved as the C library's mktime resolves it).
StoreDate UtcToMachineLocal(std::int64_t utcSeconds);
std::int64_t MachineLocalToUtc(const StoreDate& local);

}  // namespace kalendro::pst
