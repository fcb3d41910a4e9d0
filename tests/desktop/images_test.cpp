// The pictures next to the program (bin/Images, copied there by the build): every name the windows
// load exists, decodes, has its design size, and its @2x twin is exactly twice as large.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QImage>

namespace {

struct Picture {
    const char* name;
    int width;
    int height;
};

constexpr Picture kPictures[] = {
    {"All", 16, 16},        {"Shotcuts", 16, 16},    {"shotcuts", 16, 16},
    {"Folders", 16, 16},    {"folders", 16, 16},     {"Documents", 16, 16},
    {"Pictures", 16, 16},   {"Videos", 16, 16},      {"Music", 16, 16},
    {"Other", 16, 16},      {"topup", 198, 23},      {"topdown", 198, 23},
    {"normalhot", 198, 23}, {"normaldown", 198, 23}, {"kestrelfind_bg_searchmain", 564, 34},
    {"search_up", 61, 25},  {"search_hot", 61, 25},  {"search_down", 61, 25},
    {"menu_up", 14, 22},    {"menu_hot", 14, 22},    {"menu_down", 14, 22},
    {"logo", 32, 32},
};

QString imagesFolder() {
    return QDir(QCoreApplication::applicationDirPath()).filePath("Images");
}

TEST(Images, EveryPictureIsThereAtBothScales) {
    const QDir folder(imagesFolder());
    for (const Picture& picture : kPictures) {
        SCOPED_TRACE(picture.name);
        const QImage one(folder.filePath(QString::fromLatin1(picture.name) + ".png"));
        const QImage two(folder.filePath(QString::fromLatin1(picture.name) + "@2x.png"));
        ASSERT_FALSE(one.isNull());
        ASSERT_FALSE(two.isNull());
        EXPECT_EQ(one.size(), QSize(picture.width, picture.height));
        EXPECT_EQ(two.size(), QSize(2 * picture.width, 2 * picture.height));
        EXPECT_TRUE(one.hasAlphaChannel());
    }
    const QImage icon(folder.filePath("kestrelfind.png"));
    EXPECT_EQ(icon.size(), QSize(256, 256));
}

TEST(Images, IconsAreOpaqueInsideAndClearAtTheCorners) {
    // A blank or misplaced drawing would show up here: the tile fills the middle, the corners stay
    // transparent.
    for (const char* name : {"All", "Folders", "Documents", "Pictures", "Videos", "Music", "Other"}) {
        SCOPED_TRACE(name);
        const QImage icon(QDir(imagesFolder()).filePath(QString::fromLatin1(name) + ".png"));
        ASSERT_FALSE(icon.isNull());
        EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0);
        EXPECT_EQ(qAlpha(icon.pixel(15, 15)), 0);
        EXPECT_EQ(qAlpha(icon.pixel(2, 8)), 255);
    }
}

TEST(Images, BannerTilesSeamlessly) {
    // The full window tiles the banner along its width: its first and last columns must match.
    const QImage banner(QDir(imagesFolder()).filePath("kestrelfind_bg_searchmain.png"));
    ASSERT_FALSE(banner.isNull());
    for (int y = 0; y < banner.height(); ++y)
        EXPECT_EQ(banner.pixel(0, y), banner.pixel(banner.width() - 1, y)) << y;
}

} // namespace
