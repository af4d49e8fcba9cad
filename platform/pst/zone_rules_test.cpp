// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pst/zone_rules.h"

#include <gtest/gtest.h>

#include "platform/pst/test_values.h"
#include "platform/store/failure.h"

namespace kalendro::pst {
namespace {

using testing::BlobWriter;

using testing::Definition;
using testing::kAusEastern;
using testing::kPacific;
using testing::kPacificBefore2007;
using testing::kTokyo;
using testing::kWestEurope;
using testing::RuleText;
using testing::TimeZoneStruct;
using testing::WriteSystemTime;

std::int64_t Seconds(const StoreDate& date) { return date.SerialSeconds(); }

TEST(ZoneRulesTest, NorthernZonesResolveSkippedAndRepeatedHoursAsSummerTime) {
    const ZoneRules pacific = ZoneRules::FromTimeZoneStruct(TimeZoneStruct(kPacific));
    EXPECT_EQ(pacific.WallToUtc(Seconds({2016, 8, 2, 8, 0, 0})), Seconds({2016, 8, 2, 15, 0, 0}));
    EXPECT_EQ(pacific.WallToUtc(Seconds({2016, 1, 15, 8, 0, 0})), Seconds({2016, 1, 15, 16, 0, 0}));
    // 13 March 2016: 02:00 standard becomes 03:00 summer time.
    EXPECT_EQ(pacific.WallToUtc(Seconds({2016, 3, 13, 1, 59, 0})), Seconds({2016, 3, 13, 9, 59, 0}));
    EXPECT_EQ(pacific.WallToUtc(Seconds({2016, 3, 13, 2, 30, 0})), Seconds({2016, 3, 13, 9, 30, 0}));
    EXPECT_EQ(pacific.WallToUtc(Seconds({2016, 3, 13, 3, 0, 0})), Seconds({2016, 3, 13, 10, 0, 0}));
    // 6 November 2016: 02:00 summer time becomes 01:00 standard.
    EXPECT_EQ(pacific.WallToUtc(Seconds({2016, 11, 6, 1, 30, 0})), Seconds({2016, 11, 6, 8, 30, 0}));
    EXPECT_EQ(pacific.WallToUtc(Seconds({2016, 11, 6, 2, 0, 0})), Seconds({2016, 11, 6, 10, 0, 0}));
    EXPECT_EQ(pacific.UtcToWallDate(Seconds({2016, 11, 6, 8, 30, 0})), StoreDate({2016, 11, 6, 1, 30, 0}));
    EXPECT_EQ(pacific.UtcToWallDate(Seconds({2016, 11, 6, 9, 30, 0})), StoreDate({2016, 11, 6, 1, 30, 0}));
    EXPECT_EQ(pacific.UtcToWallDate(Seconds({2016, 3, 13, 10, 0, 0})), StoreDate({2016, 3, 13, 3, 0, 0}));

    const ZoneRules europe = ZoneRules::FromTimeZoneStruct(TimeZoneStruct(kWestEurope));
    EXPECT_EQ(europe.WallToUtc(Seconds({2016, 3, 27, 2, 30, 0})), Seconds({2016, 3, 27, 0, 30, 0}));
    EXPECT_EQ(europe.WallToUtc(Seconds({2016, 10, 30, 2, 30, 0})), Seconds({2016, 10, 30, 0, 30, 0}));
    EXPECT_EQ(europe.WallToUtc(Seconds({2016, 10, 30, 3, 0, 0})), Seconds({2016, 10, 30, 2, 0, 0}));
    EXPECT_EQ(europe.UtcToWallDate(Seconds({2016, 12, 31, 23, 30, 0})), StoreDate({2017, 1, 1, 0, 30, 0}));
}

TEST(ZoneRulesTest, SouthernZoneHasSummerTimeAcrossTheNewYear) {
    const ZoneRules sydney = ZoneRules::FromTimeZoneStruct(TimeZoneStruct(kAusEastern));
    EXPECT_EQ(sydney.WallToUtc(Seconds({2016, 1, 15, 12, 0, 0})), Seconds({2016, 1, 15, 1, 0, 0}));
    EXPECT_EQ(sydney.WallToUtc(Seconds({2016, 7, 15, 12, 0, 0})), Seconds({2016, 7, 15, 2, 0, 0}));
    EXPECT_EQ(sydney.WallToUtc(Seconds({2016, 4, 3, 2, 30, 0})), Seconds({2016, 4, 2, 15, 30, 0}));
    EXPECT_EQ(sydney.WallToUtc(Seconds({2016, 4, 3, 3, 0, 0})), Seconds({2016, 4, 2, 17, 0, 0}));
    EXPECT_EQ(sydney.WallToUtc(Seconds({2016, 10, 2, 2, 30, 0})), Seconds({2016, 10, 1, 15, 30, 0}));
    EXPECT_EQ(sydney.UtcToWallDate(Seconds({2016, 12, 31, 13, 0, 0})), StoreDate({2017, 1, 1, 0, 0, 0}));

    const ZoneRules tokyo = ZoneRules::FromTimeZoneStruct(TimeZoneStruct(kTokyo));
    EXPECT_EQ(tokyo.WallToUtc(Seconds({2016, 7, 1, 9, 0, 0})), Seconds({2016, 7, 1, 0, 0, 0}));
    EXPECT_EQ(tokyo.UtcToWallDate(Seconds({2016, 1, 1, 0, 0, 0})), StoreDate({2016, 1, 1, 9, 0, 0}));
}

TEST(ZoneRulesTest, EveryHourOfAYearComesBackExceptTheRepeatedOne) {
    for (const RuleText& text : {kPacific, kWestEurope, kAusEastern}) {
        const ZoneRules zone = ZoneRules::FromTimeZoneStruct(TimeZoneStruct(text));
        int repeated = 0;
        for (std::int64_t utc = Seconds({2016, 1, 1}); utc < Seconds({2017, 1, 1}); utc += 1800) {
            const std::int64_t wall = zone.UtcToWall(utc);
            const std::int64_t back = zone.WallToUtc(wall);
            EXPECT_TRUE(back == utc || back == utc - 3600) << utc << " " << wall << " " << back;
            repeated += back != utc ? 1 : 0;
        }
        EXPECT_EQ(repeated, 2);  // the two half hours of the hour that occurs twice
    }
}

TEST(ZoneRulesTest, DefinitionPicksTheRuleOfTheYear) {
    const ZoneRules zone = ZoneRules::FromDefinition(Definition({{2007, kPacific}, {1990, kPacificBefore2007}}));
    ASSERT_EQ(zone.Rules().size(), 2u);
    EXPECT_EQ(zone.WallToUtc(Seconds({2006, 3, 20, 12, 0, 0})), Seconds({2006, 3, 20, 20, 0, 0}));
    EXPECT_EQ(zone.WallToUtc(Seconds({2007, 3, 20, 12, 0, 0})), Seconds({2007, 3, 20, 19, 0, 0}));
    EXPECT_EQ(zone.WallToUtc(Seconds({2006, 10, 29, 1, 30, 0})), Seconds({2006, 10, 29, 8, 30, 0}));
    // Before its first rule a zone keeps that rule.
    EXPECT_EQ(zone.WallToUtc(Seconds({1980, 1, 10, 0, 0, 0})), Seconds({1980, 1, 10, 8, 0, 0}));
}

TEST(ZoneRulesTest, DamagedBlobsAreFailures) {
    const std::string good = Definition({{2007, kPacific}});
    BlobWriter badMonth;
    badMonth.U32(0).U32(0).U32(0).U16(0);
    WriteSystemTime(badMonth, {13, 0, 1, 2});
    badMonth.U16(0);
    WriteSystemTime(badMonth, {3, 0, 2, 2});
    std::string manyRules = good;
    manyRules[4 + 48] = '\x50';  // the rule count, last field of the header
    std::string badVersion = good;
    badVersion[0] = 3;
    for (const std::string& blob : {TimeZoneStruct(kPacific).substr(0, 47), badMonth.Data()}) {
        EXPECT_THROW(ZoneRules::FromTimeZoneStruct(blob), Failure);
    }
    for (const std::string& blob : {good.substr(0, good.size() - 1), manyRules, badVersion, std::string()}) {
        EXPECT_THROW(ZoneRules::FromDefinition(blob), Failure);
    }
}

TEST(ZoneRulesTest, MachineZoneFollowsTz) {
    {
        testing::ScopedMachineZone zone(testing::kPacificPosix);
        EXPECT_EQ(UtcToMachineLocal(Seconds({2016, 8, 2, 15, 0, 0})), StoreDate({2016, 8, 2, 8, 0, 0}));
        EXPECT_EQ(UtcToMachineLocal(Seconds({2016, 12, 2, 15, 0, 0})), StoreDate({2016, 12, 2, 7, 0, 0}));
        EXPECT_EQ(MachineLocalToUtc({2016, 8, 2, 8, 0, 0}), Seconds({2016, 8, 2, 15, 0, 0}));
    }
    testing::ScopedMachineZone zone(testing::kAusEasternPosix);
    EXPECT_EQ(UtcToMachineLocal(Seconds({2016, 8, 2, 15, 0, 0})), StoreDate({2016, 8, 3, 1, 0, 0}));
    EXPECT_EQ(UtcToMachineLocal(Seconds({2016, 12, 2, 15, 0, 0})), StoreDate({2016, 12, 3, 2, 0, 0}));
    EXPECT_EQ(MachineLocalToUtc({2016, 12, 3, 2, 0, 0}), Seconds({2016, 12, 2, 15, 0, 0}));
}

}  // namespace
}  // namespace kalendro::pst
