#include "platform/mailbox/mailbox_data.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace kalendro::mailbox {
namespace {

TEST(MembersTest, FindsAMemberByANameInAnyStorage) {
    Members members{{"Subject", std::string("Lunch")}, {"Start", StoreDate{2026, 11, 2, 12, 0, 0}}};
    const std::string subject = "Subject";  // a copy, not the schema's own text
    ASSERT_NE(members.find(subject), members.end());
    EXPECT_EQ(std::get<std::string>(members.find(subject)->second), "Lunch");
    EXPECT_EQ(std::get<StoreDate>(members.at(std::string("Start"))), (StoreDate{2026, 11, 2, 12, 0, 0}));
    EXPECT_FALSE(members.contains("Location"));
    EXPECT_FALSE(members.contains("Subjec"));
    EXPECT_FALSE(members.contains("NoSuchMember"));
    EXPECT_THROW(members.at("Location"), std::out_of_range);
}

TEST(MembersTest, EmplaceKeepsTheFirstValueAndTheIndexOperatorReplacesIt) {
    Members members;
    EXPECT_TRUE(members.emplace(std::string("Location"), std::string("Room 1")));
    EXPECT_FALSE(members.emplace("Location", std::string("Room 2")));
    EXPECT_EQ(std::get<std::string>(members.at("Location")), "Room 1");
    members[std::string("Location")] = std::string("Room 3");
    EXPECT_EQ(std::get<std::string>(members.at("Location")), "Room 3");
    EXPECT_EQ(members.size(), 1u);
    members["Importance"];
    EXPECT_EQ(std::get<std::string>(members.at("Importance")), "");  // added unset, as a map's operator[] does
    EXPECT_EQ(members.size(), 2u);
}

TEST(MembersTest, ANameNoItemTypeHasIsRefused) {
    Members members;
    EXPECT_THROW(members.emplace("Organizer", std::string("Ann")), std::invalid_argument);
    EXPECT_THROW(members["organizer"], std::invalid_argument);
    EXPECT_TRUE(members.empty());
}

}  // namespace
}  // namespace kalendro::mailbox
