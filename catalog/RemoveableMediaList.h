#pragma once

#include "catalog/DataFile.h"
#include "catalog/Volume.h"

// Qt
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <cstdint>

namespace glimmora {

// One removable disk the scrapbook knows, identified by its serial number alone.
struct TRemoveableMedium {
    std::uint32_t serialNumber = 0;
    QString label;       // at most 11 bytes of UTF-8
    char drive = 0;      // the first byte of the path the disk was added for
    QString description; // at most 25 bytes of UTF-8

    bool operator==(const TRemoveableMedium&) const = default;
};

// The registry file: 44-byte records, no header: uint32 serial number (little-endian); a length
// byte (0 to 11) and 11 label bytes; the drive byte; a length byte (0 to 25) and 25 description
// bytes; one unused byte. Bytes beyond a length and the unused byte mean nothing. A partial last
// record is ignored and a length beyond its field counts as the field's size.
namespace removeable_media_file {
inline constexpr qsizetype kRecordSize = 44;
inline constexpr qsizetype kSerialOffset = 0;
inline constexpr qsizetype kLabelOffset = 4;
inline constexpr qsizetype kLabelBytes = 11;
inline constexpr qsizetype kDriveOffset = 16;
inline constexpr qsizetype kDescriptionOffset = 17;
inline constexpr qsizetype kDescriptionBytes = 25;
} // namespace removeable_media_file

QList<TRemoveableMedium> decodeRemoveableMedia(QByteArrayView bytes);
QByteArray encodeRemoveableMedia(const QList<TRemoveableMedium>& disks);

// What the new-disk dialog is given to show, and how the registry asks for a description.
struct NewDiskDetails {
    QString drive; // the mount point of the disk's volume, or the drive byte when there is none
    QString label;
    std::uint32_t serialNumber = 0;
};

class DiskDescriptionPrompt {
public:
    virtual ~DiskDescriptionPrompt() = default;
    // Asks until the user gives a description that is not blank; returns it as typed.
    virtual QString askDescription(const NewDiskDetails& disk) = 0;
};

// The line the new-disk dialog paints: "Drive " + drive + " " + "  Volume label=" + label +
// "  Ser no: " + "1A2B-3C4D".
QString newDiskLine(const NewDiskDetails& disk);

// The registry of removable disks, shared by the whole program.
class TRemoveableMediaList {
public:
    explicit TRemoveableMediaList(const QString& fileName) : file_(fileName) {}

    // Reads the file again (a missing or unreadable file gives an empty list). The list as it
    // stands is written first once it was loaded, as the program has always done.
    void Load();
    // Rewrites the file from the list (unless it holds it already); does nothing before the
    // first Load. A file that Load could not read is never replaced. False when the file was not
    // written (the old one stays).
    bool Save();
    // Forgets unsaved edits by reading the file again without writing first.
    void Reload();

    const TRemoveableMedium* FindBySerialNumber(std::uint32_t serial) const;

    // Registers the disk of `path` unless its serial number is listed: asks for a description,
    // appends the disk and saves. `volume` is ReadVolumeInfo of the path and must be removable.
    void AddDisk(const QString& path, const TVol_Info& volume, DiskDescriptionPrompt& prompt);

    const QList<TRemoveableMedium>& disks() const { return disks_; }
    QList<TRemoveableMedium>& disks() { return disks_; }
    bool isEmpty() const { return disks_.isEmpty(); }
    const QString& fileName() const { return file_.path(); }

private:
    TDataFile file_;
    bool loaded_ = false;
    bool unreadable_ = false;
    QList<TRemoveableMedium> disks_;
};

} // namespace glimmora
