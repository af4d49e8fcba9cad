// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointer>
#include <QWidget>

namespace kalendro {

// Shows the one window of its kind modeless, creating it first when it does not exist (never opened, or
// closed and deleted since). The window is created without a parent, so that it outlives the window that
// opened it; it deletes itself when closed, which clears the QPointer.
template <typename Window, typename Create>
Window* ShowSingleWindow(QPointer<Window>& window, Create create) {
    if (window.isNull()) {
        window = create();
    }
    // Raising alone leaves a minimised window in the task bar.
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

}  // namespace kalendro
