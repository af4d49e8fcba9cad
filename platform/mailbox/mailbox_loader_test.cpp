// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mailbox/mailbox_loader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "platform/mailbox/mailbox_reader.h"
#include "platform/store/failure.h"
#include "platform/text/quoted_input.h"
#include "testing/source_path.h"
#include "testing/temporary_directory.h"
#include "testing/failure_of.h"

namespace kalendro::mailbox {
namespace {

using memory_store::MemberId;
using memory_store::MemoryFolder;
using memory_store::MemoryItem;
using memory_store::RecurrenceException;
using memory_store::RecurrencePattern;

// A mailbox of one store holding the given folders (JSON text of the array's elements).
std::string OneStore(const std::string& folders) {
    return R"({"format": "kalendro-mailbox/1", "stores": [{"name": "Personal Folders", "folders": [)" + folders +
           "]}]}";
}

// A calendar folder holding the given items.
std::string Calendar(const std::string& items) {
    return R"({"name": "Calendar", "defaultItemType": 1, "items": [)" + items + "]}";
}

// An appointment on Monday 2026-11-02, 09:00 to 09:15, recurring by the given members.
std::string Recurring(const std::string& recurrence) {
    return Calendar(R"({"type": "AppointmentItem", "Subject": "Stand-up", "Start": "2026-11-02T09:00:00",
                        "End": "2026-11-02T09:15:00", "Recurrence": {)" +
                    recurrence + "}}");
}

// A mailbox file beside this test, as text.
std::string FileBeside(const std::string& name) {
    return testing::ReadFileBytes(testing::SourcePath("platform/mailbox/" + name));
}

const MemoryItem& FirstItem(const Mailbox& mailbox) { return *mailbox.stores.at(0)->folders.at(0)->items->All().at(0); }

const RecurrencePattern& PatternOf(const std::string& recurrence) {
    static std::vector<std::shared_ptr<const Mailbox>> keep;
    keep.push_back(LoadMailboxText(OneStore(Recurring(recurrence)), "test.json"));
    return *FirstItem(*keep.back()).recurrence;
}

TEST(MailboxLoaderTest, ReadsStoresFoldersAndNestedFoldersInFileOrder) {
    const auto mailbox = LoadMailboxText(FileBeside("nested-folders-mailbox.json"), "test.json");
    EXPECT_EQ(mailbox->sourceName, "test.json");
    ASSERT_EQ(mailbox->stores.size(), 2u);
    const MemoryFolder& personal = *mailbox->stores[0];
    EXPECT_EQ(personal.name, "Personal Folders");
    EXPECT_EQ(personal.storeId, "STORE-A");
    EXPECT_EQ(personal.defaultItemType, 0);
    ASSERT_EQ(personal.folders.size(), 3u);
    const MemoryFolder& calendar = *personal.folders[0];
    EXPECT_EQ(calendar.entryId, "CAL");
    EXPECT_EQ(calendar.storeId, "STORE-A");
    EXPECT_EQ(calendar.defaultRole, "calendar");
    ASSERT_EQ(calendar.folders.size(), 1u);
    EXPECT_EQ(calendar.folders[0]->name, "Inner");
    EXPECT_EQ(calendar.folders[0]->storeId, "STORE-A");
    EXPECT_EQ(personal.folders[1]->defaultRole, "contacts");
    EXPECT_EQ(personal.folders[2]->name, "Inbox");
    EXPECT_EQ(personal.folders[2]->defaultItemType, 0);
    EXPECT_EQ(personal.folders[2]->defaultRole, "");
    EXPECT_TRUE(mailbox->stores[1]->folders.empty());
}

TEST(MailboxLoaderTest, ReadsMembersOfEveryKindAndLeavesAbsentOnesOut) {
    const auto mailbox = LoadMailboxText(FileBeside("members-mailbox.json"), "test.json");
    const MemoryItem& item = FirstItem(*mailbox);
    EXPECT_EQ(item.typeName, "AppointmentItem");
    EXPECT_EQ(std::get<std::string_view>(*item.members.Find(MemberId::kSubject)), "Caf\xC3\xA9 J\xC3\xBCrgen");
    EXPECT_EQ(std::get<StoreDate>(*item.members.Find(MemberId::kStart)), (StoreDate{2026, 12, 6, 10, 30, 0}));
    EXPECT_EQ(std::get<StoreDate>(*item.members.Find(MemberId::kEnd)), (StoreDate{2026, 12, 7, 0, 0, 0}));
    EXPECT_EQ(std::get<std::int32_t>(*item.members.Find(MemberId::kImportance)), -2);
    EXPECT_TRUE(std::get<bool>(*item.members.Find(MemberId::kAllDayEvent)));
    EXPECT_EQ(std::get<std::string_view>(*item.members.Find(MemberId::kBody)), "line 1\r\nline 2");
    EXPECT_FALSE(item.members.Contains(MemberId::kLocation));
    EXPECT_EQ(item.recurrence, nullptr);
}

TEST(MailboxLoaderTest, GeneratedIdsAreStableDistinctAndFreeOfAt) {
    const std::string text = FileBeside("generated-ids-mailbox.json");
    auto collectIds = [](const Mailbox& mailbox) {
        std::vector<std::string> ids;
        std::function<void(const MemoryFolder&)> walk = [&](const MemoryFolder& folder) {
            ids.push_back(folder.entryId);
            for (const auto& item : folder.items->All()) {
                ids.push_back(std::string(std::get<std::string_view>(*item->members.Find(MemberId::kEntryID))));
            }
            for (const auto& subfolder : folder.folders) {
                walk(*subfolder);
            }
        };
        for (const auto& store : mailbox.stores) {
            ids.push_back(store->storeId);
            walk(*store);
        }
        return ids;
    };
    const std::vector<std::string> first = collectIds(*LoadMailboxText(text, "a.json"));
    const std::vector<std::string> second = collectIds(*LoadMailboxText(text, "b.json"));
    EXPECT_EQ(first, second);
    EXPECT_EQ(std::set<std::string>(first.begin(), first.end()).size(), first.size());
    for (const std::string& id : first) {
        EXPECT_TRUE(id.size() == 32 && id.find_first_not_of("0123456789ABCDEF") == std::string::npos) << id;
    }
    EXPECT_EQ(first[0], GeneratedId("StoreID:S0"));
    EXPECT_EQ(first[1], GeneratedId("EntryID:S0"));
    EXPECT_EQ(first[2], GeneratedId("EntryID:S0/F0"));
    EXPECT_EQ(first[3], GeneratedId("EntryID:S0/F0/I0"));
    EXPECT_EQ(first[6], GeneratedId("EntryID:S0/F0/F0/I0"));
}

TEST(MailboxLoaderTest, ReadsDeletedAndModifiedExceptions) {
    const RecurrencePattern& pattern = PatternOf(R"("RecurrenceType": 1, "DayOfWeekMask": 2, "NoEndDate": true,
        "Exceptions": [{"OriginalDate": "2026-11-09T09:00:00", "Deleted": true},
                       {"OriginalDate": "2026-11-16T09:00:00", "Start": "2026-11-17T10:00:00",
                        "End": "2026-11-17T10:15:00", "Location": "Room 2"}])");
    ASSERT_EQ(pattern.exceptions.size(), 2u);
    EXPECT_EQ(pattern.exceptions[0].originalDate, (StoreDate{2026, 11, 9, 9, 0, 0}));
    EXPECT_TRUE(pattern.exceptions[0].deleted);
    EXPECT_TRUE(pattern.exceptions[0].members.empty());
    const RecurrenceException& moved = pattern.exceptions[1];
    EXPECT_FALSE(moved.deleted);
    EXPECT_EQ(std::get<StoreDate>(*moved.members.Find(MemberId::kStart)), (StoreDate{2026, 11, 17, 10, 0, 0}));
    EXPECT_EQ(std::get<std::string_view>(*moved.members.Find(MemberId::kLocation)), "Room 2");
    EXPECT_EQ(moved.members.size(), 3u);
}

// Opening a series took 41 s for 40,000 exceptions while each one rebuilt the series to check its date.
TEST(MailboxLoaderTest, SeriesWithFortyThousandExceptionsOpensWithEveryOneChecked) {
    constexpr int kExceptions = 40'000;
    std::string exceptions;
    for (int day = 0; day < kExceptions; ++day) {
        const StoreDate original =
            StoreDate::FromSerialSeconds(StoreDate{2026, 11, 2, 9, 0, 0}.SerialSeconds() + std::int64_t{day} * 86400);
        exceptions +=
            std::string(day == 0 ? "" : ",") + R"({"OriginalDate": ")" + original.ToText() + R"(", "Deleted": true})";
    }
    const RecurrencePattern& pattern =
        PatternOf(R"("RecurrenceType": 0, "NoEndDate": true, "Exceptions": [)" + exceptions + "]");
    ASSERT_EQ(pattern.exceptions.size(), std::size_t{kExceptions});
    EXPECT_EQ(pattern.exceptions.back().originalDate.DaySerial() - pattern.exceptions.front().originalDate.DaySerial(),
              kExceptions - 1);
}

TEST(MailboxLoaderTest, RepeatedKeyCountsWithItsLastValue) {
    const auto mailbox = LoadMailboxText(FileBeside("repeated-keys-mailbox.json"), "test.json");
    EXPECT_EQ(mailbox->stores[0]->name, "Second");
    const MemoryItem& item = FirstItem(*mailbox);
    EXPECT_EQ(std::get<std::string_view>(*item.members.Find(MemberId::kSubject)), "Final");
    EXPECT_EQ(std::get<StoreDate>(*item.members.Find(MemberId::kStart)), (StoreDate{2026, 11, 2, 9, 0, 0}));
}

// The invalid mailboxes of testing/data/invalid-mailboxes: each NAME.json is refused with failure 429
// naming the file, and every line of NAME.txt appears in the description (where in the file and why).
struct InvalidCase {
    std::string name;
    std::string text;
    std::vector<std::string> expectedParts;
};

void PrintTo(const InvalidCase& invalid, std::ostream* out) { *out << invalid.name; }

std::vector<InvalidCase> InvalidCases() {
    namespace fs = std::filesystem;
    std::vector<InvalidCase> cases;
    for (const auto& entry : fs::directory_iterator(kalendro::testing::SourcePath("testing/data/invalid-mailboxes"))) {
        if (entry.path().extension() != ".json") {
            continue;
        }
        InvalidCase invalid{entry.path().stem().string(), kalendro::testing::ReadFileBytes(entry.path()), {}};
        std::ifstream parts(fs::path(entry.path()).replace_extension(".txt"));
        for (std::string part; std::getline(parts, part);) {
            invalid.expectedParts.push_back(part);
        }
        EXPECT_FALSE(invalid.expectedParts.empty()) << entry.path() << " has no NAME.txt of expected parts";
        cases.push_back(std::move(invalid));
    }
    std::sort(cases.begin(), cases.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    return cases;
}

class InvalidMailboxTest : public ::testing::TestWithParam<InvalidCase> {};

TEST_P(InvalidMailboxTest, IsFailure429NamingFileLocationAndReason) {
    const Failure failure = testing::FailureOf([] { LoadMailboxText(GetParam().text, "bad.json"); });
    EXPECT_EQ(failure.Number(), kStoreCannotOpen);
    EXPECT_NE(failure.Description().find("\"bad.json\""), std::string::npos) << failure.Description();
    for (const std::string& part : GetParam().expectedParts) {
        EXPECT_NE(failure.Description().find(part), std::string::npos)
            << "missing [" << part << "] in: " << failure.Description();
    }
}

INSTANTIATE_TEST_SUITE_P(Files, InvalidMailboxTest, ::testing::ValuesIn(InvalidCases()), [](const auto& info) {
    std::string name = info.param.name;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
});

std::string FaultOf(const std::string& text) {
    try {
        LoadMailboxText(text, "bad.json");
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.Number(), kStoreCannotOpen);
        return failure.Description();
    }
    return "";
}

// Folders each holding the next one, the deepest holding the given folders.
std::string NestedFolders(int depth, const std::string& innermost = "") {
    std::string text;
    for (int level = 0; level < depth; ++level) {
        text += R"({"name": "F", "folders": [)";
    }
    text += innermost;
    for (int level = 0; level < depth; ++level) {
        text += "]}";
    }
    return text;
}

// Folders nested 10,000 deep overflowed the stack of the folder walk.
TEST(MailboxLoaderTest, FoldersNestedPastTheLimitAreRefusedNamingWhere) {
    EXPECT_EQ(FaultOf(OneStore(NestedFolders(kMaximumFolderDepth))), "");
    std::string deepest = R"(store "Personal Folders")";
    for (int level = 0; level < kMaximumFolderDepth; ++level) {
        deepest += R"( > folder "F")";
    }
    const std::string limitReason =
        ", member \"folders\": would place folders 101 levels below the store; folders "
        "nest at most 100 levels deep.";
    EXPECT_EQ(FaultOf(OneStore(NestedFolders(kMaximumFolderDepth + 1))),
              InvalidPrefix("bad.json") + deepest + limitReason);
    EXPECT_EQ(FaultOf(OneStore(NestedFolders(10'000))), InvalidPrefix("bad.json") + deepest + limitReason);
}

// A format of arrays nested 100,000 deep overflowed the stack while the message was built, and a format
// holding an item list was quoted as the placeholder the reader put there.
TEST(MailboxLoaderTest, FormatThatIsNoTextIsNamedByItsTypeAlone) {
    const std::string nested = std::string(100'000, '[') + std::string(100'000, ']');
    EXPECT_EQ(FaultOf(R"({"format": )" + nested + R"(, "stores": []})"),
              InvalidPrefix("bad.json") +
                  "the top level, member \"format\": is a JSON array; it must be \"kalendro-mailbox/1\".");
    const std::string withItems = FaultOf(R"({"format": {"items": [{"type": "AppointmentItem"}]}, "stores": []})");
    EXPECT_EQ(withItems, InvalidPrefix("bad.json") +
                             "the top level, member \"format\": is a JSON object; it must be \"kalendro-mailbox/1\".");
}

// A 100 MB unknown key went to standard error whole.
TEST(MailboxLoaderTest, MessagesQuoteAShortPrefixOfTheFileWithControlsEscaped) {
    const std::string hugeKey(1'000'000, 'k');
    const std::string unknownKey = FaultOf(R"({"format": "kalendro-mailbox/1", ")" + hugeKey + R"(": 1})");
    EXPECT_EQ(unknownKey, InvalidPrefix("bad.json") + "the top level, member \"" +
                              hugeKey.substr(0, kQuotedInputLimit) +
                              "\"...: is not a key of a mailbox (format, stores).");
    const std::string controls = FaultOf(OneStore(R"({"name": "Cal\u001b[2J\nendar", "defaultItemType": "1"})"));
    EXPECT_NE(controls.find(R"(folder "Cal\x1B[2J\nendar", member "defaultItemType")"), std::string::npos) << controls;
}

const std::string kItemPath = R"(store "Personal Folders" > folder "Calendar" > item 1 (AppointmentItem "Stand-up"))";

std::string Appointment(const std::string& members) {
    return OneStore(Calendar(R"({"type": "AppointmentItem", "Subject": "Stand-up", )" + members + "}"));
}

TEST(MailboxLoaderTest, FileIsReadLikeTextAndItsFaultsNamedAlike) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("kalendro-loader-test-" + std::to_string(::getpid()) + ".json");
    const auto loadWritten = [&](const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
        return LoadMailboxFile(path.string());
    };
    const std::string valid = Appointment(R"("Start": "2026-11-02T09:00:00")");
    EXPECT_EQ(std::get<std::string_view>(*FirstItem(*loadWritten(valid)).members.Find(MemberId::kSubject)), "Stand-up");
    EXPECT_EQ(testing::FailureOf([&] { loadWritten(Appointment(R"("Location": 12)")); }).Description(),
              "The mailbox file \"" + path.string() + "\" is not valid: " + kItemPath +
                  ", member \"Location\": must be a text (a JSON string), not number.");
    std::filesystem::remove(path);
}

TEST(MailboxLoaderTest, FileThatCannotBeReadIsFailure429NamingFileAndReason) {
    // A device that never ends used to be read until memory ran out.
    for (const auto& [path, reason] :
         {std::pair{"no-such-dir/missing.json", "No such file or directory"}, std::pair{".", "it is a directory"},
          std::pair{"/dev/zero", "it is not a regular file"}}) {
        const Failure failure = testing::FailureOf([path = path] { LoadMailboxFile(path); });
        EXPECT_EQ(failure.Number(), kStoreCannotOpen);
        EXPECT_EQ(failure.Description(),
                  "The mailbox file \"" + std::string(path) + "\" cannot be read: " + reason + ".");
    }
}

}  // namespace
}  // namespace kalendro::mailbox
