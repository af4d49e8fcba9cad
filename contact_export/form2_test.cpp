// SPDX-License-Identifier: GPL-3.0-or-later
#include "contact_export/form2.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "platform/files/drive_table.h"
#include "platform/mailbox/mailbox_store.h"
#include "testing/caught_command.h"
#include "testing/fake_store.h"
#include "testing/label_fit.h"
#include "testing/source_path.h"
#include "testing/window_controls.h"
#include "testing/worked_examples.h"
#include "tools/commands.h"

namespace kalendro {
namespace {

using testing::FindControl;

using testing::Contact;
using testing::CountOf;
using testing::FakeFolder;
using testing::FakeStore;

// Runs `action` between two cards: posted before the run, it is handled by the run's own event
// processing after the first contact.
void DuringRun(std::function<void()> action) {
    QMetaObject::invokeMethod(qApp, std::move(action), Qt::QueuedConnection);
}

class Form2Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(directory_.isValid());
        OpenWindow([this] { return std::static_pointer_cast<StoreApplication>(store_); });
    }
    void TearDown() override { delete window_.data(); }

    void OpenWindow(StoreApplicationFactory createStoreApplication) {
        delete window_.data();
        PlatformServices services;
        services.createStoreApplication = std::move(createStoreApplication);
        const std::string root = directory_.path().toStdString();
        services.createFileSystem = [root] {
            return OpenDiskFileSystem(std::make_shared<DriveTable>(root), "UTF-8", root);
        };
        window_ = new Form2(services);
        FindControl<QLineEdit>(*window_, "TXT_path")->setText(QString::fromStdString(OutputPath()));
    }

    QPushButton* StartButton() { return FindControl<QPushButton>(*window_, "BTN_Start"); }
    std::string OutputPath() const { return directory_.filePath("contacts.vcf").toStdString(); }
    std::string Output() const {
        QFile file(QString::fromStdString(OutputPath()));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll().toStdString();
    }
    void AddContacts(int count) {
        for (int i = 1; i <= count; ++i) {
            contacts_->items.push_back(Contact("C" + std::to_string(i)));
        }
    }
    void ExpectIdle(const char* caption) {
        EXPECT_EQ(StartButton()->text(), caption);
        EXPECT_TRUE(FindControl<QLineEdit>(*window_, "TXT_path")->isEnabled());
        EXPECT_TRUE(FindControl<QCheckBox>(*window_, "CB_addBday")->isEnabled());
        EXPECT_TRUE(FindControl<QCheckBox>(*window_, "CB_addAnniversary")->isEnabled());
        EXPECT_EQ(FindControl<QLabel>(*window_, "LBL_status")->text(), "");
    }

    QTemporaryDir directory_;
    std::shared_ptr<FakeFolder> contacts_ = testing::ContactsFolder();
    std::shared_ptr<FakeStore> store_ = std::make_shared<FakeStore>(std::vector{contacts_});
    QPointer<Form2> window_;
};

TEST_F(Form2Test, OpensInTheDesignTimeState) {
    EXPECT_EQ(window_->windowTitle(), "MOLV - Kalendro Version 0.4 Export Contacts");
    EXPECT_EQ(window_->size(), QSize(497, 309));
    EXPECT_TRUE(window_->testAttribute(Qt::WA_DeleteOnClose));
    EXPECT_TRUE(FindControl<QCheckBox>(*window_, "CB_addBday")->isChecked());
    EXPECT_TRUE(FindControl<QCheckBox>(*window_, "CB_addAnniversary")->isChecked());
    ExpectIdle("&Start");

    Form2 fresh{PlatformServices{}};
    EXPECT_EQ(fresh.findChild<QLineEdit*>("TXT_path")->text(), "c:\\contacts.vcf");
    const QStringList tabOrder = {"BTN_Start", "TXT_path", "CB_addBday", "CB_addAnniversary", "Command1"};
    EXPECT_EQ(testing::TabOrder(fresh, tabOrder), tabOrder);
}

TEST_F(Form2Test, EveryLabelFitsItsBoxOnOneLine) { testing::ExpectLabelsFit(*window_); }

TEST_F(Form2Test, RunDisablesTheInputsAndShowsStopThenReturnsToIdle) {
    AddContacts(3);
    bool checkedDuringRun = false;
    DuringRun([this, &checkedDuringRun] {
        EXPECT_EQ(StartButton()->text(), "Stop");
        EXPECT_EQ(FindControl<QLabel>(*window_, "LBL_status")->text(), "Status: C1 (1 of 3)");
        EXPECT_FALSE(FindControl<QLineEdit>(*window_, "TXT_path")->isEnabled());
        EXPECT_FALSE(FindControl<QCheckBox>(*window_, "CB_addAnniversary")->isEnabled());
        // A disabled box ignores the click: the value of the run's start holds for the whole run.
        QTest::mouseClick(FindControl<QCheckBox>(*window_, "CB_addBday"), Qt::LeftButton);
        EXPECT_TRUE(FindControl<QCheckBox>(*window_, "CB_addBday")->isChecked());
        checkedDuringRun = true;
    });
    QTest::mouseClick(StartButton(), Qt::LeftButton);
    EXPECT_TRUE(checkedDuringRun);
    EXPECT_EQ(CountOf(Output(), "END:VCARD\r\n"), 3);
    ExpectIdle("Start");
}

TEST_F(Form2Test, CheckBoxesAtTheStartDecideTheNote) {
    const auto contact = Contact("A");
    contact->Set("Birthday", StoreDate{1990, 2, 1}).Set("Anniversary", StoreDate{2010, 5, 9});
    contacts_->items = {contact};
    FindControl<QCheckBox>(*window_, "CB_addBday")->setChecked(false);
    QTest::mouseClick(StartButton(), Qt::LeftButton);
    EXPECT_NE(Output().find("\r\nNOTE:anniversary: May 9\\, 2010\r\n"), std::string::npos) << Output();
}

TEST_F(Form2Test, StopClickEndsTheFileWithTheCurrentCard) {
    AddContacts(5);
    DuringRun([this] {
        QTest::mouseClick(StartButton(), Qt::LeftButton);
        EXPECT_EQ(StartButton()->text(), "Stop");  // stop requested, the run not yet returned
        EXPECT_FALSE(FindControl<QLineEdit>(*window_, "TXT_path")->isEnabled());
    });
    QTest::mouseClick(StartButton(), Qt::LeftButton);
    EXPECT_EQ(CountOf(Output(), "BEGIN:VCARD"), 1);
    EXPECT_TRUE(Output().ends_with("END:VCARD\r\n"));
    ExpectIdle("Start");
}

TEST_F(Form2Test, PathInAMissingFolderShowsTheMessageAndLeavesNoFile) {
    AddContacts(1);
    const QString path = directory_.filePath("missing/contacts.vcf");
    FindControl<QLineEdit>(*window_, "TXT_path")->setText(path);
    QString shownText, shownTitle;
    QMessageBox::StandardButtons shownButtons;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        shownText = box->text();
        shownTitle = box->windowTitle();
        shownButtons = box->standardButtons();
        box->button(QMessageBox::Ok)->click();
    });
    QTest::mouseClick(StartButton(), Qt::LeftButton);
    EXPECT_EQ(shownText, "The output file could not be created at the specified path.");
    EXPECT_EQ(shownTitle, "Kalendro");
    EXPECT_EQ(shownButtons, QMessageBox::Ok);
    EXPECT_FALSE(QFile::exists(path));
    ExpectIdle("Start");
}

// Closing during the run stops it after the current card; the window outlives its run even when
// deferred deletes are carried out inside the run's event processing.
TEST_F(Form2Test, ClosingTheWindowDuringARunStopsItAndDeletesTheWindowAfterwards) {
    AddContacts(5);
    window_->show();
    bool stillThereAfterClose = false;
    DuringRun([this, &stillThereAfterClose] {
        FindControl<QPushButton>(*window_, "Command1")->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        stillThereAfterClose = !window_.isNull();
    });
    QTest::mouseClick(StartButton(), Qt::LeftButton);
    EXPECT_TRUE(stillThereAfterClose);
    ASSERT_FALSE(window_.isNull());
    EXPECT_FALSE(window_->isVisible());
    EXPECT_EQ(CountOf(Output(), "BEGIN:VCARD"), 1);
    EXPECT_TRUE(Output().ends_with("END:VCARD\r\n"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window_.isNull());
}

TEST_F(Form2Test, WindowShownAgainWhileItsRunEndsStaysOpen) {
    AddContacts(3);
    window_->show();
    DuringRun([this] {
        FindControl<QPushButton>(*window_, "Command1")->click();
        window_->show();  // the main window's Contacts button, handled in the same round
    });
    QTest::mouseClick(StartButton(), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(window_.isNull());
    EXPECT_TRUE(window_->isVisible());
    EXPECT_TRUE(window_->testAttribute(Qt::WA_DeleteOnClose));
    ExpectIdle("Start");
    EXPECT_EQ(CountOf(Output(), "END:VCARD\r\n"), 1);
}

TEST_F(Form2Test, ClosingAnIdleWindowDeletesIt) {
    window_->show();
    QTest::mouseClick(FindControl<QPushButton>(*window_, "Command1"), Qt::LeftButton);
    EXPECT_FALSE(window_->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window_.isNull());
}

TEST_F(Form2Test, WindowAndHeadlessCommandWriteTheSameFileForTheDemoMailbox) {
    const std::string demo = testing::SourcePath("samples/demo-mailbox.json");
    OpenWindow([demo] { return OpenMailboxFile(demo, RegionalSettings()); });
    QTest::mouseClick(StartButton(), Qt::LeftButton);
    const std::string windowFile = Output();

    const std::string commandPath = directory_.filePath("command.vcf").toStdString();
    const testing::CommandResult result =
        testing::RunCaught(tools::RunContactsCommand, {"--store", demo, "--output", commandPath});
    ASSERT_EQ(result.status, 0) << result.err;
    QFile commandFile(QString::fromStdString(commandPath));
    ASSERT_TRUE(commandFile.open(QIODevice::ReadOnly));
    EXPECT_GT(CountOf(windowFile, "END:VCARD\r\n"), 1);
    EXPECT_EQ(commandFile.readAll().toStdString(), windowFile);
}

}  // namespace
}  // namespace kalendro
