// SPDX-License-Identifier: GPL-3.0-or-later
// kalendro-export: the exports of the windows, run from the command line.

#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "platform/text/quoted_input.h"
#include "tools/commands.h"

namespace {

constexpr const char* kUsage =
    R"(Usage: kalendro-export calendar --store FILE (--target DIR | --caldav URL) [options]
       kalendro-export contacts --store FILE (--output PATH | --carddav URL) [options]
       kalendro-export [COMMAND] --help

Runs the exports of Kalendro's windows without a window: "calendar" writes the
appointments of a range of days to an iCalendar file or puts them into a CalDAV
calendar, "contacts" writes every contact to a vCard file or puts them into a CardDAV
address book.
)";

constexpr int kExitUsage = 2;

void ShowHelp() {
    std::cout << kUsage << "\n== kalendro-export calendar --help\n\n";
    kalendro::tools::RunCalendarCommand({"--help"});
    std::cout << "\n== kalendro-export contacts --help\n\n";
    kalendro::tools::RunContactsCommand({"--help"});
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const std::string command = arguments.empty() ? std::string() : arguments.front();
    const std::vector<std::string> rest(arguments.begin() + (arguments.empty() ? 0 : 1), arguments.end());
    if (command == "calendar") {
        return kalendro::tools::RunCalendarCommand(rest);
    }
    if (command == "contacts") {
        return kalendro::tools::RunContactsCommand(rest);
    }
    if (command == "--help" || command == "-h") {
        ShowHelp();
        return 0;
    }
    std::cerr << "kalendro-export: "
              << (command.empty() ? "a command is wanted" : "unknown command " + kalendro::QuotedInput(command))
              << "\n\n"
              << kUsage;
    return kExitUsage;
}
