#include "catalog/Categories.h"
#include "catalog/Correspondences.h"
#include "catalog/ImageElement.h"
#include "catalog/RemoveableMediaList.h"
#include "catalog/StoredText.h"

#include "Scratch.h"

// Qt
#include <QtEndian>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <limits>

namespace glimmora {
namespace {

using test::readFile;
using test::ScratchDir;
using test::writeFile;

QString qpath(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

std::string le32(std::uint32_t value)
{
    char raw[4];
    qToLittleEndian(value, raw);
    return std::string(raw, 4);
}

// A .cat record as another writer might leave it: junk in the bytes that mean nothing.
std::string categoryRecord(std::int32_t id, std::string_view name, char filler = '\x5a')
{
    std::string record = le32(static_cast<std::uint32_t>(id));
    record += static_cast<char>(name.size());
    record += name;
    record.resize(32, filler);
    return record;
}

TEST(StoredText, LimitsCountBytesAndNeverSplitACharacter)
{
    EXPECT_EQ(storedTextBytes(QStringLiteral("abc"), 2), QByteArray("ab"));
    // "é" is two bytes: 24 'a' and one "é" do not fit in 25 bytes.
    const QString name = QString(24, QLatin1Char('a')) + QString::fromUtf8("é");
    EXPECT_EQ(storedTextBytes(name, 25), QByteArray(24, 'a'));
    EXPECT_EQ(limitedText(QString::fromUtf8("日本語"), 7), QString::fromUtf8("日本"));
    EXPECT_EQ(storedTextFrom(QByteArray("caf\xc3\xa9")), QString::fromUtf8("café"));
    EXPECT_EQ(storedTextFrom(QByteArray("caf\xe9")), QString::fromUtf8("café"));
    EXPECT_EQ(trimmedText(QStringLiteral("\t\x01 Trees \n")), QStringLiteral("Trees"));
}

TEST(CategoryFile, ReadsOtherWritersRecordsAndWritesTheLayout)
{
    ScratchDir dir;
    const auto file = dir / "Default.cat";
    writeFile(file, categoryRecord(0, "(UNASSIGNED)") + categoryRecord(3, "trees") + categoryRecord(7, "caf\xe9")
                        + categoryRecord(9, std::string(40, 'x')).substr(0, 5)
                        + std::string(10, '\x01')); // a short last record
    TCorrespondences memberships(qpath(dir / "Default.cor"));
    TCategories categories(qpath(file), memberships);

    // The differently cased name is not "(unassigned)": UnassignedId keeps its initial 0, which
    // that record happens to carry.
    EXPECT_EQ(categories.UnassignedId(), 0);
    ASSERT_EQ(categories.categories().size(), 4u);
    EXPECT_EQ(categories.FindCategory(0)->CategoryName, QStringLiteral("(UNASSIGNED)"));
    EXPECT_EQ(categories.FindCategory(7)->CategoryName, QString::fromUtf8("café"));
    EXPECT_EQ(categories.categories().back()->CategoryId, -1);
    EXPECT_EQ(categories.categories().back()->CategoryName, QStringLiteral("Search Results"));

    auto [added, isNew] = categories.FindOrAddCategory(QStringLiteral("  Flowers\t"), false);
    EXPECT_TRUE(isNew);
    EXPECT_EQ(added->CategoryId, 8);
    EXPECT_EQ(added->CategoryName, QStringLiteral("flowers"));
    EXPECT_EQ(categories.FindOrAddCategory(QStringLiteral("TREES "), false),
              std::make_pair(categories.FindCategory(3), false));
    EXPECT_EQ(categories.FindOrAddCategory(QStringLiteral("none"), true), std::make_pair((TCategory*)nullptr, true));
    categories.SaveCategories();

    const std::string bytes = readFile(file);
    ASSERT_EQ(bytes.size(), 4u * 32);
    EXPECT_EQ(bytes.substr(0, 32), categoryRecord(0, "(UNASSIGNED)", '\0'));
    EXPECT_EQ(bytes.substr(64, 32), categoryRecord(7, "caf\xc3\xa9", '\0'));
    EXPECT_EQ(bytes.substr(96, 32), categoryRecord(8, "flowers", '\0'));
}

TEST(CategoryFile, MissingFileGivesUnassignedAndSearchResults)
{
    ScratchDir dir;
    TCorrespondences memberships(qpath(dir / "Default.cor"));
    TCategories categories(qpath(dir / "Default.cat"), memberships);
    ASSERT_EQ(categories.categories().size(), 2u);
    EXPECT_EQ(categories.FindCategory(0)->CategoryName, QStringLiteral("(unassigned)"));
    EXPECT_EQ(categories.searchResults()->CategoryName, QStringLiteral("Search Results"));
    EXPECT_EQ(categories.FillCategoryList().size(), 1);
}

TEST(CategoryFile, ExactUnassignedNameSetsUnassignedId)
{
    ScratchDir dir;
    writeFile(dir / "Default.cat", categoryRecord(4, "trees") + categoryRecord(5, "(unassigned)"));
    TCorrespondences memberships(qpath(dir / "Default.cor"));
    TCategories categories(qpath(dir / "Default.cat"), memberships);
    EXPECT_EQ(categories.UnassignedId(), 5);
    EXPECT_EQ(categories.categories().size(), 3u);
}

TEST(Categories, NewNumbersFollowTheHighestInUse)
{
    ScratchDir dir;
    writeFile(dir / "Default.cat", categoryRecord(0, "(unassigned)") + categoryRecord(3, "a") + categoryRecord(7, "b"));
    TCorrespondences memberships(qpath(dir / "Default.cor"));
    TCategories categories(qpath(dir / "Default.cat"), memberships);
    TCategory* eight = categories.FindOrAddCategory(QStringLiteral("c"), false).first;
    EXPECT_EQ(eight->CategoryId, 8);
    categories.DeleteCategory(eight, false);
    EXPECT_EQ(categories.FindCategory(8), nullptr);
    EXPECT_EQ(categories.FindOrAddCategory(QStringLiteral("d"), false).first->CategoryId, 8);

    // A file whose highest number is the largest there is leaves no number above it: the new
    // category takes the lowest free one instead of a negative number that is never saved.
    writeFile(dir / "Default.cat", categoryRecord(0, "(unassigned)") + categoryRecord(1, "a")
                                       + categoryRecord(std::numeric_limits<std::int32_t>::max(), "b"));
    categories.LoadCategories();
    EXPECT_EQ(categories.FindOrAddCategory(QStringLiteral("e"), false).first->CategoryId, 2);
}

TEST(Categories, MenuOf51CategoriesShows49AndMoreInTwoColumns)
{
    ScratchDir dir;
    TCorrespondences memberships(qpath(dir / "Default.cor"));
    TCategories categories(qpath(dir / "Default.cat"), memberships);
    for (int i = 51; i >= 1; --i)
        categories.FindOrAddCategory(QStringLiteral("cat %1").arg(i, 2, 10, QLatin1Char('0')), false);

    const QList<CategoryMenuItem> items = categories.BuildCategoryMenu();
    ASSERT_EQ(items.size(), 50);
    EXPECT_EQ(items.first().caption, QStringLiteral("cat 01"));
    EXPECT_EQ(items[48].caption, QStringLiteral("cat 49"));
    EXPECT_TRUE(items.last().isMoreItem);
    EXPECT_EQ(items.last().caption, QStringLiteral("More categories..."));
    for (qsizetype i = 0; i < items.size(); ++i)
        EXPECT_EQ(items[i].startsColumn, i == 25) << i;
    EXPECT_EQ(items[0].tag, categories.FindOrAddCategory(QStringLiteral("cat 01"), true).first->CategoryId);

    // Exactly 50 fit without "More categories...", and "(unassigned)" is never offered.
    categories.DeleteCategory(categories.FindOrAddCategory(QStringLiteral("cat 51"), true).first, false);
    const QList<CategoryMenuItem> fifty = categories.BuildCategoryMenu();
    EXPECT_EQ(fifty.size(), 50);
    EXPECT_FALSE(fifty.last().isMoreItem);
    for (const CategoryMenuItem& item : fifty)
        EXPECT_NE(item.caption, QStringLiteral("(unassigned)"));
}

TEST(MembershipFile, PairsSurviveARestartInListOrderAndAPartialRecordIsDropped)
{
    ScratchDir dir;
    const QString file = qpath(dir / "Default.cor");
    {
        TCorrespondences memberships(file);
        memberships.AddMembership(3, 10);
        memberships.AddMembership(0, 2);
        memberships.AddMembership(3, 1);
        memberships.AddMembership(3, 10); // already there
        memberships.AddMembership(-7, 0x7FFFFFFF);
        memberships.RemoveMembership(9, 9); // not there
        memberships.SaveMemberships();
    }
    const std::string bytes = readFile(dir / "Default.cor");
    EXPECT_EQ(bytes, le32(3) + le32(10) + le32(0) + le32(2) + le32(3) + le32(1) + le32(0xFFFFFFF9u) + le32(0x7FFFFFFF));

    // A partial record, and a pair the file repeats, are not pairs of their own.
    writeFile(dir / "Default.cor", bytes + le32(0) + le32(2) + "\x05\0\0");
    TCorrespondences reread(file);
    EXPECT_EQ(reread.pairs(), (QList<Membership>{{3, 10}, {0, 2}, {3, 1}, {-7, 0x7FFFFFFF}}));
}

TEST(Memberships, CountsAndLookups)
{
    ScratchDir dir;
    TCorrespondences memberships(qpath(dir / "Default.cor"));
    TImageElement image;
    image.IT_SeqNo = 5;
    for (int category : {1, 2, 3})
        memberships.AddMembership(category, 5);
    EXPECT_EQ(memberships.ImageCategoryCount(image), 3);
    memberships.RemoveMembership(2, 5);
    EXPECT_EQ(memberships.ImageCategoryCount(image), 2);
    EXPECT_TRUE(memberships.ImageHasCategory(5));
    EXPECT_FALSE(memberships.ImageHasCategory(6));
    EXPECT_TRUE(memberships.CategoryHasImages(3));
    EXPECT_FALSE(memberships.CategoryHasImages(2));

    // Removing and adding keeps list order, in the list and per image.
    memberships.AddMembership(2, 5);
    memberships.AddMembership(4, 6);
    EXPECT_EQ(memberships.CategoriesOfImage(5), (QList<std::int32_t>{1, 3, 2}));
    EXPECT_EQ(memberships.pairs(), (QList<Membership>{{1, 5}, {3, 5}, {2, 5}, {4, 6}}));
    EXPECT_EQ(memberships.RemoveMemberships([](const Membership& pair) { return pair.categoryId < 3; }), 2);
    EXPECT_EQ(memberships.pairs(), (QList<Membership>{{3, 5}, {4, 6}}));
    EXPECT_EQ(memberships.CategoryImageCount(3), 1);
    EXPECT_EQ(memberships.CategoryImageCount(1), 0);
}

// A file-size limit makes the write fail part-way, for any user.
TEST(DataFiles, AFailedSaveLeavesTheOldFileWhole)
{
    ScratchDir dir;
    writeFile(dir / "Default.cor", le32(1) + le32(2));
    TCorrespondences memberships(qpath(dir / "Default.cor"));
    memberships.AddMembership(3, 4);

    struct rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    struct rlimit small = old;
    small.rlim_cur = 12;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string failure;
    try {
        memberships.SaveMemberships();
    } catch (const EDataFileError& error) {
        failure = error.what();
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(failure, "Could not save " + (dir / "Default.cor").string() + ": File too large");
    EXPECT_EQ(readFile(dir / "Default.cor"), le32(1) + le32(2));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1); // no temporary left
    memberships.SaveMemberships();
    EXPECT_EQ(readFile(dir / "Default.cor").size(), 16u);
}

TEST(DataFiles, ALinkStaysALinkAndItsTargetIsReplaced)
{
    ScratchDir dir;
    const auto data = dir / "data";
    const auto shared = dir / "shared";
    std::filesystem::create_directories(data);
    std::filesystem::create_directories(shared);
    writeFile(shared / "memberships", le32(1) + le32(2));
    std::filesystem::create_symlink("../shared/memberships", data / "Default.cor");
    std::filesystem::create_symlink(shared / "categories", data / "Default.cat"); // leads nowhere yet

    TCorrespondences memberships(qpath(data / "Default.cor"));
    TCategories categories(qpath(data / "Default.cat"), memberships);
    EXPECT_EQ(memberships.pairs(), (QList<Membership>{{1, 2}}));
    memberships.AddMembership(3, 4);
    memberships.SaveMemberships();
    categories.SaveCategories();

    for (const char* name : {"Default.cor", "Default.cat"})
        EXPECT_TRUE(std::filesystem::is_symlink(data / name)) << name;
    EXPECT_EQ(readFile(shared / "memberships"), le32(1) + le32(2) + le32(3) + le32(4));
    EXPECT_EQ(readFile(shared / "categories").size(), 32u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(shared), {}), 2); // no temporary left
}

TEST(DataFiles, TakeThePermissionsOfTheStoreAndWriteNothingUnchanged)
{
    ScratchDir dir;
    namespace fs = std::filesystem;
    writeFile(dir / "Default.cat", categoryRecord(0, "(unassigned)", '\0'));
    fs::permissions(dir / "Default.cat", fs::perms::owner_read | fs::perms::owner_write);
    TCorrespondences memberships(qpath(dir / "Default.cor"));
    TCategories categories(qpath(dir / "Default.cat"), memberships);
    const auto inode = [&](const char* name) {
        struct stat info {};
        ::stat((dir / name).c_str(), &info);
        return info.st_ino;
    };

    // Nothing changed: nothing is written, and no empty membership file is made.
    const auto before = inode("Default.cat");
    categories.SaveCategories();
    memberships.SaveMemberships();
    EXPECT_EQ(inode("Default.cat"), before);
    EXPECT_FALSE(fs::exists(dir / "Default.cor"));

    writeFile(dir / "Default.idb", "a store");
    fs::permissions(dir / "Default.idb", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    categories.FindOrAddCategory(QStringLiteral("new"), false);
    memberships.AddMembership(1, 1);
    categories.SaveCategories();
    memberships.SaveMemberships();
    EXPECT_NE(inode("Default.cat"), before);
    for (const char* name : {"Default.cat", "Default.cor"})
        EXPECT_EQ(fs::status(dir / name).permissions(), fs::status(dir / "Default.idb").permissions()) << name;
}

TEST(DataFiles, AFileThatCannotBeReadIsAnErrorNotAnEmptyList)
{
    ScratchDir dir;
    std::filesystem::create_directories(dir / "Default.cor");
    try {
        TCorrespondences memberships(qpath(dir / "Default.cor"));
        ADD_FAILURE() << "read a directory as memberships";
    } catch (const EDataFileError& error) {
        EXPECT_EQ(std::string(error.what()), "Could not read " + (dir / "Default.cor").string() + ": Is a directory");
    }
}

TEST(DataFiles, StaleTemporariesAreDeletedUnlessAWriteHoldsThem)
{
    ScratchDir dir;
    for (const char* name : {"Default.cor.00AF.TMP", "Default.cor.1234.TMP", "Default.cor.12.TMP",
                             "Default.cat.0001.TMP", "Default.cor.notes", "Default.cor"})
        writeFile(dir / name, "x");
    const int held = ::open((dir / "Default.cor.1234.TMP").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    EXPECT_EQ(deleteStaleDataFileTemporaries(qpath(dir / "Default.cor")), 1);
    ::close(held);
    for (const char* kept :
         {"Default.cor.1234.TMP", "Default.cor.12.TMP", "Default.cat.0001.TMP", "Default.cor.notes", "Default.cor"})
        EXPECT_TRUE(std::filesystem::exists(dir / kept)) << kept;
    EXPECT_FALSE(std::filesystem::exists(dir / "Default.cor.00AF.TMP"));
}

TEST(RemoveableMediaFile, ReadsTheLayoutAndIgnoresWhatMeansNothing)
{
    ScratchDir dir;
    std::string record = le32(0x1A2B3C4D);
    record += '\x05';
    record += "PHOTO" + std::string(6, '?');
    record += 'e';
    record += '\x1e'; // 30: beyond the field
    record += std::string(25, 'd');
    record += '!';
    ASSERT_EQ(record.size(), 44u);
    writeFile(dir / "Default.rmv", record + record.substr(0, 20));

    TRemoveableMediaList disks(qpath(dir / "Default.rmv"));
    EXPECT_TRUE(disks.isEmpty());
    disks.Load();
    ASSERT_EQ(disks.disks().size(), 1);
    const TRemoveableMedium& disk = disks.disks().first();
    EXPECT_EQ(disk.serialNumber, 0x1A2B3C4Du);
    EXPECT_EQ(disk.label, QStringLiteral("PHOTO"));
    EXPECT_EQ(disk.drive, 'e');
    EXPECT_EQ(disk.description, QString(25, QLatin1Char('d')));
    EXPECT_EQ(disks.FindBySerialNumber(0x1A2B3C4D), &disk);
    EXPECT_EQ(disks.FindBySerialNumber(1), nullptr);
}

class ScriptedDescription : public DiskDescriptionPrompt {
public:
    explicit ScriptedDescription(QString answer) : answer_(std::move(answer)) {}
    QString askDescription(const NewDiskDetails& disk) override
    {
        asked.append(disk);
        return answer_;
    }
    QList<NewDiskDetails> asked;

private:
    QString answer_;
};

TEST(RemoveableMedia, AddingADiskAsksOnceAndSavesTheRecord)
{
    ScratchDir dir;
    TRemoveableMediaList disks(qpath(dir / "Default.rmv"));
    disks.Load();
    TVol_Info volume;
    volume.serialNumber = 0xABCD;
    volume.label = QStringLiteral("HOLIDAYS2023");
    volume.read = true;
    volume.removable = true;
    volume.mountPoint = QStringLiteral("/media/u/HOLIDAYS");
    ScriptedDescription prompt(QStringLiteral("Summer pictures from the seaside   "));
    disks.AddDisk(QStringLiteral("/media/u/HOLIDAYS/a.jpg"), volume, prompt);
    ASSERT_EQ(prompt.asked.size(), 1);
    EXPECT_EQ(newDiskLine(prompt.asked.first()),
              QStringLiteral("Drive /media/u/HOLIDAYS   Volume label=HOLIDAYS2023  Ser no: 0000-ABCD"));

    std::string expected = le32(0xABCD) + '\x0b' + "HOLIDAYS202" + '/' + '\x19' + "Summer pictures from the " + '\0';
    EXPECT_EQ(readFile(dir / "Default.rmv"), expected);

    // The same serial number with another label is the same disk: nothing is asked or changed.
    volume.label = QStringLiteral("OTHER");
    disks.AddDisk(QStringLiteral("/media/u/OTHER/b.jpg"), volume, prompt);
    EXPECT_EQ(prompt.asked.size(), 1);
    EXPECT_EQ(readFile(dir / "Default.rmv"), expected);
}

} // namespace
} // namespace glimmora
