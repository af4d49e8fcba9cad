// SPDX-License-Identifier: GPL-3.0-or-later
#include "contact_export/vcard_card.h"

#include <array>
#include <limits>

#include "contact_export/vcard_address_note.h"
#include "contact_export/vcard_property.h"
#include "date_forms/date_forms.h"
#include "platform/store/failure.h"

namespace kalendro {
namespace {

std::string ProgressText(const std::string& fn, const ContactExportState& state) {
    return "Status: " + fn + " (" + std::to_string(state.ContactsDone) + " of " + std::to_string(state.TotalItems) +
           ")";
}

void CountContact(ContactExportState& state) {
    if (state.ContactsDone == std::numeric_limits<std::int32_t>::max()) {
        throw Failure(kOverflow, "Overflow");
    }
    ++state.ContactsDone;
}

void WriteEmailAddresses(TextStream& stream, const StoreItem& contact) {
    struct EmailSlot {
        const char* typeMember;
        const char* addressMember;
        const char* propertyName;
    };
    static constexpr std::array<EmailSlot, 3> slots = {{
        {"Email1AddressType", "Email1Address", "EMAIL;PREF;INTERNET"},
        {"Email2AddressType", "Email2Address", "EMAIL;INTERNET"},
        {"Email3AddressType", "Email3Address", "EMAIL;INTERNET"},
    }};
    for (const EmailSlot& slot : slots) {
        if (contact.Text(slot.typeMember) == "SMTP") {
            WriteProperty(stream, slot.propertyName, contact.Text(slot.addressMember));
        }
    }
}

}  // namespace

bool ComposeNames(const StoreItem& contact, std::string& n, std::string& fn, std::string& org) {
    std::string first = contact.Text("FirstName");
    const std::string last = contact.Text("LastName");
    org = contact.Text("CompanyName");
    std::string title;
    std::string middle;
    if (first.empty() && last.empty()) {
        // The company stands in for the name; without one, the name the contact is shown by (files
        // written by other tools often hold nothing else), then the one it is filed under.
        first = std::move(org);
        org.clear();
        for (const char* shownName : {"FullName", "FileAs"}) {
            if (first.empty()) {
                first = contact.Text(shownName);
            }
        }
        if (first.empty()) {
            return false;
        }
    } else {
        title = contact.Text("Title");
        middle = contact.Text("MiddleName");
    }
    if (!last.empty()) {
        fn += last;
        if (!title.empty() || !first.empty() || !middle.empty()) {
            fn += ", ";
        }
    }
    if (!title.empty()) {
        fn += title;
        if (!first.empty() || !middle.empty()) {
            fn += " ";
        }
    }
    if (!first.empty()) {
        fn += first;
        if (!middle.empty()) {
            fn += " ";
        }
    }
    fn += middle;
    n = EscapeComponent(last) + ";" + EscapeComponent(first) + ";" + EscapeComponent(middle) + ";" +
        EscapeComponent(title) + ";";
    return true;
}

void WriteContactCard(TextStream& stream, const StoreItem& contact, ContactCardRun& run) {
    CountContact(run.state);
    std::string n;
    std::string fn;
    std::string org;
    if (!ComposeNames(contact, n, fn, org)) {
        return;
    }
    run.view.ShowStatus(ProgressText(fn, run.state));

    stream.WriteLine("BEGIN:VCARD");
    stream.WriteLine("VERSION:3.0");
    stream.WriteLine(std::string("PRODID:") + kVCardProductId);
    WriteStructuredProperty(stream, "N", n);
    WriteProperty(stream, "FN", fn);
    WriteProperty(stream, "NICKNAME", contact.Text("NickName"));
    WriteStructuredProperty(stream, "ORG", EscapeComponent(org));
    WriteProperty(stream, "URL", contact.Text("WebPage"));
    WriteProperty(stream, "TITLE", contact.Text("JobTitle"));
    WriteProperty(stream, "TEL;WORK;VOICE", contact.Text("BusinessTelephoneNumber"));
    WriteProperty(stream, "TEL;HOME;VOICE", contact.Text("HomeTelephoneNumber"));
    WriteProperty(stream, "TEL;CELL;VOICE", contact.Text("MobileTelephoneNumber"));
    WriteProperty(stream, "URL", contact.Text("WebPage"));
    WriteWorkAddress(stream, contact);
    WriteHomeAddress(stream, contact);
    WriteEmailAddresses(stream, contact);
    const StoreDate birthday = contact.Date("Birthday");
    if (!birthday.IsNoDate()) {
        WriteProperty(stream, "BDAY", FormatIsoDate(birthday));
    }
    WriteProperty(stream, "CATEGORIES", contact.Text("Categories"));
    WriteProperty(stream, "REV", FormatIsoDateTime(contact.Date("LastModificationTime")));
    WriteProperty(stream, "UID", contact.Text("EntryID"));
    WriteNote(stream, contact, run.state, run.regional);
    stream.WriteLine("END:VCARD");
}

}  // namespace kalendro
