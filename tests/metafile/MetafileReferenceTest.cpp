// Metafiles as an independent writer and an independent renderer make and draw them: a drawing
// of shapes and texts written by LibreOffice as a dual (EMF+ and GDI) enhanced metafile and as a
// Windows Metafile, and a metafile of text placements and an EMF+-only metafile written here,
// each drawn by the player and compared with LibreOffice's own PNG export of the same file.

#include "picturecontrol/MetafilePlayer.h"
#include "tests/picturecontrol/MetafileWriter.h"
#include "tests/support/Scratch.h"

// Qt
#include <QImage>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace glimmora {
namespace {

namespace fs = std::filesystem;
using namespace metafile;

QString qPath(const fs::path& path) { return QString::fromStdString(path.string()); }

// Runs LibreOffice headless with a profile of its own; empty when it succeeded.
QString libreOffice(const fs::path& profile, const QStringList& arguments)
{
    QProcess office;
    office.setProcessChannelMode(QProcess::MergedChannels);
    office.start(QStringLiteral("soffice"),
                 QStringList{QStringLiteral("-env:UserInstallation=file://") + qPath(profile),
                             QStringLiteral("--headless"), QStringLiteral("--norestore")}
                     + arguments);
    if (!office.waitForFinished(280'000))
        return QStringLiteral("soffice did not finish");
    if (office.exitStatus() != QProcess::NormalExit || office.exitCode() != 0)
        return QString::fromLocal8Bit(office.readAll());
    return {};
}

// What the picture shows: the smallest rectangle holding every pixel that is not white.
QRect inkBox(const QImage& image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 235)
                box |= QRect(x, y, 1, 1);
    return box;
}

// The share of cells of a grid laid over the two drawings in which they agree: each cell's mean
// colour within a tolerance. Anti-aliasing and font hinting differ; shapes, colours and the
// places of the texts do not.
double agreement(const QImage& ours, const QImage& reference, QSize grid)
{
    int agreeing = 0;
    for (int row = 0; row < grid.height(); ++row)
        for (int column = 0; column < grid.width(); ++column) {
            const auto mean = [&](const QImage& image) {
                const QRect cell(column * image.width() / grid.width(), row * image.height() / grid.height(),
                                 std::max(1, image.width() / grid.width()),
                                 std::max(1, image.height() / grid.height()));
                double r = 0, g = 0, b = 0;
                for (int y = cell.top(); y <= cell.bottom(); ++y)
                    for (int x = cell.left(); x <= cell.right(); ++x) {
                        const QRgb pixel = image.pixel(std::min(x, image.width() - 1), std::min(y, image.height() - 1));
                        r += qRed(pixel);
                        g += qGreen(pixel);
                        b += qBlue(pixel);
                    }
                const double n = double(cell.width()) * cell.height();
                return std::array<double, 3>{r / n, g / n, b / n};
            };
            const auto a = mean(ours);
            const auto b = mean(reference);
            agreeing += std::abs(a[0] - b[0]) < 48 && std::abs(a[1] - b[1]) < 48 && std::abs(a[2] - b[2]) < 48;
        }
    return double(agreeing) / (grid.width() * grid.height());
}

// Shapes in the four colours and text in three alignments, sizes and fonts, one line turned.
constexpr const char* kDrawing = R"svg(<svg xmlns="http://www.w3.org/2000/svg" width="400" height="240">
  <rect x="10" y="10" width="120" height="60" fill="#ff0000"/>
  <ellipse cx="220" cy="40" rx="60" ry="30" fill="#0000ff"/>
  <polyline points="300,10 390,70 300,70" fill="none" stroke="#008000" stroke-width="6"/>
  <text x="10" y="110" font-family="Liberation Sans" font-size="24">Left aligned</text>
  <text x="200" y="150" font-family="Liberation Serif" font-size="32" text-anchor="middle">Centred</text>
  <text x="390" y="190" font-family="Liberation Mono" font-size="18" text-anchor="end">Right aligned</text>
  <text x="60" y="230" font-family="Liberation Sans" font-size="20" transform="rotate(-10 60 230)">Turned</text>
</svg>)svg";

// Text placement: the current position moved on by each text (TA_UPDATECP), a font height given
// as the cell's (positive) and as the character's (negative), centred and bottom alignment, and
// text turned a quarter by its font's escapement.
QByteArray textPlacementWmf()
{
    WmfWriter w(QRect(0, 0, 400, 240), 96);
    w.setWindowOrg(0, 0).setWindowExt(400, 240);
    w.createBrush(QColor(255, 0, 0)).selectObject(0).rectangle(300, 150, 390, 230);
    w.createFont(-28, QStringLiteral("Liberation Sans")).selectObject(1);
    w.record(wmf::SetTextAlign, {1}); // TA_UPDATECP
    w.record(wmf::MoveTo, {50, 10});  // y, x
    w.textOut(0, 0, "One, ").textOut(0, 0, "two, ").textOut(0, 0, "three");
    w.record(wmf::SetTextAlign, {0});
    w.createFont(40, QStringLiteral("Liberation Serif")).selectObject(2);
    w.textOut(10, 80, "Cell height 40");
    w.record(wmf::SetTextAlign, {6 | 8}); // TA_CENTER | TA_BOTTOM
    w.createFont(-24, QStringLiteral("Liberation Mono")).selectObject(3);
    w.textOut(200, 170, "centred bottom");
    w.record(wmf::SetTextAlign, {24}); // TA_BASELINE
    w.createFont(-22, QStringLiteral("Liberation Sans"), 400, 900).selectObject(4);
    w.textOut(30, 230, "Upward");
    return w.finish();
}

// A picture in EMF+ records alone, as GDI+ writes it without a GDI fallback: filled rectangles
// and an ellipse in solid colours, lines of a pen, and text in a font.
QByteArray emfPlusOnly()
{
    constexpr uint16_t kSolidColour = 0x8000, kShortPoints = 0x4000;
    EmfWriter emf(QRect(0, 0, 10583, 6350), QSize(1000, 1000), QSize(264, 264)); // 400 × 240 at 96 per inch
    EmfPlusRecords plus;
    plus.record(0x4001, 0, LeBytes().u32(0xDBC01002).u32(1).u32(96).u32(96).bytes()); // header, not dual
    plus.record(0x4030, 2, LeBytes().f32(1).bytes());                                 // page in pixels
    plus.record(
        0x400A, kSolidColour | kShortPoints,
        LeBytes().u32(0xFFFF0000).u32(2).i16(10).i16(10).i16(120).i16(60).i16(10).i16(150).i16(60).i16(60).bytes());
    plus.record(0x400E, kSolidColour | kShortPoints,
                LeBytes().u32(0xFF0000FF).i16(160).i16(10).i16(120).i16(60).bytes());
    // A pen (object 0) of a solid brush, 6 pixels wide.
    plus.record(0x4008, 0x0200 | 0,
                LeBytes().u32(0xDBC01002).u32(0).u32(0).u32(2).f32(6).u32(0xDBC01002).u32(0).u32(0xFF008000).bytes());
    plus.record(0x400D, kShortPoints | 0, LeBytes().u32(3).i16(300).i16(10).i16(390).i16(70).i16(300).i16(70).bytes());
    // A font (object 1) of 28 pixels, and a text in black in a layout rectangle.
    plus.record(0x4008, 0x0600 | 1,
                LeBytes().u32(0xDBC01002).f32(28).u32(2).i32(0).u32(0).u32(15).raw(utf16("Liberation Sans")).bytes());
    const QString text = QStringLiteral("EMF+ only");
    plus.record(0x401C, kSolidColour | 1,
                LeBytes()
                    .u32(0xFF000000)
                    .u32(0xFFFFFFFF)
                    .u32(uint32_t(text.size()))
                    .f32(100)
                    .f32(150)
                    .f32(280)
                    .f32(60)
                    .raw(utf16(text))
                    .bytes());
    plus.record(0x4002, 0, {});
    plus.into(emf);
    return emf.finish();
}

TEST(MetafileReference, DrawsLikeLibreOfficeDrawsTheSameFiles)
{
    if (QStandardPaths::findExecutable(QStringLiteral("soffice")).isEmpty())
        GTEST_SKIP() << "LibreOffice (soffice) is not installed; scripts/setup installs it";
    test::ScratchDir scratch;
    const fs::path profile = scratch / "profile";
    test::writeFile(scratch / "drawing.svg", kDrawing);
    for (const char* format : {"emf", "wmf"})
        ASSERT_EQ(libreOffice(profile, {"--convert-to", format, "--outdir", qPath(scratch.path()),
                                        qPath(scratch / "drawing.svg")}),
                  "");
    fs::rename(scratch / "drawing.emf", scratch / "office-dual.emf");
    fs::rename(scratch / "drawing.wmf", scratch / "office.wmf");
    const QByteArray placement = textPlacementWmf();
    test::writeFile(scratch / "text-placement.wmf", std::string_view(placement.constData(), size_t(placement.size())));
    const QByteArray plusOnly = emfPlusOnly();
    test::writeFile(scratch / "emf-plus-only.emf", std::string_view(plusOnly.constData(), size_t(plusOnly.size())));

    const char* files[] = {"office-dual.emf", "office.wmf", "text-placement.wmf", "emf-plus-only.emf"};
    QStringList arguments{"--convert-to", "png", "--outdir", qPath(scratch / "reference")};
    for (const char* file : files)
        arguments.append(qPath(scratch / file));
    ASSERT_EQ(libreOffice(profile, arguments), "");

    for (const char* file : files) {
        SCOPED_TRACE(file);
        const QImage reference(qPath(scratch / "reference" / (fs::path(file).stem().string() + ".png")));
        ASSERT_FALSE(reference.isNull());
        QImage ours;
        try {
            const MetafilePlayer player = MetafilePlayer::fromFile(qPath(scratch / file));
            ours = player.render(player.naturalSize(), Qt::white);
        } catch (const EMetafileError& error) {
            ADD_FAILURE() << error.what();
            continue;
        }
        const QRect ourBox = inkBox(ours);
        const QRect referenceBox = inkBox(reference.convertToFormat(QImage::Format_RGB32));
        ASSERT_FALSE(ourBox.isEmpty()) << "a blank picture";
        EXPECT_NEAR(ourBox.width(), referenceBox.width(), 6);
        EXPECT_NEAR(ourBox.height(), referenceBox.height(), 6);
        const double agreed = agreement(ours.copy(ourBox), reference.copy(referenceBox), QSize(16, 12));
        EXPECT_GE(agreed, 0.9);
    }
}

} // namespace
} // namespace glimmora
