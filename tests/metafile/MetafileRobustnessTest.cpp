#include "picturecontrol/MetafilePlayer.h"
#include "tests/picturecontrol/MetafileWriter.h"

#include <gtest/gtest.h>

#include <random>

namespace glimmora {
namespace {

using namespace metafile;

QByteArray sampleWmf()
{
    WmfWriter w(QRect(0, 0, 400, 300), 96);
    w.createPen(Qt::black, 3).selectObject(0).createBrush(Qt::red).selectObject(1);
    w.rectangle(10, 10, 200, 150).ellipse(50, 50, 300, 250).polygon({{0, 0}, {400, 0}, {200, 300}});
    w.createFont(-20, "Arial").selectObject(2).textOut(20, 20, "Label");
    w.stretchDib(QRect(100, 100, 80, 60), QImage(8, 6, QImage::Format_RGB32));
    return w.finish();
}

QByteArray sampleEmf()
{
    EmfWriter w(QRect(0, 0, 10000, 7500));
    w.createPen(1, Qt::blue, 2).selectObject(1).createBrush(2, Qt::green).selectObject(2);
    w.rectangle(10, 10, 200, 150).polygon16({{0, 0}, {400, 0}, {200, 300}});
    w.extTextOutW(20, 20, QStringLiteral("Label"));
    w.stretchDiBits(QRect(100, 100, 80, 60), QImage(8, 6, QImage::Format_RGB32));
    return w.finish();
}

// Either a clear error at construction or a picture; never a crash or a hang.
void playOrReject(const QByteArray& bytes)
{
    try {
        const MetafilePlayer player(bytes);
        const QSize natural = player.naturalSize();
        EXPECT_GE(natural.width(), 1);
        EXPECT_LE(natural.width(), MetafilePlayer::maxNaturalSide);
        player.render(QSize(60, 60));
    } catch (const EMetafileError& error) {
        EXPECT_GT(std::string(error.what()).size(), 0u);
    }
}

TEST(MetafileRobustness, NonMetafilesRaiseAClearError)
{
    for (const QByteArray& bytes : {QByteArray(), QByteArray("This is a text file, not a picture.\n"),
                                    QByteArray(100, '\0'), QByteArray(100, '\xff')}) {
        try {
            MetafilePlayer player(bytes);
            FAIL() << "accepted " << bytes.size() << " bytes";
        } catch (const EMetafileError& error) {
            EXPECT_STRNE(error.what(), "");
        }
    }
}

TEST(MetafileRobustness, EveryTruncationIsPlayedOrRejected)
{
    for (const QByteArray& file : {sampleWmf(), sampleEmf()}) {
        for (qsizetype length = 0; length < file.size(); length += 7)
            playOrReject(file.left(length));
    }
}

TEST(MetafileRobustness, RandomDamageIsPlayedOrRejected)
{
    std::mt19937 random(1234);
    for (const QByteArray& file : {sampleWmf(), sampleEmf()}) {
        for (int round = 0; round < 300; ++round) {
            QByteArray damaged = file;
            const int changes = 1 + static_cast<int>(random() % 8);
            for (int i = 0; i < changes; ++i)
                damaged[static_cast<qsizetype>(random() % damaged.size())] = static_cast<char>(random());
            playOrReject(damaged);
        }
    }
}

// A record may claim any length and count; the player must neither read past the file nor
// allocate what the numbers claim.
TEST(MetafileRobustness, LyingLengthsAndCountsAreSkipped)
{
    WmfWriter wmf(QRect(0, 0, 100, 100), 96);
    wmf.raw(wmf::Polygon, LeBytes().u16(0xFFFF).i16(0).i16(0).bytes());
    wmf.raw(wmf::PolyPolygon, LeBytes().u16(0xFFFF).u16(0xFFFF).bytes());
    LeBytes hugeDib; // a bitmap of 2^30 × 2^30 pixels
    hugeDib.u32(RopSrcCopy).u16(0).u32(0x7FFF7FFF).u32(0).u32(0x7FFF7FFF).u32(0);
    hugeDib.u32(40).i32(1 << 30).i32(1 << 30).u16(1).u16(32);
    wmf.raw(wmf::StretchDib, hugeDib.bytes());
    wmf.raw(wmf::ExtTextOut, LeBytes().i16(0).i16(0).i16(30000).u16(0).bytes());
    playOrReject(wmf.finish());

    EmfWriter emf(QRect(0, 0, 1000, 1000));
    LeBytes bounds;
    bounds.i32(0).i32(0).i32(0).i32(0);
    emf.raw(emf::Polygon16, LeBytes(bounds).u32(0xFFFFFFFF).bytes());
    emf.raw(emf::PolyPolygon16, LeBytes(bounds).u32(0x40000000).u32(0x40000000).bytes());
    LeBytes text(bounds); // two billion characters at an offset past the record
    text.u32(1).f32(1).f32(1).i32(0).i32(0).u32(0x7FFFFFFF).u32(0xFFFFFFF0).u32(0);
    text.raw(bounds.bytes()).u32(0xFFFFFFF0);
    emf.raw(emf::ExtTextOutW, text.bytes());
    LeBytes bitmap(bounds); // header and bits said to lie far outside the record
    bitmap.i32(0).i32(0).i32(0).i32(0).i32(10).i32(10);
    bitmap.u32(0xFFFFFFF0).u32(40).u32(0).u32(0xFFFFFFFF).u32(0).u32(RopSrcCopy).i32(10).i32(10);
    emf.raw(emf::StretchDiBits, bitmap.bytes());
    emf.createBrush(0xFFFFFF, Qt::red).selectObject(0xFFFFFF);
    emf.selectObject(0x7FFFFFFF).deleteObject(0x12345678);
    emf.setWorldTransform(1e30f, 0, 0, 1e30f, 1e30f, 0).rectangle(0, 0, 10, 10);
    emf.setMapMode(MapIsotropic).setWindowExt(1, 1).setViewportExt(0x7FFFFFFF, 0x7FFFFFFF);
    emf.rectangle(0, 0, 10, 10);
    playOrReject(emf.finish());

    // A record whose size runs past the end of the file ends the playback.
    QByteArray cut = sampleEmf();
    cut[108 + 4] = '\xF0';
    cut[108 + 7] = '\x7F';
    playOrReject(cut);
}

TEST(MetafileRobustness, DeepSavesAndManyRecordsStayBounded)
{
    EmfWriter emf(QRect(0, 0, 1000, 1000));
    for (int i = 0; i < 5000; ++i)
        emf.saveDC();
    for (int i = 0; i < 6000; ++i)
        emf.restoreDC();
    emf.restoreDC(-100000).restoreDC(100000).restoreDC(0);
    for (int i = 0; i < 20000; ++i)
        emf.intersectClipRect(i % 7, i % 5, 1000 - i % 11, 1000 - i % 3);
    playOrReject(emf.finish());

    // Many exclusions would make the clip ever more complex; it stays bounded instead.
    WmfWriter wmf(QRect(0, 0, 1000, 1000), 96);
    for (int i = 0; i < 3000; ++i)
        wmf.record(wmf::ExcludeClipRect, {i % 997 + 1, i % 991 + 1, i % 997, i % 991});
    wmf.rectangle(0, 0, 1000, 1000);
    playOrReject(wmf.finish());
}

TEST(MetafileRobustness, RenderSizesAreCapped)
{
    const MetafilePlayer player(sampleWmf());
    EXPECT_TRUE(player.render(QSize(0, 10)).isNull());
    EXPECT_TRUE(player.render(QSize(-5, -5)).isNull());
    const QImage tall = player.render(QSize(1, MetafilePlayer::maxRenderSide * 4));
    EXPECT_EQ(tall.height(), MetafilePlayer::maxRenderSide);
}

} // namespace
} // namespace glimmora
