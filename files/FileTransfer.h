#pragma once

#include "catalog/ImageElement.h"
#include "platform/MessageService.h"

// Qt
#include <QByteArray>
#include <QList>
#include <QString>

namespace glimmora {

class DiskDescriptionPrompt;
class TFileCopy;
class TScrapbook;

enum class TransferMode { Copy, Move };

// What a transfer of several images came to.
struct TransferResult {
    int transferred = 0; // images copied or moved
    int failed = 0;      // images reported as failed or skipped
    // A missing source, a declined overwrite or a target whose read-only attribute could not be
    // cleared: the user may want to choose another directory.
    bool keepOpen = false;
};

// "Are you sure you want to move  the selected image(s) to directory <destination>?", captioned
// "Confirm Move" in both modes, No the default.
Message transferConfirmation(TransferMode mode, qsizetype images, const QString& destination);

// Moves or copies the picture files of images to a directory, the scrapbook following a moved
// file: its record takes the new path, volume and path checksum, and the path index follows.
// The file move window and glimmora-cli both run it; every outcome and question goes through
// the message service given, with the same texts.
//
// A copy never overwrites a file without asking. A move is made so that the file is never in
// neither place and the scrapbook never names a path that holds no file, whatever step fails or
// wherever the process is killed: the copy is made and synced beside the target, put in place,
// the record saved with its new path, and only then is the original deleted. When the original
// cannot be deleted, the record takes its old path again and the copy goes (a target it
// replaced comes back). The scrapbook is saved after each move, before its success is told.
class TFileTransfer {
public:
    TFileTransfer(TScrapbook& scrapbook, MessageService& messages, DiskDescriptionPrompt& diskPrompt);

    // Transfers each image in list order to `destination`, the directory as the user chose it.
    TransferResult TransferImages(const QList<TImageElement>& images, const QString& destination, TransferMode mode);

private:
    enum class Step { Done, Failed, KeepOpen };

    Step transferOne(const TImageElement& image, TransferMode mode);
    bool mayOverwrite(const QByteArray& target);
    bool moveRecord(TImageElement record, TFileCopy& copy, const QByteArray& target);
    bool cancelMove(TImageElement& record, const TImageElement& original, TFileCopy& copy, const QString& why);
    QString saveFailure();
    void reportSuccess(TransferMode mode);
    void showError(const QString& text, const QString& caption);

    TScrapbook& scrapbook_;
    MessageService& messages_;
    DiskDescriptionPrompt& diskPrompt_;
    QString chosenDirectory_; // as the user chose it
    QByteArray directory_;    // with its final "/"
    qsizetype imageCount_ = 0;
    QString firstFileName_; // the file-name label of the window
};

} // namespace glimmora
