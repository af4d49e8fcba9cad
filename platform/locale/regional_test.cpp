// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/locale/regional.h"

#include <gtest/gtest.h>

#include <clocale>

#include "platform/locale/regional_patterns.h"

namespace kalendro {
namespace {

StoreDate At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    return {year, month, day, hour, minute, second};
}

RegionalSettings WithShortDateForm(std::string form) {
    RegionalSettings settings;
    settings.shortDateForm = std::move(form);
    return settings;
}

// Switches the process to a locale for one test and back afterwards.
class LocaleGuard {
public:
    explicit LocaleGuard(const char* name) : saved_(std::setlocale(LC_ALL, nullptr)) { std::setlocale(LC_ALL, name); }
    ~LocaleGuard() { std::setlocale(LC_ALL, saved_.c_str()); }

private:
    std::string saved_;
};

TEST(RegionalFromLocale, TheCLocaleGivesUsDatesAndTwentyFourHours) {
    const LocaleGuard guard("C");
    const RegionalSettings settings = RegionalSettings::FromLocale();
    EXPECT_EQ(settings.shortDateForm.Text(), "MM/dd/yy");
    EXPECT_EQ(settings.longTimeForm.Text(), "HH:mm:ss");
    EXPECT_EQ(settings.timeSeparator, ":");
    const std::array<std::string, 12> months = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    EXPECT_EQ(settings.monthAbbreviations, months);
    EXPECT_EQ(settings.amDesignator, "AM");
    EXPECT_EQ(settings.pmDesignator, "PM");
    EXPECT_EQ(settings.FormatGeneralDate(At(2002, 11, 5, 14)), "11/05/02 14:00:00");
}

TEST(RegionalFromLocale, LocaleFormatsBecomePatterns) {
    EXPECT_EQ(PatternFromLocaleFormat("%m/%d/%y"), "MM/dd/yy");
    EXPECT_EQ(PatternFromLocaleFormat("%e.%m.%Y"), "d.MM.yyyy");
    EXPECT_EQ(PatternFromLocaleFormat("%D"), "MM/dd/yy");
    EXPECT_EQ(PatternFromLocaleFormat("%F"), "yyyy-MM-dd");
    EXPECT_EQ(PatternFromLocaleFormat("%Y\xE5\xB9\xB4%m\xE6\x9C\x88%d\xE6\x97\xA5"),
              "yyyy\xE5\xB9\xB4MM\xE6\x9C\x88"
              "dd\xE6\x97\xA5");
    EXPECT_EQ(PatternFromLocaleFormat("%Od.%Om.%Ey"), "dd.MM.yy");
    EXPECT_EQ(PatternFromLocaleFormat("%d %b %Y"), "dd MMM yyyy");
    EXPECT_EQ(PatternFromLocaleFormat("%H:%M:%S"), "HH:mm:ss");
    EXPECT_EQ(PatternFromLocaleFormat("%r"), "hh:mm:ss tt");
    EXPECT_EQ(PatternFromLocaleFormat("%T"), "HH:mm:ss");
    EXPECT_EQ(PatternFromLocaleFormat("%R"), "HH:mm");
    EXPECT_EQ(PatternFromLocaleFormat("%I.%M %p"), "hh.mm tt");
    EXPECT_EQ(PatternFromLocaleFormat("%k h %M"), "H 'h' mm");
    EXPECT_EQ(PatternFromLocaleFormat("%H'%M 100%%"), "HH''mm 100%");
    EXPECT_EQ(PatternFromLocaleFormat("%a %d%"), "%a dd%");
}

TEST(RegionalFromLocale, TheTimeSeparatorFollowsTheHours) {
    EXPECT_EQ(TimeSeparatorOf("HH:mm:ss"), ":");
    EXPECT_EQ(TimeSeparatorOf("hh.mm.ss tt"), ".");
    EXPECT_EQ(TimeSeparatorOf("tt h'h'mm"), "h");
    EXPECT_EQ(TimeSeparatorOf("HH\xE6\x97\xB6mm"), "\xE6\x97\xB6");
    EXPECT_EQ(TimeSeparatorOf("HHmm"), ":");
    EXPECT_EQ(TimeSeparatorOf("mm:ss"), ":");
}

TEST(RegionalFormat, DayMonthYearFormsOfTheWorkedExamples) {
    const RegionalSettings settings = WithShortDateForm("d-M-yy");
    EXPECT_EQ(settings.FormatShortDate(At(2002, 11, 5)), "5-11-02");
    EXPECT_EQ(settings.FormatShortDateFullYear(At(2002, 11, 5)), "5-11-2002");
    EXPECT_EQ(settings.FormatGeneralDate(At(2002, 11, 5, 14)), "5-11-02 14:00:00");
    EXPECT_EQ(settings.FormatGeneralDate(At(2002, 11, 5)), "5-11-02");
    EXPECT_EQ(settings.FormatGeneralDate(At(2002, 11, 5, 0, 0, 1)), "5-11-02 00:00:01");
    EXPECT_EQ(settings.FormatShortDate(At(2009, 1, 30)), "30-1-09");

    const RegionalSettings padded = WithShortDateForm("dd-MM-yy");
    EXPECT_EQ(padded.FormatShortDateFullYear(At(2002, 11, 5)), "05-11-2002");
    EXPECT_EQ(padded.FormatShortDateFullYear(At(812, 3, 7)), "07-03-0812");
}

TEST(RegionalFormat, YearMonthNameAndQuotedLiterals) {
    EXPECT_EQ(WithShortDateForm("yyyy-MM-dd").FormatShortDate(At(2002, 3, 7)), "2002-03-07");
    EXPECT_EQ(WithShortDateForm("M/d/y").FormatShortDate(At(2005, 3, 7)), "3/7/5");
    EXPECT_EQ(WithShortDateForm("M/d/y").FormatShortDateFullYear(At(2005, 3, 7)), "3/7/2005");
    EXPECT_EQ(WithShortDateForm("d MMM yyyy").FormatShortDate(At(2002, 3, 7)), "7 Mar 2002");
    EXPECT_EQ(WithShortDateForm("dd 'de' MMM, ''yy").FormatShortDate(At(2002, 3, 7)), "07 de Mar, '02");
}

TEST(RegionalFormat, TwelveHourClockWithDesignators) {
    RegionalSettings settings;
    settings.longTimeForm = "hh:mm:ss tt";
    EXPECT_EQ(settings.FormatLongTime(At(2002, 1, 1, 0, 5)), "12:05:00 AM");
    EXPECT_EQ(settings.FormatLongTime(At(2002, 1, 1, 11, 59, 59)), "11:59:59 AM");
    EXPECT_EQ(settings.FormatLongTime(At(2002, 1, 1, 12)), "12:00:00 PM");
    EXPECT_EQ(settings.FormatLongTime(At(2002, 1, 1, 13, 7, 9)), "01:07:09 PM");
    settings.longTimeForm = "h.m.s t";
    settings.pmDesignator = "\xC3\xA9pm";
    EXPECT_EQ(settings.FormatLongTime(At(2002, 1, 1, 13, 7, 9)), "1.7.9 \xC3\xA9");
    settings.longTimeForm = "H:mm";
    EXPECT_EQ(settings.FormatLongTime(At(2002, 1, 1, 9, 30)), "9:30");
}

TEST(RegionalParse, ReadsBackWhatTheFormatsWrite) {
    for (const char* form : {"MM/dd/yy", "d-M-yy", "dd.MM.yyyy", "yyyy-MM-dd", "d MMM yyyy", "yyMMdd", "M/d/y"}) {
        const RegionalSettings settings = WithShortDateForm(form);
        for (StoreDate date = At(1930, 1, 1); date <= At(2029, 12, 31); date = date.AddDays(5)) {
            ASSERT_EQ(settings.ParseShortDate(settings.FormatShortDate(date)), date) << form << " " << date.ToText();
        }
        for (const StoreDate date : {At(1, 1, 1), At(1066, 10, 14), At(2100, 2, 28), At(9999, 12, 31)}) {
            EXPECT_EQ(settings.ParseShortDate(settings.FormatShortDateFullYear(date)), date) << form;
        }
    }
}

TEST(RegionalParse, TwoDigitYearsPivotAtThirty) {
    const RegionalSettings settings = WithShortDateForm("d-M-yy");
    EXPECT_EQ(settings.ParseShortDate("1-1-00"), At(2000, 1, 1));
    EXPECT_EQ(settings.ParseShortDate("1-1-29"), At(2029, 1, 1));
    EXPECT_EQ(settings.ParseShortDate("1-1-30"), At(1930, 1, 1));
    EXPECT_EQ(settings.ParseShortDate("1-1-99"), At(1999, 1, 1));
    EXPECT_EQ(settings.ParseShortDate("1-1-1929"), At(1929, 1, 1));
    EXPECT_EQ(settings.ParseShortDate("05-11-2002"), At(2002, 11, 5));
}

TEST(RegionalParse, TextThatDoesNotMatchTheFormIsNothing) {
    const RegionalSettings settings = WithShortDateForm("d-M-yy");
    for (const char* text : {"", "5-11", "5-11-02x", "5/11/02", "5-11-002", "5-11-2", "5-11-20023", "a-b-c", "31-2-02",
                             "0-1-02", "5-13-02", "123-1-02", " 5-11-02"}) {
        EXPECT_EQ(settings.ParseShortDate(text), std::nullopt) << text;
    }
    const RegionalSettings named = WithShortDateForm("d MMM yyyy");
    EXPECT_EQ(named.ParseShortDate("7 mar 2002"), At(2002, 3, 7));
    EXPECT_EQ(named.ParseShortDate("7 Mrz 2002"), std::nullopt);
    EXPECT_EQ(WithShortDateForm("HH:mm").ParseShortDate("10:30"), std::nullopt);
}

}  // namespace
}  // namespace kalendro
