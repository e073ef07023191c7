#pragma once

// Qt
#include <QList>
#include <QString>

#include <cstdint>

namespace glimmora {

// The kinds of drive a volume can sit on; the values are those the catalogue's callers compare.
enum class DriveType : int {
    Unknown = 0,
    NoRootDir = 1,
    Removable = 2, // USB sticks, SD cards, floppy disks
    Fixed = 3,
    Remote = 4,  // nfs, cifs, sshfs and other network file systems
    CdRom = 5,   // optical drives, iso9660 and udf
    RamDisk = 6, // tmpfs, ramfs
};

// What the platform knows about the volume a path lies on.
struct VolumeIdentity {
    bool read = false; // the volume could be queried at all
    std::uint32_t serialNumber = 0xFFFFFFFFu;
    QString label = QStringLiteral("(none)"); // empty when the file system has no label
    DriveType driveType = DriveType::NoRootDir;
    QString mountPoint; // where the volume is mounted; empty when unknown
};

// One mounted file system, as the mount table describes it.
struct MountEntry {
    QString mountPoint;
    QString device;     // the mount source, e.g. /dev/sdb1
    QString fileSystem; // e.g. vfat, ext4, iso9660
    unsigned major = 0; // block device numbers from the mount table (0:0 when none)
    unsigned minor = 0;
};

// The mount whose mount point is the longest prefix of an absolute path (whole components
// only), or nullptr when none is.
const MountEntry* mountOf(const QString& path, const QList<MountEntry>& mounts);

// Parses the text of /proc/self/mountinfo (octal escapes such as \040 decoded).
QList<MountEntry> parseMountInfo(const QByteArray& text);

// Turns a file-system UUID into the 32-bit serial number: FAT and exFAT "1A2B-3C4D" is
// 0x1A2B3C4D, NTFS gives its low 32 bits, others their first 32 bits. Returns false when the
// text holds no hexadecimal digits to use.
bool serialFromUuid(const QString& uuid, const QString& fileSystem, std::uint32_t* serial);

// The drive type of a mounted file system by its type and device alone (no removable test).
DriveType driveTypeOfFileSystem(const MountEntry& mount);

// Answers the volume questions of the program. The system table reads the mount table, the udev
// links and libblkid; tests install a table of their own.
class VolumeTable {
public:
    virtual ~VolumeTable() = default;

    virtual VolumeIdentity volumeOf(const QString& path) const = 0;
    // The volumes of block devices that are mounted now, in mount-table order (to say where a
    // disk known by its serial number can be found).
    virtual QList<VolumeIdentity> mountedVolumes() const = 0;

    // The table in use; the system table unless a test installed another.
    static const VolumeTable& current();
    // Not owned; nullptr restores the system table.
    static void install(const VolumeTable* table);
};

// A fixed table of mounts for tests: each path lies on the fake volume with the longest
// mount-point prefix; a path under none of them lies on no volume (unreadable).
class FakeVolumeTable : public VolumeTable {
public:
    struct Volume {
        QString mountPoint;
        std::uint32_t serialNumber = 0;
        QString label;
        DriveType driveType = DriveType::Fixed;
    };

    void addVolume(const Volume& volume) { volumes_.append(volume); }
    void removeVolume(const QString& mountPoint);
    VolumeIdentity volumeOf(const QString& path) const override;
    QList<VolumeIdentity> mountedVolumes() const override;

private:
    QList<Volume> volumes_;
};

// Installs a FakeVolumeTable for the lifetime of the object (tests).
class ScopedFakeVolumes : public FakeVolumeTable {
public:
    ScopedFakeVolumes() { VolumeTable::install(this); }
    ~ScopedFakeVolumes() override { VolumeTable::install(nullptr); }
};

} // namespace glimmora
