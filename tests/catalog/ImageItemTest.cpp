#include "catalog/ImageElement.h"
#include "catalog/ImageItemFormat.h"

// Qt
#include <QColor>
#include <QtEndian>

#include <gtest/gtest.h>

namespace glimmora {
namespace {

QImage smallThumbnail(int width = 60, int height = 40)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(200, 30, 90));
    image.setPixelColor(0, 0, Qt::white);
    return image;
}

TEST(PictureTypeOf, TakesTheExtensionOfNamesPathsAndBareExtensions)
{
    const struct {
        const char* input;
        std::optional<int> type;
    } cases[] = {
        {"JPG", 3},
        {".Jpg", 3},
        {"photo.JPG", 3},
        {"bmp", 0},
        {"/a/b/c.mov", 31},
        {"clip.avi", 30},
        {"x.tif", 29},
        {"photo.jpeg", 3},
        {"photo.JFIF", 3},
        {"jpeg", 3},
        {"/scans/page.Tiff", 29},
        {"a.jpe", std::nullopt},
        {"a.tifff", std::nullopt},
        {"/pics.jpg/readme", std::nullopt},
        {"", std::nullopt},
        {"archive.tar.gz", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PictureTypeOf(QString::fromUtf8(c.input)), c.type) << c.input;
    for (int type = 0; type < kPictureTypeCount; ++type)
        EXPECT_EQ(PictureTypeOf(QStringLiteral("f.") + QLatin1String(kPictureTypes[type])), type);
}

TEST(PathChecksum, SumsSignedBytesOfAllButTheLastCharacter)
{
    EXPECT_EQ(PathChecksum(QByteArray("abc")), 97 + 98);
    EXPECT_EQ(PathChecksum(QByteArray("a")), 0);
    EXPECT_EQ(PathChecksum(QByteArray()), 0);
    EXPECT_EQ(PathChecksum(QByteArray("\xff\x80x")), -1 - 128);
    EXPECT_EQ(PathChecksum(QStringLiteral("/p/é.jpg")), PathChecksum(QByteArray("/p/\xc3\xa9.jpg")));
}

TEST(ImageStoreKey, HasAtLeastSixDigits)
{
    EXPECT_EQ(ImageStoreKey(17), "000017");
    EXPECT_EQ(ImageStoreKey(1234567), "1234567");
}

// Reads an item as the layout describes it, without the codec.
struct RawItem {
    std::int32_t seqNo;
    int fileType;
    std::uint32_t serial;
    std::int32_t hash;
    int removable;
    int pathTag;
    QByteArray path;
    int memoTag;
    QByteArray memo;
    QByteArray bmp;
    QByteArray reserved;
};

RawItem readRawItem(const QByteArray& v)
{
    RawItem item{};
    const char* d = v.constData();
    item.seqNo = qFromLittleEndian<std::int32_t>(d);
    item.fileType = static_cast<unsigned char>(d[4]);
    item.serial = qFromLittleEndian<std::uint32_t>(d + 5);
    item.hash = qFromLittleEndian<std::int32_t>(d + 9);
    item.removable = d[13];
    qsizetype at = 14;
    auto tagged = [&](int& tag, QByteArray& text) {
        tag = static_cast<unsigned char>(d[at]);
        qsizetype length = 0;
        if (tag == 6) {
            length = static_cast<unsigned char>(d[at + 1]);
            at += 2;
        } else {
            length = qFromLittleEndian<std::uint32_t>(d + at + 1);
            at += 5;
        }
        text = v.mid(at, length);
        at += length;
    };
    tagged(item.pathTag, item.path);
    tagged(item.memoTag, item.memo);
    const auto n = qFromLittleEndian<std::uint16_t>(d + at);
    item.bmp = v.mid(at + 2, n);
    item.reserved = v.mid(at + 2 + n);
    return item;
}

TEST(ImageItem, IsWrittenFieldByFieldInTheStoredLayout)
{
    TImageElement record;
    record.IT_SeqNo = 42;
    record.IT_FileType = 3;
    record.IT_VolumeSerial = 0x1A2B3C4D;
    record.IT_Path = QByteArray("/media/stick/Photo \xc3\xa9.jpg");
    record.IT_PathHash = PathChecksum(record.IT_Path);
    record.IT_Removable = true;
    record.IT_Memo = QStringLiteral(" holiday ");
    record.IT_Bitmap = smallThumbnail();

    const RawItem raw = readRawItem(encodeImageItem(record));
    EXPECT_EQ(raw.seqNo, 42);
    EXPECT_EQ(raw.fileType, 3);
    EXPECT_EQ(raw.serial, 0x1A2B3C4Du);
    EXPECT_EQ(raw.hash, record.IT_PathHash);
    EXPECT_EQ(raw.removable, 1);
    EXPECT_EQ(raw.pathTag, 6);
    EXPECT_EQ(raw.path, QByteArray("/media/stick/Photo \xc3\xa9.jpg"));
    EXPECT_EQ(raw.memoTag, 6);
    EXPECT_EQ(raw.memo, QByteArray(" holiday "));
    ASSERT_GE(raw.bmp.size(), 54);
    EXPECT_TRUE(raw.bmp.startsWith("BM"));
    EXPECT_EQ(qFromLittleEndian<std::uint32_t>(raw.bmp.constData() + 2), std::uint32_t(raw.bmp.size()));
    EXPECT_EQ(raw.reserved, QByteArray(2, '\0'));

    const TImageElement back = decodeImageItem(encodeImageItem(record));
    EXPECT_EQ(back.IT_Path, record.IT_Path);
    EXPECT_EQ(back.IT_Memo, record.IT_Memo);
    EXPECT_EQ(back.IT_Bitmap.size(), record.IT_Bitmap.size());
    EXPECT_EQ(back.IT_Bitmap.pixelColor(0, 0), QColor(Qt::white));
    EXPECT_EQ(back.IT_Bitmap.pixelColor(1, 1), QColor(200, 30, 90));
}

TEST(ImageItem, LongTextsUseTag12AndReadBackWhole)
{
    TImageElement record;
    record.IT_SeqNo = 1;
    record.IT_Path = "/p.bmp";
    record.IT_Memo = QString(300, QLatin1Char('m'));
    const QByteArray value = encodeImageItem(record);
    const RawItem raw = readRawItem(value);
    EXPECT_EQ(raw.memoTag, 12);
    EXPECT_EQ(raw.memo.size(), 300);
    EXPECT_EQ(decodeImageItem(value).IT_Memo, record.IT_Memo);

    record.IT_Memo = QString(255, QLatin1Char('m'));
    EXPECT_EQ(readRawItem(encodeImageItem(record)).memoTag, 6);
}

TEST(ImageItem, ThumbnailsBeyond65535BytesAreRefused)
{
    TImageElement record;
    record.IT_Path = "/big.bmp";
    record.IT_Bitmap = smallThumbnail(200, 200); // 120,054 bytes as a 24-bit BMP
    EXPECT_THROW(encodeImageItem(record), EImageItemError);
    record.IT_Bitmap = smallThumbnail(60, 60);
    EXPECT_NO_THROW(encodeImageItem(record));
}

TEST(ImageItem, DamagedValuesGiveAClearErrorAndNeverReadPastTheEnd)
{
    TImageElement record;
    record.IT_SeqNo = 9;
    record.IT_Path = "/a/b.png";
    record.IT_Memo = QStringLiteral("memo");
    record.IT_Bitmap = smallThumbnail(8, 8);
    const QByteArray value = encodeImageItem(record);

    // Every cut short of the thumbnail's end fails cleanly; the reserved bytes may be missing.
    for (qsizetype length = 0; length < value.size() - 2; ++length)
        EXPECT_THROW(decodeImageItem(QByteArrayView(value).first(length)), EImageItemError) << length;
    EXPECT_EQ(decodeImageItem(QByteArrayView(value).first(value.size() - 2)).IT_Memo, QStringLiteral("memo"));

    QByteArray badTag = value;
    badTag[14] = 7;
    EXPECT_THROW(decodeImageItem(badTag), EImageItemError);

    QByteArray hugeLength = value;
    hugeLength[14] = 12;
    qToLittleEndian<std::uint32_t>(0xFFFFFFF0u, hugeLength.data() + 15);
    EXPECT_THROW(decodeImageItem(hugeLength), EImageItemError);
}

TEST(ImageItem, PathsKeepTheirBytesAndDisplayAsUtf8OrElseWindows1252)
{
    TImageElement record;
    record.IT_SeqNo = 3;
    record.IT_Path = QByteArray("/pics/gr\xf6\xdf"
                                "e caf\xe9.gif");
    record.IT_PathHash = PathChecksum(record.IT_Path);
    const QByteArray value = encodeImageItem(record);
    const TImageElement back = decodeImageItem(value);
    EXPECT_EQ(back.IT_Path, record.IT_Path);
    EXPECT_EQ(encodeImageItem(back), value);
    EXPECT_EQ(displayPath(back.IT_Path), QString::fromUtf8("/pics/größe café.gif"));
    EXPECT_EQ(fileNamePart(back.IT_Path), QString::fromUtf8("größe café.gif"));

    const QByteArray utf8("/pics/gr\xc3\xb6\xc3\x9f"
                          "e.gif");
    EXPECT_EQ(fileNamePart(utf8), QString::fromUtf8("größe.gif"));
    EXPECT_EQ(localPath(utf8), QString::fromUtf8("/pics/größe.gif"));
    EXPECT_EQ(fileNamePart(QByteArray("no-separator.png")), QStringLiteral("no-separator.png"));
}

TEST(ImageItem, MemosThatAreNotUtf8ReadAsWindows1252)
{
    QByteArray value("\x01\0\0\0\x03\0\0\0\0\0\0\0\0\0\x06\x02/x\x06\x04\x80 \xe9\x93\0\0\0\0", 28);
    const TImageElement record = decodeImageItem(value);
    EXPECT_EQ(record.IT_Memo, QString::fromUtf8("€ é“"));
    EXPECT_TRUE(record.IT_Bitmap.isNull());
}

} // namespace
} // namespace glimmora
