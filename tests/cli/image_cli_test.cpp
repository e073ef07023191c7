// glimmora-cli copy, move, remove, delete and move-file: the window's refusals and texts, the
// files as saved when the command returns, an original that cannot be deleted, and a moved
// image found again by its new path.

#include "catalog/Categories.h"
#include "catalog/Correspondences.h"
#include "catalog/ImageElementForm.h"

#include "Scratch.h"
#include "ScrapbookWriter.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

namespace glimmora {
namespace {

namespace fs = std::filesystem;

// A scrapbook in a directory every user may enter, so that the tool can also run as nobody.
class ImageCli : public ::testing::Test {
protected:
    ImageCli()
    {
        for (const fs::path& directory : {data, pictures, destination})
            fs::create_directories(directory);
        for (const char* name : {"oak.png", "birch.png", "rose.png"})
            test::writeFile(pictures / name, name);
        test::writeScrapbook(base,
                             {{path(pictures / "oak.png"), {"trees"}},
                              {path(pictures / "birch.png"), {"trees", "garden"}},
                              {path(pictures / "rose.png"), {"garden"}}},
                             {"birds"});
    }
    ~ImageCli() override { fs::remove_all(root); }

    static QString path(const fs::path& p) { return QString::fromStdString(p.string()); }

    static fs::path enterableDirectory()
    {
        char pattern[] = "/tmp/glimmora-image-cli-XXXXXX";
        const fs::path made = ::mkdtemp(pattern);
        ::chmod(made.c_str(), 0755);
        return made;
    }

    test::ToolRun run(const std::string& arguments, const std::string& prefix = {}) const
    {
        return test::runTool("--data '" + data.string() + "' " + arguments, prefix);
    }

    // "category name: image numbers" as the saved files say, "(unassigned)" included.
    QStringList savedMemberships() const
    {
        TCorrespondences memberships(base + ".cor");
        TCategories categories(base + ".cat", memberships);
        QStringList lines;
        for (const TCategory* category : categories.FillCategoryList()) {
            QStringList numbers;
            for (const Membership& pair : memberships.pairs())
                if (pair.categoryId == category->CategoryId)
                    numbers.append(QString::number(pair.seqNo));
            lines.append(category->CategoryName + ": " + numbers.join(' '));
        }
        return lines;
    }

    QByteArray savedPath(int seqNo) const
    {
        TCorrespondences memberships(base + ".cor");
        TCategories categories(base + ".cat", memberships);
        TImageElementForm images(base + ".idb", categories, TImageElementForm::Access::ReadOnly);
        const auto record = images.ReadImage(seqNo);
        return record ? record->IT_Path : QByteArray("(none)");
    }

    fs::path root = enterableDirectory();
    fs::path data = root / "data";
    fs::path pictures = root / "pictures";
    fs::path destination = root / "destination";
    QString base = path(data / "Default");
};

TEST_F(ImageCli, RefusalsAreTheWindowsTextsAndChangeNothing)
{
    const QStringList before = savedMemberships();
    const struct {
        const char* arguments;
        const char* error;
    } refused[] = {
        {"copy 1 --to '(unassigned)'", "You can't copy to (unassigned).\nUse Delete instead.\n"},
        {"move 1 --from trees --to trees", "You can't move from a category to itself.\n"},
        {"move 1 --from trees --to '(unassigned)'", "You can't move to (unassigned).\nUse Delete instead.\n"},
        {"move 3 --from trees --to birds", "image 3 is not in the category \"trees\"\n"},
        {"remove 1 --from '(unassigned)'", "Images cannot be deleted from (unassigned): they would be in no "
                                           "category. Delete them from the scrapbook instead.\n"},
        {"delete 1 9", "no image with sequence number 9\n"},
    };
    for (const auto& [arguments, error] : refused) {
        const test::ToolRun result = run(arguments);
        EXPECT_EQ(result.status, 1) << arguments;
        EXPECT_NE(result.errors.find(std::string("glimmora-cli: ") + error), std::string::npos) << result.errors;
    }
    EXPECT_EQ(run("copy 1 --from trees").status, 2);
    EXPECT_EQ(savedMemberships(), before);
}

TEST_F(ImageCli, CategoryCommandsAreSavedWhenTheyReturn)
{
    EXPECT_EQ(run("copy 1 3 --to birds").output, "2 images copied to \"birds\"\n");
    EXPECT_EQ(run("move 2 --from garden --to birds").status, 0);
    // Each is in another category as well, so it simply leaves this one.
    EXPECT_EQ(run("remove 1 --from trees").status, 0);
    EXPECT_EQ(run("remove 3 --from birds").status, 0);
    EXPECT_EQ(savedMemberships(), (QStringList{"(unassigned): ", "birds: 1 2", "trees: 2", "garden: 3"}));
    // The last category of an image is never lost: it lands in "(unassigned)".
    EXPECT_EQ(run("remove 3 --from garden").status, 0);
    EXPECT_EQ(run("delete 2").output, "1 image deleted from the scrapbook (the picture files stay)\n");
    EXPECT_EQ(savedMemberships(), (QStringList{"(unassigned): 3", "birds: 1", "trees: ", "garden: "}));
    EXPECT_EQ(savedPath(2), "(none)");
    EXPECT_TRUE(fs::exists(pictures / "birch.png"));
}

TEST_F(ImageCli, MovedImageIsKnownByItsNewPathToTheNextImport)
{
    const test::ToolRun moved = run("move-file 1 --to '" + destination.string() + "'");
    EXPECT_EQ(moved.status, 0) << moved.errors;
    EXPECT_EQ(moved.output, "File oak.png has been moved to directory: " + destination.string() + ".\n");
    EXPECT_EQ(savedPath(1), QByteArray::fromStdString((destination / "oak.png").string()));

    const test::ToolRun imported = run("import '" + destination.string() + "' --category trees");
    EXPECT_NE(imported.output.find("0 New images were added to the scrapbook."), std::string::npos) << imported.output;
}

TEST_F(ImageCli, AnOriginalThatCannotBeDeletedStaysWithItsRecordAndLeavesNoCopy)
{
    // The pictures' directory is the tool's to read but not to change: as nobody when the tests
    // run as root (who may change anything), else by its permissions.
    std::string prefix;
    if (::geteuid() == 0) {
        for (const fs::path& own : {data, destination})
            for (const auto& entry : fs::recursive_directory_iterator(own))
                EXPECT_EQ(::chown(entry.path().c_str(), 65534, 65534), 0);
        EXPECT_EQ(::chown(data.c_str(), 65534, 65534), 0);
        EXPECT_EQ(::chown(destination.c_str(), 65534, 65534), 0);
        fs::create_directories(root / "home");
        EXPECT_EQ(::chown((root / "home").c_str(), 65534, 65534), 0);
        prefix = "setpriv --reuid=65534 --regid=65534 --clear-groups env TMPDIR='" + (root / "home").string()
                 + "' HOME='" + (root / "home").string() + "' XDG_RUNTIME_DIR='" + (root / "home").string() + "'";
    } else {
        ::chmod(pictures.c_str(), 0555);
    }
    const test::ToolRun moved = run("move-file 1 2 --to '" + destination.string() + "'", prefix);
    ::chmod(pictures.c_str(), 0755);

    EXPECT_EQ(moved.status, 1);
    EXPECT_NE(moved.errors.find("The original file could not be deleted. The move operation is cancelled."),
              std::string::npos)
        << moved.errors;
    EXPECT_TRUE(fs::is_empty(destination));
    EXPECT_EQ(test::readFile(pictures / "oak.png"), "oak.png");
    EXPECT_EQ(savedPath(1), QByteArray::fromStdString((pictures / "oak.png").string()));
    EXPECT_EQ(savedPath(2), QByteArray::fromStdString((pictures / "birch.png").string()));
}

} // namespace
} // namespace glimmora
