#include "platform/mailbox/mailbox_items.h"

#include <gtest/gtest.h>

#include "platform/failure.h"

namespace kalendro::mailbox {
namespace {

std::shared_ptr<const MailboxItem> Appointment(const std::string& subject, StoreDate start) {
    auto item = std::make_shared<MailboxItem>();
    item->typeName = "AppointmentItem";
    item->members = {{"Subject", subject}, {"Start", start}, {"EntryID", std::string("E-") + subject}};
    return item;
}

TEST(MailboxItemsTest, AnOccurrenceReadsItsOverridesBeforeItsSeriesMembers) {
    auto series = Appointment("Weekly", StoreDate{2026, 11, 2, 9, 0, 0});
    auto overrides = std::make_shared<Members>(
        Members{{"Start", StoreDate{2026, 11, 9, 10, 0, 0}}, {"Location", std::string("Room 2")}});
    const CollectionEntry occurrence{series, overrides};
    EXPECT_EQ(StartOf(occurrence), (StoreDate{2026, 11, 9, 10, 0, 0}));
    auto item = MakeStoreItem(occurrence);
    EXPECT_EQ(item->Date("Start"), (StoreDate{2026, 11, 9, 10, 0, 0}));
    EXPECT_EQ(item->Text("Location"), "Room 2");
    EXPECT_EQ(item->Text("Subject"), "Weekly");
    EXPECT_EQ(item->Text("EntryID"), "E-Weekly");
    EXPECT_EQ(MakeStoreItem({series, nullptr})->Text("Location"), "");
}

TEST(MailboxItemsTest, SortOrdersOccurrencesByTheirOwnStartKeepingEqualOnesInOrder) {
    auto series = Appointment("Series", StoreDate{2026, 11, 1, 9, 0, 0});
    auto at = [](StoreDate start) { return std::make_shared<Members>(Members{{"Start", start}}); };
    MailboxItems items({{series, at(StoreDate{2026, 11, 20, 9, 0, 0})},
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

TEST(MailboxItemsTest, IncludeRecurrencesIsAFlagOfTheCollection) {
    MailboxItems items({}, std::make_shared<const RegionalSettings>());
    EXPECT_FALSE(items.IncludeRecurrences());
    items.SetIncludeRecurrences(true);
    EXPECT_TRUE(items.IncludeRecurrences());
    EXPECT_EQ(items.Count(), 0);
    EXPECT_EQ(items.Enumerate()->Next(), nullptr);
}

}  // namespace
}  // namespace kalendro::mailbox
