#include "platform/memory_store/members.h"

#include <gtest/gtest.h>

namespace kalendro::memory_store {
namespace {

TEST(MembersTest, FindsAMemberByItsId) {
    Members members{{MemberId::kSubject, std::string("Lunch")}, {MemberId::kStart, StoreDate{2026, 11, 2, 12, 0, 0}}};
    ASSERT_NE(members.Find(MemberId::kSubject), nullptr);
    EXPECT_EQ(std::get<std::string>(*members.Find(MemberId::kSubject)), "Lunch");
    EXPECT_EQ(std::get<StoreDate>(*members.Find(MemberId::kStart)), (StoreDate{2026, 11, 2, 12, 0, 0}));
    EXPECT_FALSE(members.Contains(MemberId::kLocation));
    EXPECT_EQ(members.Find(MemberId::kLocation), nullptr);
}

TEST(MembersTest, AddKeepsTheFirstValueAndSetReplacesIt) {
    Members members;
    EXPECT_TRUE(members.Add(MemberId::kLocation, std::string("Room 1")));
    EXPECT_FALSE(members.Add(MemberId::kLocation, std::string("Room 2")));
    EXPECT_EQ(std::get<std::string>(*members.Find(MemberId::kLocation)), "Room 1");
    members.Set(MemberId::kLocation, std::string("Room 3"));
    EXPECT_EQ(std::get<std::string>(*members.Find(MemberId::kLocation)), "Room 3");
    EXPECT_EQ(members.size(), 1u);
    members.Set(MemberId::kImportance, std::int32_t{2});
    EXPECT_EQ(std::get<std::int32_t>(*members.Find(MemberId::kImportance)), 2);
    EXPECT_EQ(members.size(), 2u);
}

TEST(MembersTest, TheListKeepsTheLastOfARepeatedMemberInTheOrderOfTheFirst) {
    Members members{{MemberId::kEnd, StoreDate{2026, 11, 2, 13, 0, 0}},
                    {MemberId::kBody, std::string("first")},
                    {MemberId::kEnd, StoreDate{2026, 11, 2, 14, 0, 0}}};
    ASSERT_EQ(members.size(), 2u);
    EXPECT_EQ(members.begin()->first, MemberId::kEnd);
    EXPECT_EQ(std::get<StoreDate>(members.begin()->second), (StoreDate{2026, 11, 2, 14, 0, 0}));
}

}  // namespace
}  // namespace kalendro::memory_store
