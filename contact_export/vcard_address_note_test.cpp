// SPDX-License-Identifier: GPL-3.0-or-later
#include "contact_export/vcard_address_note.h"

#include <gtest/gtest.h>

#include "testing/fake_store.h"
#include "testing/memory_text_stream.h"

namespace kalendro {
namespace {

using testing::FakeItem;
using testing::MemoryTextStream;

std::string Addresses(const FakeItem& contact) {
    MemoryTextStream stream;
    WriteWorkAddress(stream, contact);
    WriteHomeAddress(stream, contact);
    return stream.Bytes();
}

FakeItem LondonWorkAddress() {
    FakeItem contact("ContactItem");
    contact.Set("BusinessAddressStreet", "1 High Street").Set("BusinessAddressCity", "London");
    contact.Set("BusinessAddressPostalCode", "N1 9GU").Set("BusinessAddressCountry", "UK");
    contact.Set("BusinessAddress", "1 High Street\r\nLondon, N1 9GU\r\nUK");
    return contact;
}

TEST(AddressTest, MailingAddressGetsTheParcelMarkOthersDoNot) {
    FakeItem contact = LondonWorkAddress();
    contact.Set("MailingAddress", "1 High Street\r\nLondon, N1 9GU\r\nUK");
    contact.Set("HomeAddressStreet", "2 Low Road").Set("HomeAddressPostOfficeBox", "PO 7");
    contact.Set("HomeAddressState", "Kent").Set("HomeAddress", "2 Low Road\r\nKent");
    EXPECT_EQ(Addresses(contact),
              "ADR;TYPE=work,parcel:;;1 High Street;London;;N1 9GU;UK\r\n"
              "LABEL;TYPE=work,parcel:1 High Street\\nLondon\\, N1 9GU\\nUK\r\n"
              "ADR;TYPE=home:PO 7;;2 Low Road;;Kent;;\r\n"
              "LABEL;TYPE=home:2 Low Road\\nKent\r\n");
}

TEST(AddressTest, MailingComparisonIsExactAndMayMarkBothAddresses) {
    FakeItem contact = LondonWorkAddress();
    contact.Set("MailingAddress", "1 high street\r\nLondon, N1 9GU\r\nUK");
    EXPECT_EQ(Addresses(contact).find("parcel"), std::string::npos);

    contact.Set("MailingAddress", "Same").Set("BusinessAddress", "Same").Set("HomeAddress", "Same");
    const std::string lines = Addresses(contact);
    EXPECT_NE(lines.find("ADR;TYPE=work,parcel:"), std::string::npos);
    EXPECT_NE(lines.find("LABEL;TYPE=home,parcel:Same\r\n"), std::string::npos);
}

TEST(AddressTest, OnlyTheFullTextDecidesWhetherAnAddressIsWritten) {
    FakeItem contact("ContactItem");
    contact.Set("BusinessAddressCity", "London");  // components without a full text
    EXPECT_EQ(Addresses(contact), "");

    contact.Set("HomeAddress", "somewhere");  // full text without components
    EXPECT_EQ(Addresses(contact), "ADR;TYPE=home:;;;;;;\r\nLABEL;TYPE=home:somewhere\r\n");
}

class NoteTest : public ::testing::Test {
protected:
    std::string Note(bool addBirthday, bool addAnniversary) {
        MemoryTextStream stream;
        state_.AddBirthday = addBirthday;
        state_.AddAnniversary = addAnniversary;
        WriteNote(stream, contact_, state_, regional_);
        return stream.Bytes();
    }

    RegionalSettings regional_;
    ContactExportState state_;
    FakeItem contact_ = FakeItem("ContactItem")
                            .Set("Birthday", StoreDate{1980, 10, 3, 18, 45, 0})
                            .Set("Anniversary", StoreDate{2005, 6, 25})
                            .Set("Body", "Likes tea");
};

TEST_F(NoteTest, CheckBoxesChooseTheDateLinesBeforeTheNotesText) {
    EXPECT_EQ(Note(true, true), "NOTE:birthday: Oct 3\\, 1980\\nanniversary: Jun 25\\, 2005\\n\\nLikes tea\r\n");
    EXPECT_EQ(Note(false, true), "NOTE:anniversary: Jun 25\\, 2005\\n\\nLikes tea\r\n");
    EXPECT_EQ(Note(true, false), "NOTE:birthday: Oct 3\\, 1980\\n\\nLikes tea\r\n");
    EXPECT_EQ(Note(false, false), "NOTE:Likes tea\r\n");
}

TEST_F(NoteTest, DatesAloneGetNoEmptyLineAndNothingGivesNoNoteLine) {
    contact_.Set("Body", "");
    EXPECT_EQ(Note(true, true), "NOTE:birthday: Oct 3\\, 1980\\nanniversary: Jun 25\\, 2005\r\n");
    EXPECT_EQ(Note(false, true), "NOTE:anniversary: Jun 25\\, 2005\r\n");
    EXPECT_EQ(Note(false, false), "");
}

TEST_F(NoteTest, NoDateValuesAreNeverShown) {
    contact_.Set("Birthday", StoreDate::NoDate()).Set("Anniversary", StoreDate::NoDate());
    EXPECT_EQ(Note(true, true), "NOTE:Likes tea\r\n");
    contact_.Set("Body", "");
    EXPECT_EQ(Note(true, true), "");
}

TEST(NoteDateTest, UsesTheRegionalMonthNamesAndAnUnpaddedDay) {
    RegionalSettings german;
    german.monthAbbreviations = {"Jan", "Feb", "Mär", "Apr", "Mai", "Jun", "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"};
    EXPECT_EQ(FormatNoteDate(StoreDate{2002, 3, 7}, german), "Mär 7, 2002");
    EXPECT_EQ(FormatNoteDate(StoreDate{2004, 12, 31, 23, 59, 59}, german), "Dez 31, 2004");
    EXPECT_EQ(FormatNoteDate(StoreDate{987, 1, 1}, RegionalSettings()), "Jan 1, 0987");
}

}  // namespace
}  // namespace kalendro
