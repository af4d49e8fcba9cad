// SPDX-License-Identifier: GPL-3.0-or-later
#include "about/frm_about.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "about/program_icon.h"
#include "testing/fake_registry.h"
#include "testing/label_fit.h"
#include "testing/window_controls.h"

namespace kalendro {
namespace {

using testing::FindControl;

const std::string kProgramPath = "C:\\Windows\\msinfo32.exe";

// What a message box showed before the test closed it.
struct ShownMessage {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::Information;
    QMessageBox::StandardButtons buttons;
};

class FrmAboutTest : public ::testing::Test {
protected:
    FrmAboutTest() {
        services_.registry = registry_;
        services_.startProgram = programs_.Starter();
        services_.isNormalFile = programs_.Lookup();
    }

    ~FrmAboutTest() override {
        delete window_;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Opens the window as the main window does: without a parent, shown modeless.
    FrmAbout* Open() {
        window_ = new FrmAbout(services_);
        window_->show();
        return window_;
    }

    QStringList HistoryLines() {
        QStringList lines;
        auto* list = FindControl<QListWidget>(*window_, "lstVersion");
        for (int row = 0; row < list->count(); ++row) {
            lines << list->item(row)->text();
        }
        return lines;
    }

    // Clicks System Info and closes the message box that it shows, if any.
    std::optional<ShownMessage> ClickSysInfoAndCloseMessage() {
        std::optional<ShownMessage> shown;
        QTimer::singleShot(0, [&shown] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown = ShownMessage{box->windowTitle(), box->text(), box->icon(), box->standardButtons()};
                box->accept();
            }
        });
        QTest::mouseClick(FindControl<QPushButton>(*window_, "cmdSysInfo"), Qt::LeftButton);
        return shown;
    }

    void ExpectClosedBy(Qt::Key key, const char* focusedControl) {
        Open();
        QPointer<FrmAbout> window = window_;
        QWidget* focused = FindControl<QWidget>(*window_, focusedControl);
        focused->setFocus();
        QTest::keyClick(focused, key);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(window.isNull()) << "still open after key " << key << " on " << focusedControl;
        window_ = window;
    }

    std::shared_ptr<testing::MemoryRegistry> registry_ = std::make_shared<testing::MemoryRegistry>();
    testing::FakeSystemPrograms programs_;
    PlatformServices services_;
    QPointer<FrmAbout> window_;
};

TEST_F(FrmAboutTest, LoadFillsCaptionVersionTitleAndFixedTexts) {
    Open();
    EXPECT_EQ(window_->windowTitle(), "About Kalendro");
    EXPECT_EQ(FindControl<QLabel>(*window_, "lblVersion")->text(), "Version 0.5.1");
    EXPECT_EQ(FindControl<QLabel>(*window_, "lblTitle")->text(), "Kalendro");
    EXPECT_EQ(FindControl<QLabel>(*window_, "Label2")->text(), "November 3th  2002");
    EXPECT_EQ(FindControl<QLabel>(*window_, "lblDisclaimer")->text(),
              "Mail for questions or suggestions: kalendro@example.org");
    EXPECT_EQ(FindControl<QPushButton>(*window_, "cmdSysInfo")->text(), "&System Info...");
}

TEST_F(FrmAboutTest, EveryLabelFitsItsBoxAndOnlyTheLongTextsWrap) {
    testing::ExpectLabelsFit(*Open(), {QStringLiteral("lblDescription"), QStringLiteral("lblDisclaimer")});
}

TEST_F(FrmAboutTest, HistoryHasItsEightLinesOnceAfterOpenCloseOpen) {
    Open();
    const QStringList expected = HistoryLines();
    EXPECT_EQ(expected.size(), 8);
    QPointer<FrmAbout> first = window_;
    window_->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(first.isNull()) << "a closed about window must be gone, so the next opening loads afresh";

    Open();
    EXPECT_EQ(HistoryLines(), expected);
}

TEST_F(FrmAboutTest, OkEnterAndEscCloseWhicheverControlHasTheFocus) {
    // A System Info press would start this program rather than block on the unavailable message.
    registry_->SetString("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", kProgramPath);
    programs_.AddProgram(kProgramPath);
    Open();
    QPointer<FrmAbout> window = window_;
    QTest::mouseClick(FindControl<QPushButton>(*window_, "cmdOK"), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
    for (const char* control : {"cmdOK", "lstVersion", "cmdSysInfo"}) {
        ExpectClosedBy(Qt::Key_Return, control);
        ExpectClosedBy(Qt::Key_Escape, control);
    }
    ExpectClosedBy(Qt::Key_Enter, "lstVersion");
    EXPECT_THAT(programs_.StartAttempts(), ::testing::IsEmpty());
}

TEST_F(FrmAboutTest, FixedDialogWithOkFocusedFirst) {
    Open();
    EXPECT_EQ(window_->geometry(), QRect(156, 129, 382, 369));
    EXPECT_EQ(window_->minimumSize(), window_->maximumSize());
    EXPECT_EQ(window_->windowType(), Qt::Dialog);
    EXPECT_FALSE(window_->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(window_->testAttribute(Qt::WA_DeleteOnClose));
    EXPECT_TRUE(FindControl<QLabel>(*window_, "lblTitle")->font().bold());

    EXPECT_EQ(window_->focusWidget(), FindControl<QWidget>(*window_, "cmdOK"));
    const QStringList tabOrder = {"cmdOK", "cmdSysInfo", "lstVersion"};
    EXPECT_EQ(testing::TabOrder(*window_, tabOrder), tabOrder);
}

TEST_F(FrmAboutTest, PictureShowsTheProgramIcon) {
    Open();
    const QPixmap shown = FindControl<QLabel>(*window_, "picIcon")->pixmap();
    EXPECT_EQ(shown.size(), QSize(32, 32));
    EXPECT_EQ(shown.toImage(), ProgramIcon().toImage());
}

TEST_F(FrmAboutTest, SysInfoWithoutRegistryValuesShowsTheMessageAndStaysOpen) {
    Open();
    const std::optional<ShownMessage> shown = ClickSysInfoAndCloseMessage();
    ASSERT_TRUE(shown.has_value());
    EXPECT_EQ(shown->title, "Kalendro");
    EXPECT_EQ(shown->text, "System Information Is Unavailable At This Time");
    EXPECT_EQ(shown->icon, QMessageBox::NoIcon);
    EXPECT_EQ(shown->buttons, QMessageBox::Ok);
    EXPECT_TRUE(window_ && window_->isVisible());
}

TEST_F(FrmAboutTest, SysInfoStartsTheProgramThatTheRegistryNames) {
    registry_->SetString("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", kProgramPath);
    programs_.AddProgram(kProgramPath);
    Open();
    EXPECT_FALSE(ClickSysInfoAndCloseMessage().has_value());
    EXPECT_THAT(programs_.Started(), ::testing::ElementsAre(kProgramPath));
}

TEST_F(FrmAboutTest, GetKeyValueReadsThroughTheWindowsRegistry) {
    registry_->SetString("SOFTWARE\\Kalendro", "Name", "value");
    Open();
    std::string keyValue;
    EXPECT_TRUE(window_->GetKeyValue(kHkeyLocalMachine, "SOFTWARE\\Kalendro", "Name", keyValue));
    EXPECT_EQ(keyValue, "value");
}

}  // namespace
}  // namespace kalendro
