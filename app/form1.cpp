// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/form1.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSocketNotifier>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <algorithm>
#include <functional>
#include <utility>

#include "about/frm_about.h"
#include "app/image_list.h"
#include "app/single_window.h"
#include "contact_export/form2.h"
#include "platform/store/application_identity.h"
#include "window_kit/window_kit.h"

namespace kalendro {

namespace {

const QString kWindowTitle = QStringLiteral("MOLV - Kalendro Version 0.5 ") + QString::fromLatin1(kMakerAddress);
const QString kRootKey = QStringLiteral("@Outlook Folders");
// Root and store nodes' keys start with it, so that no such key parses as a calendar's FolderKey.
const QChar kNonCalendarKeyMark = u'@';
constexpr int kKeyRole = Qt::UserRole;
constexpr int kRepaintIntervalMs = 100;

// Labels show their text as it stands (a path or subject holding "<" is no markup) and wrap long texts
// inside their fixed box.
QLabel* NewLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QDate ToQDate(const StoreDate& date) { return QDate(date.year, date.month, date.day); }

QCalendarWidget* NewMonthView(QWidget* parent) {
    auto* calendar = new QCalendarWidget(parent);
    calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    calendar->setHorizontalHeaderFormat(QCalendarWidget::SingleLetterDayNames);
    calendar->setMaximumDate(ToQDate(kLastRangeEnd));
    // The month view is narrower than Qt's own calendar likes to be: let its seven day columns share the
    // width instead of scrolling one of them out of sight.
    for (QHeaderView* header : calendar->findChildren<QHeaderView*>()) {
        header->setMinimumSectionSize(1);
    }
    return calendar;
}

StoreDate ToStoreDate(const QDate& date) { return StoreDate{date.year(), date.month(), date.day()}; }

QString ToQString(const std::string& text) { return QString::fromStdString(text); }

// Changes a calendar's date without running its date-click handler: only the user's choice does that.
void SelectDate(QCalendarWidget* calendar, const QDate& date) {
    const QSignalBlocker quiet(calendar);
    calendar->setSelectedDate(date);
}

// The drive list is read anew each time it opens, so that it offers what is mounted then.
class DriveListBox : public QComboBox {
public:
    DriveListBox(std::function<void()> beforeOpening, QWidget* parent)
        : QComboBox(parent), beforeOpening_(std::move(beforeOpening)) {}

    void showPopup() override {
        beforeOpening_();
        QComboBox::showPopup();
    }

private:
    std::function<void()> beforeOpening_;
};

}  // namespace

Form1::Form1(PlatformServices services, QWidget* parent)
    : QWidget(parent), services_(std::move(services)), ImageList1(DrawFolderTreeImages()) {
    setWindowTitle(kWindowTitle);
    setFont(DialogFont());
    resize(TwipsToPixels(9090), TwipsToPixels(7080));
    CreateControls();
    FillDriveList();
    WatchMounts();
    ConnectHandlers();
    Command1->setFocus();
}

Form1::~Form1() = default;

void Form1::CreateControls() {
    Label4 = Place(NewLabel("Startdate", this), "Label4", TwipsRect(960, 120, 1095, 255));
    Label5 = Place(NewLabel("Enddate", this), "Label5", TwipsRect(4080, 120, 855, 255));
    Label7 = Place(NewLabel("Calendars", this), "Label7", TwipsRect(7200, 120, 975, 255));
    dtStart = Place(NewMonthView(this), "dtStart", TwipsRect(240, 480, 2490, 2370));
    dtEnd = Place(NewMonthView(this), "dtEnd", TwipsRect(3120, 480, 2490, 2370));
    CalTree = Place(new QTreeWidget(this), "CalTree", TwipsRect(6120, 480, 2895, 3375));
    CalTree->setHeaderHidden(true);
    lbStart = Place(NewLabel("", this), "lbStart", TwipsRect(240, 3000, 2415, 255));
    lbEnd = Place(NewLabel("", this), "lbEnd", TwipsRect(3120, 3000, 2295, 255));
    Label6 = Place(NewLabel("Export file:", this), "Label6", TwipsRect(240, 3480, 855, 375));
    SaveFileName = Place(NewLabel("", this), "SaveFileName", TwipsRect(1320, 3480, 3855, 375));
    Label1 = Place(NewLabel("Processdate:", this), "Label1", TwipsRect(240, 4080, 1215, 255));
    lbProcessDate = Place(NewLabel("", this), "lbProcessDate", TwipsRect(1560, 4080, 1335, 255));
    lstSubject = Place(new QListWidget(this), "lstSubject", TwipsRect(240, 4560, 5535, 1035));
    Label3 = Place(NewLabel("# of App. in time range:", this), "Label3", TwipsRect(240, 5760, 2175, 255));
    lbCountApp = Place(NewLabel("", this), "lbCountApp", TwipsRect(2760, 5760, 1215, 255));
    CreateFrame1();
    Command3 = Place(new QPushButton("&Export vCalender", this), "Command3", TwipsRect(120, 6360, 1695, 495));
    Command2 = Place(new QPushButton("&About", this), "Command2", TwipsRect(2640, 6360, 1695, 495));
    Command4 = Place(new QPushButton("Contacts", this), "Command4", TwipsRect(5040, 6360, 1695, 495));
    Command1 = Place(new QPushButton("&Close", this), "Command1", TwipsRect(7320, 6360, 1695, 495));
    SetTabOrder({{12, Label4},   {13, Label5},       {16, Label7},     {1, dtStart}, {2, dtEnd},
                 {17, CalTree},  {4, lbStart},       {5, lbEnd},       {15, Label6}, {22, SaveFileName},
                 {7, Label1},    {6, lbProcessDate}, {10, lstSubject}, {8, Label3},  {9, lbCountApp},
                 {18, Frame1},   {21, Label2},       {23, CalName},    {20, Label8}, {19, Drive1},
                 {11, Command3}, {3, Command2},      {14, Command4},   {0, Command1}});
}

void Form1::CreateFrame1() {
    Frame1 = Place(new QGroupBox("Saving Drive", this), "Frame1", TwipsRect(6120, 4080, 2775, 2055));
    Label2 = Place(NewLabel("drive:\\Calendars\\vCalendar.ics", Frame1), "Label2", TwipsRect(120, 360, 2295, 375));
    CalName = Place(new QCheckBox("Use calendar name?", Frame1), "CalName", TwipsRect(120, 720, 2415, 255));
    Label8 = Place(NewLabel("Drive:", Frame1), "Label8", TwipsRect(120, 1320, 1455, 255));
    Drive1 = Place(new DriveListBox([this] { FillDriveList(); }, Frame1), "Drive1", TwipsRect(120, 1680, 2415, 315));
}

// Tab moves through the controls that take the focus in the order of their tab indexes.
void Form1::SetTabOrder(std::vector<std::pair<int, QWidget*>> controlsByTabIndex) {
    std::sort(controlsByTabIndex.begin(), controlsByTabIndex.end());
    QWidget* previous = nullptr;
    for (const auto& [tabIndex, control] : controlsByTabIndex) {
        if (control->focusPolicy() == Qt::NoFocus) {
            continue;
        }
        if (previous != nullptr) {
            setTabOrder(previous, control);
        }
        previous = control;
    }
}

// The list follows what is mounted. The entry picked stays picked, by its letter; when its drive is gone it stays
// in the list marked so, and an export to it fails, rather than the list moving on to another device.
void Form1::FillDriveList() {
    const std::unique_ptr<FileSystem> fileSystem = services_.createFileSystem();
    const std::vector<DriveEntry> drives = fileSystem->Drives();
    const QString picked = Drive1->count() > 0 ? Drive1->currentText().left(2) : ToQString(fileSystem->CurrentDrive());
    const QSignalBlocker quiet(Drive1);
    Drive1->clear();
    for (const DriveEntry& drive : drives) {
        const bool isPicked = ToQString(drive.letter) == picked;
        if (drive.available || isPicked) {
            Drive1->addItem(ToQString(drive.DisplayText()));
        }
        if (isPicked) {
            Drive1->setCurrentIndex(Drive1->count() - 1);
        }
    }
}

void Form1::WatchMounts() {
    mountMonitor_ = services_.watchMounts();
    mountNotifier_ = std::make_unique<QSocketNotifier>(mountMonitor_->Descriptor(), QSocketNotifier::Read);
    connect(mountNotifier_.get(), &QSocketNotifier::activated, this, [this] {
        mountMonitor_->Acknowledge();
        FillDriveList();
    });
}

void Form1::ConnectHandlers() {
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Form1::Command4_Click);
    connect(Drive1, &QComboBox::currentIndexChanged, this, &Form1::Drive1_Change);
    connect(CalTree, &QTreeWidget::itemClicked, this, &Form1::CalTree_NodeClick);
    // Every change of a selected date (click, arrow keys, Enter) runs the handler, so that the start never
    // comes after the end whichever way the date was picked.
    connect(dtStart, &QCalendarWidget::selectionChanged, this, &Form1::dtStart_DateClick);
    connect(dtEnd, &QCalendarWidget::selectionChanged, this, &Form1::dtEnd_DateClick);
}

void Form1::Form_Initialize() {
    OutlookApp = services_.createStoreApplication();
    OutlookSession = OutlookApp->GetNamespace("MAPI");
    DefaultCalendar = OutlookSession->GetDefaultFolder(kDefaultCalendarFolder);
    calendarAndRangeItems_.calendarItems = DefaultCalendar->Items();
    calendarAndRangeItems_.rangeItems = DefaultCalendar->Items();
    Drive1_Change();
    SelectDate(dtStart, ToQDate(services_.today));
    SelectDate(dtEnd, ToQDate(services_.today));
    ShowDate(lbStart, dtStart);
    ShowDate(lbEnd, dtEnd);
    ClearResults();
    UseDefaultCalendar = true;
    SelectedFolderKey = {};
    FillFolderTree();
}

CalendarExportChoice Form1::ExportChoice() const {
    return {UseDefaultCalendar,
            SelectedFolderKey,
            Drive1->currentText().toStdString(),
            CalName->isChecked(),
            ToStoreDate(dtStart->selectedDate()),
            ToStoreDate(dtEnd->selectedDate())};
}

void Form1::FillFolderTree() {
    CalTree->clear();
    QTreeWidgetItem* root = AddNode(nullptr, kRootKey, "Outlook Folders", kRootImage);
    for (const std::shared_ptr<StoreFolder>& topFolder : OutlookSession->Folders()) {
        const QString name = ToQString(topFolder->Name());
        QTreeWidgetItem* storeNode = AddNode(root, FreeStoreNodeKey(name), name, kStoreImage);
        for (const std::shared_ptr<StoreFolder>& folder : topFolder->Folders()) {
            if (folder->DefaultItemType() != kAppointmentItemType) {
                continue;
            }
            const std::string key = FolderKey{folder->EntryID(), folder->StoreID()}.Text();
            const std::string text = folder->Name() + " (" + std::to_string(folder->Items()->Count()) + ")";
            AddNode(storeNode, ToQString(key), ToQString(text), kCalendarImage);
        }
    }
}

// Adds the node as the last child of its parent (none for the root) and makes it visible.
QTreeWidgetItem* Form1::AddNode(QTreeWidgetItem* parent, const QString& key, const QString& text, int image) {
    auto* node = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(CalTree);
    node->setText(0, text);
    node->setIcon(0, ImageList1.at(image - 1));
    node->setData(0, kKeyRole, key);
    for (QTreeWidgetItem* ancestor = parent; ancestor != nullptr; ancestor = ancestor->parent()) {
        ancestor->setExpanded(true);
    }
    CalTree->scrollToItem(node);
    return node;
}

// Store nodes are keyed by their folder's name, which need not be unique (and may even be the root's);
// a taken key gets "#2", "#3", ... appended until it is free.
QString Form1::FreeStoreNodeKey(const QString& name) const {
    const QString nameKey = kNonCalendarKeyMark + name;
    const auto taken = [this](const QString& key) {
        for (QTreeWidgetItemIterator node(CalTree); *node != nullptr; ++node) {
            if ((*node)->data(0, kKeyRole).toString() == key) {
                return true;
            }
        }
        return false;
    };
    QString key = nameKey;
    for (int suffix = 2; taken(key); ++suffix) {
        key = nameKey + u'#' + QString::number(suffix);
    }
    return key;
}

void Form1::ShowDate(QLabel* label, const QCalendarWidget* calendar) {
    label->setText(ToQString(services_.regional.FormatShortDate(ToStoreDate(calendar->selectedDate()))));
}

// The calendar the user changed keeps its date; when the range would run backwards the other one follows.
void Form1::KeepRangeInOrder(QCalendarWidget* changed, QLabel* changedLabel, QCalendarWidget* other,
                             QLabel* otherLabel) {
    if (dtEnd->selectedDate() < dtStart->selectedDate()) {
        SelectDate(other, changed->selectedDate());
        ShowDate(otherLabel, other);
    }
    ShowDate(changedLabel, changed);
}

void Form1::dtStart_DateClick() { KeepRangeInOrder(dtStart, lbStart, dtEnd, lbEnd); }

void Form1::dtEnd_DateClick() { KeepRangeInOrder(dtEnd, lbEnd, dtStart, lbStart); }

void Form1::CalTree_NodeClick(QTreeWidgetItem* node) {
    UseDefaultCalendar = true;
    if (const auto key = FolderKey::Parse(node->data(0, kKeyRole).toString().toStdString())) {
        SelectedFolderKey = *key;
        UseDefaultCalendar = false;
    }
}

void Form1::Drive1_Change() { SaveFileName->setText(Drive1->currentText().left(2) + "\\Calendars\\vCalendar.ics"); }

// Ends the program with all its windows; a contact run in progress stops after its current card.
void Form1::Command1_Click() {
    QApplication::closeAllWindows();
    QCoreApplication::quit();
}

void Form1::Command2_Click() {
    ShowSingleWindow(aboutWindow_, [this] { return new FrmAbout(services_); });
}

void Form1::Command4_Click() {
    ShowSingleWindow(contactWindow_, [this] { return new Form2(services_); });
}

void Form1::Command3_Click() {
    sinceLastRepaint_.start();
    RunCalendarExport(*OutlookSession, ExportChoice(), services_.regional, services_.createFileSystem, *this,
                      calendarAndRangeItems_);
}

void Form1::ShowOutputPath(const std::string& path) { SaveFileName->setText(ToQString(path)); }

void Form1::ClearResults() {
    lbCountApp->clear();
    lbProcessDate->clear();
    lstSubject->clear();
}

void Form1::ShowProcessDate(const std::string& text) { lbProcessDate->setText(ToQString(text)); }

void Form1::AppendListLine(const std::string& line) { lstSubject->addItem(ToQString(line)); }

void Form1::ShowCount(const std::string& count) { lbCountApp->setText(ToQString(count)); }

void Form1::ShowMessage(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, kApplicationTitle, ToQString(text), QMessageBox::Ok, this);
    box.exec();
}

// The run never yields to the event queue, so the result area is painted here, directly and not too often.
void Form1::ShowProgress() {
    if (sinceLastRepaint_.elapsed() < kRepaintIntervalMs) {
        return;
    }
    lbProcessDate->repaint();
    lstSubject->repaint();
    lbCountApp->repaint();
    sinceLastRepaint_.start();
}

}  // namespace kalendro
