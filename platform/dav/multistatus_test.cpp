// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/dav/multistatus.h"

#include <gtest/gtest.h>

#include "platform/store/failure.h"

namespace kalendro::dav {
namespace {

TEST(MultistatusTest, MembersComeWithTheDataAndTypesOfTheirPropertiesFound) {
    const std::vector<ListedMember> members = ParseMultistatus(R"(<?xml version='1.0' encoding='utf-8'?>
<multistatus xmlns="DAV:" xmlns:C="urn:ietf:params:xml:ns:caldav">
 <response><href>/alice/cal/</href><propstat><prop><resourcetype><collection/><C:calendar/></resourcetype></prop>
  <status>HTTP/1.1 200 OK</status></propstat></response>
 <response><href>/alice/cal/a.ics</href>
  <propstat><prop><C:calendar-data>BEGIN:VCALENDAR&#13;
END:VCALENDAR
</C:calendar-data></prop><status>HTTP/1.1 200 OK</status></propstat>
  <propstat><prop><getetag/></prop><status>HTTP/1.1 404 Not Found</status></propstat></response>
 <response><href>/alice/cal/gone.ics</href><propstat><prop><C:calendar-data>ignored</C:calendar-data></prop>
  <status>HTTP/1.1 404 Not Found</status></propstat></response>
</multistatus>)");
    ASSERT_EQ(members.size(), 3U);
    EXPECT_EQ(members[0].href, "/alice/cal/");
    EXPECT_TRUE(members[0].calendar);
    EXPECT_FALSE(members[0].addressBook);
    EXPECT_EQ(members[1].href, "/alice/cal/a.ics");
    EXPECT_EQ(members[1].data, "BEGIN:VCALENDAR\r\nEND:VCALENDAR\n");
    EXPECT_FALSE(members[1].calendar);
    EXPECT_EQ(members[2].data, "");
}

TEST(MultistatusTest, NamespacesCountByTheirUrisNotTheirPrefixes) {
    const std::vector<ListedMember> members = ParseMultistatus(
        R"(<d:multistatus xmlns:d="DAV:" xmlns:card="urn:ietf:params:xml:ns:carddav" xmlns:x="urn:other">)"
        R"(<d:response><d:href>/b/</d:href><d:propstat><d:prop><d:resourcetype><card:addressbook/></d:resourcetype>)"
        R"(<card:address-data>BEGIN:VCARD</card:address-data></d:prop><d:status>HTTP/1.1 200 OK</d:status>)"
        R"(</d:propstat></d:response><x:response><d:href>/not-a-response</d:href></x:response></d:multistatus>)");
    ASSERT_EQ(members.size(), 1U);
    EXPECT_TRUE(members[0].addressBook);
    EXPECT_EQ(members[0].data, "BEGIN:VCARD");
}

TEST(MultistatusTest, AnswersThatAreNoMultistatusFailAndExternalEntitiesAreNeverRead) {
    for (const std::string body : {"", "<html><body>Login</body></html>", "<multistatus xmlns=\"DAV:\"><response>",
                                   "<multistatus>no namespace</multistatus>"}) {
        try {
            ParseMultistatus(body);
            ADD_FAILURE() << body << " was taken";
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.Number(), kBadServerAnswer);
            EXPECT_NE(failure.Description().find("no WebDAV multistatus"), std::string::npos);
        }
    }
    const std::vector<ListedMember> members =
        ParseMultistatus(R"(<?xml version="1.0"?><!DOCTYPE m [<!ENTITY secret SYSTEM "file:///etc/hostname">]>)"
                         R"(<multistatus xmlns="DAV:"><response><href>&secret;/x</href></response></multistatus>)");
    ASSERT_EQ(members.size(), 1U);
    EXPECT_EQ(members[0].href, "/x");
}

}  // namespace
}  // namespace kalendro::dav
