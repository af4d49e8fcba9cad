// SPDX-License-Identifier: GPL-3.0-or-later
#include "contact_export/form2.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "platform/store/application_identity.h"
#include "window_kit/window_kit.h"

namespace kalendro {

Form2::Form2(const PlatformServices& services, QWidget* parent) : QWidget(parent, Qt::Window), services_(services) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("MOLV - Kalendro Version 0.4 Export Contacts");
    setFont(DialogFont());
    resize(TwipsToPixels(7455), TwipsToPixels(4635));
    CreateControls();
    BTN_Start->setFocus();
}

void Form2::CreateControls() {
    BTN_Start = Place(new QPushButton("&Start", this), "BTN_Start", TwipsRect(240, 3840, 1455, 495));
    TXT_path = Place(new QLineEdit("c:\\contacts.vcf", this), "TXT_path", TwipsRect(2040, 240, 4335, 375));
    CB_addBday = Place(new QCheckBox("Add birthday to \"Notes\"", this), "CB_addBday", TwipsRect(240, 840, 3855, 375));
    CB_addAnniversary = Place(new QCheckBox("Add anniversary to \"Notes\"", this), "CB_addAnniversary",
                              TwipsRect(240, 1440, 4095, 375));
    Label1 = Place(new QLabel("Save path:", this), "Label1", TwipsRect(240, 240, 1455, 375));
    LBL_status = Place(new QLabel("", this), "LBL_status", TwipsRect(240, 2160, 6855, 495));
    Command1 = Place(new QPushButton("&Close", this), "Command1", TwipsRect(5760, 3840, 1455, 495));
    CB_addBday->setChecked(true);
    CB_addAnniversary->setChecked(true);
    setTabOrder(BTN_Start, TXT_path);
    setTabOrder(TXT_path, CB_addBday);
    setTabOrder(CB_addBday, CB_addAnniversary);
    setTabOrder(CB_addAnniversary, Command1);
    connect(BTN_Start, &QPushButton::clicked, this, &Form2::BTN_Start_Click);
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
}

void Form2::BTN_Start_Click() {
    if (state_.ExportRunning) {
        // The run notices this after the card it is writing.
        state_.ExportRunning = false;
        return;
    }
    state_.ExportRunning = true;
    BTN_Start->setText("Stop");
    EnableInputs(false);
    state_.AddBirthday = CB_addBday->checkState() != Qt::Unchecked;
    state_.AddAnniversary = CB_addAnniversary->checkState() != Qt::Unchecked;
    runOnStack_ = true;
    ExportContacts(services_, TXT_path->text().toStdString(), state_, *this);
    runOnStack_ = false;
    BTN_Start->setText("Start");
    state_.ExportRunning = false;
    EnableInputs(true);
    LBL_status->setText("");
    FinishDeferredClose();
}

void Form2::Command1_Click() { close(); }

void Form2::EnableInputs(bool enabled) {
    TXT_path->setEnabled(enabled);
    CB_addBday->setEnabled(enabled);
    CB_addAnniversary->setEnabled(enabled);
}

void Form2::closeEvent(QCloseEvent* event) {
    if (runOnStack_) {
        // Closing stops the run as Stop does. The run is still on the stack and uses this window,
        // so deleting it on close waits until the run has returned: a deferred delete posted now
        // could be carried out by the run's own event processing.
        state_.ExportRunning = false;
        closedDuringRun_ = true;
        setAttribute(Qt::WA_DeleteOnClose, false);
    }
    event->accept();
}

void Form2::FinishDeferredClose() {
    if (!closedDuringRun_) {
        return;
    }
    closedDuringRun_ = false;
    setAttribute(Qt::WA_DeleteOnClose, true);
    // Shown again from the main window while the run was ending: that window stays.
    if (!isVisible()) {
        deleteLater();
    }
}

void Form2::ShowStatus(const std::string& text) { LBL_status->setText(QString::fromStdString(text)); }

void Form2::ShowMessage(const std::string& text, const Failure&) {
    QMessageBox box(QMessageBox::NoIcon, kApplicationTitle, QString::fromStdString(text), QMessageBox::Ok, this);
    box.exec();
}

void Form2::ProcessPendingEvents() { QCoreApplication::processEvents(); }

}  // namespace kalendro
