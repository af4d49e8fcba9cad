#pragma once

#include <QWidget>

#include "contact_export/contact_export_run.h"
#include "platform/platform_services.h"

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

    void BTN_Start_Click();
    void Command1_Click();
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
    QLineEdit* TXT_path = nullptr;
    QCheckBox* CB_addBday = nullptr;
    QCheckBox* CB_addAnniversary = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* LBL_status = nullptr;
    QPushButton* Command1 = nullptr;
};

}  // namespace kalendro
