// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mailbox/fast_reading/item_split.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <simdjson.h>

#include "platform/mailbox/mailbox_loader.h"
#include "platform/store/failure.h"
#include "testing/source_path.h"
#include "testing/temporary_directory.h"

namespace kalendro::mailbox {
namespace {

// The text with room for simdjson's padding, as the loader holds it.
std::string Padded(const std::string& text) {
    std::string padded;
    padded.reserve(text.size() + simdjson::SIMDJSON_PADDING);
    padded = text;
    return padded;
}

// A file of this test's folder, as text.
std::string FileBeside(const std::string& name) {
    return testing::ReadFileBytes(testing::SourcePath("platform/mailbox/fast_reading/" + name));
}

bool Split(const std::string& text, SplitMailbox& split) {
    return SplitItems(simdjson::padded_string_view(text.data(), text.size(), text.capacity()), split);
}

// Each number of the skeleton put back as its item's text.
std::string Rejoined(const SplitMailbox& split) {
    std::string text = split.skeleton;
    for (std::size_t index = split.items.size(); index-- > 0;) {
        const std::string number = std::to_string(index);
        const std::size_t at = text.rfind(number);
        text.replace(at, number.size(), split.items[index]);
    }
    return text;
}

TEST(SplitItems, CutsEveryItemOfEveryFolderAtAnyDepthOutOfTheText) {
    const std::string text = Padded(FileBeside("nested-items-mailbox.json"));
    SplitMailbox split;
    ASSERT_TRUE(Split(text, split));
    ASSERT_EQ(split.items.size(), 3U);
    EXPECT_EQ(split.items[0], R"({"type": "AppointmentItem", "Subject": "[1]"})");
    EXPECT_EQ(split.items[1], R"({"type": "AppointmentItem"})");
    EXPECT_EQ(split.items[2], R"({"type": "ContactItem"})");
    EXPECT_NE(split.skeleton.find(R"("items": [0,)"), std::string::npos) << split.skeleton;
    EXPECT_NE(split.skeleton.find(R"("items": [ 2 ])"), std::string::npos) << split.skeleton;
    EXPECT_GE(split.skeleton.capacity(), split.skeleton.size() + simdjson::SIMDJSON_PADDING);
    EXPECT_EQ(Rejoined(split), text);
}

// A key is compared as the reader compares it, with its escapes undone.
TEST(SplitItems, FindsItemsUnderAnEscapedKey) {
    const std::string text = Padded(R"({"stores": [{"folders": [{"item\u0073": [{"type": "X"}]}]}]})");
    SplitMailbox split;
    ASSERT_TRUE(Split(text, split));
    ASSERT_EQ(split.items.size(), 1U);
    EXPECT_EQ(split.items[0], R"({"type": "X"})");
}

// Brackets, quotes and backslashes inside strings are text; a key whose escapes make another name is
// not the one it resembles.
TEST(SplitItems, BracketsAndQuotesInStringsDoNotCutAnItem) {
    const std::string text = Padded(R"({"stores": [{"folders": [{"items": [
        {"type": "X", "Subject": "}]\\", "Body": "say \"}\" [", "{": "]"}, {"type": "Y"}],
        "i\tems": [{"type": "Z"}], "name": "items]"}]}]})");
    SplitMailbox split;
    ASSERT_TRUE(Split(text, split));
    ASSERT_EQ(split.items.size(), 2U);
    EXPECT_EQ(split.items[0], R"({"type": "X", "Subject": "}]\\", "Body": "say \"}\" [", "{": "]"})");
    EXPECT_EQ(split.items[1], R"({"type": "Y"})");
    EXPECT_EQ(Rejoined(split), text);
}

TEST(SplitItems, RefusesWhatIsNotTheShapeOfAMailbox) {
    for (const char* text :
         {R"([1, 2])", R"({"stores": {"folders": []}})", R"({"stores": [{"folders": [{"items": [1]}]}]})",
          R"({"stores": [{"folders": [{"items": {"type": "X"}}]}]})",
          R"({"stores": [{"folders": [{"items": [{"type": "X"}]}]}])", R"({"stores": [)"}) {
        SplitMailbox split;
        EXPECT_FALSE(Split(Padded(text), split)) << text;
    }
}

// The split looks at nothing but the shape; what it leaves to the reader is still checked, and a
// file whose faults lie inside or outside the items is still refused by the fast reading.
TEST(SplitItems, FastReadingOfASplitFileRefusesWhatTheReaderRefuses) {
    const std::string valid = R"({"format": "kalendro-mailbox/1", "stores": [{"name": "S", "folders": [
        {"name": "Calendar", "defaultItemType": 1, "items": [{"type": "AppointmentItem", "Subject": "Lunch"}]}]}]})";
    const auto mailbox = ReadMailboxQuickly(valid, "test.json");
    ASSERT_NE(mailbox, nullptr);
    EXPECT_EQ(mailbox->stores.at(0)->folders.at(0)->items->Count(), 1);
    // Faults inside the items and outside them, and a number where the skeleton has its own numbers.
    for (const auto& file :
         std::filesystem::directory_iterator(testing::SourcePath("platform/mailbox/fast_reading/refused-mailboxes"))) {
        const std::string text = testing::ReadFileBytes(file.path());
        EXPECT_EQ(ReadMailboxQuickly(text, "test.json"), nullptr) << file.path();
        EXPECT_THROW(LoadMailboxText(text, "test.json"), Failure) << file.path();
    }
}

}  // namespace
}  // namespace kalendro::mailbox
