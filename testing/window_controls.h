// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <QWidget>

namespace kalendro::testing {

// The window's control of that name and class; a missing one fails the test and gives null.
template <typename Control>
Control* FindControl(const QWidget& window, const char* name) {
    auto* control = window.findChild<Control*>(QString::fromLatin1(name));
    EXPECT_NE(control, nullptr) << name;
    return control;
}

// The names Tab walks through from the first of the controls round to it again. A widget inside one of
// the controls (a calendar's buttons) counts as that control; any other that takes the focus by Tab
// shows under its own name.
inline QStringList TabOrder(const QWidget& window, const QStringList& controls) {
    QWidget* first = FindControl<QWidget>(window, controls.first().toLatin1().constData());
    QStringList order;
    QWidget* widget = first;
    do {
        QWidget* control = widget;
        while (control != nullptr && !controls.contains(control->objectName())) {
            control = control->parentWidget();
        }
        const QString name = (control != nullptr ? control : widget)->objectName();
        if ((widget->focusPolicy() & Qt::TabFocus) && (order.isEmpty() || order.last() != name)) {
            order.append(name);
        }
        widget = widget->nextInFocusChain();
    } while (widget != first);
    return order;
}

}  // namespace kalendro::testing
