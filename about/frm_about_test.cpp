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
#include "about/sys_info_fakes.h"

namespace kalendro {
namespace {

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

    template <typename Control>
    Control* Find(const char* name) {
        auto* control = window_->findChild<Control*>(QString::fromLatin1(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }

    QStringList HistoryLines() {
        QStringList lines;
        auto* list = Find<QListWidget>("lstVersion");
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
        QTest::mouseClick(Find<QPushButton>("cmdSysInfo"), Qt::LeftButton);
        return shown;
    }

    void ExpectClosedBy(Qt::Key key, const char* focusedControl) {
        Open();
        QPointer<FrmAbout> window = window_;
        QWidget* focused = Find<QWidget>(focusedControl);
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
    EXPECT_EQ(Find<QLabel>("lblVersion")->text(), "Version 0.5.1");
    EXPECT_EQ(Find<QLabel>("lblTitle")->text(), "Kalendro");
    EXPECT_EQ(Find<QLabel>("Label2")->text(), "November 3th  2002");
    EXPECT_EQ(Find<QLabel>("lblDisclaimer")->text(), "Mail for questions or suggestions: kalendro@example.org");
    EXPECT_EQ(Find<QLabel>("lblDescription")->text(),
              "Create a iCalender file from your outlook appointments. Limitations: filename vCalender.ics created "
              "in c:\\ root folder. Copy the file manualy to iPod Calender folder with tools like XPlay from "
              "Mediafour. Limited to Outlook2000 or OutlookXP");
    EXPECT_FALSE(Find<QLabel>("Label1")->text().isEmpty());
    EXPECT_EQ(Find<QPushButton>("cmdOK")->text(), "OK");
    EXPECT_EQ(Find<QPushButton>("cmdSysInfo")->text(), "&System Info...");
}

TEST_F(FrmAboutTest, HistoryHasItsEightLinesOnceAfterOpenCloseOpen) {
    const QStringList expected = {"Version history.",
                                  "0.1 Initial release",
                                  "0.2 Small bugfix date selection",
                                  "0.3 Recurring Appointments added",
                                  "      Performance improvements",
                                  "0.4 Export of contacts added",
                                  "0.5 Selection of calendar added",
                                  "      Direct saving to iPod Calendar"};
    Open();
    EXPECT_EQ(HistoryLines(), expected);
    QPointer<FrmAbout> first = window_;
    window_->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(first.isNull()) << "a closed about window must be gone, so the next opening loads afresh";

    Open();
    EXPECT_EQ(HistoryLines(), expected);
}

TEST_F(FrmAboutTest, OkButtonClosesTheWindow) {
    Open();
    QPointer<FrmAbout> window = window_;
    QTest::mouseClick(Find<QPushButton>("cmdOK"), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
}

TEST_F(FrmAboutTest, EnterClosesWhicheverControlHasTheFocus) {
    // A System Info press would start this program rather than block on the unavailable message.
    registry_->SetString("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", kProgramPath);
    programs_.AddProgram(kProgramPath);
    for (const char* control : {"cmdOK", "lstVersion", "cmdSysInfo"}) {
        ExpectClosedBy(Qt::Key_Return, control);
    }
    ExpectClosedBy(Qt::Key_Enter, "lstVersion");
    EXPECT_THAT(programs_.StartAttempts(), ::testing::IsEmpty());
}

TEST_F(FrmAboutTest, EscClosesWhicheverControlHasTheFocus) {
    for (const char* control : {"cmdOK", "lstVersion", "cmdSysInfo"}) {
        ExpectClosedBy(Qt::Key_Escape, control);
    }
}

TEST_F(FrmAboutTest, ClientAreaIsFixedInSizeAndPlace) {
    Open();
    EXPECT_EQ(window_->geometry(), QRect(156, 129, 382, 369));
    EXPECT_EQ(window_->minimumSize(), QSize(382, 369));
    EXPECT_EQ(window_->maximumSize(), QSize(382, 369));
    const Qt::WindowFlags flags = window_->windowFlags();
    EXPECT_EQ(window_->windowType(), Qt::Dialog);
    EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(window_->testAttribute(Qt::WA_DeleteOnClose));
}

TEST_F(FrmAboutTest, ControlsSitAtTheirTwipPositions) {
    Open();
    EXPECT_EQ(Find<QWidget>("cmdOK")->geometry(), QRect(283, 295, 84, 23));
    EXPECT_EQ(Find<QWidget>("cmdSysInfo")->geometry(), QRect(284, 325, 83, 23));
    EXPECT_EQ(Find<QWidget>("picIcon")->geometry(), QRect(16, 16, 36, 36));
    EXPECT_EQ(Find<QWidget>("lblDescription")->geometry(), QRect(70, 88, 259, 70));
    EXPECT_EQ(Find<QWidget>("lstVersion")->geometry(), QRect(64, 168, 273, 95));
    EXPECT_EQ(Find<QWidget>("Label2")->geometry(), QRect(200, 56, 121, 17));
    EXPECT_EQ(Find<QWidget>("lblDisclaimer")->geometry(), QRect(17, 295, 258, 55));
}

TEST_F(FrmAboutTest, SeparatorIsAGreyLineOverAWhiteOne) {
    Open();
    auto* grey = Find<QWidget>("Line1_1");
    auto* white = Find<QWidget>("Line1_0");
    EXPECT_EQ(grey->geometry(), QRect(QPoint(6, 283), QPoint(377, 283)));
    EXPECT_EQ(white->geometry(), QRect(QPoint(7, 284), QPoint(377, 285)));
    const QImage image = window_->grab().toImage();
    EXPECT_EQ(image.pixelColor(100, 283), QColor(128, 128, 128));
    EXPECT_EQ(image.pixelColor(100, 284), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(100, 285), QColor(Qt::white));
}

TEST_F(FrmAboutTest, TitleAloneIsBold) {
    Open();
    EXPECT_TRUE(Find<QLabel>("lblTitle")->font().bold());
    EXPECT_FALSE(Find<QLabel>("lblVersion")->font().bold());
    EXPECT_DOUBLE_EQ(window_->font().pointSizeF(), 8.25);
}

TEST_F(FrmAboutTest, TabOrderRunsOkSysInfoHistoryWithOkFocusedFirst) {
    Open();
    EXPECT_EQ(window_->focusWidget(), Find<QWidget>("cmdOK"));
    QStringList focusable;
    QWidget* widget = Find<QWidget>("cmdOK");
    do {
        if (widget->focusPolicy() & Qt::TabFocus) {
            focusable << widget->objectName();
        }
        widget = widget->nextInFocusChain();
    } while (widget != Find<QWidget>("cmdOK"));
    EXPECT_EQ(focusable, QStringList({"cmdOK", "cmdSysInfo", "lstVersion"}));
}

TEST_F(FrmAboutTest, PictureShowsTheProgramIcon) {
    Open();
    const QPixmap shown = Find<QLabel>("picIcon")->pixmap();
    EXPECT_EQ(shown.size(), QSize(32, 32));
    EXPECT_EQ(shown.toImage(), ProgramIcon().toImage());
    EXPECT_NE(shown.toImage().pixelColor(16, 16).alpha(), 0) << "the icon's middle is drawn";
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
