#pragma once

#include <QDialog>
#include <memory>
#include <string>
#include <string_view>

#include "about/sys_info.h"
#include "platform/platform_services.h"

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

    void StartSysInfo();
    bool GetKeyValue(const RegistryRoot& keyRoot, const std::string& keyName, const std::string& subKeyRef,
                     std::string& keyValue);

private:
    void CreateControls();
    void CreateSeparator();
    void SetWindowFont();
    void SetTabOrder();
    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();
    void ShowMessage(std::string_view message);

    SysInfoServices sysInfo_;

    QPushButton* cmdOK;
    QLabel* picIcon;
    QPushButton* cmdSysInfo;
    QLabel* lblDescription;
    QLabel* lblDisclaimer;
    QLabel* lblTitle;
    QLabel* lblVersion;
    QLabel* Label1;
    QListWidget* lstVersion;
    QLabel* Label2;
};

}  // namespace kalendro
