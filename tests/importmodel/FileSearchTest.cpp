// The directory search of an import: name order, the extension test, category names, hidden,
// pseudo-file-system and linked folders, names that cannot be kept, and Cancel.

#include "CatalogFixture.h"

#include "catalog/Categories.h"
#include "files/FolderNodes.h"
#include "import/FileSearch.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <sys/resource.h>
#include <unistd.h>

namespace glimmora {
namespace {

namespace fs = std::filesystem;
using test::qpath;

void touch(const fs::path& file)
{
    fs::create_directories(file.parent_path());
    test::writeFile(file, "x");
}

QStringList paths(const TLoadList& list)
{
    QStringList result;
    for (const TLoadEntry& entry : list)
        result.append(entry.path);
    return result;
}

TLoadList search(FileSearchSettings settings)
{
    TFileSearch search(std::move(settings));
    EXPECT_EQ(search.Run(), SearchOutcome::Completed);
    return search.TakeLoadList();
}

FileSearchSettings chosen(const fs::path& directory, const QString& category = QStringLiteral("cats"))
{
    return {qpath(directory), CategoryAssignment::ChosenCategory, category, true};
}

TEST(FileSearch, TakesEachFolderInNameOrderAndItsSubfoldersAtOnce)
{
    test::ScratchDir scratch;
    // Created in an order of their own; the file system lists them in yet another.
    const char* created[] = {"Zeta.bmp",      "img10.gif",        "dir 10/x.jpg", "a1.jpg", "dir 9/y.png",
                             "dir 9/b/z.gif", "dir 9/A/deep.png", "img9.gif",     "B2.png", "notes.txt"};
    for (const char* name : created)
        touch(scratch / name);
    // Case-insensitive, digits by value, as the folder tree shows the names; a subfolder's files
    // come before its parent's later entries.
    const char* expected[] = {"a1.jpg",       "B2.png",   "dir 9/A/deep.png", "dir 9/b/z.gif", "dir 9/y.png",
                              "dir 10/x.jpg", "img9.gif", "img10.gif",        "Zeta.bmp"};
    QStringList expectedPaths;
    for (const char* name : expected)
        expectedPaths.append(qpath(scratch / name));
    EXPECT_EQ(paths(search(chosen(scratch.path()))), expectedPaths);
}

TEST(FileSearch, TakesOnlyTheExtensionsOfThePictureTable)
{
    test::ScratchDir scratch;
    for (const char* name : {"a.JPG", "a.jpeg", "b.JFIF", "bmp", "photo.", "notes.txt", "scan.Tif", "scan.tiff",
                             "clip.mov", "x.jpg.bak", "y.jpe"})
        touch(scratch / name);
    QStringList names;
    for (const QString& path : paths(search(chosen(scratch.path()))))
        names.append(fileNamePart(path));
    names.sort();
    EXPECT_EQ(names, (QStringList{"a.JPG", "a.jpeg", "b.JFIF", "clip.mov", "scan.Tif", "scan.tiff"}));
}

TEST(FileSearch, SearchesHiddenFoldersAndFiles)
{
    test::ScratchDir scratch;
    touch(scratch / ".hidden.png");
    touch(scratch / ".thumbs" / "inside.jpg");
    QStringList names;
    for (const QString& path : paths(search(chosen(scratch.path()))))
        names.append(fileNamePart(path));
    names.sort();
    EXPECT_EQ(names, (QStringList{".hidden.png", "inside.jpg"}));
}

TEST(FileSearch, NamesCategoriesAfterDirectoriesOrTheChosenCategory)
{
    test::ScratchDir scratch;
    touch(scratch / "trips" / "top.jpg");
    touch(scratch / "trips" / "rome" / "forum.jpg");
    const fs::path trips = scratch / "trips";

    TLoadList byDirectory = search({qpath(trips) + "/", CategoryAssignment::DirectoryNames, "ignored", true});
    ASSERT_EQ(byDirectory.size(), 2);
    for (const TLoadEntry& entry : byDirectory) {
        EXPECT_FALSE(entry.path.contains("//")) << entry.path.toStdString();
        EXPECT_EQ(entry.categoryName, entry.path.endsWith("forum.jpg") ? "rome" : "trips");
    }
    for (const TLoadEntry& entry : search(chosen(trips, "Holidays ")))
        EXPECT_EQ(entry.categoryName, "Holidays ");

    EXPECT_EQ(directoryCategoryName("/"), kUnassignedName);
    EXPECT_EQ(directoryCategoryName("/trips/rome"), "rome");
    EXPECT_EQ(directoryCategoryName("/trips/rome/"), "rome");
}

TEST(FileSearch, WithoutSubdirectoriesListsOnlyTheDirectoryItself)
{
    test::ScratchDir scratch;
    touch(scratch / "own.jpg");
    touch(scratch / "sub" / "below.jpg");
    FileSearchSettings settings = chosen(scratch.path());
    settings.searchSubdirectories = false;
    EXPECT_EQ(paths(search(settings)), QStringList{qpath(scratch / "own.jpg")});
}

TEST(FileSearch, NeverFollowsLinksToFoldersButTakesLinksToPictures)
{
    test::ScratchDir scratch;
    const fs::path root = scratch / "root";
    touch(root / "a" / "real.jpg");
    touch(scratch / "elsewhere" / "outside.jpg");
    fs::create_directory_symlink(root, root / "a" / "loop");            // a cycle back to the start
    fs::create_directory_symlink(scratch / "elsewhere", root / "away"); // a folder outside
    fs::create_symlink(root / "a" / "real.jpg", root / "alias.jpg");
    fs::create_symlink(root / "gone.jpg", root / "dangling.jpg");

    QStringList found = paths(search(chosen(root)));
    found.sort();
    EXPECT_EQ(found,
              (QStringList{qpath(root / "a" / "real.jpg"), qpath(root / "alias.jpg"), qpath(root / "dangling.jpg")}));
}

TEST(FileSearch, NeverSearchesFoldersOnPseudoFileSystems)
{
    for (const char* kind : {"proc", "sysfs", "devtmpfs", "devpts", "cgroup2", "debugfs"})
        EXPECT_TRUE(isPseudoFileSystem(kind)) << kind;
    for (const char* kind : {"ext4", "vfat", "iso9660", "tmpfs", "nfs", "overlay"})
        EXPECT_FALSE(isPseudoFileSystem(kind)) << kind;

    // /proc itself, directly or through a link, yields nothing and ends at once.
    test::ScratchDir scratch;
    fs::create_directory_symlink("/proc", scratch / "kernel");
    for (const QString& start : {QStringLiteral("/proc"), qpath(scratch / "kernel")}) {
        TFileSearch walk(chosen(fs::path(start.toStdString())));
        int steps = 0;
        while (walk.Step())
            ++steps;
        EXPECT_EQ(steps, 0) << start.toStdString();
        EXPECT_TRUE(walk.LoadList().isEmpty());
    }

    // A folder the mount table places on a pseudo file system is met in the walk and skipped.
    touch(scratch / "plain" / "kept.jpg");
    touch(scratch / "plain" / "mounted" / "skipped.jpg");
    const QString resolved = QString::fromStdString(fs::canonical(scratch.path()).string());
    const QList<MountEntry> mounts{{"/", "/dev/sda1", "ext4"}, {resolved + "/plain/mounted", "proc", "proc"}};
    TFileSearch walk(chosen(scratch / "plain"), mounts);
    walk.Run();
    EXPECT_EQ(paths(walk.LoadList()), QStringList{qpath(scratch / "plain" / "kept.jpg")});
}

TEST(FileSearch, CancelThrowsAwayEverythingFound)
{
    test::ScratchDir scratch;
    for (int i = 0; i < 20; ++i)
        touch(scratch / ("p" + std::to_string(i) + ".png"));
    TFileSearch walk(chosen(scratch.path()));
    QStringList shown;
    FileSearchProgress progress;
    progress.showFileName = [&](const QString& name) {
        shown.append(name);
        if (shown.size() == 5)
            walk.Stop(); // the Cancel button, pressed while events run
    };
    EXPECT_EQ(walk.Run(progress), SearchOutcome::Stopped);
    EXPECT_EQ(shown.size(), 5);
    EXPECT_TRUE(walk.LoadList().isEmpty());
    EXPECT_TRUE(walk.TakeLoadList().isEmpty());
}

// Lowers the limit on open descriptors while it lives, so that only `free` more can be opened.
class DescriptorLimit {
public:
    explicit DescriptorLimit(int free)
    {
        getrlimit(RLIMIT_NOFILE, &saved_);
        const int lowestFree = ::dup(STDIN_FILENO); // descriptors are numbered from the lowest free
        ::close(lowestFree);
        const rlimit lowered{rlim_t(lowestFree + free), saved_.rlim_max};
        setrlimit(RLIMIT_NOFILE, &lowered);
    }
    ~DescriptorLimit() { setrlimit(RLIMIT_NOFILE, &saved_); }

private:
    rlimit saved_{};
};

TEST(FileSearch, ATreeDeeperThanTheDescriptorLimitIsSearchedCompletely)
{
    test::ScratchDir scratch;
    fs::path folder = scratch.path();
    QStringList expected;
    for (int depth = 0; depth < 40; ++depth) {
        folder /= "level" + std::to_string(depth);
        touch(folder / "picture.png");
        expected.append(qpath(folder / "picture.png"));
    }
    TFileSearch walk(chosen(scratch.path()));
    {
        const DescriptorLimit limit(8);
        walk.Run();
    }
    QStringList found = paths(walk.LoadList());
    found.sort();
    expected.sort();
    EXPECT_TRUE(found == expected) << found.size() << " of " << expected.size() << " found";
    EXPECT_TRUE(walk.Failures().isEmpty());
}

TEST(FileSearch, AFolderThatCannotBeReadForWantOfDescriptorsIsReported)
{
    test::ScratchDir scratch;
    touch(scratch / "inside" / "picture.png");
    std::unique_ptr<TFileSearch> walk;
    {
        const DescriptorLimit limit(0);
        walk = std::make_unique<TFileSearch>(chosen(scratch.path()));
        walk->Run();
    }
    EXPECT_TRUE(walk->LoadList().isEmpty());
    ASSERT_EQ(walk->Failures().size(), 1);
    EXPECT_EQ(walk->Failures().first().path, qpath(scratch.path()));
    EXPECT_EQ(walk->Failures().first().reason, "The folder cannot be read: Too many open files.");
}

// Names no path of ours can carry (not UTF-8, as a Windows or old Linux system wrote them).
TEST(FileSearch, PicturesAndFoldersWhoseNamesAreNotUtf8AreReportedNotDropped)
{
    test::ScratchDir scratch;
    const std::string cafe = "caf\xe9";
    touch(scratch / (cafe + ".jpg"));
    touch(scratch / (cafe + " notes.txt"));
    touch(scratch / (cafe + " trip") / "inside.png");
    touch(scratch / "fine.png");

    TFileSearch walk(chosen(scratch.path()));
    EXPECT_EQ(walk.Run(), SearchOutcome::Completed);
    EXPECT_EQ(paths(walk.LoadList()), QStringList{qpath(scratch / "fine.png")});
    const QString folder = qpath(scratch.path());
    ASSERT_EQ(walk.Failures().size(), 2);
    EXPECT_EQ(walk.Failures().at(0).path, folder + QString::fromUtf8("/café trip")); // shown as Windows-1252
    EXPECT_EQ(walk.Failures().at(0).reason,
              "The folder's name is not valid UTF-8, so it was not searched; rename it to add its pictures.");
    EXPECT_EQ(walk.Failures().at(1).path, folder + QString::fromUtf8("/café.jpg"));
    EXPECT_EQ(walk.Failures().at(1).reason,
              "The file's name is not valid UTF-8, so it cannot be added; rename it to add it.");

    // Without subfolders, a folder that would not have been searched anyway is not mentioned.
    FileSearchSettings flat = chosen(scratch.path());
    flat.searchSubdirectories = false;
    TFileSearch shallow(flat);
    shallow.Run();
    ASSERT_EQ(shallow.Failures().size(), 1);
    EXPECT_EQ(shallow.Failures().at(0).path, folder + QString::fromUtf8("/café.jpg"));
}

TEST(FileSearch, AMissingDirectoryFindsNothingAndSaysNothing)
{
    test::ScratchDir scratch;
    EXPECT_TRUE(search(chosen(scratch / "absent")).isEmpty());
}

} // namespace
} // namespace glimmora
