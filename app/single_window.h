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
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

}  // namespace kalendro
