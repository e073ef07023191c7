// Stored thumbnails read the way Qt's BMP reader reads them, for BMP images written by Qt and by
// ImageMagick, bottom-up and top-down, and for damaged ones.

#include "catalog/BmpThumbnail.h"

#include "Scratch.h"

// Qt
#include <QBuffer>
#include <QProcess>
#include <QRandomGenerator>
#include <QtEndian>

#include <gtest/gtest.h>

namespace glimmora {
namespace {

QByteArray bmpOf(const QImage& image)
{
    QByteArray bmp;
    QBuffer buffer(&bmp);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, "BMP"));
    return bmp;
}

QImage noisy(int width, int height, QImage::Format format)
{
    QImage image(width, height, format);
    QRandomGenerator random(width * 100 + height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, random.generate() | 0xFF000000u);
    return image;
}

QImage readByQt(const QByteArray& bmp)
{
    QImage image;
    image.loadFromData(bmp, "BMP");
    return image;
}

TEST(BmpThumbnail, ReadsWhatQtWritesExactlyAsQtReadsIt)
{
    for (const QSize size : {QSize(1, 1), QSize(2, 3), QSize(3, 2), QSize(5, 7), QSize(60, 45), QSize(45, 60)}) {
        const QImage picture = noisy(size.width(), size.height(), QImage::Format_RGB32);
        const QByteArray bmp = bmpOf(picture);
        const QImage read = decodeBmpThumbnail(bmp);
        EXPECT_EQ(read, readByQt(bmp)) << size.width() << "x" << size.height();
        EXPECT_EQ(read.format(), QImage::Format_RGB32);
        EXPECT_EQ(read, picture);
    }
}

TEST(BmpThumbnail, ReadsATopDownImage)
{
    const QImage picture = noisy(5, 4, QImage::Format_RGB32);
    QByteArray bmp = bmpOf(picture);
    const auto offset = qFromLittleEndian<std::uint32_t>(bmp.constData() + 10);
    const qsizetype stride = (5 * 3 + 3) & ~3;
    QByteArray rows = bmp.mid(offset);
    for (int y = 0; y < 4; ++y)
        bmp.replace(offset + y * stride, stride, rows.mid((3 - y) * stride, stride));
    qToLittleEndian<std::int32_t>(-4, bmp.data() + 22);
    EXPECT_EQ(decodeBmpThumbnail(bmp), picture);
    EXPECT_EQ(decodeBmpThumbnail(bmp), readByQt(bmp));
}

TEST(BmpThumbnail, OtherKindsOfBmpAreReadByQt)
{
    QImage indexed = noisy(9, 6, QImage::Format_RGB32).convertToFormat(QImage::Format_Indexed8);
    QImage alpha = noisy(6, 5, QImage::Format_ARGB32);
    alpha.setPixel(0, 0, qRgba(10, 20, 30, 40));
    for (const QImage& picture : {indexed, alpha}) {
        const QByteArray bmp = bmpOf(picture);
        EXPECT_EQ(decodeBmpThumbnail(bmp), readByQt(bmp));
        EXPECT_FALSE(decodeBmpThumbnail(bmp).isNull());
    }
}

TEST(BmpThumbnail, ReadsWhatImageMagickWrites)
{
    const test::ScratchDir dir;
    const QString file = QString::fromStdString((dir / "gradient.bmp").string());
    QProcess magick;
    magick.start(QStringLiteral("convert"),
                 {QStringLiteral("-size"), QStringLiteral("7x5"), QStringLiteral("gradient:red-blue"),
                  QStringLiteral("-type"), QStringLiteral("TrueColor"), QStringLiteral("BMP3:") + file});
    ASSERT_TRUE(magick.waitForFinished(60000));
    ASSERT_EQ(magick.exitCode(), 0) << magick.readAllStandardError().toStdString();
    const QByteArray bmp = QByteArray::fromStdString(test::readFile(dir / "gradient.bmp"));
    ASSERT_EQ(qFromLittleEndian<std::uint16_t>(bmp.constData() + 28), 24) << "a 24-bit file, read directly";
    const QImage read = decodeBmpThumbnail(bmp);
    EXPECT_EQ(read, readByQt(bmp));
    EXPECT_EQ(read.size(), QSize(7, 5));
    EXPECT_GT(qRed(read.pixel(3, 0)), qBlue(read.pixel(3, 0))) << "red at the top";
    EXPECT_GT(qBlue(read.pixel(3, 4)), qRed(read.pixel(3, 4))) << "blue at the bottom";
}

TEST(BmpThumbnail, DamagedImagesReadAsNothingOrAsQtReadsThem)
{
    const QByteArray bmp = bmpOf(noisy(7, 5, QImage::Format_RGB32));
    auto with = [&bmp](qsizetype offset, std::int32_t value) {
        QByteArray damaged = bmp;
        qToLittleEndian(value, damaged.data() + offset);
        return damaged;
    };
    // Pixels cut short: Qt's reader would return rows it never read.
    for (const QByteArray& bytes : {bmp.left(bmp.size() - 1), bmp.left(60), with(10, 0x7FFFFFF0), with(10, 2)})
        EXPECT_TRUE(decodeBmpThumbnail(bytes).isNull()) << bytes.size();
    // Headers that are no thumbnail's go to Qt's reader.
    for (const QByteArray& bytes : {bmp.left(20), QByteArray("BM"), with(18, 0), with(18, 100000), with(22, -100000),
                                    with(22, 1 << 30), with(18, -5)}) {
        EXPECT_EQ(decodeBmpThumbnail(bytes), readByQt(bytes)) << bytes.size();
    }
}

} // namespace
} // namespace glimmora
