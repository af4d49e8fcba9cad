// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/memory_store/recurrence.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/store/failure.h"
#include "testing/source_path.h"

namespace kalendro::memory_store {
namespace {

using nlohmann::json;

StoreDate At(const char* text) { return *StoreDate::Parse(text); }

std::optional<StoreDate> OptionalAt(const json& window, const char* side) {
    if (!window.contains(side)) {
        return std::nullopt;
    }
    return At(window[side].get<std::string>().c_str());
}

struct VectorSeries {
    RecurrencePattern pattern;
    StoreDate start;
    StoreDate end;
};

int FieldOr(const json& recurrence, const char* key, int absent) {
    return recurrence.contains(key) ? recurrence[key].get<int>() : absent;
}

// The vector's series in the model; its fields have the names and meanings of the model's.
VectorSeries SeriesOf(const json& vector) {
    const json& recurrence = vector["Recurrence"];
    VectorSeries series{
        {}, At(vector["Start"].get<std::string>().c_str()), At(vector["End"].get<std::string>().c_str())};
    RecurrencePattern& pattern = series.pattern;
    pattern.type = static_cast<RecurrenceType>(recurrence["RecurrenceType"].get<int>());
    pattern.interval = FieldOr(recurrence, "Interval", 1);
    pattern.dayOfWeekMask = FieldOr(recurrence, "DayOfWeekMask", 0);
    pattern.dayOfMonth = FieldOr(recurrence, "DayOfMonth", 0);
    pattern.instance = FieldOr(recurrence, "Instance", 0);
    pattern.monthOfYear = FieldOr(recurrence, "MonthOfYear", 0);
    pattern.firstDayOfWeek = FieldOr(recurrence, "FirstDayOfWeek", 0);
    pattern.patternStartDate = recurrence.contains("PatternStartDate")
                                   ? At(recurrence["PatternStartDate"].get<std::string>().c_str())
                                   : series.start.DateOnly();
    if (recurrence.contains("PatternEndDate")) {
        pattern.end = RecurrenceEnd::kByDate;
        pattern.patternEndDate = At(recurrence["PatternEndDate"].get<std::string>().c_str());
    } else if (recurrence.contains("Occurrences")) {
        pattern.end = RecurrenceEnd::kAfterOccurrences;
        pattern.occurrences = recurrence["Occurrences"].get<int>();
    }
    for (const json& exception : recurrence.value("Exceptions", json::array())) {
        RecurrenceException& added = pattern.exceptions.emplace_back();
        added.originalDate = At(exception["OriginalDate"].get<std::string>().c_str());
        added.deleted = exception.value("Deleted", false);
        for (const auto& [key, member] : {std::pair{"Start", MemberId::kStart}, std::pair{"End", MemberId::kEnd}}) {
            if (exception.contains(key)) {
                added.members.Set(member, At(exception[key].get<std::string>().c_str()));
            }
        }
    }
    return series;
}

std::vector<std::string> StartTexts(const std::vector<Occurrence>& occurrences) {
    std::vector<std::string> texts;
    for (const Occurrence& occurrence : occurrences) {
        texts.push_back(occurrence.start.ToText());
    }
    return texts;
}

// Every vector of a file beside this test, its month-based patterns counting the months of the calendar
// given; the last start expected is an occurrence of the pattern too where no exception moved one.
void ExpectEveryVectorsInstances(const char* fileName, PatternCalendar calendar) {
    std::ifstream file(testing::SourcePath(std::string("platform/memory_store/") + fileName));
    ASSERT_TRUE(file) << fileName << " beside this test";
    const json vectors = json::parse(file)["vectors"];
    ASSERT_FALSE(vectors.empty());
    for (const json& vector : vectors) {
        SCOPED_TRACE(vector["name"].get<std::string>());
        VectorSeries vectorSeries = SeriesOf(vector);
        vectorSeries.pattern.calendar = calendar;
        const RecurringSeries series(vectorSeries.pattern, vectorSeries.start, vectorSeries.end);
        const StartWindow window{OptionalAt(vector["window"], "from"), OptionalAt(vector["window"], "to")};
        const auto expected = vector["expected"].get<std::vector<std::string>>();
        EXPECT_EQ(StartTexts(series.OccurrencesIn(window)), expected);
        if (!expected.empty() && !vector["Recurrence"].contains("Exceptions")) {
            EXPECT_TRUE(series.IsPatternOccurrence(At(expected.back().c_str())));
        }
    }
}

TEST(RecurrenceVectors, EveryVectorGivesItsInstances) {
    ExpectEveryVectorsInstances("recurrence_vectors.json", PatternCalendar::kGregorian);
}

TEST(RecurrenceVectors, HijriSeriesCountTheMonthsOfTheHijriCalendar) {
    ExpectEveryVectorsInstances("hijri_vectors.json", PatternCalendar::kHijri);
}

RecurrencePattern Daily(const char* patternStart) {
    RecurrencePattern pattern;
    pattern.type = RecurrenceType::kDaily;
    pattern.patternStartDate = At(patternStart);
    return pattern;
}

TEST(RecurringSeries, OccurrencesKeepTheSeriesLengthUnlessTheExceptionSetsTheEnd) {
    RecurrencePattern pattern = Daily("2024-01-01");
    pattern.exceptions.push_back({At("2024-01-02T09:00:00"), false, {{MemberId::kStart, At("2024-01-02T11:00:00")}}});
    pattern.exceptions.push_back({At("2024-01-03T09:00:00"), false, {{MemberId::kEnd, At("2024-01-03T12:00:00")}}});
    pattern.exceptions.push_back(
        {At("2024-01-04T09:00:00"), false, {{MemberId::kSubject, std::string("Moved nowhere")}}});
    const RecurringSeries series(pattern, At("2024-01-01T09:00:00"), At("2024-01-01T09:45:00"));

    const auto occurrences = series.OccurrencesIn({At("2024-01-01T00:00:00"), At("2024-01-04T23:59:00")});
    ASSERT_EQ(occurrences.size(), 4u);
    EXPECT_EQ(occurrences[0].end, At("2024-01-01T09:45:00"));
    EXPECT_EQ(occurrences[0].exception, nullptr);
    EXPECT_EQ(occurrences[1].start, At("2024-01-02T11:00:00"));
    EXPECT_EQ(occurrences[1].end, At("2024-01-02T11:45:00"));
    EXPECT_EQ(occurrences[1].originalStart, At("2024-01-02T09:00:00"));
    EXPECT_EQ(occurrences[2].end, At("2024-01-03T12:00:00"));
    EXPECT_EQ(occurrences[3].exception, &pattern.exceptions[2]);
    EXPECT_EQ(occurrences[3].start, At("2024-01-04T09:00:00"));

    const DurationSpan durations = series.Durations();
    EXPECT_EQ(durations.shortestSeconds, 45 * 60);
    EXPECT_EQ(durations.longestSeconds, 3 * 3600);
}

TEST(RecurringSeries, TwoOccurrencesAtOneMomentKeepThePatternOrder) {
    RecurrencePattern pattern = Daily("2024-01-01");
    pattern.exceptions.push_back({At("2024-01-03T09:00:00"), false, {{MemberId::kStart, At("2024-01-02T09:00:00")}}});
    const RecurringSeries series(pattern, At("2024-01-01T09:00:00"), At("2024-01-01T10:00:00"));

    const auto occurrences = series.OccurrencesIn({At("2024-01-02T00:00:00"), At("2024-01-03T23:00:00")});
    ASSERT_EQ(occurrences.size(), 2u);
    EXPECT_EQ(occurrences[0].originalStart, At("2024-01-02T09:00:00"));
    EXPECT_EQ(occurrences[1].originalStart, At("2024-01-03T09:00:00"));
}

TEST(RecurringSeries, AnEndedSeriesNeedsNoBounds) {
    RecurrencePattern pattern = Daily("2024-01-01");
    pattern.end = RecurrenceEnd::kByDate;
    pattern.patternEndDate = At("2024-01-03");
    const RecurringSeries series(pattern, At("2024-01-01T09:00:00"), At("2024-01-01T10:00:00"));
    EXPECT_EQ(series.OccurrencesIn({}).size(), 3u);
}

TEST(RecurringSeries, AWindowThatEndsBeforeItBeginsHoldsNothing) {
    const RecurrencePattern pattern = Daily("2024-01-01");
    const RecurringSeries series(pattern, At("2024-01-01T09:00:00"), At("2024-01-01T10:00:00"));
    EXPECT_TRUE(series.OccurrencesIn({At("2024-01-05T00:00:00"), At("2024-01-04T00:00:00")}).empty());
}

TEST(RecurringSeries, PatternOccurrencesNeedTheDateTheTimeOfDayAndTheCount) {
    RecurrencePattern pattern = Daily("2024-01-01");
    pattern.interval = 2;
    pattern.end = RecurrenceEnd::kAfterOccurrences;
    pattern.occurrences = 3;
    const RecurringSeries series(pattern, At("2024-01-01T09:00:00"), At("2024-01-01T10:00:00"));
    EXPECT_TRUE(series.IsPatternOccurrence(At("2024-01-05T09:00:00")));
    EXPECT_FALSE(series.IsPatternOccurrence(At("2024-01-07T09:00:00")));  // the fourth
    EXPECT_FALSE(series.IsPatternOccurrence(At("2024-01-04T09:00:00")));  // off the interval
    EXPECT_FALSE(series.IsPatternOccurrence(At("2024-01-03T09:30:00")));  // another time of day
    EXPECT_FALSE(series.IsPatternOccurrence(At("2023-12-30T09:00:00")));  // before the pattern
}

RecurrencePattern Fortnightly(int dayOfWeekMask, int firstDayOfWeek, const char* patternStart) {
    RecurrencePattern pattern;
    pattern.type = RecurrenceType::kWeekly;
    pattern.interval = 2;
    pattern.dayOfWeekMask = dayOfWeekMask;
    pattern.firstDayOfWeek = firstDayOfWeek;
    pattern.patternStartDate = At(patternStart);
    return pattern;
}

// A fortnightly Sunday-and-Tuesday series begun on Tuesday 2 January 2024: with weeks from Monday its
// Sunday is the 7th, five days after its first Tuesday; with weeks from Sunday it is the 14th.
TEST(RecurringSeries, WeeksOfAWeeklySeriesBeginOnItsFirstDayOfTheWeek) {
    constexpr int kSundayAndTuesday = 1 | 4;
    const struct {
        int firstDayOfWeek;
        std::vector<std::string> starts;
        const char* sundayOfTheFirstFortnight;
        bool isOccurrence;
    } cases[] = {
        {1,
         {"2024-01-02T09:00:00", "2024-01-07T09:00:00", "2024-01-16T09:00:00", "2024-01-21T09:00:00",
          "2024-01-30T09:00:00"},
         "2024-01-07T09:00:00",
         true},
        {0,
         {"2024-01-02T09:00:00", "2024-01-14T09:00:00", "2024-01-16T09:00:00", "2024-01-28T09:00:00",
          "2024-01-30T09:00:00"},
         "2024-01-07T09:00:00",
         false},
        // Weeks from Wednesday hold a Sunday and the Tuesday after it: the dates of weeks from Sunday.
        {3,
         {"2024-01-02T09:00:00", "2024-01-14T09:00:00", "2024-01-16T09:00:00", "2024-01-28T09:00:00",
          "2024-01-30T09:00:00"},
         "2024-01-14T09:00:00",
         true},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.firstDayOfWeek);
        const RecurrencePattern pattern = Fortnightly(kSundayAndTuesday, test.firstDayOfWeek, "2024-01-02");
        const RecurringSeries series(pattern, At("2024-01-02T09:00:00"), At("2024-01-02T10:00:00"));
        EXPECT_EQ(StartTexts(series.OccurrencesIn({At("2024-01-01T00:00:00"), At("2024-01-31T23:59:00")})),
                  test.starts);
        EXPECT_EQ(series.IsPatternOccurrence(At(test.sundayOfTheFirstFortnight)), test.isOccurrence);
    }
}

// A count runs through each week in the order of its days from the first day of the week.
TEST(RecurringSeries, ACountedSeriesCountsItsDatesInTheOrderOfItsWeeks) {
    RecurrencePattern pattern = Fortnightly(1 | 4, 1, "2024-01-02");
    pattern.end = RecurrenceEnd::kAfterOccurrences;
    pattern.occurrences = 3;
    const RecurringSeries series(pattern, At("2024-01-02T09:00:00"), At("2024-01-02T10:00:00"));
    EXPECT_EQ(StartTexts(series.OccurrencesIn({})),
              (std::vector<std::string>{"2024-01-02T09:00:00", "2024-01-07T09:00:00", "2024-01-16T09:00:00"}));
    EXPECT_EQ(StartTexts(series.OccurrencesIn({At("2024-01-10T00:00:00"), std::nullopt})),
              (std::vector<std::string>{"2024-01-16T09:00:00"}));
}

// A zone some hours ahead of local time, by one hour less from a given wall-clock time of the zone on.
class AheadZone : public SeriesTimeZone {
public:
    explicit AheadZone(int hours, std::optional<StoreDate> oneHourLessFrom = std::nullopt)
        : hours_(hours), oneHourLessFrom_(oneHourLessFrom) {}

    StoreDate ToLocal(const StoreDate& zoneWallTime) const override {
        const int hours = oneHourLessFrom_ && zoneWallTime >= *oneHourLessFrom_ ? hours_ - 1 : hours_;
        return StoreDate::FromSerialSeconds(zoneWallTime.SerialSeconds() - hours * std::int64_t{3600});
    }

private:
    int hours_;
    std::optional<StoreDate> oneHourLessFrom_;
};

std::vector<std::string> EndTexts(const std::vector<Occurrence>& occurrences) {
    std::vector<std::string> texts;
    for (const Occurrence& occurrence : occurrences) {
        texts.push_back(occurrence.end.ToText());
    }
    return texts;
}

TEST(ZonedSeries, OccurrencesAreInLocalTimeAndTheWindowAppliesToThem) {
    const RecurrencePattern pattern = Daily("2024-01-01");
    const AheadZone zone(9);
    const RecurringSeries series(pattern, At("2024-01-01T08:00:00"), At("2024-01-01T09:00:00"), &zone);

    // Local 23:00 the day before each zone date: the last one lies on a zone date after the window.
    const auto occurrences = series.OccurrencesIn({At("2024-01-02T00:00:00"), At("2024-01-04T23:59:00")});
    EXPECT_EQ(StartTexts(occurrences),
              (std::vector<std::string>{"2024-01-02T23:00:00", "2024-01-03T23:00:00", "2024-01-04T23:00:00"}));
    EXPECT_EQ(EndTexts(occurrences),
              (std::vector<std::string>{"2024-01-03T00:00:00", "2024-01-04T00:00:00", "2024-01-05T00:00:00"}));
    ASSERT_EQ(occurrences.size(), 3u);
    EXPECT_EQ(occurrences[0].originalStart, At("2024-01-03T08:00:00"));
}

TEST(ZonedSeries, ExceptionsMatchZoneDatesAndKeepTheirOwnLocalTimes) {
    RecurrencePattern pattern = Daily("2024-01-01");
    pattern.exceptions.push_back({At("2024-01-03T08:00:00"), false, {{MemberId::kSubject, std::string("Retitled")}}});
    pattern.exceptions.push_back({At("2024-01-04T08:00:00"), false, {{MemberId::kStart, At("2024-01-04T12:00:00")}}});
    pattern.exceptions.push_back({At("2024-01-05T08:00:00"), true, {}});
    const AheadZone zone(9);
    const RecurringSeries series(pattern, At("2024-01-01T08:00:00"), At("2024-01-01T09:00:00"), &zone);

    const auto occurrences = series.OccurrencesIn({At("2024-01-02T00:00:00"), At("2024-01-05T23:59:00")});
    EXPECT_EQ(StartTexts(occurrences),
              (std::vector<std::string>{"2024-01-02T23:00:00", "2024-01-04T12:00:00", "2024-01-05T23:00:00"}));
    EXPECT_EQ(EndTexts(occurrences),
              (std::vector<std::string>{"2024-01-03T00:00:00", "2024-01-04T13:00:00", "2024-01-06T00:00:00"}));
    ASSERT_EQ(occurrences.size(), 3u);
    EXPECT_EQ(occurrences[0].exception, &pattern.exceptions[0]);
    EXPECT_EQ(occurrences[1].exception, &pattern.exceptions[1]);
    EXPECT_EQ(occurrences[2].exception, nullptr);
}

TEST(ZonedSeries, AChangeOfTheZonesOffsetMovesTheLocalTimeOfTheLaterOccurrences) {
    const RecurrencePattern pattern = Daily("2024-03-01");
    const AheadZone zone(9, At("2024-03-10T00:00:00"));
    const RecurringSeries series(pattern, At("2024-03-01T08:00:00"), At("2024-03-01T09:00:00"), &zone);

    const auto occurrences = series.OccurrencesIn({At("2024-03-08T00:00:00"), At("2024-03-10T23:59:00")});
    EXPECT_EQ(StartTexts(occurrences), (std::vector<std::string>{"2024-03-08T23:00:00", "2024-03-10T00:00:00"}));
    // The zone's change lets End condition bounds no longer rely on the series' own length.
    EXPECT_LE(series.Durations().shortestSeconds, 3600 - 3600);
    EXPECT_GE(series.Durations().longestSeconds, 3600 + 3600);
}

// Local time until a wall-clock time of the zone, then 30 hours behind it: the occurrence after the
// change lands before the one preceding it.
class JumpingZone : public SeriesTimeZone {
public:
    StoreDate ToLocal(const StoreDate& zoneWallTime) const override {
        const std::int64_t hours = zoneWallTime >= StoreDate{2024, 3, 5, 0, 0, 0} ? 30 : 0;
        return StoreDate::FromSerialSeconds(zoneWallTime.SerialSeconds() - hours * 3600);
    }
};

TEST(ZonedSeries, OccurrencesThatAZoneChangeReordersComeInLocalOrder) {
    RecurrencePattern pattern = Daily("2024-03-01");
    pattern.exceptions.push_back({At("2024-03-01T08:00:00"), false, {{MemberId::kStart, At("2024-03-05T02:00:00")}}});
    const JumpingZone zone;
    const RecurringSeries series(pattern, At("2024-03-01T08:00:00"), At("2024-03-01T09:00:00"), &zone);

    const StartWindow window{At("2024-03-03T00:00:00"), At("2024-03-07T23:59:00")};
    EXPECT_EQ(StartTexts(series.OccurrencesIn(window)),
              (std::vector<std::string>{"2024-03-03T08:00:00", "2024-03-04T02:00:00", "2024-03-04T08:00:00",
                                        "2024-03-05T02:00:00", "2024-03-05T02:00:00", "2024-03-06T02:00:00",
                                        "2024-03-07T02:00:00"}));
    // The walk gives the same one at a time; at one moment, the earlier pattern date goes first.
    OccurrenceWalk walk(series, window);
    std::vector<StoreDate> originals;
    while (const std::optional<Occurrence> occurrence = walk.Next()) {
        originals.push_back(occurrence->originalStart);
    }
    ASSERT_EQ(originals.size(), 7U);
    EXPECT_EQ(originals[3], At("2024-03-01T08:00:00"));
    EXPECT_EQ(originals[4], At("2024-03-06T08:00:00"));
}

}  // namespace
}  // namespace kalendro::memory_store
