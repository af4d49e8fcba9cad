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

// The first of the families that exists, else a sans serif, at 8.25 points (MS Sans Serif 8, the
// size the windows were designed with).
QFont DialogFont(const QStringList& families);

}  // namespace kalendro
