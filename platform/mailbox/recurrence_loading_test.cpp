// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "platform/mailbox/mailbox_loader.h"
#include "platform/store/failure.h"

namespace kalendro::mailbox {
namespace {

using nlohmann::json;

// A file holding one recurring appointment of the vectors' form (Start, End, Recurrence).
void LoadSeries(const json& vector) {
    json item = {{"type", "AppointmentItem"},
                 {"Subject", vector["name"]},
                 {"Start", vector["Start"]},
                 {"End", vector["End"]},
                 {"Recurrence", vector["Recurrence"]}};
    json folder = {{"name", "Calendar"}, {"defaultItemType", 1}, {"default", "calendar"}, {"items", {item}}};
    json file = {{"format", kMailboxFormat}, {"stores", {{{"name", "Vectors"}, {"folders", {folder}}}}}};
    LoadMailboxText(file.dump(), "vector");
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
