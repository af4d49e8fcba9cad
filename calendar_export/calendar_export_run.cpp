// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar_export/calendar_export_run.h"

#include <string_view>

#include "calendar_export/calendar_writer.h"
#include "platform/text/utf8.h"

namespace kalendro {

namespace {

constexpr std::size_t kProcessDateLength = 10;

// The cut is taken from the whole general date, so a time of day may show its first digits.
std::string ProcessDateText(const StoreItem& appointment, const RegionalSettings& regional) {
    return std::string(LeadingCodePoints(regional.FormatGeneralDate(appointment.Date("Start")), kProcessDateLength));
}

std::shared_ptr<StoreFolder> ResolveCalendarFolder(StoreSession& session, const CalendarExportChoice& choice) {
    if (choice.useDefaultCalendar) {
        return session.GetDefaultFolder(kDefaultCalendarFolder);
    }
    return session.GetFolderFromID(choice.selectedFolderKey.entryId, choice.selectedFolderKey.storeId);
}

// The folder name becomes part of a file name: a separator or a character that Windows does not
// allow in names could put the file somewhere else or make a name the file system cannot hold.
void CheckUsableInFileName(const std::string& name) {
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos) {
            throw Failure(kBadFileName,
                          "Bad file name: the calendar name \"" + name + "\" cannot be part of a file name");
        }
    }
}

std::string OutputPath(const std::string& targetFolder, const CalendarExportChoice& choice, StoreFolder& folder) {
    if (!choice.useCalendarName) {
        return targetFolder + "\\vCalendar.ics";
    }
    const std::string name = folder.Name();
    CheckUsableInFileName(name);
    return targetFolder + "\\" + name + "vCalendar.ics";
}

// Midnight of the day in the short date form with a four-digit year, so that the store never reads
// the year back in another century.
std::string FilterDateText(const StoreDate& day, const RegionalSettings& regional) {
    return regional.FormatShortDateFullYear(day) + " 00" + regional.timeSeparator + "00";
}

std::string RangeFilter(const CalendarExportChoice& choice, const RegionalSettings& regional) {
    return "[Start] >= '" + FilterDateText(choice.startDate, regional) + "' And [End] <= '" +
           FilterDateText(choice.endDate.AddDays(1), regional) + "'";
}

const StoreItem& AsAppointment(const std::shared_ptr<StoreItem>& item) {
    if (item->TypeName() != "AppointmentItem") {
        throw Failure(kTypeMismatch, "Type mismatch: a " + item->TypeName() + " is not an appointment");
    }
    return *item;
}

// Gives the number of appointments written.
long WriteRangeItems(StoreItems& rangeItems, TextStream& file, const RegionalSettings& regional,
                     CalendarExportView& view) {
    WriteCalendarHeader(file);
    long count = 0;
    const auto enumerator = rangeItems.Enumerate();
    while (const auto item = enumerator->Next()) {
        const StoreItem& appointment = AsAppointment(item);
        const std::string processDate = ProcessDateText(appointment, regional);
        view.ShowProcessDate(processDate);
        view.AppendListLine(processDate + " " + appointment.Text("Subject"));
        ++count;
        WriteAppointmentEvent(file, appointment);
        view.ShowProgress();
    }
    WriteCalendarTrailer(file);
    return count;
}

// Everything after the folder has been resolved; every failure here goes to the one message.
void ExportFolder(StoreFolder& folder, const CalendarExportChoice& choice, const RegionalSettings& regional,
                  const FileSystemFactory& createFileSystem, CalendarExportView& view,
                  CalendarExportCollections& collections) {
    const auto fileSystem = createFileSystem();
    const std::string targetDrive = choice.driveText.substr(0, 2);
    const std::string targetFolder = targetDrive + "\\Calendars";
    if (!fileSystem->DriveExists(targetDrive)) {
        throw Failure(kDeviceUnavailable,
                      "Device unavailable: " + targetFolder + " (drive " + targetDrive + " is not available)");
    }
    if (!fileSystem->FolderExists(targetFolder)) {
        fileSystem->CreateFolder(targetFolder);
    }
    const std::string outputPath = OutputPath(targetFolder, choice, folder);
    const auto file = fileSystem->CreateTextFile(outputPath);
    view.ShowOutputPath(outputPath);
    view.ClearResults();
    collections.calendarItems->Sort("[Start]");
    collections.calendarItems->SetIncludeRecurrences(true);
    collections.rangeItems = collections.calendarItems->Restrict(RangeFilter(choice, regional));
    const long count = WriteRangeItems(*collections.rangeItems, *file, regional, view);
    // The count tells the user the export is done: only once the bytes are safe on the device.
    file->Close();
    view.ShowCount(std::to_string(count));
}

}  // namespace

void RunCalendarExport(StoreSession& session, const CalendarExportChoice& choice, const RegionalSettings& regional,
                       const FileSystemFactory& createFileSystem, CalendarExportView& view,
                       CalendarExportCollections& collections) {
    std::shared_ptr<StoreFolder> folder;
    try {
        folder = ResolveCalendarFolder(session, choice);
        collections.calendarItems = folder->Items();
    } catch (const Failure& failure) {
        view.ShowMessage(UnhandledFailureReport(failure));
        return;
    }
    try {
        ExportFolder(*folder, choice, regional, createFileSystem, view, collections);
    } catch (const Failure& failure) {
        view.ShowFailureCause(failure);
        view.ShowMessage(kCalendarExportFailureMessage);
    }
}

}  // namespace kalendro
