#pragma once

// Qt
#include <QList>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

namespace glimmora {

class TCategories;
class TScrapbook;
struct TRemoveableMedium;

// The scrapbook-wide repairs of the "Cleanup" menu, shared by the main window and glimmora-cli.
// They change the scrapbook in memory; the caller saves it (DeleteRemoveableDisk excepted, which
// must save its files in order).

// How a long pass reports itself to whoever started it, and how it is asked to stop. Every member
// may be left empty.
struct MaintenanceObserver {
    std::function<void(const QString& text)> status;   // the status line; an empty text clears it
    std::function<void(int done, int total)> progress; // after each record of a pass
    std::function<bool()> stopRequested;               // polled after each record
};

// --- Delete images not on disk ------------------------------------------------------------------

struct MissingImagesResult {
    int deleted = 0;
    // Records whose file was not found, kept because the volume that now holds their directory is
    // not present or is not the one they were added from (or the file could not be asked for).
    int keptOnAbsentVolumes = 0;
    bool stopped = false;
    QString error; // why the pass ended early; empty when it ran to its end
};

// Deletes the records of files that are gone. A record counts as gone only when its file is not
// found while the volume that now holds its directory is present and has the record's serial
// number: an unmounted disk or an unreachable share loses nothing. Records on removable drives
// are never deleted.
MissingImagesResult DeleteImagesNotOnDisk(TScrapbook& scrapbook, const MaintenanceObserver& observer = {});
// "<n> items were deleted from the scrapbook.", then what was kept and why the pass ended early.
QString missingImagesMessage(const MissingImagesResult& result);

// --- Delete empty categories --------------------------------------------------------------------

// Deletes every real category but "(unassigned)" that has no image, from the last to the first;
// returns how many went.
int DeleteEmptyCategories(TCategories& categories);
// "<n> categories were deleted from the scrapbook."
QString emptyCategoriesMessage(int deleted);

// --- Integrity check ----------------------------------------------------------------------------

inline const QString kOrphanedCorrespondencesStatus =
    QStringLiteral("   Deleting orphaned category/image correspondences...");
inline const QString kOrphanedImagesStatus = QStringLiteral("   Checking for orphaned images...");

struct IntegrityResult {
    int imagesInUnknownCategories = 0; // memberships of categories that do not exist, dropped
    int orphanedImages = 0;            // images in no category, put in "(unassigned)"
    QString error;                     // why the check ended early; empty when it ran to its end
};

// Drops the memberships of categories that do not exist (their images go to "(unassigned)") and
// puts every image that is in no category in "(unassigned)"; both passes run twice, in that
// order, and the counts are their sums.
IntegrityResult CheckIntegrity(TScrapbook& scrapbook, const MaintenanceObserver& observer = {});
// The two counts, in the two sentences of the check's one message, separated by a CR.
QString integrityMessage(const IntegrityResult& result);

// --- Removable disks ----------------------------------------------------------------------------

// "Deleting the removeable disk "<description>" from the scrapbook deletes its images from the
// scrapbook too. Do you want to continue?"
QString deleteDiskQuestion(const QString& description);

// Deletes every image that lies on the removable disk `serial` (the removable flag set and that
// serial number; images on fixed disks with the same number stay), saves the scrapbook, then
// removes the disk from the registry and saves it: a failure leaves the disk listed, so that
// deleting it again finishes the work. Returns the number of images deleted. Raises
// EScrapbookSaveError when the scrapbook, or a std::runtime_error when the registry, could not
// be saved, and the store's errors when a record cannot be read.
int DeleteRemoveableDisk(TScrapbook& scrapbook, std::uint32_t serial);
// "The removeable disk "<description>" and its <n> images were deleted from the scrapbook."
QString diskDeletedMessage(const QString& description, int imagesDeleted);

// The texts of a disk as the maintenance grid shows them.
struct DiskTexts {
    QString drive;        // where a volume with the disk's serial number is mounted, else the stored drive byte
    QString serialHex;    // "1A2B-3C4D"
    QString serialSigned; // the serial number as a signed 32-bit decimal: FFFFFFFF is "-1"
    QString label;
    QString description;
};
// One entry per disk, in list order (the mounted volumes are asked once for all of them).
QList<DiskTexts> diskTexts(const QList<TRemoveableMedium>& disks);

// A serial number as the user gives it: "1A2B-3C4D" (hexadecimal, as shown), or a decimal,
// signed ("-1") or unsigned ("4294967295"). Empty when the text is neither.
std::optional<std::uint32_t> parseSerialNumber(const QString& text);

} // namespace glimmora
