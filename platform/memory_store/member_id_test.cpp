// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/memory_store/member_id.h"

#include <gtest/gtest.h>

namespace kalendro::memory_store {
namespace {

TEST(MemberIdTest, EveryIdIsFoundByItsOwnNameOnly) {
    for (std::size_t index = 0; index < kMemberCount; ++index) {
        const auto member = static_cast<MemberId>(index);
        SCOPED_TRACE(std::string(MemberName(member)));
        EXPECT_EQ(FindMemberId(MemberName(member)), member);
    }
    const std::string copy = "Subject";  // a text of its own, not the table's
    EXPECT_EQ(FindMemberId(copy), MemberId::kSubject);
    EXPECT_EQ(FindMemberId("Subjec"), std::nullopt);
    EXPECT_EQ(FindMemberId("subject"), std::nullopt);
    EXPECT_EQ(FindMemberId("Sxbject"), std::nullopt);  // the characters the look-up hashes are Subject's
    EXPECT_EQ(FindMemberId("NoSuchMember"), std::nullopt);
    EXPECT_EQ(FindMemberId("Organizer"), std::nullopt);
    EXPECT_EQ(FindMemberId(""), std::nullopt);
}

TEST(MemberIdTest, EachItemTypeHasItsOwnMembers) {
    EXPECT_TRUE(TypeHasMember(ItemType::kAppointment, MemberId::kStart));
    EXPECT_FALSE(TypeHasMember(ItemType::kContact, MemberId::kStart));
    EXPECT_FALSE(TypeHasMember(ItemType::kContact, MemberId::kSubject));
    EXPECT_TRUE(TypeHasMember(ItemType::kContact, MemberId::kBirthday));
    EXPECT_TRUE(TypeHasMember(ItemType::kDistList, MemberId::kDLName));
    EXPECT_TRUE(TypeHasMember(ItemType::kDistList, MemberId::kSubject));
    EXPECT_FALSE(TypeHasMember(ItemType::kOther, MemberId::kDLName));
    EXPECT_TRUE(TypeHasMember(ItemType::kOther, MemberId::kCreationTime));
    EXPECT_EQ(ItemTypeOf("AppointmentItem"), ItemType::kAppointment);
    EXPECT_EQ(ItemTypeOf("MailItem"), ItemType::kOther);
    EXPECT_EQ(KindOf(MemberId::kAllDayEvent), MemberKind::kFlag);
    EXPECT_EQ(KindOf(MemberId::kImportance), MemberKind::kNumber);
    EXPECT_EQ(KindName(MemberKind::kFlag), "true or false");
}

TEST(MemberIdTest, OnlyTheOriginalDateOfAnOccurrenceIsDerived) {
    EXPECT_TRUE(IsDerived(MemberId::kOriginalDate));
    EXPECT_TRUE(TypeHasMember(ItemType::kAppointment, MemberId::kOriginalDate));
    EXPECT_FALSE(TypeHasMember(ItemType::kContact, MemberId::kOriginalDate));
    EXPECT_EQ(KindOf(MemberId::kOriginalDate), MemberKind::kDate);
    for (std::size_t index = 0; index < kMemberCount; ++index) {
        const auto member = static_cast<MemberId>(index);
        EXPECT_EQ(IsDerived(member), member == MemberId::kOriginalDate) << MemberName(member);
    }
}

}  // namespace
}  // namespace kalendro::memory_store
