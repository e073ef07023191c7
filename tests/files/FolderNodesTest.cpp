#include "files/FolderNodes.h"

#include "Scratch.h"

// Qt
#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace glimmora {
namespace {

namespace fs = std::filesystem;

QString qPath(const fs::path& path) { return QString::fromStdString(path.string()); }

QStringList namesOf(const FolderListing& listing)
{
    QStringList names;
    for (const FolderEntry& entry : listing.folders)
        names.append(entry.name);
    names.sort();
    return names;
}

const FolderEntry* entryNamed(const FolderListing& listing, const QString& name)
{
    const auto found = std::find_if(listing.folders.begin(), listing.folders.end(),
                                    [&name](const FolderEntry& entry) { return entry.name == name; });
    return found == listing.folders.end() ? nullptr : &*found;
}

TEST(FolderOrder, SortsCaseInsensitivelyInNaturalOrderWithAFixedOrderForCaseTwins)
{
    const struct {
        QStringList given;
        QStringList sorted;
    } cases[] = {
        {{"Zebra", "banana", "Apple"}, {"Apple", "banana", "Zebra"}},
        {{"photos 10", "Photos 2", "photos 1"}, {"photos 1", "Photos 2", "photos 10"}},
        {{"file10", "file9", "File11"}, {"file9", "file10", "File11"}},
        {{"apple", "Apple", "APPLE"}, {"APPLE", "Apple", "apple"}},
        {{"2021", "2020-12", "199"}, {"199", "2020-12", "2021"}},
        {{"Bär", "Ärger", "Apfel"}, {"Apfel", "Ärger", "Bär"}},
    };
    const FolderOrder order;
    for (const auto& entry : cases) {
        QStringList sorted = entry.given;
        std::sort(sorted.begin(), sorted.end(), order);
        EXPECT_EQ(sorted, entry.sorted) << entry.given.join(QLatin1Char(',')).toStdString();
        QStringList reversed = entry.given;
        std::reverse(reversed.begin(), reversed.end());
        std::sort(reversed.begin(), reversed.end(), order);
        EXPECT_EQ(reversed, entry.sorted) << "the order does not depend on the reading order";
    }
}

TEST(FolderPaths, JoinCleanAndSplitBelowAnAnchor)
{
    EXPECT_EQ(childPath("/", "home"), "/home");
    EXPECT_EQ(childPath("/home/u", "Desktop"), "/home/u/Desktop");

    const struct {
        const char* given;
        const char* selectable;
    } paths[] = {{"/home/u/", "/home/u"},
                 {"//home//u/./x/..", "/home/u"},
                 {"/", "/"},
                 {"  /srv/a  ", "/srv/a"},
                 {"", ""},
                 {"c:", ""},
                 {"home/u", ""}};
    for (const auto& entry : paths)
        EXPECT_EQ(selectablePath(entry.given), entry.selectable) << entry.given;

    EXPECT_EQ(componentsBelow("/", "/home/u"), QStringList({"home", "u"}));
    EXPECT_EQ(componentsBelow("/media/u/STICK", "/media/u/STICK/trip/rome"), QStringList({"trip", "rome"}));
    EXPECT_EQ(componentsBelow("/media/u/STICK", "/media/u/STICK"), QStringList());
    EXPECT_EQ(componentsBelow("/", "/"), QStringList());
    EXPECT_FALSE(componentsBelow("/media/u/STICK", "/media/u/STICK2/x")) << "whole components only";
    EXPECT_FALSE(componentsBelow("/home/u/Desktop", "/home/u"));
}

TEST(UserVolumes, KeepRootAndRemovableMountsOnlyOncePerMountPointInOrder)
{
    const QByteArray mountInfo = "22 28 0:21 / /proc rw - proc proc rw\n"
                                 "28 1 254:0 / / rw - ext4 /dev/vda rw\n"
                                 "30 28 8:17 / /media/u/STICK\\040TWO rw - vfat /dev/sdb1 rw\n"
                                 "31 28 8:33 / /media/u/Card10 rw - exfat /dev/sdc1 rw\n"
                                 "32 28 8:34 / /media/u/card9 rw - exfat /dev/sdc2 rw\n"
                                 "33 28 0:40 / /home/u/remote rw - fuse.sshfs host:/ rw\n"
                                 "34 28 0:41 / /mnt/backup rw - nfs4 nas:/backup rw\n"
                                 "35 28 0:42 / /run/media/u/CD rw - iso9660 /dev/sr0 ro\n"
                                 "36 28 0:43 / /var/lib/docker/overlay2/x/merged rw - overlay overlay rw\n"
                                 "37 28 0:44 / /boot/efi rw - vfat /dev/vda1 rw\n"
                                 "38 28 0:45 / /mnt/auto rw - autofs systemd-1 rw\n"
                                 "39 28 8:49 / /mnt/backup rw - ext4 /dev/sdd1 rw\n"
                                 "40 28 0:46 / /media rw - tmpfs tmpfs rw\n";
    const QList<MountEntry> volumes = userVolumes(parseMountInfo(mountInfo), QStringLiteral("/home/u"));
    QStringList mountPoints;
    for (const MountEntry& volume : volumes)
        mountPoints.append(volume.mountPoint);
    EXPECT_EQ(mountPoints, QStringList({"/", "/home/u/remote", "/media/u/card9", "/media/u/Card10",
                                        "/media/u/STICK TWO", "/mnt/backup", "/run/media/u/CD"}));
    const auto backup = std::find_if(volumes.begin(), volumes.end(),
                                     [](const MountEntry& volume) { return volume.mountPoint == "/mnt/backup"; });
    EXPECT_EQ(backup->device, "/dev/sdd1") << "the later mount hides the earlier one";

    EXPECT_EQ(userVolumes(parseMountInfo(mountInfo), QStringLiteral("/")).size(), volumes.size() - 1)
        << "a home of / does not make every mount a home mount";
    const QList<MountEntry> unreadable = userVolumes({}, QStringLiteral("/home/u"));
    ASSERT_EQ(unreadable.size(), 1);
    EXPECT_EQ(unreadable.first().mountPoint, "/") << "the root is always there";
    EXPECT_EQ(volumeText("/media/u/STICK", "STICK"), "STICK (/media/u/STICK)");
    EXPECT_EQ(volumeText("/", ""), "/");
}

TEST(SubfolderChanges, OnlyChangesOfTheSetOfSubfoldersCount)
{
    const QList<FolderEntry> shown = {{"alpha"}, {"beta"}, {"link", true, false}};
    EXPECT_FALSE(subfolderChanges(shown, {{"beta"}, {"link", true, false}, {"alpha"}}).any())
        << "the same folders in another order";

    const SubfolderChanges renamed = subfolderChanges(shown, {{"alpha"}, {"gamma"}, {"link", true, false}});
    EXPECT_EQ(renamed.removed, QStringList({"beta"}));
    ASSERT_EQ(renamed.added.size(), 1);
    EXPECT_EQ(renamed.added.first().name, "gamma");

    const SubfolderChanges retargeted = subfolderChanges(shown, {{"alpha"}, {"beta"}, {"link", true, true}});
    EXPECT_EQ(retargeted.removed, QStringList({"link"})) << "a link that now leads back is shown anew";
    ASSERT_EQ(retargeted.added.size(), 1);
    EXPECT_TRUE(retargeted.added.first().leadsBack);
}

TEST(ReadSubfolders, ShowsVisibleFoldersAndLinksButNotFilesHiddenFoldersOrTheDesktop)
{
    test::ScratchDir scratch;
    const fs::path outside = scratch / "outside";
    const fs::path root = scratch / "root";
    for (const char* folder : {"Visible", ".hidden", "Desktop", "sub/deeper"})
        fs::create_directories(root / folder);
    fs::create_directories(outside / "target");
    test::writeFile(root / "file.jpg", "x");
    test::writeFile(root / ".hidden.jpg", "x");
    fs::create_directory_symlink(outside / "target", root / "elsewhere");
    fs::create_directory_symlink(root, root / "sub" / "up");
    fs::create_directory_symlink(root / "sub", root / "sub" / "self");
    fs::create_symlink(root / "missing", root / "broken");
    fs::create_symlink(root / "file.jpg", root / "file-link");

    const QString rootPath = qPath(root);
    ListingContext context{childPath(rootPath, "Desktop"), {}, {rootPath}};
    const FolderListing listing = readSubfolders(rootPath, context);
    ASSERT_EQ(listing.result, ListingResult::Read);
    EXPECT_EQ(namesOf(listing), QStringList({"Visible", "elsewhere", "sub"}));
    ASSERT_TRUE(entryNamed(listing, "elsewhere"));
    EXPECT_TRUE(entryNamed(listing, "elsewhere")->isSymLink);
    EXPECT_FALSE(entryNamed(listing, "elsewhere")->leadsBack) << "a link out of the tree can be opened";

    const QString subPath = childPath(rootPath, "sub");
    context.canonicalChain = QStringList{subPath, rootPath};
    const FolderListing sub = readSubfolders(subPath, context);
    EXPECT_EQ(namesOf(sub), QStringList({"deeper", "self", "up"}));
    EXPECT_TRUE(entryNamed(sub, "up")->leadsBack) << "a link to an ancestor";
    EXPECT_TRUE(entryNamed(sub, "self")->leadsBack) << "a link to the folder itself";
    EXPECT_FALSE(entryNamed(sub, "deeper")->leadsBack);

    EXPECT_EQ(readSubfolders(childPath(rootPath, "gone"), context).result, ListingResult::Gone);
    EXPECT_EQ(readSubfolders(childPath(rootPath, "file.jpg"), context).result, ListingResult::Gone);
}

TEST(ReadSubfolders, LeavesOutFoldersOnPseudoFileSystems)
{
    const QList<MountEntry> mounts = readMountTable();
    const MountEntry* proc = mountOf(QStringLiteral("/proc"), mounts);
    if (!proc || proc->fileSystem != QLatin1String("proc"))
        GTEST_SKIP() << "/proc is not mounted here";
    const ListingContext context{QString(), mounts, {QStringLiteral("/")}};
    const FolderListing listing = readSubfolders(QStringLiteral("/"), context);
    ASSERT_EQ(listing.result, ListingResult::Read);
    EXPECT_FALSE(namesOf(listing).contains("proc"));
    EXPECT_FALSE(namesOf(listing).isEmpty());
}

TEST(ReadSubfolders, SkipsNamesThatDoNotSurviveTheFileNameEncoding)
{
    test::ScratchDir scratch;
    fs::create_directory(scratch / "plain");
    fs::create_directory(scratch / std::string("bad\xff\xfe"));
    const QString path = qPath(scratch.path());
    const FolderListing listing = readSubfolders(path, {QString(), {}, {path}});
    EXPECT_EQ(namesOf(listing), QStringList({"plain"}));
}

} // namespace
} // namespace glimmora
