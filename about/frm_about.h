// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <memory>
#include <string>
#include <string_view>

#include "about/sys_info.h"
#include "platform/system/platform_services.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace kalendro {

// The about window: title, version, release date, description, version history, author credit,
// contact address and the System Info button. Modeless; it deletes itself when closed, so every
// opening is a fresh load.
class FrmAbout : public QDialog {
    Q_OBJECT

public:
    explicit FrmAbout(const PlatformServices& services, QWidget* parent = nullptr);

    // Starts the system-information program the registry names, or says it is unavailable.
    void StartSysInfo();
    // One registry value as text; false when it cannot be read (see kalendro::GetKeyValue).
    bool GetKeyValue(const RegistryRoot& keyRoot, const std::string& keyName, const std::string& subKeyRef,
                     std::string& keyValue);

private:
    void CreateControls();
    void CreateSeparator();
    void SetTabOrder();
    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();
    void ShowMessage(std::string_view message);

    SysInfoServices sysInfo_;

    QPushButton* cmdOK;
    QLabel* picIcon;  // the program's icon
    QPushButton* cmdSysInfo;
    QLabel* lblDescription;  // what the program does
    QLabel* lblDisclaimer;   // the address for questions
    QLabel* lblTitle;        // the program's name
    QLabel* lblVersion;
    QLabel* Label1;           // author credit
    QListWidget* lstVersion;  // version history
    QLabel* Label2;           // release date
};

}  // namespace kalendro
