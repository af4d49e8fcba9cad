// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "platform/mailbox/mailbox_loader.h"
#include "platform/memory_store/recurrence.h"
#include "platform/memory_store/test_occurrences.h"
#include "platform/store/failure.h"
#include "testing/source_path.h"
#include "testing/failure_of.h"

namespace kalendro::mailbox {
namespace {

using memory_store::MemberId;
using nlohmann::json;

// A file holding one recurring appointment of the vectors' form (Start, End, Recurrence).
std::shared_ptr<const Mailbox> LoadSeries(const json& vector) {
    json item = {{"type", "AppointmentItem"},
                 {"Subject", vector["name"]},
                 {"Start", vector["Start"]},
                 {"End", vector["End"]},
                 {"Recurrence", vector["Recurrence"]}};
    json folder = {{"name", "Calendar"}, {"defaultItemType", 1}, {"default", "calendar"}, {"items", {item}}};
    json file = {{"format", kMailboxFormat}, {"stores", {{{"name", "Vectors"}, {"folders", {folder}}}}}};
    return LoadMailboxText(file.dump(), "vector");
}

std::optional<StoreDate> OptionalAt(const json& window, const char* side) {
    if (!window.contains(side)) {
        return std::nullopt;
    }
    return StoreDate::Parse(window[side].get<std::string>());
}

// Every vector of a file of platform/memory_store, read as a mailbox file holds it, its month-based
// patterns counting the months of the calendar given; the last start expected is an occurrence of the
// pattern too where no exception moved one.
void ExpectEveryVectorsInstances(const char* fileName, memory_store::PatternCalendar calendar) {
    std::ifstream file(testing::SourcePath(std::string("platform/memory_store/") + fileName));
    ASSERT_TRUE(file) << fileName;
    const json vectors = json::parse(file)["vectors"];
    ASSERT_FALSE(vectors.empty());
    for (const json& vector : vectors) {
        SCOPED_TRACE(vector["name"].get<std::string>());
        const auto mailbox = LoadSeries(vector);
        const memory_store::MemoryItem& item = *mailbox->stores.at(0)->folders.at(0)->items->All().at(0);
        memory_store::RecurrencePattern pattern = *item.recurrence;
        pattern.calendar = calendar;
        const memory_store::RecurringSeries series(pattern, std::get<StoreDate>(*item.members.Find(MemberId::kStart)),
                                                   std::get<StoreDate>(*item.members.Find(MemberId::kEnd)));
        const memory_store::StartWindow window{OptionalAt(vector["window"], "from"),
                                               OptionalAt(vector["window"], "to")};
        const auto expected = vector["expected"].get<std::vector<std::string>>();
        EXPECT_EQ(memory_store::StartTexts(series.OccurrencesIn(window)), expected);
        if (!expected.empty() && !vector["Recurrence"].contains("Exceptions")) {
            EXPECT_TRUE(series.IsPatternOccurrence(*StoreDate::Parse(expected.back())));
        }
    }
}

TEST(RecurrenceVectors, EveryVectorGivesItsInstances) {
    ExpectEveryVectorsInstances("recurrence_vectors.json", memory_store::PatternCalendar::kGregorian);
}

TEST(RecurrenceVectors, HijriSeriesCountTheMonthsOfTheHijriCalendar) {
    ExpectEveryVectorsInstances("hijri_vectors.json", memory_store::PatternCalendar::kHijri);
}

// The loader refuses an exception that the pattern does not give, naming the file, the item and the date.
Failure LoadFailure(const json& recurrence) {
    json vector = {{"name", "Refused"},
                   {"Start", "2024-01-01T09:00:00"},
                   {"End", "2024-01-01T10:00:00"},
                   {"Recurrence", recurrence}};
    return testing::FailureOf([&] { LoadSeries(vector); });
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
    EXPECT_EQ(failure.Description(), "no failure");
}

}  // namespace
}  // namespace kalendro::mailbox
