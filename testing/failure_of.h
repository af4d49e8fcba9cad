// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include "platform/store/failure.h"

namespace kalendro::testing {

// The failure an action raises; number 0 and "no failure" when it raises none, which no expected
// number matches.
inline Failure FailureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Failure& failure) {
        return failure;
    }
    return Failure(0, "no failure");
}

}  // namespace kalendro::testing
