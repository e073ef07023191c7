#include "import/FileSearch.h"

#include "catalog/Categories.h"
#include "catalog/ImageElement.h"
#include "catalog/StoredText.h"
#include "files/FolderNodes.h"

// Qt
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <dirent.h>
#include <sys/stat.h>

namespace glimmora {

namespace {

constexpr QChar kSeparator = QLatin1Char('/');

// "/home/me/pics/" names the same directory as "/home/me/pics"; only the root keeps its "/".
QString withoutTrailingSeparators(QString directory)
{
    while (directory.size() > 1 && directory.endsWith(kSeparator))
        directory.chop(1);
    return directory;
}

bool isRoot(const QString& directory) { return directory == QStringLiteral("/"); }

// A name whose bytes the file-name codec cannot carry would come back as another name, and its
// path could never be opened again.
bool roundTrips(const QByteArray& bytes, const QString& name) { return QFile::encodeName(name) == bytes; }

enum class EntryKind { File, Folder, Other };

// Links to folders are never followed, and fifos, sockets and devices hold no picture a read
// could ever finish on. A link that leads nowhere stays a file, so that its loss is reported.
EntryKind kindOf(const QString& path, unsigned char type)
{
    if (type == DT_DIR)
        return EntryKind::Folder;
    if (type == DT_REG)
        return EntryKind::File;
    const QByteArray native = QFile::encodeName(path);
    struct stat status {};
    if (type == DT_UNKNOWN) {
        if (lstat(native.constData(), &status) != 0)
            return EntryKind::Other;
        if (S_ISDIR(status.st_mode))
            return EntryKind::Folder;
        if (S_ISREG(status.st_mode))
            return EntryKind::File;
        if (!S_ISLNK(status.st_mode))
            return EntryKind::Other;
    } else if (type != DT_LNK) {
        return EntryKind::Other;
    }
    if (stat(native.constData(), &status) != 0)
        return EntryKind::File;
    return S_ISREG(status.st_mode) ? EntryKind::File : EntryKind::Other;
}

} // namespace

QString directoryCategoryName(const QString& directory)
{
    const QString plain = withoutTrailingSeparators(directory);
    if (isRoot(plain))
        return kUnassignedName;
    return plain.mid(plain.lastIndexOf(kSeparator) + 1);
}

// One entry of a directory: its name as the file system holds it, and as it is shown and ordered.
struct TFileSearch::Entry {
    QByteArray native;
    QString name; // decoded; for a name that is not valid UTF-8, as it is displayed
    bool decodable = true;
    unsigned char type = DT_UNKNOWN;
};

// One directory being searched. Its entries are read as soon as it is met and its descriptor is
// closed at once, so a tree of any depth is searched with one descriptor at a time.
struct TFileSearch::Listing {
    Listing(QString directory, QString resolved, const FileSearchSettings& settings)
        : directory(std::move(directory)),
          resolved(std::move(resolved)),
          separator(isRoot(this->directory) ? QString() : QString(kSeparator)),
          categoryName(settings.assignment == CategoryAssignment::ChosenCategory
                           ? settings.categoryName
                           : directoryCategoryName(this->directory))
    {}

    std::vector<Entry> entries; // in name order
    std::size_t next = 0;
    QString directory; // as the entries' paths are made from it
    QString resolved;  // with every link resolved, to find its file system by
    QString separator;
    QString categoryName;
};

TFileSearch::TFileSearch(FileSearchSettings settings) : TFileSearch(std::move(settings), readMountTable()) {}

TFileSearch::TFileSearch(FileSearchSettings settings, QList<MountEntry> mounts)
    : settings_(std::move(settings)),
      mounts_(std::move(mounts))
{
    settings_.directory = withoutTrailingSeparators(settings_.directory);
    const QString resolved = QFileInfo(settings_.directory).canonicalFilePath();
    if (!resolved.isEmpty() && !isSystemFolder(resolved))
        open(settings_.directory, resolved);
}

TFileSearch::~TFileSearch() = default;

bool TFileSearch::isSystemFolder(const QString& resolvedPath) const
{
    const MountEntry* mount = mountOf(resolvedPath, mounts_);
    return mount && isPseudoFileSystem(mount->fileSystem);
}

namespace {

// A folder the user may not read is skipped without a word, as it always was; any other reason
// (no descriptor left, an I/O error, a folder that vanished) loses its pictures, which is said.
bool mustBeReported(int error) { return error != EACCES && error != EPERM; }

} // namespace

void TFileSearch::open(const QString& directory, const QString& resolved)
{
    DIR* handle = opendir(QFile::encodeName(directory).constData());
    if (!handle) {
        fail(directory, errno);
        return;
    }
    auto listing = std::make_unique<Listing>(directory, resolved, settings_);
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(handle);
        if (!entry) {
            if (errno != 0)
                fail(directory, errno); // what was read before the error is still searched
            break;
        }
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        listing->entries.push_back(entryOf(QByteArray(entry->d_name), entry->d_type));
    }
    closedir(handle);
    // readdir gives hash order on most file systems; a category's pictures are numbered in the
    // order they are found, so they are found in the order the user sees the names.
    std::stable_sort(listing->entries.begin(), listing->entries.end(),
                     [this](const Entry& left, const Entry& right) { return order_(left.name, right.name); });
    listings_.push_back(std::move(listing));
}

TFileSearch::Entry TFileSearch::entryOf(const QByteArray& native, unsigned char type)
{
    const QString name = QFile::decodeName(native);
    if (roundTrips(native, name))
        return {native, name, true, type};
    return {native, displayPath(native), false, type};
}

void TFileSearch::fail(const QString& directory, int error)
{
    if (mustBeReported(error))
        failures_.append(
            {directory,
             QStringLiteral("The folder cannot be read: %1.").arg(QString::fromLocal8Bit(std::strerror(error)))});
}

bool TFileSearch::Step()
{
    currentFileName_.clear();
    if (stopped_) {
        listings_.clear();
        loadList_.clear();
        return false;
    }
    if (listings_.empty())
        return false;
    Listing& listing = *listings_.back();
    if (listing.next == listing.entries.size()) {
        listings_.pop_back();
        return !listings_.empty();
    }
    const Entry& entry = listing.entries[listing.next++];
    if (entry.decodable)
        handleEntry(listing, entry);
    else
        passOver(listing, entry);
    return true;
}

namespace {

bool isPictureName(const QString& name)
{
    const QString extension = QFileInfo(name).suffix(); // a name without one is no picture
    return !extension.isEmpty() && PictureTypeOf(extension);
}

} // namespace

void TFileSearch::handleEntry(const Listing& listing, const Entry& entry)
{
    const QString path = listing.directory + listing.separator + entry.name;
    switch (kindOf(path, entry.type)) {
    case EntryKind::File: {
        currentFileName_ = entry.name.trimmed();
        if (isPictureName(entry.name))
            loadList_.append({path, listing.categoryName});
        break;
    }
    case EntryKind::Folder: {
        if (!settings_.searchSubdirectories)
            break;
        const QString resolved =
            listing.resolved + (isRoot(listing.resolved) ? QString() : QString(kSeparator)) + entry.name;
        if (!isSystemFolder(resolved))
            open(path, resolved); // at once: its files come before the parent's later entries
        break;
    }
    case EntryKind::Other: break;
    }
}

// A picture or folder whose name no path of ours can carry is said, not silently lost.
void TFileSearch::passOver(const Listing& listing, const Entry& entry)
{
    const QByteArray native = QFile::encodeName(listing.directory + listing.separator) + entry.native;
    struct stat status {};
    if (lstat(native.constData(), &status) != 0)
        return;
    const bool folder = S_ISDIR(status.st_mode); // a link to a folder is never searched
    if (folder ? !settings_.searchSubdirectories : !isPictureName(entry.name))
        return;
    failures_.append({displayPath(native), folder ? QStringLiteral("The folder's name is not valid UTF-8, so it "
                                                                   "was not searched; rename it to add its pictures.")
                                                  : QStringLiteral("The file's name is not valid UTF-8, so it "
                                                                   "cannot be added; rename it to add it.")});
}

SearchOutcome TFileSearch::Run(const FileSearchProgress& progress)
{
    const auto pendingEvents = [&progress] {
        if (progress.pendingEvents)
            progress.pendingEvents();
    };
    while (Step()) {
        if (!currentFileName_.isEmpty() && progress.showFileName) {
            progress.showFileName(currentFileName_);
            pendingEvents();
        }
        pendingEvents();
    }
    return Outcome();
}

TLoadList TFileSearch::TakeLoadList()
{
    if (stopped_)
        return {};
    return std::exchange(loadList_, {});
}

} // namespace glimmora
