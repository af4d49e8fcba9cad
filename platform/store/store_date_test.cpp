// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/store/store_date.h"

#include <gtest/gtest.h>

#include <vector>

namespace kalendro {
namespace {

TEST(StoreDateTest, ParsesBothFormsAndRejectsImpossibleDates) {
    EXPECT_EQ(StoreDate::Parse("2004-02-29T23:59:58"), (StoreDate{2004, 2, 29, 23, 59, 58}));
    EXPECT_EQ(StoreDate::Parse("2002-11-05"), (StoreDate{2002, 11, 5, 0, 0, 0}));
    EXPECT_FALSE(StoreDate::Parse("2003-02-29"));
    EXPECT_FALSE(StoreDate::Parse("2002-11-05T24:00:00"));
    EXPECT_FALSE(StoreDate::Parse("2002-11-05 10:00:00"));
    EXPECT_FALSE(StoreDate::Parse("2002-1-05"));
    EXPECT_EQ(StoreDate::Parse("4501-01-01T00:00:00"), StoreDate::NoDate());
}

TEST(StoreDateTest, SerialsRoundTripAcrossEpochAndLeapDays) {
    for (const StoreDate date : {StoreDate{1969, 12, 31, 23, 59, 59}, StoreDate{2000, 2, 29, 12, 0, 0},
                                 StoreDate{4501, 1, 1, 0, 0, 0}, StoreDate{1601, 1, 1, 0, 0, 1}}) {
        EXPECT_EQ(StoreDate::FromSerialSeconds(date.SerialSeconds()), date) << date.ToText();
    }
    EXPECT_EQ((StoreDate{2004, 2, 28, 7, 30, 0}).AddDays(1), (StoreDate{2004, 2, 29, 7, 30, 0}));
    EXPECT_EQ((StoreDate{2002, 11, 5}).DayOfWeek(), 2);   // a Tuesday
    EXPECT_EQ((StoreDate{1969, 12, 28}).DayOfWeek(), 0);  // a Sunday
}

TEST(StoreDateTest, PackedDatesComeBackAndKeepTheDatesOrder) {
    const std::vector<StoreDate> ascending = {StoreDate{1, 1, 1, 0, 0, 0},         StoreDate{2025, 12, 31, 23, 59, 59},
                                              StoreDate{2026, 1, 1, 0, 0, 0},      StoreDate{2026, 1, 1, 0, 0, 1},
                                              StoreDate{2026, 1, 1, 0, 1, 0},      StoreDate::NoDate(),
                                              StoreDate{9999, 12, 31, 23, 59, 59}, StoreDate{30828, 9, 14, 2, 48, 5}};
    for (std::size_t index = 0; index < ascending.size(); ++index) {
        EXPECT_EQ(StoreDate::Unpacked(ascending[index].Packed()), ascending[index]) << ascending[index].ToText();
        if (index > 0) {
            EXPECT_LT(ascending[index - 1].Packed(), ascending[index].Packed()) << ascending[index].ToText();
        }
    }
}

}  // namespace
}  // namespace kalendro
