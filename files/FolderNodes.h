#pragma once

#include "platform/Volumes.h"

// Qt
#include <QCollator>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace glimmora {

// The node model of the folder tree, apart from the widget: how folders are read, named,
// ordered and found, and which changes on disk matter to the tree.

// How folder names are cased in node texts. Lower-casing is the platform's path folding,
// which is identity here (names are case-sensitive), so dmLowercase shows the real names just
// as dmAsis does; dmUppercase upper-cases the text only. Paths are always built from the real
// names, never from the texts.
enum TDisplayMode { dmAsis, dmUppercase, dmLowercase };

QString folderText(const QString& name, TDisplayMode mode);

// The order of sibling folders: case-insensitive natural order ("photos 2" before
// "Photos 10", "apple" before "Banana"), by the collation of the user's locale (English rules
// under the C locale, whose plain code-point order knows no numbers). Names that differ only
// in case keep a fixed order by code points, so the order never depends on reading order.
class FolderOrder {
public:
    FolderOrder();
    bool operator()(const QString& left, const QString& right) const;

private:
    QCollator collator_;
};

// The path of a folder below `parent`; the root takes no second separator.
QString childPath(const QString& parent, const QString& name);

// A path as select-by-path takes it: absolute, without "." / ".." steps, doubled or trailing
// separators. Empty for an empty or relative path, which selects nothing.
QString selectablePath(const QString& path);

// The components of `path` below `anchor` ({} when they are equal), or nothing when the path
// does not lie under the anchor (whole components only). Both must be selectable paths.
std::optional<QStringList> componentsBelow(const QString& anchor, const QString& path);

// One subfolder as the tree shows it.
struct FolderEntry {
    QString name;
    bool isSymLink = false;
    // A link to the folder being read, to one of its ancestors or to a folder shown above it in
    // the tree: shown, but never read, so a link cycle cannot unfold without end.
    bool leadsBack = false;
    // Which folder it is (through a link, the folder it leads to), so that a folder replaced by
    // another of the same name counts as a change; 0 when it cannot be told.
    quint64 device = 0;
    quint64 inode = 0;

    bool operator==(const FolderEntry&) const = default;
};

enum class ListingResult {
    Read,       // the subfolders were listed (there may be none)
    NotReady,   // the medium does not answer (I/O error, no medium, stale network mount)
    Gone,       // the folder no longer exists
    Unreadable, // the folder exists but may not be listed (permissions and other failures)
};

struct FolderListing {
    ListingResult result = ListingResult::Read;
    QList<FolderEntry> folders; // in the order the file system returned them
    int error = 0;              // errno of the failure
};

// What a listing needs to know beyond the folder itself.
struct ListingContext {
    QString excludedPath;       // the desktop directory, shown once at the top, not again below
    QList<MountEntry> mounts;   // to recognise folders on pseudo file systems
    QStringList canonicalChain; // resolved paths of the folder being read and of its tree ancestors
};

// Lists the folders of `path` as the tree shows them: directories and links to directories,
// without hidden ones (names beginning with "."), without folders on pseudo file systems (the
// system attribute of this platform), without the excluded path, and without names that do
// not survive the file-name encoding (their path could never be opened again).
FolderListing readSubfolders(const QString& path, const ListingContext& context);

// Classifies an errno of opening or reading a directory.
ListingResult listingResultOf(int error);

// proc, sysfs, devtmpfs, cgroup and the other kernel file systems that hold no user files.
bool isPseudoFileSystem(const QString& fileSystem);

// The system's mount table; empty when it cannot be read.
QList<MountEntry> readMountTable();

bool sameMount(const MountEntry& left, const MountEntry& right);

// The volumes of the computer node: "/" and the mounts under /media, /run/media, /mnt and the
// user's home, without pseudo file systems; one entry per mount point (a later mount hides an
// earlier one), "/" first and the rest in folder order of their mount points. "/" is there even
// when the table does not list it (it could not be read).
QList<MountEntry> userVolumes(const QList<MountEntry>& mounts, const QString& home);

// The text of a volume node: its label and mount point, or the mount point alone.
QString volumeText(const QString& mountPoint, const QString& label);

// How the subfolders on disk differ from the children a node shows.
struct SubfolderChanges {
    QStringList removed;      // shown names no longer on disk (renamed and replaced ones included)
    QList<FolderEntry> added; // folders on disk not shown yet
    bool any() const { return !removed.isEmpty() || !added.isEmpty(); }
};

// A node is refreshed only when this finds a change; creating or changing files finds none.
SubfolderChanges subfolderChanges(const QList<FolderEntry>& shown, const QList<FolderEntry>& onDisk);

} // namespace glimmora
