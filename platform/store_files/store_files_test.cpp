// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/store_files/store_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <set>

#include "platform/store/failure.h"
#include "testing/source_path.h"
#include "testing/temporary_directory.h"
#include "testing/failure_of.h"

namespace kalendro {
namespace {

namespace fs = std::filesystem;

std::string SamplePath(std::string_view name) {
    return kalendro::testing::SourcePath("testing/data/pst/" + std::string(name)).string();
}

class StoreFilesTest : public ::testing::Test {
protected:
    std::shared_ptr<StoreSession> Open(const std::vector<std::string>& paths) {
        return OpenStoreFiles(paths, RegionalSettings{},
                              [this](const std::string& message) { warnings.push_back(message); })
            ->GetNamespace("MAPI");
    }

    std::vector<std::string> warnings;
};

// One line per folder below the store: its depth, name, default item type and count.
std::string TreeText(StoreFolder& folder, std::size_t depth = 0) {
    std::string text;
    for (const std::shared_ptr<StoreFolder>& subfolder : folder.Folders()) {
        text += std::string(depth * 2, ' ') + subfolder->Name() + " " + std::to_string(subfolder->DefaultItemType()) +
                " " + std::to_string(subfolder->Items()->Count()) + "\n";
        text += TreeText(*subfolder, depth + 1);
    }
    return text;
}

std::vector<std::shared_ptr<StoreItem>> AllItems(StoreItems& items) {
    std::vector<std::shared_ptr<StoreItem>> all;
    const std::unique_ptr<StoreItemEnumerator> walk = items.Enumerate();
    while (std::shared_ptr<StoreItem> item = walk->Next()) {
        all.push_back(std::move(item));
    }
    return all;
}

void ForEachFolder(StoreFolder& folder, const std::function<void(StoreFolder&)>& visit) {
    visit(folder);
    for (const std::shared_ptr<StoreFolder>& subfolder : folder.Folders()) {
        ForEachFolder(*subfolder, visit);
    }
}

// The store's name, then its folders one level in: the golden file NAME.tree beside each sample.
std::string StoreTreeText(StoreFolder& store) { return store.Name() + "\n" + TreeText(store, 1); }

std::string ExpectedTree(std::string_view sample) {
    return kalendro::testing::ReadFileBytes(fs::path(SamplePath(sample)).replace_extension(".tree"));
}

// The offline file's message store has no name: the file's name stands in.
TEST_F(StoreFilesTest, EverySampleShowsItsOwnFoldersUnderItsStoreName) {
    for (const char* sample : {"dist-list.pst", "passworded.pst", "sample-contacts.pst", "sample-offline.ost"}) {
        SCOPED_TRACE(sample);
        const auto tops = Open({SamplePath(sample)})->Folders();
        ASSERT_EQ(tops.size(), 1u);
        EXPECT_EQ(StoreTreeText(*tops[0]), ExpectedTree(sample));
    }
    EXPECT_TRUE(warnings.empty());
}

// With the file emptied after opening, nothing more can be read from it: the counts still come
// (they are the folders' own), and a folder's items, never read at open, now fail.
TEST_F(StoreFilesTest, OpeningAndCountingReadNoItems) {
    kalendro::testing::TemporaryDirectory directory;
    const fs::path copy = directory.Path() / "offline.ost";
    fs::copy_file(SamplePath("sample-offline.ost"), copy);
    const std::shared_ptr<StoreSession> session = Open({copy.string()});
    const std::shared_ptr<StoreFolder> top = session->Folders().at(0);
    const std::string before = TreeText(*top);
    fs::resize_file(copy, 0);

    EXPECT_EQ(TreeText(*top), before);
    std::vector<std::string> unread;
    ForEachFolder(*top, [&](StoreFolder& folder) {
        std::unique_ptr<StoreItems> items = folder.Items();
        if (items->Count() == 0) {
            return;
        }
        try {
            EXPECT_LT(AllItems(*items).size(), static_cast<std::size_t>(items->Count())) << folder.Name();
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.Number(), kStoreOperationFailed) << failure.Description();
        }
        unread.push_back(folder.Name());
    });
    EXPECT_EQ(unread, (std::vector<std::string>{"Deleted Items", "Inbox", "sub1", "sub2", "Sent Items", "Calendar",
                                                "Sync Issues"}));
}

TEST_F(StoreFilesTest, AFileWithoutCalendarHasNoDefaultCalendar) {
    const std::shared_ptr<StoreSession> session = Open({SamplePath("sample-contacts.pst")});
    EXPECT_EQ(session->GetDefaultFolder(kDefaultContactsFolder)->Items()->Count(), 6);
    const Failure failure = kalendro::testing::FailureOf([&] { session->GetDefaultFolder(kDefaultCalendarFolder); });
    EXPECT_EQ(failure.Number(), kStoreOperationFailed);
    EXPECT_NE(failure.Description().find("sample-contacts.pst\" has no default calendar folder"), std::string::npos)
        << failure.Description();
}

std::vector<std::string> EntryIds(StoreSession& session) {
    std::vector<std::string> ids;
    ForEachFolder(*session.Folders().at(0), [&](StoreFolder& folder) {
        ids.push_back(folder.StoreID() + "/" + folder.EntryID());
        for (const auto& item : AllItems(*folder.Items())) {
            ids.push_back(item->Text("EntryID"));
        }
    });
    return ids;
}

TEST_F(StoreFilesTest, EntryIdsAreTheSameAtEveryOpening) {
    for (const char* file : {"dist-list.pst", "sample-contacts.pst", "sample-offline.ost"}) {
        SCOPED_TRACE(file);
        const std::vector<std::string> first = EntryIds(*Open({SamplePath(file)}));
        EXPECT_EQ(EntryIds(*Open({SamplePath(file)})), first);
        EXPECT_EQ(std::set<std::string>(first.begin(), first.end()).size(), first.size());
        const std::shared_ptr<StoreSession> session = Open({SamplePath(file)});
        const std::shared_ptr<StoreFolder> contacts = session->GetDefaultFolder(kDefaultContactsFolder);
        EXPECT_EQ(session->GetFolderFromID(contacts->EntryID(), contacts->StoreID())->Name(), contacts->Name());
    }
}

TEST_F(StoreFilesTest, EveryFileGivesItsTopLevelStoresInTheOrderGivenWithTheFirstOnesDefaults) {
    const std::string mailbox = kalendro::testing::SourcePath("samples/demo-mailbox.json").string();
    const std::shared_ptr<StoreSession> session = Open({SamplePath("dist-list.pst"), mailbox});
    const auto tops = session->Folders();
    const auto mailboxTops = Open({mailbox})->Folders();
    ASSERT_EQ(tops.size(), 1 + mailboxTops.size());
    EXPECT_EQ(tops[0]->StoreID(), Open({SamplePath("dist-list.pst")})->Folders().at(0)->StoreID());
    EXPECT_EQ(StoreTreeText(*tops[0]), ExpectedTree("dist-list.pst"));
    for (std::size_t index = 0; index < mailboxTops.size(); ++index) {
        EXPECT_EQ(tops[index + 1]->StoreID(), mailboxTops[index]->StoreID());
        EXPECT_EQ(TreeText(*tops[index + 1]), TreeText(*mailboxTops[index]));
    }
    for (const int role : {kDefaultCalendarFolder, kDefaultContactsFolder}) {
        EXPECT_EQ(session->GetDefaultFolder(role)->StoreID(), tops[0]->StoreID()) << role;
    }
}

TEST_F(StoreFilesTest, AFileThatIsNoStoreIsRefusedNamingIt) {
    kalendro::testing::TemporaryDirectory directory;
    const fs::path truncated = directory.Path() / "truncated.pst";
    std::ofstream(truncated, std::ios::binary)
        << kalendro::testing::ReadFileBytes(SamplePath("dist-list.pst")).substr(0, 600);
    const Failure failure = kalendro::testing::FailureOf([&] { Open({truncated.string()}); });
    EXPECT_EQ(failure.Number(), kStoreCannotOpen);
    EXPECT_NE(failure.Description().find(truncated.string()), std::string::npos) << failure.Description();
}

// Opening a named pipe to read blocks until a writer comes, so the file must be refused unopened. Should
// it be opened, the test stops waiting after a while and writes nothing to end the reading.
TEST_F(StoreFilesTest, ANamedPipeIsRefusedWithoutOpeningIt) {
    kalendro::testing::TemporaryDirectory directory;
    const std::string pipe = (directory.Path() / "store.pst").string();
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    auto opening = std::async(std::launch::async, [&] {
        try {
            Open({pipe});
            return std::string("opened");
        } catch (const Failure& failure) {
            return std::to_string(failure.Number()) + " " + failure.Description();
        }
    });
    if (opening.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        ADD_FAILURE() << "the named pipe was opened to read";
        close(open(pipe.c_str(), O_WRONLY | O_NONBLOCK));
    }
    const std::string outcome = opening.get();
    EXPECT_EQ(outcome.rfind("429 ", 0), 0U) << outcome;
    EXPECT_NE(outcome.find(pipe), std::string::npos) << outcome;
    EXPECT_NE(outcome.find("not a regular file"), std::string::npos) << outcome;
}

// One byte changed inside the first contact's property data (found by changing the file's bytes one
// by one): that contact is left out, told once with its folder, and the other five read.
TEST_F(StoreFilesTest, ADamagedItemIsLeftOutAndToldOnceWhileTheRestReads) {
    kalendro::testing::TemporaryDirectory directory;
    const fs::path damaged = directory.Path() / "damaged.pst";
    std::string bytes = kalendro::testing::ReadFileBytes(SamplePath("sample-contacts.pst"));
    bytes.at(23168) ^= 0x55;
    std::ofstream(damaged, std::ios::binary) << bytes;
    const std::shared_ptr<StoreSession> session = Open({damaged.string()});
    EXPECT_TRUE(warnings.empty());

    const std::shared_ptr<StoreFolder> contacts = session->GetDefaultFolder(kDefaultContactsFolder);
    EXPECT_EQ(contacts->Items()->Count(), 6);
    const auto read = AllItems(*contacts->Items());
    ASSERT_EQ(read.size(), 5u);
    EXPECT_EQ(read[0]->Text("CompanyName"), "Grade A Investment");
    EXPECT_EQ(AllItems(*contacts->Items()).size(), 5u);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].substr(0, warnings[0].find('\n')), "Personal folders > Contacts: 1 item(s) left out");
}

std::vector<std::string> Subjects(StoreFolder& folder) {
    std::vector<std::string> subjects;
    for (const std::shared_ptr<StoreItem>& item : AllItems(*folder.Items())) {
        subjects.push_back(item->Text("Subject"));
    }
    return subjects;
}

// A calendar whose contents table lacks "Meeting 2" and lists a message the file does not hold: every
// message the file holds is read, and both disagreements are told.
TEST_F(StoreFilesTest, AFolderWhoseContentsTableDisagreesWithItsNodesGivesEveryItemAndSaysSo) {
    const std::shared_ptr<StoreSession> session = Open({SamplePath("contents-table-mismatch.pst")});
    EXPECT_EQ(Subjects(*session->GetDefaultFolder(kDefaultCalendarFolder)),
              (std::vector<std::string>{"Meeting 0", "Meeting 1", "Meeting 2", "Meeting 3", "Meeting 4"}));
    ASSERT_EQ(warnings.size(), 3u);
    EXPECT_NE(warnings[0].find("1 message(s) missing from the folder's contents table are read all the same"),
              std::string::npos)
        << warnings[0];
    EXPECT_NE(warnings[1].find("1 message(s) of the folder's contents table are not under it"), std::string::npos)
        << warnings[1];
    EXPECT_NE(warnings[2].find(": 1 item(s) left out\n  item "), std::string::npos) << warnings[2];
    EXPECT_NE(warnings[2].find("is missing from the file"), std::string::npos) << warnings[2];
}

// "Meeting 1" has a block whose CRC does not fit it, "Meeting 4" a heap cut short: those two are left
// out with their reasons, the other four read.
TEST_F(StoreFilesTest, EachDamagedMessageIsLeftOutWithItsReason) {
    const std::shared_ptr<StoreSession> session = Open({SamplePath("damaged-message.pst")});
    EXPECT_EQ(Subjects(*session->GetDefaultFolder(kDefaultCalendarFolder)),
              (std::vector<std::string>{"Meeting 0", "Meeting 2", "Meeting 3", "Meeting 5"}));
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].substr(0, warnings[0].find('\n')), "Empty > Calendar: 2 item(s) left out");
    EXPECT_NE(warnings[0].find("is damaged"), std::string::npos) << warnings[0];
}

}  // namespace
}  // namespace kalendro
