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
std::optional<QString> decodedName(const QByteArray& bytes)
{
    const QString name = QFile::decodeName(bytes);
    if (QFile::encodeName(name) != bytes)
        return std::nullopt;
    return name;
}

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

// One directory being searched. Its entries are read as soon as it is met and its descriptor is
// closed at once, so a tree of any depth is searched with one descriptor at a time.
struct TFileSearch::Listing {
    struct Entry {
        QByteArray name;
        unsigned char type;
    };

    Listing(QString directory, QString resolved, const FileSearchSettings& settings)
        : directory(std::move(directory)),
          resolved(std::move(resolved)),
          separator(isRoot(this->directory) ? QString() : QString(kSeparator)),
          categoryName(settings.assignment == CategoryAssignment::ChosenCategory
                           ? settings.categoryName
                           : directoryCategoryName(this->directory))
    {}

    std::vector<Entry> entries; // in the order the file system lists them
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
        listing->entries.push_back({QByteArray(entry->d_name), entry->d_type});
    }
    closedir(handle);
    listings_.push_back(std::move(listing));
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
    const Listing::Entry& entry = listing.entries[listing.next++];
    handleEntry(listing, entry.name, entry.type);
    return true;
}

void TFileSearch::handleEntry(const Listing& listing, const QByteArray& nativeName, unsigned char type)
{
    if (nativeName == "." || nativeName == "..")
        return;
    const std::optional<QString> name = decodedName(nativeName);
    if (!name)
        return;
    const QString path = listing.directory + listing.separator + *name;
    switch (kindOf(path, type)) {
    case EntryKind::File: {
        currentFileName_ = name->trimmed();
        const QString extension = QFileInfo(*name).suffix(); // a name without one is no picture
        if (!extension.isEmpty() && PictureTypeOf(extension))
            loadList_.append({path, listing.categoryName});
        break;
    }
    case EntryKind::Folder: {
        if (!settings_.searchSubdirectories)
            break;
        const QString resolved =
            listing.resolved + (isRoot(listing.resolved) ? QString() : QString(kSeparator)) + *name;
        if (!isSystemFolder(resolved))
            open(path, resolved); // at once: its files come before the parent's later entries
        break;
    }
    case EntryKind::Other: break;
    }
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
