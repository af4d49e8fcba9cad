// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "calendar_export/calendar_export_run.h"
#include "platform/store/folder_key.h"
#include "platform/store/store.h"
#include "platform/system/platform_services.h"

class QCalendarWidget;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSocketNotifier;
class QTreeWidget;
class QTreeWidgetItem;

namespace kalendro {

class Form2;
class FrmAbout;

// The main window: picks the calendar folder, the range of days and the drive, runs the calendar export
// and opens the contact and about windows. The window's store objects live as long as the window.
class Form1 : public QWidget, private CalendarExportView {
    Q_OBJECT

public:
    // Builds the controls; the store is not touched until Form_Initialize.
    explicit Form1(PlatformServices services, QWidget* parent = nullptr);
    ~Form1() override;

    // Start-up: opens the store session, sets the defaults and fills the folder tree. The window may be shown
    // only when this has returned; a Failure leaves the window unusable.
    void Form_Initialize();

    // What the next export would take: the tree's choice, the drive, CalName and the two dates.
    CalendarExportChoice ExportChoice() const;

private:
    void CreateControls();
    void CreateFrame1();
    void SetTabOrder(std::vector<std::pair<int, QWidget*>> controlsByTabIndex);
    void FillDriveList();
    void WatchMounts();
    void ConnectHandlers();

    void FillFolderTree();
    QTreeWidgetItem* AddNode(QTreeWidgetItem* parent, const QString& key, const QString& text, int image);
    QString FreeStoreNodeKey(const QString& name) const;
    void ShowDate(QLabel* label, const QCalendarWidget* calendar);
    void KeepRangeInOrder(QCalendarWidget* changed, QLabel* changedLabel, QCalendarWidget* other, QLabel* otherLabel);

    void Command1_Click();  // Close: ends the program
    void Command2_Click();  // About: opens the about window
    void Command3_Click();  // Export vCalender: runs the calendar export
    void Command4_Click();  // Contacts: opens the contact export window
    void Drive1_Change();
    void CalTree_NodeClick(QTreeWidgetItem* node);
    void dtStart_DateClick();
    void dtEnd_DateClick();

    // The export's view of the window.
    void ShowOutputPath(const std::string& path) override;
    void ClearResults() override;
    void ShowProcessDate(const std::string& text) override;
    void AppendListLine(const std::string& line) override;
    void ShowCount(const std::string& count) override;
    void ShowMessage(const std::string& text) override;
    void ShowProgress() override;

    PlatformServices services_;
    std::vector<QIcon> ImageList1;  // CalTree's images: root, store, calendar

    std::shared_ptr<StoreApplication> OutlookApp;
    std::shared_ptr<StoreSession> OutlookSession;
    std::shared_ptr<StoreFolder> DefaultCalendar;
    CalendarExportCollections calendarAndRangeItems_;  // CalendarItems and RangeItems
    bool UseDefaultCalendar = true;                    // false once a calendar node was clicked
    FolderKey SelectedFolderKey;                       // the calendar node clicked last

    QElapsedTimer sinceLastRepaint_;
    QPointer<FrmAbout> aboutWindow_;
    QPointer<Form2> contactWindow_;
    std::unique_ptr<MountMonitor> mountMonitor_;
    std::unique_ptr<QSocketNotifier> mountNotifier_;

    // Captions: Label4 "Startdate", Label5 "Enddate", Label7 "Calendars", Label6 "Export file:",
    // Label1 "Processdate:", Label3 "# of App. in time range:", Label2 the file's path pattern, Label8 "Drive:".
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label7 = nullptr;
    QCalendarWidget* dtStart = nullptr;  // first day of the range
    QCalendarWidget* dtEnd = nullptr;    // last day of the range
    QTreeWidget* CalTree = nullptr;      // stores and their calendar folders, keyed as FolderKey texts
    QLabel* lbStart = nullptr;           // dtStart's date in the regional short form
    QLabel* lbEnd = nullptr;             // dtEnd's date in the regional short form
    QLabel* Label6 = nullptr;
    QLabel* SaveFileName = nullptr;  // the path the export writes
    QLabel* Label1 = nullptr;
    QLabel* lbProcessDate = nullptr;    // start of the appointment being written
    QListWidget* lstSubject = nullptr;  // one line per appointment written: date and subject
    QLabel* Label3 = nullptr;
    QLabel* lbCountApp = nullptr;  // appointments written
    QGroupBox* Frame1 = nullptr;   // "Saving Drive": where the file goes
    QLabel* Label2 = nullptr;
    QCheckBox* CalName = nullptr;  // puts the calendar's name before the file name
    QLabel* Label8 = nullptr;
    QComboBox* Drive1 = nullptr;  // the drive written to
    QPushButton* Command3 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command4 = nullptr;
    QPushButton* Command1 = nullptr;
};

}  // namespace kalendro
