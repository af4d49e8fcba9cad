// SPDX-License-Identifier: GPL-3.0-or-later
#include "about/program_icon.h"

#include <QColor>
#include <QPainter>
#include <QPainterPath>

namespace kalendro {
namespace {

const QColor kPageRed(0xc0, 0x30, 0x2b);
const QColor kPageWhite(0xfb, 0xfb, 0xf8);
const QColor kInk(0x33, 0x33, 0x3a);
const QColor kGridGrey(0xb8, 0xb8, 0xc0);
const QColor kPlayerSilver(0xe4, 0xe6, 0xea);
const QColor kPlayerScreen(0x5b, 0x8d, 0xc9);

// The calendar sheet: a red header band over a white page with a grid of days.
void DrawCalendarPage(QPainter& painter) {
    const QRectF page(2.5, 4.5, 24, 25);
    QPainterPath outline;
    outline.addRoundedRect(page, 2.5, 2.5);
    painter.fillPath(outline, kPageWhite);

    // The band as a shape of its own rather than a clip, which the SVG picture of the icon cannot hold.
    QPainterPath band;
    band.addRect(QRectF(page.left(), page.top(), page.width(), 7));
    painter.fillPath(outline.intersected(band), kPageRed);

    painter.setPen(QPen(kGridGrey, 1));
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 4; ++column) {
            painter.drawRect(QRectF(5.5 + column * 5, 14.5 + row * 4.5, 3, 2.5));
        }
    }
    painter.setPen(QPen(kInk, 1));
    painter.drawPath(outline);

    // The two binding rings over the header.
    painter.setPen(QPen(kInk, 2, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(9, 2.5), QPointF(9, 7));
    painter.drawLine(QPointF(20, 2.5), QPointF(20, 7));
}

// The music player leaning on the page's corner: a silver body, a blue screen and the click wheel.
void DrawMusicPlayer(QPainter& painter) {
    const QRectF body(19.5, 12.5, 11, 17);
    QPainterPath outline;
    outline.addRoundedRect(body, 2, 2);
    painter.fillPath(outline, kPlayerSilver);
    painter.setPen(QPen(kInk, 1));
    painter.drawPath(outline);

    painter.fillRect(QRectF(21.5, 14.5, 7, 5), kPlayerScreen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QPointF(25, 24.5), 3.3, 3.3);
    painter.setBrush(kGridGrey);
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPointF(25, 24.5), 1.2, 1.2);
}

}  // namespace

void DrawProgramIcon(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing);
    DrawCalendarPage(painter);
    DrawMusicPlayer(painter);
}

QImage ProgramIconImage(int size) {
    QImage icon(size, size, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.scale(static_cast<double>(size) / kProgramIconSize, static_cast<double>(size) / kProgramIconSize);
    DrawProgramIcon(painter);
    return icon;
}

QPixmap ProgramIcon() { return QPixmap::fromImage(ProgramIconImage(kProgramIconSize)); }

}  // namespace kalendro
