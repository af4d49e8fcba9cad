// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QWidget>

namespace kalendro::testing {

// The window's control of that name and class; a missing one fails the test and gives null.
template <typename Control>
Control* FindControl(const QWidget& window, const char* name) {
    auto* control = window.findChild<Control*>(QString::fromLatin1(name));
    EXPECT_NE(control, nullptr) << name;
    return control;
}

}  // namespace kalendro::testing
