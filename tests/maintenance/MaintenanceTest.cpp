// The maintenance operations of the catalogue on real scrapbooks: images not on disk, empty
// categories, the integrity check, deleting a removable disk, the grid's texts and the
// reorganisation.

#include "CatalogFixture.h"
#include "ScrapbookWriter.h"

#include "catalog/Maintenance.h"
#include "catalog/RemoveableMediaList.h"
#include "catalog/Scrapbook.h"
#include "platform/Volumes.h"

#include <gtest/gtest.h>

#include <map>

namespace glimmora {
namespace {

namespace fs = std::filesystem;
using test::qpath;

class Maintenance : public ::testing::Test {
protected:
    void write(const QList<test::ImageSpec>& images, const QStringList& emptyCategories = {})
    {
        test::writeScrapbook(base, images, emptyCategories);
    }

    std::unique_ptr<TScrapbook> open()
    {
        return std::make_unique<TScrapbook>(qpath(dir.path()), TScrapbook::Access::ReadWrite);
    }

    // Every stored record, by number, as the store reads it back.
    static std::map<std::int32_t, TImageElement> records(TScrapbook& scrapbook)
    {
        std::map<std::int32_t, TImageElement> all;
        TImageElementForm& images = scrapbook.images();
        for (auto record = images.FirstImage(); record; record = images.NextImage())
            all.emplace(record->IT_SeqNo, *record);
        images.EndReadPass();
        return all;
    }

    static QList<std::int32_t> numbers(TScrapbook& scrapbook) { return scrapbook.images().StoredImageNumbers(); }

    QString path(const char* relative) const { return qpath(dir / relative); }

    test::ScratchDir dir;
    QString base = qpath(dir / "Default");
};

TEST_F(Maintenance, AHealthyScrapbookGivesTheTwoZeroCounts)
{
    write({{"/p/oak.jpg", {"trees"}}, {"/p/rose.png", {"garden"}}});
    const auto scrapbook = open();
    QStringList statuses;
    MaintenanceObserver observer;
    observer.status = [&](const QString& text) { statuses.append(text); };
    const IntegrityResult result = CheckIntegrity(*scrapbook, observer);
    EXPECT_EQ(integrityMessage(result), "0 images in unknown categories were moved to the (unassigned) category.\r"
                                        "0 orphaned images were moved to the (unassigned) category.");
    const QStringList onePass = {kOrphanedCorrespondencesStatus, QString(), kOrphanedImagesStatus, QString()};
    EXPECT_EQ(statuses, onePass + onePass);
}

TEST_F(Maintenance, LostImagesAndMembershipsGoToUnassignedAndAreCountedOnce)
{
    write({{"/p/oak.jpg", {"trees"}}, {"/p/birch.jpg", {"trees", "garden"}}, {"/p/rose.png", {"garden"}}});
    const auto scrapbook = open();
    TCorrespondences& memberships = scrapbook->memberships();
    // Image 1 loses its only membership; image 2 is also in a category that does not exist; a
    // membership of a category and an image that both do not exist is dropped too.
    memberships.RemoveMembership(1, 1);
    memberships.AddMembership(7, 2);
    memberships.AddMembership(8, 99);
    const IntegrityResult result = CheckIntegrity(*scrapbook);
    EXPECT_EQ(result.imagesInUnknownCategories, 2);
    EXPECT_EQ(result.orphanedImages, 1);
    EXPECT_TRUE(result.error.isEmpty());
    const std::int32_t unassigned = scrapbook->categories().UnassignedId();
    EXPECT_EQ(memberships.CategoriesOfImage(1), QList<std::int32_t>{unassigned});
    EXPECT_EQ(memberships.CategoriesOfImage(2), (QList<std::int32_t>{1, 2, unassigned}));
    EXPECT_FALSE(memberships.ImageHasCategory(99));
}

// Where a missing file lies decides whether its record goes. The fake table mounts "present"
// (the volume the records were added from), "changed" (another volume now) and a removable
// stick; "unmounted" is on no volume of its own, so the root volume holds it.
TEST_F(Maintenance, OnlyFilesMissingFromTheirOwnPresentVolumeAreDeleted)
{
    ScopedFakeVolumes volumes;
    volumes.addVolume({"/", 0xAAAA0000u, "root"});
    volumes.addVolume({path("present"), 0x1111u, "disk"});
    volumes.addVolume({path("changed"), 0x3333u, "other"});
    volumes.addVolume({path("stick"), 0x5555u, "STICK", DriveType::Removable});
    test::writePicture(dir / "present" / "kept.png");
    auto on = [](QString file, std::uint32_t serial, bool removable = false) {
        test::ImageSpec image(std::move(file), {"all"});
        image.serial = serial;
        image.removable = removable;
        return image;
    };
    // The first two in store order are both gone: the one after a deleted first record is
    // examined too.
    write({on(path("present/gone.png"), 0x1111u), on(path("present/gone-dir/x.png"), 0x1111u),
           on(path("present/kept.png"), 0x1111u), on(path("unmounted/photo.png"), 0x2222u),
           on(path("changed/photo.png"), 0x2222u), on(path("stick/photo.png"), 0x5555u, true),
           on(path("present/also-gone.png"), 0x1111u)});
    const auto scrapbook = open();
    int lastDone = 0;
    MaintenanceObserver observer;
    observer.progress = [&](int done, int total) {
        lastDone = done;
        EXPECT_EQ(total, 7);
    };
    const MissingImagesResult result = DeleteImagesNotOnDisk(*scrapbook, observer);
    EXPECT_EQ(result.deleted, 3);
    EXPECT_EQ(result.keptOnAbsentVolumes, 2);
    EXPECT_EQ(lastDone, 7);
    EXPECT_EQ(missingImagesMessage(result),
              "3 items were deleted from the scrapbook. 2 images whose files were not found are on a volume that is "
              "not present and were kept.");
    EXPECT_EQ(numbers(*scrapbook), (QList<std::int32_t>{3, 4, 5, 6}));
    EXPECT_FALSE(scrapbook->memberships().ImageHasCategory(1));
    EXPECT_FALSE(scrapbook->images().KnownImageNumber(path("present/gone.png")));

    scrapbook->save();
    EXPECT_EQ(TCorrespondences(base + ".cor").pairs(), (QList<Membership>{{1, 3}, {1, 4}, {1, 5}, {1, 6}}));
}

TEST_F(Maintenance, AStopKeepsWhatWasNotExamined)
{
    ScopedFakeVolumes volumes;
    volumes.addVolume({"/", 0x1111u, "root"});
    QList<test::ImageSpec> images;
    for (const char* name : {"a.png", "b.png", "c.png"}) {
        images.append(test::ImageSpec(path(name), {"all"}));
        images.back().serial = 0x1111u;
    }
    write(images);
    const auto scrapbook = open();
    MaintenanceObserver observer;
    int examined = 0;
    observer.progress = [&](int done, int) { examined = done; };
    observer.stopRequested = [&] { return examined == 2; };
    const MissingImagesResult result = DeleteImagesNotOnDisk(*scrapbook, observer);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.deleted, 2);
    EXPECT_EQ(numbers(*scrapbook), QList<std::int32_t>{3});
    EXPECT_EQ(missingImagesMessage(result),
              "2 items were deleted from the scrapbook. The search was stopped before its end.");
}

TEST_F(Maintenance, EmptyCategoriesGoButUnassignedStays)
{
    write({{"/p/oak.jpg", {"trees"}}}, {"lakes", "roads"});
    const auto scrapbook = open();
    TCategories& categories = scrapbook->categories();
    test::RecordingView window(categories);
    categories.AttachWindow(*categories.FindOrAddCategory("roads", true).first, window);

    EXPECT_EQ(DeleteEmptyCategories(categories), 2);
    EXPECT_TRUE(window.closed);
    QStringList left;
    for (const TCategory* category : categories.FillCategoryList())
        left.append(category->CategoryName);
    EXPECT_EQ(left, (QStringList{"(unassigned)", "trees"}));
    EXPECT_EQ(DeleteEmptyCategories(categories), 0);
    EXPECT_EQ(emptyCategoriesMessage(0), "0 categories were deleted from the scrapbook.");
}

TEST_F(Maintenance, DeletingADiskDeletesExactlyItsRemovableImages)
{
    auto on = [](const char* file, std::uint32_t serial, bool removable) {
        test::ImageSpec image(QString::fromUtf8(file), {"all"});
        image.serial = serial;
        image.removable = removable;
        return image;
    };
    write({on("/media/cd/a.jpg", 0x5555u, true), on("/home/u/b.jpg", 0x5555u, false),
           on("/media/cd/c.jpg", 0x5555u, true), on("/media/other/d.jpg", 0x6666u, true)});
    test::writeFile(
        dir / "Default.rmv",
        encodeRemoveableMedia({{0x5555u, "CD", '/', "holiday"}, {0x6666u, "OTHER", '/', "work"}}).toStdString());
    const auto scrapbook = open();
    EXPECT_EQ(DeleteRemoveableDisk(*scrapbook, 0x5555u), 2);
    EXPECT_EQ(numbers(*scrapbook), (QList<std::int32_t>{2, 4}));
    // Saved in order: the store and the memberships, then the registry.
    EXPECT_EQ(TCorrespondences(base + ".cor").pairs(), (QList<Membership>{{1, 2}, {1, 4}}));
    EXPECT_EQ(decodeRemoveableMedia(QByteArray::fromStdString(test::readFile(dir / "Default.rmv"))),
              (QList<TRemoveableMedium>{{0x6666u, "OTHER", '/', "work"}}));
    // A disk whose images are already gone is simply removed.
    EXPECT_EQ(DeleteRemoveableDisk(*scrapbook, 0x6666u), 1);
    EXPECT_EQ(DeleteRemoveableDisk(*scrapbook, 0x6666u), 0);
    EXPECT_TRUE(scrapbook->disks().isEmpty());
}

TEST(DiskTexts, SerialNumbersInHexAndSignedDecimalAndTheDriveWhereItIsMounted)
{
    ScopedFakeVolumes volumes;
    volumes.addVolume({"/media/u/STICK", 0x1A2B3C4Du, "STICK", DriveType::Removable});
    const QList<TRemoveableMedium> disks = {
        {0x1A2B3C4Du, "STICK", '/', "photos"},
        {0xFFFFFFFFu, "", 'd', "unreadable"},
        {0x0000ABCDu, "FLOPPY", 'a', "old"},
        {0x80000000u, "", '\0', "lowest"},
    };
    const QList<DiskTexts> texts = diskTexts(disks);
    ASSERT_EQ(texts.size(), 4);
    const struct {
        const char* drive;
        const char* hex;
        const char* decimal;
    } expected[] = {{"/media/u/STICK", "1A2B-3C4D", "439041101"},
                    {"d", "FFFF-FFFF", "-1"},
                    {"a", "0000-ABCD", "43981"},
                    {"", "8000-0000", "-2147483648"}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(texts[i].drive, expected[i].drive) << i;
        EXPECT_EQ(texts[i].serialHex, expected[i].hex) << i;
        EXPECT_EQ(texts[i].serialSigned, expected[i].decimal) << i;
        EXPECT_EQ(texts[i].description, disks[i].description) << i;
    }
}

TEST(DiskTexts, SerialNumbersAreReadAsShownOrAsDecimals)
{
    const struct {
        const char* text;
        std::optional<std::uint32_t> serial;
    } cases[] = {
        {"1A2B-3C4D", 0x1A2B3C4Du},    {"ffff-ffff", 0xFFFFFFFFu},
        {"-1", 0xFFFFFFFFu},           {"439041101", 0x1A2B3C4Du},
        {"4294967295", 0xFFFFFFFFu},   {"4294967296", std::nullopt},
        {"-2147483649", std::nullopt}, {"1A2B3C4D", std::nullopt},
        {"12G4-0000", std::nullopt},   {"", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseSerialNumber(QString::fromUtf8(c.text)), c.serial) << c.text;
}

// A scrapbook whose store holds dead space: records changed and deleted since it was written.
TEST_F(Maintenance, ReorganizingLeavesNoDeadSpaceAndEveryRecordUnchanged)
{
    QList<test::ImageSpec> images;
    for (int i = 0; i < 30; ++i)
        images.append(test::ImageSpec(QStringLiteral("/p/picture%1.jpg").arg(i), {i % 2 ? "odd" : "even"},
                                      QStringLiteral(" memo %1 ").arg(i)));
    write(images);
    auto scrapbook = open();
    for (auto& [seqNo, record] : records(*scrapbook)) {
        if (seqNo % 5 == 0) {
            scrapbook->images().DeleteImage(record);
        } else if (seqNo % 5 == 1) {
            record.IT_Memo = QStringLiteral(" a longer memo than before, %1 ").arg(seqNo);
            scrapbook->images().WriteImage(record);
        }
    }
    scrapbook->save();
    const auto before = records(*scrapbook);
    auto deadSpace = [&] {
        const test::StoreFile store = test::readStoreFile(dir / "Default.idb");
        std::int64_t live = 0;
        for (const auto& entries : {store.admin, store.items})
            for (const test::StoreEntry& entry : entries)
                live += entry.value.size();
        return store.dataLength - live;
    };
    ASSERT_GT(deadSpace(), 0);

    QList<std::pair<TScrapbook::Part, int>> steps;
    scrapbook->reorganize([&](TScrapbook::Part part, int percent) {
        if (percent == 0 || percent == 100)
            steps.append({part, percent});
    });
    EXPECT_EQ(deadSpace(), 0);
    EXPECT_EQ(records(*scrapbook), before);
    using P = TScrapbook::Part;
    EXPECT_EQ(steps, (QList<std::pair<P, int>>{{P::ImageStore, 0},
                                               {P::ImageStore, 100},
                                               {P::Memberships, 0},
                                               {P::Memberships, 100},
                                               {P::Categories, 0},
                                               {P::Categories, 100}}));
    scrapbook.reset();
    EXPECT_EQ(records(*open()), before);
}

} // namespace
} // namespace glimmora
