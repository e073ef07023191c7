#include "picturecontrol/GvboxCtrl.h"
#include "picturecontrol/PictureDecoder.h"

#include "Scratch.h"
#include "TestPictures.h"

// Qt
#include <QBuffer>
#include <QPainter>

#include <gtest/gtest.h>

// POSIX
#include <sys/stat.h>

namespace glimmora {
namespace {

using test::Quadrants;

QByteArray encoded(const QImage& image, const char* format) { return test::encodedPicture(image, format); }

void putBig16(QByteArray& bytes, int offset, int value)
{
    bytes[offset] = char(value >> 8);
    bytes[offset + 1] = char(value);
}

void putBig32(QByteArray& bytes, int offset, quint32 value)
{
    putBig16(bytes, offset, int(value >> 16));
    putBig16(bytes, offset + 2, int(value & 0xFFFF));
}

quint32 crc32(const QByteArray& bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A real JPEG whose frame header claims 30,000 × 20,000 pixels; the data that follows runs
// out at once, which libjpeg fills in (grey).
QByteArray hugeJpeg()
{
    QByteArray jpeg = encoded(test::quadrantPicture(16, 16, test::kColourQuadrants), "JPEG");
    const int frame = int(jpeg.indexOf("\xFF\xC0", 0));
    putBig16(jpeg, frame + 5, 20000);
    putBig16(jpeg, frame + 7, 30000);
    return jpeg;
}

// A valid PNG header (with its checksum) for 30,000 × 20,000 RGBA pixels and no data.
QByteArray hugePng()
{
    QByteArray png =
        encoded(test::quadrantPicture(16, 16, test::kColourQuadrants).convertToFormat(QImage::Format_ARGB32), "PNG");
    putBig32(png, 16, 30000);
    putBig32(png, 20, 20000);
    putBig32(png, 29, crc32(png.mid(12, 17)));
    return png.left(33);
}

QByteArray hugePcx()
{
    QByteArray pcx(128, '\0');
    pcx[0] = 0x0A;
    pcx[1] = 5;
    pcx[2] = 1;
    pcx[3] = 8;
    pcx[8] = char(29999 & 0xFF);
    pcx[9] = char(29999 >> 8);
    pcx[10] = char(19999 & 0xFF);
    pcx[11] = char(19999 >> 8);
    pcx[65] = 1;
    pcx[66] = char(30000 & 0xFF);
    pcx[67] = char(30000 >> 8);
    return pcx + QByteArray(64, '\x11');
}

QByteArray hugeSunRaster()
{
    QByteArray ras(32, '\0');
    putBig32(ras, 0, 0x59A66A95);
    putBig32(ras, 4, 30000);
    putBig32(ras, 8, 20000);
    putBig32(ras, 12, 24);
    putBig32(ras, 20, 1);
    return ras + QByteArray(64, '\x22');
}

// A JPEG of the quadrant picture whose EXIF orientation says it is seen turned a quarter
// clockwise (orientation 6), as a camera held upright stores it.
QByteArray jpegTurnedClockwise(const QImage& picture)
{
    const QByteArray jpeg = encoded(picture, "JPEG");
    QByteArray tiff("II*\0\x08\0\0\0"
                    "\x01\0"
                    "\x12\x01\x03\0\x01\0\0\0\x06\0\0\0"
                    "\0\0\0\0",
                    26);
    const QByteArray exif = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray app1("\xFF\xE1\0\0", 4);
    putBig16(app1, 2, int(exif.size()) + 2);
    return jpeg.left(2) + app1 + exif + jpeg.mid(2);
}

class PictureControlErrors : public testing::Test {
protected:
    QString file(const char* name, const QByteArray& bytes)
    {
        const auto path = scratch_ / name;
        test::writeBytes(path, bytes);
        return test::qPath(path);
    }

    // The message of the error the control raises for the file, or "(none)".
    std::string failureOf(const QString& path, qint16 thumbnail = 0)
    {
        TGvboxCtrl control;
        control.setThumbnail(thumbnail);
        try {
            control.setFileName(path);
        } catch (const EGvboxError& error) {
            EXPECT_TRUE(control.Picture().isNull());
            EXPECT_TRUE(control.FileName().isEmpty());
            return error.what();
        }
        return "(none)";
    }

    test::ScratchDir scratch_;
};

TEST_F(PictureControlErrors, FilesThatAreNotTheirTypeRaiseAnErrorWithAMessage)
{
    struct Case {
        const char* name;
        QByteArray bytes;
        const char* messagePart;
    };
    const QByteArray text("This is a letter, not a picture.\n");
    const Case cases[] = {
        {"letter.bmp", text, ""},
        {"letter.png", text, ""},
        {"letter.jpg", text, ""},
        {"letter.tga", text, ""},
        {"letter.ras", text, ""},
        {"letter.dib", text, "is not a Windows bitmap"},
        {"letter.iff", text, "is not an IFF picture"},
        {"letter.img", text, "is not a GEM raster image"},
        {"vector.gem", QByteArray("\xFF\xFF\x00\x0F\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00", 16),
         "GEM metafiles cannot be shown"},
        {"empty.gif", QByteArray(), ""},
        {"letter.xyz", text, "is not a picture type that can be shown"},
    };
    for (const Case& c : cases) {
        const std::string message = failureOf(file(c.name, c.bytes));
        EXPECT_NE(message, "(none)") << c.name;
        EXPECT_FALSE(message.empty()) << c.name;
        EXPECT_NE(message.find(c.messagePart), std::string::npos) << c.name << ": " << message;
    }
}

TEST_F(PictureControlErrors, MissingFilesAndFilesThatAreNoRegularFilesNameThePath)
{
    const QString missing = test::qPath(scratch_ / "gone.png");
    EXPECT_NE(failureOf(missing).find(missing.toStdString()), std::string::npos);

    const auto pipe = scratch_ / "pipe.png"; // reading it would wait for a writer for ever
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const auto folder = scratch_ / "folder.jpg";
    std::filesystem::create_directory(folder);
    for (const QString& path : {test::qPath(pipe), test::qPath(folder)})
        EXPECT_EQ(failureOf(path), (path + QStringLiteral(" is not a file.")).toStdString());
}

TEST_F(PictureControlErrors, HugeJpegIsThumbnailedFromItsScaledDecodeButRefusedAtFullSize)
{
    const QString path = file("huge.jpg", hugeJpeg());
    TGvboxCtrl control;
    control.setThumbnail(60);
    control.setFileName(path);
    EXPECT_EQ(control.size(), QSize(60, 40));

    EXPECT_NE(failureOf(path).find("too large to be shown (30000 × 20000 pixels)"), std::string::npos);
}

TEST_F(PictureControlErrors, HugeHeadersOfOtherDecodersAreRefusedWithoutDecoding)
{
    const std::pair<const char*, QByteArray> cases[] = {
        {"huge.png", hugePng()},       // Qt
        {"huge.pcx", hugePcx()},       // FFmpeg
        {"huge.ras", hugeSunRaster()}, // ImageMagick
    };
    for (const auto& [name, bytes] : cases) {
        const QString path = file(name, bytes);
        for (qint16 thumbnail : {qint16(0), qint16(60)}) {
            const std::string message = failureOf(path, thumbnail);
            EXPECT_NE(message, "(none)") << name;
            EXPECT_FALSE(message.empty()) << name;
        }
    }
}

TEST_F(PictureControlErrors, TransparentPartsTakeTheBackColour)
{
    QImage picture(40, 40, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    QPainter(&picture).fillRect(0, 0, 20, 40, Qt::blue);
    const QString path = file("half.png", encoded(picture, "PNG"));

    TGvboxCtrl control;
    control.setFileName(path);
    EXPECT_EQ(control.Picture().pixel(10, 20), qRgb(0, 0, 255));
    EXPECT_EQ(control.Picture().pixel(30, 20), qRgb(255, 255, 255));

    control.setBackColor(Qt::red);
    control.setFileName(path);
    EXPECT_EQ(control.Picture().pixel(30, 20), qRgb(255, 0, 0));
}

TEST_F(PictureControlErrors, JpegOrientationTagTurnsThePictureAtFullSizeAndAsThumbnail)
{
    const QString path =
        file("upright.jpg", jpegTurnedClockwise(test::quadrantPicture(74, 46, test::kColourQuadrants)));
    const Quadrants turned{test::kColourQuadrants[2], test::kColourQuadrants[0], test::kColourQuadrants[3],
                           test::kColourQuadrants[1]};
    TGvboxCtrl control;
    for (qint16 thumbnail : {qint16(0), qint16(60)}) {
        control.setThumbnail(thumbnail);
        control.setFileName(path);
        EXPECT_EQ(control.size(), thumbnail ? QSize(37, 60) : QSize(46, 74));
        EXPECT_TRUE(test::sameQuadrants(test::quadrantCentres(control.Picture()), turned, 48))
            << test::describe(test::quadrantCentres(control.Picture())).toStdString();
    }
}

TEST_F(PictureControlErrors, JpegThumbnailsTakeTheSizeOfThePictureNotOfItsScaledDecode)
{
    TGvboxCtrl control;
    control.setThumbnail(60);
    for (const QSize size : {QSize(1000, 333), QSize(333, 1000), QSize(1000, 130)}) {
        const QImage picture = test::quadrantPicture(size.width(), size.height(), test::kColourQuadrants);
        control.setFileName(file("scaled.jpg", encoded(picture, "JPEG")));
        EXPECT_EQ(control.size(), thumbnailSizeFor(size, 60)) << size.width() << "x" << size.height();
        EXPECT_TRUE(test::sameQuadrants(test::quadrantCentres(control.Picture()), test::kColourQuadrants, 48));
    }
}

TEST_F(PictureControlErrors, DrHaloPictureTakesTheColoursOfItsPaletteFileAndAGreyRampWithout)
{
    const QImage picture = test::quadrantPicture(74, 46, test::kColourQuadrants);
    const QString path = file("scan.cut", test::cutBytes(picture));
    TGvboxCtrl control;
    control.setFileName(path);
    const Quadrants grey = test::quadrantCentres(control.Picture());
    EXPECT_EQ(qRed(grey[1]), qGreen(grey[1])) << "without its palette the indexes are a grey ramp";

    file("scan.pal", test::haloPaletteBytes(picture));
    for (qint16 thumbnail : {qint16(0), qint16(60)}) {
        control.setThumbnail(thumbnail);
        control.setFileName(path);
        EXPECT_TRUE(test::sameQuadrants(test::quadrantCentres(control.Picture()), test::kColourQuadrants, 24))
            << test::describe(test::quadrantCentres(control.Picture())).toStdString();
    }
}

TEST_F(PictureControlErrors, GraphicsOfDrawingRecordsOnlyHoldNoPicture)
{
    // A WordPerfect graphic: its start record, a filled rectangle and its end record.
    QByteArray wpg("\xFFWPC\x10\0\0\0\x01\x16\x01\0\0\0\0\0", 16);
    wpg += QByteArray("\x0F\x06\x01\0\x40\x06\x80\x04", 8);
    wpg += QByteArray("\x07\x08\x0A\0\x0A\0\x20\x03\x20\x03", 10);
    wpg += QByteArray("\x10\0", 2);
    const QString path = file("drawing.wpg", wpg);
    for (qint16 thumbnail : {qint16(0), qint16(60)})
        EXPECT_EQ(failureOf(path, thumbnail), (path + " holds no picture.").toStdString());
}

TEST_F(PictureControlErrors, TwoColourPaletteKeepsItsColours)
{
    QImage picture(90, 30, QImage::Format_Mono);
    picture.setColorTable({qRgb(0, 0, 255), qRgb(0, 160, 0)});
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, x < 45 ? 0 : 1);
    const QString qtWritten = file("two.png", encoded(picture, "PNG"));
    file("two.ppm", test::ppmBytes(picture));
    const QString netpbmWritten = test::qPath(scratch_ / "two-netpbm.png");
    ASSERT_EQ(
        test::runCommand(QStringLiteral("pnmtopng %1 > %2").arg(test::qPath(scratch_ / "two.ppm"), netpbmWritten)), "");
    TGvboxCtrl control;
    for (const QString& path : {qtWritten, netpbmWritten}) {
        for (qint16 thumbnail : {qint16(0), qint16(60)}) {
            control.setThumbnail(thumbnail);
            control.setFileName(path);
            const QImage& shown = control.Picture();
            EXPECT_EQ(shown.pixel(shown.width() / 4, shown.height() / 2), qRgb(0, 0, 255)) << thumbnail;
            EXPECT_EQ(shown.pixel(shown.width() * 3 / 4, shown.height() / 2), qRgb(0, 160, 0)) << thumbnail;
        }
    }
}

TEST(ThumbnailSize, FitsTheLongerSideAndKeepsSmallPictures)
{
    struct Case {
        QSize picture;
        QSize thumbnail;
    };
    const Case cases[] = {
        {{320, 240}, {60, 45}},   {{100, 200}, {30, 60}}, {{200, 200}, {60, 60}},
        {{4000, 3000}, {60, 45}}, {{30000, 1}, {60, 1}},  {{1, 30000}, {1, 60}},
        {{40, 30}, {40, 30}},     {{60, 60}, {60, 60}},   {{61, 60}, {60, 59}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(thumbnailSizeFor(c.picture, 60), c.thumbnail) << c.picture.width() << "x" << c.picture.height();
    EXPECT_EQ(thumbnailSizeFor(QSize(4000, 3000), 0), QSize(4000, 3000));
}

} // namespace
} // namespace glimmora
