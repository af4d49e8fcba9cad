// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "contact_export/contact_export_run.h"
#include "platform/files/output_files.h"
#include "platform/locale/regional.h"
#include "platform/store/store.h"

namespace kalendro {

// One postal address as the card writes it; PostOfficeBox to Country are the seven ADR
// components in their vCard order.
struct AddressRecord {
    std::string AdrType;  // "work" or "home", with ",parcel" for the mailing address
    std::string PostOfficeBox;
    std::string ExtendedAddress;
    std::string Street;
    std::string City;
    std::string State;
    std::string PostalCode;
    std::string Country;
    std::string FullText;  // the whole address, lines separated by CR LF
};

void WriteWorkAddress(TextStream& stream, const StoreItem& contact);
void WriteHomeAddress(TextStream& stream, const StoreItem& contact);
// The ADR and LABEL lines, or nothing when the full text is empty.
void WriteAddress(TextStream& stream, const AddressRecord& record);

// The NOTE line: the birthday and anniversary lines the state asks for, then the notes text.
void WriteNote(TextStream& stream, const StoreItem& contact, const ContactExportState& state,
               const RegionalSettings& regional);

// "mmm d, yyyy" in the regional month abbreviations, e.g. Mar 7, 2002.
std::string FormatNoteDate(const StoreDate& date, const RegionalSettings& regional);

}  // namespace kalendro
