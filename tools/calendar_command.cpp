// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <langinfo.h>
#include <unistd.h>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "calendar_export/calendar_export_run.h"
#include "platform/files/drive_table.h"
#include "platform/text/quoted_input.h"
#include "tools/command_line.h"
#include "tools/commands.h"

namespace kalendro::tools {

namespace {

// The target directory plays this drive, so that the run's Windows paths land inside it.
constexpr const char* kTargetDrive = "c:";

constexpr const char* kCalendarUsage =
    R"(Usage: kalendro-export calendar --store FILE --target DIR [options]

Writes the appointments of a calendar folder that lie in a range of days to
DIR/Calendars/vCalendar.ics, DIR playing the drive the window would offer; recurring
appointments are expanded into their occurrences. Exactly what the export button does.

  --store FILE          the mail store: an Outlook data file (.pst, .ost) or a mailbox
                        file (required); give it again for more stores, the first one
                        holding the default calendar
  --target DIR          the existing directory that plays the drive (required)
  --from YYYY-MM-DD     the first day of the range (default: today)
  --to YYYY-MM-DD       the last day of the range (default: today)
  --folder "TOP/NAME"   a calendar folder as the folder tree shows it: the top-level
                        folder's name, a slash, the calendar folder's name (default: the
                        store's default calendar); a slash inside a name is written \/
                        and a backslash \\ when the path would be ambiguous otherwise
  --use-calendar-name   put the folder's name before the file name: NAMEvCalendar.ics
  --help                show this text

Prints one line per appointment written (the start as the window lists it, a blank and
the subject), then the count and the path of the file. Date forms come from the locale.

Exit status: 0 the file was written; 1 the store could not be read or the file could
not be written (the message and the underlying error go to standard error); 2 a usage
error.
)";

struct CalendarOptions {
    std::vector<std::string> stores;
    std::string target;
    StoreDate from;
    StoreDate to;
    std::optional<std::string> folder;
    bool useCalendarName = false;
};

StoreDate ParseDay(const std::string& option, const std::string& text) {
    const auto day = text.size() == 10 ? StoreDate::Parse(text) : std::nullopt;
    if (!day) {
        throw UsageError(option + " wants a day as YYYY-MM-DD, not " + QuotedInput(text));
    }
    return *day;
}

StoreDate Today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

std::string DayText(const StoreDate& day) { return day.ToText().substr(0, 10); }

CalendarOptions ParseCalendarOptions(const std::vector<std::string>& arguments) {
    CalendarOptions options;
    options.from = options.to = Today();
    ReadOptions(arguments, [&](const std::string& option, const auto& value) {
        if (option == "--store") {
            options.stores.push_back(value());
        } else if (option == "--target") {
            options.target = value();
        } else if (option == "--from") {
            options.from = ParseDay(option, value());
        } else if (option == "--to") {
            options.to = ParseDay(option, value());
        } else if (option == "--folder") {
            options.folder = value();
        } else if (option == "--use-calendar-name") {
            options.useCalendarName = true;
        } else {
            return false;
        }
        return true;
    });
    if (options.stores.empty() || options.target.empty()) {
        throw UsageError("--store FILE and --target DIR are required");
    }
    if (options.to > kLastRangeEnd) {
        throw UsageError("--to " + DayText(options.to) + " lies after the last day a range may end on, " +
                         DayText(kLastRangeEnd));
    }
    if (options.to < options.from) {
        throw UsageError("--to " + DayText(options.to) + " lies before --from " + DayText(options.from));
    }
    return options;
}

// A name as a part of a folder path: a slash or backslash inside it behind a backslash.
std::string EscapedPathPart(const std::string& name) {
    std::string escaped;
    for (const char c : name) {
        if (c == '/' || c == '\\') {
            escaped += '\\';
        }
        escaped += c;
    }
    return escaped;
}

// Whether "TOP/NAME" names the folder: written with its slashes escaped, or, when it holds no
// backslash, plainly, which is ambiguous once a name holds a slash.
bool NamesFolder(const std::string& treePath, const std::string& top, const std::string& name) {
    const std::string escaped = EscapedPathPart(top) + "/" + EscapedPathPart(name);
    return treePath == escaped || (treePath.find('\\') == std::string::npos && treePath == top + "/" + name);
}

std::string CandidateList(const std::vector<std::string>& paths) {
    std::string list;
    for (const std::string& path : paths) {
        list += (list.empty() ? "" : ", ") + QuotedInput(path);
    }
    return list;
}

// The tree's key of the calendar folder shown as "TOP/NAME": a calendar folder directly inside a
// top-level folder, the first in the tree's order when the same names repeat. A path that two
// different pairs of names fit is refused with both written unambiguously.
FolderKey CalendarFolderKey(StoreSession& session, const std::string& treePath) {
    std::optional<FolderKey> found;
    std::vector<std::string> candidates;
    for (const auto& top : session.Folders()) {
        for (const auto& folder : top->Folders()) {
            if (folder->DefaultItemType() != kAppointmentItemType ||
                !NamesFolder(treePath, top->Name(), folder->Name())) {
                continue;
            }
            const std::string escaped = EscapedPathPart(top->Name()) + "/" + EscapedPathPart(folder->Name());
            if (std::find(candidates.begin(), candidates.end(), escaped) == candidates.end()) {
                candidates.push_back(escaped);
            }
            if (!found) {
                found = FolderKey{folder->EntryID(), folder->StoreID()};
            }
        }
    }
    if (candidates.size() > 1) {
        throw UsageError("the calendar folder " + QuotedInput(treePath) + " is ambiguous; name one of " +
                         CandidateList(candidates) + " (a slash inside a name written \\/)");
    }
    if (!found) {
        throw UsageError("no calendar folder " + QuotedInput(treePath) +
                         " (give the top-level folder, a slash, the calendar)");
    }
    return *found;
}

// The window's view on a terminal: list lines to standard output, messages to standard error.
class ConsoleView : public CalendarExportView {
public:
    explicit ConsoleView(std::filesystem::path target)
        : target_(std::move(target)), listingOnTerminal_(isatty(STDOUT_FILENO) == 1) {}

    void ShowOutputPath(const std::string& path) override { outputPath_ = path; }
    void ClearResults() override { count_.clear(); }
    void ShowProcessDate(const std::string&) override {}
    // A subject may hold control characters that a terminal would obey; a file or pipe gets them as they are.
    void AppendListLine(const std::string& line) override {
        std::cout << (listingOnTerminal_ ? WithControlsEscaped(line) : line) << '\n';
    }
    void ShowCount(const std::string& count) override { count_ = count; }
    void ShowMessage(const std::string& text) override {
        failed_ = true;
        std::cerr << text << '\n';
        if (cause_) {
            std::cerr << cause_->what() << '\n';
        }
        std::cerr << "(" << kTargetDrive << " is " << target_.string() << ")\n";
    }
    void ShowProgress() override {}
    void ShowFailureCause(const Failure& cause) override { cause_ = cause; }

    bool Failed() const { return failed_; }
    const std::string& Count() const { return count_; }
    const std::string& OutputPath() const { return outputPath_; }

private:
    std::filesystem::path target_;
    bool listingOnTerminal_;
    bool failed_ = false;
    std::optional<Failure> cause_;
    std::string outputPath_;
    std::string count_;
};

// Absolute, so that the file lands in the same place whatever the working directory, and without a
// trailing slash, so that its last part names the drive.
std::filesystem::path TargetDirectory(const std::string& target) {
    std::filesystem::path directory = std::filesystem::absolute(target).lexically_normal();
    return directory.has_filename() ? directory : directory.parent_path();
}

// "c:\Calendars\vCalendar.ics" as the path on this machine.
std::string NativePath(const std::filesystem::path& directory, const std::string& drivePath) {
    std::string relative = drivePath.substr(std::string(kTargetDrive).size());
    std::replace(relative.begin(), relative.end(), '\\', '/');
    return directory.string() + relative;
}

CalendarExportChoice ChoiceFor(const CalendarOptions& options, StoreSession& session) {
    CalendarExportChoice choice;
    choice.driveText = kTargetDrive;
    choice.useCalendarName = options.useCalendarName;
    choice.startDate = options.from;
    choice.endDate = options.to;
    if (options.folder) {
        choice.useDefaultCalendar = false;
        choice.selectedFolderKey = CalendarFolderKey(session, *options.folder);
    }
    return choice;
}

int ExportCalendar(const CalendarOptions& options) {
    const RegionalSettings regional = RegionalSettings::FromLocale();
    std::shared_ptr<StoreSession> session;
    CalendarExportChoice choice;
    try {
        session = OpenCommandStores(options.stores, regional)->GetNamespace("MAPI");
        choice = ChoiceFor(options, *session);
    } catch (const Failure& failure) {
        std::cerr << UnhandledFailureReport(failure) << '\n';
        return kExitFailed;
    }
    const std::filesystem::path directory = TargetDirectory(options.target);
    const std::string charset = nl_langinfo(CODESET);
    const FileSystemFactory createFileSystem = [&] {
        return OpenDiskFileSystem(std::make_shared<DriveTable>(directory.string()), charset, directory.string());
    };
    ConsoleView view(directory);
    CalendarExportCollections collections;
    RunCalendarExport(*session, choice, regional, createFileSystem, view, collections);
    if (view.Failed()) {
        return kExitFailed;
    }
    std::cout << view.Count() << " appointments written to " << NativePath(directory, view.OutputPath()) << '\n';
    return kExitWritten;
}

}  // namespace

int RunCalendarCommand(const std::vector<std::string>& arguments) {
    return RunSubcommand("calendar", kCalendarUsage, arguments,
                         [&] { return ExportCalendar(ParseCalendarOptions(arguments)); });
}

}  // namespace kalendro::tools
