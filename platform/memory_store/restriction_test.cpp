// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/memory_store/memory_store.h"
#include "platform/store/failure.h"

namespace kalendro::memory_store {
namespace {

constexpr const char* kRange = "[Start] >= '05-11-2002 00:00' And [End] <= '08-11-2002 00:00'";

StoreDate At(const char* text) { return *StoreDate::Parse(text); }

std::shared_ptr<MemoryItem> Single(const char* subject, const char* start, const char* end) {
    auto item = std::make_shared<MemoryItem>("AppointmentItem");
    item->members = {{MemberId::kEntryID, std::string("E-") + subject},
                     {MemberId::kSubject, std::string(subject)},
                     {MemberId::kStart, At(start)},
                     {MemberId::kEnd, At(end)}};
    return item;
}

std::shared_ptr<MemoryItem> Recurring(const char* subject, const char* start, const char* end,
                                      RecurrencePattern pattern) {
    auto series = Single(subject, start, end);
    pattern.patternStartDate = At(start).DateOnly();
    series->recurrence = std::make_unique<RecurrencePattern>(std::move(pattern));
    return series;
}

// A daily series from 3 to 9 November 2002 at 9:00, the 6th moved to 7:00 and retitled, the 7th deleted.
std::shared_ptr<MemoryItem> DailySeries() {
    RecurrencePattern pattern;
    pattern.type = RecurrenceType::kDaily;
    pattern.end = RecurrenceEnd::kByDate;
    pattern.patternEndDate = At("2002-11-09");
    pattern.exceptions.push_back({At("2002-11-06T09:00:00"),
                                  false,
                                  {{MemberId::kStart, At("2002-11-06T07:00:00")},
                                   {MemberId::kEnd, At("2002-11-06T07:15:00")},
                                   {MemberId::kSubject, std::string("Early stand-up")}}});
    pattern.exceptions.push_back({At("2002-11-07T09:00:00"), true, {}});
    auto series = Recurring("Stand-up", "2002-11-03T09:00:00", "2002-11-03T09:15:00", std::move(pattern));
    series->members.Set(MemberId::kEntryID, std::string("SERIES"));
    series->members.Set(MemberId::kLocation, std::string("Room 1"));
    return series;
}

// A daily series without end from the start on.
std::shared_ptr<MemoryItem> Endless(const char* subject, const char* start, const char* end) {
    RecurrencePattern pattern;
    pattern.type = RecurrenceType::kDaily;
    return Recurring(subject, start, end, std::move(pattern));
}

class RestrictTest : public ::testing::Test {
protected:
    std::unique_ptr<StoreItems> CalendarItems(ItemList items) {
        RegionalSettings regional;
        regional.shortDateForm = "dd-MM-yyyy";
        auto calendar = std::make_shared<MemoryFolder>();
        calendar->name = "Calendar";
        calendar->defaultItemType = 1;
        calendar->defaultRole = "calendar";
        calendar->items = std::make_shared<const FolderItems>(std::move(items));
        const auto application = MakeMemoryApplication({{calendar, "the test store"}}, regional);
        return application->GetNamespace("MAPI")->GetDefaultFolder(kDefaultCalendarFolder)->Items();
    }

    // The run's order of calls: sort, include recurrences, restrict.
    std::unique_ptr<StoreItems> RunRange(ItemList items) {
        auto all = CalendarItems(std::move(items));
        all->Sort("[Start]");
        all->SetIncludeRecurrences(true);
        return all->Restrict(kRange);
    }

    static std::vector<std::string> Lines(StoreItems& items) {
        std::vector<std::string> lines;
        auto enumerator = items.Enumerate();
        while (auto item = enumerator->Next()) {
            lines.push_back(item->Date("Start").ToText() + " " + item->Text("Subject"));
        }
        return lines;
    }
};

TEST_F(RestrictTest, OccurrencesInTheRangeComeInOrderOfStartBesideSingleItems) {
    auto range = RunRange({Single("Late", "2002-11-07T20:00:00", "2002-11-07T21:00:00"), DailySeries(),
                           Single("Crossing", "2002-11-07T23:00:00", "2002-11-08T01:00:00"),
                           Single("Before", "2002-11-04T23:00:00", "2002-11-05T01:00:00")});
    EXPECT_EQ(Lines(*range), (std::vector<std::string>{
                                 "2002-11-05T09:00:00 Stand-up",
                                 "2002-11-06T07:00:00 Early stand-up",
                                 "2002-11-07T20:00:00 Late",
                             }));
    EXPECT_EQ(range->Count(), 3);
}

TEST_F(RestrictTest, AnOccurrenceCarriesTheSeriesMembersWithItsOwnStartAndEnd) {
    auto range = RunRange({DailySeries()});
    auto enumerator = range->Enumerate();
    const auto first = enumerator->Next();
    const auto moved = enumerator->Next();
    ASSERT_TRUE(first && moved);
    EXPECT_EQ(first->TypeName(), "AppointmentItem");
    EXPECT_EQ(first->Text("EntryID"), "SERIES");
    EXPECT_EQ(first->Text("Location"), "Room 1");
    EXPECT_EQ(first->Date("End").ToText(), "2002-11-05T09:15:00");
    EXPECT_EQ(moved->Text("EntryID"), "SERIES");
    EXPECT_EQ(moved->Text("Location"), "Room 1");
    EXPECT_EQ(moved->Date("End").ToText(), "2002-11-06T07:15:00");
    EXPECT_EQ(enumerator->Next(), nullptr);
}

TEST_F(RestrictTest, AnOccurrenceTellsTheStartItsPatternGaveItEvenWhenMoved) {
    auto range = RunRange({DailySeries(), Single("Single", "2002-11-05T12:00:00", "2002-11-05T13:00:00")});
    std::vector<std::string> originals;
    auto enumerator = range->Enumerate();
    while (auto item = enumerator->Next()) {
        originals.push_back(item->Text("Subject") + " " + item->Date("OriginalDate").ToText());
    }
    EXPECT_EQ(originals, (std::vector<std::string>{"Stand-up 2002-11-05T09:00:00", "Single 4501-01-01T00:00:00",
                                                   "Early stand-up 2002-11-06T09:00:00"}));

    auto series = CalendarItems({DailySeries()});
    EXPECT_TRUE(series->Enumerate()->Next()->Date("OriginalDate").IsNoDate());
}

TEST_F(RestrictTest, EqualStartsKeepTheOrderOfTheirItemsAfterTheSort) {
    // The single item and the series start together, so the sort keeps their file order, and so
    // does the series' first occurrence against the single item.
    const auto same = Single("Same moment", "2002-11-03T09:00:00", "2002-11-03T09:30:00");
    const char* firstDay = "[Start] >= '03-11-2002 00:00' And [End] <= '04-11-2002 00:00'";
    const auto restricted = [&](ItemList items) {
        auto all = CalendarItems(std::move(items));
        all->Sort("[Start]");
        all->SetIncludeRecurrences(true);
        return Lines(*all->Restrict(firstDay));
    };
    EXPECT_EQ(restricted({same, DailySeries()}),
              (std::vector<std::string>{"2002-11-03T09:00:00 Same moment", "2002-11-03T09:00:00 Stand-up"}));
    EXPECT_EQ(restricted({DailySeries(), same}),
              (std::vector<std::string>{"2002-11-03T09:00:00 Stand-up", "2002-11-03T09:00:00 Same moment"}));
    // An occurrence at the moment of an item that sorts after the series comes first.
    const auto later = Single("Same moment", "2002-11-05T09:00:00", "2002-11-05T09:30:00");
    EXPECT_EQ(Lines(*RunRange({later, DailySeries()})),
              (std::vector<std::string>{"2002-11-05T09:00:00 Stand-up", "2002-11-05T09:00:00 Same moment",
                                        "2002-11-06T07:00:00 Early stand-up"}));
}

TEST_F(RestrictTest, WithoutRecurrencesASeriesIsAnOrdinaryItem) {
    auto all = CalendarItems({DailySeries(), Single("Inside", "2002-11-05T10:00:00", "2002-11-05T11:00:00")});
    all->Sort("[Start]");
    EXPECT_EQ(Lines(*all->Restrict(kRange)), (std::vector<std::string>{"2002-11-05T10:00:00 Inside"}));
    EXPECT_EQ(Lines(*all->Restrict("[Start] < '04-11-2002 00:00'")),
              (std::vector<std::string>{"2002-11-03T09:00:00 Stand-up"}));
}

TEST_F(RestrictTest, AnUnsortedCollectionKeepsTheStoreOrder) {
    auto all = CalendarItems({Single("Late", "2002-11-07T20:00:00", "2002-11-07T21:00:00"), DailySeries()});
    all->SetIncludeRecurrences(true);
    EXPECT_EQ(Lines(*all->Restrict(kRange)),
              (std::vector<std::string>{"2002-11-07T20:00:00 Late", "2002-11-05T09:00:00 Stand-up",
                                        "2002-11-06T07:00:00 Early stand-up"}));
}

TEST_F(RestrictTest, ARestrictedCollectionCanBeSortedAndRestrictedAgain) {
    auto all = CalendarItems({Single("Late", "2002-11-07T20:00:00", "2002-11-07T21:00:00"), DailySeries()});
    all->SetIncludeRecurrences(true);
    auto range = all->Restrict(kRange);
    range->Sort("[Start]");
    EXPECT_EQ(Lines(*range).front(), "2002-11-05T09:00:00 Stand-up");
    // Occurrences stay occurrences: including recurrences again expands nothing twice.
    range->SetIncludeRecurrences(true);
    auto stand = range->Restrict("[Location] = 'room 1'");
    EXPECT_EQ(Lines(*stand),
              (std::vector<std::string>{"2002-11-05T09:00:00 Stand-up", "2002-11-06T07:00:00 Early stand-up"}));
    EXPECT_EQ(stand->Count(), 2);
}

TEST_F(RestrictTest, SeriesOfEqualStartsInterleaveByTheirPlaceAfterTheSort) {
    // After the sort the store holds A, B (both from the 3rd) and the single item (the 4th).
    ItemList items{Endless("A", "2002-11-03T09:00:00", "2002-11-03T09:30:00"),
                   Single("Single", "2002-11-04T09:00:00", "2002-11-04T09:30:00"),
                   Endless("B", "2002-11-03T09:00:00", "2002-11-03T09:30:00")};
    auto all = CalendarItems(std::move(items));
    all->Sort("[Start]");
    all->SetIncludeRecurrences(true);
    EXPECT_EQ(Lines(*all->Restrict("[Start] < '05-11-2002 00:00'")),
              (std::vector<std::string>{"2002-11-03T09:00:00 A", "2002-11-03T09:00:00 B", "2002-11-04T09:00:00 A",
                                        "2002-11-04T09:00:00 B", "2002-11-04T09:00:00 Single"}));
}

// A sorted collection reads only the entries whose start its conditions on Start allow; conditions on
// End, or either side of an Or left open, allow any start. An undated item sorts last.
TEST_F(RestrictTest, ASortedRestrictionFindsTheSameEntriesWhateverBoundsItsConditionsGive) {
    auto undated = std::make_shared<MemoryItem>("AppointmentItem");
    undated->members = {{MemberId::kSubject, std::string("Undated")}};
    auto all = CalendarItems({Single("Inside", "2002-11-06T12:00:00", "2002-11-06T13:00:00"), undated,
                              Single("Later", "2002-11-10T10:00:00", "2002-11-10T11:00:00"), DailySeries(),
                              Single("Early", "2002-11-01T10:00:00", "2002-11-01T11:00:00")});
    all->Sort("[Start]");
    all->SetIncludeRecurrences(true);
    EXPECT_EQ(Lines(*all->Restrict("[Start] >= '05-11-2002 00:00' And [Start] < '08-11-2002 00:00'")),
              (std::vector<std::string>{"2002-11-05T09:00:00 Stand-up", "2002-11-06T07:00:00 Early stand-up",
                                        "2002-11-06T12:00:00 Inside"}));
    EXPECT_EQ(Lines(*all->Restrict("[Start] <= '04-11-2002 00:00'")),
              (std::vector<std::string>{"2002-11-01T10:00:00 Early", "2002-11-03T09:00:00 Stand-up"}));
    // Inside starts before the End's bound: a bound on End says nothing of the start of an item.
    EXPECT_EQ(Lines(*all->Restrict("[End] >= '06-11-2002 12:30' And [Start] < '08-11-2002 00:00'")),
              (std::vector<std::string>{"2002-11-06T12:00:00 Inside"}));
    EXPECT_EQ(Lines(*all->Restrict("[Start] < '02-11-2002 00:00' Or [End] >= '10-11-2002 00:00'")),
              (std::vector<std::string>{"2002-11-01T10:00:00 Early", "2002-11-10T10:00:00 Later",
                                        "4501-01-01T00:00:00 Undated"}));
}

// Each occurrence the collection holds keeps its series' item alive, so the item's count of owners
// tells how many occurrences exist at a time.
TEST_F(RestrictTest, OccurrencesAreMadeAsTheEnumerationReachesThem) {
    const std::shared_ptr<MemoryItem> first = Endless("First", "2000-01-01T08:00:00", "2000-01-01T08:30:00");
    const std::shared_ptr<MemoryItem> second = Endless("Second", "2000-01-01T07:00:00", "2000-01-01T07:30:00");
    const char* century = "[Start] <= '31-12-2099 23:59'";
    for (const bool sorted : {true, false}) {
        auto all = CalendarItems({first, second});
        if (sorted) {
            all->Sort("[Start]");
        }
        all->SetIncludeRecurrences(true);
        const long ownersBefore = first.use_count();
        const auto range = all->Restrict(century);
        auto enumerator = range->Enumerate();
        std::vector<std::shared_ptr<StoreItem>> handedOut;
        for (int i = 0; i < 3; ++i) {
            handedOut.push_back(enumerator->Next());
        }
        EXPECT_EQ(handedOut[0]->Text("Subject"), sorted ? "Second" : "First");
        EXPECT_EQ(handedOut[1]->Text("Subject"), "First");
        EXPECT_EQ(handedOut[2]->Date("Start").ToText(), sorted ? "2000-01-02T07:00:00" : "2000-01-03T08:00:00");
        // The century holds 36525 days of each; a few owners more than before means a few occurrences.
        EXPECT_LE(first.use_count(), ownersBefore + 4) << (sorted ? "sorted" : "unsorted");
        EXPECT_EQ(range->Count(), 2 * 36525);
        EXPECT_LE(first.use_count(), ownersBefore + 4) << (sorted ? "sorted" : "unsorted");
    }
}

TEST_F(RestrictTest, ASeriesWithoutEndNeedsALatestStartAndTheMessageQuotesConditionAndSubjectShort) {
    const std::string subject = "Line\n" + std::string(100000, 's');
    auto all = CalendarItems({Endless(subject.c_str(), "2002-10-01T18:00:00", "2002-10-01T19:00:00")});
    all->SetIncludeRecurrences(true);
    std::string condition = "[Start] >= '05-11-2002 00:00'";
    for (int i = 0; i < 5000; ++i) {
        condition += " Or [Subject] = 'x'";
    }
    try {
        all->Restrict(condition);
        FAIL() << "an unbounded series was expanded";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.Number(), kStoreOperationFailed);
        const std::string& message = failure.Description();
        EXPECT_LT(message.size(), 400U) << message.substr(0, 400);
        EXPECT_EQ(message.rfind("The condition \"[Start] >= '05-11-2002 00:00' Or", 0), 0U) << message.substr(0, 400);
        EXPECT_NE(message.find("\"... sets no latest start for the recurring appointment \"Line\\nsss"),
                  std::string::npos)
            << message.substr(0, 400);
        EXPECT_NE(message.find("sss\"..., which has no end."), std::string::npos) << message.substr(0, 400);
    }
    EXPECT_EQ(all->Restrict("[Start] <= '03-10-2002 18:00'")->Count(), 3);
}

}  // namespace
}  // namespace kalendro::memory_store
