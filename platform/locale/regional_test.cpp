// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/locale/regional.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <clocale>
#include <fstream>

#include "platform/locale/regional_patterns.h"
#include "testing/source_path.h"

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

// The tables of forms and texts, in regional_vectors.json beside this test.
const nlohmann::json& Vectors(const char* table) {
    static const nlohmann::json vectors =
        nlohmann::json::parse(std::ifstream(testing::SourcePath("platform/locale/regional_vectors.json")));
    return vectors.at(table);
}

StoreDate DateOf(const nlohmann::json& parts) {
    std::array<int, 6> at{};
    std::copy(parts.begin(), parts.end(), at.begin());
    return At(at[0], at[1], at[2], at[3], at[4], at[5]);
}

TEST(RegionalFromLocale, LocaleFormatsBecomePatternsAndTheTimeSeparatorFollowsTheHours) {
    for (const auto& vector : Vectors("patterns")) {
        EXPECT_EQ(PatternFromLocaleFormat(vector[0].get<std::string>()), vector[1].get<std::string>()) << vector;
    }
    for (const auto& vector : Vectors("timeSeparators")) {
        EXPECT_EQ(TimeSeparatorOf(vector[0].get<std::string>()), vector[1].get<std::string>()) << vector;
    }
}

// Short dates with two- and four-digit years, general dates with and without a time, month names,
// quoted literals, and long times on a twelve-hour clock with its designators.
TEST(RegionalFormat, EveryFormWritesItsText) {
    for (const auto& vector : Vectors("formats")) {
        const std::string kind = vector["kind"];
        RegionalSettings settings = WithShortDateForm(kind == "longTime" ? "MM/dd/yy" : vector["form"]);
        if (kind == "longTime") {
            settings.longTimeForm = vector["form"].get<std::string>();
        }
        settings.pmDesignator = vector.value("pm", settings.pmDesignator);
        const StoreDate at = DateOf(vector["at"]);
        const std::string text = kind == "short"           ? settings.FormatShortDate(at)
                                 : kind == "shortFullYear" ? settings.FormatShortDateFullYear(at)
                                 : kind == "general"       ? settings.FormatGeneralDate(at)
                                                           : settings.FormatLongTime(at);
        EXPECT_EQ(text, vector["text"].get<std::string>()) << vector;
    }
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

// Two-digit years pivot at thirty; a text that does not fit the form, or names no day, is nothing.
TEST(RegionalParse, TextsGiveTheirDayOrNothing) {
    for (const auto& vector : Vectors("parses")) {
        const std::optional<StoreDate> day = WithShortDateForm(vector[0]).ParseShortDate(vector[1].get<std::string>());
        EXPECT_EQ(day, vector[2].is_null() ? std::nullopt : std::optional(DateOf(vector[2]))) << vector;
    }
}

}  // namespace
}  // namespace kalendro
