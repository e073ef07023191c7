#include "picturecontrol/GvboxCtrl.h"
#include "picturecontrol/PictureDecoder.h"

#include "Scratch.h"
#include "TestPictures.h"

// Qt
#include <QBuffer>
#include <QImageWriter>

#include <gtest/gtest.h>

namespace glimmora {
namespace {

using test::Quadrants;

enum class Source { Colour, Bilevel };

constexpr QSize kSourceSize(74, 46); // odd quadrant sizes, so row padding shows
constexpr Quadrants kGreyQuadrants{0xFF4C4C4C, 0xFF969696, 0xFF1D1D1D, 0xFFE2E2E2};

// One file of a still type, made by an independent tool (or one of the tests' own writers
// where no packaged tool writes the type), and what it must decode to.
struct DecodeCase {
    const char* name;
    const char* extension;
    Source source;
    const char* command = nullptr; // "{in}" and "{out}" are replaced by the paths
    QByteArray (*writer)(const QImage&) = nullptr;
    QSize size = kSourceSize; // the decoded size
    QSize sourceSize = kSourceSize;
    Quadrants expected = test::kColourQuadrants;
    int tolerance = 24;
};

std::ostream& operator<<(std::ostream& out, const DecodeCase& c) { return out << c.name; }

QImage sourcePicture(const DecodeCase& c)
{
    return test::quadrantPicture(c.sourceSize.width(), c.sourceSize.height(),
                                 c.source == Source::Colour ? test::kColourQuadrants : test::kBilevelQuadrants);
}

class StillTypeDecoding : public testing::TestWithParam<DecodeCase> {
protected:
    // The file of the case, or an empty path after GTEST_SKIP when its tool is missing.
    QString makeFile()
    {
        const DecodeCase& c = GetParam();
        const QImage source = sourcePicture(c);
        const auto out = scratch_ / (std::string("picture.") + c.extension);
        if (c.writer) {
            test::writeBytes(out, c.writer(source));
            return test::qPath(out);
        }
        QString command = QString::fromLatin1(c.command);
        const QString tool = test::missingTool(command);
        if (!tool.isEmpty()) {
            skipReason_ = QStringLiteral("%1 is not installed").arg(tool).toStdString();
            return QString();
        }
        const auto in = scratch_ / (c.source == Source::Colour ? "source.ppm" : "source.pbm");
        test::writeBytes(in, c.source == Source::Colour ? test::ppmBytes(source) : test::pbmBytes(source));
        command.replace(QStringLiteral("{in}"), test::qPath(in)).replace(QStringLiteral("{out}"), test::qPath(out));
        const QString failure = test::runCommand(command);
        if (!failure.isEmpty()) {
            ADD_FAILURE() << failure.toStdString();
            return QString();
        }
        return test::qPath(out);
    }

    test::ScratchDir scratch_;
    std::string skipReason_;
};

TEST_P(StillTypeDecoding, DecodesSizeAndCornersAtFullSizeAndAsThumbnail)
{
    const DecodeCase& c = GetParam();
    const QString path = makeFile();
    if (!skipReason_.empty())
        GTEST_SKIP() << skipReason_;
    ASSERT_FALSE(path.isEmpty());

    TGvboxCtrl control;
    try {
        control.setFileName(path);
    } catch (const EGvboxError& error) {
        FAIL() << "full size: " << error.what();
    }
    EXPECT_EQ(control.size(), c.size);
    EXPECT_EQ(control.Picture().format(), QImage::Format_RGB32);
    const Quadrants full = test::quadrantCentres(control.Picture());
    EXPECT_TRUE(test::sameQuadrants(full, c.expected, c.tolerance))
        << "got " << test::describe(full).toStdString() << ", want " << test::describe(c.expected).toStdString();

    control.setThumbnail(60);
    try {
        control.setFileName(path);
    } catch (const EGvboxError& error) {
        FAIL() << "thumbnail: " << error.what();
    }
    EXPECT_EQ(control.size(), thumbnailSizeFor(c.size, 60));
    const Quadrants thumbnail = test::quadrantCentres(control.Picture());
    EXPECT_TRUE(test::sameQuadrants(thumbnail, c.expected, c.tolerance + 16))
        << "got " << test::describe(thumbnail).toStdString() << ", want " << test::describe(c.expected).toStdString();

    control.setFileName(QString());
    EXPECT_TRUE(control.Picture().isNull());
    EXPECT_TRUE(control.FileName().isEmpty());
}

const DecodeCase kCases[] = {
    {"bmp_24bit", "bmp", Source::Colour, "convert {in} -type TrueColor BMP3:{out}"},
    {"bmp_8bit_palette", "bmp", Source::Colour, "ppmtobmp -bpp 8 {in} > {out}"},
    {"bmp_1bit", "bmp", Source::Bilevel, "ppmtobmp -bpp 1 {in} > {out}", nullptr, kSourceSize, kSourceSize,
     test::kBilevelQuadrants},
    {"wmf", "wmf", Source::Colour, nullptr, test::wmfBytes},
    {"emf", "emf", Source::Colour, nullptr, test::emfBytes, QSize(96, 48)},
    {"ico", "ico", Source::Colour, "convert {in} ICO:{out}"},
    {"ico_largest_of_three_sizes", "ico", Source::Colour, "convert {in} -define icon:auto-resize=16,48,32 ICO:{out}",
     nullptr, QSize(48, 48)},
    {"cur", "cur", Source::Colour, "convert {in} CUR:{out}"},
    {"jpg", "jpg", Source::Colour, "cjpeg -quality 95 {in} > {out}", nullptr, kSourceSize, kSourceSize,
     test::kColourQuadrants, 40},
    {"jif", "jif", Source::Colour, "convert {in} -quality 95 JPEG:{out}", nullptr, kSourceSize, kSourceSize,
     test::kColourQuadrants, 40},
    {"gif", "gif", Source::Colour, "ppmtogif {in} > {out}"},
    {"dib_with_file_header", "dib", Source::Colour, "convert {in} BMP3:{out}"},
    {"dib_without_file_header", "dib", Source::Colour, nullptr, test::headerlessDibBytes},
    {"rle_bmp_rle8", "rle", Source::Colour, "convert {in} -type Palette -compress RLE BMP3:{out}"},
    {"rle_utah", "rle", Source::Colour, "pnmtorle {in} > {out}"},
    {"tga_netpbm_rle", "tga", Source::Colour, "pamtotga {in} > {out}"},
    {"tga_netpbm_colourmap", "tga", Source::Colour, "pamtotga -cmap -norle {in} > {out}"},
    {"tga_ffmpeg", "tga", Source::Colour, "ffmpeg -v error -i {in} -y {out}"},
    {"pcx_24bit", "pcx", Source::Colour, "ppmtopcx -24bit {in} > {out}"},
    {"pcx_8bit_palette", "pcx", Source::Colour, "ppmtopcx -8bit {in} > {out}"},
    {"pcx_1bit", "pcx", Source::Bilevel, "convert {in} PCX:{out}", nullptr, kSourceSize, kSourceSize,
     test::kBilevelQuadrants},
    {"wpg", "wpg", Source::Colour, nullptr, test::wpgBytes},
    {"art", "art", Source::Bilevel, "convert {in} ART:{out}", nullptr, kSourceSize, kSourceSize,
     test::kBilevelQuadrants},
    {"cut", "cut", Source::Bilevel, nullptr, test::cutBytes, kSourceSize, kSourceSize, test::kBilevelQuadrants},
    {"gem", "gem", Source::Bilevel, "pbmtogem {in} > {out}", nullptr, kSourceSize, kSourceSize,
     test::kBilevelQuadrants},
    {"img_gem_raster", "img", Source::Bilevel, "pbmtogem {in} > {out}", nullptr, kSourceSize, kSourceSize,
     test::kBilevelQuadrants},
    {"hrz", "hrz", Source::Colour, nullptr, test::hrzBytes, QSize(256, 240), QSize(256, 240)},
    {"iff_ilbm", "iff", Source::Colour, "ppmtoilbm {in} > {out}"},
    {"lbm_ilbm_24bit", "lbm", Source::Colour, "ppmtoilbm -24force {in} > {out}"},
    {"mac", "mac", Source::Bilevel, "pbmtomacp {in} > {out}", nullptr, QSize(576, 720), QSize(576, 720),
     test::kBilevelQuadrants},
    {"msp", "msp", Source::Bilevel, nullptr, test::mspBytes, kSourceSize, kSourceSize, test::kBilevelQuadrants},
    {"pbm_raw", "pbm", Source::Bilevel, "convert {in} PBM:{out}", nullptr, kSourceSize, kSourceSize,
     test::kBilevelQuadrants},
    {"pbm_plain", "pbm", Source::Bilevel, "pnmtoplainpnm {in} > {out}", nullptr, kSourceSize, kSourceSize,
     test::kBilevelQuadrants},
    {"pgm", "pgm", Source::Colour, "ppmtopgm {in} > {out}", nullptr, kSourceSize, kSourceSize, kGreyQuadrants},
    {"pic_pictor", "pic", Source::Colour, nullptr, test::pictorBytes},
    {"pic_apple_pict", "pic", Source::Colour, "ppmtopict {in} > {out}"},
    {"png", "png", Source::Colour, "pnmtopng {in} > {out}"},
    {"pnm", "pnm", Source::Colour, "pnmtoplainpnm {in} > {out}"},
    {"ppm", "ppm", Source::Colour, "convert {in} PPM:{out}"},
    {"ras_netpbm", "ras", Source::Colour, "pnmtorast {in} > {out}"},
    {"ras_imagemagick_rle", "ras", Source::Colour, "convert {in} -compress RLE SUN:{out}"},
    {"tif", "tif", Source::Colour, "convert {in} -compress LZW TIFF:{out}"},
};

INSTANTIATE_TEST_SUITE_P(EveryStillType, StillTypeDecoding, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<DecodeCase>& info) { return std::string(info.param.name); });

} // namespace
} // namespace glimmora
