#include "files/FolderTree.h"

#include "platform/MessageService.h"

// Qt
#include <QApplication>
#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHash>
#include <QPersistentModelIndex>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QStyle>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace glimmora {

namespace {

enum class NodeKind { Desktop, Computer, Volume, Folder };

// A folder shows itself open while it is selected.
QIcon folderIcon(const QFileIconProvider& provider)
{
    const QIcon closed = provider.icon(QAbstractFileIconProvider::Folder);
    const QIcon open = QApplication::style()->standardIcon(QStyle::SP_DirOpenIcon);
    QIcon icon;
    for (const QSize& size : {QSize(16, 16), QSize(32, 32)}) {
        icon.addPixmap(closed.pixmap(size), QIcon::Normal);
        icon.addPixmap(open.pixmap(size), QIcon::Selected);
    }
    return icon;
}

QIcon iconOf(NodeKind kind)
{
    static const QFileIconProvider provider;
    switch (kind) {
    case NodeKind::Desktop: return provider.icon(QAbstractFileIconProvider::Desktop);
    case NodeKind::Computer: return provider.icon(QAbstractFileIconProvider::Computer);
    case NodeKind::Volume: return provider.icon(QAbstractFileIconProvider::Drive);
    case NodeKind::Folder: break;
    }
    static const QIcon folder = folderIcon(provider);
    return folder;
}

QString desktopDirectoryOfUser()
{
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    const QString chosen = !desktop.isEmpty() && QFileInfo(desktop).isDir() ? desktop : QDir::homePath();
    const QString selectable = selectablePath(chosen);
    return selectable.isEmpty() ? QStringLiteral("/") : selectable;
}

QString lastComponent(const QString& path)
{
    const QString name = path.section(QLatin1Char('/'), -1);
    return name.isEmpty() ? path : name;
}

QString volumeLabel(const QString& mountPoint)
{
    const VolumeIdentity volume = VolumeTable::current().volumeOf(mountPoint);
    return volume.read ? volume.label : QString();
}

} // namespace

// The data record of one node, kept in the node itself.
class TFolderNode : public QTreeWidgetItem {
public:
    TFolderNode(NodeKind kind, const QString& name, bool continuesParent)
        : kind(kind),
          name(name),
          continuesParent(continuesParent)
    {
        setIcon(0, iconOf(kind));
        setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    }

    const NodeKind kind;
    QString name;
    const bool continuesParent; // the path is the parent's path + "/" + name
    bool read = false;          // the subfolders have been listed (or cannot be)
    bool ready = true;          // false once the user gave up on a medium that did not answer
    FolderEntry entry;          // how a folder node was listed
    MountEntry mount;           // the mount of a volume node
    QString watchedPath;        // the directory watched for this node, if any

    TFolderNode* parentNode() const { return static_cast<TFolderNode*>(parent()); }
    TFolderNode* childNode(int index) const { return static_cast<TFolderNode*>(child(index)); }

    // Folders follow the nodes that are no folders (the computer node under the desktop).
    int firstFolderIndex() const
    {
        int index = 0;
        while (index < childCount() && childNode(index)->kind != NodeKind::Folder)
            ++index;
        return index;
    }

    TFolderNode* folderNamed(const QString& folder) const
    {
        for (int index = firstFolderIndex(); index < childCount(); ++index)
            if (childNode(index)->name == folder)
                return childNode(index);
        return nullptr;
    }

    QList<FolderEntry> shownFolders() const
    {
        QList<FolderEntry> folders;
        for (int index = firstFolderIndex(); index < childCount(); ++index)
            folders.append(childNode(index)->entry);
        return folders;
    }

    void markRead()
    {
        read = true;
        setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    }

    // Collapsed, so that the next expansion reads it.
    void markUnread()
    {
        setExpanded(false);
        read = false;
        setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    }
};

namespace {

TFolderNode* nodeOf(QTreeWidgetItem* item) { return static_cast<TFolderNode*>(item); }
const TFolderNode* nodeOf(const QTreeWidgetItem* item) { return static_cast<const TFolderNode*>(item); }

bool isWithin(const QTreeWidgetItem* item, const QTreeWidgetItem* ancestor)
{
    for (; item; item = item->parent())
        if (item == ancestor)
            return true;
    return false;
}

bool readyAlong(const TFolderNode* node)
{
    for (; node; node = node->parentNode())
        if (!node->ready)
            return false;
    return true;
}

} // namespace

TFolderTree::TFolderTree(QWidget* owner, FolderReader reader)
    : QTreeWidget(owner),
      reader_(std::move(reader)),
      desktopDirectory_(desktopDirectoryOfUser())
{
    setHeaderHidden(true);
    setColumnCount(1);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QTreeWidget::itemExpanded, this, &TFolderTree::TreeExpanded);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &TFolderTree::DirectoryChanged);

    // The mount table signals a change as an exceptional condition on its open file.
    mountTable_.setFileName(QStringLiteral("/proc/self/mountinfo"));
    if (mountTable_.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        mounts_ = parseMountInfo(mountTable_.readAll());
        mountNotifier_ = std::make_unique<QSocketNotifier>(mountTable_.handle(), QSocketNotifier::Exception);
        connect(mountNotifier_.get(), &QSocketNotifier::activated, this, &TFolderTree::MountTableChanged);
    }

    desktop_ = new TFolderNode(NodeKind::Desktop, desktopDirectory_, false);
    desktop_->setText(0, folderText(lastComponent(desktopDirectory_), displayMode_));
    addTopLevelItem(desktop_);
    ReadNode(desktop_);

    computer_ = new TFolderNode(NodeKind::Computer, QString(), false);
    computer_->setText(0, tr("Computer"));
    computer_->markRead();
    desktop_->insertChild(0, computer_);
    const QList<MountEntry> volumes = userVolumes(mounts_, QDir::homePath());
    for (int index = 0; index < volumes.size(); ++index)
        AddVolume(index, volumes[index]);

    desktop_->setExpanded(true);
    computer_->setExpanded(true);
}

TFolderTree::~TFolderTree() = default;

QTreeWidgetItem* TFolderTree::DesktopNode() const { return desktop_; }

QTreeWidgetItem* TFolderTree::ComputerNode() const { return computer_; }

QString TFolderTree::NodeName(const QTreeWidgetItem* node) const { return node ? nodeOf(node)->name : QString(); }

QString TFolderTree::NodePath(const QTreeWidgetItem* item) const
{
    if (!item)
        return {};
    const TFolderNode* node = nodeOf(item);
    return node->continuesParent ? childPath(NodePath(node->parent()), node->name) : node->name;
}

QString TFolderTree::SelectedPath() const
{
    const QList<QTreeWidgetItem*> selected = selectedItems();
    if (selected.isEmpty() || !readyAlong(nodeOf(selected.first())))
        return {};
    return NodePath(selected.first());
}

TFolderNode* TFolderTree::StartOf(const QString& path, QStringList* components) const
{
    if (path.isEmpty())
        return nullptr;
    if (std::optional<QStringList> below = componentsBelow(desktopDirectory_, path)) {
        *components = std::move(*below);
        return desktop_;
    }
    // The volume with the longest mount point that holds the path.
    TFolderNode* start = nullptr;
    for (int index = 0; index < computer_->childCount(); ++index) {
        TFolderNode* volume = computer_->childNode(index);
        std::optional<QStringList> below = componentsBelow(volume->name, path);
        if (below && (!start || volume->name.size() > start->name.size())) {
            start = volume;
            *components = std::move(*below);
        }
    }
    return start;
}

QTreeWidgetItem* TFolderTree::SelectPath(const QString& path)
{
    QStringList components;
    TFolderNode* node = StartOf(selectablePath(path), &components);
    if (!node) {
        clearSelection();
        setCurrentItem(nullptr);
        return nullptr;
    }
    for (const QString& component : std::as_const(components)) {
        if (!node->read && ReadNode(node) == ListingResult::Gone) {
            node = DropVanished(node);
            break;
        }
        TFolderNode* child = node->folderNamed(component);
        if (!child)
            break;
        node = child;
    }
    ShowNode(node);
    return node;
}

void TFolderTree::ShowNode(QTreeWidgetItem* node)
{
    for (QTreeWidgetItem* ancestor = node->parent(); ancestor; ancestor = ancestor->parent())
        ancestor->setExpanded(true);
    setCurrentItem(node);
    scrollToItem(node);
}

void TFolderTree::TreeExpanded(QTreeWidgetItem* item)
{
    TFolderNode* node = nodeOf(item);
    if (node->read || ReadNode(node) != ListingResult::Gone || node->kind != NodeKind::Folder)
        return;
    // The view is still busy with this node; it is removed once the expansion is over, unless
    // the watcher of its parent was quicker.
    const QPersistentModelIndex vanished(indexFromItem(node));
    const QPersistentModelIndex parent(indexFromItem(node->parent()));
    QTimer::singleShot(0, this, [this, vanished, parent] {
        if (vanished.isValid())
            ShowNode(DropVanished(nodeOf(itemFromIndex(vanished))));
        else if (parent.isValid())
            ShowNode(itemFromIndex(parent));
    });
}

ListingContext TFolderTree::ContextOf(const TFolderNode* node) const
{
    ListingContext context{desktopDirectory_, mounts_, {}};
    for (; node && node->kind != NodeKind::Computer; node = node->parentNode()) {
        const QString canonical = QFileInfo(NodePath(node)).canonicalFilePath();
        if (!canonical.isEmpty())
            context.canonicalChain.append(canonical);
    }
    return context;
}

ListingResult TFolderTree::ReadNode(TFolderNode* node)
{
    const QString path = NodePath(node);
    FolderListing listing = reader_(path, ContextOf(node));
    while (listing.result == ListingResult::NotReady && AskRetry(path))
        listing = reader_(path, ContextOf(node));
    node->markRead();
    node->ready = listing.result != ListingResult::NotReady;
    if (listing.result == ListingResult::Read) {
        InsertFolders(node, listing.folders);
        Watch(node);
    }
    return listing.result;
}

bool TFolderTree::AskRetry(const QString& path)
{
    const MountEntry* mount = mountOf(path, mounts_);
    Message message;
    message.text = QStringLiteral("Drive %1 is not ready.").arg(mount ? mount->mountPoint : path);
    message.caption = QStringLiteral("Error");
    message.icon = MessageIcon::Error;
    message.buttons = MessageButton::Retry | MessageButton::Cancel;
    message.defaultButton = MessageButton::Retry;
    message.beep = MessageBeep::Error;
    ++asking_;
    const bool retry = showMessage(message) == MessageButton::Retry;
    if (--asking_ == 0 && (!deferredPaths_.isEmpty() || deferredMounts_))
        QTimer::singleShot(0, this, &TFolderTree::HandleDeferredChanges);
    return retry;
}

void TFolderTree::HandleDeferredChanges()
{
    if (asking_ > 0)
        return;
    if (std::optional<QList<MountEntry>> mounts = std::exchange(deferredMounts_, std::nullopt))
        MediaChanged(*mounts);
    for (const QString& path : std::exchange(deferredPaths_, {}))
        DirectoryChanged(path);
}

TFolderNode* TFolderTree::NewFolderNode(const FolderEntry& entry) const
{
    auto* node = new TFolderNode(NodeKind::Folder, entry.name, true);
    node->entry = entry;
    node->setText(0, folderText(entry.name, displayMode_));
    if (entry.leadsBack)
        node->markRead();
    return node;
}

void TFolderTree::InsertFolders(TFolderNode* parent, const QList<FolderEntry>& entries)
{
    QList<QTreeWidgetItem*> children;
    for (const FolderEntry& entry : entries)
        children.append(NewFolderNode(entry));
    const auto byText = [this](const QTreeWidgetItem* left, const QTreeWidgetItem* right) {
        return order_(left->text(0), right->text(0));
    };
    std::sort(children.begin(), children.end(), byText);
    int index = parent->firstFolderIndex();
    if (index == parent->childCount()) {
        parent->addChildren(children);
        return;
    }
    // One pass along the folders shown, which are in the same order.
    for (QTreeWidgetItem* child : std::as_const(children)) {
        while (index < parent->childCount() && !byText(child, parent->child(index)))
            ++index;
        parent->insertChild(index++, child);
    }
}

void TFolderTree::AddVolume(int index, const MountEntry& mount)
{
    auto* volume = new TFolderNode(NodeKind::Volume, mount.mountPoint, false);
    volume->mount = mount;
    volume->setText(0, volumeText(mount.mountPoint, volumeLabel(mount.mountPoint)));
    computer_->insertChild(index, volume);
}

void TFolderTree::ResetVolume(TFolderNode* volume, const MountEntry& mount)
{
    RemoveFolders(volume);
    Unwatch(volume);
    volume->mount = mount;
    volume->ready = true;
    volume->markUnread();
    volume->setText(0, volumeText(mount.mountPoint, volumeLabel(mount.mountPoint)));
}

void TFolderTree::DirectoryChanged(const QString& path)
{
    if (asking_ > 0) {
        deferredPaths_.insert(path);
        return;
    }
    // The watcher lets go of a folder that was removed; one made again under its name must be
    // watched anew (before it is read, so that no change falls in between).
    if (watched_.contains(path) && !watcher_.directories().contains(path))
        watcher_.addPath(path);
    for (TFolderNode* node : watched_.values(path))
        if (watched_.contains(path, node)) // an earlier refresh may have removed it
            RefreshNode(node);
}

void TFolderTree::RefreshNode(TFolderNode* node)
{
    const FolderListing listing = reader_(NodePath(node), ContextOf(node));
    if (listing.result == ListingResult::Read)
        MergeSubfolders(node, listing.folders);
    else if (listing.result == ListingResult::Gone)
        DropVanished(node);
    // A folder that does not answer for a moment keeps what it shows.
}

void TFolderTree::MergeSubfolders(TFolderNode* node, const QList<FolderEntry>& onDisk)
{
    const SubfolderChanges changes = subfolderChanges(node->shownFolders(), onDisk);
    if (!changes.removed.isEmpty()) {
        QHash<QString, TFolderNode*> shown;
        for (int index = node->firstFolderIndex(); index < node->childCount(); ++index)
            shown.insert(node->childNode(index)->name, node->childNode(index));
        for (const QString& name : changes.removed)
            RemoveSubtree(shown.value(name), node);
    }
    InsertFolders(node, changes.added);
}

TFolderNode* TFolderTree::DropVanished(TFolderNode* node)
{
    TFolderNode* parent = node->parentNode();
    if (node->kind != NodeKind::Folder) {
        // A root that cannot be read ends without children and is not read again by itself.
        RemoveFolders(node);
        Unwatch(node);
        node->markRead();
        return node;
    }
    const FolderListing listing = reader_(NodePath(parent), ContextOf(parent));
    if (listing.result == ListingResult::Gone)
        return DropVanished(parent);
    if (listing.result == ListingResult::Read)
        MergeSubfolders(parent, listing.folders);
    else
        RemoveSubtree(node, parent);
    return parent;
}

void TFolderTree::RemoveSubtree(TFolderNode* node, QTreeWidgetItem* selectionFallback)
{
    if (isWithin(currentItem(), node))
        setCurrentItem(selectionFallback);
    ForgetSubtree(node);
    delete node;
}

void TFolderTree::RemoveFolders(TFolderNode* node)
{
    for (int index = node->childCount() - 1; index >= node->firstFolderIndex(); --index)
        RemoveSubtree(node->childNode(index), node);
}

void TFolderTree::ForgetSubtree(TFolderNode* node)
{
    for (int index = 0; index < node->childCount(); ++index)
        ForgetSubtree(node->childNode(index));
    Unwatch(node);
}

void TFolderTree::Watch(TFolderNode* node)
{
    const QString path = NodePath(node);
    if (!node->watchedPath.isEmpty() || path.isEmpty())
        return;
    if (!watched_.contains(path) && !watcher_.addPath(path))
        return; // an unwatchable folder still works, it only does not follow changes
    node->watchedPath = path;
    watched_.insert(path, node);
}

void TFolderTree::Unwatch(TFolderNode* node)
{
    if (node->watchedPath.isEmpty())
        return;
    watched_.remove(node->watchedPath, node);
    if (!watched_.contains(node->watchedPath))
        watcher_.removePath(node->watchedPath);
    node->watchedPath.clear();
}

void TFolderTree::MountTableChanged()
{
    // Reading the table again is also what clears the notice.
    mountTable_.seek(0);
    MediaChanged(parseMountInfo(mountTable_.readAll()));
}

void TFolderTree::MediaChanged(const QList<MountEntry>& mounts)
{
    if (asking_ > 0) {
        deferredMounts_ = mounts;
        return;
    }
    mounts_ = mounts;
    const QList<MountEntry> volumes = userVolumes(mounts_, QDir::homePath());
    const auto listed = [&volumes](const QString& mountPoint) {
        return std::find_if(volumes.begin(), volumes.end(),
                            [&mountPoint](const MountEntry& volume) { return volume.mountPoint == mountPoint; });
    };
    for (int index = computer_->childCount() - 1; index >= 0; --index) {
        TFolderNode* volume = computer_->childNode(index);
        const auto now = listed(volume->name);
        if (now == volumes.end())
            RemoveSubtree(volume, computer_);
        else if (!sameMount(*now, volume->mount))
            ResetVolume(volume, *now);
    }
    // Both are in the same order, so each volume not shown yet goes where the list has it.
    for (int index = 0; index < volumes.size(); ++index) {
        const TFolderNode* shown = index < computer_->childCount() ? computer_->childNode(index) : nullptr;
        if (!shown || shown->name != volumes[index].mountPoint)
            AddVolume(index, volumes[index]);
    }
    ForgetNotReady(desktop_);
}

void TFolderTree::ForgetNotReady(QTreeWidgetItem* item)
{
    TFolderNode* node = nodeOf(item);
    if (!node->ready) {
        node->ready = true;
        node->markUnread();
    }
    for (int index = 0; index < node->childCount(); ++index)
        ForgetNotReady(node->child(index));
}

} // namespace glimmora
