// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/memory_store/filter.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/store/failure.h"

namespace kalendro::memory_store {
namespace {

StoreDate At(const char* text) { return *StoreDate::Parse(text); }

RegionalSettings DayMonthYear(const char* shortDateForm) {
    RegionalSettings regional;
    regional.shortDateForm = shortDateForm;
    return regional;
}

CollectionEntry Appointment(const char* start, const char* end, Members more = {}) {
    auto item = std::make_shared<MemoryItem>("AppointmentItem");
    item->members = std::move(more);
    item->members.Set(MemberId::kStart, At(start));
    item->members.Set(MemberId::kEnd, At(end));
    return {item, nullptr};
}

// The filter the calendar run builds for the days 5 to 7 November 2002.
constexpr const char* kRunFilter = "[Start] >= '05-11-2002 00:00' And [End] <= '08-11-2002 00:00'";

class FilterTest : public ::testing::Test {
protected:
    bool Matches(const char* filter, const CollectionEntry& entry) const {
        return Filter::Parse(filter, regional_).Matches(entry);
    }

    // The description of the failure the filter gives, or "read" when it parses.
    std::string ParseFailure(const char* filter) const {
        try {
            Filter::Parse(filter, regional_);
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.Number(), kStoreOperationFailed);
            return failure.Description();
        }
        return "read";
    }

    RegionalSettings regional_ = DayMonthYear("dd-MM-yyyy");
};

TEST_F(FilterTest, TheRunsRangeTakesInWhatLiesInsideTheDays) {
    EXPECT_TRUE(Matches(kRunFilter, Appointment("2002-11-05T00:00:00", "2002-11-05T01:00:00")));
    EXPECT_TRUE(Matches(kRunFilter, Appointment("2002-11-07T14:00:00", "2002-11-07T15:00:00")));
    // All day on the last day: it ends at the following midnight.
    EXPECT_TRUE(Matches(kRunFilter, Appointment("2002-11-07T00:00:00", "2002-11-08T00:00:00")));
}

TEST_F(FilterTest, TheRunsRangeLeavesOutWhatCrossesEitherBoundary) {
    EXPECT_FALSE(Matches(kRunFilter, Appointment("2002-11-07T23:00:00", "2002-11-08T01:00:00")));
    EXPECT_FALSE(Matches(kRunFilter, Appointment("2002-11-04T23:00:00", "2002-11-05T01:00:00")));
    EXPECT_FALSE(Matches(kRunFilter, Appointment("2002-11-08T00:00:00", "2002-11-08T00:30:00")));
}

TEST_F(FilterTest, TwoDigitYearsAreReadAsTheRegionalFormReadsThem) {
    regional_ = DayMonthYear("d-M-yy");
    const CollectionEntry in2002 = Appointment("2002-11-05T10:00:00", "2002-11-05T11:00:00");
    EXPECT_TRUE(Matches("[Start] >= '5-11-02 00:00' And [End] <= '6-11-02 00:00'", in2002));
    EXPECT_TRUE(Matches("[Start] >= '5-11-2002 00:00' And [End] <= '6-11-2002 00:00'", in2002));
    // Written with four digits, a year after 2029 keeps its century.
    const CollectionEntry in2031 = Appointment("2031-03-05T10:00:00", "2031-03-05T11:00:00");
    EXPECT_TRUE(Matches("[Start] >= '5-3-2031 00:00' And [End] <= '6-3-2031 00:00'", in2031));
    EXPECT_FALSE(Matches("[Start] >= '5-3-31 00:00' And [End] <= '6-3-31 00:00'", in2031));
}

TEST_F(FilterTest, DatesTakeTheRegionalTimeSeparatorAndMayStandAlone) {
    regional_.timeSeparator = ".";
    const CollectionEntry entry = Appointment("2002-11-05T09:30:00", "2002-11-05T10:00:00");
    EXPECT_TRUE(Matches("[Start] = '05-11-2002 09.30'", entry));
    EXPECT_TRUE(Matches("[Start] >= '05-11-2002'", entry));
    EXPECT_EQ(ParseFailure("[Start] = '05-11-2002 09:30'"), "Cannot parse condition. Error at \"'05-11-2002 09:30'\".");
}

TEST_F(FilterTest, AndBindsTighterThanOr) {
    const CollectionEntry entry =
        Appointment("2002-11-05T09:00:00", "2002-11-05T10:00:00", {{MemberId::kSubject, std::string("A")}});
    EXPECT_TRUE(Matches("[Subject] = 'A' Or [Subject] = 'B' And [Subject] = 'C'", entry));
    EXPECT_FALSE(Matches("([Subject] = 'A' Or [Subject] = 'B') And [Subject] = 'C'", entry));
    EXPECT_TRUE(Matches("[Subject] = 'B' And [Subject] = 'C' Or [Subject] = 'A'", entry));
}

TEST_F(FilterTest, KeywordsInAnyCaseAndBlanksAnywhere) {
    const CollectionEntry entry = Appointment("2002-11-05T09:00:00", "2002-11-05T10:00:00");
    EXPECT_TRUE(Matches("  [Start]>='05-11-2002 00:00'aNd[End]<='06-11-2002 00:00'  ", entry));
    EXPECT_TRUE(Matches("[Start] < '01-01-2000 00:00' OR\t[End] <> '01-01-2000 00:00'", entry));
}

TEST_F(FilterTest, ValuesCompareByTheMembersKind) {
    const CollectionEntry entry = Appointment("2002-11-05T09:00:00", "2002-11-05T10:00:00",
                                              {{MemberId::kSubject, std::string("Tom's Party")},
                                               {MemberId::kImportance, std::int32_t{2}},
                                               {MemberId::kAllDayEvent, true}});
    EXPECT_TRUE(Matches("[Subject] = 'tom''s party'", entry));
    EXPECT_TRUE(Matches("[Subject] > 'TOM'", entry));
    EXPECT_TRUE(Matches("[Importance] >= '2' And [Importance] < '10'", entry));
    EXPECT_TRUE(Matches("[AllDayEvent] = 'True'", entry));
    EXPECT_FALSE(Matches("[AllDayEvent] = 'false'", entry));
    // Unset members compare as their unset values.
    EXPECT_TRUE(Matches("[Location] = ''", entry));
    EXPECT_TRUE(Matches("[CreationTime] = '01-01-4501 00:00'", entry));
}

TEST_F(FilterTest, AnItemWithoutTheMemberDoesNotMeetTheCondition) {
    auto contact = std::make_shared<MemoryItem>("ContactItem");
    EXPECT_FALSE(Matches("[Start] >= '01-01-2000 00:00'", {contact, nullptr}));
    EXPECT_FALSE(Matches("[Start] <> '01-01-2000 00:00'", {contact, nullptr}));
}

TEST_F(FilterTest, OverridesOfAnOccurrenceAreWhatIsCompared) {
    CollectionEntry occurrence = Appointment("2002-11-01T09:00:00", "2002-11-01T10:00:00");
    occurrence.overrides = std::make_shared<Members>(Members{{MemberId::kStart, At("2002-11-06T09:00:00")}});
    EXPECT_TRUE(Matches("[Start] >= '05-11-2002 00:00'", occurrence));
}

TEST_F(FilterTest, AFilterThatCannotBeReadQuotesTheBadPart) {
    const auto errorAt = [](const char* part) {
        return "Cannot parse condition. Error at \"" + std::string(part) + "\".";
    };
    EXPECT_EQ(ParseFailure("[Start] >= '32-11-2002 00:00'"), errorAt("'32-11-2002 00:00'"));
    EXPECT_EQ(ParseFailure("[Start] >= '05-11-2002 25:00'"), errorAt("'05-11-2002 25:00'"));
    EXPECT_EQ(ParseFailure("[Colour] = 'red'"), errorAt("[Colour]"));
    EXPECT_EQ(ParseFailure("[Start] => '05-11-2002 00:00'"), errorAt("> '05-11-2002 00:00'"));
    EXPECT_EQ(ParseFailure("[Subject] = 'x' Xor [Subject] = 'y'"), errorAt("Xor [Subject] = 'y'"));
    EXPECT_EQ(ParseFailure("[Subject] = 'open"), errorAt("'open"));
    EXPECT_EQ(ParseFailure("[Subject] = 'x' And"), errorAt("And"));
    EXPECT_EQ(ParseFailure("[Subject] = 'x' And [Subject] ="), errorAt("[Subject] ="));
    EXPECT_EQ(ParseFailure("[Subject = 'x'"), errorAt("[Subject = 'x'"));
    EXPECT_EQ(ParseFailure("([Subject] = 'x'"), errorAt("([Subject] = 'x'"));
    EXPECT_EQ(ParseFailure("[Importance] = 'high'"), errorAt("'high'"));
    EXPECT_EQ(ParseFailure("[AllDayEvent] = 'yes'"), errorAt("'yes'"));
    EXPECT_EQ(ParseFailure("[Subject] = x"), errorAt("x"));
    EXPECT_EQ(ParseFailure(""), errorAt(""));
}

TEST_F(FilterTest, ParenthesesNestAHundredDeepAndNoDeeper) {
    const auto nested = [](int depth) { return std::string(depth, '(') + "[Subject] = 'x'" + std::string(depth, ')'); };
    EXPECT_TRUE(Matches(nested(100).c_str(), Appointment("2002-11-05T09:00:00", "2002-11-05T10:00:00",
                                                         Members{{MemberId::kSubject, std::string("x")}})));
    EXPECT_EQ(ParseFailure(nested(101).c_str()).rfind("Cannot parse condition. Error at \"([Subject] = 'x'))", 0), 0u);
    // Far deeper: refused like any filter it cannot read, not a stack overflow.
    EXPECT_EQ(ParseFailure(std::string(100000, '(').c_str()).rfind("Cannot parse condition.", 0), 0u);
}

TEST_F(FilterTest, StartBoundsFollowTheConditionsOnStartAndEnd) {
    const DurationSpan hourLong{3600, 3600};
    const StartWindow run = Filter::Parse(kRunFilter, regional_).StartBounds(hourLong);
    EXPECT_EQ(run.from, At("2002-11-05T00:00:00"));
    EXPECT_EQ(run.to, At("2002-11-07T23:00:00"));

    const DurationSpan mixed{1800, 7200};
    const StartWindow byEnd = Filter::Parse("[End] >= '05-11-2002 12:00'", regional_).StartBounds(mixed);
    EXPECT_EQ(byEnd.from, At("2002-11-05T10:00:00"));
    EXPECT_EQ(byEnd.to, std::nullopt);
}

TEST_F(FilterTest, OrWidensTheBoundsAndOtherMembersLeaveThemOpen) {
    const DurationSpan none{0, 0};
    const auto bounds = [&](const char* filter) { return Filter::Parse(filter, regional_).StartBounds(none); };

    const StartWindow either = bounds(
        "[Start] >= '05-11-2002 00:00' And [Start] <= '06-11-2002 00:00' Or "
        "[Start] >= '10-11-2002 00:00' And [Start] <= '12-11-2002 00:00'");
    EXPECT_EQ(either.from, At("2002-11-05T00:00:00"));
    EXPECT_EQ(either.to, At("2002-11-12T00:00:00"));

    EXPECT_EQ(bounds("[Start] <= '06-11-2002 00:00' Or [Subject] = 'x'").to, std::nullopt);
    EXPECT_EQ(bounds("[Start] <> '06-11-2002 00:00'").to, std::nullopt);
    EXPECT_EQ(bounds("[Subject] = 'x' And [Start] < '06-11-2002 00:00'").to, At("2002-11-06T00:00:00"));
    const StartWindow exact = bounds("[Start] = '06-11-2002 10:00'");
    EXPECT_EQ(exact.from, exact.to);
}

}  // namespace
}  // namespace kalendro::memory_store
