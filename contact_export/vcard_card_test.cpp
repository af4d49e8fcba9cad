// SPDX-License-Identifier: GPL-3.0-or-later
#include "contact_export/vcard_card.h"

#include <gtest/gtest.h>

#include "testing/fake_store.h"
#include "testing/memory_text_stream.h"
#include "testing/recording_views.h"
#include "testing/worked_examples.h"

namespace kalendro {
namespace {

using testing::FakeItem;
using testing::MemoryTextStream;
using testing::RecordingContactView;

// Writes one card as the run would, as the first of `total` items.
class CardTest : public ::testing::Test {
protected:
    std::string Card(const FakeItem& contact) {
        WriteContactCard(stream_, contact, run_);
        return stream_.Bytes();
    }
    static FakeItem Named() { return FakeItem("ContactItem").Set("LastName", "Doe").Set("EntryID", "ID1"); }

    RegionalSettings regional_;
    ContactExportState state_{true, 1, 0, true, true};
    RecordingContactView view_;
    ContactCardRun run_{state_, view_, regional_};
    MemoryTextStream stream_;
};

TEST_F(CardTest, WorkedExampleIsWrittenByteForByte) {
    state_.TotalItems = 12;
    state_.ContactsDone = 2;
    EXPECT_EQ(Card(testing::WorkedExampleContact()), testing::WorkedExampleCard());
    EXPECT_EQ(view_.statuses, std::vector<std::string>{"Status: Doe, Dr. Jane (3 of 12)"});
}

TEST(ComposeNamesTest, BuildsDisplayNameFromEveryPresentPart) {
    struct Case {
        const char* last;
        const char* title;
        const char* first;
        const char* middle;
        const char* fn;
        const char* n;
    };
    const Case cases[] = {
        {"Doe", "Dr.", "Jane", "", "Doe, Dr. Jane", "Doe;Jane;;Dr.;"},
        {"", "", "Jane", "", "Jane", ";Jane;;;"},
        {"Doe", "", "", "", "Doe", "Doe;;;;"},
        {"Doe", "Dr.", "Jane", "Ann", "Doe, Dr. Jane Ann", "Doe;Jane;Ann;Dr.;"},
        {"Doe", "", "", "Ann", "Doe, Ann", "Doe;;Ann;;"},
        {"Doe", "Prof.", "", "", "Doe, Prof.", "Doe;;;Prof.;"},
        {"", "Dr.", "Jane", "Ann", "Dr. Jane Ann", ";Jane;Ann;Dr.;"},
    };
    for (const Case& c : cases) {
        const FakeItem contact = FakeItem("ContactItem")
                                     .Set("LastName", c.last)
                                     .Set("Title", c.title)
                                     .Set("FirstName", c.first)
                                     .Set("MiddleName", c.middle)
                                     .Set("CompanyName", "Acme");
        std::string n, fn, org;
        EXPECT_TRUE(ComposeNames(contact, n, fn, org));
        EXPECT_EQ(fn, c.fn);
        EXPECT_EQ(n, c.n);
        EXPECT_EQ(org, "Acme");
    }
}

// Without first and last name the company stands in; without a company the full name (the display
// name), then the file-as name; a contact with none of them has no card.
TEST(ComposeNamesTest, TheCompanyThenTheFullNameThenTheFileAsNameStandIn) {
    const struct {
        const char* company;
        const char* fullName;
        const char* fileAs;
        bool composed;
        const char* n;
        const char* fn;
    } cases[] = {
        {"Acme", "Ann Lee", "Lee, Ann", true, ";Acme;;;", "Acme"},
        {"", "Ann Lee", "Lee, Ann", true, ";Ann Lee;;;", "Ann Lee"},
        {"", "", "Lee; Ann", true, ";Lee\\; Ann;;;", "Lee; Ann"},
        {"", "", "", false, "", ""},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.fn);
        const FakeItem contact = FakeItem("ContactItem")
                                     .Set("CompanyName", test.company)
                                     .Set("FullName", test.fullName)
                                     .Set("FileAs", test.fileAs)
                                     .Set("Title", "Dr.")
                                     .Set("MiddleName", "B.");
        std::string n, fn, org;
        EXPECT_EQ(ComposeNames(contact, n, fn, org), test.composed);
        EXPECT_EQ(n, test.n);
        EXPECT_EQ(fn, test.fn);
        EXPECT_EQ(org, "");
    }
    // A contact with a name of its own is named by it.
    const FakeItem named = FakeItem("ContactItem").Set("LastName", "Lee").Set("FullName", "Someone Else");
    std::string n, fn, org;
    EXPECT_TRUE(ComposeNames(named, n, fn, org));
    EXPECT_EQ(fn, "Lee");
}

TEST_F(CardTest, AContactKnownOnlyByItsDisplayNameGetsACardUnderIt) {
    const std::string card = Card(FakeItem("ContactItem")
                                      .Set("FullName", "Lee, Ann")
                                      .Set("Email1AddressType", "SMTP")
                                      .Set("Email1Address", "ann@example.com")
                                      .Set("EntryID", "ID1"));
    EXPECT_NE(card.find("\r\nN:;Lee\\, Ann;;;\r\nFN:Lee\\, Ann\r\n"), std::string::npos) << card;
    EXPECT_NE(card.find("\r\nEMAIL;PREF;INTERNET:ann@example.com\r\n"), std::string::npos) << card;
    EXPECT_EQ(view_.statuses, std::vector<std::string>{"Status: Lee, Ann (1 of 1)"});
}

TEST_F(CardTest, ContactWithoutNameOrCompanyIsCountedButGetsNoCard) {
    state_.TotalItems = 3;
    EXPECT_EQ(Card(FakeItem("ContactItem").Set("Title", "Dr.").Set("Body", "text")), "");
    EXPECT_EQ(state_.ContactsDone, 1);
    EXPECT_TRUE(view_.statuses.empty());
    Card(Named());
    EXPECT_EQ(view_.statuses, std::vector<std::string>{"Status: Doe (2 of 3)"});
}

TEST_F(CardTest, OnlySmtpAddressesAreWrittenAndOnlySlotOneIsPreferred) {
    FakeItem contact = Named();
    contact.Set("Email1AddressType", "EX").Set("Email1Address", "/o=Acme/cn=jane");
    contact.Set("Email2AddressType", "SMTP").Set("Email2Address", "jane@example.org");
    contact.Set("Email3AddressType", "smtp").Set("Email3Address", "jd@example.org");
    const std::string card = Card(contact);
    EXPECT_NE(card.find("\r\nEMAIL;INTERNET:jane@example.org\r\n"), std::string::npos) << card;
    EXPECT_EQ(card.find("EMAIL;PREF"), std::string::npos);
    EXPECT_EQ(card.find("jd@example.org"), std::string::npos);
    EXPECT_EQ(card.find("/o=Acme"), std::string::npos);

    stream_ = MemoryTextStream();
    contact.Set("Email1AddressType", "SMTP").Set("Email1Address", "jane@acme.example");
    EXPECT_NE(Card(contact).find("\r\nEMAIL;PREF;INTERNET:jane@acme.example\r\nEMAIL;INTERNET:jane@example.org\r\n"),
              std::string::npos);
}

TEST_F(CardTest, BirthdayLineOnlyForARealDateAndWithoutTimeOfDay) {
    state_.AddBirthday = false;
    FakeItem contact = Named();
    EXPECT_EQ(Card(contact).find("BDAY"), std::string::npos);
    stream_ = MemoryTextStream();
    contact.Set("Birthday", StoreDate{1970, 12, 31, 23, 30, 0});
    const std::string card = Card(contact);
    EXPECT_NE(card.find("\r\nBDAY:1970-12-31\r\n"), std::string::npos) << card;
    EXPECT_EQ(card.find("NOTE"), std::string::npos);  // the BDAY line does not depend on the box
}

TEST_F(CardTest, WebPageIsWrittenTwiceAroundTheTelephoneLines) {
    const std::string card = Card(Named().Set("WebPage", "http://example.org/a,b").Set("JobTitle", "Boss"));
    EXPECT_NE(card.find("\r\nURL:http://example.org/a\\,b\r\nTITLE:Boss\r\nURL:http://example.org/a\\,b\r\n"),
              std::string::npos)
        << card;
}

TEST_F(CardTest, MinimalCardHasOnlyTheAlwaysPresentLines) {
    EXPECT_EQ(Card(Named()),
              "BEGIN:VCARD\r\nVERSION:3.0\r\nPRODID:-//MOLV vCard Export Outlook//Version 0.1//EN\r\n"
              "N:Doe;;;;\r\nFN:Doe\r\nREV:4501-01-01T00:00:00\r\nUID:ID1\r\nEND:VCARD\r\n");
}

TEST_F(CardTest, FailingReadLeavesTheCardIncompleteAndTravelsUp) {
    EXPECT_THROW(Card(Named().Set("Categories", "x").FailOn("Categories")), Failure);
    EXPECT_EQ(stream_.Bytes().rfind("BEGIN:VCARD", 0), 0u);
    EXPECT_EQ(stream_.Bytes().find("END:VCARD"), std::string::npos);
}

}  // namespace
}  // namespace kalendro
