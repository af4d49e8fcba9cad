// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>

#include "platform/files/output_files.h"
#include "platform/locale/regional.h"
#include "platform/store/failure.h"
#include "platform/store/folder_key.h"
#include "platform/store/store.h"
#include "platform/store/store_date.h"

namespace kalendro {

// What the calendar export shows while it runs: the main window, the headless command and the
// tests each give their own.
class CalendarExportView {
public:
    virtual ~CalendarExportView() = default;
    // SaveFileName: the path the run writes.
    virtual void ShowOutputPath(const std::string& path) = 0;
    // Empties lbCountApp, lbProcessDate and lstSubject, in that order.
    virtual void ClearResults() = 0;
    // lbProcessDate: the start of the appointment being written.
    virtual void ShowProcessDate(const std::string& text) = 0;
    // lstSubject: one more line.
    virtual void AppendListLine(const std::string& line) = 0;
    // lbCountApp: the number of appointments written.
    virtual void ShowCount(const std::string& count) = 0;
    // A message box with only OK, no icon, titled Kalendro.
    virtual void ShowMessage(const std::string& text) = 0;
    // Called after each appointment: the view may repaint what changed (at most about ten times a
    // second) but must handle no input, so the run never yields.
    virtual void ShowProgress() = 0;
    // Called on the failure path just before the fixed message, with what went wrong underneath, for
    // views that report more than the message (the headless command); the window ignores it.
    virtual void ShowFailureCause(const Failure& /*cause*/) {}
};

// The main window's choice of what to export, read when the run starts.
struct CalendarExportChoice {
    bool useDefaultCalendar = true;
    FolderKey selectedFolderKey;   // empty until a calendar is chosen in the tree
    std::string driveText;         // Drive1's current entry, e.g. "d: [IPOD]"
    bool useCalendarName = false;  // CalName
    StoreDate startDate;           // dtStart.Value, midnight
    StoreDate endDate;             // dtEnd.Value, midnight
};

// The last day a range may end on: the range's filter names the day after its end, and the store
// reads years of four digits only.
inline constexpr StoreDate kLastRangeEnd{9999, 12, 30};

// The item collections the main window holds; the run replaces both.
struct CalendarExportCollections {
    std::unique_ptr<StoreItems> calendarItems;  // CalendarItems
    std::unique_ptr<StoreItems> rangeItems;     // RangeItems
};

// One click on the export button (Command3_Click): resolves the folder, writes the appointments
// of the range to <drive>\Calendars\[name]vCalendar.ics and reports through the view.
void RunCalendarExport(StoreSession& session, const CalendarExportChoice& choice, const RegionalSettings& regional,
                       const FileSystemFactory& createFileSystem, CalendarExportView& view,
                       CalendarExportCollections& collections);

// The one message of the run's failure path, whatever the cause.
inline constexpr const char* kCalendarExportFailureMessage =
    "The output file could not be created at the specified path.";

}  // namespace kalendro
