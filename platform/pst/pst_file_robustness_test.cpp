#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "platform/failure.h"
#include "platform/pst/default_folders.h"
#include "platform/pst/pst_file.h"
#include "testing/damaged_copies.h"
#include "testing/libpff_leak_suppression.h"
#include "testing/source_path.h"
#include "testing/temporary_directory.h"

namespace kalendro::pst {
namespace {

struct Outcome {
    int refused = 0;  // Failure 429 at open
    int opened = 0;   // opened, every folder then read or refused with 440
    std::size_t messages = 0;
    std::size_t leftOut = 0;  // folders and messages left out with a warning
};

bool Holds(const FolderNode& folder, std::optional<std::uint32_t> nodeId) {
    if (folder.nodeId == nodeId) {
        return true;
    }
    for (const FolderNode& subfolder : folder.subfolders) {
        if (Holds(subfolder, nodeId)) {
            return true;
        }
    }
    return false;
}

void ReadFolders(PstFile& file, const FolderNode& folder, Outcome& outcome) {
    try {
        const FolderMessages read = file.ReadMessages(folder.nodeId);
        EXPECT_EQ(read.problems.size(), read.skipped);
        outcome.messages += read.messages.size();
        outcome.leftOut += read.skipped;
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.Number(), kStoreOperationFailed) << failure.Description();
        ++outcome.leftOut;
    }
    for (const FolderNode& subfolder : folder.subfolders) {
        ReadFolders(file, subfolder, outcome);
    }
}

// Opens the file and reads every folder's messages; any failure must be one of the program's own.
void ReadEverything(const std::string& path, Outcome& outcome) {
    std::shared_ptr<PstFile> file;
    try {
        file = PstFile::Open(path);
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.Number(), kStoreCannotOpen) << failure.Description();
        ++outcome.refused;
        return;
    }
    ++outcome.opened;
    outcome.leftOut += file->Warnings().size();
    ReadFolders(*file, file->Root(), outcome);
    const DefaultFolders defaults = FindDefaultFolders(file->Root(), file->MessageStore());
    EXPECT_TRUE(!defaults.calendar || Holds(file->Root(), defaults.calendar));
    EXPECT_TRUE(!defaults.contacts || Holds(file->Root(), defaults.contacts));
}

std::string ReadBytes(const std::string& path) { return kalendro::testing::ReadFileBytes(path); }

// Damaged copies of every sample (a few bytes changed at random places, the same ones at every run)
// are read or refused, never crash, hang or leak.
TEST(PstFileRobustnessTest, DamagedSamplesAreReadOrRefused) {
    const struct {
        const char* name;
        int variants;
    } samples[] = {
        {"dist-list.pst", 100},
        {"passworded.pst", 60},
        {"sample-contacts.pst", 60},
        {"sample-offline.ost", 40},
    };
    kalendro::testing::TemporaryDirectory directory;
    const std::string damagedPath = (directory.Path() / "damaged.pst").string();
    std::mt19937 random(20261207);
    Outcome outcome;
    int variantsRead = 0;
    for (const auto& sample : samples) {
        const std::string original =
            ReadBytes(kalendro::testing::SourcePath("testing/data/pst/" + std::string(sample.name)).string());
        ASSERT_FALSE(original.empty()) << sample.name;
        kalendro::testing::ForEachDamagedCopy(original, sample.variants, random, [&](const std::string& damaged) {
            std::ofstream(damagedPath, std::ios::binary | std::ios::trunc) << damaged;
            SCOPED_TRACE(std::string(sample.name) + " variant " + std::to_string(variantsRead));
            ReadEverything(damagedPath, outcome);
            ++variantsRead;
        });
    }
    EXPECT_EQ(outcome.refused + outcome.opened, variantsRead);
    // Most changes land in message data, so most copies still open and give their messages.
    EXPECT_GT(outcome.opened, variantsRead / 2);
    EXPECT_GT(outcome.messages, 0u);
    // And the damage shows: some copies refused, some folders or messages left out of others.
    EXPECT_GT(outcome.refused, 0);
    EXPECT_GT(outcome.leftOut, 0u);
}

}  // namespace
}  // namespace kalendro::pst
