// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <vector>

namespace kalendro {

// The node images of the folder tree, numbered from 1 as the tree refers to them.
inline constexpr int kStoreImage = 1;     // a tilted page with a red ring
inline constexpr int kCalendarImage = 2;  // a tilted bound page
inline constexpr int kBookImage = 3;      // an open book, kept for completeness: no node uses it
inline constexpr int kRootImage = 4;      // a house with a clock

// The four 16 by 16 images, drawn in code so that no image files have to travel with the program.
// Index 0 holds image 1.
std::vector<QIcon> DrawFolderTreeImages();

}  // namespace kalendro
