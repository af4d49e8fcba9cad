// SPDX-License-Identifier: GPL-3.0-or-later
// Build-time tool: writes the program's icon files for installation into the folder named on the
// command line (see WriteIconFiles).
#include <QGuiApplication>
#include <cstdlib>
#include <iostream>

#include "about/icon_files.h"
#include "platform/store/failure.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: write_icon_files THEME_FOLDER\n";
        return 2;
    }
    // Runs during the build, where no display need exist.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const QGuiApplication application(argc, argv);
    try {
        kalendro::WriteIconFiles(argv[1]);
    } catch (const kalendro::Failure& failure) {
        std::cerr << kalendro::UnhandledFailureReport(failure) << '\n';
        return 1;
    }
    return 0;
}
