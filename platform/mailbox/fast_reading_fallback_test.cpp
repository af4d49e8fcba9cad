// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/mailbox/mailbox_loader.h"
#include "platform/store/failure.h"
#include "testing/source_path.h"

namespace kalendro::mailbox {
namespace {

// Every mailbox file of the test data and the samples: all of them are valid.
std::vector<std::string> ValidMailboxFiles() {
    std::vector<std::string> files;
    for (const char* folder : {"testing/data", "samples"}) {
        for (const auto& entry : std::filesystem::directory_iterator(testing::SourcePath(folder))) {
            if (entry.path().extension() == ".json") {
                files.push_back(entry.path().string());
            }
        }
    }
    return files;
}

// A fault of the fast reading makes a valid file fall back to the reporting reading, which still reads
// it: without this check the fault would show only as a slower load.
TEST(FastReadingFallbackTest, EveryValidFileOfTheTestDataIsReadWithoutFallingBack) {
    const std::vector<std::string> files = ValidMailboxFiles();
    ASSERT_GE(files.size(), 2u);
    for (const std::string& file : files) {
        const std::size_t before = FastReadingFallbacks();
        EXPECT_FALSE(LoadMailboxFile(file)->stores.empty()) << file;
        EXPECT_EQ(FastReadingFallbacks(), before) << file << " fell back to the reporting reading";
    }
}

TEST(FastReadingFallbackTest, ARepeatedKeyAndAFaultAreEachOneFallback) {
    const std::size_t before = FastReadingFallbacks();
    LoadMailboxText(R"({"format": "kalendro-mailbox/1", "stores": [], "stores": []})", "repeated.json");
    EXPECT_EQ(FastReadingFallbacks(), before + 1);
    EXPECT_THROW(LoadMailboxText(R"({"format": "kalendro-mailbox/1", "stores": 1})", "bad.json"), Failure);
    EXPECT_EQ(FastReadingFallbacks(), before + 2);
}

}  // namespace
}  // namespace kalendro::mailbox
