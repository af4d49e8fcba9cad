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

}  // namespace
}  // namespace kalendro::memory_store
