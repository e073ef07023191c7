// A JPEG's thumbnail made from the small picture its camera stored in the EXIF block: taken
// when it plainly stands for the picture, the picture decoded whenever anything about it is
// doubtful, turned by the orientation tag either way, and read from the file's header alone.
// The EXIF blocks are written by exiftool; the thumbnail and the main picture differ in colour,
// so the thumbnail shows which was used.

#include "picturecontrol/GvboxCtrl.h"
#include "picturecontrol/PictureDecoder.h"

#include "Scratch.h"
#include "TestPictures.h"

// Qt
#include <QFile>
#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace glimmora {
namespace {

using test::kProbeQuadrants;
using test::Quadrants;

constexpr int kTolerance = 48;

Quadrants turnedClockwise(const Quadrants& q) { return {q[2], q[0], q[3], q[1]}; }
Quadrants turnedAnticlockwise(const Quadrants& q) { return {q[1], q[3], q[0], q[2]}; }

// A thumbnail with black bars above and below its picture, as a 16:9 picture stored in a 4:3
// frame is.
QImage letterboxed(QSize frame, int barHeight)
{
    QImage image(frame, QImage::Format_RGB32);
    image.fill(Qt::black);
    const QImage inside = test::quadrantPicture(frame.width(), frame.height() - 2 * barHeight, kProbeQuadrants)
                              .convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < inside.height(); ++y)
        std::copy_n(inside.constScanLine(y), inside.bytesPerLine(), image.scanLine(y + barHeight));
    return image;
}

QImage probeThumbnail(QSize size) { return test::quadrantPicture(size.width(), size.height(), kProbeQuadrants); }

QByteArray readBytes(const std::filesystem::path& file)
{
    QFile in(test::qPath(file));
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

// The byte order mark of the TIFF header, which nothing reads without.
void damageExifBlock(const std::filesystem::path& file)
{
    QByteArray bytes = readBytes(file);
    const qsizetype exif = bytes.indexOf(QByteArray("Exif\0\0", 6));
    ASSERT_GE(exif, 0);
    bytes.replace(exif + 6, 2, "XX");
    test::writeBytes(file, bytes);
}

// An end marker put early into the stored thumbnail's scan, so that libjpeg runs out of data.
void damageStoredThumbnail(const std::filesystem::path& file)
{
    QByteArray bytes = readBytes(file);
    const qsizetype thumbnail = bytes.indexOf("\xFF\xD8", 2);
    const qsizetype scan = bytes.indexOf("\xFF\xDA", thumbnail);
    ASSERT_GT(thumbnail, 0);
    ASSERT_GT(scan, thumbnail);
    const int headerLength = quint8(bytes[scan + 2]) << 8 | quint8(bytes[scan + 3]);
    bytes.replace(scan + 2 + headerLength + 8, 2, "\xFF\xD9");
    test::writeBytes(file, bytes);
}

class EmbeddedThumbnails : public testing::Test {
protected:
    void SetUp() override
    {
        if (!test::missingTool(test::kExifTool).isEmpty())
            GTEST_SKIP() << "exiftool is not installed";
    }

    // A JPEG of `picture` whose EXIF block holds `thumbnail` (none when null) and `orientation`.
    std::filesystem::path cameraJpeg(const char* name, const QImage& picture, const QImage& thumbnail,
                                     int orientation = 0)
    {
        const std::filesystem::path file = scratch_ / name;
        test::writeBytes(file, test::encodedPicture(picture.convertToFormat(QImage::Format_RGB32), "JPEG"));
        if (!thumbnail.isNull() || orientation > 0) {
            EXPECT_EQ(test::addExif(file, thumbnail, orientation), QString());
        }
        return file;
    }

    static QImage thumbnailOf(const std::filesystem::path& file, bool embedded)
    {
        TGvboxCtrl control;
        control.setThumbnail(60);
        control.setEmbeddedThumbnails(embedded);
        control.setFileName(test::qPath(file));
        return control.Picture();
    }

    test::ScratchDir scratch_;
};

TEST_F(EmbeddedThumbnails, AreTakenOnlyWhenTheyPlainlyStandForThePicture)
{
    enum Damage { Intact, DamagedExifBlock, DamagedThumbnail };
    struct Case {
        const char* name;
        QSize picture;
        QImage thumbnail;
        Damage damage;
        bool taken;
    };
    const Case cases[] = {
        {"matching", QSize(640, 480), probeThumbnail(QSize(160, 120)), Intact, true},
        {"a pixel apart in the box", QSize(640, 480), probeThumbnail(QSize(160, 123)), Intact, true},
        {"two pixels apart in the box", QSize(640, 480), probeThumbnail(QSize(160, 126)), Intact, false},
        {"letterboxed 16:9 in 4:3", QSize(640, 360), letterboxed(QSize(160, 120), 15), Intact, false},
        {"black bars in a matching frame", QSize(640, 480), letterboxed(QSize(160, 120), 12), Intact, false},
        {"stale after turning the pixels", QSize(480, 640), probeThumbnail(QSize(160, 120)), Intact, false},
        {"smaller than twice the box", QSize(640, 480), probeThumbnail(QSize(96, 72)), Intact, false},
        {"no thumbnail, only an orientation", QSize(640, 480), QImage(), Intact, false},
        {"damaged EXIF block", QSize(640, 480), probeThumbnail(QSize(160, 120)), DamagedExifBlock, false},
        {"damaged thumbnail", QSize(640, 480), probeThumbnail(QSize(160, 120)), DamagedThumbnail, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QImage picture = test::quadrantPicture(c.picture.width(), c.picture.height(), test::kColourQuadrants);
        const auto file = cameraJpeg("camera.jpg", picture, c.thumbnail, 1);
        if (c.damage == DamagedExifBlock)
            damageExifBlock(file);
        if (c.damage == DamagedThumbnail)
            damageStoredThumbnail(file);
        for (bool embedded : {true, false}) {
            const QImage thumbnail = thumbnailOf(file, embedded);
            EXPECT_EQ(thumbnail.size(), thumbnailSizeFor(c.picture, 60));
            const Quadrants expected = embedded && c.taken ? kProbeQuadrants : test::kColourQuadrants;
            EXPECT_TRUE(test::sameQuadrants(test::quadrantCentres(thumbnail), expected, kTolerance))
                << (embedded ? "allowed: " : "turned off: ")
                << test::describe(test::quadrantCentres(thumbnail)).toStdString();
        }
    }
}

TEST_F(EmbeddedThumbnails, APictureWithoutExifIsDecoded)
{
    const QImage picture = test::quadrantPicture(640, 480, test::kColourQuadrants);
    const auto file = cameraJpeg("plain.jpg", picture, QImage());
    EXPECT_TRUE(
        test::sameQuadrants(test::quadrantCentres(thumbnailOf(file, true)), test::kColourQuadrants, kTolerance));
}

TEST_F(EmbeddedThumbnails, OrientationsSixAndEightGivePortraitThumbnailsFromBothPaths)
{
    const QImage picture = test::quadrantPicture(640, 480, test::kColourQuadrants);
    for (const auto& [orientation, turned] : {std::pair{6, &turnedClockwise}, std::pair{8, &turnedAnticlockwise}}) {
        SCOPED_TRACE(orientation);
        const auto file = cameraJpeg("upright.jpg", picture, probeThumbnail(QSize(160, 120)), orientation);
        for (bool embedded : {true, false}) {
            const QImage thumbnail = thumbnailOf(file, embedded);
            EXPECT_EQ(thumbnail.size(), QSize(45, 60));
            const Quadrants expected = turned(embedded ? kProbeQuadrants : test::kColourQuadrants);
            EXPECT_TRUE(test::sameQuadrants(test::quadrantCentres(thumbnail), expected, kTolerance))
                << (embedded ? "allowed: " : "turned off: ")
                << test::describe(test::quadrantCentres(thumbnail)).toStdString();
        }
    }
}

// What the two paths give for photos, whose thumbnail a camera makes from the same sensor data.
TEST_F(EmbeddedThumbnails, LookLikeTheDecodedPictureForOrdinaryPhotos)
{
    const struct {
        QSize size;
        int orientation;
    } photos[] = {{QSize(1200, 900), 1}, {QSize(1200, 800), 6}, {QSize(1280, 720), 8}};
    int seed = 0;
    for (const auto& photo : photos) {
        SCOPED_TRACE(photo.orientation);
        const auto file = scratch_ / "photo.jpg";
        ASSERT_EQ(test::runCommand(QStringLiteral("convert -seed %1 -size %2x%3 plasma:fractal -blur 0x0.7 "
                                                  "-resize %4x%5! -attenuate 0.3 +noise Gaussian -quality 90 '%6'")
                                       .arg(++seed)
                                       .arg(photo.size.width() / 3)
                                       .arg(photo.size.height() / 3)
                                       .arg(photo.size.width())
                                       .arg(photo.size.height())
                                       .arg(test::qPath(file))),
                  QString());
        const QImage full(test::qPath(file));
        const QSize stored = photo.size.scaled(160, 160, Qt::KeepAspectRatio);
        ASSERT_EQ(test::addExif(file, full.scaled(stored, Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
                                photo.orientation),
                  QString());

        const QImage embedded = thumbnailOf(file, true);
        const QImage decoded = thumbnailOf(file, false);
        ASSERT_EQ(embedded.size(), decoded.size());
        qint64 difference[3] = {};
        for (int y = 0; y < decoded.height(); ++y) {
            for (int x = 0; x < decoded.width(); ++x) {
                const QRgb a = embedded.pixel(x, y);
                const QRgb b = decoded.pixel(x, y);
                difference[0] += std::abs(qRed(a) - qRed(b));
                difference[1] += std::abs(qGreen(a) - qGreen(b));
                difference[2] += std::abs(qBlue(a) - qBlue(b));
            }
        }
        const qint64 pixels = qint64(decoded.width()) * decoded.height();
        for (qint64 channel : difference)
            EXPECT_LE(double(channel) / double(pixels), 8.0);
    }
}

// What this process has read from files so far (the kernel's count of read() bytes).
qint64 bytesReadSoFar()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : io.readAll().split('\n')) {
        if (line.startsWith("rchar:"))
            return line.mid(6).trimmed().toLongLong();
    }
    return -1;
}

TEST_F(EmbeddedThumbnails, OnlyTheHeaderIsReadWhenTheStoredThumbnailIsTaken)
{
    // Noise compresses badly: megabytes of scan after a header of a few kilobytes.
    QImage noise(2000, 1500, QImage::Format_RGB32);
    QRandomGenerator random(17);
    for (int y = 0; y < noise.height(); ++y)
        random.fillRange(reinterpret_cast<quint32*>(noise.scanLine(y)), noise.width());
    const auto file = cameraJpeg("noise.jpg", noise, probeThumbnail(QSize(160, 120)));
    const qint64 fileSize = qint64(std::filesystem::file_size(file));
    ASSERT_GT(fileSize, 1'000'000);

    qint64 before = bytesReadSoFar();
    thumbnailOf(file, true);
    const qint64 readForEmbedded = bytesReadSoFar() - before;
    before = bytesReadSoFar();
    thumbnailOf(file, false);
    const qint64 readForDecoded = bytesReadSoFar() - before;

    EXPECT_GE(readForDecoded, fileSize); // the count sees what the decode reads
    EXPECT_LT(readForEmbedded, 64 * 1024);
}

} // namespace
} // namespace glimmora
