// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/memory_store/members.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

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

TEST(MembersTest, OfBuildsFromAListInAnyOrder) {
    const std::string body(1000, 'x');
    const std::vector<Members::value_type> list = {{MemberId::kBody, std::string_view(body)},
                                                   {MemberId::kStart, StoreDate{2026, 11, 2, 12, 0, 0}},
                                                   {MemberId::kSubject, std::string_view("kept")}};
    Members members = Members::Of(list);
    EXPECT_EQ(members.size(), 3u);
    EXPECT_EQ(std::get<std::string_view>(*members.Find(MemberId::kSubject)), "kept");
    EXPECT_EQ(std::get<std::string_view>(*members.Find(MemberId::kBody)), body);
    members.Add(MemberId::kCategories, std::string("later"));
    EXPECT_EQ(std::get<StoreDate>(*members.Find(MemberId::kStart)), (StoreDate{2026, 11, 2, 12, 0, 0}));
    EXPECT_EQ(std::get<std::string_view>(*members.Find(MemberId::kSubject)), "kept");
    EXPECT_EQ(std::get<std::string_view>(*members.Find(MemberId::kCategories)), "later");
}

}  // namespace
}  // namespace kalendro::memory_store
