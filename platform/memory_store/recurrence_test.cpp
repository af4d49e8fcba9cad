// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/memory_store/recurrence.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/memory_store/test_occurrences.h"
#include "platform/store/failure.h"

namespace kalendro::memory_store {
namespace {

StoreDate At(const char* text) { return *StoreDate::Parse(text); }

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
