#include "window_kit/window_kit.h"

namespace kalendro {

namespace {
constexpr double kDesignedPointSize = 8.25;
}

int TwipsToPixels(int twips) { return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel; }

QRect TwipsRect(int left, int top, int width, int height) {
    return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height));
}

QFont DialogFont(const QStringList& families) {
    QFont font;
    font.setFamilies(families);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(kDesignedPointSize);
    return font;
}

}  // namespace kalendro
