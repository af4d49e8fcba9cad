// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pst/item_mapping.h"

#include <algorithm>
#include <array>

#include "platform/pst/item_classes.h"
#include "platform/pst/property_reading.h"
#include "platform/pst/property_tags.h"
#include "platform/pst/property_values.h"
#include "platform/pst/rtf_body.h"
#include "platform/pst/series_mapping.h"
#include "platform/store/failure.h"
#include "platform/text/html_text.h"

namespace kalendro::pst {

namespace {

using memory_store::MemberId;
using memory_store::MemberValue;

// PSETID_Address LIDs (MS-OXOCNTC).
constexpr std::uint32_t kFileUnder = 0x8005;
constexpr std::uint32_t kContactHtml = 0x802B;    // PidLidHtml, the web page
constexpr std::uint32_t kBirthdayLocal = 0x80DE;  // the contact dates kept without conversion
constexpr std::uint32_t kWeddingAnniversaryLocal = 0x80DF;

constexpr std::uint16_t kBusinessHomePage = 0x3A51;

// The properties of one of a contact's three e-mail addresses.
struct EmailSlot {
    MemberId address;
    MemberId type;
    std::uint32_t typeLid;
    std::uint32_t addressLid;
    std::uint32_t originalDisplayNameLid;
    std::uint32_t originalEntryIdLid;
};

constexpr EmailSlot kEmailSlots[] = {
    {MemberId::kEmail1Address, MemberId::kEmail1AddressType, 0x8082, 0x8083, 0x8084, 0x8085},
    {MemberId::kEmail2Address, MemberId::kEmail2AddressType, 0x8092, 0x8093, 0x8094, 0x8095},
    {MemberId::kEmail3Address, MemberId::kEmail3AddressType, 0x80A2, 0x80A3, 0x80A4, 0x80A5},
};

// MAPI_ONE_OFF_UID, in its stored byte order, and the flag of a one-off entry id's Unicode strings.
constexpr std::array<std::uint8_t, 16> kOneOffProvider = {0x81, 0x2B, 0x1F, 0xA4, 0xBE, 0xA3, 0x10, 0x19,
                                                          0x9D, 0x6E, 0x00, 0xDD, 0x01, 0x0F, 0x54, 0x02};
constexpr std::uint16_t kOneOffUnicode = 0x8000;

constexpr std::int32_t kNormalImportance = 1;

constexpr int kWindowsLatin1 = 1252;

std::optional<int> CodePageOf(const PropertyBag& bag, std::uint16_t tag) {
    const PropertyValue* value = bag.Find(tag);
    const std::optional<std::int32_t> codePage = value == nullptr ? std::nullopt : ReadInt32(*value);
    return codePage && *codePage > 0 ? codePage : std::nullopt;
}

struct InternetCodePage {
    int internet;
    int windows;
};

// The internet code pages of the scripts Windows has an 8-bit code page for, and that code page.
constexpr InternetCodePage kInternetCodePages[] = {
    {50220, 932},  {50221, 932},  {50222, 932},  {51932, 932},  {20932, 932},  {50225, 949},  {51949, 949},
    {51936, 936},  {52936, 936},  {20936, 936},  {51950, 950},  {28591, 1252}, {28605, 1252}, {20127, 1252},
    {28592, 1250}, {28595, 1251}, {20866, 1251}, {21866, 1251}, {28597, 1253}, {28599, 1254}, {28598, 1255},
    {38598, 1255}, {28596, 1256}, {28594, 1257}, {28603, 1257},
};

constexpr int kWindowsCodePages[] = {874, 932, 936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258};

// A Windows 8-bit code page is its own; nothing for an internet code page of no such script (UTF-8).
std::optional<int> WindowsCodePageOf(int internetCodePage) {
    if (std::find(std::begin(kWindowsCodePages), std::end(kWindowsCodePages), internetCodePage) !=
        std::end(kWindowsCodePages)) {
        return internetCodePage;
    }
    const auto found = std::find_if(std::begin(kInternetCodePages), std::end(kInternetCodePages),
                                    [&](const InternetCodePage& entry) { return entry.internet == internetCodePage; });
    return found == std::end(kInternetCodePages) ? std::nullopt : std::optional(found->windows);
}

StoreDate LocalTimeOf(const PropertyBag& bag, std::uint16_t tag) {
    const auto utc = TimeOf(bag, tag);
    return utc ? UtcToMachineLocal(*utc) : StoreDate::NoDate();
}

// The text members that are one string property each.
struct TextSource {
    MemberId member;
    std::uint16_t tag;  // 0: the named property below
    NamedProperty named;
};

const std::vector<TextSource>& TextSources() {
    static const std::vector<TextSource> sources = {
        {MemberId::kLocation, 0, Lid(kPsetidAppointment, kLocationLid)},
        {MemberId::kTitle, 0x3A45, {}},
        {MemberId::kFirstName, 0x3A06, {}},
        {MemberId::kMiddleName, 0x3A44, {}},
        {MemberId::kLastName, 0x3A11, {}},
        {MemberId::kCompanyName, 0x3A16, {}},
        {MemberId::kJobTitle, 0x3A17, {}},
        {MemberId::kNickName, 0x3A4F, {}},
        {MemberId::kFullName, kDisplayName, {}},
        {MemberId::kFileAs, 0, Lid(kPsetidAddress, kFileUnder)},
        {MemberId::kBusinessTelephoneNumber, 0x3A08, {}},
        {MemberId::kHomeTelephoneNumber, 0x3A09, {}},
        {MemberId::kMobileTelephoneNumber, 0x3A1C, {}},
        {MemberId::kBusinessAddress, 0, Lid(kPsetidAddress, 0x801B)},
        {MemberId::kBusinessAddressStreet, 0, Lid(kPsetidAddress, 0x8045)},
        {MemberId::kBusinessAddressCity, 0, Lid(kPsetidAddress, 0x8046)},
        {MemberId::kBusinessAddressState, 0, Lid(kPsetidAddress, 0x8047)},
        {MemberId::kBusinessAddressPostalCode, 0, Lid(kPsetidAddress, 0x8048)},
        {MemberId::kBusinessAddressCountry, 0, Lid(kPsetidAddress, 0x8049)},
        {MemberId::kBusinessAddressPostOfficeBox, 0, Lid(kPsetidAddress, 0x804A)},
        {MemberId::kHomeAddress, 0, Lid(kPsetidAddress, 0x801A)},
        {MemberId::kHomeAddressStreet, 0x3A5D, {}},
        {MemberId::kHomeAddressCity, 0x3A59, {}},
        {MemberId::kHomeAddressState, 0x3A5C, {}},
        {MemberId::kHomeAddressPostalCode, 0x3A5B, {}},
        {MemberId::kHomeAddressCountry, 0x3A5A, {}},
        {MemberId::kHomeAddressPostOfficeBox, 0x3A5E, {}},
        {MemberId::kMailingAddress, 0x3A15, {}},
        {MemberId::kDLName, 0, Lid(kPsetidAddress, 0x8053)},
    };
    return sources;
}

std::string Categories(const PropertyBag& message, CodePageDecoder& decoder) {
    const PropertyValue* value = message.Find(NamedProperty{kPsPublicStrings, 0, "Keywords"});
    const auto names = value == nullptr ? std::nullopt : ReadTextList(*value, decoder);
    std::string joined;
    for (const std::string& name : names.value_or(std::vector<std::string>{})) {
        joined += joined.empty() ? name : ", " + name;
    }
    return joined;
}

// A contact's date keeps its calendar date. The Local property holds midnight of it with no
// conversion; the UTC one holds midnight (or, from some clients, 11:59) of the writer's zone in UTC.
// When that moment is midnight here, its date here is the one Outlook shows, in any zone, those
// more than twelve hours ahead of UTC too; otherwise the writer's zone is not known, and the date's
// own UTC midnight, within twelve hours of the moment in the zones most people live in, gives it.
StoreDate ContactDate(const PropertyBag& contact, std::uint32_t localLid, std::uint16_t utcTag) {
    if (const auto local = TimeOf(contact, Lid(kPsetidAddress, localLid))) {
        return StoreDate::FromSerialSeconds(*local).DateOnly();
    }
    const auto utc = TimeOf(contact, utcTag);
    if (!utc) {
        return StoreDate::NoDate();
    }
    if (const StoreDate here = UtcToMachineLocal(*utc); here.SecondsOfDay() == 0) {
        return here;
    }
    const std::int64_t shifted = *utc + kSecondsPerDay / 2;
    return StoreDate::FromDaySerial(FloorDiv(shifted, kSecondsPerDay));
}

// An all-day event runs from midnight to midnight of its own zone: its dates are kept, whatever this
// machine's zone.
StoreDate AllDayBound(const PropertyBag& appointment, std::int64_t utc, std::uint32_t displayZoneLid) {
    std::optional<ZoneRules> zone = DefinitionIfReadable(appointment, displayZoneLid);
    if (!zone) {
        zone = SeriesZone(appointment);
    }
    return zone ? zone->UtcToWallDate(utc) : UtcToMachineLocal(utc);
}

StoreDate AppointmentBound(const PropertyBag& appointment, std::uint32_t wholeLid, std::uint32_t displayZoneLid) {
    const auto utc = TimeOf(appointment, Lid(kPsetidAppointment, wholeLid));
    if (!utc) {
        return StoreDate::NoDate();
    }
    const bool allDay = FlagOf(appointment, Lid(kPsetidAppointment, kSubType)).value_or(false);
    return allDay ? AllDayBound(appointment, *utc, displayZoneLid) : UtcToMachineLocal(*utc);
}

// An SMTP address alone ("name@example.com"), not a display name around one or an X.500 name.
bool IsSmtpAddress(std::string_view text) {
    const std::size_t at = text.find('@');
    if (at == std::string_view::npos || at == 0 || text.find('@', at + 1) != std::string_view::npos) {
        return false;
    }
    const std::string_view domain = text.substr(at + 1);
    const std::size_t dot = domain.find('.');
    const bool plain = std::none_of(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) <= ' ' || c == '\x7F' ||
               std::string_view("<>()[],;:\\\"").find(c) != std::string_view::npos;
    });
    return plain && dot != std::string_view::npos && dot > 0 && domain.back() != '.';
}

// The zero-terminated string at position (UTF-16 or 8-bit), moving past it; nothing when it has no end.
std::optional<std::string> TerminatedText(std::string_view bytes, std::size_t& position, bool unicode,
                                          CodePageDecoder& decoder) {
    const std::size_t unit = unicode ? 2 : 1;
    for (std::size_t end = position; end + unit <= bytes.size(); end += unit) {
        if (bytes.substr(end, unit).find_first_not_of('\0') == std::string_view::npos) {
            const std::string_view text = bytes.substr(position, end - position);
            position = end + unit;
            return unicode ? Utf16ToUtf8(text) : decoder.Decode(text);
        }
    }
    return std::nullopt;
}

// The address of a one-off entry id (an address kept whole in the id: display name, address type and
// address) when its type is SMTP; an address book entry id holds none.
std::optional<std::string> OneOffSmtpAddress(const PropertyValue* entryId, CodePageDecoder& decoder) {
    constexpr std::size_t kStringsStart = 24;  // flags, provider, version and the one-off's own flags
    if (entryId == nullptr || entryId->type != kTypeBinary || entryId->data.size() < kStringsStart ||
        !std::equal(kOneOffProvider.begin(), kOneOffProvider.end(), entryId->data.begin() + 4,
                    [](std::uint8_t expected, char stored) { return static_cast<std::uint8_t>(stored) == expected; })) {
        return std::nullopt;
    }
    const std::string_view id = entryId->data;
    const auto flags =
        static_cast<std::uint16_t>(static_cast<std::uint8_t>(id[22]) | (static_cast<std::uint8_t>(id[23]) << 8));
    std::size_t position = kStringsStart;
    std::array<std::string, 3> strings;  // display name, address type, address
    for (std::string& text : strings) {
        std::optional<std::string> read = TerminatedText(id, position, (flags & kOneOffUnicode) != 0, decoder);
        if (!read) {
            return std::nullopt;
        }
        text = std::move(*read);
    }
    if (!EqualIgnoringCase(strings[1], "SMTP") || !IsSmtpAddress(strings[2])) {
        return std::nullopt;
    }
    return strings[2];
}

struct EmailAddress {
    std::string type;
    std::string address;
};

// An address as Outlook resolves it: an SMTP address of any case is of type "SMTP"; an Exchange one
// ("EX", an X.500 name) is its SMTP address where the contact keeps one, in the one-off entry id of
// the address or as its original display name; any other stays as it is.
EmailAddress ResolvedEmail(const PropertyBag& contact, const EmailSlot& slot, CodePageDecoder& decoder) {
    EmailAddress email{TextOf(contact, Lid(kPsetidAddress, slot.typeLid), decoder),
                       TextOf(contact, Lid(kPsetidAddress, slot.addressLid), decoder)};
    if (EqualIgnoringCase(email.type, "SMTP")) {
        email.type = "SMTP";
        return email;
    }
    if (!EqualIgnoringCase(email.type, "EX")) {
        return email;
    }
    std::optional<std::string> smtp =
        OneOffSmtpAddress(contact.Find(Lid(kPsetidAddress, slot.originalEntryIdLid)), decoder);
    if (!smtp) {
        std::string shown = TextOf(contact, Lid(kPsetidAddress, slot.originalDisplayNameLid), decoder);
        if (IsSmtpAddress(shown)) {
            smtp = std::move(shown);
        }
    }
    return smtp ? EmailAddress{"SMTP", std::move(*smtp)} : email;
}

// The address or the type of the slot the member belongs to; nothing for another member.
std::optional<std::string> EmailMember(MemberId member, const PropertyBag& contact, CodePageDecoder& decoder) {
    for (const EmailSlot& slot : kEmailSlots) {
        if (member == slot.address || member == slot.type) {
            EmailAddress email = ResolvedEmail(contact, slot, decoder);
            return member == slot.address ? std::move(email.address) : std::move(email.type);
        }
    }
    return std::nullopt;
}

// PidLidHtml, else the business home page, which some tools write alone.
std::string WebPage(const PropertyBag& contact, CodePageDecoder& decoder) {
    std::string page = TextOf(contact, Lid(kPsetidAddress, kContactHtml), decoder);
    return page.empty() ? TextOf(contact, kBusinessHomePage, decoder) : page;
}

MemberValue SpecialMember(MemberId member, const Message& message, std::string_view storeRecordKey,
                          CodePageDecoder& decoder) {
    const PropertyBag& bag = message.properties;
    switch (member) {
        case MemberId::kEntryID:
            return EntryIdText(storeRecordKey, message.nodeId);
        case MemberId::kSubject:
            return WithoutSubjectMarker(TextOf(bag, kSubject, decoder));
        case MemberId::kBody:
            return BodyText(bag, decoder);
        case MemberId::kCategories:
            return Categories(bag, decoder);
        case MemberId::kCreationTime:
            return LocalTimeOf(bag, kCreationTime);
        case MemberId::kLastModificationTime:
            return LocalTimeOf(bag, kLastModificationTime);
        case MemberId::kStart:
            return AppointmentBound(bag, kStartWhole, kZoneDefinitionStart);
        case MemberId::kEnd:
            return AppointmentBound(bag, kEndWhole, kZoneDefinitionEnd);
        case MemberId::kImportance: {
            const PropertyValue* value = bag.Find(kImportance);
            return value == nullptr ? kNormalImportance : ReadInt32(*value).value_or(kNormalImportance);
        }
        case MemberId::kAllDayEvent:
            return FlagOf(bag, Lid(kPsetidAppointment, kSubType)).value_or(false);
        case MemberId::kWebPage:
            return WebPage(bag, decoder);
        case MemberId::kBirthday:
            return ContactDate(bag, kBirthdayLocal, kBirthday);
        case MemberId::kAnniversary:
            return ContactDate(bag, kWeddingAnniversaryLocal, kWeddingAnniversary);
        default:
            if (std::optional<std::string> email = EmailMember(member, bag, decoder)) {
                return std::move(*email);
            }
            throw Failure(kInvalidArgument,
                          "No property is known for the member " + std::string(memory_store::MemberName(member)) + ".");
    }
}

MemberValue ReadMember(MemberId member, const Message& message, std::string_view storeRecordKey,
                       CodePageDecoder& decoder) {
    const auto& sources = TextSources();
    const auto text =
        std::find_if(sources.begin(), sources.end(), [&](const TextSource& source) { return source.member == member; });
    if (text == sources.end()) {
        return SpecialMember(member, message, storeRecordKey, decoder);
    }
    return text->tag != 0 ? TextOf(message.properties, text->tag, decoder)
                          : TextOf(message.properties, text->named, decoder);
}

}  // namespace

std::string UpperHex(std::string_view bytes) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const char byte : bytes) {
        hex += kDigits[static_cast<std::uint8_t>(byte) >> 4];
        hex += kDigits[static_cast<std::uint8_t>(byte) & 0xF];
    }
    return hex;
}

std::string EntryIdText(std::string_view storeRecordKey, std::uint32_t nodeId) {
    std::string bytes(4, '\0');
    bytes += storeRecordKey;
    for (int shift = 0; shift < 32; shift += 8) {
        bytes += static_cast<char>((nodeId >> shift) & 0xFF);
    }
    return UpperHex(bytes);
}

int MessageCodePage(const PropertyBag& message) {
    if (const std::optional<int> own = CodePageOf(message, kMessageCodePage)) {
        return *own;
    }
    const std::optional<int> internet = CodePageOf(message, kInternetCodePage);
    return internet ? WindowsCodePageOf(*internet).value_or(kWindowsLatin1) : kWindowsLatin1;
}

CodePageDecoder MessageDecoder(const PropertyBag& message) { return CodePageDecoder(MessageCodePage(message)); }

MappedItem MapItem(const Message& message, std::string_view storeRecordKey, CodePageDecoder& decoder) {
    MappedItem item{ItemTypeName(message.properties), {}};
    const memory_store::ItemType type = memory_store::ItemTypeOf(item.typeName);
    for (std::size_t index = 0; index < memory_store::kMemberCount; ++index) {
        const auto member = static_cast<MemberId>(index);
        if (memory_store::TypeHasMember(type, member) && !memory_store::IsDerived(member)) {
            item.members.emplace_back(member, ReadMember(member, message, storeRecordKey, decoder));
        }
    }
    return item;
}

std::string BodyText(const PropertyBag& message, CodePageDecoder& decoder) {
    if (const PropertyValue* body = message.Find(kBody)) {
        return ReadText(*body, decoder).value_or(std::string());
    }
    if (const PropertyValue* rtf = message.Find(kRtfCompressed); rtf != nullptr && !rtf->data.empty()) {
        return BodyTextFromCompressedRtf(rtf->data);
    }
    if (const PropertyValue* html = message.Find(kHtml)) {
        // The HTML's bytes are in the internet code page itself.
        CodePageDecoder htmlDecoder(CodePageOf(message, kInternetCodePage).value_or(kWindowsLatin1));
        return HtmlToText(html->type == kTypeBinary ? htmlDecoder.Decode(html->data)
                                                    : ReadText(*html, htmlDecoder).value_or(std::string()));
    }
    return {};
}

}  // namespace kalendro::pst
