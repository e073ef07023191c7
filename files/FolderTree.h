#pragma once

#include "files/FolderNodes.h"
#include "platform/Volumes.h"

// Qt
#include <QFile>
#include <QFileSystemWatcher>
#include <QMultiHash>
#include <QSet>
#include <QString>
#include <QTreeWidget>

#include <functional>
#include <memory>
#include <optional>

class QSocketNotifier;

namespace glimmora {

class TFolderNode;

// A tree of folders for choosing a directory:
//
//   Desktop                 the user's desktop directory (the home directory when there is none)
//     Computer              the volumes a user cares about: "/" and the mounts under /media,
//       /                   /run/media, /mnt and the home directory
//       STICK (/media/u/STICK)
//         holiday           folders, read one level at a time when a node is first expanded
//     (the desktop's own folders)
//
// Node paths: the desktop node's path is the desktop directory, a volume's its mount point, a
// folder's its parent's path + "/" + its name; the computer node has none.
//
// Folders are sorted by their text in case-insensitive natural order (see FolderOrder); the
// computer node stays first under the desktop. Hidden folders (names beginning with ".") and
// folders on pseudo file systems are not shown, and the desktop directory is not shown a second
// time below its parent. Links to directories are shown and can be opened one level at a time
// like any folder; a link back to a folder shown above it is shown without children, so a link
// cycle never unfolds.
//
// The tree keeps itself current on the user-interface thread:
// - every folder whose subfolders have been read is watched; when its set of subfolders changes
//   (a folder created, removed or renamed) the new folders are inserted in sorted position and
//   the gone ones removed, while the other children keep their state, so an expanded branch
//   stays expanded. Creating or changing files changes no node. A folder that is still empty
//   is watched too, so that its first subfolder appears as well;
// - a change of the mount table adds and removes volumes, and a volume whose device changed
//   is read again when next expanded.
//
// How the awkward cases are handled:
// - Deleted nodes are never touched by a late notice: notices name a path and are looked up
//   among the live nodes when they are handled, and a notice that arrives while the tree waits
//   for the user (the not-ready question) is handled after the answer.
// - A folder that has vanished when it is read is removed by refreshing its nearest ancestor
//   that can still be read, which is then selected; a volume or desktop root whose listing
//   fails ends without children, so nothing is listed again without end.
// - A folder that cannot be listed (no permission) shows no children and no message.
// - A medium that does not answer (I/O error, no medium, stale network mount) asks
//   "Drive <mount point> is not ready." with Retry and Cancel; after Cancel the node shows no
//   children and its path, and those of folders below it, are not offered as a selection
//   until the mount table changes.
// - Swapping a removable medium changes the mount table, so the disk-swap check on a click is
//   not needed here.
//
// Callers follow the selection with QTreeWidget::itemSelectionChanged and read SelectedPath();
// the selection stays visible when the tree loses the focus.
class TFolderTree : public QTreeWidget {
    Q_OBJECT

public:
    // Lists the folders of a directory: readSubfolders, unless a test stands in for a medium
    // that cannot be had here (one that does not answer).
    using FolderReader = std::function<FolderListing(const QString& path, const ListingContext& context)>;

    // Reads the desktop's folders and the mounted volumes; the owner becomes the parent.
    explicit TFolderTree(QWidget* owner = nullptr, FolderReader reader = readSubfolders);
    ~TFolderTree() override;

    // Applies to nodes made after it is set.
    TDisplayMode DisplayMode() const { return displayMode_; }
    void setDisplayMode(TDisplayMode mode) { displayMode_ = mode; }

    // Selects the deepest node that matches the path, reading folders on the way, and returns
    // it; a path whose deeper folders do not exist (or are not shown) selects the deepest one
    // that does. An empty or relative path selects nothing and returns nullptr.
    QTreeWidgetItem* SelectPath(const QString& path);

    // The path of the selected node; empty when nothing is selected, for the computer node,
    // and for a node on a medium that did not answer.
    QString SelectedPath() const;

    QString NodePath(const QTreeWidgetItem* node) const;
    // The node's name: the last path component, a volume's mount point, the desktop's path.
    QString NodeName(const QTreeWidgetItem* node) const;

    QTreeWidgetItem* DesktopNode() const;
    QTreeWidgetItem* ComputerNode() const;
    const QString& DesktopDirectory() const { return desktopDirectory_; }

    // Brings the volumes in line with a new mount table: new volumes appear, gone ones vanish
    // (a selection inside one moves to the computer node), a volume whose device changed is
    // read again when next expanded, and nodes that did not answer may be tried again.
    void MediaChanged(const QList<MountEntry>& mounts);

private:
    void TreeExpanded(QTreeWidgetItem* item);
    void DirectoryChanged(const QString& path);
    void MountTableChanged();
    void HandleDeferredChanges();

    void AddVolume(int index, const MountEntry& mount);
    void ResetVolume(TFolderNode* volume, const MountEntry& mount);
    TFolderNode* NewFolderNode(const FolderEntry& entry) const;
    void InsertFolders(TFolderNode* parent, const QList<FolderEntry>& entries);

    ListingResult ReadNode(TFolderNode* node);
    bool AskRetry(const QString& path);
    ListingContext ContextOf(const TFolderNode* node) const;
    void RefreshNode(TFolderNode* node);
    void MergeSubfolders(TFolderNode* node, const QList<FolderEntry>& onDisk);
    TFolderNode* DropVanished(TFolderNode* node);
    void RemoveSubtree(TFolderNode* node, QTreeWidgetItem* selectionFallback);
    void RemoveFolders(TFolderNode* node);
    void ForgetSubtree(TFolderNode* node);
    void ForgetNotReady(QTreeWidgetItem* item);

    void Watch(TFolderNode* node);
    void Unwatch(TFolderNode* node);
    TFolderNode* StartOf(const QString& path, QStringList* components) const;
    void ShowNode(QTreeWidgetItem* node);

    const FolderReader reader_;
    TDisplayMode displayMode_ = dmAsis;
    QString desktopDirectory_;
    TFolderNode* desktop_ = nullptr;
    TFolderNode* computer_ = nullptr;
    FolderOrder order_;
    QList<MountEntry> mounts_;

    QFileSystemWatcher watcher_;
    QMultiHash<QString, TFolderNode*> watched_; // several nodes can show one directory

    // While the user is asked about a medium, notices wait here.
    int asking_ = 0;
    QSet<QString> deferredPaths_;
    std::optional<QList<MountEntry>> deferredMounts_;

    QFile mountTable_;
    std::unique_ptr<QSocketNotifier> mountNotifier_; // declared after the file it polls
};

} // namespace glimmora
