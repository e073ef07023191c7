#include "files/FolderNodes.h"

// Qt
#include <QDir>
#include <QFile>
#include <QHash>
#include <QLocale>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <initializer_list>
#include <system_error>

#include <sys/stat.h>

namespace glimmora {

namespace fs = std::filesystem;

namespace {

QLocale collationLocale()
{
    const QLocale system;
    return system.language() == QLocale::C ? QLocale(QLocale::English, QLocale::UnitedStates) : system;
}

bool isUnder(const QString& path, const QString& directory)
{
    return path.size() > directory.size() && path.startsWith(directory)
           && (directory.endsWith(QLatin1Char('/')) || path.at(directory.size()) == QLatin1Char('/'));
}

bool isAncestorOrSelf(const QString& directory, const QString& path)
{
    return path == directory || isUnder(path, directory);
}

fs::path nativePath(const QString& path) { return fs::path(QFile::encodeName(path).toStdString()); }

// A name whose bytes the file-name codec cannot carry would come back as another name.
std::optional<QString> decodedName(const std::string& bytes)
{
    const QString name = QFile::decodeName(QByteArray::fromStdString(bytes));
    if (QFile::encodeName(name).toStdString() != bytes)
        return std::nullopt;
    return name;
}

bool isOnPseudoFileSystem(const QString& path, const QList<MountEntry>& mounts)
{
    const MountEntry* mount = mountOf(path, mounts);
    return mount && isPseudoFileSystem(mount->fileSystem);
}

bool leadsBack(const fs::path& link, const QStringList& canonicalChain)
{
    std::error_code error;
    const fs::path target = fs::canonical(link, error);
    if (error)
        return true; // a link that cannot be resolved cannot be read either
    const QString resolved = QFile::decodeName(QByteArray::fromStdString(target.string()));
    return std::any_of(canonicalChain.begin(), canonicalChain.end(),
                       [&resolved](const QString& shown) { return isAncestorOrSelf(resolved, shown); });
}

} // namespace

QString folderText(const QString& name, TDisplayMode mode) { return mode == dmUppercase ? name.toUpper() : name; }

FolderOrder::FolderOrder() : collator_(collationLocale())
{
    collator_.setCaseSensitivity(Qt::CaseInsensitive);
    collator_.setNumericMode(true);
}

bool FolderOrder::operator()(const QString& left, const QString& right) const
{
    const int collated = collator_.compare(left, right);
    return collated != 0 ? collated < 0 : left < right;
}

QString childPath(const QString& parent, const QString& name)
{
    return parent.endsWith(QLatin1Char('/')) ? parent + name : parent + QLatin1Char('/') + name;
}

QString selectablePath(const QString& path)
{
    const QString trimmed = path.trimmed();
    if (!trimmed.startsWith(QLatin1Char('/')))
        return {};
    return QDir::cleanPath(trimmed);
}

std::optional<QStringList> componentsBelow(const QString& anchor, const QString& path)
{
    if (path == anchor)
        return QStringList();
    if (!isUnder(path, anchor))
        return std::nullopt;
    const qsizetype start = anchor.endsWith(QLatin1Char('/')) ? anchor.size() : anchor.size() + 1;
    return path.mid(start).split(QLatin1Char('/'));
}

ListingResult listingResultOf(int error)
{
    switch (error) {
    case 0: return ListingResult::Read;
    case ENOENT:
    case ENOTDIR: return ListingResult::Gone;
    case EIO:
    case ENOMEDIUM:
    case ENXIO:
    case ENODEV:
    case ESTALE:
    case ENOTCONN:
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case ETIMEDOUT: return ListingResult::NotReady;
    default: return ListingResult::Unreadable;
    }
}

FolderListing readSubfolders(const QString& path, const ListingContext& context)
{
    FolderListing listing;
    std::error_code error;
    fs::directory_iterator entries(nativePath(path), error);
    for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
        const fs::directory_entry& entry = *entries;
        const std::string bytes = entry.path().filename().string();
        std::error_code typeError;
        if (bytes.empty() || bytes.front() == '.' || !entry.is_directory(typeError))
            continue;
        const std::optional<QString> name = decodedName(bytes);
        if (!name)
            continue;
        const QString folder = childPath(path, *name);
        if (folder == context.excludedPath || isOnPseudoFileSystem(folder, context.mounts))
            continue;
        const bool isLink = entry.is_symlink(typeError);
        FolderEntry folderEntry{*name, isLink, isLink && leadsBack(entry.path(), context.canonicalChain)};
        struct stat status;
        if (::stat(entry.path().c_str(), &status) == 0) {
            folderEntry.device = status.st_dev;
            folderEntry.inode = status.st_ino;
        }
        listing.folders.append(folderEntry);
    }
    if (error) {
        listing.error = error.value();
        listing.result = listingResultOf(error.value());
        listing.folders.clear();
    }
    return listing;
}

bool isPseudoFileSystem(const QString& fileSystem)
{
    static const std::initializer_list<const char*> pseudo = {
        "proc",      "sysfs",      "devtmpfs",    "devpts",   "cgroup",    "cgroup2", "debugfs",
        "tracefs",   "securityfs", "pstore",      "bpf",      "configfs",  "fusectl", "mqueue",
        "hugetlbfs", "autofs",     "binfmt_misc", "efivarfs", "selinuxfs", "nsfs",    "rpc_pipefs",
    };
    return std::any_of(pseudo.begin(), pseudo.end(),
                       [&fileSystem](const char* name) { return fileSystem == QLatin1String(name); });
}

QList<MountEntry> readMountTable()
{
    QFile table(QStringLiteral("/proc/self/mountinfo"));
    // /proc files report no size: read until the end.
    return table.open(QIODevice::ReadOnly) ? parseMountInfo(table.readAll()) : QList<MountEntry>();
}

bool sameMount(const MountEntry& left, const MountEntry& right)
{
    return left.mountPoint == right.mountPoint && left.device == right.device && left.fileSystem == right.fileSystem
           && left.major == right.major && left.minor == right.minor;
}

QList<MountEntry> userVolumes(const QList<MountEntry>& mounts, const QString& home)
{
    QStringList places = {QStringLiteral("/media"), QStringLiteral("/run/media"), QStringLiteral("/mnt")};
    const QString homePlace = selectablePath(home);
    if (!homePlace.isEmpty() && homePlace != QLatin1String("/"))
        places.append(homePlace);
    const auto wanted = [&places](const MountEntry& mount) {
        return mount.mountPoint == QLatin1String("/")
               || std::any_of(places.begin(), places.end(),
                              [&mount](const QString& place) { return isUnder(mount.mountPoint, place); });
    };

    QList<MountEntry> volumes;
    for (const MountEntry& mount : mounts) {
        if (isPseudoFileSystem(mount.fileSystem) || !wanted(mount))
            continue;
        volumes.removeIf([&mount](const MountEntry& shown) { return shown.mountPoint == mount.mountPoint; });
        volumes.append(mount);
    }
    const auto isRoot = [](const MountEntry& volume) { return volume.mountPoint == QLatin1String("/"); };
    if (std::none_of(volumes.begin(), volumes.end(), isRoot))
        volumes.append(MountEntry{QStringLiteral("/"), QString(), QString()}); // an unreadable table
    const FolderOrder order;
    std::stable_sort(volumes.begin(), volumes.end(), [&order](const MountEntry& left, const MountEntry& right) {
        const bool leftRoot = left.mountPoint == QLatin1String("/");
        const bool rightRoot = right.mountPoint == QLatin1String("/");
        return leftRoot != rightRoot ? leftRoot : order(left.mountPoint, right.mountPoint);
    });
    return volumes;
}

QString volumeText(const QString& mountPoint, const QString& label)
{
    return label.isEmpty() ? mountPoint : QStringLiteral("%1 (%2)").arg(label, mountPoint);
}

SubfolderChanges subfolderChanges(const QList<FolderEntry>& shown, const QList<FolderEntry>& onDisk)
{
    const auto byName = [](const QList<FolderEntry>& entries) {
        QHash<QString, const FolderEntry*> index;
        index.reserve(entries.size());
        for (const FolderEntry& entry : entries)
            index.insert(entry.name, &entry);
        return index;
    };
    const auto differs = [](const QHash<QString, const FolderEntry*>& index, const FolderEntry& entry) {
        const FolderEntry* other = index.value(entry.name);
        return !other || !(*other == entry);
    };
    const QHash<QString, const FolderEntry*> shownByName = byName(shown);
    const QHash<QString, const FolderEntry*> onDiskByName = byName(onDisk);
    SubfolderChanges changes;
    for (const FolderEntry& entry : shown)
        if (differs(onDiskByName, entry))
            changes.removed.append(entry.name);
    for (const FolderEntry& entry : onDisk)
        if (differs(shownByName, entry))
            changes.added.append(entry);
    return changes;
}

} // namespace glimmora
