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
#include "calendar_export/calendar_writer.h"
#include "platform/dav/dav_resources.h"
#include "tools/command_line.h"
#include "tools/commands.h"
#include "tools/dav_target.h"

namespace kalendro::tools {

namespace {

// The target directory plays this drive, so that the run's Windows paths land inside it.
constexpr const char* kTargetDrive = "c:";

constexpr const char* kCalendarUsage =
    R"(Usage: kalendro-export calendar --store FILE --target DIR [options]
       kalendro-export calendar --store FILE --caldav URL [--user NAME] [--prune] [options]

Writes the appointments of a calendar folder that lie in a range of days to
DIR/Calendars/vCalendar.ics, DIR playing the drive the window would offer; recurring
appointments are expanded into their occurrences. Exactly what the export button does.
With --caldav the events go to a CalDAV calendar collection instead, each one resource.

  --store FILE          the mail store: an Outlook data file (.pst, .ost) or a mailbox
                        file (required); give it again for more stores, the first one
                        holding the default calendar
  --target DIR          the existing directory that plays the drive (this or --caldav)
  --from YYYY-MM-DD     the first day of the range (default: today)
  --to YYYY-MM-DD       the last day of the range (default: today)
  --folder "TOP/NAME"   a calendar folder as the folder tree shows it: the top-level
                        folder's name, a slash, the calendar folder's name (default: the
                        store's default calendar); a slash inside a name is written \/
                        and a backslash \\ when the path would be ambiguous otherwise
  --use-calendar-name   put the folder's name before the file name: NAMEvCalendar.ics
  --caldav URL          instead of --target: put each event, as it would be in the file,
                        as the resource UID.ics into the calendar collection at URL; a
                        second run updates the same resources
  --user NAME           the user on the server; the password comes from the environment
                        variable KALENDRO_PASSWORD, else from ~/.netrc
  --prune               with --caldav: also remove the events in the range that an earlier
                        run put there and this one did not; nothing else is ever removed
  --help                show this text

Prints one line per appointment written (the start as the window lists it, a blank and
the subject), then the count and the path of the file. Date forms come from the locale.
With --caldav the progress of the puts goes to standard error, and the number of events
the server accepted (and removed) to standard output.

Exit status: 0 the file was written (the events were put); 1 the store could not be
read, the file could not be written or the server refused or could not be reached (the
message and the underlying error go to standard error); 2 a usage error.
)";

struct CalendarOptions {
    std::vector<std::string> stores;
    std::string target;
    StoreDate from;
    StoreDate to;
    std::optional<std::string> folder;
    bool useCalendarName = false;
    DavOptions caldav;
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

// Lists every event of a calendar collection with its text, for pruning.
constexpr const char* kCalendarListQuery =
    R"(<?xml version="1.0" encoding="utf-8"?>)"
    R"(<C:calendar-query xmlns:D="DAV:" xmlns:C="urn:ietf:params:xml:ns:caldav"><D:prop><C:calendar-data/></D:prop>)"
    R"(<C:filter><C:comp-filter name="VCALENDAR"><C:comp-filter name="VEVENT"/></C:comp-filter></C:filter>)"
    R"(</C:calendar-query>)";

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
        } else if (option == "--caldav") {
            options.caldav.url = value();
        } else {
            return TakeDavOption(option, value, options.caldav);
        }
        return true;
    });
    if (options.stores.empty() || options.target.empty() == options.caldav.url.empty()) {
        throw UsageError("--store FILE and one of --target DIR and --caldav URL are required");
    }
    CheckDavOptions(options.caldav, "--caldav");
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

// The resources an export to the server removes when pruning: those whose start and end lie in the
// range as the export's filter takes it.
dav::DayRange PruneRange(const CalendarOptions& options) {
    const auto day = [](const StoreDate& date) {
        std::string text = DayText(date);
        text.erase(std::remove(text.begin(), text.end(), '-'), text.end());
        return text;
    };
    return {day(options.from), day(options.to.AddDays(1))};
}

int UploadCalendar(const CalendarOptions& options, const std::string& file) {
    const dav::DayRange range = PruneRange(options);
    const DavUpload upload{dav::CollectionKind::kCalendar,
                           "text/calendar; charset=utf-8",
                           "events",
                           kCalendarProductId,
                           kCalendarListQuery,
                           [&](std::string_view data) { return dav::EventLiesInRange(data, range); }};
    return UploadToCollection(options.caldav, upload, dav::CalendarResources(file));
}

// Writes the file into DIRECTORY as the export button does; the path of the file written, or none
// when the run failed and said why.
std::optional<std::filesystem::path> WriteCalendarFile(const CalendarOptions& options, StoreSession& session,
                                                       const CalendarExportChoice& choice,
                                                       const RegionalSettings& regional,
                                                       const std::filesystem::path& directory) {
    const std::string charset = nl_langinfo(CODESET);
    const FileSystemFactory createFileSystem = [&] {
        return OpenDiskFileSystem(std::make_shared<DriveTable>(directory.string()), charset, directory.string());
    };
    ConsoleView view(directory);
    CalendarExportCollections collections;
    RunCalendarExport(session, choice, regional, createFileSystem, view, collections);
    if (view.Failed()) {
        return std::nullopt;
    }
    const std::filesystem::path written = NativePath(directory, view.OutputPath());
    if (options.caldav.url.empty()) {
        std::cout << view.Count() << " appointments written to " << written.string() << '\n';
    }
    return written;
}

int ExportCalendar(const CalendarOptions& options) {
    const RegionalSettings regional = RegionalSettings::FromLocale();
    try {
        const std::shared_ptr<StoreSession> session = OpenCommandStores(options.stores, regional)->GetNamespace("MAPI");
        const CalendarExportChoice choice = ChoiceFor(options, *session);
        if (options.caldav.url.empty()) {
            return WriteCalendarFile(options, *session, choice, regional, TargetDirectory(options.target))
                       ? kExitWritten
                       : kExitFailed;
        }
        const std::optional<std::string> file = TextWrittenInScratch([&](const std::filesystem::path& folder) {
            return WriteCalendarFile(options, *session, choice, regional, folder);
        });
        return file ? UploadCalendar(options, *file) : kExitFailed;
    } catch (const Failure& failure) {
        std::cerr << UnhandledFailureReport(failure) << '\n';
        return kExitFailed;
    }
}

}  // namespace

int RunCalendarCommand(const std::vector<std::string>& arguments) {
    return RunSubcommand("calendar", kCalendarUsage, arguments,
                         [&] { return ExportCalendar(ParseCalendarOptions(arguments)); });
}

}  // namespace kalendro::tools
