// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>
#include <QRect>
#include <QString>
#include <QStringList>

namespace kalendro {

// The windows keep the layout they were designed with: places in twips, 15 of them to a pixel at
// 96 dots per inch, and a small dialog font the controls' boxes were measured for.

inline constexpr int kTwipsPerPixel = 15;

// The nearest pixel. Most designed places are whole pixels (multiples of 15 twips) and convert exactly.
int TwipsToPixels(int twips);
QRect TwipsRect(int left, int top, int width, int height);

// Gives the control its name (the one tests and screenshots find it by) and its place.
template <typename Control>
Control* Place(Control* control, const QString& name, const QRect& geometry) {
    control->setObjectName(name);
    control->setGeometry(geometry);
    return control;
}

// The windows' font: Liberation Sans (Debian's fonts-liberation2), or Arial whose widths it shares,
// else any sans serif, at 11 pixels (MS Sans Serif 8.25 points at 96 dots per inch, the face and size
// the controls' boxes were measured for). The size stays in pixels whatever the screen's dots per inch,
// since the boxes do too.
QFont DialogFont();

}  // namespace kalendro
