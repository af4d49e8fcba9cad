// SPDX-License-Identifier: GPL-3.0-or-later
#include "contact_export/contact_export_run.h"

#include <gtest/gtest.h>

#include "testing/fake_file_system.h"
#include "testing/fake_store.h"
#include "testing/memory_text_stream.h"
#include "testing/recording_views.h"
#include "testing/worked_examples.h"

namespace kalendro {
namespace {

using testing::Contact;
using testing::CountOf;
using testing::FakeDisk;
using testing::FakeFileSystem;
using testing::FakeFolder;
using testing::FakeItem;
using testing::FakeStore;
using testing::MemoryTextStream;
using testing::RecordingContactView;

constexpr const char* kPath = "c:\\contacts.vcf";

class ContactRunTest : public ::testing::Test {
protected:
    void Run() {
        PlatformServices services;
        services.createStoreApplication = [this] {
            ++storeConnections_;
            if (storeMissing_) {
                throw Failure(kStoreCannotOpen, "ActiveX component can't create object");
            }
            return std::static_pointer_cast<StoreApplication>(store_);
        };
        services.createFileSystem = [this] { return std::make_unique<FakeFileSystem>(disk_); };
        state_.ExportRunning = true;
        ExportContacts(services, kPath, state_, view_);
    }
    void ExpectOneFailureMessage(int cause) {
        EXPECT_EQ(view_.messages,
                  std::vector<std::string>{"The output file could not be created at the specified path."});
        EXPECT_EQ(view_.causes, std::vector<int>{cause});
    }

    void TearDown() override {
        EXPECT_TRUE(contacts_->faults.log->empty()) << "the contact run sorts, expands and filters nothing";
    }

    std::shared_ptr<FakeFolder> contacts_ = testing::ContactsFolder();
    std::shared_ptr<FakeStore> store_ = std::make_shared<FakeStore>(std::vector{contacts_});
    // The file the run wrote.
    const MemoryTextStream& File() const { return *disk_->files.at(kPath); }

    std::shared_ptr<FakeDisk> disk_ = std::make_shared<FakeDisk>();
    bool storeMissing_ = false;
    int storeConnections_ = 0;
    ContactExportState state_;
    RecordingContactView view_;
};

TEST_F(ContactRunTest, WritesEveryContactAndPassesOverOtherItems) {
    for (int i = 1; i <= 12; ++i) {
        contacts_->items.push_back(i == 4 || i == 9 ? std::make_shared<FakeItem>("DistListItem")
                                                    : Contact("C" + std::to_string(i)));
    }
    Run();
    EXPECT_EQ(store_->namespaceType, "MAPI");
    EXPECT_EQ(store_->folderAsked, 10);
    EXPECT_EQ(disk_->calls, std::vector<std::string>{"CreateTextFile c:\\contacts.vcf overwrite"});
    EXPECT_EQ(CountOf(File().Bytes(), "BEGIN:VCARD\r\n"), 10);
    EXPECT_EQ(CountOf(File().Bytes(), "END:VCARD\r\n"), 10);
    EXPECT_TRUE(File().Closed());
    ASSERT_EQ(view_.statuses.size(), 10u);
    EXPECT_EQ(view_.statuses.front(), "Status: C1 (1 of 12)");
    EXPECT_EQ(view_.statuses.back(), "Status: C12 (10 of 12)");
    EXPECT_EQ(state_.ContactsDone, 10);
    EXPECT_EQ(view_.eventRounds, 10);  // once per contact item, never for the lists
    EXPECT_TRUE(view_.messages.empty());
}

TEST_F(ContactRunTest, EmptyFolderGivesAnEmptyClosedFile) {
    Run();
    EXPECT_EQ(disk_->calls.size(), 1u);
    EXPECT_EQ(File().Bytes(), "");
    EXPECT_TRUE(File().Closed());
    EXPECT_TRUE(view_.statuses.empty());
}

TEST_F(ContactRunTest, FolderAbove32767ItemsIsExportedWithTrueCounts) {
    constexpr int kContacts = 32770;
    const auto contact = Contact("Same");
    contacts_->items.assign(kContacts, contact);
    contacts_->items.push_back(std::make_shared<FakeItem>("DistListItem"));
    Run();
    EXPECT_TRUE(view_.messages.empty());
    EXPECT_EQ(state_.TotalItems, kContacts + 1);
    EXPECT_EQ(state_.ContactsDone, kContacts);
    EXPECT_EQ(view_.statuses[32767], "Status: Same (32768 of 32771)");
    EXPECT_EQ(view_.statuses.back(), "Status: Same (32770 of 32771)");
    EXPECT_EQ(CountOf(File().Bytes(), "END:VCARD\r\n"), kContacts);
    EXPECT_TRUE(File().Closed());
}

TEST_F(ContactRunTest, StopEndsTheRunAfterTheCurrentCard) {
    for (int i = 0; i < 5; ++i) {
        contacts_->items.push_back(Contact("C" + std::to_string(i)));
    }
    view_.onProcessEvents = [this] {
        if (view_.eventRounds == 2) {
            state_.ExportRunning = false;
        }
    };
    Run();
    EXPECT_EQ(CountOf(File().Bytes(), "BEGIN:VCARD"), 2);
    EXPECT_TRUE(File().Bytes().ends_with("END:VCARD\r\n"));
    EXPECT_TRUE(File().Closed());
    EXPECT_EQ(state_.ContactsDone, 2);
}

TEST_F(ContactRunTest, NamelessContactIsSkippedButCounted) {
    contacts_->items = {Contact("A"), std::make_shared<FakeItem>("ContactItem"), Contact("B")};
    Run();
    EXPECT_EQ(view_.statuses, (std::vector<std::string>{"Status: A (1 of 3)", "Status: B (3 of 3)"}));
    EXPECT_EQ(CountOf(File().Bytes(), "BEGIN:VCARD"), 2);
}

TEST_F(ContactRunTest, EachRunConnectsToTheStoreAfresh) {
    Run();
    Run();
    EXPECT_EQ(storeConnections_, 2);
}

TEST_F(ContactRunTest, FailuresBeforeTheFileLeaveNoFile) {
    storeMissing_ = true;
    Run();
    ExpectOneFailureMessage(kStoreCannotOpen);
    EXPECT_TRUE(disk_->calls.empty());

    storeMissing_ = false;
    view_ = RecordingContactView();
    store_->failingFolder = 10;
    Run();
    ExpectOneFailureMessage(kStoreOperationFailed);
    EXPECT_TRUE(disk_->calls.empty());

    store_->failingFolder = 0;
    view_ = RecordingContactView();
    disk_->createFileFails = true;
    Run();
    ExpectOneFailureMessage(kPathNotFound);
}

TEST_F(ContactRunTest, CountFailureLeavesAnEmptyUnclosedFile) {
    contacts_->faults.failCount = true;
    Run();
    ExpectOneFailureMessage(kStoreOperationFailed);
    EXPECT_EQ(disk_->calls.size(), 1u);
    EXPECT_EQ(File().Bytes(), "");
    EXPECT_FALSE(File().Closed());
}

TEST_F(ContactRunTest, FailureMidCardKeepsEverythingWrittenBefore) {
    auto broken = Contact("B");
    broken->Set("Categories", "x").FailOn("Categories");
    contacts_->items = {Contact("A"), broken, Contact("C")};
    Run();
    ExpectOneFailureMessage(kStoreOperationFailed);
    EXPECT_EQ(CountOf(File().Bytes(), "BEGIN:VCARD"), 2);
    EXPECT_EQ(CountOf(File().Bytes(), "END:VCARD"), 1);
    EXPECT_TRUE(File().Bytes().ends_with("FN:B\r\n"));
    EXPECT_FALSE(File().Closed());
    EXPECT_EQ(view_.statuses.back(), "Status: B (2 of 3)");
}

TEST_F(ContactRunTest, WriteFailureEndsTheRunWithTheMessage) {
    disk_->failAfterWrites = 5;
    contacts_->items = {Contact("A"), Contact("B")};
    Run();
    ExpectOneFailureMessage(kDeviceUnavailable);
    EXPECT_EQ(File().Writes(), 5);
    EXPECT_FALSE(File().Closed());
}

}  // namespace
}  // namespace kalendro
