#include "src/widgets/themeicon.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPixmap>

namespace {

// Opaque pixels of an image: a picture that drew nothing has none.
int OpaquePixels(const QImage &image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += qAlpha(image.pixel(x, y)) > 128;
    return count;
}

// Every bundled picture is drawn at the sizes the buttons place it at
// (16 in the path edits and the player, 22, 25 on the pages, and twice that
// on a high-density screen), from its drawing rather than a scaled bitmap.
TEST(BundledIcon, EveryPictureIsDrawnAtThePlacedSizes)
{
    const QStringList files = QDir(QStringLiteral(":/icons")).entryList();
    ASSERT_GE(files.size(), 24);
    for (const QString &file : files) {
        const QString name = QFileInfo(file).completeBaseName();
        const QIcon icon = BundledIcon(name);
        ASSERT_FALSE(icon.isNull()) << file.toStdString();
        for (const int side : {16, 22, 25, 50}) {
            const QImage picture = icon.pixmap(side, side).toImage();
            EXPECT_EQ(picture.size(), QSize(side, side)) << file.toStdString();
            EXPECT_GT(OpaquePixels(picture), side * side / 8) << file.toStdString() << " at " << side;
        }
    }
}

TEST(ThemeIcon, FallsBackToTheBundledPicture)
{
    const QStringList searchPaths = QIcon::themeSearchPaths();
    QIcon::setThemeSearchPaths({});
    bool themed = true;
    const QIcon icon = ThemeIcon(QStringLiteral("media-optical"), &themed);
    QIcon::setThemeSearchPaths(searchPaths);
    EXPECT_FALSE(themed);
    EXPECT_EQ(icon.pixmap(25, 25).toImage(),
              BundledIcon(QStringLiteral("media-optical")).pixmap(25, 25).toImage());
    EXPECT_TRUE(ThemeIcon(QStringLiteral("no-such-icon-anywhere")).isNull());
}

}  // namespace
