// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mailbox/fast_reading/item_batches.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/mailbox/mailbox_loader.h"
#include "platform/store/failure.h"
#include "testing/failure_of.h"

namespace kalendro::mailbox {
namespace {

// Enough items for many batches, so that both threads read some, in two folders.
std::string ManyItems(std::size_t faultyItem = 0) {
    std::string text = R"({"format": "kalendro-mailbox/1", "stores": [{"name": "S", "folders": [)";
    for (const std::size_t folder : {0U, 1U}) {
        text += std::string(folder == 0 ? "" : ",") + R"({"name": "F)" + std::to_string(folder) + R"(", "items": [)";
        for (std::size_t item = 1; item <= 1500; ++item) {
            const std::string member = folder == 1 && item == faultyItem ? "Colour" : "Subject";
            text += std::string(item == 1 ? "" : ",") + R"({"type": "AppointmentItem", ")" + member + R"(": "F)" +
                    std::to_string(folder) + "-" + std::to_string(item) + R"("})";
        }
        text += "]}";
    }
    return text + "]}]}";
}

std::vector<std::string> Subjects(const Mailbox& mailbox) {
    std::vector<std::string> subjects;
    for (const auto& folder : mailbox.stores.at(0)->folders) {
        for (const auto& item : folder->items->All()) {
            const auto subject = item->members.Find(memory_store::MemberId::kSubject);
            subjects.emplace_back(subject ? std::get<std::string_view>(*subject) : "(none)");
        }
    }
    return subjects;
}

TEST(ItemBatches, ItemsReadOnTwoThreadsKeepTheFilesOrder) {
    const std::string text = ManyItems();
    const auto quick = ReadMailboxQuickly(text, "many.json");
    ASSERT_NE(quick, nullptr);
    const std::vector<std::string> subjects = Subjects(*quick);
    ASSERT_EQ(subjects.size(), 3000U);
    EXPECT_EQ(subjects, Subjects(*ReadMailboxReportingFaults(text, "many.json")));
    EXPECT_EQ(subjects[1499], "F0-1500");
    EXPECT_EQ(subjects[1500], "F1-1");
}

// A fault in a late batch, read by either thread, leaves the file to the reading that names it.
TEST(ItemBatches, AFaultInALateBatchIsNamedByTheReportingReading) {
    const std::string text = ManyItems(1300);
    EXPECT_EQ(ReadMailboxQuickly(text, "many.json"), nullptr);
    const Failure failure = testing::FailureOf([&] { LoadMailboxText(text, "many.json"); });
    EXPECT_NE(failure.Description().find("item 1300"), std::string::npos) << failure.Description();
    EXPECT_NE(failure.Description().find("Colour"), std::string::npos) << failure.Description();
}

}  // namespace
}  // namespace kalendro::mailbox
