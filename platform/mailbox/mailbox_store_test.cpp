// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mailbox/mailbox_store.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/store/failure.h"
#include "testing/source_path.h"
#include "testing/temporary_directory.h"
#include "testing/failure_of.h"

namespace kalendro {
namespace {

// Two stores: the first with a default calendar of four appointments (two at one start, one without a
// start) and a nested calendar, and a default contacts folder of a contact and a list.
std::string Mailbox() {
    return testing::ReadFileBytes(testing::SourcePath("platform/mailbox/two-stores-mailbox.json"));
}

class MailboxStoreTest : public ::testing::Test {
protected:
    std::shared_ptr<StoreSession> Session(const std::string& text = Mailbox()) {
        return OpenMailboxText(text, "test.json", RegionalSettings{})->GetNamespace("MAPI");
    }

    static std::vector<std::string> Subjects(StoreItems& items) {
        std::vector<std::string> subjects;
        auto enumerator = items.Enumerate();
        while (auto item = enumerator->Next()) {
            subjects.push_back(item->Text("Subject"));
        }
        return subjects;
    }

    static void ExpectFailure(int number, const std::string& part, const std::function<void()>& action) {
        const Failure failure = testing::FailureOf(action);
        EXPECT_EQ(failure.Number(), number) << failure.Description();
        EXPECT_NE(failure.Description().find(part), std::string::npos) << failure.Description();
    }
};

TEST_F(MailboxStoreTest, NamespaceIsMapiOnly) {
    auto application = OpenMailboxText(Mailbox(), "test.json", RegionalSettings{});
    EXPECT_NE(application->GetNamespace("MAPI"), nullptr);
    ExpectFailure(kInvalidArgument, "\"mapi\"", [&] { application->GetNamespace("mapi"); });
}

TEST_F(MailboxStoreTest, DefaultFoldersAreTheMarkedOnes) {
    auto session = Session();
    EXPECT_EQ(session->GetDefaultFolder(kDefaultCalendarFolder)->Name(), "Calendar");
    EXPECT_EQ(session->GetDefaultFolder(kDefaultContactsFolder)->Name(), "Contacts");
    ExpectFailure(kStoreOperationFailed, "folder type 6 is not available", [&] { session->GetDefaultFolder(6); });
    auto bare = Session(R"({"format": "kalendro-mailbox/1", "stores": [{"name": "Empty"}]})");
    ExpectFailure(kStoreOperationFailed, "\"test.json\" has no default calendar folder",
                  [&] { bare->GetDefaultFolder(kDefaultCalendarFolder); });
    ExpectFailure(kStoreOperationFailed, "has no default contacts folder",
                  [&] { bare->GetDefaultFolder(kDefaultContactsFolder); });
}

TEST_F(MailboxStoreTest, ItemsAreANewCollectionOnEveryRequest) {
    auto calendar = Session()->GetDefaultFolder(kDefaultCalendarFolder);
    auto sorted = calendar->Items();
    sorted->Sort("[Start]");
    auto fresh = calendar->Items();
    EXPECT_NE(sorted.get(), fresh.get());
    EXPECT_EQ(Subjects(*fresh), (std::vector<std::string>{"Late", "Early A", "No start", "Early B"}));
    EXPECT_EQ(fresh->Count(), 4);
}

TEST_F(MailboxStoreTest, SortByStartIsStableAndPutsItemsWithoutStartLast) {
    auto items = Session()->GetDefaultFolder(kDefaultCalendarFolder)->Items();
    auto beforeSort = items->Enumerate();
    items->Sort("[Start]");
    EXPECT_EQ(Subjects(*items), (std::vector<std::string>{"Early A", "Early B", "Late", "No start"}));
    EXPECT_EQ(beforeSort->Next()->Text("Subject"), "Late");
    ExpectFailure(kInvalidArgument, "\"[End]\"", [&] { items->Sort("[End]"); });
}

TEST_F(MailboxStoreTest, EnumerationGivesEveryItemOnceThenNothing) {
    auto items = Session()->GetDefaultFolder(kDefaultContactsFolder)->Items();
    auto enumerator = items->Enumerate();
    EXPECT_EQ(enumerator->Next()->TypeName(), "ContactItem");
    EXPECT_EQ(enumerator->Next()->TypeName(), "DistListItem");
    EXPECT_EQ(enumerator->Next(), nullptr);
    EXPECT_EQ(enumerator->Next(), nullptr);
}

TEST_F(MailboxStoreTest, MembersReadTheirValuesAndUnsetOnesTheirUnsetValues) {
    auto items = Session()->GetDefaultFolder(kDefaultCalendarFolder)->Items();
    auto enumerator = items->Enumerate();
    auto late = enumerator->Next();
    EXPECT_EQ(late->Text("Location"), "Caf\xC3\xA9");
    EXPECT_EQ(late->Date("End"), (StoreDate{2026, 12, 6, 16, 0, 0}));
    EXPECT_EQ(late->Number("Importance"), 2);
    EXPECT_FALSE(late->Flag("AllDayEvent"));
    EXPECT_EQ(late->Text("EntryID").size(), 32u);
    auto bare = enumerator->Next();
    EXPECT_EQ(bare->Text("Body"), "");
    EXPECT_TRUE(bare->Date("End").IsNoDate());
    EXPECT_TRUE(bare->Date("CreationTime").IsNoDate());
    EXPECT_EQ(bare->Number("Importance"), 0);
    EXPECT_FALSE(bare->Flag("AllDayEvent"));
}

TEST_F(MailboxStoreTest, ReadsOutsideTheItemTypeOrOfAnotherKindFail) {
    auto contacts = Session()->GetDefaultFolder(kDefaultContactsFolder)->Items()->Enumerate();
    auto contact = contacts->Next();
    EXPECT_EQ(contact->Text("FirstName"), "Ann");
    EXPECT_EQ(contact->Date("Birthday"), (StoreDate{1980, 5, 4}));
    EXPECT_TRUE(contact->Date("Anniversary").IsNoDate());
    EXPECT_EQ(contact->Text("HomeAddressPostOfficeBox"), "");
    ExpectFailure(kStoreOperationFailed, "The ContactItem has no member \"Start\"", [&] { contact->Date("Start"); });
    ExpectFailure(kTypeMismatch, "\"Birthday\" of the ContactItem is a date, not a text",
                  [&] { contact->Text("Birthday"); });
    auto list = contacts->Next();
    EXPECT_EQ(list->Text("DLName"), "Team");
    ExpectFailure(kStoreOperationFailed, "The DistListItem has no member \"FirstName\"",
                  [&] { list->Text("FirstName"); });
    ExpectFailure(kTypeMismatch, "is a text, not a true or false", [&] { list->Flag("Subject"); });
}

TEST_F(MailboxStoreTest, EachOpeningReadsTheFileAfresh) {
    const std::string path = ::testing::TempDir() + "mailbox_store_test.json";
    auto write = [&](const std::string& storeName) {
        std::FILE* file = std::fopen(path.c_str(), "w");
        ASSERT_NE(file, nullptr);
        const std::string text = R"({"format": "kalendro-mailbox/1", "stores": [{"name": ")" + storeName + "\"}]}";
        std::fputs(text.c_str(), file);
        std::fclose(file);
    };
    write("First");
    auto first = OpenMailboxFile(path, RegionalSettings{});
    write("Second");
    auto second = OpenMailboxFile(path, RegionalSettings{});
    EXPECT_EQ(first->GetNamespace("MAPI")->Folders()[0]->Name(), "First");
    EXPECT_EQ(second->GetNamespace("MAPI")->Folders()[0]->Name(), "Second");
    std::remove(path.c_str());
    ExpectFailure(kStoreCannotOpen, "cannot be read", [&] { OpenMailboxFile(path, RegionalSettings{}); });
}

}  // namespace
}  // namespace kalendro
