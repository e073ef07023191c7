// glimmora-cli check, clean-missing, clean-empty, reorganize, disks and delete-disk: the windows'
// counts and texts, and the files saved when the command returns.

#include "CatalogFixture.h"
#include "ScrapbookWriter.h"

#include "catalog/RemoveableMediaList.h"
#include "catalog/Volume.h"

#include <gtest/gtest.h>

namespace glimmora {
namespace {

using test::qpath;

class MaintenanceCli : public ::testing::Test {
protected:
    test::ToolRun run(const std::string& arguments) const
    {
        return test::runTool("--data '" + dir.path().string() + "' " + arguments);
    }

    QList<std::int32_t> storedNumbers() const
    {
        TCorrespondences memberships(base + ".cor");
        TCategories categories(base + ".cat", memberships);
        TImageElementForm images(base + ".idb", categories, TImageElementForm::Access::ReadOnly);
        return images.StoredImageNumbers();
    }

    test::ScratchDir dir;
    QString base = qpath(dir / "Default");
};

TEST_F(MaintenanceCli, CheckAndCleanEmptyPrintTheWindowsMessages)
{
    test::writeScrapbook(base, {{"/p/oak.jpg", {"trees"}}}, {"lakes"});
    const test::ToolRun check = run("check");
    EXPECT_EQ(check.status, 0) << check.errors;
    EXPECT_EQ(check.output, "0 images in unknown categories were moved to the (unassigned) category.\n"
                            "0 orphaned images were moved to the (unassigned) category.\n");
    const test::ToolRun clean = run("clean-empty");
    EXPECT_EQ(clean.output, "1 categories were deleted from the scrapbook.\n");
    EXPECT_EQ(run("clean-empty").output, "0 categories were deleted from the scrapbook.\n");
    EXPECT_EQ(test::readFile(dir / "Default.cat").size(), 2u * 32u); // "(unassigned)" and "trees"
    EXPECT_EQ(run("check extra").status, 2);
}

// The scratch directory's own volume is present: a file missing from it is gone, while one whose
// record names another volume is kept.
TEST_F(MaintenanceCli, CleanMissingDeletesOnlyFilesGoneFromTheirPresentVolume)
{
    const std::uint32_t here = ReadVolumeInfo(qpath(dir.path())).serialNumber;
    test::writePicture(dir / "kept.png");
    auto on = [&](const char* name, std::uint32_t serial) {
        test::ImageSpec image(qpath(dir / name), {"all"});
        image.serial = serial;
        return image;
    };
    test::writeScrapbook(base, {on("kept.png", here), on("gone.png", here), on("elsewhere.png", here + 1)});
    const test::ToolRun clean = run("clean-missing");
    EXPECT_EQ(clean.status, 0) << clean.errors;
    EXPECT_EQ(clean.output, "1 items were deleted from the scrapbook. 1 images whose files were not found are on a "
                            "volume that is not present and were kept.\n");
    EXPECT_EQ(storedNumbers(), (QList<std::int32_t>{1, 3}));
}

TEST_F(MaintenanceCli, DisksAreListedAndADiskIsDeletedWithItsImages)
{
    test::ImageSpec onDisk("/media/cd/a.jpg", {"all"});
    onDisk.serial = 0xFFFFFFFFu;
    onDisk.removable = true;
    test::writeScrapbook(base, {onDisk, {"/home/u/b.jpg", {"all"}}});
    test::writeFile(dir / "Default.rmv", encodeRemoveableMedia({{0xFFFFFFFFu, "CD", 'q', "holiday \"96\""},
                                                                {0x1A2B3C4Du, "STICK", 'r', "work"}})
                                             .toStdString());
    EXPECT_EQ(run("disks").output, "q\tFFFF-FFFF\t-1\tCD\tholiday \"96\"\nr\t1A2B-3C4D\t439041101\tSTICK\twork\n");
    EXPECT_EQ(run("disks --json").output,
              R"([{"description":"holiday \"96\"","drive":"q","label":"CD","serial":4294967295},)"
              R"({"description":"work","drive":"r","label":"STICK","serial":439041101}])"
              "\n");

    const test::ToolRun unknown = run("delete-disk 1234-5678");
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(run("delete-disk disk").status, 2);
    const test::ToolRun deleted = run("delete-disk -1");
    EXPECT_EQ(deleted.status, 0) << deleted.errors;
    EXPECT_EQ(deleted.output, "The removeable disk \"holiday \"96\"\" and its 1 images were deleted from the "
                              "scrapbook.\n");
    EXPECT_EQ(storedNumbers(), QList<std::int32_t>{2});
    EXPECT_EQ(run("disks").output, "r\t1A2B-3C4D\t439041101\tSTICK\twork\n");
}

TEST_F(MaintenanceCli, ReorganizeKeepsEveryRecord)
{
    test::writeScrapbook(base, {{"/p/oak.jpg", {"trees"}, " old "}, {"/p/rose.png", {"garden"}}});
    const std::string listing = run("list").output;
    const test::ToolRun reorganized = run("reorganize");
    EXPECT_EQ(reorganized.status, 0) << reorganized.errors;
    EXPECT_EQ(reorganized.output, "Reorganization is complete.\n");
    EXPECT_EQ(run("list").output, listing);
}

} // namespace
} // namespace glimmora
