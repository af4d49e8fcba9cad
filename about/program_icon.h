#pragma once

#include <QPixmap>

namespace kalendro {

// The program's 32 x 32 icon: a calendar page with a music player in its corner. The main window
// uses it as its window icon and the about window shows it.
QPixmap ProgramIcon();

}  // namespace kalendro
