// The scrapbook as one: its four files opened under one lock and reconciled, saved in a fixed
// order that stops at a failure, and reads that write nothing.

#include "CatalogFixture.h"

#include "catalog/ImageItemFormat.h"
#include "catalog/RemoveableMediaList.h"
#include "catalog/Scrapbook.h"
#include "store/FileSeam.h"
#include "store/QDB.h"

// Qt
#include <QtEndian>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>

namespace glimmora {
namespace {

using namespace test;
namespace fs = std::filesystem;



QByteArray storedRecord(std::int32_t seqNo, const QByteArray& path, const QString& memo = {})
{
    TImageElement record;
    record.IT_SeqNo = seqNo;
    record.IT_Path = path;
    record.IT_PathHash = PathChecksum(path);
    record.IT_Memo = memo;
    return encodeImageItem(record);
}

// What identifies a file's version on disk: a replacement by rename changes its inode, a write
// in place its modification time.
struct FileVersion {
    ino_t inode = 0;
    std::int64_t modified = 0;
    bool operator==(const FileVersion&) const = default;
};

FileVersion versionOf(const fs::path& file)
{
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0)
        return {};
    return {info.st_ino, std::int64_t(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

// The data file an operation saves: the store is saved by writing into it, the other files by
// renaming a complete temporary over them. Empty for any other operation.
QString savedDataFile(store::FileOperation operation, const std::string& path)
{
    const QString name = QString::fromStdString(fs::path(path).filename().string());
    const bool storeWrite = operation == store::FileOperation::Write && name == QLatin1String("Default.idb");
    const bool replacement = operation == store::FileOperation::Rename && name.startsWith(QLatin1String("Default."));
    return storeWrite || replacement ? name : QString();
}

class Scrapbook : public ::testing::Test {
protected:
    // Records 1, 2 and 3. The memberships hold one of a category that is missing (as when a close
    // was killed between saving them and saving the categories) and one of a record that is
    // missing; record 3 is in no category (as when it was killed between the store and them).
    Scrapbook()
    {
        writeFile(dir / "Default.idb", storeFileBytes({{"MAX_SEQ_NO", QByteArray::fromStdString(le32(3))}},
                                                      {{"000001", storedRecord(1, "/p/oak.png", " tall oak ")},
                                                       {"000002", storedRecord(2, "/p/elm.png")},
                                                       {"000003", storedRecord(3, "/p/fir.png")}}));
        writeFile(dir / "Default.cat", categoryRecord(0, "(unassigned)") + categoryRecord(4, "trees"));
        writeFile(dir / "Default.cor", le32(4) + le32(1) + le32(9) + le32(2) + le32(4) + le32(77));
    }

    QString dataDirectory() const { return qpath(dir.path()); }

    ScratchDir dir;
};

TEST_F(Scrapbook, OpeningSetsTheFilesRightInMemoryAndTheNextSaveWritesIt)
{
    const std::string memberships = readFile(dir / "Default.cor");
    {
        TScrapbook scrapbook(dataDirectory(), TScrapbook::Access::ReadOnly);
        const ScrapbookRepairs& repairs = scrapbook.repairs();
        EXPECT_EQ(repairs.membershipsOfMissingImages, 1);
        EXPECT_EQ(repairs.membershipsOfMissingCategories, 1);
        EXPECT_EQ(repairs.imagesPutInUnassigned, 2);
        EXPECT_EQ(repairs.sentences(), (QStringList{"1 membership of an image that is not in the scrapbook dropped.",
                                                    "1 membership in a category that does not exist dropped.",
                                                    "2 images that were in no category put in (unassigned)."}));
        EXPECT_EQ(scrapbook.memberships().pairs(), (QList<Membership>{{4, 1}, {0, 2}, {0, 3}}));
        EXPECT_THROW(scrapbook.save(), std::logic_error);
    }
    EXPECT_EQ(readFile(dir / "Default.cor"), memberships) << "a query writes nothing";

    {
        TScrapbook scrapbook(dataDirectory(), TScrapbook::Access::ReadWrite);
        EXPECT_EQ(readFile(dir / "Default.cor"), memberships) << "only the save writes the repairs";
        scrapbook.save();
    }
    EXPECT_EQ(readFile(dir / "Default.cor"), le32(4) + le32(1) + le32(0) + le32(2) + le32(0) + le32(3));
    TScrapbook again(dataDirectory(), TScrapbook::Access::ReadOnly);
    EXPECT_FALSE(again.repairs().any());
}

TEST_F(Scrapbook, SavesTheStoreThenTheMembershipsThenTheCategoriesAndNothingAfterAFailure)
{
    const struct {
        const char* failing; // the file whose replacement fails
        const char* message;
        QStringList written;
    } cases[] = {
        {"Default.idb",
         "could not be saved: The drive is full. None of the changes since the last save was written.",
         {}},
        {"Default.cor",
         "Could not save %1/Default.cor: Permission denied. The image store was saved; the memberships "
         "and the categories were not.",
         {"Default.idb"}},
        {"Default.cat",
         "Could not save %1/Default.cat: Permission denied. The image store and the memberships were "
         "saved; the categories were not.",
         {"Default.idb", "Default.cor"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failing);
        ScratchDir data;
        for (const char* name : {"Default.idb", "Default.cat", "Default.cor"})
            fs::copy_file(dir / name, data / name);
        TScrapbook scrapbook(qpath(data.path()), TScrapbook::Access::ReadWrite);
        TImageElement record = *scrapbook.images().ReadImage(2);
        record.IT_Memo = QStringLiteral(" changed ");
        scrapbook.images().WriteImage(record);
        scrapbook.categories().AddImageToCategory(*scrapbook.categories().FindOrAddCategory("shrubs", false).first,
                                                  record);

        QStringList replaced;
        std::map<std::string, std::string> before;
        for (const char* name : {"Default.idb", "Default.cat", "Default.cor"})
            before[name] = readFile(data / name);
        try {
            store::ScopedFaultHook failing([&](store::FileOperation operation, const std::string& path) {
                const QString name = savedDataFile(operation, path);
                if (name.isEmpty())
                    return 0;
                if (name == QLatin1String(c.failing))
                    return name == QLatin1String("Default.idb") ? ENOSPC : EACCES;
                if (!replaced.contains(name))
                    replaced.append(name);
                return 0;
            });
            scrapbook.save();
            ADD_FAILURE() << "saved";
        } catch (const EScrapbookSaveError& error) {
            EXPECT_TRUE(
                QString::fromUtf8(error.what()).contains(QString::fromLatin1(c.message).arg(qpath(data.path()))))
                << error.what();
        }
        EXPECT_EQ(replaced, c.written);
        for (const char* name : {"Default.idb", "Default.cat", "Default.cor"}) {
            if (!c.written.contains(QLatin1String(name))) {
                EXPECT_EQ(readFile(data / name), before[name]) << name;
            }
        }

        // The changes were kept: the next save writes them all, in order.
        QStringList order;
        {
            store::ScopedFaultHook watching([&](store::FileOperation operation, const std::string& path) {
                const QString name = savedDataFile(operation, path);
                if (!name.isEmpty() && !order.contains(name))
                    order.append(name);
                return 0;
            });
            scrapbook.save();
        }
        const QStringList unsaved = QStringList{"Default.idb", "Default.cor", "Default.cat"}.mid(c.written.size());
        EXPECT_EQ(order, unsaved);
        EXPECT_EQ(scrapbook.images().ReadImage(2)->IT_Memo, QStringLiteral(" changed "));
        EXPECT_EQ(readFile(data / "Default.cat").size(), 3u * 32);
    }
}

TEST_F(Scrapbook, NoTwoOpenAtOnceAndAnUnusableDirectoryIsReported)
{
    TScrapbook first(dataDirectory(), TScrapbook::Access::ReadOnly);
    try {
        TScrapbook second(dataDirectory(), TScrapbook::Access::ReadOnly);
        ADD_FAILURE() << "opened twice";
    } catch (const EScrapbookError& error) {
        EXPECT_TRUE(
            QString::fromUtf8(error.what())
                .startsWith(QStringLiteral("The scrapbook in %1 is in use by another program").arg(dataDirectory())))
            << error.what();
    }

    const QString file = qpath(dir / "Default.idb");
    try {
        TScrapbook notADirectory(file, TScrapbook::Access::ReadWrite);
        ADD_FAILURE() << "opened a file as a data directory";
    } catch (const EScrapbookError& error) {
        EXPECT_EQ(QString::fromUtf8(error.what()),
                  QStringLiteral("The data directory %1 cannot be used: Not a directory.").arg(file));
    }
}

TEST_F(Scrapbook, ADamagedStoreIsNamedAndNothingIsChanged)
{
    writeFile(dir / "Default.idb", std::string_view("QDB\0not a store at all", 22));
    writeFile(dir / "Default.cor.00AB.TMP", "left by a killed save");
    const std::string memberships = readFile(dir / "Default.cor");
    const QString store = qpath(dir / "Default.idb");
    try {
        TScrapbook scrapbook(dataDirectory(), TScrapbook::Access::ReadWrite);
        ADD_FAILURE() << "opened";
    } catch (const EScrapbookError& error) {
        EXPECT_EQ(
            QString::fromUtf8(error.what()),
            QStringLiteral("The image store %1 is damaged: The file %1 is not a valid QDB file. Nothing was "
                           "changed. \"glimmora-cli salvage\" makes a new store of every record that can still be "
                           "read.")
                .arg(store));
    }
    EXPECT_EQ(readFile(dir / "Default.cor"), memberships);
    EXPECT_TRUE(fs::exists(dir / "Default.cor.00AB.TMP"));

    // Once it opens, a writer's leftovers go.
    fs::remove(dir / "Default.idb");
    TScrapbook scrapbook(dataDirectory(), TScrapbook::Access::ReadWrite);
    EXPECT_FALSE(fs::exists(dir / "Default.cor.00AB.TMP"));
    EXPECT_FALSE(fs::exists(dir / "Default.idb")) << "opening makes no store";
}

// Listing, searching, opening a category and the start-up checks read: the store file keeps its
// inode and modification time, and nothing in the data directory is written, made or removed.
TEST_F(Scrapbook, ReadsWriteNothing)
{
    const fs::path storeFile = dir / "Default.idb";
    const FileVersion before = versionOf(storeFile);
    QStringList touched;
    const std::string data = fs::canonical(dir.path()).string();
    store::ScopedFaultHook watching([&](store::FileOperation operation, const std::string& path) {
        const bool reads = operation == store::FileOperation::Open || operation == store::FileOperation::Read
                           || operation == store::FileOperation::Seek || operation == store::FileOperation::Status
                           || operation == store::FileOperation::ReadLink;
        if (!reads && fs::weakly_canonical(path).string().starts_with(data))
            touched.append(QStringLiteral("%1 %2").arg(int(operation)).arg(QString::fromStdString(path)));
        return 0;
    });
    for (const auto access : {TScrapbook::Access::ReadOnly, TScrapbook::Access::ReadWrite}) {
        TScrapbook scrapbook(dataDirectory(), access);
        EXPECT_FALSE(scrapbook.images().ImageStoreEmpty());
        TCategory& trees = *scrapbook.categories().FindOrAddCategory("trees", true).first;
        RecordingView window(scrapbook.categories());
        scrapbook.categories().AttachWindow(trees, window);
        EXPECT_EQ(window.itemTexts(), QStringList{"oak.png"});
        window.closeView();
        EXPECT_EQ(scrapbook.images().SearchMemos(QStringLiteral("oak")).size(), 1u);
        int listed = 0;
        for (auto record = scrapbook.images().FirstImage(); record; record = scrapbook.images().NextImage())
            ++listed;
        scrapbook.images().EndReadPass();
        EXPECT_EQ(listed, 3);
        EXPECT_EQ(scrapbook.images().PathIndex().size(), 3);
        EXPECT_FALSE(scrapbook.images().ImageTable().active());
    }
    EXPECT_EQ(touched, QStringList()) << touched.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(versionOf(storeFile), before);
}

} // namespace
} // namespace glimmora
