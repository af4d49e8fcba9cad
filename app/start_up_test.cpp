// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/start_up.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QTreeWidget>

#include "app/form1.h"
#include "platform/files/output_files.h"
#include "platform/store/failure.h"
#include "platform/store_files/store_files.h"
#include "testing/source_path.h"
#include "testing/window_controls.h"
#include "testing/failure_of.h"

namespace kalendro {
namespace {

using Paths = std::vector<std::string>;

TEST(StartArguments, StoresAreTakenWithOrWithoutTheOption) {
    EXPECT_EQ(ParseStorePaths({}), Paths{});
    EXPECT_EQ(ParseStorePaths({"archive.pst"}), Paths{"archive.pst"});
    EXPECT_EQ(ParseStorePaths({"--store", "a.pst", "b.json", "--store", "-c.ost"}),
              (Paths{"a.pst", "b.json", "-c.ost"}));
    EXPECT_TRUE(AsksForHelp({"a.pst", "--help"}));
    EXPECT_TRUE(AsksForHelp({"-h"}));
    EXPECT_FALSE(AsksForHelp({"a.pst", "--helpful"}));
}

TEST(StartArguments, UnknownOptionsAndAStoreWithoutItsFileAreRejected) {
    for (const Paths& arguments : {Paths{"--stor", "a.pst"}, Paths{"a.pst", "--store"}, Paths{"-x"}}) {
        EXPECT_EQ(testing::FailureOf([&] { ParseStorePaths(arguments); }).Number(), kInvalidArgument)
            << arguments.front();
    }
}

// Records which files each opening was given, and how often the user was asked.
class StoreOpenerTest : public ::testing::Test {
protected:
    StoreApplicationFactory Opener(Paths named, std::optional<std::string> choice) {
        return StoreOpener(
            std::move(named),
            [this, choice] {
                ++questions_;
                return choice;
            },
            [this](const Paths& paths) {
                opened_.push_back(paths);
                return std::shared_ptr<StoreApplication>();
            });
    }

    int questions_ = 0;
    std::vector<Paths> opened_;
};

TEST_F(StoreOpenerTest, NamedFilesAreOpenedWithoutAsking) {
    const StoreApplicationFactory open = Opener({"a.pst", "b.json"}, "chosen.pst");
    open();
    open();
    EXPECT_EQ(questions_, 0);
    EXPECT_EQ(opened_, (std::vector<Paths>{{"a.pst", "b.json"}, {"a.pst", "b.json"}}));
}

TEST_F(StoreOpenerTest, WithoutFilesTheUserIsAskedOnceAndEveryCopyOpensTheChoice) {
    const StoreApplicationFactory open = Opener({}, "chosen.pst");
    const StoreApplicationFactory contactWindowCopy = open;
    open();
    contactWindowCopy();
    EXPECT_EQ(questions_, 1);
    EXPECT_EQ(opened_, (std::vector<Paths>{{"chosen.pst"}, {"chosen.pst"}}));
}

TEST_F(StoreOpenerTest, ACancelledChoiceIsFailure429AndOpensNothing) {
    const StoreApplicationFactory open = Opener({}, std::nullopt);
    EXPECT_EQ(testing::FailureOf([&] { open(); }).Number(), kStoreCannotOpen);
    EXPECT_TRUE(opened_.empty());
}

TEST(StartUp, TheChosenDemoMailboxFillsTheMainWindow) {
    PlatformServices services;
    services.createStoreApplication = StoreOpener(
        {}, [] { return testing::SourcePath("samples/demo-mailbox.json").string(); },
        [&services](const Paths& paths) { return OpenStoreFiles(paths, services.regional, nullptr); });
    services.createFileSystem = [] { return OpenDiskFileSystem(); };
    services.today = StoreDate{2026, 12, 1};
    Form1 window(services);
    window.Form_Initialize();
    const auto* tree = testing::FindControl<QTreeWidget>(window, "CalTree");
    ASSERT_NE(tree, nullptr);
    EXPECT_GT(tree->topLevelItem(0)->childCount(), 0);
}

}  // namespace
}  // namespace kalendro
