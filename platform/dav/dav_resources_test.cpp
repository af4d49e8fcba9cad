// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/dav/dav_resources.h"

#include <gtest/gtest.h>

#include "platform/dav/dav_collection.h"

namespace kalendro::dav {
namespace {

constexpr const char* kHeader = "BEGIN:VCALENDAR\r\nPRODID:-//P//EN\r\nVERSION:2.0\r\n";
constexpr const char* kFirstEvent = "BEGIN:VEVENT\r\nDTSTART:20261201T103000\r\nUID:A9E3-20261201\r\nEND:VEVENT\r\n";
constexpr const char* kSecondEvent =
    "BEGIN:VEVENT\r\nUID:team/room@example.com\r\nSUMMARY:Review\r\n resumed\r\nEND:VEVENT\r\n";

TEST(DavResourcesTest, EachEventIsACalendarOfItsOwnWithTheFilesLinesButMethod) {
    const std::string file =
        std::string(kHeader) + "METHOD:PUBLISH\r\n" + kFirstEvent + kSecondEvent + "END:VCALENDAR\r\n";
    const SplitFile split = CalendarResources(file);
    ASSERT_EQ(split.resources.size(), 2U);
    EXPECT_EQ(split.resources[0].uid, "A9E3-20261201");
    EXPECT_EQ(split.resources[0].name, "A9E3-20261201.ics");
    EXPECT_EQ(split.resources[0].body, std::string(kHeader) + kFirstEvent + "END:VCALENDAR\r\n");
    EXPECT_EQ(split.resources[1].name, "team%2Froom%40example.com.ics");
    EXPECT_EQ(split.resources[1].body, std::string(kHeader) + kSecondEvent + "END:VCALENDAR\r\n");
    EXPECT_TRUE(split.repeatedUids.empty());
    EXPECT_EQ(split.withoutUid, 0U);
}

TEST(DavResourcesTest, ARepeatedUidKeepsItsFirstCardAndACardWithoutUidIsCounted) {
    const std::string first = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Jane\r\nUID:ABC\r\nEND:VCARD\r\n";
    const std::string file = first + "BEGIN:VCARD\r\nFN:Other Jane\r\nUID:ABC\r\nEND:VCARD\r\n" +
                             "BEGIN:VCARD\r\nFN:Nobody\r\nEND:VCARD\r\n";
    const SplitFile split = CardResources(file);
    ASSERT_EQ(split.resources.size(), 1U);
    EXPECT_EQ(split.resources[0].name, "ABC.vcf");
    EXPECT_EQ(split.resources[0].body, first);
    EXPECT_EQ(split.repeatedUids, std::vector<std::string>{"ABC"});
    EXPECT_EQ(split.withoutUid, 1U);
}

TEST(DavResourcesTest, BareTypeParametersOfCardsTakeTheTypeForm) {
    const SplitFile split = CardResources(
        "BEGIN:VCARD\r\nTEL;WORK;VOICE:+1 415\r\nEMAIL;PREF;INTERNET:a@b.example\r\n"
        "ADR;TYPE=work,parcel:;;x;y\r\n  "
        "z\r\nLABEL;TYPE=home;CHARSET=x;PREF:a;b:c\r\nNOTE:a;b=c\r\nUID:U\r\nEND:VCARD\r\n");
    ASSERT_EQ(split.resources.size(), 1U);
    EXPECT_EQ(
        split.resources[0].body,
        "BEGIN:VCARD\r\nTEL;TYPE=WORK,VOICE:+1 415\r\nEMAIL;TYPE=PREF,INTERNET:a@b.example\r\n"
        "ADR;TYPE=work,parcel:;;x;y\r\n  z\r\nLABEL;TYPE=PREF;TYPE=home;CHARSET=x:a;b:c\r\nNOTE:a;b=c\r\nUID:U\r\n"
        "END:VCARD\r\n");
}

TEST(DavResourcesTest, PropertiesAreReadUnfoldedWhateverTheLineEndsAndParameters) {
    const std::string served =
        "BEGIN:VCALENDAR\nPRODID:-//MOLV Calender\n  Export//EN\nBEGIN:VEVENT\n"
        "DTSTAMP;X-VOBJ-FLOATINGTIME-ALLOWED=TRUE:20260901T112000\n"
        "X-NOTE;ALTREP=\"cid:a:b\":text\nEND:VEVENT\nEND:VCALENDAR\n";
    EXPECT_EQ(PropertyValue(served, "PRODID"), "-//MOLV Calender Export//EN");
    EXPECT_EQ(PropertyValue(served, "DTSTAMP"), "20260901T112000");
    EXPECT_EQ(PropertyValue(served, "X-NOTE"), "text");
    EXPECT_EQ(PropertyValue(served, "PROD"), "");
    EXPECT_EQ(PropertyValue("uid:lower\r\n", "UID"), "lower");
}

TEST(DavResourcesTest, AnEventLiesInTheRangeWhenItStartsAndEndsInsideItsDays) {
    const DayRange december{"20261201", "20270101"};
    const auto event = [](const std::string& start, const std::string& end) {
        return "BEGIN:VEVENT\r\nDTSTART" + start + "\r\n" + (end.empty() ? "" : "DTEND" + end + "\r\n") +
               "END:VEVENT\r\n";
    };
    EXPECT_TRUE(EventLiesInRange(event(":20261201T000000", ":20261201T010000"), december));
    EXPECT_TRUE(EventLiesInRange(event(":20261231T230000", ":20270101T000000"), december));
    EXPECT_TRUE(EventLiesInRange(event(";VALUE=DATE:20261224", ";VALUE=DATE:20261225"), december));
    EXPECT_TRUE(EventLiesInRange(event(":20261215T090000Z", ""), december));
    EXPECT_FALSE(EventLiesInRange(event(":20261130T235959", ":20261201T010000"), december));
    EXPECT_FALSE(EventLiesInRange(event(":20261231T230000", ":20270101T000001"), december));
    EXPECT_FALSE(EventLiesInRange("BEGIN:VEVENT\r\nEND:VEVENT\r\n", december));
}

TEST(DavResourcesTest, PercentEncodingKeepsOnlyUnreservedCharactersAndDecodesBack) {
    const std::string uid = "a b/c%d\xC3\xBC~_.-Z9";
    EXPECT_EQ(PercentEncoded(uid), "a%20b%2Fc%25d%C3%BC~_.-Z9");
    EXPECT_EQ(PercentDecoded(PercentEncoded(uid)), uid);
    EXPECT_EQ(PercentDecoded("100%"), "100%");
    EXPECT_EQ(PercentDecoded("%zz%4"), "%zz%4");
}

TEST(DavCollectionTest, OnlyHrefsDirectlyInsideTheCollectionNameMembers) {
    const DavCollection collection("https://dav.example.com:8443/alice/my%20cal", {});
    EXPECT_EQ(collection.Url(), "https://dav.example.com:8443/alice/my%20cal/");
    EXPECT_EQ(collection.MemberName("/alice/my%20cal/A%2FB.ics"), "A/B.ics");
    EXPECT_EQ(collection.MemberName("https://dav.example.com:8443/alice/my%20cal/x.ics"), "x.ics");
    EXPECT_EQ(collection.MemberName("https://elsewhere.example.com/alice/my%20cal/x.ics"), std::nullopt);
    EXPECT_EQ(collection.MemberName("/alice/my%20cal/"), std::nullopt);
    EXPECT_EQ(collection.MemberName("/alice/my%20cal/sub/x.ics"), std::nullopt);
    EXPECT_EQ(collection.MemberName("/alice/other/x.ics"), std::nullopt);
}

}  // namespace
}  // namespace kalendro::dav
