// SPDX-License-Identifier: GPL-3.0-or-later
#include "window_kit/window_kit.h"

#include <gtest/gtest.h>

namespace kalendro {
namespace {

TEST(TwipsToPixels, RoundsToTheNearestPixel) {
    EXPECT_EQ(TwipsToPixels(0), 0);
    EXPECT_EQ(TwipsToPixels(9090), 606);
    EXPECT_EQ(TwipsToPixels(7), 0);
    EXPECT_EQ(TwipsToPixels(8), 1);
    EXPECT_EQ(TwipsToPixels(5654), 377);
    EXPECT_EQ(TwipsRect(240, 3840, 1455, 495), QRect(16, 256, 97, 33));
}

}  // namespace
}  // namespace kalendro
