// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/store/folder_key.h"

#include <gtest/gtest.h>

namespace kalendro {
namespace {

TEST(FolderKey, TextAndParseRoundTrip) {
    const FolderKey key{"C1", "S1"};
    EXPECT_EQ(key.Text(), "C1@S1");
    EXPECT_EQ(FolderKey::Parse(key.Text()), key);
}

TEST(FolderKey, TheStoreIdentifierMayHoldTheSeparator) {
    const FolderKey key{"E2", "S@2"};
    EXPECT_EQ(key.Text(), "E2@S@2");
    EXPECT_EQ(FolderKey::Parse("E2@S@2"), key);
    EXPECT_EQ(FolderKey::Parse("E2@"), (FolderKey{"E2", ""}));
}

TEST(FolderKey, TextsThatNameNoFolderParseToNothing) {
    EXPECT_EQ(FolderKey::Parse(""), std::nullopt);
    EXPECT_EQ(FolderKey::Parse("C1"), std::nullopt);
    EXPECT_EQ(FolderKey::Parse("@Outlook Folders"), std::nullopt);
    EXPECT_EQ(FolderKey::Parse("@"), std::nullopt);
}

}  // namespace
}  // namespace kalendro
