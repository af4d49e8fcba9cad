// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace kalendro {

// The application title: message boxes without a title of their own carry it.
inline constexpr char kApplicationTitle[] = "Kalendro";
// Where users send questions; shown after the main window's title and in the about window.
inline constexpr char kMakerAddress[] = "kalendro@example.org";

}  // namespace kalendro
