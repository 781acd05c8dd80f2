#include "shell/advert/BannerImage.h"

#include "TestImages.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace orvane {
namespace {

class BannerImageTest : public ::testing::Test {
protected:
    BannerImage decodeBytes(const QByteArray& bytes, const BannerLimits& limits = {})
    {
        const QString path = m_dir.filePath("preal.dat");
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        return decodeBanner(path, limits);
    }

    QTemporaryDir m_dir;
};

TEST_F(BannerImageTest, JpegIsOneStillFrame)
{
    const BannerImage b = decodeBytes(testimages::jpeg(QSize(360, 46), QColor(200, 30, 30)));
    ASSERT_EQ(b.kind, BannerImage::Still);
    EXPECT_EQ(b.size, QSize(360, 46));
    ASSERT_EQ(b.frames.size(), 1);
    const QColor c = b.frames[0].pixelColor(100, 20);
    EXPECT_NEAR(c.red(), 200, 6);
    EXPECT_NEAR(c.green(), 30, 6);
}

TEST_F(BannerImageTest, GifFramesWithShortDelaysLastAtLeast100Ms)
{
    const BannerImage b = decodeBytes(
        testimages::gif(QSize(40, 20), {QColor(255, 0, 0), QColor(0, 255, 0), QColor(0, 0, 255)}, {0, 0, 25}));
    ASSERT_EQ(b.kind, BannerImage::Animated);
    ASSERT_EQ(b.frames.size(), 3);
    EXPECT_EQ(b.delaysMs, (QList<int>{100, 100, 250}));
    EXPECT_EQ(b.frames[1].pixelColor(5, 5), QColor(0, 255, 0));
    EXPECT_EQ(b.frames[2].pixelColor(39, 19), QColor(0, 0, 255));
}

TEST_F(BannerImageTest, OtherFormatsAndNonImagesAreRefused)
{
    EXPECT_TRUE(decodeBytes(testimages::png(QSize(20, 20), Qt::red)).isNull());
    EXPECT_TRUE(decodeBytes("<html>not an image</html>").isNull());
    EXPECT_TRUE(decodeBytes(QByteArray()).isNull());
    EXPECT_TRUE(decodeBanner(m_dir.filePath("missing.dat")).isNull());
    // A JPEG cut short of its data decodes to nothing usable or to a partial still: never a crash.
    const QByteArray jpeg = testimages::jpeg(QSize(64, 64), Qt::blue);
    decodeBytes(jpeg.left(jpeg.size() / 3));
    EXPECT_TRUE(decodeBytes(jpeg.left(20)).isNull());
}

TEST_F(BannerImageTest, ImageBombsAreRefusedBeforeDecoding)
{
    const QByteArray jpeg = testimages::jpeg(QSize(64, 64), Qt::blue);
    EXPECT_TRUE(decodeBytes(testimages::withJpegSize(jpeg, 60000, 60000)).isNull());
    EXPECT_TRUE(decodeBytes(testimages::withJpegSize(jpeg, 4000, 10)).isNull());   // too wide
    EXPECT_TRUE(decodeBytes(testimages::gif(QSize(30000, 30000), QSize(4, 4), {Qt::red}, {0})).isNull());
    // Many frames: decoding stops at the frame budget rather than holding them all.
    BannerLimits limits;
    limits.maxDecodedBytes = 40 * 20 * 4 * 5;
    const BannerImage b = decodeBytes(
        testimages::gif(QSize(40, 20), QList<QColor>(50, Qt::red), QList<int>(50, 10)), limits);
    EXPECT_EQ(b.frames.size(), 5);
}

TEST_F(BannerImageTest, StopRequestEndsTheDecode)
{
    const QString path = m_dir.filePath("preal.dat");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(testimages::gif(QSize(8, 8), {Qt::red, Qt::green}, {0, 0}));
    file.close();
    const std::atomic<bool> stop{true};
    EXPECT_TRUE(decodeBanner(path, {}, &stop).isNull());
}

} // namespace
} // namespace orvane
