#include "catalog/Volume.h"

#include "catalog/RemoveableMediaList.h"
#include "platform/MessageService.h"
#include "platform/Volumes.h"

// Qt
#include <QFileInfo>

namespace glimmora {

namespace {

const QString kCarriageReturn = QStringLiteral("\r");

bool diskInPlace(const TImageElement& record)
{
    return !record.IT_Removable || VolumeSerialOf(localPath(record.IT_Path)) == record.IT_VolumeSerial;
}

QString absentDiskText(const QString& path, const TImageElement& record, const TRemoveableMediaList* disks)
{
    const TRemoveableMedium* disk = disks ? disks->FindBySerialNumber(record.IT_VolumeSerial) : nullptr;
    QString label = disk ? disk->label : QString();
    const QString description = disk ? disk->description : QString();
    if (label.trimmed().isEmpty())
        label = QStringLiteral("(none)");
    const QString kind = DriveKindText(ReadVolumeInfo(localPath(record.IT_Path)).driveType);
    return QStringLiteral("File ") + path + QStringLiteral(" is on ") + kind + QStringLiteral(" serial no. ")
           + FormatSerialNumber(record.IT_VolumeSerial) + kCarriageReturn + QStringLiteral("Label=") + label
           + kCarriageReturn + QStringLiteral("Description=") + description;
}

} // namespace

TVol_Info ReadVolumeInfo(const QString& path)
{
    const VolumeIdentity volume = VolumeTable::current().volumeOf(path);
    TVol_Info info;
    info.read = volume.read;
    info.serialNumber = volume.read ? volume.serialNumber : 0xFFFFFFFFu;
    info.label = volume.read ? volume.label : QStringLiteral("(none)");
    info.driveType = static_cast<int>(volume.driveType);
    info.removable = volume.driveType == DriveType::Removable || volume.driveType == DriveType::CdRom;
    info.mountPoint = volume.mountPoint;
    return info;
}

std::uint32_t VolumeSerialOf(const QString& root) { return ReadVolumeInfo(root).serialNumber; }

QString FormatSerialNumber(std::uint32_t serial)
{
    return QStringLiteral("%1-%2")
        .arg(serial >> 16, 4, 16, QLatin1Char('0'))
        .arg(serial & 0xFFFFu, 4, 16, QLatin1Char('0'))
        .toUpper();
}

QString DriveKindText(int driveType)
{
    switch (static_cast<DriveType>(driveType)) {
    case DriveType::Removable: return QStringLiteral("floppy disk");
    case DriveType::Remote: return QStringLiteral("network drive");
    case DriveType::CdRom: return QStringLiteral("CD ROM");
    case DriveType::RamDisk: return QStringLiteral("RAM disk");
    default: return QStringLiteral("unknown drive");
    }
}

LoadErrorOutcome HandleLoadError(const QString& path, const TImageElement* record, const QString& message, bool silent,
                                 const TRemoveableMediaList* disks)
{
    LoadErrorOutcome outcome{7, message};
    if (!record)
        return outcome;
    if (diskInPlace(*record)) {
        if (!QFileInfo(path).isFile())
            outcome.errorText = QStringLiteral("File ") + path + QStringLiteral(" is no longer on disk.");
        return outcome;
    }
    outcome.errorText = absentDiskText(path, *record, disks);
    if (silent) {
        outcome.resultCode = 2;
        return outcome;
    }
    outcome.errorText += kCarriageReturn + kCarriageReturn + QStringLiteral("Insert this disk and click Retry.");
    const MessageButton answer =
        showMessage({outcome.errorText, QStringLiteral("Error"), MessageIcon::Error,
                     MessageButton::Retry | MessageButton::Cancel, MessageButton::Retry, MessageBeep::Question});
    outcome.resultCode = answer == MessageButton::Retry ? 4 : 2;
    return outcome;
}

} // namespace glimmora
