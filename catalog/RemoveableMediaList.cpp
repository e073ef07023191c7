#include "catalog/RemoveableMediaList.h"

#include "catalog/DataFile.h"
#include "catalog/StoredText.h"

// Qt
#include <QtEndian>

#include <algorithm>

namespace glimmora {

using namespace removeable_media_file;

namespace {

QString lengthPrefixedText(const char* field, qsizetype capacity)
{
    const auto length = std::min<qsizetype>(static_cast<unsigned char>(field[0]), capacity);
    return storedTextFrom(QByteArrayView(field + 1, length));
}

void putLengthPrefixedText(char* field, const QString& text, qsizetype capacity)
{
    const QByteArray bytes = storedTextBytes(text, capacity);
    field[0] = static_cast<char>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), field + 1);
}

QString withoutTrailingBlanks(QString text)
{
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
    return text;
}

} // namespace

QList<TRemoveableMedium> decodeRemoveableMedia(QByteArrayView bytes)
{
    QList<TRemoveableMedium> disks;
    for (qsizetype at = 0; at + kRecordSize <= bytes.size(); at += kRecordSize) {
        const char* record = bytes.data() + at;
        disks.append({qFromLittleEndian<std::uint32_t>(record + kSerialOffset),
                      lengthPrefixedText(record + kLabelOffset, kLabelBytes), record[kDriveOffset],
                      lengthPrefixedText(record + kDescriptionOffset, kDescriptionBytes)});
    }
    return disks;
}

QByteArray encodeRemoveableMedia(const QList<TRemoveableMedium>& disks)
{
    QByteArray bytes(disks.size() * kRecordSize, '\0');
    char* record = bytes.data();
    for (const TRemoveableMedium& disk : disks) {
        qToLittleEndian(disk.serialNumber, record + kSerialOffset);
        putLengthPrefixedText(record + kLabelOffset, disk.label, kLabelBytes);
        record[kDriveOffset] = disk.drive;
        putLengthPrefixedText(record + kDescriptionOffset, disk.description, kDescriptionBytes);
        record += kRecordSize;
    }
    return bytes;
}

QString newDiskLine(const NewDiskDetails& disk)
{
    return QStringLiteral("Drive ") + disk.drive + QStringLiteral(" ") + QStringLiteral("  Volume label=")
           + disk.label.trimmed() + QStringLiteral("  Ser no: ") + FormatSerialNumber(disk.serialNumber);
}

void TRemoveableMediaList::Load()
{
    if (loaded_)
        Save();
    Reload();
}

void TRemoveableMediaList::Reload()
{
    loaded_ = true;
    try {
        disks_ = decodeRemoveableMedia(file_.read());
        unreadable_ = false;
    } catch (const EDataFileError&) {
        disks_.clear();
        unreadable_ = true;
    }
}

bool TRemoveableMediaList::Save()
{
    if (!loaded_)
        return true;
    if (unreadable_)
        return false;
    try {
        file_.write(encodeRemoveableMedia(disks_));
        return true;
    } catch (const EDataFileError&) {
        return false;
    }
}

const TRemoveableMedium* TRemoveableMediaList::FindBySerialNumber(std::uint32_t serial) const
{
    for (const TRemoveableMedium& disk : disks_)
        if (disk.serialNumber == serial)
            return &disk;
    return nullptr;
}

void TRemoveableMediaList::AddDisk(const QString& path, const TVol_Info& volume, DiskDescriptionPrompt& prompt)
{
    if (FindBySerialNumber(volume.serialNumber))
        return;
    const QByteArray pathStart = pathBytes(path).left(1);
    const char drive = pathStart.isEmpty() ? '\0' : pathStart[0];
    const QString shownDrive = volume.mountPoint.isEmpty() ? QString(QLatin1Char(drive)).toUpper() : volume.mountPoint;
    const QString description = prompt.askDescription({shownDrive, volume.label, volume.serialNumber});
    loaded_ = true;
    disks_.append({volume.serialNumber, limitedText(volume.label, kLabelBytes), drive,
                   limitedText(withoutTrailingBlanks(description), kDescriptionBytes)});
    Save();
}

} // namespace glimmora
