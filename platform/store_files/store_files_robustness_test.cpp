// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <random>

#include "platform/store/failure.h"
#include "platform/store_files/store_files.h"
#include "testing/damaged_copies.h"
#include "testing/source_path.h"
#include "testing/temporary_directory.h"

namespace kalendro {
namespace {

struct Outcome {
    int refused = 0;  // failure 429 at open
    int opened = 0;
    std::size_t items = 0;
    std::size_t warnings = 0;
    std::size_t foldersRefused = 0;  // failure 440 when a folder's items were asked for
};

// Reads every item of the folder, as the contact run does, and every calendar's year, as the
// calendar run does (sorted, series expanded, restricted).
void ReadFolder(StoreFolder& folder, Outcome& outcome) {
    try {
        std::unique_ptr<StoreItems> items = folder.Items();
        if (folder.DefaultItemType() == kAppointmentItemType) {
            items->Sort("[Start]");
            items->SetIncludeRecurrences(true);
            items = items->Restrict("[Start] >= '01/01/2016 00:00' And [End] <= '01/01/2017 00:00'");
        }
        const std::unique_ptr<StoreItemEnumerator> walk = items->Enumerate();
        while (const std::shared_ptr<StoreItem> item = walk->Next()) {
            outcome.items += item->TypeName().empty() ? 0 : 1;
        }
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.Number(), kStoreOperationFailed) << failure.Description();
        ++outcome.foldersRefused;
    }
    for (const std::shared_ptr<StoreFolder>& subfolder : folder.Folders()) {
        ReadFolder(*subfolder, outcome);
    }
}

void ReadStore(const std::string& path, Outcome& outcome) {
    std::shared_ptr<StoreApplication> application;
    try {
        application = OpenStoreFiles({path}, RegionalSettings{}, [&](const std::string&) { ++outcome.warnings; });
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.Number(), kStoreCannotOpen) << failure.Description();
        ++outcome.refused;
        return;
    }
    ++outcome.opened;
    for (const std::shared_ptr<StoreFolder>& top : application->GetNamespace("MAPI")->Folders()) {
        ReadFolder(*top, outcome);
    }
}

// Damaged copies of every sample, read through the store as the program reads them: each opens
// or is refused with 429, never crashes, hangs or leaks.
TEST(StoreFilesRobustnessTest, DamagedSamplesOpenOrAreRefused) {
    const struct {
        const char* name;
        int variants;
    } samples[] = {
        {"dist-list.pst", 80},
        {"passworded.pst", 40},
        {"sample-contacts.pst", 60},
        {"sample-offline.ost", 40},
    };
    kalendro::testing::TemporaryDirectory directory;
    const std::string damagedPath = (directory.Path() / "damaged.pst").string();
    std::mt19937 random(7122026);
    Outcome outcome;
    int variantsRead = 0;
    for (const auto& sample : samples) {
        const std::string original = kalendro::testing::ReadFileBytes(
            kalendro::testing::SourcePath("testing/data/pst/" + std::string(sample.name)));
        ASSERT_FALSE(original.empty()) << sample.name;
        kalendro::testing::ForEachDamagedCopy(original, sample.variants, random, [&](const std::string& damaged) {
            std::ofstream(damagedPath, std::ios::binary | std::ios::trunc) << damaged;
            SCOPED_TRACE(std::string(sample.name) + " copy " + std::to_string(variantsRead));
            ReadStore(damagedPath, outcome);
            ++variantsRead;
        });
    }
    EXPECT_EQ(outcome.refused + outcome.opened, variantsRead);
    EXPECT_GT(outcome.opened, variantsRead / 2);
    EXPECT_GT(outcome.items, 0u);
    EXPECT_GT(outcome.refused, 0);
    EXPECT_GT(outcome.warnings + outcome.foldersRefused, 0u);
}

}  // namespace
}  // namespace kalendro
