// SPDX-License-Identifier: GPL-3.0-or-later
#include "about/icon_files.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include "about/program_icon.h"
#include "testing/temporary_directory.h"

namespace kalendro {
namespace {

TEST(IconFiles, TheScalableIconDrawsThePictureOfThePixelIcons) {
    constexpr int kSide = 128;
    QSvgRenderer renderer(ProgramIconSvg());
    ASSERT_TRUE(renderer.isValid());
    EXPECT_EQ(renderer.viewBox(), QRect(0, 0, kProgramIconSize, kProgramIconSize));
    QImage fromSvg(kSide, kSide, QImage::Format_ARGB32_Premultiplied);
    fromSvg.fill(Qt::transparent);
    QPainter painter(&fromSvg);
    renderer.render(&painter);
    painter.end();
    EXPECT_EQ(fromSvg, ProgramIconImage(kSide));
    QImage blank(kSide, kSide, QImage::Format_ARGB32_Premultiplied);
    blank.fill(Qt::transparent);
    EXPECT_NE(fromSvg, blank);
}

TEST(IconFiles, EverySizeIsWrittenInTheThemeLayout) {
    const testing::TemporaryDirectory theme;
    WriteIconFiles(theme.Path());
    for (const int size : {16, 32, 48, 64, 128, 256}) {
        const std::string sizeName = std::to_string(size) + "x" + std::to_string(size);
        const QImage written(QString::fromStdString((theme.Path() / sizeName / "apps/kalendro.png").string()));
        EXPECT_EQ(written.size(), QSize(size, size)) << sizeName;
        EXPECT_EQ(written.convertToFormat(QImage::Format_ARGB32_Premultiplied), ProgramIconImage(size)) << sizeName;
    }
    EXPECT_TRUE(QSvgRenderer(QString::fromStdString((theme.Path() / "scalable/apps/kalendro.svg").string())).isValid());
}

}  // namespace
}  // namespace kalendro
