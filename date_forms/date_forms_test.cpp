// SPDX-License-Identifier: GPL-3.0-or-later
#include "date_forms/date_forms.h"

#include <gtest/gtest.h>

namespace kalendro {
namespace {

struct FormsCase {
    StoreDate date;
    const char* ical;
    const char* isoDate;
    const char* isoDateTime;
};

class DateFormsTest : public ::testing::TestWithParam<FormsCase> {};

TEST_P(DateFormsTest, GivesTheThreeFixedForms) {
    const FormsCase& c = GetParam();
    EXPECT_EQ(FormatICalDateTime(c.date), c.ical);
    EXPECT_EQ(FormatIsoDate(c.date), c.isoDate);
    EXPECT_EQ(FormatIsoDateTime(c.date), c.isoDateTime);
}

INSTANTIATE_TEST_SUITE_P(Boundaries, DateFormsTest,
                         ::testing::Values(
                             // A morning time with every field below ten: padding everywhere.
                             FormsCase{{2002, 9, 15, 8, 5, 9}, "20020915T080509", "2002-09-15", "2002-09-15T08:05:09"},
                             // The first second of a day: midnight is 00, not 12 or 24.
                             FormsCase{{2004, 3, 1, 0, 0, 0}, "20040301T000000", "2004-03-01", "2004-03-01T00:00:00"},
                             // The last second of a year.
                             FormsCase{
                                 {2002, 12, 31, 23, 59, 59}, "20021231T235959", "2002-12-31", "2002-12-31T23:59:59"},
                             // The afternoon stays on the 24-hour clock.
                             FormsCase{{2002, 7, 5, 13, 7, 0}, "20020705T130700", "2002-07-05", "2002-07-05T13:07:00"},
                             // A leap day.
                             FormsCase{{2004, 2, 29, 12, 0, 0}, "20040229T120000", "2004-02-29", "2004-02-29T12:00:00"},
                             // The store's no-date value is formatted like any other date.
                             FormsCase{StoreDate::NoDate(), "45010101T000000", "4501-01-01", "4501-01-01T00:00:00"},
                             // A year before 1000 keeps four digits.
                             FormsCase{{987, 1, 2, 3, 4, 5}, "09870102T030405", "0987-01-02", "0987-01-02T03:04:05"}));

}  // namespace
}  // namespace kalendro
