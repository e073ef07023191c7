#include "catalog/RemoveableMediaList.h"
#include "catalog/Volume.h"
#include "platform/MessageService.h"
#include "platform/Volumes.h"

#include "CatalogFixture.h"

#include <gtest/gtest.h>

namespace glimmora {
namespace {

using namespace test;

TEST(SerialNumbers, AreShownAsTwoGroupsOfFourHexDigits)
{
    EXPECT_EQ(FormatSerialNumber(0x1A2B3C4D), QStringLiteral("1A2B-3C4D"));
    EXPECT_EQ(FormatSerialNumber(0xABCD), QStringLiteral("0000-ABCD"));
    EXPECT_EQ(FormatSerialNumber(0xFFFFFFFF), QStringLiteral("FFFF-FFFF"));
}

TEST(SerialNumbers, ComeFromFileSystemUuids)
{
    const struct {
        const char* uuid;
        const char* fileSystem;
        bool ok;
        std::uint32_t serial;
    } cases[] = {
        {"1A2B-3C4D", "vfat", true, 0x1A2B3C4D},
        {"0000-abcd", "exfat", true, 0xABCD},
        {"0123456789ABCDEF", "ntfs", true, 0x89ABCDEF},
        {"3f2b9c1e-55aa-4f0e-9d1c-0123456789ab", "ext4", true, 0x3F2B9C1E},
        {"2023-01-15-12-34-56-00", "iso9660", true, 0x20230115},
        {"", "ext4", false, 0},
        {"not-a-uuid", "ext4", false, 0},
    };
    for (const auto& c : cases) {
        std::uint32_t serial = 0;
        EXPECT_EQ(serialFromUuid(QString::fromLatin1(c.uuid), QString::fromLatin1(c.fileSystem), &serial), c.ok)
            << c.uuid;
        if (c.ok) {
            EXPECT_EQ(serial, c.serial) << c.uuid;
        }
    }
}

TEST(MountTable, IsParsedAndTheLongestWholeComponentPrefixWins)
{
    const QByteArray mountInfo = "22 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
                                 "60 22 8:17 / /media/u/MY\\040STICK rw,nosuid shared:30 - vfat /dev/sdb1 rw,uid=1000\n"
                                 "61 22 11:0 / /media/u/cd ro master:2 - iso9660 /dev/sr0 ro\n"
                                 "62 22 0:45 / /home/u/net rw - nfs4 server:/export rw\n"
                                 "63 22 0:30 / /tmp rw - tmpfs tmpfs rw\n"
                                 "64 22 0:52 / /srv rw - zfs rpool/srv rw\n"
                                 "65 22 11:1 / /media/u/mac ro - hfsplus /dev/sr1 ro\n"
                                 "garbage line\n";
    const QList<MountEntry> mounts = parseMountInfo(mountInfo);
    ASSERT_EQ(mounts.size(), 7);
    EXPECT_EQ(mounts[1].mountPoint, QStringLiteral("/media/u/MY STICK"));
    EXPECT_EQ(mounts[1].device, QStringLiteral("/dev/sdb1"));
    EXPECT_EQ(mounts[1].fileSystem, QStringLiteral("vfat"));
    EXPECT_EQ(mounts[1].major, 8u);
    EXPECT_EQ(mounts[1].minor, 17u);

    EXPECT_EQ(mountOf(QStringLiteral("/media/u/MY STICK/a.jpg"), mounts), &mounts[1]);
    EXPECT_EQ(mountOf(QStringLiteral("/media/u/MY STICKS/a.jpg"), mounts), &mounts[0]);
    EXPECT_EQ(mountOf(QStringLiteral("/media/u/cd"), mounts), &mounts[2]);

    // Optical drives are told by their device node: a data set named "…/srv" is no CD.
    const DriveType types[] = {DriveType::Fixed,   DriveType::Fixed, DriveType::CdRom, DriveType::Remote,
                               DriveType::RamDisk, DriveType::Fixed, DriveType::CdRom};
    for (qsizetype i = 0; i < mounts.size(); ++i)
        EXPECT_EQ(driveTypeOfFileSystem(mounts[i]), types[i]) << i;
}

TEST(SystemVolumes, AnswerForTheSandbox)
{
    const TVol_Info info = ReadVolumeInfo(qpath(sandboxRoot()));
    EXPECT_TRUE(info.read);
    EXPECT_FALSE(info.mountPoint.isEmpty());
    EXPECT_EQ(VolumeSerialOf(qpath(sandboxRoot())), info.serialNumber);
    EXPECT_EQ(ReadVolumeInfo(qpath(sandboxRoot() / "no such file")).serialNumber, info.serialNumber);
}

class LoadErrors : public ::testing::Test {
protected:
    LoadErrors()
    {
        volumes.addVolume({QStringLiteral("/"), 0x11112222, QStringLiteral("root"), DriveType::Fixed});
        volumes.addVolume({QStringLiteral("/media/cd"), 0x0BAD0BAD, QStringLiteral("OTHER"), DriveType::CdRom});
        disks.disks().append({0x1A2B3C4D, QStringLiteral("PHOTOS"), '/', QStringLiteral("Holiday 2023")});
    }

    static TImageElement removableRecord(const QString& path, std::uint32_t serial)
    {
        TImageElement record;
        record.IT_SeqNo = 3;
        record.IT_Path = pathBytes(path);
        record.IT_Removable = true;
        record.IT_VolumeSerial = serial;
        return record;
    }

    ScratchDir dir;
    ScopedFakeVolumes volumes;
    ScopedScriptedMessages messages;
    TRemoveableMediaList disks{qpath(dir / "Default.rmv")};
};

TEST_F(LoadErrors, AFileGoneFromAFixedDiskIsNoLongerOnDisk)
{
    TImageElement record;
    record.IT_Path = pathBytes(qpath(dir / "gone.jpg"));
    const LoadErrorOutcome gone =
        HandleLoadError(localPath(record.IT_Path), &record, QStringLiteral("cannot open"), false, &disks);
    EXPECT_EQ(gone.resultCode, 7);
    EXPECT_EQ(gone.errorText,
              QStringLiteral("File ") + localPath(record.IT_Path) + QStringLiteral(" is no longer on disk."));

    writeFile(dir / "there.jpg", "x");
    record.IT_Path = pathBytes(qpath(dir / "there.jpg"));
    const LoadErrorOutcome there =
        HandleLoadError(localPath(record.IT_Path), &record, QStringLiteral("bad data"), false, &disks);
    EXPECT_EQ(there.resultCode, 7);
    EXPECT_EQ(there.errorText, QStringLiteral("bad data"));

    const LoadErrorOutcome noRecord =
        HandleLoadError(localPath(record.IT_Path), nullptr, QStringLiteral("m"), false, &disks);
    EXPECT_EQ(noRecord.resultCode, 7);
    EXPECT_EQ(noRecord.errorText, QStringLiteral("m"));
    EXPECT_TRUE(messages.shown().isEmpty());
}

TEST_F(LoadErrors, AnAbsentRemovableDiskIsDescribedSilentlyOrPrompted)
{
    const QString onCd = QStringLiteral("/media/cd/pics/a.jpg");
    const TImageElement listed = removableRecord(onCd, 0x1A2B3C4D);
    const QString listedText = QStringLiteral("File /media/cd/pics/a.jpg is on CD ROM serial no. 1A2B-3C4D\r"
                                              "Label=PHOTOS\rDescription=Holiday 2023");

    const LoadErrorOutcome silent = HandleLoadError(onCd, &listed, QStringLiteral("m"), true, &disks);
    EXPECT_EQ(silent.resultCode, 2);
    EXPECT_EQ(silent.errorText, listedText);
    EXPECT_TRUE(messages.shown().isEmpty());

    messages.answer(MessageButton::Retry);
    messages.answer(MessageButton::Cancel);
    const LoadErrorOutcome retry = HandleLoadError(onCd, &listed, QStringLiteral("m"), false, &disks);
    const LoadErrorOutcome cancel = HandleLoadError(onCd, &listed, QStringLiteral("m"), false, &disks);
    EXPECT_EQ(retry.resultCode, 4);
    EXPECT_EQ(cancel.resultCode, 2);
    const QString prompt = listedText + QStringLiteral("\r\rInsert this disk and click Retry.");
    EXPECT_EQ(retry.errorText, prompt);
    ASSERT_EQ(messages.shown().size(), 2);
    const Message& shown = messages.shown().first().message;
    EXPECT_EQ(shown.text, prompt);
    EXPECT_EQ(shown.icon, MessageIcon::Error);
    EXPECT_EQ(shown.buttons, MessageButton::Retry | MessageButton::Cancel);
    EXPECT_EQ(shown.beep, MessageBeep::Question);

    // A stick that is not mounted at all, and not in the registry.
    const TImageElement unlisted = removableRecord(QStringLiteral("/media/stick/b.png"), 0xABCD);
    const LoadErrorOutcome absent =
        HandleLoadError(localPath(unlisted.IT_Path), &unlisted, QStringLiteral("m"), true, &disks);
    EXPECT_EQ(absent.resultCode, 2);
    EXPECT_EQ(absent.errorText, QStringLiteral("File /media/stick/b.png is on unknown drive serial no. 0000-ABCD\r"
                                               "Label=(none)\rDescription="));
}

TEST_F(LoadErrors, TheRightDiskInItsDriveCountsAsInPlace)
{
    volumes.addVolume({qpath(dir.path()), 0x1A2B3C4D, QStringLiteral("PHOTOS"), DriveType::Removable});
    const TImageElement record = removableRecord(qpath(dir / "missing.png"), 0x1A2B3C4D);
    const LoadErrorOutcome outcome =
        HandleLoadError(localPath(record.IT_Path), &record, QStringLiteral("m"), false, &disks);
    EXPECT_EQ(outcome.resultCode, 7);
    EXPECT_EQ(outcome.errorText,
              QStringLiteral("File ") + localPath(record.IT_Path) + QStringLiteral(" is no longer on disk."));
    EXPECT_TRUE(messages.shown().isEmpty());

    const TVol_Info info = ReadVolumeInfo(localPath(record.IT_Path));
    EXPECT_TRUE(info.removable);
    EXPECT_EQ(info.label, QStringLiteral("PHOTOS"));
    EXPECT_EQ(info.mountPoint, qpath(dir.path()));
}

TEST_F(LoadErrors, APathOnNoVolumeIsUnreadable)
{
    FakeVolumeTable empty;
    VolumeTable::install(&empty);
    const TVol_Info info = ReadVolumeInfo(QStringLiteral("/x/y.jpg"));
    VolumeTable::install(&volumes);
    EXPECT_FALSE(info.read);
    EXPECT_EQ(info.serialNumber, 0xFFFFFFFFu);
    EXPECT_EQ(info.label, QStringLiteral("(none)"));
    EXPECT_FALSE(info.removable);
}

} // namespace
} // namespace glimmora
