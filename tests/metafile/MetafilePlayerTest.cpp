#include "picturecontrol/MetafilePlayer.h"
#include "tests/picturecontrol/MetafileWriter.h"
#include "tests/support/Scratch.h"

// Qt
#include <QPainter>

#include <gtest/gtest.h>

#include <functional>

namespace glimmora {
namespace {

using namespace metafile;

const QColor red(255, 0, 0);
const QColor green(0, 255, 0);
const QColor blue(0, 0, 255);
const QColor yellow(255, 255, 0);

// The colour at a point given as fractions of the image's width and height.
QColor at(const QImage& image, double fx, double fy)
{
    return image.pixelColor(static_cast<int>(fx * image.width()), static_cast<int>(fy * image.height()));
}

void expectQuadrants(const QImage& image)
{
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(at(image, 0.25, 0.25), red);
    EXPECT_EQ(at(image, 0.75, 0.25), green);
    EXPECT_EQ(at(image, 0.25, 0.75), blue);
    EXPECT_EQ(at(image, 0.75, 0.75), yellow);
}

QImage quadrantImage(int side)
{
    QImage image(side, side, QImage::Format_RGB32);
    QPainter p(&image);
    const int h = side / 2;
    p.fillRect(0, 0, h, h, red);
    p.fillRect(h, 0, side - h, h, green);
    p.fillRect(0, h, h, side - h, blue);
    p.fillRect(h, h, side - h, side - h, yellow);
    return image;
}

// Four filled rectangles covering a 200 × 200 logical square, without outlines.
template <typename Writer>
void addQuadrantRects(Writer& w, int origin = 0)
{
    const QColor colors[] = {red, green, blue, yellow};
    for (int i = 0; i < 4; ++i) {
        const int x = origin + (i % 2) * 100;
        const int y = origin + (i / 2) * 100;
        if constexpr (std::is_same_v<Writer, WmfWriter>) {
            w.createBrush(colors[i]).selectObject(1).rectangle(x, y, x + 100, y + 100).deleteObject(1);
        } else {
            w.createBrush(2, colors[i]).selectObject(2).rectangle(x, y, x + 100, y + 100).deleteObject(2);
        }
    }
}

QByteArray wmfRectangles()
{
    WmfWriter w(QRect(0, 0, 200, 200), 96);
    w.createPen(Qt::black, 0, PenNull).selectObject(0);
    addQuadrantRects(w);
    return w.finish();
}

QByteArray wmfWithoutPlaceableHeader()
{
    WmfWriter w;
    w.setMapMode(MapAnisotropic).setWindowOrg(1000, 1000).setWindowExt(200, 200);
    w.createPen(Qt::black, 0, PenNull).selectObject(0);
    addQuadrantRects(w, 1000);
    return w.finish();
}

QByteArray wmfStretchDib(bool bottomUp)
{
    WmfWriter w(QRect(0, 0, 200, 200), 96);
    w.stretchDib(QRect(0, 0, 200, 200), quadrantImage(16), bottomUp);
    return w.finish();
}

QByteArray wmfDibStretchBlt()
{
    WmfWriter w(QRect(0, 0, 200, 200), 96);
    w.dibStretchBlt(QRect(0, 0, 200, 200), quadrantImage(8));
    return w.finish();
}

QByteArray wmfDibBitBlt()
{
    WmfWriter w(QRect(0, 0, 16, 16), 96);
    w.dibBitBlt(QPoint(0, 0), quadrantImage(16));
    return w.finish();
}

EmfWriter emfOfSquare()
{
    // 200 × 200 device pixels: 50 mm on a device of 1000 pixels per 250 mm.
    return EmfWriter(QRect(0, 0, 5000, 5000));
}

QByteArray emfRectangles()
{
    EmfWriter w = emfOfSquare();
    w.selectObject(emf::stockObjectFlag | emf::NullPen);
    addQuadrantRects(w);
    return w.finish();
}

QByteArray emfStretchDiBits(bool bottomUp)
{
    EmfWriter w = emfOfSquare();
    w.stretchDiBits(QRect(0, 0, 200, 200), quadrantImage(16), bottomUp);
    return w.finish();
}

// Logical units of 0.1 mm with y pointing up: the picture's top edge has the larger y.
QByteArray emfLoMetric()
{
    EmfWriter w = emfOfSquare();
    w.setMapMode(MapLoMetric).selectObject(emf::stockObjectFlag | emf::NullPen);
    const QColor colors[] = {red, green, blue, yellow};
    for (int i = 0; i < 4; ++i) {
        const int x = (i % 2) * 250;
        const int y = -(i / 2) * 250;
        w.createBrush(2, colors[i]).selectObject(2).rectangle(x, y, x + 250, y - 250);
    }
    return w.finish();
}

// Scaled by a world transform: a 100 × 100 drawing doubled.
QByteArray emfWorldTransform()
{
    EmfWriter w = emfOfSquare();
    w.setWorldTransform(2, 0, 0, 2, 0, 0).selectObject(emf::stockObjectFlag | emf::NullPen);
    const QColor colors[] = {red, green, blue, yellow};
    for (int i = 0; i < 4; ++i) {
        const int x = (i % 2) * 50;
        const int y = (i / 2) * 50;
        w.createBrush(2, colors[i]).selectObject(2).rectangle(x, y, x + 50, y + 50);
    }
    return w.finish();
}

struct OrientationCase {
    const char* name;
    std::function<QByteArray()> make;
    MetafileKind kind;
};

class Orientation : public testing::TestWithParam<OrientationCase> {};

TEST_P(Orientation, RedTopLeftGreenTopRightBlueBottomLeftYellowBottomRight)
{
    const MetafilePlayer player(GetParam().make());
    EXPECT_EQ(player.kind(), GetParam().kind);
    expectQuadrants(player.render(QSize(200, 200)));
    expectQuadrants(player.render(QSize(60, 60)));
    expectQuadrants(player.render(QSize(37, 90))); // stretched, not cropped
}

INSTANTIATE_TEST_SUITE_P(
    Metafiles, Orientation,
    testing::Values(
        OrientationCase{"WmfRectangles", wmfRectangles, MetafileKind::Wmf},
        OrientationCase{"WmfWithoutPlaceableHeader", wmfWithoutPlaceableHeader, MetafileKind::Wmf},
        OrientationCase{"WmfStretchDibBottomUp", [] { return wmfStretchDib(true); }, MetafileKind::Wmf},
        OrientationCase{"WmfStretchDibTopDown", [] { return wmfStretchDib(false); }, MetafileKind::Wmf},
        OrientationCase{"WmfDibStretchBlt", wmfDibStretchBlt, MetafileKind::Wmf},
        OrientationCase{"WmfDibBitBlt", wmfDibBitBlt, MetafileKind::Wmf},
        OrientationCase{"EmfRectangles", emfRectangles, MetafileKind::Emf},
        OrientationCase{"EmfStretchDiBitsBottomUp", [] { return emfStretchDiBits(true); }, MetafileKind::Emf},
        OrientationCase{"EmfStretchDiBitsTopDown", [] { return emfStretchDiBits(false); }, MetafileKind::Emf},
        OrientationCase{"EmfLoMetric", emfLoMetric, MetafileKind::Emf},
        OrientationCase{"EmfWorldTransform", emfWorldTransform, MetafileKind::Emf}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MetafilePlayer, NaturalSizeFollowsUnitsPerInchAndFrame)
{
    // Two inches by one inch at 1440 units per inch.
    WmfWriter wmf(QRect(0, 0, 2880, 1440), 1440);
    wmf.rectangle(0, 0, 100, 100);
    EXPECT_EQ(MetafilePlayer(wmf.finish()).naturalSize(), QSize(192, 96));

    // One inch square (25.4 mm) on a 300 dpi device.
    EmfWriter emf(QRect(0, 0, 2540, 2540), QSize(3000, 3000), QSize(254, 254));
    emf.rectangle(0, 0, 300, 300);
    EXPECT_EQ(MetafilePlayer(emf.finish()).naturalSize(), QSize(96, 96));

    // Without a placeable header or a window the drawing's own extent is the picture.
    WmfWriter bare;
    bare.rectangle(10, 20, 110, 70);
    const QSize measured = MetafilePlayer(bare.finish()).naturalSize();
    EXPECT_NEAR(measured.width(), 101, 2);
    EXPECT_NEAR(measured.height(), 51, 2);
}

TEST(MetafilePlayer, HugeFrameIsScaledDownKeepingItsShape)
{
    WmfWriter wmf(QRect(0, 0, 30000, 15000), 10);
    wmf.rectangle(0, 0, 100, 100);
    EXPECT_EQ(MetafilePlayer(wmf.finish()).naturalSize(),
              QSize(MetafilePlayer::maxNaturalSide, MetafilePlayer::maxNaturalSide / 2));
}

TEST(MetafilePlayer, ProbeTellsTheKindByContent)
{
    EXPECT_EQ(MetafilePlayer::probe(wmfRectangles()), MetafileKind::Wmf);
    EXPECT_EQ(MetafilePlayer::probe(wmfWithoutPlaceableHeader()), MetafileKind::Wmf);
    EXPECT_EQ(MetafilePlayer::probe(emfRectangles()), MetafileKind::Emf);
    EXPECT_EQ(MetafilePlayer::probe(QByteArray("\x89PNG\r\n\x1a\n0000000000000000000000000000000000000000", 48)),
              MetafileKind::None);
    EXPECT_EQ(MetafilePlayer::probe(QByteArray()), MetafileKind::None);
    EXPECT_EQ(MetafilePlayer::probe(wmfRectangles().left(10)), MetafileKind::None);
}

// The object table of a WMF hands out the lowest free slot, so a deleted slot is reused.
TEST(MetafilePlayer, WmfObjectsTakeTheLowestFreeSlot)
{
    WmfWriter w(QRect(0, 0, 100, 100), 96);
    w.createPen(Qt::black, 0, PenNull).selectObject(0); // slot 0
    w.createBrush(red);                                 // slot 1
    w.createBrush(blue);                                // slot 2
    w.deleteObject(1).createBrush(green);               // slot 1 again
    w.selectObject(1).rectangle(0, 0, 50, 100).selectObject(2).rectangle(50, 0, 100, 100);
    const QImage image = MetafilePlayer(w.finish()).render(QSize(100, 100));
    EXPECT_EQ(at(image, 0.25, 0.5), green);
    EXPECT_EQ(at(image, 0.75, 0.5), blue);
}

TEST(MetafilePlayer, RestoreDcBringsBackTheSavedBrushAndClip)
{
    EmfWriter w = emfOfSquare();
    w.selectObject(emf::stockObjectFlag | emf::NullPen).createBrush(1, red).selectObject(1);
    w.saveDC().createBrush(2, blue).selectObject(2).intersectClipRect(0, 0, 100, 200);
    w.rectangle(0, 0, 200, 100);               // blue, clipped to the left half
    w.restoreDC().rectangle(0, 100, 200, 200); // red, unclipped
    const QImage image = MetafilePlayer(w.finish()).render(QSize(200, 200));
    EXPECT_EQ(at(image, 0.25, 0.25), blue);
    EXPECT_EQ(at(image, 0.75, 0.25), QColor(Qt::white));
    EXPECT_EQ(at(image, 0.25, 0.75), red);
    EXPECT_EQ(at(image, 0.75, 0.75), red);
}

TEST(MetafilePlayer, PolygonsAndTextAreDrawn)
{
    WmfWriter w(QRect(0, 0, 200, 200), 96);
    w.createBrush(blue).selectObject(0).polygon({{0, 0}, {200, 0}, {0, 200}});
    w.createFont(-40, "Arial", 700).selectObject(1).setBkMode(BkTransparent).setTextColor(red);
    w.textOut(110, 140, "WW");
    const QImage image = MetafilePlayer(w.finish()).render(QSize(200, 200));
    EXPECT_EQ(at(image, 0.1, 0.1), blue);
    EXPECT_EQ(at(image, 0.9, 0.9), QColor(Qt::white));
    int reddish = 0;
    for (int y = 140; y < 200; ++y) {
        for (int x = 110; x < 200; ++x)
            reddish += image.pixelColor(x, y).red() > 200 && image.pixelColor(x, y).green() < 100;
    }
    EXPECT_GT(reddish, 50);

    EmfWriter e = emfOfSquare();
    e.extTextOutW(10, 10, QStringLiteral("Hello"));
    const QImage text = MetafilePlayer(e.finish()).render(QSize(200, 200));
    int dark = 0;
    for (int y = 0; y < 60; ++y) {
        for (int x = 0; x < 120; ++x)
            dark += qGray(text.pixel(x, y)) < 100;
    }
    EXPECT_GT(dark, 10);
}

// An EMF+ header (dual or not) and a blue fill of the whole 200 × 200 square, in EMF+ records.
EmfPlusRecords blueInEmfPlus(bool dual)
{
    EmfPlusRecords plus;
    plus.record(0x4001, dual ? 1 : 0, LeBytes().u32(0xDBC01002).u32(1).u32(96).u32(96).bytes());
    plus.record(0x400A, 0x8000, LeBytes().u32(0xFF0000FF).u32(1).f32(0).f32(0).f32(200).f32(200).bytes());
    return plus;
}

TEST(MetafilePlayer, DualFilesAreDrawnFromTheirGdiRecordsAndEmfPlusOnlyFilesFromTheirEmfPlusRecords)
{
    // A frame of 200 × 200 reference pixels at 96 per inch, as the EMF+ records' device has.
    for (const bool dual : {true, false}) {
        EmfWriter emf(QRect(0, 0, 5292, 5292), QSize(1000, 1000), QSize(264, 264));
        blueInEmfPlus(dual).into(emf);
        if (dual)
            emf.createBrush(1, red).selectObject(1).createPen(2, red).selectObject(2).rectangle(0, 0, 200, 200);
        const QImage image = MetafilePlayer(emf.finish()).render(QSize(100, 100), Qt::white);
        EXPECT_EQ(at(image, 0.5, 0.5), dual ? red : blue) << (dual ? "dual" : "EMF+ only");
    }
}

TEST(MetafilePlayer, EmfPlusOnlyFilesOfDrawingsThatCannotBeShownAreRefused)
{
    EmfWriter emf(QRect(0, 0, 5292, 5292), QSize(1000, 1000), QSize(264, 264));
    EmfPlusRecords plus;
    plus.record(0x4001, 0, LeBytes().u32(0xDBC01002).u32(1).u32(96).u32(96).bytes());
    plus.record(0x4036, 0, LeBytes().u32(0xFF000000).u32(0).u32(0).u32(0).bytes()); // glyph indexes
    plus.into(emf);
    try {
        MetafilePlayer player(emf.finish());
        FAIL() << "an EMF+ file of nothing that can be drawn was taken";
    } catch (const EMetafileError& error) {
        EXPECT_STREQ(error.what(), "The Enhanced Metafile draws only with EMF+ records of kinds that cannot be shown.");
    }
}

TEST(MetafilePlayer, RendersIntoAPainterTarget)
{
    QImage page(300, 100, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    painter.translate(10, 0); // a transform of the caller's own is kept
    MetafilePlayer(wmfRectangles()).render(painter, QRectF(90, 0, 100, 100));
    painter.end();
    EXPECT_EQ(page.pixelColor(50, 50), QColor(Qt::white));
    EXPECT_EQ(page.pixelColor(125, 25), red);
    EXPECT_EQ(page.pixelColor(175, 75), yellow);
    EXPECT_EQ(page.pixelColor(250, 50), QColor(Qt::white));
}

TEST(MetafilePlayer, FromFileReadsAndReportsMissingFiles)
{
    test::ScratchDir dir;
    const auto path = dir / "picture.emf";
    test::writeFile(path, emfRectangles().toStdString());
    EXPECT_EQ(MetafilePlayer::fromFile(QString::fromStdString(path.string())).kind(), MetafileKind::Emf);
    try {
        MetafilePlayer::fromFile(QString::fromStdString((dir / "missing.wmf").string()));
        FAIL() << "a missing file must raise";
    } catch (const EMetafileError& error) {
        EXPECT_NE(std::string(error.what()).find("missing.wmf"), std::string::npos);
    }
}

} // namespace
} // namespace glimmora
