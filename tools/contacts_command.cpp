// SPDX-License-Identifier: GPL-3.0-or-later
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "contact_export/contact_export_run.h"
#include "contact_export/vcard_card.h"
#include "platform/dav/dav_resources.h"
#include "tools/command_line.h"
#include "tools/commands.h"
#include "tools/dav_target.h"
#include "tools/progress_bar.h"

namespace kalendro::tools {

namespace {

constexpr const char* kContactsUsage =
    R"usage(Usage: kalendro-export contacts --store FILE --output PATH [options]
       kalendro-export contacts --store FILE --carddav URL [--user NAME] [--prune] [options]

Writes every contact of the store's default contacts folder to one vCard 3.0 file at
PATH, replacing a file of that name. Exactly what the contact window's Start button does.
With --carddav the cards go to a CardDAV address book instead, each one resource.

  --store FILE        the mail store: an Outlook data file (.pst, .ost) or a mailbox
                      file (required); give it again for more stores, the first one
                      holding the default contacts folder
  --output PATH       the vCard file to write (this or --carddav): a path on this
                      machine, or a drive path such as c:\contacts.vcf (c: is the home
                      directory)
  --no-birthday       leave the birthday out of each card's note
  --no-anniversary    leave the anniversary out of each card's note
  --carddav URL       instead of --output: put each card, as it would be in the file, as
                      the resource UID.vcf into the address book at URL; a second run
                      updates the same resources
  --user NAME         the user on the server; the password comes from the environment
                      variable KALENDRO_PASSWORD, else from ~/.netrc
  --prune             with --carddav: also remove the cards that an earlier run put there
                      and this one did not; nothing else is ever removed
  --help              show this text

Prints the progress to standard error: on a terminal one line with a bar, the count of
the total and the percentage; otherwise one line per card ("Status: NAME (DONE of
TOTAL)"). Then the number of contact items and the path of the file go to standard output.
With --carddav the progress of the puts follows in the same way ("Put: UID.vcf (DONE of
TOTAL)"), and the number of cards the server accepted (and removed) goes to standard output.

Exit status: 0 the file was written (the cards were put); 1 the store could not be read,
the file could not be written (it keeps what was written before the failure) or the server
refused or could not be reached (the message and the underlying error go to standard
error); 2 a usage error.
)usage";

struct ContactsOptions {
    std::vector<std::string> stores;
    std::string output;
    bool addBirthday = true;
    bool addAnniversary = true;
    DavOptions carddav;
};

// Lists every card of an address book with its text, for pruning. The filter is required and, empty, lets
// every card through.
constexpr const char* kCardListQuery =
    R"(<?xml version="1.0" encoding="utf-8"?>)"
    R"(<C:addressbook-query xmlns:D="DAV:" xmlns:C="urn:ietf:params:xml:ns:carddav"><D:prop><C:address-data/></D:prop>)"
    R"(<C:filter/></C:addressbook-query>)";

ContactsOptions ParseContactsOptions(const std::vector<std::string>& arguments) {
    ContactsOptions options;
    ReadOptions(arguments, [&](const std::string& option, const auto& value) {
        if (option == "--store") {
            options.stores.push_back(value());
        } else if (option == "--output") {
            options.output = value();
        } else if (option == "--no-birthday") {
            options.addBirthday = false;
        } else if (option == "--no-anniversary") {
            options.addAnniversary = false;
        } else if (option == "--carddav") {
            options.carddav.url = value();
        } else {
            return TakeDavOption(option, value, options.carddav);
        }
        return true;
    });
    if (options.stores.empty() || options.output.empty() == options.carddav.url.empty()) {
        throw UsageError("--store FILE and one of --output PATH and --carddav URL are required");
    }
    CheckDavOptions(options.carddav, "--carddav");
    return options;
}

// The contact window on a console: progress and failures to standard error, no events to process
// since nothing can click Stop. A terminal gets a bar redrawn in place, anything else (a log, a pipe)
// the window's status texts, one to a line.
class ConsoleContactView : public ContactExportView {
public:
    explicit ConsoleContactView(const ContactExportState& state)
        : state_(state), onTerminal_(isatty(STDERR_FILENO) == 1) {}

    void ShowStatus(const std::string& text) override {
        if (onTerminal_) {
            bar_.Show(state_.ContactsDone, state_.TotalItems);
        } else {
            // One write per line: the error stream flushes after every insertion.
            std::cerr << text + '\n';
        }
    }
    void ShowMessage(const std::string& text, const Failure& cause) override {
        failed_ = true;
        bar_.Finish();
        std::cerr << text << '\n' << cause.what() << '\n';
    }
    void ProcessPendingEvents() override {}

    bool Finish() {
        bar_.Finish();
        return !failed_;
    }

private:
    const ContactExportState& state_;
    const bool onTerminal_;
    TerminalProgress bar_{std::cerr};
    bool failed_ = false;
};

bool WriteContactsFile(const ContactsOptions& options, const std::string& path) {
    PlatformServices services;
    services.regional = RegionalSettings::FromLocale();
    services.createStoreApplication = [&] { return OpenCommandStores(options.stores, services.regional); };
    services.createFileSystem = [] { return OpenDiskFileSystem(); };
    ContactExportState state;
    state.ExportRunning = true;
    state.AddBirthday = options.addBirthday;
    state.AddAnniversary = options.addAnniversary;
    ConsoleContactView view(state);
    ExportContacts(services, path, state, view);
    if (!view.Finish()) {
        return false;
    }
    if (options.carddav.url.empty()) {
        std::cout << state.ContactsDone << " contacts exported to " << path << '\n';
    }
    return true;
}

int UploadContacts(const ContactsOptions& options) {
    try {
        const std::optional<std::string> file =
            TextWrittenInScratch([&](const std::filesystem::path& folder) -> std::optional<std::filesystem::path> {
                const std::filesystem::path path = folder / "contacts.vcf";
                return WriteContactsFile(options, path.string()) ? std::optional(path) : std::nullopt;
            });
        if (!file) {
            return kExitFailed;
        }
        const DavUpload upload{dav::CollectionKind::kAddressBook,
                               "text/vcard; charset=utf-8",
                               "contacts",
                               kVCardProductId,
                               kCardListQuery,
                               [](std::string_view) { return true; }};
        return UploadToCollection(options.carddav, upload, dav::CardResources(*file));
    } catch (const Failure& failure) {
        std::cerr << UnhandledFailureReport(failure) << '\n';
        return kExitFailed;
    }
}

int ExportContactsTo(const ContactsOptions& options) {
    if (!options.carddav.url.empty()) {
        return UploadContacts(options);
    }
    return WriteContactsFile(options, options.output) ? kExitWritten : kExitFailed;
}

}  // namespace

int RunContactsCommand(const std::vector<std::string>& arguments) {
    return RunSubcommand("contacts", kContactsUsage, arguments,
                         [&] { return ExportContactsTo(ParseContactsOptions(arguments)); });
}

}  // namespace kalendro::tools
