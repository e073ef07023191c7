// Moving and copying picture files with the scrapbook following: the texts the user is shown,
// the record and path index of a moved image, what is on disk after each outcome (read back
// from the saved files while the scrapbook is still open), and a move between file systems.

#include "catalog/Categories.h"
#include "catalog/Correspondences.h"
#include "catalog/ImageElementForm.h"
#include "catalog/RemoveableMediaList.h"
#include "catalog/Scrapbook.h"
#include "files/FileCopy.h"
#include "files/FileTransfer.h"
#include "platform/Volumes.h"

#include "Scratch.h"
#include "ScrapbookWriter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include <sys/stat.h>

namespace glimmora {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;

class CountingPrompt : public DiskDescriptionPrompt {
public:
    QString askDescription(const NewDiskDetails&) override
    {
        ++asked;
        return QStringLiteral("holiday stick");
    }
    int asked = 0;
};

class FileTransfer : public ::testing::Test {
protected:
    FileTransfer()
    {
        fs::create_directories(oldDir);
        fs::create_directories(newDir);
        for (const char* name : {"a.bmp", "b.bmp", "c.bmp"})
            writeFile(oldDir / name, std::string("picture ") + name);
        test::writeScrapbook(base, {{path(oldDir / "a.bmp"), {"trees"}},
                                    {path(oldDir / "b.bmp"), {"trees"}},
                                    {path(oldDir / "c.bmp"), {"garden"}}});
        scrapbook = std::make_unique<TScrapbook>(path(dir.path()), TScrapbook::Access::ReadWrite);
    }

    static QString path(const fs::path& p) { return QString::fromStdString(p.string()); }

    QList<TImageElement> records(std::initializer_list<int> numbers)
    {
        QList<TImageElement> found;
        for (const int number : numbers)
            found.append(*scrapbook->images().ReadImage(number));
        scrapbook->images().EndReadPass();
        return found;
    }

    TransferResult transfer(std::initializer_list<int> numbers, const fs::path& to, TransferMode mode)
    {
        TFileTransfer transfer(*scrapbook, messages, prompt);
        return transfer.TransferImages(records(numbers), path(to), mode);
    }

    // The path of a record as the saved store holds it, read by a catalogue of its own.
    QByteArray savedPath(int seqNo) const
    {
        TCorrespondences memberships(base + ".cor");
        TCategories categories(base + ".cat", memberships);
        TImageElementForm images(base + ".idb", categories, TImageElementForm::Access::ReadOnly);
        const auto record = images.ReadImage(seqNo);
        return record ? record->IT_Path : QByteArray();
    }

    test::ScratchDir dir;
    QString base = path(dir / "Default");
    fs::path oldDir = dir / "old";
    fs::path newDir = dir / "new";
    std::unique_ptr<TScrapbook> scrapbook;
    ScriptedMessageService messages;
    CountingPrompt prompt;
};

TEST_F(FileTransfer, ConfirmationHasTwoBlanksAfterTheVerbAndAnSOnlyForSeveral)
{
    EXPECT_EQ(transferConfirmation(TransferMode::Move, 1, "/new").text,
              "Are you sure you want to move  the selected image to directory /new?");
    const Message several = transferConfirmation(TransferMode::Copy, 3, "/new");
    EXPECT_EQ(several.text, "Are you sure you want to copy  the selected images to directory /new?");
    EXPECT_EQ(several.caption, "Confirm Move");
    EXPECT_EQ(several.defaultButton, MessageButton::No);
}

TEST_F(FileTransfer, MovedImageFollowsItsFileInRecordIndexAndSavedStore)
{
    const TransferResult result = transfer({1}, newDir, TransferMode::Move);

    EXPECT_EQ(result.transferred, 1);
    const QString target = path(newDir / "a.bmp");
    EXPECT_EQ(messages.texts(), QStringList{"File a.bmp has been moved to directory: " + path(newDir) + "."});
    EXPECT_EQ(messages.shown().first().message.caption, "Success!");
    EXPECT_FALSE(fs::exists(oldDir / "a.bmp"));
    EXPECT_EQ(readFile(newDir / "a.bmp"), "picture a.bmp");
    // Saved before the command returned, and found again by its new path (an import of the
    // directory meets it as known).
    EXPECT_EQ(savedPath(1), pathBytes(target));
    const auto moved = scrapbook->images().ReadImage(1);
    EXPECT_EQ(moved->IT_PathHash, PathChecksum(pathBytes(target)));
    EXPECT_EQ(scrapbook->images().KnownImageNumber(target), 1);
    EXPECT_FALSE(scrapbook->images().KnownImageNumber(path(oldDir / "a.bmp")));
    // The categories' loaded copies follow, so an open window shows the new path at once.
    TCategory& trees = *scrapbook->categories().FindOrAddCategory("trees", true).first;
    scrapbook->categories().LoadCategoryImages(trees);
    EXPECT_EQ(trees.ImageElementList->front()->IT_Path, pathBytes(target));
}

TEST_F(FileTransfer, CopyTellsEachFileInThePluralAndChangesNoRecord)
{
    const TransferResult result = transfer({1, 2, 3}, newDir, TransferMode::Copy);

    EXPECT_EQ(result.transferred, 3);
    const QString text = "The selected files have been copied to directory: " + path(newDir) + ".";
    EXPECT_EQ(messages.texts(), (QStringList{text, text, text}));
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) {
        EXPECT_EQ(readFile(oldDir / name), std::string("picture ") + name);
        EXPECT_EQ(readFile(newDir / name), std::string("picture ") + name);
    }
    EXPECT_EQ(savedPath(2), pathBytes(path(oldDir / "b.bmp")));
}

TEST_F(FileTransfer, OwnDirectoryAsksToOverwriteAndNeverEmptiesTheFile)
{
    for (const MessageButton answer : {MessageButton::No, MessageButton::Yes}) {
        messages.clear();
        messages.answer(answer);
        const TransferResult result = transfer({1}, oldDir, TransferMode::Move);

        EXPECT_EQ(messages.texts().first(),
                  "The image file is already in directory " + path(oldDir) + ". Do you wish to overwrite it?");
        EXPECT_EQ(messages.shown().first().message.defaultButton, MessageButton::No);
        EXPECT_EQ(result.keepOpen, answer == MessageButton::No);
        EXPECT_EQ(result.transferred, 0);
        EXPECT_EQ(readFile(oldDir / "a.bmp"), "picture a.bmp");
        EXPECT_EQ(savedPath(1), pathBytes(path(oldDir / "a.bmp")));
    }
    EXPECT_EQ(messages.shown().last().message.caption, "Copy Error");
}

TEST_F(FileTransfer, OverwriteAnswersDecideWhetherAnExistingTargetIsReplaced)
{
    writeFile(newDir / "a.bmp", "older picture");
    ::chmod((newDir / "a.bmp").c_str(), 0444);
    messages.answer(MessageButton::No);
    EXPECT_TRUE(transfer({1}, newDir, TransferMode::Copy).keepOpen);
    EXPECT_EQ(readFile(newDir / "a.bmp"), "older picture");

    messages.answer(MessageButton::Yes);
    EXPECT_EQ(transfer({1}, newDir, TransferMode::Copy).transferred, 1);
    EXPECT_EQ(readFile(newDir / "a.bmp"), "picture a.bmp");
    EXPECT_TRUE(fs::status(newDir / "a.bmp").permissions() == fs::status(oldDir / "a.bmp").permissions());
}

TEST_F(FileTransfer, MissingOriginalIsReportedAndTheOthersStillGo)
{
    fs::remove(oldDir / "a.bmp");
    const TransferResult result = transfer({1, 2}, newDir, TransferMode::Move);

    EXPECT_EQ(result.transferred, 1);
    EXPECT_TRUE(result.keepOpen);
    EXPECT_EQ(messages.texts().first(), "The image file is no longer in directory " + path(oldDir) + ".");
    EXPECT_EQ(savedPath(2), pathBytes(path(newDir / "b.bmp")));
}

TEST_F(FileTransfer, FailedCopyLeavesOriginalRecordAndNoTemporaryBehind)
{
    const fs::path missing = dir / "no such directory";
    const TransferResult result = transfer({1}, missing, TransferMode::Move);

    EXPECT_EQ(result.failed, 1);
    EXPECT_TRUE(messages.texts().first().startsWith(
        "The file could not be copied to its destination because: No such file or directory"));
    EXPECT_EQ(readFile(oldDir / "a.bmp"), "picture a.bmp");
    EXPECT_EQ(savedPath(1), pathBytes(path(oldDir / "a.bmp")));
}

// A copy put in place can be taken back, and an existing target it replaced comes back with it.
TEST(FileCopySteps, UndoRestoresTheTargetThatWasThere)
{
    test::ScratchDir dir;
    writeFile(dir / "source", "new");
    writeFile(dir / "target", "old");
    const QByteArray target = QByteArray::fromStdString((dir / "target").string());
    {
        TFileCopy copy(QByteArray::fromStdString((dir / "source").string()), target);
        ASSERT_TRUE(copy.Prepare());
        EXPECT_EQ(readFile(dir / "target"), "old");
        ASSERT_TRUE(copy.Commit(true));
        EXPECT_EQ(readFile(dir / "target"), "new");
    } // unfinished: undone
    EXPECT_EQ(readFile(dir / "target"), "old");
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 2); // no copy or put-aside file left
}

TEST_F(FileTransfer, MoveAcrossFileSystemsKeepsTheBytesAndTheTimes)
{
    struct stat here;
    struct stat there;
    ASSERT_EQ(::stat(dir.path().c_str(), &here), 0);
    if (::stat("/dev/shm", &there) != 0 || there.st_dev == here.st_dev)
        GTEST_SKIP() << "no second file system at /dev/shm";
    char pattern[] = "/dev/shm/glimmora-move-XXXXXX";
    const fs::path elsewhere = ::mkdtemp(pattern);
    const auto mtime = fs::last_write_time(oldDir / "c.bmp");

    EXPECT_EQ(transfer({3}, elsewhere, TransferMode::Move).transferred, 1);

    EXPECT_FALSE(fs::exists(oldDir / "c.bmp"));
    EXPECT_EQ(readFile(elsewhere / "c.bmp"), "picture c.bmp");
    EXPECT_EQ(fs::last_write_time(elsewhere / "c.bmp"), mtime);
    EXPECT_EQ(savedPath(3), pathBytes(path(elsewhere / "c.bmp")));
    fs::remove_all(elsewhere);
}

TEST_F(FileTransfer, MoveToAnUnknownRemovableDiskRegistersItOnce)
{
    ScopedFakeVolumes volumes;
    volumes.addVolume({path(dir.path()), 0x11112222, "FIXED", DriveType::Fixed});
    volumes.addVolume({path(newDir), 0x1A2B3C4D, "STICK", DriveType::Removable});

    EXPECT_EQ(transfer({1, 2}, newDir, TransferMode::Move).transferred, 2);

    EXPECT_EQ(prompt.asked, 1);
    ASSERT_EQ(scrapbook->disks().disks().size(), 1);
    EXPECT_EQ(scrapbook->disks().disks().first().description, "holiday stick");
    const auto moved = records({1}).first();
    EXPECT_TRUE(moved.IT_Removable);
    EXPECT_EQ(moved.IT_VolumeSerial, 0x1A2B3C4Du);
}

} // namespace
} // namespace glimmora
