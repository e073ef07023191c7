#pragma once

#include "catalog/ImageElement.h"
#include "files/FileTransfer.h"

// Qt
#include <QDialog>
#include <QList>

class QLabel;
class QPushButton;

namespace glimmora {

class DiskDescriptionPrompt;
class TFolderTree;
class TScrapbook;

// The file move window: the user picks a directory in a folder tree, and after a confirmation
// the picture files of the images are moved or copied there (TFileTransfer). It closes after
// the transfer unless a file was missing, an overwrite was declined or a read-only target could
// not be cleared, so that another directory can be chosen.
class TFileMoveForm : public QDialog {
    Q_OBJECT
public:
    // `images`: the selected images in list order (at least one). The scrapbook and the prompt
    // outlive the window.
    TFileMoveForm(QList<TImageElement> images, TransferMode mode, TScrapbook& scrapbook,
                  DiskDescriptionPrompt& diskPrompt, QWidget* parent = nullptr);

    QLabel* InstructionLabel;
    QLabel* FileNameLabel;
    TFolderTree* FolderTree;
    QLabel* DestinationLabel;
    QPushButton* OkBtn;
    QPushButton* CancelBtn;

    // The directory the window starts on: the first image's.
    const QString& InitialDestination() const { return destination_; }

public slots:
    void FolderTreeChange();
    void OkBtnClick();

private:
    QList<TImageElement> images_;
    TransferMode mode_;
    TScrapbook& scrapbook_;
    DiskDescriptionPrompt& diskPrompt_;
    QString destination_;
};

} // namespace glimmora
