// SPDX-License-Identifier: GPL-3.0-or-later
// kalendro: the main window over the mail store files named on the command line, or chosen at start.
#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QIcon>
#include <QMessageBox>
#include <QRegularExpression>
#include <clocale>
#include <iostream>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "about/program_icon.h"
#include "app/form1.h"
#include "app/start_up.h"
#include "platform/files/output_files.h"
#include "platform/locale/regional.h"
#include "platform/store/application_identity.h"
#include "platform/store/failure.h"
#include "platform/store_files/store_files.h"
#include "platform/system/platform_services.h"

namespace {

using namespace kalendro;

const char* const kUsage =
    "Usage: kalendro [--store] FILE [[--store] FILE ...]\n"
    "\n"
    "Exports the appointments of a calendar of the mail store to an iCalendar file, and its contacts to a\n"
    "vCard file. Each FILE is an Outlook data file (.pst, .ost) or a mailbox file (see docs/mailbox-format.md),\n"
    "shown as one store of the folder tree; the first one holds the default folders. Without a FILE,\n"
    "Kalendro asks for one.\n";

// What the platform does with a failure that nothing handles: the report on standard error and in a
// message box. The caller then ends the program.
void ReportUnhandledFailure(const Failure& failure) {
    const std::string report = UnhandledFailureReport(failure);
    std::cerr << report << std::endl;
    QMessageBox::critical(nullptr, QString::fromLatin1(kApplicationTitle), QString::fromStdString(report));
}

// The one place where a failure escaping an event handler is caught: it is reported and the program ends.
class KalendroApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const Failure& failure) {
            ReportUnhandledFailure(failure);
            QCoreApplication::exit(1);
            return false;
        } catch (const std::bad_alloc&) {
            ReportUnhandledFailure(OutOfMemoryFailure());
            QCoreApplication::exit(1);
            return false;
        }
    }
};

// What the store files could not give (items left out of a folder) goes to standard error at once; the
// user sees it in a message box as well, once the window is up and the handler that read the folder
// has ended.
void ReportStoreWarning(const std::string& warning) {
    std::cerr << "Warning: " << warning << std::endl;
    QMetaObject::invokeMethod(
        qApp,
        [text = QString::fromStdString(warning)] {
            QMessageBox::warning(nullptr, QString::fromLatin1(kApplicationTitle),
                                 "Some items could not be read and were left out:\n\n" + text);
        },
        Qt::QueuedConnection);
}

// The desktop's file dialog stands in for the store's own profile prompt.
std::optional<std::string> ChooseStoreFile() {
    const QString path = QFileDialog::getOpenFileName(
        nullptr, QStringLiteral("Open a mail store"), QDir::homePath(),
        QStringLiteral("Outlook data files (*.pst *.ost);;Kalendro mailbox files (*.json);;All files (*)"));
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path.toStdString();
}

PlatformServices SystemServices(const std::vector<std::string>& storePaths) {
    PlatformServices services;
    services.regional = RegionalSettings::FromLocale();
    services.createStoreApplication =
        StoreOpener(storePaths, ChooseStoreFile, [regional = services.regional](const std::vector<std::string>& paths) {
            return OpenStoreFiles(paths, regional, ReportStoreWarning);
        });
    services.createFileSystem = [] { return OpenDiskFileSystem(); };
    const QDate today = QDate::currentDate();
    services.today = StoreDate{today.year(), today.month(), today.day()};
    return services;
}

// The window's start-up runs before it is shown; a failure there ends the program before any window appears.
int RunMainWindow(KalendroApplication& application, PlatformServices services) {
    try {
        Form1 mainWindow(std::move(services));
        mainWindow.Form_Initialize();
        mainWindow.show();
        const int status = application.exec();
        // Windows closed at the end delete themselves later; let them go while the application still exists.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return status;
    } catch (const Failure& failure) {
        ReportUnhandledFailure(failure);
        return 1;
    } catch (const std::bad_alloc&) {
        ReportUnhandledFailure(OutOfMemoryFailure());
        return 1;
    }
}

// A launcher has no terminal to show standard error: the usage goes to a message box as well.
int ReportUsageError(const Failure& failure) {
    const std::string report = "kalendro: " + failure.Description() + "\n\n" + kUsage;
    std::cerr << report;
    // The box wraps its text itself: the lines of a paragraph are joined again.
    const QString unwrapped = QString::fromStdString(report).replace(QRegularExpression("(?<=\\S)\n(?=\\S)"), " ");
    QMessageBox::warning(nullptr, QString::fromLatin1(kApplicationTitle), unwrapped);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    // Help is for a terminal, which may have no display to start the application on.
    if (AsksForHelp(std::vector<std::string>(argv + 1, argv + argc))) {
        std::cout << kUsage;
        return 0;
    }
    // Qt takes its own options (-platform, -display, ...) out of the arguments first.
    KalendroApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
    QApplication::setWindowIcon(QIcon(ProgramIcon()));
    std::vector<std::string> storePaths;
    try {
        storePaths = ParseStorePaths(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const Failure& failure) {
        return ReportUsageError(failure);
    }
    return RunMainWindow(application, SystemServices(storePaths));
}
