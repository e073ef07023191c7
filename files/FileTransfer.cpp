#include "files/FileTransfer.h"

#include "catalog/ImageElementForm.h"
#include "catalog/RemoveableMediaList.h"
#include "catalog/Scrapbook.h"
#include "catalog/Volume.h"
#include "files/FileCopy.h"

#include <exception>

namespace glimmora {

namespace {

const QString kErrorCaption = QStringLiteral("Error");
const QString kCopyErrorCaption = QStringLiteral("Copy Error");

// A directory as the messages name it: its final "/" turned into a full stop.
QString directoryInSentence(const QByteArray& directory)
{
    QString shown = displayPath(directory);
    if (shown.endsWith(QLatin1Char('/')))
        shown.back() = QLatin1Char('.');
    return shown;
}

QString copyFailure(const QString& reason)
{
    return QStringLiteral("The file could not be copied to its destination because: %1").arg(reason);
}

} // namespace

Message transferConfirmation(TransferMode mode, qsizetype images, const QString& destination)
{
    const QString verb = mode == TransferMode::Copy ? QStringLiteral("copy") : QStringLiteral("move");
    return {QStringLiteral("Are you sure you want to %1  the selected image%2 to directory %3?")
                .arg(verb, images >= 2 ? QStringLiteral("s") : QString(), destination),
            QStringLiteral("Confirm Move"), MessageIcon::Question, MessageButton::Yes | MessageButton::No,
            MessageButton::No};
}

TFileTransfer::TFileTransfer(TScrapbook& scrapbook, MessageService& messages, DiskDescriptionPrompt& diskPrompt)
    : scrapbook_(scrapbook),
      messages_(messages),
      diskPrompt_(diskPrompt)
{}

TransferResult TFileTransfer::TransferImages(const QList<TImageElement>& images, const QString& destination,
                                             TransferMode mode)
{
    chosenDirectory_ = destination;
    directory_ = pathBytes(destination);
    if (!directory_.endsWith('/'))
        directory_ += '/';
    imageCount_ = images.size();
    firstFileName_ = images.isEmpty() ? QString() : fileNamePart(images.first().IT_Path);

    TransferResult result;
    for (const TImageElement& image : images) {
        const Step step = transferOne(image, mode);
        if (step == Step::Done) {
            ++result.transferred;
            continue;
        }
        ++result.failed;
        result.keepOpen = result.keepOpen || step == Step::KeepOpen;
    }
    return result;
}

TFileTransfer::Step TFileTransfer::transferOne(const TImageElement& image, TransferMode mode)
{
    const QByteArray& source = image.IT_Path;
    const QByteArray target = directory_ + fileNameBytes(source);
    if (!pathExists(source)) {
        showError(QStringLiteral("The image file is no longer in directory %1")
                      .arg(directoryInSentence(directoryPart(source))),
                  kErrorCaption);
        return Step::KeepOpen;
    }
    if (pathExists(target)) {
        if (!mayOverwrite(target))
            return Step::KeepOpen;
        // Copying a file onto itself would empty it, and a move would then delete it.
        if (isSameFile(source, target)) {
            showError(copyFailure(QStringLiteral("the source and the destination are the same file.")),
                      kCopyErrorCaption);
            return Step::Failed;
        }
    }
    TFileCopy copy(source, target);
    if (!copy.Prepare() || !copy.Commit(mode == TransferMode::Move)) {
        showError(copyFailure(copy.errorText()), kCopyErrorCaption);
        return Step::Failed;
    }
    if (mode == TransferMode::Copy) {
        copy.Finish(); // the record still describes the original
        reportSuccess(mode);
        return Step::Done;
    }
    return moveRecord(image, copy, target) ? Step::Done : Step::Failed;
}

bool TFileTransfer::mayOverwrite(const QByteArray& target)
{
    const Message question{
        QStringLiteral("The image file is already in directory %1. Do you wish to overwrite it?").arg(chosenDirectory_),
        kErrorCaption, MessageIcon::Question, MessageButton::Yes | MessageButton::No, MessageButton::No};
    if (messages_.show(question) != MessageButton::Yes)
        return false;
    QString reason;
    if (clearReadOnly(target, &reason))
        return true;
    showError(QStringLiteral("Error setting file attributes. Operation cancelled."), kErrorCaption);
    showError(QStringLiteral("Unable to clear Read-Only from file %1 because: %2").arg(displayPath(target), reason),
              kErrorCaption);
    return false;
}

// The record takes the new path and is saved before the original goes, so that the scrapbook
// names a file that exists at every moment.
bool TFileTransfer::moveRecord(TImageElement record, TFileCopy& copy, const QByteArray& target)
{
    TImageElementForm& images = scrapbook_.images();
    const TImageElement original = record;
    const TVol_Info volume = ReadVolumeInfo(localPath(target));
    QString failure;
    try {
        images.SetImagePath(record, target);
        record.IT_VolumeSerial = volume.serialNumber;
        record.IT_Removable = volume.removable;
        images.WriteImage(record);
        failure = saveFailure();
    } catch (const std::exception& error) {
        failure = QString::fromUtf8(error.what());
    }
    if (!failure.isEmpty())
        return cancelMove(record, original, copy, QStringLiteral("The move operation is cancelled: %1").arg(failure));

    QString reason;
    if (!deleteFile(original.IT_Path, &reason))
        return cancelMove(record, original, copy,
                          QStringLiteral("The original file could not be deleted. The move operation is cancelled."));
    copy.Finish();
    reportSuccess(TransferMode::Move);
    if (volume.removable)
        scrapbook_.disks().AddDisk(localPath(target), volume, diskPrompt_);
    return true;
}

// The record takes its original path again; the copy goes only once the scrapbook says so on
// disk, as it might name the copy otherwise.
bool TFileTransfer::cancelMove(TImageElement& record, const TImageElement& original, TFileCopy& copy,
                               const QString& why)
{
    QString unsaved;
    try {
        scrapbook_.images().SetImagePath(record, original.IT_Path);
        scrapbook_.images().WriteImage(original);
        unsaved = saveFailure();
    } catch (const std::exception& error) {
        unsaved = QString::fromUtf8(error.what());
    }
    if (unsaved.isEmpty()) {
        copy.Undo();
        showError(why, kCopyErrorCaption);
    } else {
        copy.Finish();
        showError(QStringLiteral("%1 The scrapbook could not be set back to the original (%2), so the copy in %3 "
                                 "stays as well.")
                      .arg(why, unsaved, directoryInSentence(directory_)),
                  kCopyErrorCaption);
    }
    return false;
}

QString TFileTransfer::saveFailure()
{
    try {
        scrapbook_.save();
        return QString();
    } catch (const std::exception& error) {
        return QString::fromUtf8(error.what());
    }
}

void TFileTransfer::reportSuccess(TransferMode mode)
{
    const QString participle = mode == TransferMode::Copy ? QStringLiteral("copied") : QStringLiteral("moved");
    const QString directory = directoryInSentence(directory_);
    const QString text =
        imageCount_ == 1
            ? QStringLiteral("File %1 has been %2 to directory: %3").arg(firstFileName_, participle, directory)
            : QStringLiteral("The selected files have been %1 to directory: %2").arg(participle, directory);
    messages_.show({text, QStringLiteral("Success!"), MessageIcon::Information});
}

void TFileTransfer::showError(const QString& text, const QString& caption)
{
    messages_.show({text, caption, MessageIcon::Error});
}

} // namespace glimmora
