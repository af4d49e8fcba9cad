// SPDX-License-Identifier: GPL-3.0-or-later
#include "contact_export/vcard_address_note.h"

#include <cstdio>

#include "contact_export/vcard_property.h"

namespace kalendro {
namespace {

// The store members one address is read from.
struct AddressMembers {
    const char* adrType;
    const char* postOfficeBox;
    const char* street;
    const char* city;
    const char* state;
    const char* postalCode;
    const char* country;
    const char* fullText;
};

constexpr AddressMembers kWorkAddress = {"work",
                                         "BusinessAddressPostOfficeBox",
                                         "BusinessAddressStreet",
                                         "BusinessAddressCity",
                                         "BusinessAddressState",
                                         "BusinessAddressPostalCode",
                                         "BusinessAddressCountry",
                                         "BusinessAddress"};
constexpr AddressMembers kHomeAddress = {"home",
                                         "HomeAddressPostOfficeBox",
                                         "HomeAddressStreet",
                                         "HomeAddressCity",
                                         "HomeAddressState",
                                         "HomeAddressPostalCode",
                                         "HomeAddressCountry",
                                         "HomeAddress"};

void WriteAddressFrom(TextStream& stream, const StoreItem& contact, const AddressMembers& members) {
    AddressRecord record;
    record.AdrType = members.adrType;
    record.PostOfficeBox = contact.Text(members.postOfficeBox);
    record.Street = contact.Text(members.street);
    record.City = contact.Text(members.city);
    record.State = contact.Text(members.state);
    record.PostalCode = contact.Text(members.postalCode);
    record.Country = contact.Text(members.country);
    record.FullText = contact.Text(members.fullText);
    if (contact.Text("MailingAddress") == record.FullText) {
        record.AdrType += ",parcel";
    }
    WriteAddress(stream, record);
}

// Appends "<label><date>" to the note, on a line of its own, when the date is set and wanted.
void AppendDateLine(std::string& note, const char* label, const StoreDate& date, bool wanted,
                    const RegionalSettings& regional) {
    if (date.IsNoDate() || !wanted) {
        return;
    }
    if (!note.empty()) {
        note += "\r\n";
    }
    note += label + FormatNoteDate(date, regional);
}

}  // namespace

void WriteWorkAddress(TextStream& stream, const StoreItem& contact) { WriteAddressFrom(stream, contact, kWorkAddress); }

void WriteHomeAddress(TextStream& stream, const StoreItem& contact) { WriteAddressFrom(stream, contact, kHomeAddress); }

void WriteAddress(TextStream& stream, const AddressRecord& record) {
    if (record.FullText.empty()) {
        return;
    }
    const std::string components = EscapeComponent(record.PostOfficeBox) + ";" +
                                   EscapeComponent(record.ExtendedAddress) + ";" + EscapeComponent(record.Street) +
                                   ";" + EscapeComponent(record.City) + ";" + EscapeComponent(record.State) + ";" +
                                   EscapeComponent(record.PostalCode) + ";" + EscapeComponent(record.Country);
    WriteStructuredProperty(stream, "ADR;TYPE=" + record.AdrType, components);
    WriteProperty(stream, "LABEL;TYPE=" + record.AdrType, record.FullText);
}

std::string FormatNoteDate(const StoreDate& date, const RegionalSettings& regional) {
    char dayAndYear[32];
    std::snprintf(dayAndYear, sizeof dayAndYear, " %d, %04d", date.day, date.year);
    return regional.monthAbbreviations.at(date.month - 1) + dayAndYear;
}

void WriteNote(TextStream& stream, const StoreItem& contact, const ContactExportState& state,
               const RegionalSettings& regional) {
    std::string note;
    AppendDateLine(note, "birthday: ", contact.Date("Birthday"), state.AddBirthday, regional);
    AppendDateLine(note, "anniversary: ", contact.Date("Anniversary"), state.AddAnniversary, regional);
    const std::string body = contact.Text("Body");
    if (!body.empty()) {
        if (!note.empty()) {
            note += "\r\n\r\n";
        }
        note += body;
    }
    WriteProperty(stream, "NOTE", note);
}

}  // namespace kalendro
