// SPDX-License-Identifier: GPL-3.0-or-later
#include <unistd.h>

#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "contact_export/contact_export_run.h"
#include "tools/command_line.h"
#include "tools/commands.h"
#include "tools/progress_bar.h"

namespace kalendro::tools {

namespace {

constexpr const char* kContactsUsage =
    R"usage(Usage: kalendro-export contacts --store FILE --output PATH [options]

Writes every contact of the store's default contacts folder to one vCard 3.0 file at
PATH, replacing a file of that name. Exactly what the contact window's Start button does.

  --store FILE        the mail store: an Outlook data file (.pst, .ost) or a mailbox
                      file (required); give it again for more stores, the first one
                      holding the default contacts folder
  --output PATH       the vCard file to write (required): a path on this machine, or a
                      drive path such as c:\contacts.vcf (c: is the home directory)
  --no-birthday       leave the birthday out of each card's note
  --no-anniversary    leave the anniversary out of each card's note
  --help              show this text

Prints the progress to standard error: on a terminal one line with a bar, the count of
the total and the percentage; otherwise one line per card ("Status: NAME (DONE of
TOTAL)"). Then the number of contact items and the path of the file go to standard output.

Exit status: 0 the file was written; 1 the store could not be read or the file could
not be written (the message and the underlying error go to standard error, and the file
keeps what was written before the failure); 2 a usage error.
)usage";

struct ContactsOptions {
    std::vector<std::string> stores;
    std::string output;
    bool addBirthday = true;
    bool addAnniversary = true;
};

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
        } else {
            return false;
        }
        return true;
    });
    if (options.stores.empty() || options.output.empty()) {
        throw UsageError("--store FILE and --output PATH are required");
    }
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

int ExportContactsToFile(const ContactsOptions& options) {
    PlatformServices services;
    services.regional = RegionalSettings::FromLocale();
    services.createStoreApplication = [&] { return OpenCommandStores(options.stores, services.regional); };
    services.createFileSystem = [] { return OpenDiskFileSystem(); };
    ContactExportState state;
    state.ExportRunning = true;
    state.AddBirthday = options.addBirthday;
    state.AddAnniversary = options.addAnniversary;
    ConsoleContactView view(state);
    ExportContacts(services, options.output, state, view);
    if (!view.Finish()) {
        return kExitFailed;
    }
    std::cout << state.ContactsDone << " contacts exported to " << options.output << '\n';
    return kExitWritten;
}

}  // namespace

int RunContactsCommand(const std::vector<std::string>& arguments) {
    return RunSubcommand("contacts", kContactsUsage, arguments,
                         [&] { return ExportContactsToFile(ParseContactsOptions(arguments)); });
}

}  // namespace kalendro::tools
