// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pst/item_classes.h"
#include "platform/pst/item_mapping.h"
#include "platform/pst/series_mapping.h"

#include <gtest/gtest.h>

#include "platform/pst/test_members.h"
#include "platform/pst/test_values.h"
#include "platform/store/failure.h"

namespace kalendro::pst {
namespace {

using memory_store::MemberId;
using memory_store::MemberValue;
namespace t = testing;
using t::IdsOf;
using t::ValueOf;

constexpr std::string_view kRecordKey = "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C\x0D\x0E\x0F\x10";

NamedProperty Appointment(std::uint32_t lid) { return Lid(kPsetidAppointment, lid); }
NamedProperty Address(std::uint32_t lid) { return Lid(kPsetidAddress, lid); }

// Each reading with the message's own decoder, as the store reads it.
MappedItem Map(const Message& message) {
    CodePageDecoder decoder = MessageDecoder(message.properties);
    return MapItem(message, kRecordKey, decoder);
}

std::string Body(const PropertyBag& message) {
    CodePageDecoder decoder = MessageDecoder(message);
    return BodyText(message, decoder);
}

TEST(ItemMappingTest, MessageAndContainerClassesNameTypesByOutlooksRules) {
    // The rules, not the table: any case, a custom subclass, the OLE class, a longer word, a report.
    const std::pair<std::string_view, std::string_view> classes[] = {
        {"ipm.appointment.Custom", "AppointmentItem"},
        {"IPM.OLE.CLASS.{00061055-0000-0000-C000-000000000046}", "AppointmentItem"},
        {"IPM.Contactx", "MailItem"},
        {"REPORT.IPM.Note.NDR", "ReportItem"},
        {"", "MailItem"},
    };
    for (const auto& [messageClass, typeName] : classes) {
        EXPECT_EQ(ItemTypeNameOfClass(messageClass), typeName) << messageClass;
    }
    PropertyBag message;
    message.Set(0x001A, t::Ansi("IPM.Contact"));
    EXPECT_EQ(ItemTypeName(message), "ContactItem");

    const std::pair<std::string_view, std::int32_t> containers[] = {
        {"IPF.Contact.MOC.QuickContacts", 2}, {"IPF.Tasks", 0}, {"", 0}};
    for (const auto& [containerClass, itemType] : containers) {
        EXPECT_EQ(DefaultItemTypeOfContainerClass(containerClass), itemType) << containerClass;
    }
    PropertyBag folder;
    folder.Set(0x3613, t::Unicode(u"IPF.Appointment"));
    EXPECT_EQ(DefaultItemType(folder), 1);
    EXPECT_EQ(DefaultItemType(PropertyBag{}), 0);
}

TEST(ItemMappingTest, AppointmentMembersComeFromOutlooksProperties) {
    t::ScopedMachineZone zone(t::kPacificPosix);
    Message message;
    message.nodeId = 0x2124;
    PropertyBag& bag = message.properties;
    bag.Set(0x001A, t::Unicode(u"IPM.Appointment"));
    bag.Set(0x0037, t::Unicode(u"\u0001\u0005Team lunch"));
    bag.Set(0x1000, t::Unicode(u"Bring \u00e9clairs\r\n"));
    bag.Set(NamedProperty{kPsPublicStrings, 0, "Keywords"}, t::UnicodeList({u"Red", u"Blue Category"}));
    bag.Set(0x3007, t::SystemTime({2016, 7, 1, 17, 0, 0}));
    bag.Set(0x0017, t::Int32(2));
    bag.Set(Appointment(0x820D), t::SystemTime({2016, 8, 2, 15, 0, 0}));
    bag.Set(Appointment(0x820E), t::SystemTime({2016, 8, 2, 15, 30, 0}));
    bag.Set(Appointment(0x8208), t::Unicode(u"Room 4"));
    bag.Set(Appointment(0x8215), t::Bool(false));

    const MappedItem item = Map(message);
    EXPECT_EQ(item.typeName, "AppointmentItem");
    const MemberValues& members = item.members;
    EXPECT_EQ(ValueOf(members, MemberId::kEntryID), MemberValue("000000000102030405060708090A0B0C0D0E0F1024210000"));
    EXPECT_EQ(ValueOf(members, MemberId::kSubject), MemberValue("Team lunch"));
    EXPECT_EQ(ValueOf(members, MemberId::kBody), MemberValue("Bring \xC3\xA9"
                                                             "clairs\r\n"));
    EXPECT_EQ(ValueOf(members, MemberId::kCategories), MemberValue("Red, Blue Category"));
    EXPECT_EQ(ValueOf(members, MemberId::kCreationTime), MemberValue(StoreDate{2016, 7, 1, 10, 0, 0}));
    EXPECT_EQ(ValueOf(members, MemberId::kLastModificationTime), MemberValue(StoreDate::NoDate()));
    EXPECT_EQ(ValueOf(members, MemberId::kStart), MemberValue(StoreDate{2016, 8, 2, 8, 0, 0}));
    EXPECT_EQ(ValueOf(members, MemberId::kEnd), MemberValue(StoreDate{2016, 8, 2, 8, 30, 0}));
    EXPECT_EQ(ValueOf(members, MemberId::kLocation), MemberValue("Room 4"));
    EXPECT_EQ(ValueOf(members, MemberId::kImportance), MemberValue(std::int32_t{2}));
    EXPECT_EQ(ValueOf(members, MemberId::kAllDayEvent), MemberValue(false));
}

TEST(ItemMappingTest, OtherItemsHaveTheMembersEveryItemHas) {
    Message message;
    message.properties.Set(0x001A, t::Unicode(u"IPM.Note"));
    const MappedItem item = Map(message);
    EXPECT_EQ(item.typeName, "MailItem");
    EXPECT_EQ(IdsOf(item.members),
              (std::vector<MemberId>{MemberId::kEntryID, MemberId::kSubject, MemberId::kBody, MemberId::kCategories,
                                     MemberId::kCreationTime, MemberId::kLastModificationTime}));
}

TEST(ItemMappingTest, MissingPropertiesGiveTheStoresDefaults) {
    Message message;
    message.properties.Set(0x001A, t::Unicode(u"IPM.Appointment"));
    const MemberValues members = Map(message).members;
    EXPECT_EQ(ValueOf(members, MemberId::kSubject), MemberValue(""));
    EXPECT_EQ(ValueOf(members, MemberId::kCategories), MemberValue(""));
    EXPECT_EQ(ValueOf(members, MemberId::kStart), MemberValue(StoreDate::NoDate()));
    EXPECT_EQ(ValueOf(members, MemberId::kImportance), MemberValue(std::int32_t{1}));
    EXPECT_EQ(ValueOf(members, MemberId::kAllDayEvent), MemberValue(false));
}

TEST(ItemMappingTest, AllDayEventKeepsItsOwnDatesInAnyMachineZone) {
    t::ScopedMachineZone zone(t::kPacificPosix);
    Message message;
    PropertyBag& bag = message.properties;
    bag.Set(0x001A, t::Unicode(u"IPM.Appointment"));
    bag.Set(Appointment(0x8215), t::Bool(true));
    // Christmas Day in Sydney (summer time, UTC+11).
    bag.Set(Appointment(0x820D), t::SystemTime({2016, 12, 24, 13, 0, 0}));
    bag.Set(Appointment(0x820E), t::SystemTime({2016, 12, 25, 13, 0, 0}));
    bag.Set(Appointment(0x825E), t::Binary(t::Definition({{2008, t::kAusEastern}})));
    bag.Set(Appointment(0x825F), t::Binary(t::Definition({{2008, t::kAusEastern}})));
    MemberValues members = Map(message).members;
    EXPECT_EQ(ValueOf(members, MemberId::kStart), MemberValue(StoreDate{2016, 12, 25}));
    EXPECT_EQ(ValueOf(members, MemberId::kEnd), MemberValue(StoreDate{2016, 12, 26}));
    EXPECT_EQ(ValueOf(members, MemberId::kAllDayEvent), MemberValue(true));

    // Without a zone of its own the event is read in this machine's zone.
    bag.Set(Appointment(0x825E), t::Binary("damaged"));
    bag.Set(Appointment(0x825F), t::Binary(""));
    members = Map(message).members;
    EXPECT_EQ(ValueOf(members, MemberId::kStart), MemberValue(StoreDate{2016, 12, 24, 5, 0, 0}));
}

TEST(ItemMappingTest, ContactDatesKeepTheirDay) {
    Message message;
    PropertyBag& bag = message.properties;
    bag.Set(0x001A, t::Unicode(u"IPM.Contact"));
    // A birthday kept as local midnight; an anniversary stored from UTC+10 as UTC.
    bag.Set(Address(0x80DE), t::SystemTime({1980, 5, 4}));
    bag.Set(0x3A42, t::SystemTime({1980, 5, 4, 7, 0, 0}));
    bag.Set(0x3A41, t::SystemTime({1990, 6, 14, 14, 0, 0}));

    const MappedItem item = Map(message);
    EXPECT_EQ(item.typeName, "ContactItem");
    EXPECT_EQ(ValueOf(item.members, MemberId::kBirthday), MemberValue(StoreDate{1980, 5, 4}));
    EXPECT_EQ(ValueOf(item.members, MemberId::kAnniversary), MemberValue(StoreDate{1990, 6, 15}));
    EXPECT_THROW(ValueOf(item.members, MemberId::kSubject), std::out_of_range);
}

// An ANSI file keeps every 8-bit string of a message in the message's code page: Cyrillic here.
TEST(ItemMappingTest, EveryAnsiStringOfAMessageIsReadInItsCodePage) {
    const std::string pri = "\xD0\x9F\xD1\x80\xD0\xB8";  // "При" in UTF-8; CF F0 E8 in Windows-1251
    const std::string zal = "\xD0\x97\xD0\xB0\xD0\xBB";  // "Зал"; C7 E0 EB
    const std::string dom = "\xD0\x94\xD0\xBE\xD0\xBC";  // "Дом"; C4 EE EC
    Message appointment;
    PropertyBag& bag = appointment.properties;
    bag.Set(0x001A, t::Ansi("IPM.Appointment"));
    bag.Set(0x3FFD, t::Int32(1251));
    bag.Set(0x0037, t::Ansi("\xCF\xF0\xE8"));
    bag.Set(0x1000, t::Ansi("\xCF\xF0\xE8"));
    bag.Set(Appointment(0x8208), t::Ansi("\xC7\xE0\xEB"));
    bag.Set(NamedProperty{kPsPublicStrings, 0, "Keywords"}, t::AnsiList({"\xC4\xEE\xEC", "\xC7\xE0\xEB"}));
    const MemberValues members = Map(appointment).members;
    EXPECT_EQ(ValueOf(members, MemberId::kSubject), MemberValue(pri));
    EXPECT_EQ(ValueOf(members, MemberId::kBody), MemberValue(pri));
    EXPECT_EQ(ValueOf(members, MemberId::kLocation), MemberValue(zal));
    EXPECT_EQ(ValueOf(members, MemberId::kCategories), MemberValue(dom + ", " + zal));

    Message contact;
    contact.properties.Set(0x001A, t::Ansi("IPM.Contact"));
    contact.properties.Set(0x3FFD, t::Int32(1251));
    contact.properties.Set(0x3A06, t::Ansi("\xCF\xF0\xE8"));
    contact.properties.Set(Address(0x8083), t::Ansi("\xC4\xEE\xEC@example.ru"));
    const MemberValues contactMembers = Map(contact).members;
    EXPECT_EQ(ValueOf(contactMembers, MemberId::kFirstName), MemberValue(pri));
    EXPECT_EQ(ValueOf(contactMembers, MemberId::kEmail1Address), MemberValue(dom + "@example.ru"));
}

// Without a code page of its own a message's 8-bit strings are in the Windows code page of its
// internet code page's script, else Windows-1252.
TEST(ItemMappingTest, TheInternetCodePageNamesTheWindowsCodePageOfItsScript) {
    const struct {
        std::optional<int> messageCodePage;
        std::optional<int> internetCodePage;
        int windowsCodePage;
    } cases[] = {
        {std::nullopt, 50220, 932},         {std::nullopt, 1253, 1253}, {std::nullopt, 65001, 1252},
        {std::nullopt, std::nullopt, 1252}, {1251, 50220, 1251},        {std::nullopt, 12345, 1252},
    };
    for (const auto& test : cases) {
        PropertyBag bag;
        if (test.messageCodePage) {
            bag.Set(0x3FFD, t::Int32(*test.messageCodePage));
        }
        if (test.internetCodePage) {
            bag.Set(0x3FDE, t::Int32(*test.internetCodePage));
        }
        EXPECT_EQ(MessageCodePage(bag), test.windowsCodePage) << test.internetCodePage.value_or(0);
    }
}

// A one-off entry id: flags, MAPI_ONE_OFF_UID, version, the one-off's flags (0x8000 Unicode), then
// display name, address type and address, each ending in a zero.
PropertyValue OneOff(std::u16string_view name, std::u16string_view type, std::u16string_view address) {
    t::BlobWriter blob;
    blob.U32(0).Bytes(t::FromHex("812B1FA4BEA310199D6E00DD010F5402")).U16(0).U16(0x8000);
    for (const std::u16string_view text : {name, type, address}) {
        blob.Utf16(text).U16(0);
    }
    return t::Binary(blob.Data());
}

PropertyValue AnsiOneOff(std::string_view name, std::string_view type, std::string_view address) {
    t::BlobWriter blob;
    blob.U32(0).Bytes(t::FromHex("812B1FA4BEA310199D6E00DD010F5402")).U16(0).U16(0);
    for (const std::string_view text : {name, type, address}) {
        blob.Bytes(text).U8(0);
    }
    return t::Binary(blob.Data());
}

// An Exchange address is handed over as its SMTP address where the contact keeps one, so that the
// card, which takes SMTP addresses only, has it; an SMTP type of any case is "SMTP".
TEST(ItemMappingTest, ExchangeAddressesBecomeTheirSmtpAddressWhereTheContactHoldsOne) {
    const std::u16string x500 = u"/o=Contoso/ou=Exchange Administrative Group/cn=Recipients/cn=ann";
    const std::string x500Text(x500.begin(), x500.end());
    const struct {
        const char* name;
        std::u16string type;
        std::optional<std::u16string> originalDisplayName;
        std::optional<PropertyValue> originalEntryId;
        std::string wantedType;
        std::string wantedAddress;
    } cases[] = {
        {"display name", u"EX", u"ann@contoso.com", std::nullopt, "SMTP", "ann@contoso.com"},
        {"one-off entry id first", u"ex", u"Ann Lee (ann@contoso.com)", OneOff(u"Ann Lee", u"smtp", u"lee@contoso.com"),
         "SMTP", "lee@contoso.com"},
        {"ANSI one-off", u"EX", std::nullopt, AnsiOneOff("Ann", "SMTP", "ann@contoso.com"), "SMTP", "ann@contoso.com"},
        {"one-off of another type", u"EX", u"ann@contoso.com", OneOff(u"Ann", u"FAX", u"+1 555 0100"), "SMTP",
         "ann@contoso.com"},
        {"one-off without its end", u"EX", std::nullopt,
         t::Binary(OneOff(u"Ann", u"SMTP", u"ann@contoso.com").data.substr(0, 60)), "EX", x500Text},
        {"no SMTP form", u"EX", u"Ann Lee", std::nullopt, "EX", x500Text},
        {"X.500 display name", u"EX", x500, std::nullopt, "EX", x500Text},
        {"address book entry id", u"EX", std::nullopt, t::Binary(std::string(28, '\x01')), "EX", x500Text},
        {"lower-case SMTP", u"smtp", std::nullopt, std::nullopt, "SMTP", x500Text},
        {"another type", u"FAX", u"ann@contoso.com", std::nullopt, "FAX", x500Text},
    };
    const MemberId slots[][2] = {{MemberId::kEmail1AddressType, MemberId::kEmail1Address},
                                 {MemberId::kEmail2AddressType, MemberId::kEmail2Address},
                                 {MemberId::kEmail3AddressType, MemberId::kEmail3Address}};
    const std::uint32_t firstLids[] = {0x8082, 0x8092, 0x80A2};
    for (const auto& test : cases) {
        for (std::size_t slot = 0; slot < 3; ++slot) {
            SCOPED_TRACE(std::string(test.name) + " in slot " + std::to_string(slot + 1));
            Message contact;
            PropertyBag& bag = contact.properties;
            bag.Set(0x001A, t::Unicode(u"IPM.Contact"));
            bag.Set(Address(firstLids[slot]), t::Unicode(test.type));
            bag.Set(Address(firstLids[slot] + 1), t::Unicode(x500));
            if (test.originalDisplayName) {
                bag.Set(Address(firstLids[slot] + 2), t::Unicode(*test.originalDisplayName));
            }
            if (test.originalEntryId) {
                bag.Set(Address(firstLids[slot] + 3), *test.originalEntryId);
            }
            const MemberValues members = Map(contact).members;
            EXPECT_EQ(ValueOf(members, slots[slot][0]), MemberValue(test.wantedType));
            EXPECT_EQ(ValueOf(members, slots[slot][1]), MemberValue(test.wantedAddress));
        }
    }
}

TEST(ItemMappingTest, TheWebPageFallsBackToTheBusinessHomePage) {
    Message contact;
    contact.properties.Set(0x001A, t::Unicode(u"IPM.Contact"));
    contact.properties.Set(0x3A51, t::Unicode(u"https://example.com/home"));
    EXPECT_EQ(ValueOf(Map(contact).members, MemberId::kWebPage), MemberValue("https://example.com/home"));
    contact.properties.Set(Address(0x802B), t::Unicode(u"https://example.com/html"));
    EXPECT_EQ(ValueOf(Map(contact).members, MemberId::kWebPage), MemberValue("https://example.com/html"));
}

// Outlook 2007 and earlier keep only the UTC birthday: the writer's local midnight. Where that moment
// is midnight here its date here is the day, also more than twelve hours from UTC; elsewhere the
// nearest UTC midnight gives it.
TEST(ItemMappingTest, AUtcBirthdayThatIsMidnightHereKeepsItsDateInAnyZone) {
    const struct {
        const char* zone;
        StoreDate utc;
        StoreDate date;
    } cases[] = {
        {"Pacific/Auckland", {1990, 1, 14, 11, 0, 0}, {1990, 1, 15}},     // +13 in summer
        {"Pacific/Kiritimati", {2000, 3, 9, 10, 0, 0}, {2000, 3, 10}},    // +14
        {"Pacific/Chatham", {2005, 7, 19, 11, 15, 0}, {2005, 7, 20}},     // +12:45
        {"Pacific/Pago_Pago", {2010, 6, 1, 11, 0, 0}, {2010, 6, 1}},      // -11
        {"Pacific/Auckland", {1990, 7, 14, 12, 0, 0}, {1990, 7, 15}},     // +12 in winter
        {"Europe/Berlin", {1990, 1, 14, 11, 0, 0}, {1990, 1, 14}},        // from +13, not midnight here
        {"Pacific/Kiritimati", {2000, 3, 10, 11, 59, 0}, {2000, 3, 10}},  // 11:59 UTC, as some clients keep it
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(std::string(test.zone) + " " + test.utc.ToText());
        t::ScopedMachineZone zone(test.zone);
        Message contact;
        contact.properties.Set(0x001A, t::Unicode(u"IPM.Contact"));
        contact.properties.Set(0x3A42, t::SystemTime(test.utc));
        contact.properties.Set(0x3A41, t::SystemTime(test.utc));
        const MemberValues members = Map(contact).members;
        EXPECT_EQ(ValueOf(members, MemberId::kBirthday), MemberValue(test.date));
        EXPECT_EQ(ValueOf(members, MemberId::kAnniversary), MemberValue(test.date));
    }
}

TEST(ItemMappingTest, DistributionListHasItsNameAndSubject) {
    Message message;
    message.properties.Set(0x001A, t::Unicode(u"IPM.DistList"));
    message.properties.Set(0x0037, t::Unicode(u"test dist list"));
    message.properties.Set(Address(0x8053), t::Unicode(u"test dist list"));
    const MappedItem item = Map(message);
    EXPECT_EQ(item.typeName, "DistListItem");
    EXPECT_EQ(ValueOf(item.members, MemberId::kDLName), MemberValue("test dist list"));
    EXPECT_EQ(ValueOf(item.members, MemberId::kSubject), MemberValue("test dist list"));
}

TEST(ItemMappingTest, BodyFallsBackToRtfThenHtmlEachInItsCodePage) {
    PropertyBag bag;
    const std::string rtf = "{\\rtf1\\ansi\\fromtext \\pard Line one\\par}";
    bag.Set(0x1009, t::Binary(t::BlobWriter()
                                  .U32(static_cast<std::uint32_t>(rtf.size() + 12))
                                  .U32(static_cast<std::uint32_t>(rtf.size()))
                                  .Bytes("MELA")
                                  .U32(0)
                                  .Bytes(rtf)
                                  .Data()));
    bag.Set(0x1013, t::Binary("<p>from html</p>"));
    EXPECT_EQ(Body(bag), "Line one\r\n");
    bag.Set(0x1000, t::Unicode(u"plain"));
    EXPECT_EQ(Body(bag), "plain");

    PropertyBag htmlOnly;
    htmlOnly.Set(0x1013, t::Binary("<p>from html</p>"));
    EXPECT_EQ(Body(htmlOnly), "from html\r\n");

    PropertyBag cyrillic;
    cyrillic.Set(0x1000, t::Ansi("\xCF\xF0\xE8"));
    cyrillic.Set(0x3FFD, t::Int32(1251));
    EXPECT_EQ(Body(cyrillic), "\xD0\x9F\xD1\x80\xD0\xB8");
    PropertyBag latinHtml;
    latinHtml.Set(0x1013, t::Binary("caf\xE9"));
    EXPECT_EQ(Body(latinHtml), "caf\xC3\xA9");
    latinHtml.Set(0x3FDE, t::Int32(65001));
    latinHtml.Set(0x1013, t::Binary("caf\xC3\xA9"));
    EXPECT_EQ(Body(latinHtml), "caf\xC3\xA9");

    PropertyBag damaged;
    damaged.Set(0x1009, t::Binary(std::string("\x20\x00\x00\x00", 4)));
    EXPECT_THROW(Body(damaged), Failure);
}

}  // namespace
}  // namespace kalendro::pst
