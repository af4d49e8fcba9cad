// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "platform/pst/series_mapping.h"
#include "platform/store/failure.h"
#include "platform/pst/test_members.h"
#include "platform/pst/test_values.h"

namespace kalendro::pst {
namespace {

using memory_store::MemberId;
using memory_store::MemberValue;
namespace t = testing;
using t::IdsOf;
using t::ValueOf;

NamedProperty Appointment(std::uint32_t lid) { return Lid(kPsetidAppointment, lid); }

std::int64_t Seconds(const StoreDate& date) { return date.SerialSeconds(); }

std::optional<AppointmentRecurrence> Recurrence(const PropertyBag& appointment) {
    CodePageDecoder decoder = MessageDecoder(appointment);
    return ReadRecurrence(appointment, decoder);
}

TEST(SeriesMappingTest, RecurrenceIsReadWhenTheItemRecurs) {
    PropertyBag bag;
    EXPECT_EQ(Recurrence(bag), std::nullopt);
    bag.Set(Appointment(0x8216), t::Binary(t::FromHex(t::kMicrosoftRecurrenceExample)));
    const auto recurrence = Recurrence(bag);
    ASSERT_TRUE(recurrence);
    EXPECT_EQ(recurrence->pattern.occurrences, 12);
    bag.Set(Appointment(0x8223), t::Bool(false));
    EXPECT_EQ(Recurrence(bag), std::nullopt);
    bag.Set(Appointment(0x8223), t::Bool(true));
    bag.Set(Appointment(0x8216), t::Binary("\x04\x30"));
    EXPECT_THROW(Recurrence(bag), Failure);
}

TEST(SeriesMappingTest, SeriesZonePrefersADefinitionThatAgreesWithTheStructure) {
    PropertyBag bag;
    EXPECT_EQ(SeriesZone(bag), std::nullopt);
    bag.Set(Appointment(0x8233), t::Binary(t::TimeZoneStruct(t::kPacific)));
    // The 2006 rule of the definition tells which one was taken.
    const std::int64_t march2006 = Seconds({2006, 3, 20, 12, 0, 0});
    EXPECT_EQ(SeriesZone(bag)->WallToUtc(march2006), Seconds({2006, 3, 20, 19, 0, 0}));
    bag.Set(Appointment(0x8260), t::Binary(t::Definition({{1990, t::kPacificBefore2007}, {2007, t::kPacific}})));
    EXPECT_EQ(SeriesZone(bag)->WallToUtc(march2006), Seconds({2006, 3, 20, 20, 0, 0}));
    bag.Set(Appointment(0x8260), t::Binary(t::Definition({{1990, t::kPacificBefore2007}, {2007, t::kWestEurope}})));
    EXPECT_EQ(SeriesZone(bag)->WallToUtc(march2006), Seconds({2006, 3, 20, 19, 0, 0}));
    bag.Set(Appointment(0x8260), t::Binary("damaged"));
    EXPECT_EQ(SeriesZone(bag)->WallToUtc(march2006), Seconds({2006, 3, 20, 19, 0, 0}));
    bag.Set(Appointment(0x8233), t::Binary("damaged"));
    EXPECT_THROW(SeriesZone(bag), Failure);
}

TEST(SeriesMappingTest, SeriesTimesBecomeMachineLocal) {
    t::ScopedMachineZone zone(t::kAusEasternPosix);
    const std::optional<ZoneRules> pacific = ZoneRules::FromTimeZoneStruct(t::TimeZoneStruct(t::kPacific));
    EXPECT_EQ(SeriesWallToUtc(pacific, {2016, 8, 2, 8, 0, 0}), Seconds({2016, 8, 2, 15, 0, 0}));
    EXPECT_EQ(SeriesWallToMachineLocal(pacific, {2016, 8, 2, 8, 0, 0}), StoreDate({2016, 8, 3, 1, 0, 0}));
    EXPECT_EQ(SeriesWallToMachineLocal(std::nullopt, {2016, 8, 2, 8, 0, 0}), StoreDate({2016, 8, 2, 8, 0, 0}));
    EXPECT_EQ(SeriesWallToUtc(std::nullopt, {2016, 8, 3, 1, 0, 0}), Seconds({2016, 8, 2, 15, 0, 0}));
}

ModifiedInstance Instance(const StoreDate& original, const StoreDate& start, const StoreDate& end) {
    ModifiedInstance instance;
    instance.originalStart = original;
    instance.start = start;
    instance.end = end;
    return instance;
}

TEST(SeriesMappingTest, ModifiedOccurrencesTakeTheirExceptionMessages) {
    // A Pacific series read on a machine in Sydney.
    t::ScopedMachineZone zone(t::kAusEasternPosix);
    Message series;
    series.properties.Set(Appointment(0x8233), t::Binary(t::TimeZoneStruct(t::kPacific)));
    series.properties.Set(0x1000, t::Unicode(u"This is a complete test\r\n"));

    AppointmentRecurrence recurrence;
    ModifiedInstance moved = Instance({2016, 8, 23, 8, 0, 0}, {2016, 8, 23, 9, 0, 0}, {2016, 8, 23, 9, 30, 0});
    ModifiedInstance renamed = Instance({2016, 8, 30, 8, 0, 0}, {2016, 8, 30, 10, 0, 0}, {2016, 8, 30, 10, 30, 0});
    renamed.subject = "Renamed";
    renamed.location = "Hall";
    ModifiedInstance allDay = Instance({2016, 9, 6, 8, 0, 0}, {2016, 9, 6}, {2016, 9, 7});
    allDay.allDayEvent = true;
    recurrence.modified = {moved, renamed, allDay};

    // The first embedded message names the instance it replaces; the second is taken in order.
    Message byReplaceTime;
    byReplaceTime.properties.Set(Appointment(0x8228), t::SystemTime({2016, 8, 30, 15, 0, 0}));
    byReplaceTime.properties.Set(0x1000, t::Unicode(u"This is the one at 10\r\n"));
    Message byOrder;
    byOrder.properties.Set(Appointment(0x820D), t::SystemTime({2016, 8, 23, 16, 5, 0}));
    byOrder.properties.Set(Appointment(0x820E), t::SystemTime({2016, 8, 23, 16, 35, 0}));
    byOrder.properties.Set(0x1000, t::Unicode(u"This is a complete test\r\n"));
    series.embedded = {byReplaceTime, byOrder};

    CodePageDecoder decoder = MessageDecoder(series.properties);
    const std::vector<ModifiedOccurrence> occurrences = MapModifiedOccurrences(series, recurrence, decoder);
    ASSERT_EQ(occurrences.size(), 3u);
    const MemberValues& first = occurrences[0].members;
    EXPECT_EQ(occurrences[0].originalStart, StoreDate({2016, 8, 23, 8, 0, 0}));
    EXPECT_EQ(occurrences[0].originalStartLocal, StoreDate({2016, 8, 24, 1, 0, 0}));
    EXPECT_EQ(IdsOf(first), (std::vector<MemberId>{MemberId::kStart, MemberId::kEnd}));  // same body as the series
    EXPECT_EQ(ValueOf(first, MemberId::kStart), MemberValue(StoreDate{2016, 8, 24, 2, 5, 0}));
    EXPECT_EQ(ValueOf(first, MemberId::kEnd), MemberValue(StoreDate{2016, 8, 24, 2, 35, 0}));

    const MemberValues& second = occurrences[1].members;
    EXPECT_EQ(IdsOf(second), (std::vector<MemberId>{MemberId::kStart, MemberId::kEnd, MemberId::kSubject,
                                                    MemberId::kLocation, MemberId::kBody}));
    EXPECT_EQ(ValueOf(second, MemberId::kStart), MemberValue(StoreDate{2016, 8, 31, 3, 0, 0}));
    EXPECT_EQ(ValueOf(second, MemberId::kEnd), MemberValue(StoreDate{2016, 8, 31, 3, 30, 0}));
    EXPECT_EQ(ValueOf(second, MemberId::kSubject), MemberValue("Renamed"));
    EXPECT_EQ(ValueOf(second, MemberId::kLocation), MemberValue("Hall"));
    EXPECT_EQ(ValueOf(second, MemberId::kBody), MemberValue("This is the one at 10\r\n"));

    const MemberValues& third = occurrences[2].members;
    EXPECT_EQ(IdsOf(third), (std::vector<MemberId>{MemberId::kStart, MemberId::kEnd, MemberId::kAllDayEvent}));
    EXPECT_EQ(ValueOf(third, MemberId::kStart), MemberValue(StoreDate{2016, 9, 6}));
    EXPECT_EQ(ValueOf(third, MemberId::kEnd), MemberValue(StoreDate{2016, 9, 7}));
    EXPECT_EQ(ValueOf(third, MemberId::kAllDayEvent), MemberValue(true));
}

}  // namespace
}  // namespace kalendro::pst
