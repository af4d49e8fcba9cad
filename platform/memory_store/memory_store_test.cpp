// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/memory_store/memory_store.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/store/failure.h"
#include "testing/failure_of.h"

namespace kalendro::memory_store {
namespace {

StoreDate At(const char* text) { return *StoreDate::Parse(text); }

std::shared_ptr<MemoryFolder> Folder(const std::string& name, const std::string& storeId,
                                     const std::string& defaultRole = "") {
    auto folder = std::make_shared<MemoryFolder>();
    folder->name = name;
    folder->entryId = "E-" + name;
    folder->storeId = storeId;
    folder->defaultItemType = defaultRole == "contacts" ? 2 : 1;
    folder->defaultRole = defaultRole;
    return folder;
}

std::shared_ptr<MemoryItem> Appointment(const std::string& subject, const char* start, const char* end) {
    auto item = std::make_shared<MemoryItem>("AppointmentItem");
    item->members = {{MemberId::kEntryID, "E-" + subject},
                     {MemberId::kSubject, subject},
                     {MemberId::kStart, At(start)},
                     {MemberId::kEnd, At(end)}};
    return item;
}

std::vector<std::string> Lines(StoreItems& items) {
    std::vector<std::string> lines;
    auto enumerator = items.Enumerate();
    while (auto item = enumerator->Next()) {
        lines.push_back(item->Date("Start").ToText() + " " + item->Text("Subject"));
    }
    return lines;
}

std::string FailureOf(const std::function<void()>& action) {
    const Failure failure = testing::FailureOf(action);
    return std::to_string(failure.Number()) + " " + failure.Description();
}

// Three stores from two sources: the first without defaults, the second with a default calendar
// nested in a folder, the third with a default calendar of its own.
class SeveralStoresTest : public ::testing::Test {
protected:
    SeveralStoresTest() {
        auto first = Folder("Archive", "S1");
        first->folders.push_back(Folder("Old Calendar", "S1"));
        auto second = Folder("Work", "S2");
        auto projects = Folder("Projects", "S2");
        projects->folders.push_back(Folder("Work Calendar", "S2", "calendar"));
        second->folders.push_back(projects);
        auto third = Folder("Home", "S3");
        third->folders.push_back(Folder("Home Calendar", "S3", "calendar"));
        application_ = MakeMemoryApplication({{first, "the PST file \"archive.pst\""},
                                              {second, "the mailbox file \"work.json\""},
                                              {third, "the PST file \"archive.pst\""}},
                                             RegionalSettings{});
    }

    std::shared_ptr<StoreSession> Session() { return application_->GetNamespace("MAPI"); }

    std::shared_ptr<StoreApplication> application_;
};

TEST_F(SeveralStoresTest, TheSessionsFoldersAreTheStoresInTheirOrder) {
    std::vector<std::string> names;
    for (const auto& folder : Session()->Folders()) {
        names.push_back(folder->Name());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Archive", "Work", "Home"}));
}

TEST_F(SeveralStoresTest, TheDefaultFolderIsTheFirstMarkedOneDepthFirstInStoreOrder) {
    EXPECT_EQ(Session()->GetDefaultFolder(kDefaultCalendarFolder)->Name(), "Work Calendar");
    EXPECT_EQ(Session()->GetFolderFromID("E-Home Calendar", "S3")->Name(), "Home Calendar");
    EXPECT_EQ(Session()->GetFolderFromID("E-Old Calendar", "S1")->Name(), "Old Calendar");
}

TEST_F(SeveralStoresTest, MessagesNameEverySourceOnce) {
    EXPECT_EQ(FailureOf([&] { Session()->GetDefaultFolder(kDefaultContactsFolder); }),
              "440 GetDefaultFolder: the PST file \"archive.pst\" and the mailbox file \"work.json\" has no default "
              "contacts folder.");
    EXPECT_EQ(FailureOf([&] { Session()->GetFolderFromID("E-Home Calendar", "S2"); }),
              "440 GetFolderFromID: the PST file \"archive.pst\" and the mailbox file \"work.json\" has no folder "
              "with entry ID \"E-Home Calendar\" in the store with ID \"S2\".");
    const auto none = MakeMemoryApplication({}, RegionalSettings{})->GetNamespace("MAPI");
    EXPECT_TRUE(none->Folders().empty());
    EXPECT_EQ(FailureOf([&] { none->GetDefaultFolder(kDefaultCalendarFolder); }),
              "440 GetDefaultFolder: no store is open, so there is no default calendar folder.");
}

TEST_F(SeveralStoresTest, AnUnknownFolderIdIsQuotedShortWithItsControlsEscaped) {
    const std::string entryId = "E\n" + std::string(100000, 'x');
    const std::string message = FailureOf([&] { Session()->GetFolderFromID(entryId, "S\x1b"); });
    EXPECT_LT(message.size(), 400U) << message.substr(0, 400);
    EXPECT_NE(message.find("entry ID \"E\\nxxx"), std::string::npos) << message.substr(0, 400);
    EXPECT_NE(message.find("xx\"... in the store with ID \"S\\x1B\"."), std::string::npos) << message.substr(0, 400);
}

// A folder whose items are read on demand, counting the reads.
class LazyFolderTest : public ::testing::Test {
protected:
    LazyFolderTest() {
        auto calendar = Folder("Calendar", "S1", "calendar");
        calendar->items = std::make_shared<const FolderItems>(7, [this] {
            ++reads_;
            return ItemList{Appointment("Late", "2026-12-08T09:00:00", "2026-12-08T10:00:00"),
                            Appointment("Early", "2026-12-07T09:00:00", "2026-12-07T10:00:00")};
        });
        session_ =
            MakeMemoryApplication({{calendar, "the PST file \"a.pst\""}}, RegionalSettings{})->GetNamespace("MAPI");
    }

    std::unique_ptr<StoreItems> Items() { return session_->GetDefaultFolder(kDefaultCalendarFolder)->Items(); }

    int reads_ = 0;
    std::shared_ptr<StoreSession> session_;
};

TEST_F(LazyFolderTest, CountGivesTheExpectedCountWithoutReading) {
    EXPECT_EQ(Items()->Count(), 7);
    EXPECT_EQ(reads_, 0);
}

TEST_F(LazyFolderTest, TheItemsAreReadOnceForEveryCollectionAndThenCountedAsRead) {
    EXPECT_EQ(Lines(*Items()), (std::vector<std::string>{"2026-12-08T09:00:00 Late", "2026-12-07T09:00:00 Early"}));
    EXPECT_EQ(reads_, 1);
    auto sorted = Items();
    sorted->Sort("[Start]");
    EXPECT_EQ(Lines(*sorted), (std::vector<std::string>{"2026-12-07T09:00:00 Early", "2026-12-08T09:00:00 Late"}));
    EXPECT_EQ(Items()->Restrict("[Subject] = 'late'")->Count(), 1);
    EXPECT_EQ(Items()->Count(), 2);
    EXPECT_EQ(reads_, 1);
}

TEST_F(LazyFolderTest, RestrictReadsTheItems) {
    EXPECT_EQ(Items()->Restrict("[Subject] = 'early'")->Count(), 1);
    EXPECT_EQ(reads_, 1);
}

TEST(FolderItemsTest, AReaderThatFailsFailsEveryLaterRequestWithoutRunningAgain) {
    int reads = 0;
    const FolderItems items(3, [&reads]() -> ItemList {
        ++reads;
        throw Failure(kStoreOperationFailed, "The folder cannot be read.");
    });
    EXPECT_EQ(FailureOf([&] { items.All(); }), "440 The folder cannot be read.");
    EXPECT_EQ(FailureOf([&] { items.All(); }), "440 The folder cannot be read.");
    EXPECT_EQ(reads, 1);
    EXPECT_EQ(items.Count(), 3);
}

}  // namespace
}  // namespace kalendro::memory_store
