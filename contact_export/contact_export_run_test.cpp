#include "contact_export/contact_export_run.h"

#include <gtest/gtest.h>

#include "contact_export/contact_test_support.h"

namespace kalendro {
namespace {

using testing::Contact;
using testing::CountOf;
using testing::FakeItem;
using testing::FakeStore;
using testing::MemoryTextStream;
using testing::RecordingView;

// Forwards to a memory stream the test keeps; Close is recorded there, release is not.
class ForwardingStream : public TextStream {
public:
    explicit ForwardingStream(MemoryTextStream& target) : target_(target) {}
    void WriteLine(std::string_view text) override { target_.WriteLine(text); }
    void Write(std::string_view text) override { target_.Write(text); }
    void Close() override { target_.Close(); }

private:
    MemoryTextStream& target_;
};

class FakeFileSystem : public FileSystem {
public:
    FakeFileSystem(MemoryTextStream& file, std::vector<std::string>& createdPaths, bool fail)
        : file_(file), createdPaths_(createdPaths), fail_(fail) {}
    std::unique_ptr<TextStream> CreateTextFile(std::string_view path, bool overwrite) override {
        if (fail_) {
            throw Failure(kPathNotFound, "Path not found");
        }
        EXPECT_TRUE(overwrite);
        createdPaths_.emplace_back(path);
        return std::make_unique<ForwardingStream>(file_);
    }
    bool DriveExists(std::string_view) override { return true; }
    bool FolderExists(std::string_view) override { return true; }
    void CreateFolder(std::string_view) override {}
    std::vector<DriveEntry> Drives() override { return {}; }
    std::string CurrentDrive() override { return "c:"; }

private:
    MemoryTextStream& file_;
    std::vector<std::string>& createdPaths_;
    bool fail_;
};

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
        services.createFileSystem = [this] {
            return std::make_unique<FakeFileSystem>(file_, createdPaths_, fileFails_);
        };
        state_.ExportRunning = true;
        ExportContacts(services, "c:\\contacts.vcf", state_, view_);
    }
    void ExpectOneFailureMessage(int cause) {
        EXPECT_EQ(view_.messages,
                  std::vector<std::string>{"The output file could not be created at the specified path."});
        EXPECT_EQ(view_.causes, std::vector<int>{cause});
    }

    std::shared_ptr<FakeStore> store_ = std::make_shared<FakeStore>();
    MemoryTextStream file_;
    std::vector<std::string> createdPaths_;
    bool fileFails_ = false;
    bool storeMissing_ = false;
    int storeConnections_ = 0;
    ContactExportState state_;
    RecordingView view_;
};

TEST_F(ContactRunTest, WritesEveryContactAndPassesOverOtherItems) {
    for (int i = 1; i <= 12; ++i) {
        store_->items.push_back(i == 4 || i == 9 ? std::make_shared<FakeItem>("DistListItem")
                                                 : Contact("C" + std::to_string(i)));
    }
    Run();
    EXPECT_EQ(store_->namespaceType, "MAPI");
    EXPECT_EQ(store_->folderAsked, 10);
    EXPECT_EQ(createdPaths_, std::vector<std::string>{"c:\\contacts.vcf"});
    EXPECT_EQ(CountOf(file_.Bytes(), "BEGIN:VCARD\r\n"), 10);
    EXPECT_EQ(CountOf(file_.Bytes(), "END:VCARD\r\n"), 10);
    EXPECT_TRUE(file_.Closed());
    ASSERT_EQ(view_.statuses.size(), 10u);
    EXPECT_EQ(view_.statuses.front(), "Status: C1 (1 of 12)");
    EXPECT_EQ(view_.statuses.back(), "Status: C12 (10 of 12)");
    EXPECT_EQ(state_.ContactsDone, 10);
    EXPECT_EQ(view_.eventRounds, 10);  // once per contact item, never for the lists
    EXPECT_TRUE(view_.messages.empty());
}

TEST_F(ContactRunTest, EmptyFolderGivesAnEmptyClosedFile) {
    Run();
    EXPECT_EQ(createdPaths_.size(), 1u);
    EXPECT_EQ(file_.Bytes(), "");
    EXPECT_TRUE(file_.Closed());
    EXPECT_TRUE(view_.statuses.empty());
}

TEST_F(ContactRunTest, FolderAbove32767ItemsIsExportedWithTrueCounts) {
    constexpr int kContacts = 32770;
    const auto contact = Contact("Same");
    store_->items.assign(kContacts, contact);
    store_->items.push_back(std::make_shared<FakeItem>("DistListItem"));
    Run();
    EXPECT_TRUE(view_.messages.empty());
    EXPECT_EQ(state_.TotalItems, kContacts + 1);
    EXPECT_EQ(state_.ContactsDone, kContacts);
    EXPECT_EQ(view_.statuses[32767], "Status: Same (32768 of 32771)");
    EXPECT_EQ(view_.statuses.back(), "Status: Same (32770 of 32771)");
    EXPECT_EQ(CountOf(file_.Bytes(), "END:VCARD\r\n"), kContacts);
    EXPECT_TRUE(file_.Closed());
}

TEST_F(ContactRunTest, StopEndsTheRunAfterTheCurrentCard) {
    for (int i = 0; i < 5; ++i) {
        store_->items.push_back(Contact("C" + std::to_string(i)));
    }
    view_.onProcessEvents = [this] {
        if (view_.eventRounds == 2) {
            state_.ExportRunning = false;
        }
    };
    Run();
    EXPECT_EQ(CountOf(file_.Bytes(), "BEGIN:VCARD"), 2);
    EXPECT_TRUE(file_.Bytes().ends_with("END:VCARD\r\n"));
    EXPECT_TRUE(file_.Closed());
    EXPECT_EQ(state_.ContactsDone, 2);
}

TEST_F(ContactRunTest, NamelessContactIsSkippedButCounted) {
    store_->items = {Contact("A"), std::make_shared<FakeItem>(), Contact("B")};
    Run();
    EXPECT_EQ(view_.statuses, (std::vector<std::string>{"Status: A (1 of 3)", "Status: B (3 of 3)"}));
    EXPECT_EQ(CountOf(file_.Bytes(), "BEGIN:VCARD"), 2);
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
    EXPECT_TRUE(createdPaths_.empty());

    storeMissing_ = false;
    view_ = RecordingView();
    store_->failingFolder = 10;
    Run();
    ExpectOneFailureMessage(kStoreOperationFailed);
    EXPECT_TRUE(createdPaths_.empty());

    store_->failingFolder = 0;
    view_ = RecordingView();
    fileFails_ = true;
    Run();
    ExpectOneFailureMessage(kPathNotFound);
}

TEST_F(ContactRunTest, CountFailureLeavesAnEmptyUnclosedFile) {
    store_->failCount = true;
    Run();
    ExpectOneFailureMessage(kStoreOperationFailed);
    EXPECT_EQ(createdPaths_.size(), 1u);
    EXPECT_EQ(file_.Bytes(), "");
    EXPECT_FALSE(file_.Closed());
}

TEST_F(ContactRunTest, FailureMidCardKeepsEverythingWrittenBefore) {
    auto broken = Contact("B");
    broken->Set("Categories", "x").FailOn("Categories");
    store_->items = {Contact("A"), broken, Contact("C")};
    Run();
    ExpectOneFailureMessage(kStoreOperationFailed);
    EXPECT_EQ(CountOf(file_.Bytes(), "BEGIN:VCARD"), 2);
    EXPECT_EQ(CountOf(file_.Bytes(), "END:VCARD"), 1);
    EXPECT_TRUE(file_.Bytes().ends_with("FN:B\r\n"));
    EXPECT_FALSE(file_.Closed());
    EXPECT_EQ(view_.statuses.back(), "Status: B (2 of 3)");
}

TEST_F(ContactRunTest, WriteFailureEndsTheRunWithTheMessage) {
    file_ = MemoryTextStream(5);
    store_->items = {Contact("A"), Contact("B")};
    Run();
    ExpectOneFailureMessage(kDeviceUnavailable);
    EXPECT_EQ(file_.Writes(), 5);
    EXPECT_FALSE(file_.Closed());
}

}  // namespace
}  // namespace kalendro
