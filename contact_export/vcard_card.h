// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "contact_export/contact_export_run.h"
#include "platform/files/output_files.h"
#include "platform/locale/regional.h"
#include "platform/store/store.h"

namespace kalendro {

// What one card needs of its run besides the stream and the contact.
struct ContactCardRun {
    ContactExportState& state;
    ContactExportView& view;
    const RegionalSettings& regional;
};

// The PRODID of every card, by which a server's copies of the cards tell that this program wrote them.
inline constexpr const char* kVCardProductId = "-//MOLV vCard Export Outlook//Version 0.1//EN";

// One vCard 3.0 card for one contact item; nothing but the count for a contact without first
// name, last name, company, full name and file-as name.
void WriteContactCard(TextStream& stream, const StoreItem& contact, ContactCardRun& run);

// The N, FN and ORG values; false when the contact has no name and nothing to stand in for it: the
// company, else the full name, else the file-as name stands in (given name and FN) when it has
// neither first nor last name, and title and middle name are then not read.
// fn must be empty on entry. N's components come through EscapeComponent, ready for
// WriteStructuredProperty; FN and ORG are the plain texts.
bool ComposeNames(const StoreItem& contact, std::string& n, std::string& fn, std::string& org);

}  // namespace kalendro
