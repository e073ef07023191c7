#include "catalog/Maintenance.h"

#include "catalog/Categories.h"
#include "catalog/Correspondences.h"
#include "catalog/ImageElementForm.h"
#include "catalog/RemoveableMediaList.h"
#include "catalog/Scrapbook.h"
#include "catalog/Volume.h"
#include "platform/Volumes.h"

// Qt
#include <QHash>
#include <QSet>

// POSIX
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <exception>
#include <stdexcept>
#include <vector>

namespace glimmora {

namespace {

QString errorText(const std::exception& error) { return QString::fromUtf8(error.what()); }

void tellStatus(const MaintenanceObserver& observer, const QString& text)
{
    if (observer.status)
        observer.status(text);
}

void tellProgress(const MaintenanceObserver& observer, int done, int total)
{
    if (observer.progress)
        observer.progress(done, total);
}

bool stopRequested(const MaintenanceObserver& observer) { return observer.stopRequested && observer.stopRequested(); }

// A record to hand to DeleteImage, which needs only its number and path.
TImageElement recordOf(const ImageIdentity& identity)
{
    TImageElement record;
    record.IT_SeqNo = identity.seqNo;
    record.IT_Path = identity.path;
    return record;
}

enum class FileState { Present, Missing, Unknown };

// Only "no such file" and "a component is no directory" say that a file is gone; any other
// failure (no permission, an I/O error, a stale share) says nothing about it.
FileState fileStateOf(const QByteArray& path)
{
    struct stat status {};
    if (::stat(path.constData(), &status) == 0)
        return S_ISDIR(status.st_mode) ? FileState::Missing : FileState::Present;
    return errno == ENOENT || errno == ENOTDIR ? FileState::Missing : FileState::Unknown;
}

QByteArray directoryOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.left(slash);
}

// Whether the volume that now holds a directory is the one a record was added from. Asked once
// per directory: a pass over a disk that is gone meets thousands of records in a few directories.
class VolumeCheck {
public:
    bool holdsRecordVolume(const ImageIdentity& identity)
    {
        const QByteArray directory = directoryOf(identity.path);
        auto found = volumes_.constFind(directory);
        if (found == volumes_.cend())
            found = volumes_.insert(directory, ReadVolumeInfo(localPath(directory)));
        return found->read && found->serialNumber == identity.volumeSerial;
    }

private:
    QHash<QByteArray, TVol_Info> volumes_;
};

const QString kMissingImagesStatus = QStringLiteral("   Looking for images not on disk...");

} // namespace

MissingImagesResult DeleteImagesNotOnDisk(TScrapbook& scrapbook, const MaintenanceObserver& observer)
{
    MissingImagesResult result;
    TImageElementForm& images = scrapbook.images();
    std::vector<ImageIdentity> gone;
    tellStatus(observer, kMissingImagesStatus);
    try {
        // The records are listed first and deleted afterwards, so that deleting never moves the
        // pass past a record it has not examined.
        const std::vector<ImageIdentity> identities = images.ImageIdentities();
        VolumeCheck volumes;
        const int total = int(identities.size());
        for (int i = 0; i < total && !result.stopped; ++i) {
            const ImageIdentity& identity = identities[std::size_t(i)];
            if (!identity.removable) {
                const FileState state = fileStateOf(identity.path);
                if (state == FileState::Missing && volumes.holdsRecordVolume(identity))
                    gone.push_back(identity);
                else if (state != FileState::Present)
                    ++result.keptOnAbsentVolumes;
            }
            tellProgress(observer, i + 1, total);
            result.stopped = stopRequested(observer);
        }
        for (const ImageIdentity& identity : gone) {
            images.DeleteImage(recordOf(identity));
            ++result.deleted;
        }
    } catch (const std::exception& error) {
        result.error = errorText(error);
    }
    tellStatus(observer, QString());
    return result;
}

QString missingImagesMessage(const MissingImagesResult& result)
{
    QString text = QStringLiteral("%1 items were deleted from the scrapbook.").arg(result.deleted);
    if (result.keptOnAbsentVolumes > 0)
        text += QStringLiteral(" %1 images whose files were not found are on a volume that is not present and were "
                               "kept.")
                    .arg(result.keptOnAbsentVolumes);
    if (result.stopped)
        text += QStringLiteral(" The search was stopped before its end.");
    if (!result.error.isEmpty())
        text += QStringLiteral(" The search ended early: %1").arg(result.error);
    return text;
}

int DeleteEmptyCategories(TCategories& categories)
{
    const TCorrespondences& memberships = categories.memberships();
    QList<TCategory*> empty;
    for (const auto& category : categories.categories())
        if (category->CategoryId >= 0 && category->CategoryId != categories.UnassignedId()
            && !memberships.CategoryHasImages(category->CategoryId))
            empty.prepend(category.get()); // from the last to the first
    for (TCategory* category : empty)
        categories.DeleteCategory(category, false);
    return int(empty.size());
}

QString emptyCategoriesMessage(int deleted)
{
    return QStringLiteral("%1 categories were deleted from the scrapbook.").arg(deleted);
}

namespace {

// Drops the memberships of categories that do not exist; the images they named go to
// "(unassigned)", even when they are in other categories too. Counts into `found` as it goes,
// so that a failure still tells how far it came.
void FindOrphanedCorrespondences(TScrapbook& scrapbook, const MaintenanceObserver& observer, int& found)
{
    TCategories& categories = scrapbook.categories();
    TCorrespondences& memberships = scrapbook.memberships();
    tellStatus(observer, kOrphanedCorrespondencesStatus);
    QSet<std::int32_t> known;
    for (const auto& category : categories.categories())
        known.insert(category->CategoryId);
    TCategory& unassigned = *categories.FindCategory(categories.UnassignedId());
    const QList<Membership> pairs = memberships.pairs(); // a copy: the loop changes the list
    for (qsizetype i = pairs.size() - 1; i >= 0; --i) {
        const Membership& pair = pairs.at(i);
        if (known.contains(pair.categoryId))
            continue;
        const std::unique_ptr<TImageElement> record = scrapbook.images().ReadImage(pair.seqNo);
        memberships.RemoveMembership(pair.categoryId, pair.seqNo);
        if (record)
            categories.AddImageToCategory(unassigned, *record);
        ++found;
    }
    scrapbook.images().EndReadPass();
    tellProgress(observer, int(pairs.size()), int(pairs.size()));
    tellStatus(observer, QString());
}

// Puts every stored image that no membership names in "(unassigned)". The numbers come from the
// store's index; only the records that are put somewhere are read.
void FindOrphanedImages(TScrapbook& scrapbook, const MaintenanceObserver& observer, int& found)
{
    TCategories& categories = scrapbook.categories();
    TImageElementForm& images = scrapbook.images();
    tellStatus(observer, kOrphanedImagesStatus);
    TCategory& unassigned = *categories.FindCategory(categories.UnassignedId());
    const QList<std::int32_t> stored = images.StoredImageNumbers();
    for (qsizetype i = 0; i < stored.size(); ++i) {
        if (!scrapbook.memberships().ImageHasCategory(stored.at(i))) {
            if (const std::unique_ptr<TImageElement> record = images.ReadImage(stored.at(i))) {
                categories.AddImageToCategory(unassigned, *record);
                ++found;
            }
        }
        tellProgress(observer, int(i + 1), int(stored.size()));
    }
    images.EndReadPass();
    tellStatus(observer, QString());
}

} // namespace

IntegrityResult CheckIntegrity(TScrapbook& scrapbook, const MaintenanceObserver& observer)
{
    IntegrityResult result;
    try {
        for (int round = 0; round < 2; ++round) {
            FindOrphanedCorrespondences(scrapbook, observer, result.imagesInUnknownCategories);
            FindOrphanedImages(scrapbook, observer, result.orphanedImages);
        }
    } catch (const std::exception& error) {
        result.error = errorText(error);
        tellStatus(observer, QString());
    }
    return result;
}

QString integrityMessage(const IntegrityResult& result)
{
    QString text = QString::number(result.imagesInUnknownCategories) + QStringLiteral(" images in unknown categories ")
                   + QStringLiteral("were moved to the (unassigned) category.") + QLatin1Char('\r')
                   + QString::number(result.orphanedImages) + QStringLiteral(" orphaned images ")
                   + QStringLiteral("were moved to the (unassigned) category.");
    if (!result.error.isEmpty())
        text += QLatin1Char('\r') + QStringLiteral("The check ended early: %1").arg(result.error);
    return text;
}

QString deleteDiskQuestion(const QString& description)
{
    return QStringLiteral("Deleting the removeable disk ") + QLatin1Char('"') + description.trimmed() + QLatin1Char('"')
           + QStringLiteral(" from the scrapbook deletes its images from the ")
           + QStringLiteral("scrapbook too. Do you want to continue?");
}

int DeleteRemoveableDisk(TScrapbook& scrapbook, std::uint32_t serial)
{
    TImageElementForm& images = scrapbook.images();
    int deleted = 0;
    for (const ImageIdentity& identity : images.ImageIdentities()) {
        if (identity.removable && identity.volumeSerial == serial) {
            images.DeleteImage(recordOf(identity));
            ++deleted;
        }
    }
    // The images go first: a disk still listed after a failure can be deleted again, but images
    // of a disk no longer listed could not be.
    scrapbook.save();
    TRemoveableMediaList& disks = scrapbook.disks();
    disks.disks().removeIf([serial](const TRemoveableMedium& disk) { return disk.serialNumber == serial; });
    if (!disks.Save())
        throw std::runtime_error(QStringLiteral("The images of the disk were deleted, but the list of removable disks "
                                                "could not be saved to %1.")
                                     .arg(disks.fileName())
                                     .toStdString());
    return deleted;
}

QString diskDeletedMessage(const QString& description, int imagesDeleted)
{
    return QStringLiteral("The removeable disk \"%1\" and its %2 images were deleted from the scrapbook.")
        .arg(description.trimmed())
        .arg(imagesDeleted);
}

QList<DiskTexts> diskTexts(const QList<TRemoveableMedium>& disks)
{
    QHash<std::uint32_t, QString> mountPoints;
    for (const VolumeIdentity& volume : VolumeTable::current().mountedVolumes())
        if (volume.read && !mountPoints.contains(volume.serialNumber))
            mountPoints.insert(volume.serialNumber, volume.mountPoint);
    QList<DiskTexts> texts;
    for (const TRemoveableMedium& disk : disks) {
        const QString storedDrive = disk.drive ? QString(QLatin1Char(disk.drive)) : QString();
        texts.append({mountPoints.value(disk.serialNumber, storedDrive), FormatSerialNumber(disk.serialNumber),
                      QString::number(static_cast<std::int32_t>(disk.serialNumber)), disk.label, disk.description});
    }
    return texts;
}

std::optional<std::uint32_t> parseSerialNumber(const QString& text)
{
    const QString trimmed = text.trimmed();
    bool ok = false;
    if (trimmed.size() == 9 && trimmed.at(4) == QLatin1Char('-')) {
        const QString digits = trimmed.left(4) + trimmed.mid(5);
        const uint value = digits.toUInt(&ok, 16);
        return ok && !digits.startsWith(QLatin1Char('+')) ? std::optional<std::uint32_t>(value) : std::nullopt;
    }
    if (const qlonglong value = trimmed.toLongLong(&ok); ok && value >= INT32_MIN && value <= UINT32_MAX)
        return static_cast<std::uint32_t>(value);
    return std::nullopt;
}

} // namespace glimmora
