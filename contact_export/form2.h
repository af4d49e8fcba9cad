// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include "contact_export/contact_export_run.h"
#include "platform/system/platform_services.h"

class QCheckBox;
class QCloseEvent;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kalendro {

// The contact export window: a path, two check boxes and a Start button that turns into Stop
// while the run walks the store's contacts. It deletes itself when closed, so every opening
// after a close starts from the design-time state.
class Form2 : public QWidget, private ContactExportView {
    Q_OBJECT

public:
    explicit Form2(const PlatformServices& services, QWidget* parent = nullptr);

    void BTN_Start_Click();  // Start runs the export; while it runs the same button stops it
    void Command1_Click();   // Close
    // The path and the two check boxes, which must not change while the export runs.
    void EnableInputs(bool enabled);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();
    void ShowStatus(const std::string& text) override;
    void ShowMessage(const std::string& text, const Failure& cause) override;
    void ProcessPendingEvents() override;
    void FinishDeferredClose();

    PlatformServices services_;
    ContactExportState state_;
    bool runOnStack_ = false;
    bool closedDuringRun_ = false;

    QPushButton* BTN_Start = nullptr;
    QLineEdit* TXT_path = nullptr;           // the vCard file written
    QCheckBox* CB_addBday = nullptr;         // adds the birthday to each card's NOTE
    QCheckBox* CB_addAnniversary = nullptr;  // adds the anniversary to each card's NOTE
    QLabel* Label1 = nullptr;                // "Save path:"
    QLabel* LBL_status = nullptr;            // the contact being written and the count so far
    QPushButton* Command1 = nullptr;         // Close
};

}  // namespace kalendro
