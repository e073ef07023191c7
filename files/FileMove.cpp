#include "files/FileMove.h"

#include "files/FileCopy.h"
#include "files/FolderTree.h"
#include "platform/HelpWindow.h"
#include "platform/MessageService.h"
#include "platform/UserInterface.h"

// Qt
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace glimmora {

namespace {

constexpr int kHelpContext = 2004;
constexpr QSize kInitialSize(360, 420);

QLabel* plainLabel(const QString& text = QString())
{
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

TFileMoveForm::TFileMoveForm(QList<TImageElement> images, TransferMode mode, TScrapbook& scrapbook,
                             DiskDescriptionPrompt& diskPrompt, QWidget* parent)
    : QDialog(parent),
      images_(std::move(images)),
      mode_(mode),
      scrapbook_(scrapbook),
      diskPrompt_(diskPrompt)
{
    setWindowTitle(QStringLiteral("Glimmora - File Move"));
    const QByteArray first = images_.isEmpty() ? QByteArray() : images_.first().IT_Path;

    InstructionLabel = plainLabel(mode == TransferMode::Move
                                      ? QStringLiteral("Select a &Destination Directory and click OK to move file:")
                                      : QStringLiteral("Select a &Destination Directory and click OK to copy file:"));
    InstructionLabel->setTextFormat(Qt::AutoText); // the accelerator marks the tree's key
    FileNameLabel = plainLabel(fileNamePart(first));
    FileNameLabel->setAlignment(Qt::AlignCenter);
    FolderTree = new TFolderTree(this);
    FolderTree->setDisplayMode(dmLowercase);
    InstructionLabel->setBuddy(FolderTree);
    DestinationLabel = plainLabel();
    DestinationLabel->setWordWrap(true);

    auto* buttons = new QDialogButtonBox;
    OkBtn = buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
    CancelBtn = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    connect(OkBtn, &QPushButton::clicked, this, &TFileMoveForm::OkBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(InstructionLabel);
    layout->addWidget(FileNameLabel);
    layout->addWidget(FolderTree, 1);
    layout->addWidget(DestinationLabel);
    layout->addWidget(buttons);
    setTabOrder(FolderTree, OkBtn);
    setTabOrder(OkBtn, CancelBtn);
    resize(kInitialSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    HelpWindow::bindHelpKey(this, kHelpContext);

    destination_ = displayPath(directoryPart(first));
    FolderTree->setFocus();
    processPendingEvents();
    FolderTree->SelectPath(destination_);
    connect(FolderTree, &QTreeWidget::itemSelectionChanged, this, &TFileMoveForm::FolderTreeChange);
    FolderTreeChange();
}

void TFileMoveForm::FolderTreeChange()
{
    // Folding a path for display leaves it as it is here: names are case-sensitive.
    DestinationLabel->setText(FolderTree->SelectedPath());
    OkBtn->setEnabled(!DestinationLabel->text().isEmpty());
}

void TFileMoveForm::OkBtnClick()
{
    destination_ = FolderTree->SelectedPath();
    if (destination_.isEmpty()) {
        showMessage({QStringLiteral("You have not selected a destination directory."), QStringLiteral("Error"),
                     MessageIcon::Error});
        return;
    }
    if (showMessage(transferConfirmation(mode_, images_.size(), destination_)) != MessageButton::Yes) {
        reject();
        return;
    }
    // Each image's outcome is told in a box of its own, so no hourglass stands over them.
    TFileTransfer transfer(scrapbook_, MessageService::current(), diskPrompt_);
    const TransferResult result = transfer.TransferImages(images_, destination_, mode_);
    if (!result.keepOpen)
        accept();
}

} // namespace glimmora
