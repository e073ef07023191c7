#include "CatalogFixture.h"

#include "catalog/ImageItemFormat.h"
#include "platform/Volumes.h"

// Qt
#include <QFile>
#include <QtEndian>

#include <gtest/gtest.h>

namespace glimmora {
namespace {

using namespace test;

std::int32_t int32Of(const QByteArray& bytes) { return qFromLittleEndian<std::int32_t>(bytes.constData()); }

class ImageStore : public ::testing::Test {
protected:
    ImageStore() { volumes.addVolume({QStringLiteral("/"), 0x12345678, QStringLiteral("root"), DriveType::Fixed}); }

    std::filesystem::path picture(const std::string& name, QColor colour = Qt::darkGreen)
    {
        const auto file = pictures / name;
        writePicture(file, colour);
        return file;
    }

    ScratchDir dir;
    ScratchDir pictures;
    ScopedFakeVolumes volumes;
    QImageThumbnails loader;
};

TEST_F(ImageStore, FirstRecordOfAnEmptyStoreIsNumberOneInTheStoredLayout)
{
    const auto file = picture("Red Rose.png", Qt::red);
    {
        Catalog catalog(dir.path());
        EXPECT_TRUE(catalog.images.ImageStoreEmpty());
        FindOrAddResult result = catalog.images.FindOrAddImage(qpath(file), loader);
        ASSERT_TRUE(result.record) << result.errorText.toStdString();
        EXPECT_TRUE(result.added);
        EXPECT_EQ(result.record->IT_SeqNo, 1);
        catalog.images.EndImagePass();
        EXPECT_FALSE(catalog.images.ImageStoreEmpty());
    }

    const StoreFile store = readStoreFile(dir / "Default.idb");
    ASSERT_TRUE(store.admin.contains("MAX_SEQ_NO"));
    EXPECT_EQ(int32Of(store.admin["MAX_SEQ_NO"].value), 1);
    ASSERT_EQ(store.itemKeysInFileOrder, QList<QByteArray>{"000001"});
    const QByteArray item = store.items["000001"].value;
    EXPECT_EQ(store.items["000001"].flags, 0u);
    const QByteArray path = QFile::encodeName(qpath(file));
    ASSERT_GT(item.size(), 16 + path.size());
    EXPECT_EQ(int32Of(item.mid(0, 4)), 1);
    EXPECT_EQ(item[4], char(25)); // png
    EXPECT_EQ(qFromLittleEndian<std::uint32_t>(item.constData() + 5), 0x12345678u);
    EXPECT_EQ(int32Of(item.mid(9, 4)), PathChecksum(path));
    EXPECT_EQ(item[13], char(0));
    EXPECT_EQ(item[14], char(6));
    EXPECT_EQ(item[15], char(path.size()));
    EXPECT_EQ(item.mid(16, path.size()), path);
    const qsizetype memo = 16 + path.size();
    EXPECT_EQ(item.mid(memo, 2), QByteArray("\x06\x00", 2));
    const auto bmpLength = qFromLittleEndian<std::uint16_t>(item.constData() + memo + 2);
    const QByteArray bmp = item.mid(memo + 4, bmpLength);
    EXPECT_TRUE(bmp.startsWith("BM"));
    EXPECT_EQ(QImage::fromData(bmp, "BMP").size(), QSize(80, 50).scaled(60, 60, Qt::KeepAspectRatio));
    EXPECT_EQ(QImage::fromData(bmp, "BMP").pixelColor(5, 5), QColor(Qt::red));
    EXPECT_EQ(item.size(), memo + 4 + bmpLength + 2);
}

TEST_F(ImageStore, SamePathWithBlanksFindsTheRecordAndEqualChecksumsAreToldApart)
{
    const auto ab = picture("ab.png");
    const auto ba = picture("ba.png");
    const auto abx = picture("c.png");
    const auto aby = picture("c.pnG"); // differs only in its last character
    ASSERT_EQ(PathChecksum(qpath(ab)), PathChecksum(qpath(ba)));
    ASSERT_EQ(PathChecksum(qpath(abx)), PathChecksum(qpath(aby)));

    Catalog catalog(dir.path());
    std::map<std::string, std::int32_t> numbers;
    for (const auto& file : {ab, ba, abx, aby}) {
        const FindOrAddResult result = catalog.images.FindOrAddImage(qpath(file), loader);
        ASSERT_TRUE(result.record && result.added);
        numbers[file.filename().string()] = result.record->IT_SeqNo;
    }
    EXPECT_EQ(numbers.size(), 4u);
    catalog.images.EndImagePass();
    catalog.images.FreePathIndex(); // as after a restart: rebuilt from the store

    loader.loaded.clear();
    for (const auto& file : {ab, ba, abx, aby}) {
        const FindOrAddResult again =
            catalog.images.FindOrAddImage(QStringLiteral("  \t") + qpath(file) + "  ", loader);
        ASSERT_TRUE(again.record);
        EXPECT_FALSE(again.added);
        EXPECT_EQ(again.record->IT_SeqNo, numbers[file.filename().string()]);
    }
    EXPECT_TRUE(loader.loaded.isEmpty()); // nothing was decoded again
    // Paths are case-sensitive here: another case is another file.
    EXPECT_EQ(catalog.images.FindOrAddImage(qpath(pictures / "AB.png"), loader).record, nullptr);
    catalog.images.EndImagePass();
}

TEST_F(ImageStore, NumbersAreNeverReusedAfterDeletingTheHighest)
{
    Catalog catalog(dir.path());
    const auto one = catalog.images.FindOrAddImage(qpath(picture("1.png")), loader);
    const auto two = catalog.images.FindOrAddImage(qpath(picture("2.png")), loader);
    ASSERT_EQ(two.record->IT_SeqNo, 2);
    catalog.images.DeleteImage(*two.record);
    EXPECT_EQ(catalog.images.ReadImage(2), nullptr);
    EXPECT_EQ(catalog.images.PathIndex(), (PathIndexMap{{one.record->IT_Path, 1}}));
    catalog.images.EndImagePass();

    const auto three = catalog.images.FindOrAddImage(qpath(picture("3.png")), loader);
    EXPECT_EQ(three.record->IT_SeqNo, 3);
    // The deleted path is a new image now.
    EXPECT_EQ(catalog.images.FindOrAddImage(qpath(pictures / "2.png"), loader).record->IT_SeqNo, 4);
    catalog.images.EndImagePass();
}

TEST_F(ImageStore, ALostOrStaleMaxSeqNoNeverReplacesAStoredRecord)
{
    const auto storedItem = [](std::int32_t seqNo, const char* path) {
        TImageElement record;
        record.IT_SeqNo = seqNo;
        record.IT_Path = path;
        record.IT_PathHash = PathChecksum(record.IT_Path);
        return encodeImageItem(record);
    };
    const QMap<QByteArray, QByteArray> items{{"000001", storedItem(1, "/old/one.png")},
                                             {"000002", storedItem(2, "/old/two.png")}};
    const struct {
        const char* name;
        QMap<QByteArray, QByteArray> admin;
    } cases[] = {
        {"lost", {}},
        {"stale", {{"MAX_SEQ_NO", QByteArray("\x01\x00\x00\x00", 4)}}},
    };
    for (const auto& c : cases) {
        writeFile(dir / "Default.idb", storeFileBytes(c.admin, items));
        Catalog catalog(dir.path());
        const FindOrAddResult added = catalog.images.FindOrAddImage(qpath(picture("new.png")), loader);
        ASSERT_TRUE(added.record && added.added) << c.name;
        EXPECT_EQ(added.record->IT_SeqNo, 3) << c.name;
        EXPECT_EQ(catalog.images.ReadImage(1)->IT_Path, QByteArray("/old/one.png")) << c.name;
        EXPECT_EQ(catalog.images.ReadImage(2)->IT_Path, QByteArray("/old/two.png")) << c.name;
        catalog.images.EndImagePass();
        EXPECT_EQ(int32Of(readStoreFile(dir / "Default.idb").admin["MAX_SEQ_NO"].value), 3) << c.name;
    }
}

TEST_F(ImageStore, NewNumbersAreNeverOnesAMembershipNamesAndEndAtTheLargestInt32)
{
    {
        Catalog catalog(dir.path());
        catalog.memberships.AddMembership(0, 1); // left by a store that lost its record 1
        EXPECT_EQ(catalog.images.FindOrAddImage(qpath(picture("a.png")), loader).record->IT_SeqNo, 2);
        catalog.images.EndImagePass();
    }

    const QByteArray largest("\xff\xff\xff\x7f", 4);
    writeFile(dir / "Default.idb", storeFileBytes({{"MAX_SEQ_NO", largest}}, {}));
    Catalog catalog(dir.path());
    try {
        catalog.images.FindOrAddImage(qpath(picture("b.png")), loader);
        ADD_FAILURE() << "an image number beyond the largest int32 was handed out";
    } catch (const EImageNumbersUsedUp& error) {
        EXPECT_EQ(QString::fromUtf8(error.what()),
                  QStringLiteral("No image can be added to the scrapbook %1: every image number up to 2147483647 has "
                                 "been given out.")
                      .arg(qpath(dir / "Default.idb")));
    }
    catalog.images.EndImagePass();
    const StoreFile store = readStoreFile(dir / "Default.idb");
    EXPECT_TRUE(store.items.isEmpty());
    EXPECT_EQ(store.admin["MAX_SEQ_NO"].value, largest);
}

TEST_F(ImageStore, AnUnloadableOrOversizedPictureLeavesNoRecord)
{
    writeFile(pictures / "broken.jpg", "not a picture");
    Catalog catalog(dir.path());
    const FindOrAddResult broken = catalog.images.FindOrAddImage(qpath(pictures / "broken.jpg"), loader);
    EXPECT_EQ(broken.record, nullptr);
    EXPECT_FALSE(broken.added);
    EXPECT_EQ(broken.errorText, QStringLiteral("Cannot read the picture ") + qpath(pictures / "broken.jpg"));

    loader.thumbnailSize = QSize(300, 300);
    const FindOrAddResult huge = catalog.images.FindOrAddImage(qpath(picture("huge.png")), loader);
    EXPECT_EQ(huge.record, nullptr);
    EXPECT_TRUE(huge.errorText.contains(QStringLiteral("too large"))) << huge.errorText.toStdString();
    catalog.images.EndImagePass();
    EXPECT_TRUE(catalog.images.ImageStoreEmpty());
    EXPECT_FALSE(std::filesystem::exists(dir / "Default.idb")) << "nothing was stored, so nothing was written";

    TImageElement record;
    record.IT_SeqNo = 5;
    record.IT_Bitmap = QImage(300, 300, QImage::Format_RGB32);
    EXPECT_THROW(catalog.images.WriteImage(record), EImageItemError);
    catalog.images.EndImagePass();
}

TEST_F(ImageStore, RemovableVolumeIdentityIsRecorded)
{
    ScratchDir stick;
    volumes.addVolume({qpath(stick.path()), 0xABCD0001, QStringLiteral("STICK"), DriveType::Removable});
    writePicture(stick / "p.png");
    Catalog catalog(dir.path());
    const auto result = catalog.images.FindOrAddImage(qpath(stick / "p.png"), loader);
    ASSERT_TRUE(result.record);
    EXPECT_TRUE(result.record->IT_Removable);
    EXPECT_EQ(result.record->IT_VolumeSerial, 0xABCD0001u);
    catalog.images.EndImagePass();
    const auto back = catalog.images.ReadImage(result.record->IT_SeqNo);
    EXPECT_TRUE(back->IT_Removable);
    EXPECT_EQ(back->IT_VolumeSerial, 0xABCD0001u);
    catalog.images.EndImagePass();
}

TEST_F(ImageStore, MemoSearchFindsLoweredSubstringsInStoreOrder)
{
    Catalog catalog(dir.path());
    const char* memos[] = {" Big Dog ", " cat ", " hotdog stand ", ""};
    for (int i = 0; i < 4; ++i) {
        auto result = catalog.images.FindOrAddImage(qpath(picture(std::to_string(i) + ".png")), loader);
        result.record->IT_Memo = QString::fromUtf8(memos[i]);
        catalog.images.WriteImage(*result.record);
    }
    catalog.images.EndImagePass();
    std::vector<std::int32_t> found;
    for (const auto& record : catalog.images.SearchMemos(QStringLiteral("  DOG ")))
        found.push_back(record->IT_SeqNo);
    EXPECT_EQ(found, (std::vector<std::int32_t>{1, 3}));
    EXPECT_TRUE(catalog.images.SearchMemos(QStringLiteral("   ")).empty());
    EXPECT_TRUE(catalog.images.SearchMemos(QStringLiteral("bird")).empty());
}

} // namespace
} // namespace glimmora
