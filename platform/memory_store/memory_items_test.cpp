// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/memory_store/memory_items.h"

#include <gtest/gtest.h>

#include "platform/store/failure.h"

namespace kalendro::memory_store {
namespace {

std::shared_ptr<const MemoryItem> Appointment(const std::string& subject, StoreDate start) {
    auto item = std::make_shared<MemoryItem>("AppointmentItem");
    item->members = {
        {MemberId::kSubject, subject}, {MemberId::kStart, start}, {MemberId::kEntryID, std::string("E-") + subject}};
    return item;
}

TEST(MemoryItemsTest, AnOccurrenceReadsItsOverridesBeforeItsSeriesMembers) {
    auto series = Appointment("Weekly", StoreDate{2026, 11, 2, 9, 0, 0});
    auto overrides = std::make_shared<Members>(
        Members{{MemberId::kStart, StoreDate{2026, 11, 9, 10, 0, 0}}, {MemberId::kLocation, std::string("Room 2")}});
    const CollectionEntry occurrence{series, overrides};
    EXPECT_EQ(StartOf(occurrence), (StoreDate{2026, 11, 9, 10, 0, 0}));
    auto item = MakeStoreItem(occurrence);
    EXPECT_EQ(item->Date("Start"), (StoreDate{2026, 11, 9, 10, 0, 0}));
    EXPECT_EQ(item->Text("Location"), "Room 2");
    EXPECT_EQ(item->Text("Subject"), "Weekly");
    EXPECT_EQ(item->Text("EntryID"), "E-Weekly");
    EXPECT_EQ(MakeStoreItem({series, nullptr})->Text("Location"), "");
}

TEST(MemoryItemsTest, SortOrdersOccurrencesByTheirOwnStartKeepingEqualOnesInOrder) {
    auto series = Appointment("Series", StoreDate{2026, 11, 1, 9, 0, 0});
    auto at = [](StoreDate start) { return std::make_shared<Members>(Members{{MemberId::kStart, start}}); };
    MemoryItems items({{series, at(StoreDate{2026, 11, 20, 9, 0, 0})},
                       {Appointment("Single", StoreDate{2026, 11, 10, 9, 0, 0}), nullptr},
                       {series, at(StoreDate{2026, 11, 10, 9, 0, 0})}},
                      std::make_shared<const RegionalSettings>());
    EXPECT_FALSE(items.SortedByStart());
    items.Sort("[Start]");
    EXPECT_TRUE(items.SortedByStart());
    ASSERT_EQ(items.Count(), 3);
    EXPECT_EQ(StartOf(items.Entries()[0]), (StoreDate{2026, 11, 10, 9, 0, 0}));
    EXPECT_EQ(items.Entries()[0].overrides, nullptr);
    EXPECT_EQ(StartOf(items.Entries()[1]), (StoreDate{2026, 11, 10, 9, 0, 0}));
    EXPECT_EQ(StartOf(items.Entries()[2]), (StoreDate{2026, 11, 20, 9, 0, 0}));
}

}  // namespace
}  // namespace kalendro::memory_store
