#include "platform/mailbox/recurrence.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/failure.h"
#include "platform/mailbox/mailbox_loader.h"
#include "testing/source_path.h"

namespace kalendro::mailbox {
namespace {

using nlohmann::json;

StoreDate At(const char* text) { return *StoreDate::Parse(text); }

std::optional<StoreDate> OptionalAt(const json& window, const char* side) {
    if (!window.contains(side))
        return std::nullopt;
    return At(window[side].get<std::string>().c_str());
}

// The vectors' series go through the loader, so the file's recurrence form is what they exercise.
MailboxItem LoadSeries(const json& vector) {
    json item = {{"type", "AppointmentItem"},
                 {"Subject", vector["name"]},
                 {"Start", vector["Start"]},
                 {"End", vector["End"]},
                 {"Recurrence", vector["Recurrence"]}};
    json folder = {{"name", "Calendar"}, {"defaultItemType", 1}, {"default", "calendar"}, {"items", {item}}};
    json file = {{"format", kMailboxFormat}, {"stores", {{{"name", "Vectors"}, {"folders", {folder}}}}}};
    const auto mailbox = LoadMailboxText(file.dump(), "vector");
    return *mailbox->stores.front()->folders.front()->items.front();
}

std::vector<std::string> StartTexts(const std::vector<Occurrence>& occurrences) {
    std::vector<std::string> texts;
    for (const Occurrence& occurrence : occurrences)
        texts.push_back(occurrence.start.ToText());
    return texts;
}

TEST(RecurrenceVectors, EveryVectorGivesItsInstances) {
    std::ifstream file(testing::SourcePath("platform/mailbox/recurrence_vectors.json"));
    ASSERT_TRUE(file) << "recurrence_vectors.json beside this test";
    const json vectors = json::parse(file)["vectors"];
    ASSERT_GE(vectors.size(), 40u);
    for (const json& vector : vectors) {
        SCOPED_TRACE(vector["name"].get<std::string>());
        const MailboxItem item = LoadSeries(vector);
        ASSERT_TRUE(item.recurrence.has_value());
        const RecurringSeries series(*item.recurrence, std::get<StoreDate>(item.members.at("Start")),
                                     std::get<StoreDate>(item.members.at("End")));
        const StartWindow window{OptionalAt(vector["window"], "from"), OptionalAt(vector["window"], "to")};
        EXPECT_EQ(StartTexts(series.OccurrencesIn(window)), vector["expected"].get<std::vector<std::string>>());
    }
}

RecurrencePattern Daily(const char* patternStart) {
    RecurrencePattern pattern;
    pattern.type = RecurrenceType::kDaily;
    pattern.patternStartDate = At(patternStart);
    return pattern;
}

TEST(RecurringSeries, OccurrencesKeepTheSeriesLengthUnlessTheExceptionSetsTheEnd) {
    RecurrencePattern pattern = Daily("2024-01-01");
    pattern.exceptions.push_back({At("2024-01-02T09:00:00"), false, {{"Start", At("2024-01-02T11:00:00")}}});
    pattern.exceptions.push_back({At("2024-01-03T09:00:00"), false, {{"End", At("2024-01-03T12:00:00")}}});
    pattern.exceptions.push_back({At("2024-01-04T09:00:00"), false, {{"Subject", std::string("Moved nowhere")}}});
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
    pattern.exceptions.push_back({At("2024-01-03T09:00:00"), false, {{"Start", At("2024-01-02T09:00:00")}}});
    const RecurringSeries series(pattern, At("2024-01-01T09:00:00"), At("2024-01-01T10:00:00"));

    const auto occurrences = series.OccurrencesIn({At("2024-01-02T00:00:00"), At("2024-01-03T23:00:00")});
    ASSERT_EQ(occurrences.size(), 2u);
    EXPECT_EQ(occurrences[0].originalStart, At("2024-01-02T09:00:00"));
    EXPECT_EQ(occurrences[1].originalStart, At("2024-01-03T09:00:00"));
}

TEST(RecurringSeries, ASeriesWithoutEndNeedsALatestStart) {
    const RecurrencePattern pattern = Daily("2024-01-01");
    const RecurringSeries series(pattern, At("2024-01-01T09:00:00"), At("2024-01-01T10:00:00"));
    try {
        series.OccurrencesIn({At("2024-01-01T00:00:00"), std::nullopt});
        FAIL() << "an endless expansion was attempted";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.Number(), kStoreOperationFailed);
    }
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

// The loader refuses an exception that the pattern does not give, naming the file, the item and the date.
Failure LoadFailure(const json& recurrence) {
    json vector = {{"name", "Refused"},
                   {"Start", "2024-01-01T09:00:00"},
                   {"End", "2024-01-01T10:00:00"},
                   {"Recurrence", recurrence}};
    try {
        LoadSeries(vector);
    } catch (const Failure& failure) {
        return failure;
    }
    return Failure(0, "loaded");
}

TEST(RecurrenceLoading, AnExceptionOffTheIntervalMakesTheFileInvalid) {
    const Failure failure = LoadFailure(json::parse(R"({"RecurrenceType": 0, "Interval": 2, "NoEndDate": true,
        "Exceptions": [{"OriginalDate": "2024-01-02T09:00:00", "Deleted": true}]})"));
    EXPECT_EQ(failure.Number(), kStoreCannotOpen);
    EXPECT_NE(failure.Description().find("vector"), std::string::npos) << failure.Description();
    EXPECT_NE(failure.Description().find("2024-01-02T09:00:00 is no occurrence"), std::string::npos)
        << failure.Description();
}

TEST(RecurrenceLoading, AnExceptionOnADayOutsideTheMaskMakesTheFileInvalid) {
    const Failure failure = LoadFailure(json::parse(R"({"RecurrenceType": 1, "DayOfWeekMask": 2, "NoEndDate": true,
        "Exceptions": [{"OriginalDate": "2024-01-02T09:00:00", "Deleted": true}]})"));
    EXPECT_EQ(failure.Number(), kStoreCannotOpen);
}

TEST(RecurrenceLoading, AnExceptionAfterTheLastCountedOccurrenceMakesTheFileInvalid) {
    const Failure failure = LoadFailure(json::parse(R"({"RecurrenceType": 0, "Occurrences": 2,
        "Exceptions": [{"OriginalDate": "2024-01-03T09:00:00", "Deleted": true}]})"));
    EXPECT_EQ(failure.Number(), kStoreCannotOpen);
}

TEST(RecurrenceLoading, AnExceptionOnTheLastCountedOccurrenceIsSound) {
    const Failure failure = LoadFailure(json::parse(R"({"RecurrenceType": 0, "Occurrences": 2,
        "Exceptions": [{"OriginalDate": "2024-01-02T09:00:00", "Deleted": true}]})"));
    EXPECT_EQ(failure.Description(), "loaded");
}

}  // namespace
}  // namespace kalendro::mailbox
