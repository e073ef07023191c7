// Pictures written in every format the conversion offers, read back by independent readers
// (ImageMagick for bitmaps, JPEG, GIF and WMF; LibreOffice for EMF) and by our own picture
// control for the metafiles: the picture's size, and its colours where the probe pixels lie.

#include "picturecontrol/GifWriter.h"
#include "picturecontrol/GvboxCtrl.h"
#include "picturecontrol/PictureWriter.h"

#include "Scratch.h"
#include "TestPictures.h"

// Qt
#include <QDir>
#include <QImage>

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>

namespace glimmora {
namespace {

using test::Quadrants;

constexpr QSize kSize(122, 78); // odd rows of 24-bit pixels, so row padding shows

struct FormatCase {
    const char* name;
    PictureFileFormat format;
    const char* extension;
    int tolerance; // JPEG is lossy even at quality 100
};

std::ostream& operator<<(std::ostream& out, const FormatCase& c) { return out << c.name; }

// The formats ImageMagick reads here (it has no reader of Enhanced Metafiles on Linux).
const FormatCase kFormats[] = {
    {"Bitmap", PictureFileFormat::Bitmap, "bmp", 0},
    {"Jpeg", PictureFileFormat::Jpeg, "jpg", 6},
    {"Gif", PictureFileFormat::Gif, "gif", 0},
    {"WindowsMetafile", PictureFileFormat::WindowsMetafile, "wmf", 0},
};

QImage quadrants() { return test::quadrantPicture(kSize.width(), kSize.height(), test::kColourQuadrants); }

// The picture as an independent program reads it, through a PPM file it writes.
QImage readBy(const QString& command, const std::filesystem::path& dir)
{
    const auto ppm = dir / "read-back.ppm";
    const QString failure = test::runCommand(command.arg(test::qPath(ppm)));
    EXPECT_TRUE(failure.isEmpty()) << failure.toStdString();
    return QImage(test::qPath(ppm));
}

QImage readByImageMagick(const std::filesystem::path& file, const std::filesystem::path& dir)
{
    // Metafiles are drawn at their placeable header's 96 units per inch.
    return readBy(QStringLiteral("convert -density 96 '%1' ppm:%2").arg(test::qPath(file)), dir);
}

// Where a picture lies on a white page: the smallest rectangle of the pixels that are not white.
QRect inkBox(const QImage& page)
{
    QRect box;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (page.pixel(x, y) != qRgb(255, 255, 255))
                box |= QRect(x, y, 1, 1);
    return box;
}

class PictureWriting : public testing::TestWithParam<FormatCase> {
protected:
    test::ScratchDir dir;
};

TEST_P(PictureWriting, ImageMagickReadsThePictureAtItsSizeWithItsColours)
{
    const FormatCase& c = GetParam();
    const auto file = dir / (std::string("picture.") + c.extension);
    writePictureFile(quadrants(), c.format, test::qPath(file));

    const QImage read = readByImageMagick(file, dir.path());
    EXPECT_EQ(read.size(), kSize);
    const Quadrants found = test::quadrantCentres(read);
    EXPECT_TRUE(test::sameQuadrants(found, test::kColourQuadrants, c.tolerance)) << test::describe(found).toStdString();
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, PictureWriting, testing::ValuesIn(kFormats),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PictureWriting, OurPictureControlReadsBothMetafilesAtThePictureSize)
{
    test::ScratchDir dir;
    for (const char* extension : {"wmf", "emf"}) {
        const auto file = dir / (std::string("picture.") + extension);
        const auto format =
            std::string(extension) == "wmf" ? PictureFileFormat::WindowsMetafile : PictureFileFormat::EnhancedMetafile;
        writePictureFile(quadrants(), format, test::qPath(file));
        TGvboxCtrl control;
        control.setFileName(test::qPath(file));
        EXPECT_EQ(control.size(), kSize) << extension;
        const Quadrants found = test::quadrantCentres(control.Picture());
        EXPECT_TRUE(test::sameQuadrants(found, test::kColourQuadrants, 0))
            << extension << test::describe(found).toStdString();
    }
}

TEST(PictureWriting, LibreOfficeDrawsTheEnhancedMetafileWithItsColours)
{
    if (!test::missingTool(QStringLiteral("soffice")).isEmpty())
        GTEST_SKIP() << "LibreOffice is not installed";
    test::ScratchDir dir;
    const auto file = dir / "picture.emf";
    writePictureFile(quadrants(), PictureFileFormat::EnhancedMetafile, test::qPath(file));
    const QString failure = test::runCommand(
        QStringLiteral("cd '%1' && soffice -env:UserInstallation=file://%1/profile --headless --norestore "
                       "--convert-to png picture.emf >/dev/null")
            .arg(test::qPath(dir.path())));
    ASSERT_TRUE(failure.isEmpty()) << failure.toStdString();
    const QImage page = QImage(test::qPath(dir / "picture.png")).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(page.isNull());
    // LibreOffice places the picture on a page drawn at 96 pixels per inch.
    const QImage drawn = page.copy(inkBox(page));
    EXPECT_NEAR(drawn.width(), kSize.width(), 1);
    EXPECT_NEAR(drawn.height(), kSize.height(), 1);
    const Quadrants found = test::quadrantCentres(drawn);
    EXPECT_TRUE(test::sameQuadrants(found, test::kColourQuadrants, 8)) << test::describe(found).toStdString();
}

TEST(PictureWriting, AGifOfManyColoursKeepsAtMost256CloseToThePicture)
{
    QImage gradient(256, 64, QImage::Format_RGB32);
    for (int y = 0; y < gradient.height(); ++y)
        for (int x = 0; x < gradient.width(); ++x)
            gradient.setPixel(x, y, qRgb(x, (y * 4) & 0xFF, 255 - x));

    const PalettePicture palette = reduceToPalette(gradient);
    EXPECT_LE(palette.colours.size(), 256);
    EXPECT_EQ(palette.indexes.size(), gradient.width() * gradient.height());
    // Dithered, each pixel lies near its colour; on average very near.
    double error = 0;
    for (int y = 0; y < gradient.height(); ++y)
        for (int x = 0; x < gradient.width(); ++x) {
            const QRgb want = gradient.pixel(x, y);
            const QRgb got = palette.colours.at(uchar(palette.indexes.at(y * gradient.width() + x)));
            error += std::abs(qRed(want) - qRed(got)) + std::abs(qGreen(want) - qGreen(got))
                     + std::abs(qBlue(want) - qBlue(got));
        }
    EXPECT_LT(error / (gradient.width() * gradient.height()), 24.0);
}

TEST(PictureWriting, AFailedWriteLeavesNoFileAndKeepsTheEarlierOne)
{
    // A file size limit at half the file stands in for a full disk: a write across it takes what
    // fits, the next fails with EFBIG. A file smaller than the file's write buffer is written
    // only when the file is closed, a larger one at once; both must fail.
    for (const QImage& picture : {quadrants(), test::quadrantPicture(40, 30, test::kColourQuadrants)}) {
        for (const FormatCase& f : kFormats) {
            SCOPED_TRACE(std::to_string(picture.width()) + " " + f.name);
            test::ScratchDir dir;
            const auto whole = dir / (std::string("whole.") + f.extension);
            writePictureFile(picture, f.format, test::qPath(whole));
            const auto file = dir / (std::string("picture.") + f.extension);
            test::writeFile(file, "the earlier file");

            struct rlimit old {};
            ::getrlimit(RLIMIT_FSIZE, &old);
            struct rlimit half = old;
            half.rlim_cur = std::filesystem::file_size(whole) / 2;
            const auto previous = std::signal(SIGXFSZ, SIG_IGN);
            ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &half), 0);
            std::string message;
            try {
                writePictureFile(picture, f.format, test::qPath(file));
            } catch (const EPictureWriteError& error) {
                message = error.what();
            }
            ::setrlimit(RLIMIT_FSIZE, &old);
            std::signal(SIGXFSZ, previous);

            EXPECT_FALSE(message.empty());
            EXPECT_EQ(test::readFile(file), "the earlier file");
            EXPECT_EQ(QDir(test::qPath(dir.path())).entryList(QDir::Files).size(), 2);
        }
    }
}

TEST(PictureWriting, ADirectoryThatCannotBeWrittenIsReported)
{
    // Even root cannot create files in /proc.
    EXPECT_THROW(writePictureFile(quadrants(), PictureFileFormat::Gif, QStringLiteral("/proc/picture.gif")),
                 EPictureWriteError);
}

TEST(PictureWriting, AWindowsMetafileRefusesSidesItsCoordinatesCannotHold)
{
    test::ScratchDir dir;
    const QImage wide(40000, 1, QImage::Format_RGB32);
    try {
        writePictureFile(wide, PictureFileFormat::WindowsMetafile, test::qPath(dir / "wide.wmf"));
        FAIL() << "written";
    } catch (const EPictureWriteError& error) {
        EXPECT_STREQ(error.what(), "A Windows Metafile holds at most 32767 pixels a side.");
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "wide.wmf"));
}

} // namespace
} // namespace glimmora
