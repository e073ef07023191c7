#include "CatalogFixture.h"

#include "platform/Volumes.h"

#include <gtest/gtest.h>

namespace glimmora {
namespace {

using namespace test;

class CategoryImages : public ::testing::Test {
protected:
    CategoryImages() { volumes.addVolume({QStringLiteral("/"), 7, QString(), DriveType::Fixed}); }

    // Adds a picture file as a new image in the named categories.
    TImageElement addImage(Catalog& catalog, const std::string& name, const QStringList& categoryNames)
    {
        writePicture(pictures / name);
        FindOrAddResult result = catalog.images.FindOrAddImage(qpath(pictures / name), loader);
        EXPECT_TRUE(result.record) << result.errorText.toStdString();
        for (const QString& categoryName : categoryNames)
            catalog.categories.AddImageToCategory(*catalog.categories.FindOrAddCategory(categoryName, false).first,
                                                  *result.record);
        return *result.record;
    }

    TCategory& category(Catalog& catalog, const char* name)
    {
        return *catalog.categories.FindOrAddCategory(QString::fromUtf8(name), true).first;
    }

    ScratchDir dir;
    ScratchDir pictures;
    ScopedFakeVolumes volumes;
    QImageThumbnails loader;
};

TEST_F(CategoryImages, WindowsGetTheImagesNumberedCaptionsAndCounts)
{
    Catalog catalog(dir.path());
    addImage(catalog, "b.png", {"trees"});
    addImage(catalog, "a.png", {"trees"});
    const TImageElement oak = addImage(catalog, "oak.png", {"birds"});
    catalog.memberships.AddMembership(category(catalog, "trees").CategoryId, 99); // no such record
    catalog.images.EndImagePass();

    TCategory& trees = category(catalog, "trees");
    RecordingView first(catalog.categories);
    catalog.categories.AttachWindow(trees, first);
    EXPECT_EQ(first.itemTexts(), (QStringList{"a.png", "b.png"}));
    EXPECT_EQ(first.caption, QStringLiteral("trees"));
    EXPECT_EQ(first.statusText, QStringLiteral("2 images"));
    EXPECT_TRUE(first.acceptsDroppedFiles);

    RecordingView second(catalog.categories);
    catalog.categories.AttachWindow(trees, second);
    EXPECT_EQ(first.caption, QStringLiteral("trees (1)"));
    EXPECT_EQ(second.caption, QStringLiteral("trees (2)"));

    catalog.categories.AddImageToCategory(trees, oak);
    catalog.categories.AddImageToCategory(trees, oak); // already there: nothing changes
    EXPECT_EQ(first.itemTexts(), (QStringList{"a.png", "b.png", "oak.png"}));
    EXPECT_EQ(second.statusText, QStringLiteral("3 images"));
    EXPECT_EQ(catalog.memberships.ImageCategoryCount(oak), 2);

    TImageElement renamed = oak;
    renamed.IT_Memo = QStringLiteral(" acorn ");
    catalog.images.WriteImage(renamed);
    catalog.images.EndImagePass();
    EXPECT_EQ(first.items.last()->IT_Memo, QStringLiteral(" acorn "));
    EXPECT_EQ(first.repaints, 1);

    catalog.categories.RemoveImageFromCategory(trees, oak);
    EXPECT_EQ(second.itemTexts(), (QStringList{"a.png", "b.png"}));
    EXPECT_EQ(second.statusText, QStringLiteral("2 images"));

    catalog.categories.DetachWindow(trees, first);
    EXPECT_EQ(second.caption, QStringLiteral("trees"));
    EXPECT_TRUE(trees.imagesLoaded());
    catalog.categories.DetachWindow(trees, second);
    EXPECT_FALSE(trees.imagesLoaded());

    RecordingView unassigned(catalog.categories);
    catalog.categories.AttachWindow(*catalog.categories.FindCategory(catalog.categories.UnassignedId()), unassigned);
    EXPECT_FALSE(unassigned.acceptsDroppedFiles);
    catalog.categories.DetachWindow(*unassigned.category, unassigned);
}

TEST_F(CategoryImages, DeletingACategoryMovesLoneImagesToUnassigned)
{
    Catalog catalog(dir.path());
    const TImageElement alone = addImage(catalog, "alone.png", {"pets"});
    const TImageElement shared = addImage(catalog, "shared.png", {"pets", "dogs"});
    catalog.images.EndImagePass();

    TCategory* pets = &category(catalog, "pets");
    RecordingView window(catalog.categories);
    catalog.categories.AttachWindow(*pets, window);
    QList<int> progress;
    catalog.categories.DeleteCategory(pets, false, [&progress](int percent) { progress.append(percent); });

    EXPECT_TRUE(window.closed);
    EXPECT_EQ(progress, (QList<int>{0, 50, 100, 100}));
    EXPECT_EQ(catalog.categories.FindOrAddCategory(QStringLiteral("pets"), true).first, nullptr);
    const std::int32_t unassigned = catalog.categories.UnassignedId();
    EXPECT_EQ(catalog.memberships.pairs(), (QList<Membership>{{category(catalog, "dogs").CategoryId, shared.IT_SeqNo},
                                                              {unassigned, alone.IT_SeqNo}}));
    EXPECT_NE(catalog.images.ReadImage(alone.IT_SeqNo), nullptr);
    catalog.images.EndImagePass();
}

TEST_F(CategoryImages, DeletingACategoryWithItsImagesKeepsImagesOfOtherCategories)
{
    Catalog catalog(dir.path());
    const TImageElement alone = addImage(catalog, "alone.png", {"pets"});
    const TImageElement shared = addImage(catalog, "shared.png", {"pets", "dogs"});
    const TImageElement other = addImage(catalog, "other.png", {"dogs"});
    catalog.images.EndImagePass();

    RecordingView dogsWindow(catalog.categories);
    catalog.categories.AttachWindow(category(catalog, "dogs"), dogsWindow);
    catalog.categories.DeleteCategory(&category(catalog, "pets"), true);

    EXPECT_EQ(catalog.images.ReadImage(alone.IT_SeqNo), nullptr);
    EXPECT_NE(catalog.images.ReadImage(shared.IT_SeqNo), nullptr);
    catalog.images.EndImagePass();
    EXPECT_FALSE(catalog.memberships.ImageHasCategory(alone.IT_SeqNo));
    EXPECT_EQ(dogsWindow.itemTexts(), (QStringList{"other.png", "shared.png"}));
    EXPECT_FALSE(catalog.memberships.CategoryHasImages(catalog.categories.UnassignedId()));
    EXPECT_EQ(catalog.images.FindOrAddImage(qpath(pictures / "other.png"), loader).record->IT_SeqNo, other.IT_SeqNo);
    catalog.images.EndImagePass();

    // Neither "(unassigned)" nor "Search Results" can be deleted.
    const std::size_t count = catalog.categories.categories().size();
    catalog.categories.DeleteCategory(catalog.categories.FindCategory(catalog.categories.UnassignedId()), true);
    catalog.categories.DeleteCategory(catalog.categories.searchResults(), true);
    EXPECT_EQ(catalog.categories.categories().size(), count);
    catalog.categories.DetachWindow(*dogsWindow.category, dogsWindow);
}

TEST_F(CategoryImages, MembershipsAndCategoriesSurviveARestart)
{
    std::vector<std::int32_t> order;
    {
        Catalog catalog(dir.path());
        for (const char* name : {"c.png", "a.png", "b.png"})
            order.push_back(addImage(catalog, name, {"walks"}).IT_SeqNo);
        catalog.images.EndImagePass();
        catalog.memberships.SaveMemberships();
        catalog.categories.SaveCategories();
    }
    Catalog catalog(dir.path());
    TCategory& walks = category(catalog, "walks");
    catalog.categories.LoadCategoryImages(walks);
    std::vector<std::int32_t> loaded;
    for (const auto& record : *walks.ImageElementList)
        loaded.push_back(record->IT_SeqNo);
    EXPECT_EQ(loaded, order);
}

} // namespace
} // namespace glimmora
