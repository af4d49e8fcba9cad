// kalendro: the main window over the mail store files named on the command line.
#include <QApplication>
#include <QDate>
#include <QIcon>
#include <QMessageBox>
#include <clocale>
#include <iostream>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "about/program_icon.h"
#include "app/form1.h"
#include "platform/application_identity.h"
#include "platform/failure.h"
#include "platform/output_files.h"
#include "platform/platform_services.h"
#include "platform/regional.h"
#include "platform/store_files/store_files.h"

namespace {

using namespace kalendro;

const char* const kUsage =
    "Usage: kalendro --store FILE [--store FILE ...]\n"
    "Exports the appointments of a calendar of the mail store to an iCalendar file, and its contacts to a\n"
    "vCard file. Each FILE is an Outlook data file (.pst, .ost) or a mailbox file (see docs/mailbox-format.md),\n"
    "shown as one store of the folder tree; the first one holds the default folders.\n";

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

StoreApplicationFactory StoreOpener(const std::vector<std::string>& storePaths, const RegionalSettings& regional) {
    if (storePaths.empty()) {
        return []() -> std::shared_ptr<StoreApplication> {
            throw Failure(kStoreCannotOpen, "No mail store given: start Kalendro with --store FILE");
        };
    }
    return [storePaths, regional] { return OpenStoreFiles(storePaths, regional, ReportStoreWarning); };
}

PlatformServices SystemServices(const std::vector<std::string>& storePaths) {
    PlatformServices services;
    services.regional = RegionalSettings::FromLocale();
    services.createStoreApplication = StoreOpener(storePaths, services.regional);
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

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    std::vector<std::string> storePaths;
    for (int index = 1; index < argc; ++index) {
        const std::string_view argument = argv[index];
        if (argument == "--help" || argument == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (argument != "--store" || index + 1 == argc) {
            std::cerr << kUsage;
            return 2;
        }
        storePaths.push_back(argv[++index]);
    }
    KalendroApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
    QApplication::setWindowIcon(QIcon(ProgramIcon()));
    return RunMainWindow(application, SystemServices(storePaths));
}
