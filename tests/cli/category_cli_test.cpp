// glimmora-cli new-category, rename-category and delete-category: the dialogs' refusals and
// texts, and the files saved when the command returns.

#include "catalog/Categories.h"
#include "catalog/Correspondences.h"
#include "catalog/ImageElementForm.h"

#include "Scratch.h"
#include "ScrapbookWriter.h"

#include <gtest/gtest.h>

namespace glimmora {
namespace {

class CategoryCli : public ::testing::Test {
protected:
    CategoryCli()
    {
        test::writeScrapbook(base, {
                                       {"/pictures/oak.jpg", {"trees"}},
                                       {"/pictures/birch.jpg", {"trees", "garden"}},
                                   });
    }

    test::ToolRun run(const std::string& arguments) const
    {
        return test::runTool("--data '" + dir.path().string() + "' " + arguments);
    }

    // The category names as the program reads them from the saved files.
    QStringList savedNames() const
    {
        TCorrespondences memberships(base + ".cor");
        TCategories categories(base + ".cat", memberships);
        QStringList names;
        for (const TCategory* category : categories.FillCategoryList())
            names.append(QStringLiteral("%1:%2").arg(category->CategoryId).arg(category->CategoryName));
        return names;
    }

    QList<Membership> savedMemberships() const { return TCorrespondences(base + ".cor").pairs(); }

    test::ScratchDir dir;
    QString base = QString::fromStdString((dir / "Default").string());
};

TEST_F(CategoryCli, NewCategoryIsSavedAndRefusesWhatTheDialogRefuses)
{
    const test::ToolRun made = run("new-category '  Mountain Lakes '");
    EXPECT_EQ(made.status, 0) << made.errors;
    EXPECT_EQ(made.output, "3\tmountain lakes\n");
    EXPECT_EQ(savedNames(), (QStringList{"0:(unassigned)", "1:trees", "2:garden", "3:mountain lakes"}));

    const struct {
        const char* name;
        const char* refusal;
    } refused[] = {
        {"TREES", "Category \"TREES\" is already defined."},
        {"' '", "A category needs a name."},
        {"'(unassigned)'", "A category name begins with a letter or a digit."},
        {"' -x'", "A category name begins with a letter or a digit."},
        {"abcdefghijklmnopqrstuvwxyz", "A category name holds at most 25 bytes."},
    };
    for (const auto& c : refused) {
        const test::ToolRun run = this->run(std::string("new-category ") + c.name);
        EXPECT_EQ(run.status, 1) << c.name;
        EXPECT_NE(run.errors.find(c.refusal), std::string::npos) << run.errors;
    }
    EXPECT_EQ(savedNames().size(), 4) << "a refusal changes nothing";
    EXPECT_EQ(run("new-category").status, 2);
}

TEST_F(CategoryCli, RenameCategoryRefusesUnassignedAndDefinedNames)
{
    const struct {
        const char* arguments;
        const char* refusal;
    } refused[] = {
        {"'(unassigned)' misc", "\"(unassigned)\" can be neither deleted nor renamed."},
        {"trees Trees", "Category \"Trees\" is already defined."},
        {"trees garden", "Category \"garden\" is already defined."},
        {"bushes shrubs", "no category named 'bushes'"},
    };
    for (const auto& c : refused) {
        const test::ToolRun run = this->run(std::string("rename-category ") + c.arguments);
        EXPECT_EQ(run.status, 1) << c.arguments;
        EXPECT_NE(run.errors.find(c.refusal), std::string::npos) << run.errors;
    }
    const test::ToolRun renamed = run("rename-category Trees Forest");
    EXPECT_EQ(renamed.status, 0) << renamed.errors;
    EXPECT_EQ(renamed.output, "1\tforest\n");
    EXPECT_EQ(savedNames(), (QStringList{"0:(unassigned)", "1:forest", "2:garden"}));
}

TEST_F(CategoryCli, DeleteCategoryMovesOrDeletesTheImagesInNoOtherCategory)
{
    EXPECT_EQ(run("delete-category '(unassigned)'").status, 1);
    const test::ToolRun moved = run("delete-category trees");
    EXPECT_EQ(moved.status, 0) << moved.errors;
    EXPECT_EQ(moved.output, "Category \"trees\" has been deleted.\n");
    EXPECT_EQ(savedNames(), (QStringList{"0:(unassigned)", "2:garden"}));
    EXPECT_EQ(savedMemberships(), (QList<Membership>{{2, 2}, {0, 1}})) << "oak went to (unassigned)";

    ASSERT_EQ(run("new-category stones").status, 0);
    ASSERT_EQ(run("delete-category garden --delete-images").status, 0);
    EXPECT_EQ(savedMemberships(), (QList<Membership>{{0, 1}}));
    TCorrespondences memberships(base + ".cor");
    TCategories categories(base + ".cat", memberships);
    TImageElementForm images(base + ".idb", categories);
    EXPECT_TRUE(images.HasImage(1));
    EXPECT_FALSE(images.HasImage(2)) << "birch was only in garden";
    images.EndReadPass();
}

} // namespace
} // namespace glimmora
