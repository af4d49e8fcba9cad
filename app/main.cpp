// kalendro: the main window over the mailbox file that plays the mail store.
#include <QApplication>
#include <QDate>
#include <QIcon>
#include <QMessageBox>
#include <clocale>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "about/program_icon.h"
#include "app/form1.h"
#include "platform/application_identity.h"
#include "platform/failure.h"
#include "platform/mailbox/mailbox_store.h"
#include "platform/output_files.h"
#include "platform/platform_services.h"
#include "platform/regional.h"

namespace {

using namespace kalendro;

const char* const kUsage =
    "Usage: kalendro --store FILE\n"
    "Exports the appointments of a calendar of the mailbox FILE to an iCalendar file, and its contacts to a\n"
    "vCard file. FILE is a mailbox file (see docs/mailbox-format.md).\n";

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
        }
    }
};

StoreApplicationFactory StoreOpener(const std::optional<std::string>& storePath, const RegionalSettings& regional) {
    if (!storePath) {
        return []() -> std::shared_ptr<StoreApplication> {
            throw Failure(kStoreCannotOpen, "No mailbox given: start Kalendro with --store FILE");
        };
    }
    return [path = *storePath, regional] { return OpenMailboxFile(path, regional); };
}

PlatformServices SystemServices(const std::optional<std::string>& storePath) {
    PlatformServices services;
    services.regional = RegionalSettings::FromLocale();
    services.createStoreApplication = StoreOpener(storePath, services.regional);
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
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    std::optional<std::string> storePath;
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
        storePath = argv[++index];
    }
    KalendroApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
    QApplication::setWindowIcon(QIcon(ProgramIcon()));
    return RunMainWindow(application, SystemServices(storePath));
}
