#pragma once

#include "catalog/ImageElement.h"

// Qt
#include <QString>

#include <cstdint>

namespace glimmora {

class TRemoveableMediaList;

// The volume information of the volume a path lies on.
struct TVol_Info {
    std::uint32_t serialNumber = 0xFFFFFFFFu; // all bits set when it could not be read
    QString label = QStringLiteral("(none)"); // "(none)" when it could not be read
    bool read = false;
    bool removable = false; // a removable-media or CD-ROM drive
    int driveType = 1;      // the DriveType value of platform/Volumes.h
    QString mountPoint;     // shown where the user is told which drive is meant
};

TVol_Info ReadVolumeInfo(const QString& path);
std::uint32_t VolumeSerialOf(const QString& root);

// "1A2B-3C4D": the high and low 16 bits as four upper-case hexadecimal digits each.
QString FormatSerialNumber(std::uint32_t serial);

// "floppy disk", "network drive", "CD ROM", "RAM disk" or "unknown drive".
QString DriveKindText(int driveType);

// The result code (LoadResultCode) and error text a failed load ends with.
struct LoadErrorOutcome {
    int resultCode = 7;
    QString errorText;
};

// Explains the failure of a load of `path` for `record` (nullptr when the load was for no image
// record): a file that is gone from a disk in place, or a removable disk that is not in its
// drive, described from the registry `disks` (nullptr reads as an empty registry). Unless
// silent, the user is asked to insert the disk with Retry and Cancel (code 4 or 2); silent
// gives code 2 for an absent disk. The loader repeats its load while the code is 4.
LoadErrorOutcome HandleLoadError(const QString& path, const TImageElement* record, const QString& message, bool silent,
                                 const TRemoveableMediaList* disks);

} // namespace glimmora
