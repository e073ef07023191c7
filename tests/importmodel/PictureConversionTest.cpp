// Converting a picture into a new file that joins the scrapbook: which conversions an image is
// offered, the names proposed, the format a name gets, the image's own file kept safe, and what
// a conversion leaves behind when it succeeds and when it fails.

#include "CatalogFixture.h"

#include "catalog/RemoveableMediaList.h"
#include "import/PictureConversion.h"
#include "platform/Volumes.h"
#include "store/FileSeam.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace glimmora {
namespace {

using namespace test;
namespace fs = std::filesystem;

TEST(Conversions, AnImageIsOfferedEveryConversionButIntoItsOwnType)
{
    const struct {
        const char* path;
        bool bitmap, metafile, jpeg, gif;
    } cases[] = {
        {"/p/leaf.gif", true, true, true, false}, {"/p/leaf.BMP", false, true, true, true},
        {"/p/leaf.jpg", true, true, false, true}, {"/p/leaf.wmf", true, false, true, true},
        {"/p/leaf.emf", true, true, true, true},  {"/p/leaf.png", true, true, true, true},
    };
    for (const auto& c : cases) {
        const QString path = QString::fromLatin1(c.path);
        EXPECT_EQ(isConversionOffered(Conversion::Bitmap, path), c.bitmap) << c.path;
        EXPECT_EQ(isConversionOffered(Conversion::Metafile, path), c.metafile) << c.path;
        EXPECT_EQ(isConversionOffered(Conversion::Jpeg, path), c.jpeg) << c.path;
        EXPECT_EQ(isConversionOffered(Conversion::Gif, path), c.gif) << c.path;
    }
}

TEST(Conversions, TheProposedNameIsTheImagesWithTheNewExtension)
{
    EXPECT_EQ(proposedFileName(QStringLiteral("/p/tree.bmp"), QStringLiteral("jpg")), QStringLiteral("tree.jpg"));
    EXPECT_EQ(proposedFileName(QStringLiteral("/p/sunset.jpeg"), QStringLiteral("bmp")), QStringLiteral("sunset.bmp"));
    EXPECT_EQ(proposedFileName(QStringLiteral("/p/a.b.png"), QStringLiteral("gif")), QStringLiteral("a.b.gif"));
    EXPECT_EQ(conversionKind(Conversion::Jpeg).description, QStringLiteral("JPEG Image (.jpg)"));
}

TEST(Conversions, AMetafileNamedWmfIsAWindowsMetafileAndAnyOtherAnEnhancedOne)
{
    EXPECT_EQ(fileFormatOf(Conversion::Metafile, QStringLiteral("/p/a.WMF")), PictureFileFormat::WindowsMetafile);
    EXPECT_EQ(fileFormatOf(Conversion::Metafile, QStringLiteral("/p/a.emf")), PictureFileFormat::EnhancedMetafile);
    EXPECT_EQ(fileFormatOf(Conversion::Metafile, QStringLiteral("/p/a.pic")), PictureFileFormat::EnhancedMetafile);
    EXPECT_EQ(fileFormatOf(Conversion::Gif, QStringLiteral("/p/a.wmf")), PictureFileFormat::Gif);
}

TEST(Conversions, TheImagesOwnFileUnderAnyNameIsRefused)
{
    ScratchDir dir;
    writeFile(dir / "tree.jpeg", "picture");
    writeFile(dir / "other.jpg", "picture");
    fs::create_symlink(dir / "tree.jpeg", dir / "link.jpg");
    fs::create_hard_link(dir / "tree.jpeg", dir / "hard.jpg");
    const QString own = qpath(dir / "tree.jpeg");
    for (const char* name : {"tree.jpeg", "link.jpg", "hard.jpg"})
        EXPECT_FALSE(ownFileRefusal(own, qpath(dir / name)).isEmpty()) << name;
    for (const char* name : {"other.jpg", "new.jpg"})
        EXPECT_TRUE(ownFileRefusal(own, qpath(dir / name)).isEmpty()) << name;
}

class Converting : public testing::Test {
protected:
    Converting()
    {
        volumes.addVolume({QStringLiteral("/"), 7, QString(), DriveType::Fixed});
        disks.Load();
        picture.fill(Qt::red);
    }

    ConversionOutcome convert(const char* name, const QString& categoryName, Conversion conversion)
    {
        const QString target = qpath(pictures / name);
        TCategory& category = *catalog.categories.FindOrAddCategory(categoryName, false).first;
        return ConvertPicture({catalog.images, catalog.categories, disks, loader, prompt}, picture,
                              fileFormatOf(conversion, target), target, {&category});
    }

    QStringList categoriesOfPath(const fs::path& file)
    {
        const FindOrAddResult found = catalog.images.FindOrAddImage(qpath(file), loader);
        return found.record ? catalog.categoryNamesOf(found.record->IT_SeqNo) : QStringList();
    }

    class NoPrompt : public DiskDescriptionPrompt {
        QString askDescription(const NewDiskDetails&) override { return QStringLiteral("disk"); }
    };

    ScratchDir dir;
    ScratchDir pictureDir;
    fs::path pictures = pictureDir.path();
    ScopedFakeVolumes volumes;
    Catalog catalog{dir.path()};
    TRemoveableMediaList disks{catalog.base + ".rmv"};
    QImageThumbnails loader;
    NoPrompt prompt;
    QImage picture{80, 50, QImage::Format_RGB32};
};

TEST_F(Converting, TheNewFileJoinsTheCategoryAndInUnassignedStaysThere)
{
    const ConversionOutcome toBitmap = convert("tree.bmp", QStringLiteral("trees"), Conversion::Bitmap);
    ASSERT_FALSE(toBitmap.failed()) << toBitmap.failure.toStdString();
    EXPECT_EQ(toBitmap.added.result, AddFileOutcome::Result::Added);
    EXPECT_TRUE(toBitmap.added.newRecord);
    EXPECT_EQ(QImage(qpath(pictures / "tree.bmp")).pixel(40, 25), qRgb(255, 0, 0));
    EXPECT_EQ(categoriesOfPath(pictures / "tree.bmp"), QStringList{"trees"});

    ASSERT_FALSE(convert("tree.gif", kUnassignedName, Conversion::Gif).failed());
    EXPECT_EQ(categoriesOfPath(pictures / "tree.gif"), QStringList{kUnassignedName});
}

TEST_F(Converting, AFailedWriteLeavesNoFileAndAddsNothing)
{
    const ConversionOutcome outcome = convert("no such folder/tree.jpg", QStringLiteral("trees"), Conversion::Jpeg);
    EXPECT_TRUE(outcome.failure.startsWith(
        QStringLiteral("The picture could not be written to %1: ").arg(qpath(pictures / "no such folder/tree.jpg"))))
        << outcome.failure.toStdString();
    EXPECT_TRUE(catalog.memberships.pairs().isEmpty());
    EXPECT_TRUE(fs::is_empty(pictures));
}

TEST_F(Converting, AFileTheScrapbookCannotStoreIsNotKept)
{
    store::ScopedFaultHook hook([](store::FileOperation operation, const std::string& path) {
        return fs::path(path).extension() == ".idb" && operation == store::FileOperation::Open ? EACCES : 0;
    });
    const ConversionOutcome outcome = convert("tree.bmp", QStringLiteral("trees"), Conversion::Bitmap);
    EXPECT_TRUE(
        outcome.failure.startsWith(QStringLiteral("%1 could not be added to the scrapbook, so it was not kept: ")
                                       .arg(qpath(pictures / "tree.bmp"))))
        << outcome.failure.toStdString();
    EXPECT_FALSE(fs::exists(pictures / "tree.bmp"));
}

TEST_F(Converting, ReplacingAFileTheScrapbookKnowsGivesItsRecordTheNewThumbnail)
{
    writePicture(pictures / "tree.gif", Qt::darkGreen);
    const std::int32_t seqNo = catalog.images.FindOrAddImage(qpath(pictures / "tree.gif"), loader).record->IT_SeqNo;

    const ConversionOutcome outcome = convert("tree.gif", QStringLiteral("trees"), Conversion::Gif);
    ASSERT_FALSE(outcome.failed());
    EXPECT_FALSE(outcome.added.newRecord);
    EXPECT_EQ(catalog.images.ReadImage(seqNo)->IT_Bitmap.pixel(10, 10), qRgb(255, 0, 0));
}

} // namespace
} // namespace glimmora
