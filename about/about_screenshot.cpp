// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the about window, as it opens, into the PNG file named on the command line, so that its
// layout can be looked at without a desktop (run under xvfb-run or QT_QPA_PLATFORM=offscreen).
#include <QApplication>
#include <QPointer>
#include <iostream>

#include "about/frm_about.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::cerr << "usage: about_screenshot OUTPUT.png\n";
        return 2;
    }
    const kalendro::PlatformServices services;
    QPointer<kalendro::FrmAbout> window = new kalendro::FrmAbout(services);
    window->show();
    QApplication::processEvents();
    const bool saved = window->grab().save(QString::fromLocal8Bit(argv[1]));
    window->close();
    if (!saved) {
        std::cerr << "about_screenshot: cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
