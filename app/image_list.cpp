// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/image_list.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace kalendro {

namespace {

constexpr int kImageSize = 16;

QPixmap DrawImage(const std::function<void(QPainter&)>& draw) {
    QPixmap pixmap(kImageSize, kImageSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter);
    return pixmap;
}

// A sheet leaning to the right, drawn around the image's centre; the caller draws on it afterwards in the
// same tilted coordinates.
void DrawTiltedSheet(QPainter& painter, const QColor& paper) {
    painter.translate(8, 8);
    painter.rotate(-15);
    painter.setPen(QPen(QColor(70, 70, 70), 1));
    painter.setBrush(paper);
    painter.drawRect(QRectF(-5, -6.5, 10, 13));
}

void DrawStore(QPainter& painter) {
    DrawTiltedSheet(painter, Qt::white);
    painter.setPen(QPen(QColor(150, 150, 150), 1));
    for (int line = -3; line <= 3; line += 2) {
        painter.drawLine(QPointF(-3, line), QPointF(3, line));
    }
    painter.resetTransform();
    painter.setPen(QPen(QColor(210, 20, 20), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QRectF(6.5, 6.5, 8, 8));
}

void DrawCalendar(QPainter& painter) {
    DrawTiltedSheet(painter, QColor(255, 255, 235));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(40, 90, 180));
    painter.drawRect(QRectF(-5, -6.5, 10, 3.5));
    painter.setPen(QPen(QColor(60, 60, 60), 1.2));
    for (int ring = -3; ring <= 3; ring += 2) {
        painter.drawLine(QPointF(ring, -8), QPointF(ring, -5));
    }
    painter.setPen(QPen(QColor(120, 120, 120), 0.8));
    for (int row = 0; row <= 4; row += 2) {
        painter.drawLine(QPointF(-3.5, row - 1), QPointF(3.5, row - 1));
    }
}

void DrawBook(QPainter& painter) {
    painter.setPen(QPen(QColor(60, 40, 20), 1));
    painter.setBrush(QColor(150, 90, 40));
    painter.drawRect(QRectF(0.5, 4.5, 15, 9));
    painter.setBrush(Qt::white);
    QPainterPath leftPage;
    leftPage.moveTo(8, 5);
    leftPage.quadTo(4, 2, 1.5, 3.5);
    leftPage.lineTo(1.5, 12);
    leftPage.quadTo(4, 10.5, 8, 13);
    leftPage.closeSubpath();
    painter.drawPath(leftPage);
    painter.drawPath(QTransform(-1, 0, 0, 1, 16, 0).map(leftPage));
}

void DrawRoot(QPainter& painter) {
    painter.setPen(QPen(QColor(60, 30, 20), 1));
    painter.setBrush(QColor(190, 50, 40));
    painter.drawPolygon(QPolygonF({QPointF(0.5, 8), QPointF(8, 1), QPointF(15.5, 8)}));
    painter.setBrush(QColor(230, 210, 170));
    painter.drawRect(QRectF(2.5, 8, 11, 7.5));
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    painter.drawEllipse(QPointF(8, 11.5), 3, 3);
    painter.drawLine(QPointF(8, 11.5), QPointF(8, 9.5));
    painter.drawLine(QPointF(8, 11.5), QPointF(9.5, 11.5));
}

}  // namespace

std::vector<QIcon> DrawFolderTreeImages() {
    return {QIcon(DrawImage(DrawStore)), QIcon(DrawImage(DrawCalendar)), QIcon(DrawImage(DrawBook)),
            QIcon(DrawImage(DrawRoot))};
}

}  // namespace kalendro
