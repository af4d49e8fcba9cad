// SPDX-License-Identifier: GPL-3.0-or-later
#include "about/frm_about.h"

#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPalette>
#include <QPushButton>
#include <array>

#include "about/program_icon.h"
#include "platform/store/application_identity.h"
#include "window_kit/window_kit.h"

namespace kalendro {
namespace {

constexpr int kVersionMajor = KALENDRO_VERSION_MAJOR;
constexpr int kVersionMinor = KALENDRO_VERSION_MINOR;
constexpr int kVersionRevision = KALENDRO_VERSION_REVISION;

const QString kDescription = QStringLiteral(
    "Create a iCalender file from your outlook appointments. Limitations: filename vCalender.ics created in "
    "c:\\ root folder. Copy the file manualy to iPod Calender folder with tools like XPlay from Mediafour. "
    "Limited to Outlook2000 or OutlookXP");
const QString kAuthorCredit = QStringLiteral("Written by the Kalendro authors");
const QString kDisclaimer = QStringLiteral("Mail for questions or suggestions: ") + QString::fromLatin1(kMakerAddress);
const QString kReleaseDate = QStringLiteral("November 3th  2002");

const std::array<QString, 8> kVersionHistory = {
    QStringLiteral("Version history."),
    QStringLiteral("0.1 Initial release"),
    QStringLiteral("0.2 Small bugfix date selection"),
    QStringLiteral("0.3 Recurring Appointments added"),
    QStringLiteral("      Performance improvements"),
    QStringLiteral("0.4 Export of contacts added"),
    QStringLiteral("0.5 Selection of calendar added"),
    QStringLiteral("      Direct saving to iPod Calendar"),
};

QLabel* CreateLabel(QWidget* parent, const QString& name, const QRect& geometry) {
    auto* label = Place(new QLabel(parent), name, geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    return label;
}

// One stroke of the etched separator: a horizontal line from left to right (inclusive, twips) of
// the given thickness in pixels.
void CreateSeparatorLine(QWidget* parent, const QString& name, int left, int right, int top, int thickness,
                         const QColor& color) {
    auto* line = Place(new QFrame(parent), name,
                       QRect(QPoint(TwipsToPixels(left), TwipsToPixels(top)),
                             QPoint(TwipsToPixels(right), TwipsToPixels(top) + thickness - 1)));
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, color);
    line->setPalette(palette);
    line->setAutoFillBackground(true);
}

void SetTextColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

}  // namespace

FrmAbout::FrmAbout(const PlatformServices& services, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      sysInfo_{services.registry, services.isNormalFile, services.startProgram,
               [this](std::string_view message) { ShowMessage(message); }} {
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    // The geometry of a window is that of its client area: the frame goes around it.
    setGeometry(TwipsRect(2340, 1935, 5730, 5535));
    setFixedSize(size());
    setFont(DialogFont());
    CreateControls();
    CreateSeparator();
    SetTabOrder();
    Form_Load();
}

void FrmAbout::StartSysInfo() { kalendro::StartSysInfo(sysInfo_); }

bool FrmAbout::GetKeyValue(const RegistryRoot& keyRoot, const std::string& keyName, const std::string& subKeyRef,
                           std::string& keyValue) {
    return kalendro::GetKeyValue(*sysInfo_.registry, keyRoot, keyName, subKeyRef, keyValue);
}

void FrmAbout::CreateControls() {
    cmdOK =
        Place(new QPushButton(QStringLiteral("OK"), this), QStringLiteral("cmdOK"), TwipsRect(4245, 4425, 1260, 345));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &FrmAbout::cmdOK_Click);

    picIcon = CreateLabel(this, QStringLiteral("picIcon"), TwipsRect(240, 240, 540, 540));
    picIcon->setPixmap(ProgramIcon());

    cmdSysInfo = Place(new QPushButton(QStringLiteral("&System Info..."), this), QStringLiteral("cmdSysInfo"),
                       TwipsRect(4260, 4875, 1245, 345));
    // Enter always means OK, whichever control has the focus.
    cmdSysInfo->setAutoDefault(false);
    connect(cmdSysInfo, &QPushButton::clicked, this, &FrmAbout::cmdSysInfo_Click);

    lblDescription = CreateLabel(this, QStringLiteral("lblDescription"), TwipsRect(1050, 1320, 3885, 1050));
    lblDescription->setText(kDescription);
    SetTextColor(lblDescription, Qt::black);

    lblDisclaimer = CreateLabel(this, QStringLiteral("lblDisclaimer"), TwipsRect(255, 4425, 3870, 825));
    lblDisclaimer->setText(kDisclaimer);
    SetTextColor(lblDisclaimer, Qt::black);

    lblTitle = CreateLabel(this, QStringLiteral("lblTitle"), TwipsRect(1080, 240, 885, 360));
    QFont titleFont = font();
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);
    SetTextColor(lblTitle, Qt::black);

    lblVersion = CreateLabel(this, QStringLiteral("lblVersion"), TwipsRect(1050, 840, 1725, 225));

    Label1 = CreateLabel(this, QStringLiteral("Label1"), TwipsRect(2160, 240, 3375, 375));
    Label1->setText(kAuthorCredit);

    lstVersion = Place(new QListWidget(this), QStringLiteral("lstVersion"), TwipsRect(960, 2520, 4095, 1425));
    lstVersion->setSortingEnabled(false);

    Label2 = CreateLabel(this, QStringLiteral("Label2"), TwipsRect(3000, 840, 1815, 255));
    Label2->setText(kReleaseDate);
}

void FrmAbout::CreateSeparator() {
    CreateSeparatorLine(this, QStringLiteral("Line1_1"), 90, 5654, 4245, 1, QColor(128, 128, 128));
    CreateSeparatorLine(this, QStringLiteral("Line1_0"), 105, 5654, 4260, 2, Qt::white);
}

void FrmAbout::SetTabOrder() {
    const std::array<QWidget*, 10> tabOrder = {cmdOK,    picIcon,    cmdSysInfo, lblDescription, lblDisclaimer,
                                               lblTitle, lblVersion, Label1,     lstVersion,     Label2};
    for (std::size_t i = 1; i < tabOrder.size(); ++i) {
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    }
    cmdOK->setFocus();
}

void FrmAbout::Form_Load() {
    setWindowTitle(QStringLiteral("About ") + QString::fromLatin1(kApplicationTitle));
    lblVersion->setText(QStringLiteral("Version %1.%2.%3").arg(kVersionMajor).arg(kVersionMinor).arg(kVersionRevision));
    lblTitle->setText(QString::fromLatin1(kApplicationTitle));
    for (const QString& line : kVersionHistory) {
        lstVersion->addItem(line);
    }
}

void FrmAbout::cmdOK_Click() { close(); }

void FrmAbout::cmdSysInfo_Click() { StartSysInfo(); }

void FrmAbout::ShowMessage(std::string_view message) {
    QMessageBox box(QMessageBox::NoIcon, kApplicationTitle,
                    QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size())), QMessageBox::Ok, this);
    box.exec();
}

}  // namespace kalendro
