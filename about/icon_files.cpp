// SPDX-License-Identifier: GPL-3.0-or-later
#include "about/icon_files.h"

#include <QBuffer>
#include <QPainter>
#include <QSaveFile>
#include <QSvgGenerator>
#include <array>
#include <string>

#include "about/program_icon.h"
#include "platform/store/failure.h"

namespace kalendro {
namespace {

constexpr std::array<int, 6> kIconSizes = {16, 32, 48, 64, 128, 256};

std::filesystem::path IconFolder(const std::filesystem::path& themeFolder, const std::string& sizeName) {
    const std::filesystem::path folder = themeFolder / sizeName / "apps";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        throw Failure(kPathFileAccessError, "Cannot create " + folder.string() + ": " + error.message());
    }
    return folder;
}

void WriteFile(const std::filesystem::path& path, const QByteArray& content) {
    QSaveFile file(QString::fromStdString(path.string()));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit()) {
        throw Failure(kPathFileAccessError, "Cannot write " + path.string() + ": " + file.errorString().toStdString());
    }
}

QByteArray Png(int size) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ProgramIconImage(size).save(&buffer, "PNG");
    return png;
}

}  // namespace

QByteArray ProgramIconSvg() {
    QByteArray svg;
    QBuffer buffer(&svg);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(QSize(kProgramIconSize, kProgramIconSize));
    generator.setViewBox(QRect(0, 0, kProgramIconSize, kProgramIconSize));
    generator.setTitle(QStringLiteral("Kalendro"));
    QPainter painter(&generator);
    DrawProgramIcon(painter);
    painter.end();
    return svg;
}

void WriteIconFiles(const std::filesystem::path& themeFolder) {
    for (const int size : kIconSizes) {
        const std::string sizeName = std::to_string(size) + "x" + std::to_string(size);
        WriteFile(IconFolder(themeFolder, sizeName) / "kalendro.png", Png(size));
    }
    WriteFile(IconFolder(themeFolder, "scalable") / "kalendro.svg", ProgramIconSvg());
}

}  // namespace kalendro
