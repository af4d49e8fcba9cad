// SPDX-License-Identifier: GPL-3.0-or-later
#include "window_kit/window_kit.h"

namespace kalendro {

namespace {
constexpr int kDesignedPixelSize = 11;
}

int TwipsToPixels(int twips) { return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel; }

QRect TwipsRect(int left, int top, int width, int height) {
    return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height));
}

QFont DialogFont() {
    QFont font;
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(kDesignedPixelSize);
    return font;
}

}  // namespace kalendro
