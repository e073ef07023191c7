#include "platform/Volumes.h"

// Qt
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <blkid/blkid.h>
#include <fcntl.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace glimmora {

namespace {

// mountinfo escapes blanks, tabs, newlines and backslashes as \ooo.
QString unescapeMountField(const QByteArray& field)
{
    QByteArray plain;
    plain.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const auto isOctal = [&](qsizetype at) { return at < field.size() && field[at] >= '0' && field[at] <= '7'; };
        if (field[i] == '\\' && isOctal(i + 1) && isOctal(i + 2) && isOctal(i + 3)) {
            plain.append(
                static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0')));
            i += 3;
        } else {
            plain.append(field[i]);
        }
    }
    return QFile::decodeName(plain);
}

// udev escapes characters of link names as \xHH.
QString unescapeUdevName(const QString& name)
{
    QByteArray bytes = QFile::encodeName(name);
    QByteArray plain;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        bool ok = false;
        if (bytes[i] == '\\' && i + 3 < bytes.size() && bytes[i + 1] == 'x') {
            const int value = bytes.mid(i + 2, 2).toInt(&ok, 16);
            if (ok) {
                plain.append(static_cast<char>(value));
                i += 3;
                continue;
            }
        }
        plain.append(bytes[i]);
    }
    return QString::fromUtf8(plain);
}

bool contains(std::initializer_list<const char*> names, const QString& name)
{
    return std::any_of(names.begin(), names.end(),
                       [&name](const char* listed) { return name == QLatin1String(listed); });
}

QString sysfsDeviceDirectory(const MountEntry& mount)
{
    return QStringLiteral("/sys/dev/block/%1:%2").arg(mount.major).arg(mount.minor);
}

// The device node of a mount: the kernel's name for its device numbers, else the mount source.
QString deviceNode(const MountEntry& mount)
{
    QFile uevent(sysfsDeviceDirectory(mount) + QStringLiteral("/uevent"));
    if (mount.major != 0 && uevent.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : uevent.readAll().split('\n'))
            if (line.startsWith("DEVNAME="))
                return QStringLiteral("/dev/") + QFile::decodeName(line.mid(8));
    }
    const QString canonical = QFileInfo(mount.device).canonicalFilePath();
    return canonical.isEmpty() ? mount.device : canonical;
}

bool readsOne(const QString& file)
{
    QFile flag(file);
    return flag.open(QIODevice::ReadOnly) && flag.readAll().trimmed() == "1";
}

// A partition's removable flag is its disk's; disks on the USB bus count as removable too, as many
// sticks and card readers report themselves as fixed.
bool isRemovableDevice(const MountEntry& mount)
{
    if (mount.major == 0)
        return false;
    const QString device = QFileInfo(sysfsDeviceDirectory(mount)).canonicalFilePath();
    if (device.isEmpty())
        return false;
    const QString disk = QFileInfo::exists(device + QStringLiteral("/partition")) ? QFileInfo(device).path() : device;
    return readsOne(disk + QStringLiteral("/removable")) || disk.contains(QStringLiteral("/usb"));
}

// The link in a /dev/disk directory that points at the device, decoded; empty when there is none.
QString udevLinkName(const QString& directory, const QString& device)
{
    QDirIterator links(directory, QDir::System | QDir::Files | QDir::NoDotAndDotDot);
    while (links.hasNext()) {
        const QFileInfo link(links.next());
        if (link.canonicalFilePath() == device)
            return unescapeUdevName(link.fileName());
    }
    return {};
}

struct FileSystemTags {
    QString uuid;
    QString label;
    bool probed = false;
};

// Reads the superblock where the device can be read (a file-system image, or as root).
FileSystemTags probeWithBlkid(const QString& device)
{
    FileSystemTags tags;
    const QByteArray name = QFile::encodeName(device);
    if (::access(name.constData(), R_OK) != 0)
        return tags;
    std::unique_ptr<std::remove_pointer_t<blkid_probe>, decltype(&blkid_free_probe)> probe(
        blkid_new_probe_from_filename(name.constData()), &blkid_free_probe);
    if (!probe)
        return tags;
    blkid_probe_enable_superblocks(probe.get(), 1);
    blkid_probe_set_superblocks_flags(probe.get(), BLKID_SUBLKS_LABEL | BLKID_SUBLKS_UUID | BLKID_SUBLKS_TYPE);
    if (blkid_do_safeprobe(probe.get()) != 0)
        return tags;
    const char* value = nullptr;
    if (blkid_probe_lookup_value(probe.get(), "UUID", &value, nullptr) == 0)
        tags.uuid = QString::fromUtf8(value);
    if (blkid_probe_lookup_value(probe.get(), "LABEL", &value, nullptr) == 0)
        tags.label = QString::fromUtf8(value);
    tags.probed = true;
    return tags;
}

FileSystemTags fileSystemTags(const MountEntry& mount)
{
    const QString device = deviceNode(mount);
    if (!device.startsWith(QLatin1String("/dev/")) && !QFileInfo(device).isFile())
        return {};
    FileSystemTags tags = probeWithBlkid(device);
    if (tags.probed)
        return tags;
    tags.uuid = udevLinkName(QStringLiteral("/dev/disk/by-uuid"), device);
    tags.label = udevLinkName(QStringLiteral("/dev/disk/by-label"), device);
    return tags;
}

QByteArray readMountTable()
{
    QFile table(QStringLiteral("/proc/self/mountinfo"));
    // /proc files report no size: read until the end.
    return table.open(QIODevice::ReadOnly) ? table.readAll() : QByteArray();
}

class SystemVolumeTable : public VolumeTable {
public:
    VolumeIdentity volumeOf(const QString& path) const override
    {
        const QList<MountEntry> mounts = parseMountInfo(readMountTable());
        const MountEntry* mount = mountOf(QDir::cleanPath(QDir::current().absoluteFilePath(path)), mounts);
        VolumeIdentity volume;
        if (!mount)
            return volume;
        volume.mountPoint = mount->mountPoint;
        volume.driveType = driveTypeOfFileSystem(*mount);
        if (volume.driveType == DriveType::Fixed && isRemovableDevice(*mount))
            volume.driveType = DriveType::Removable;
        struct statfs status {};
        if (::statfs(QFile::encodeName(mount->mountPoint).constData(), &status) != 0)
            return volume;
        const FileSystemTags tags = fileSystemTags(*mount);
        volume.read = true;
        volume.label = tags.label;
        if (!serialFromUuid(tags.uuid, mount->fileSystem, &volume.serialNumber)) {
            int fsid[2];
            static_assert(sizeof fsid == sizeof status.f_fsid);
            std::memcpy(fsid, &status.f_fsid, sizeof fsid);
            volume.serialNumber = static_cast<std::uint32_t>(fsid[0]) ^ static_cast<std::uint32_t>(fsid[1]);
        }
        return volume;
    }

    QList<VolumeIdentity> mountedVolumes() const override
    {
        QList<VolumeIdentity> volumes;
        for (const MountEntry& mount : parseMountInfo(readMountTable()))
            if (mount.device.startsWith(QLatin1String("/dev/")))
                volumes.append(volumeOf(mount.mountPoint));
        return volumes;
    }
};

const VolumeTable*& installedTable()
{
    static const VolumeTable* table = nullptr;
    return table;
}

} // namespace

const MountEntry* mountOf(const QString& path, const QList<MountEntry>& mounts)
{
    const MountEntry* best = nullptr;
    for (const MountEntry& mount : mounts) {
        const QString& point = mount.mountPoint;
        const bool covers = point == QLatin1String("/") || path == point
                            || (path.startsWith(point) && path.at(point.size()) == QLatin1Char('/'));
        // A later mount on the same point hides the earlier one.
        if (covers && (!best || point.size() >= best->mountPoint.size()))
            best = &mount;
    }
    return best;
}

QList<MountEntry> parseMountInfo(const QByteArray& text)
{
    QList<MountEntry> mounts;
    for (const QByteArray& line : text.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype separator = fields.indexOf("-");
        if (fields.size() < 5 || separator < 6 || separator + 2 >= fields.size())
            continue;
        MountEntry mount;
        const QList<QByteArray> numbers = fields[2].split(':');
        if (numbers.size() == 2) {
            mount.major = numbers[0].toUInt();
            mount.minor = numbers[1].toUInt();
        }
        mount.mountPoint = unescapeMountField(fields[4]);
        mount.fileSystem = QString::fromUtf8(fields[separator + 1]);
        mount.device = unescapeMountField(fields[separator + 2]);
        if (mount.mountPoint.startsWith(QLatin1Char('/')))
            mounts.append(mount);
    }
    return mounts;
}

bool serialFromUuid(const QString& uuid, const QString& fileSystem, std::uint32_t* serial)
{
    QString digits = uuid;
    digits.remove(QLatin1Char('-'));
    if (digits.isEmpty())
        return false;
    for (const QChar c : digits)
        if (c.unicode() > 0x7F || !isxdigit(c.unicode()))
            return false;
    const bool lowBits = fileSystem == QLatin1String("ntfs") || fileSystem == QLatin1String("ntfs3");
    const QString used = lowBits ? digits.right(8) : digits.left(8);
    *serial = static_cast<std::uint32_t>(used.toULong(nullptr, 16));
    return true;
}

DriveType driveTypeOfFileSystem(const MountEntry& mount)
{
    const QString& type = mount.fileSystem;
    if (contains({"nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "afs", "9p", "ceph", "glusterfs", "davfs",
                  "fuse.sshfs", "fuse.rclone", "fuse.s3fs", "fuse.davfs2", "fuse.glusterfs"},
                 type))
        return DriveType::Remote;
    if (contains({"tmpfs", "ramfs"}, type))
        return DriveType::RamDisk;
    // Only a device node names the optical drive: other mount sources (a ZFS data set "rpool/srv")
    // may end in anything.
    if (contains({"iso9660", "udf"}, type) || mount.device.startsWith(QLatin1String("/dev/sr")))
        return DriveType::CdRom;
    return DriveType::Fixed;
}

const VolumeTable& VolumeTable::current()
{
    static const SystemVolumeTable system;
    const VolumeTable* installed = installedTable();
    return installed ? *installed : system;
}

void VolumeTable::install(const VolumeTable* table) { installedTable() = table; }

void FakeVolumeTable::removeVolume(const QString& mountPoint)
{
    volumes_.removeIf([&mountPoint](const Volume& volume) { return volume.mountPoint == mountPoint; });
}

VolumeIdentity FakeVolumeTable::volumeOf(const QString& path) const
{
    QList<MountEntry> mounts;
    for (const Volume& volume : volumes_)
        mounts.append({volume.mountPoint, QString(), QString()});
    const MountEntry* mount = mountOf(path, mounts);
    VolumeIdentity identity;
    if (!mount)
        return identity;
    const Volume& volume = volumes_[mount - mounts.constData()];
    return {true, volume.serialNumber, volume.label, volume.driveType, volume.mountPoint};
}

QList<VolumeIdentity> FakeVolumeTable::mountedVolumes() const
{
    QList<VolumeIdentity> volumes;
    for (const Volume& volume : volumes_)
        volumes.append(volumeOf(volume.mountPoint));
    return volumes;
}

} // namespace glimmora
