// Adding a file to the scrapbook and a category as a category window takes one: shortcuts,
// files passed over, the scrapbook's refusal, "(unassigned)", windows and removable disks.

#include "CatalogFixture.h"

#include "catalog/AddFileToCategory.h"
#include "catalog/RemoveableMediaList.h"
#include "platform/Volumes.h"

#include <gtest/gtest.h>

namespace glimmora {
namespace {

using namespace test;
namespace fs = std::filesystem;
using Result = AddFileOutcome::Result;

class RecordingPrompt : public DiskDescriptionPrompt {
public:
    QString askDescription(const NewDiskDetails& disk) override
    {
        asked.append(disk);
        return QStringLiteral("holiday card");
    }
    QList<NewDiskDetails> asked;
};

class AddingAFile : public testing::Test {
protected:
    AddingAFile()
    {
        volumes.addVolume({QStringLiteral("/"), 7, QString(), DriveType::Fixed});
        disks.Load();
        writePicture(pictures / "oak.png");
    }

    AddFileOutcome add(const QString& categoryName, const fs::path& file, bool keepInUnassigned)
    {
        return AddFileToCategory({catalog.images, catalog.categories, disks, loader, prompt}, category(categoryName),
                                 qpath(file), keepInUnassigned);
    }

    TCategory& category(const QString& name)
    {
        if (name == kSearchResultsName)
            return *catalog.categories.searchResults();
        return *catalog.categories.FindOrAddCategory(name, false).first;
    }

    QStringList categoriesOf(std::int32_t seqNo) const { return catalog.categoryNamesOf(seqNo); }

    ScratchDir dir;
    ScratchDir pictureDir;
    fs::path pictures = pictureDir.path();
    ScopedFakeVolumes volumes;
    Catalog catalog{dir.path()};
    TRemoveableMediaList disks{catalog.base + ".rmv"};
    QImageThumbnails loader;
    RecordingPrompt prompt;
};

TEST_F(AddingAFile, ANewPictureBecomesARecordAtTheEndOfEveryWindowOfTheCategory)
{
    writePicture(pictures / "ash.png");
    add(QStringLiteral("trees"), pictures / "ash.png", true);
    RecordingView first(catalog.categories);
    RecordingView second(catalog.categories);
    catalog.categories.AttachWindow(category(QStringLiteral("trees")), first);
    catalog.categories.AttachWindow(category(QStringLiteral("trees")), second);

    const AddFileOutcome outcome = add(QStringLiteral("trees"), pictures / "oak.png", true);
    ASSERT_EQ(outcome.result, Result::Added);
    EXPECT_TRUE(outcome.newRecord);
    EXPECT_EQ(outcome.path, qpath(pictures / "oak.png"));
    EXPECT_EQ(outcome.record->IT_Bitmap.size(), QSize(60, 37));
    for (const RecordingView* window : {&first, &second}) {
        EXPECT_EQ(window->itemTexts(), (QStringList{"ash.png", "oak.png"}));
        EXPECT_EQ(window->statusText, QStringLiteral("2 images"));
    }
    EXPECT_EQ(categoriesOf(outcome.record->IT_SeqNo), QStringList{"trees"});
    first.closeView();
    second.closeView();
}

TEST_F(AddingAFile, UnassignedIsLeftOnlyWhenTheFileNeedNotStayThere)
{
    const std::int32_t oak = add(kUnassignedName, pictures / "oak.png", true).record->IT_SeqNo;
    EXPECT_EQ(categoriesOf(oak), QStringList{kUnassignedName}) << "added in (unassigned), it stays there";

    add(QStringLiteral("trees"), pictures / "oak.png", true);
    EXPECT_EQ(categoriesOf(oak), (QStringList{kUnassignedName, "trees"}));
    add(QStringLiteral("garden"), pictures / "oak.png", false);
    EXPECT_EQ(categoriesOf(oak), (QStringList{"trees", "garden"}));
}

TEST_F(AddingAFile, AFileAddedInTheSearchResultsGoesToUnassigned)
{
    const AddFileOutcome outcome = add(kSearchResultsName, pictures / "oak.png", false);
    EXPECT_EQ(categoriesOf(outcome.record->IT_SeqNo), QStringList{kUnassignedName});
}

TEST_F(AddingAFile, AShortcutAddsThePictureItLeadsTo)
{
    fs::create_symlink(pictures / "oak.png", dir / "oak-link.png");
    test::writeFile(dir / "oak.desktop",
                    "[Desktop Entry]\nType=Link\nURL=file://" + (pictures / "oak.png").string() + "\n");
    const AddFileOutcome byLink = add(QStringLiteral("trees"), dir / "oak-link.png", true);
    const AddFileOutcome byDesktopLink = add(QStringLiteral("trees"), dir / "oak.desktop", true);
    ASSERT_EQ(byLink.result, Result::Added);
    ASSERT_EQ(byDesktopLink.result, Result::Added);
    EXPECT_EQ(byLink.record->IT_Path, qpath(pictures / "oak.png"));
    EXPECT_EQ(byDesktopLink.record->IT_SeqNo, byLink.record->IT_SeqNo);
    EXPECT_FALSE(byDesktopLink.newRecord);
}

TEST_F(AddingAFile, FilesOfNoPictureTypeAndBrokenShortcutsArePassedOverSilently)
{
    test::writeFile(pictures / "notes.txt", "text");
    fs::create_symlink(pictures / "gone.png", pictures / "dangling.png");
    for (const char* name : {"notes.txt", "dangling.png"}) {
        const AddFileOutcome outcome = add(QStringLiteral("trees"), pictures / name, true);
        EXPECT_EQ(outcome.result, Result::PassedOver) << name;
        EXPECT_FALSE(outcome.record);
    }
    EXPECT_TRUE(catalog.memberships.pairs().isEmpty());
}

TEST_F(AddingAFile, APictureTheScrapbookCannotReadIsRefusedWithThePathAndTheReason)
{
    test::writeFile(pictures / "broken.png", "no picture");
    const AddFileOutcome outcome = add(QStringLiteral("trees"), pictures / "broken.png", true);
    EXPECT_EQ(outcome.result, Result::Refused);
    EXPECT_EQ(outcome.loadErrorText(),
              qpath(pictures / "broken.png") + "\nCannot read the picture " + qpath(pictures / "broken.png"));
    EXPECT_TRUE(catalog.memberships.pairs().isEmpty());
}

TEST_F(AddingAFile, AFileOnARemovableDiskRegistersTheDiskOnce)
{
    volumes.addVolume({qpath(pictures), 0x1A2B3C4D, QStringLiteral("CAMERA"), DriveType::Removable});
    writePicture(pictures / "ash.png");
    add(QStringLiteral("trees"), pictures / "oak.png", true);
    add(QStringLiteral("trees"), pictures / "ash.png", true);

    ASSERT_EQ(prompt.asked.size(), 1);
    EXPECT_EQ(prompt.asked.first().label, QStringLiteral("CAMERA"));
    ASSERT_EQ(disks.disks().size(), 1);
    EXPECT_EQ(disks.disks().first().serialNumber, 0x1A2B3C4Du);
    EXPECT_EQ(disks.disks().first().description, QStringLiteral("holiday card"));
}

} // namespace
} // namespace glimmora
