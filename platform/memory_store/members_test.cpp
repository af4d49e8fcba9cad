#include "platform/memory_store/members.h"

#include <gtest/gtest.h>

namespace kalendro::memory_store {
namespace {

TEST(MembersTest, FindsAMemberByItsIdWhateverTheOrderTheyWereAddedIn) {
    Members members{{MemberId::kLocation, std::string("Room 1")},
                    {MemberId::kSubject, std::string("Lunch")},
                    {MemberId::kStart, StoreDate{2026, 11, 2, 12, 0, 0}},
                    {MemberId::kImportance, std::int32_t{-7}},
                    {MemberId::kAllDayEvent, true}};
    EXPECT_EQ(std::get<std::string_view>(*members.Find(MemberId::kSubject)), "Lunch");
    EXPECT_EQ(std::get<std::string_view>(*members.Find(MemberId::kLocation)), "Room 1");
    EXPECT_EQ(std::get<StoreDate>(*members.Find(MemberId::kStart)), (StoreDate{2026, 11, 2, 12, 0, 0}));
    EXPECT_EQ(std::get<std::int32_t>(*members.Find(MemberId::kImportance)), -7);
    EXPECT_TRUE(std::get<bool>(*members.Find(MemberId::kAllDayEvent)));
    EXPECT_FALSE(members.Contains(MemberId::kEnd));
    EXPECT_FALSE(members.Find(MemberId::kEnd).has_value());
    std::vector<MemberId> order;
    members.ForEach([&order](MemberId member, const MemberView&) { order.push_back(member); });
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
    EXPECT_EQ(order.size(), 5u);
}

TEST(MembersTest, AddKeepsTheFirstValueAndSetReplacesIt) {
    Members members;
    EXPECT_TRUE(members.Add(MemberId::kLocation, std::string("Room 1")));
    EXPECT_FALSE(members.Add(MemberId::kLocation, std::string("Room 2")));
    EXPECT_EQ(std::get<std::string_view>(*members.Find(MemberId::kLocation)), "Room 1");
    members.Set(MemberId::kLocation, std::string("Room 3"));
    members.Set(MemberId::kBody, std::string(""));
    EXPECT_EQ(std::get<std::string_view>(*members.Find(MemberId::kLocation)), "Room 3");
    EXPECT_EQ(std::get<std::string_view>(*members.Find(MemberId::kBody)), "");
    EXPECT_EQ(members.size(), 2u);
}

TEST(MembersTest, ACompactedCopyAndAClearedBufferHoldWhatTheyShould) {
    Members read{{MemberId::kBody, std::string(1000, 'x')}, {MemberId::kSubject, std::string("kept")}};
    const Members copy = read.Compacted();
    read.Clear();
    EXPECT_TRUE(read.empty());
    EXPECT_FALSE(read.Contains(MemberId::kSubject));
    read.Add(MemberId::kCategories, std::string("next"));
    EXPECT_EQ(std::get<std::string_view>(*copy.Find(MemberId::kSubject)), "kept");
    EXPECT_EQ(std::get<std::string_view>(*copy.Find(MemberId::kBody)).size(), 1000u);
    EXPECT_EQ(std::get<std::string_view>(*read.Find(MemberId::kCategories)), "next");
}

}  // namespace
}  // namespace kalendro::memory_store
