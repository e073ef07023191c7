// The memory rule every decoder family keeps: what a decode will hold is worked out from the
// header, pictures above the limits are refused with a message naming their size, and pictures
// up to them decode.

#include "picturecontrol/GvboxCtrl.h"
#include "picturecontrol/PictureLimits.h"

#include "MetafileWriter.h"
#include "Scratch.h"
#include "TestPictures.h"

// Qt
#include <QBuffer>
#include <QImageWriter>
#include <QProcess>

#include <gtest/gtest.h>

namespace glimmora {
namespace {

const QString kProbe = QStringLiteral(GLIMMORA_BIN_DIR "/picturecontrol_decode_probe");

void putBig16(QByteArray& bytes, qsizetype offset, int value)
{
    bytes[offset] = char(value >> 8);
    bytes[offset + 1] = char(value);
}

void putLittle16(QByteArray& bytes, int value)
{
    bytes.append(char(value & 0xFF));
    bytes.append(char(value >> 8));
}

// A small greyscale JPEG whose frame header claims `size`; libjpeg fills in the data that runs
// out, so the decode takes what a real file of that size takes, from a few hundred bytes.
QByteArray jpegClaiming(QSize size, bool progressive)
{
    QImage grey(64, 64, QImage::Format_Grayscale8);
    for (int y = 0; y < 64; ++y)
        std::fill_n(grey.scanLine(y), 64, uchar(y * 4));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(progressive);
    if (!writer.write(grey))
        throw std::runtime_error("cannot write a JPEG");
    const qsizetype frame = bytes.indexOf(progressive ? "\xFF\xC2" : "\xFF\xC0");
    if (frame < 0)
        throw std::runtime_error("no frame header");
    putBig16(bytes, frame + 5, size.height());
    putBig16(bytes, frame + 7, size.width());
    return bytes;
}

// What one decode in a process of its own took: the growth of its peak memory, and its error.
struct ProbedDecode {
    qint64 growthBytes = -1;
    std::string error;
};

ProbedDecode probe(const QString& file, int thumbnailSize)
{
    QProcess process;
    process.start(kProbe, {file, QString::number(thumbnailSize)});
    if (!process.waitForFinished(300'000) || process.exitCode() != 0)
        return {};
    const QList<QByteArray> lines = process.readAllStandardOutput().split('\n');
    return {lines.value(0).toLongLong() * 1024, lines.value(1).toStdString()};
}

TEST(DecodeLimits, ProgressiveJpegWhoseCoefficientsExceedTheLimitIsRefusedBeforeDecoding)
{
    test::ScratchDir scratch;
    const auto file = scratch / "progressive.jpg";
    // 1.2 GB of coefficients (3750 × 2500 blocks of 128 bytes) for a 60-pixel thumbnail.
    test::writeBytes(file, jpegClaiming(QSize(30000, 20000), true));
    const ProbedDecode decode = probe(test::qPath(file), 60);
    EXPECT_EQ(decode.error, "The picture is too large to be shown (30000 × 20000 pixels).");
    EXPECT_GE(decode.growthBytes, 0);
    EXPECT_LT(decode.growthBytes, 64LL << 20);
}

TEST(DecodeLimits, ProgressiveJpegWithinTheLimitIsThumbnailedInTheMemoryItsCoefficientsTake)
{
    test::ScratchDir scratch;
    const auto file = scratch / "progressive.jpg";
    test::writeBytes(file, jpegClaiming(QSize(8000, 6000), true));
    const qint64 coefficients = 1000LL * 750 * 128; // 8 × 8 blocks of 64 16-bit coefficients
    const ProbedDecode decode = probe(test::qPath(file), 60);
    EXPECT_EQ(decode.error, "");
    EXPECT_GE(decode.growthBytes, 0);
    EXPECT_LT(decode.growthBytes, coefficients + (64LL << 20));
}

// The stored thumbnail of a camera's JPEG is small whatever the picture; when it is not taken,
// the picture's own limits hold.
TEST(DecodeLimits, AStoredThumbnailStandsForAPictureTooLargeToDecodeButOnlyWhenItIsTaken)
{
    if (!test::missingTool(test::kExifTool).isEmpty())
        GTEST_SKIP() << "exiftool is not installed";
    test::ScratchDir scratch;
    QImage light(180, 120, QImage::Format_Grayscale8);
    light.fill(230);
    const auto matching = scratch / "matching.jpg";
    test::writeBytes(matching, jpegClaiming(QSize(30000, 20000), true));
    ASSERT_EQ(test::addExif(matching, light, 0), QString());
    const auto letterboxed = scratch / "letterboxed.jpg";
    test::writeBytes(letterboxed, jpegClaiming(QSize(30000, 20000), true));
    ASSERT_EQ(test::addExif(letterboxed, light.scaled(160, 120), 0), QString());

    TGvboxCtrl control;
    control.setThumbnail(60);
    control.setEmbeddedThumbnails(true);
    control.setFileName(test::qPath(matching));
    EXPECT_EQ(control.size(), QSize(60, 40));
    EXPECT_EQ(qGray(control.Picture().pixel(30, 20)), 230);

    const std::string tooLarge = "The picture is too large to be shown (30000 × 20000 pixels).";
    try {
        control.setFileName(test::qPath(letterboxed));
        ADD_FAILURE() << "a letterboxed thumbnail was taken";
    } catch (const EGvboxError& error) {
        EXPECT_EQ(error.what(), tooLarge);
    }
    control.setEmbeddedThumbnails(false);
    try {
        control.setFileName(test::qPath(matching));
        ADD_FAILURE() << "the picture was decoded with the stored thumbnail turned off";
    } catch (const EGvboxError& error) {
        EXPECT_EQ(error.what(), tooLarge);
    }
}

QByteArray redTgaOfRuns(QSize size)
{
    QByteArray bytes(12, '\0');
    bytes[2] = 10; // run-length encoded true colour
    putLittle16(bytes, size.width());
    putLittle16(bytes, size.height());
    bytes.append(char(24));
    bytes.append(char(0x20));
    const QByteArray red("\x00\x00\xFF", 3);
    for (int y = 0; y < size.height(); ++y)
        for (int left = size.width(); left > 0; left -= 128)
            bytes += char(0x80 | (std::min(left, 128) - 1)) + red;
    return bytes;
}

QByteArray blackPbm(QSize size)
{
    return QStringLiteral("P4\n%1 %2\n").arg(size.width()).arg(size.height()).toLatin1()
           + QByteArray(qsizetype(size.width() + 7) / 8 * size.height(), '\xFF');
}

QByteArray redPng(QSize size)
{
    QImage picture(size, QImage::Format_Mono);
    picture.setColorTable({qRgb(0, 0, 0), qRgb(255, 0, 0)});
    picture.fill(1);
    return test::encodedPicture(picture, "PNG");
}

QByteArray redWmf(QSize size)
{
    const QRect bounds(QPoint(0, 0), size);
    return metafile::WmfWriter(bounds, 96)
        .setWindowOrg(0, 0)
        .setWindowExt(size.width(), size.height())
        .createBrush(Qt::red)
        .selectObject(0)
        .rectangle(0, 0, size.width(), size.height())
        .finish();
}

TEST(DecodeLimits, FortyMegapixelPicturesDecodeInEveryDecoderFamily)
{
    constexpr QSize kSize(8000, 5000);
    const struct {
        const char* name;
        QByteArray bytes;
        QRgb centre; // 0: a picture whose data runs out, of no set colour
    } cases[] = {
        {"qt.png", redPng(kSize), qRgb(255, 0, 0)},           {"jpeg.jpg", jpegClaiming(kSize, false), 0},
        {"ffmpeg.tga", redTgaOfRuns(kSize), qRgb(255, 0, 0)}, {"imagemagick.pbm", blackPbm(kSize), qRgb(0, 0, 0)},
        {"metafile.wmf", redWmf(kSize), qRgb(255, 0, 0)},
    };
    test::ScratchDir scratch;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::writeBytes(scratch / c.name, c.bytes);
        TGvboxCtrl control;
        try {
            control.setFileName(test::qPath(scratch / c.name));
        } catch (const EGvboxError& error) {
            ADD_FAILURE() << error.what();
            continue;
        }
        EXPECT_EQ(control.size(), kSize);
        if (c.centre) {
            EXPECT_EQ(control.Picture().pixel(4000, 2500), c.centre);
        }
    }
}

} // namespace
} // namespace glimmora
