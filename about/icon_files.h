// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <filesystem>

namespace kalendro {

// The program's icon as an SVG document: the same drawing as the window icon, recorded as vectors.
QByteArray ProgramIconSvg();

// Writes the icon for installation into a theme folder laid out as hicolor's: SIZExSIZE/apps/kalendro.png
// for 16, 32, 48, 64, 128 and 256 pixels, and scalable/apps/kalendro.svg. A file that cannot be
// written is failure 75 naming it.
void WriteIconFiles(const std::filesystem::path& themeFolder);

}  // namespace kalendro
