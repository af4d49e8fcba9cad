// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QPixmap>

class QPainter;

namespace kalendro {

// The side of the square the icon is drawn in, in the painter's units.
inline constexpr int kProgramIconSize = 32;

// Draws the program's icon, a calendar page with a music player in its corner, into the square from
// (0, 0) to (kProgramIconSize, kProgramIconSize) of the painter. Every picture of the icon (window icon,
// about window, the installed PNG and SVG files) comes from this one drawing.
void DrawProgramIcon(QPainter& painter);

// The icon as a square image of the given side in pixels, on a transparent ground.
QImage ProgramIconImage(int size);

// The 32 x 32 icon: the main window uses it as its window icon and the about window shows it.
QPixmap ProgramIcon();

}  // namespace kalendro
