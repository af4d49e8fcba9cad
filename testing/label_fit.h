// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QSet>
#include <QWidget>
#include <climits>

namespace kalendro::testing {

// Every label of the window that shows a text keeps it inside its box, measured in the font the label
// resolves (Liberation Sans, the face the windows ask for): on one line, except the labels named as
// wrapping by design, whose wrapped lines must fit the box's height.
inline void ExpectLabelsFit(const QWidget& window, const QSet<QString>& wrappingByDesign = {}) {
    int measured = 0;
    for (const QLabel* label : window.findChildren<QLabel*>()) {
        const QString text = label->text();
        if (text.isEmpty()) {
            continue;
        }
        ++measured;
        EXPECT_EQ(QFontInfo(label->font()).family(), QStringLiteral("Liberation Sans"));
        const QFontMetrics metrics(label->font());
        const QRect box = label->contentsRect();
        const std::string name = label->objectName().toStdString();
        if (wrappingByDesign.contains(label->objectName())) {
            const QRect wrapped = metrics.boundingRect(QRect(0, 0, box.width(), INT_MAX), Qt::TextWordWrap, text);
            EXPECT_LE(wrapped.height(), box.height()) << name;
        } else {
            EXPECT_LE(metrics.horizontalAdvance(text), box.width()) << name << ": \"" << text.toStdString() << '"';
            EXPECT_LE(metrics.height(), box.height()) << name;
        }
    }
    EXPECT_GT(measured, 0) << "no label shows a text";
}

}  // namespace kalendro::testing
