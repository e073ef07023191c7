// The category window's commands on its selected images: thin faces over the model's image
// commands (catalog/ImageCommands.h) and file transfer (files/FileTransfer.h).

#include "windows/ImageList.h"

#include "catalog/Categories.h"
#include "catalog/ImageCommands.h"
#include "catalog/ImageElement.h"
#include "catalog/ImageElementForm.h"
#include "catalog/RemoveableMediumForm.h"
#include "catalog/Scrapbook.h"
#include "dialogs/NewWindow.h"
#include "files/FileMove.h"
#include "import/LoadPicture.h"
#include "platform/MessageService.h"
#include "platform/ShellOpen.h"
#include "platform/UserInterface.h"
#include "windows/ImageListModel.h"
#include "windows/ImageListRules.h"
#include "windows/MemoEntry.h"

// Qt
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QUrl>

namespace glimmora {

namespace {

void showExclamation(const QString& text)
{
    showMessage({text, QStringLiteral("Glimmora"), MessageIcon::Exclamation, MessageButton::Ok, MessageButton::Ok,
                 MessageBeep::Exclamation});
}

bool confirmDeletion(const QString& question)
{
    return showMessage({question, kDeleteConfirmationCaption, MessageIcon::Question,
                        MessageButton::Yes | MessageButton::No, MessageButton::No, MessageBeep::Question})
           == MessageButton::Yes;
}

} // namespace

void TImageListForm::connectImageCommands()
{
    const std::pair<QAction*, void (TImageListForm::*)()> commands[] = {
        {CopytoAnotherCategory1, &TImageListForm::Copytoanothercategory1Click},
        {MovetoAnotherCategory1, &TImageListForm::Movetoanothercategory1Click},
        {DeleteFromThisCategory1, &TImageListForm::Deletefromthiscategory1Click},
        {DeleteFromThisCategory2, &TImageListForm::Deletefromthiscategory1Click},
        {DeleteFromTheScrapbook1, &TImageListForm::Deletefromthescrapbook1Click},
        {DeleteFromTheScrapbook2, &TImageListForm::Deletefromthescrapbook1Click},
        {OpenSelectedImage1, &TImageListForm::EditSelectedImage1Click},
        {OpenSelectedImage2, &TImageListForm::EditSelectedImage1Click},
        {CopytoClipboard1, &TImageListForm::CopytoClipboard1Click},
        {CopytoClipboard2, &TImageListForm::CopytoClipboard1Click},
        {Memo1, &TImageListForm::Memo1Click},
        {Memo2, &TImageListForm::Memo1Click},
        {MoveFile1, &TImageListForm::MoveFile1Click},
        {MoveFile2, &TImageListForm::MoveFile1Click},
        {CopyFile1, &TImageListForm::CopyFile1Click},
        {CopyFile2, &TImageListForm::CopyFile1Click},
        {AddImagesToSlideshow1, &TImageListForm::AddImagestoSlideshow1Click},
        {AddImagesToSlideshow2, &TImageListForm::AddImagestoSlideshow1Click},
    };
    for (const auto& [action, handler] : commands)
        connect(action, &QAction::triggered, this, handler);
    connect(CopytoAnotherCategory2, &QMenu::triggered, this, &TImageListForm::CopytoAnotherCategory2Click);
    connect(MovetoAnotherCategory2, &QMenu::triggered, this, &TImageListForm::MovetoAnotherCategory2Click);
}

void TImageListForm::setImageListServices(const ImageListServices& services)
{
    services_.emplace(services);
    for (QAction* command :
         {CopytoAnotherCategory1, MovetoAnotherCategory1, DeleteFromThisCategory1, DeleteFromTheScrapbook1,
          OpenSelectedImage1, CopytoClipboard1, Memo1, MoveFile1, CopyFile1, AddImagesToSlideshow1, ShowDetail1,
          SetWallpaper1->menuAction(), Convert1->menuAction()})
        notYetAvailable_.remove(command);
    // The keys of the commands (Del, Ctrl+Del, Ctrl+O, Ctrl+C) follow the selection, also
    // before a menu was opened.
    connect(ImageListBox->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TImageListForm::PopupMenu1Popup);
    PopupMenu1Popup();
}

QList<TImageElement> TImageListForm::selectedImages() const
{
    QList<TImageElement> images;
    for (const TImageElement* record : SelectedRecords())
        images.append(*record);
    return images;
}

TImageElement* TImageListForm::currentRecord() const
{
    const QModelIndex current = ImageListBox->currentIndex();
    if (current.isValid() && ImageListBox->selectionModel()->isSelected(current))
        return ImageListModel->record(current.row());
    const QList<TImageElement*> selected = SelectedRecords();
    return selected.isEmpty() ? nullptr : selected.first();
}

// A command runs only when its menu item would be enabled now: a key may come after the
// selection changed.
bool TImageListForm::commandAllowed(bool ImageListEnabling::*command) const
{
    return services_ && Category && currentEnabling().*command;
}

FileAdding TImageListForm::fileAdding() const
{
    TScrapbook& scrapbook = services_->scrapbook;
    return {scrapbook.images(), scrapbook.categories(), scrapbook.disks(), services_->loader, services_->diskPrompt};
}

void TImageListForm::saveChanges()
{
    const QString failure = services_->scrapbook.trySave();
    if (!failure.isEmpty())
        showMessage({failure, QStringLiteral("Glimmora"), MessageIcon::Error, MessageButton::Ok, MessageButton::Ok,
                     MessageBeep::Error});
}

TCategory* TImageListForm::ChooseTargetCategory(CategoryVerb verb)
{
    TCategory* chosen = ChooseCategory(categories_, targetCategoryPrompt(verb), kTargetCategoryHelpContext, this);
    return chosen && CheckTargetCategory(*chosen, verb) ? chosen : nullptr;
}

bool TImageListForm::CheckTargetCategory(const TCategory& category, CategoryVerb verb)
{
    const QString refusal = targetCategoryRefusal(categories_, Category, category, verb);
    if (refusal.isEmpty())
        return true;
    showExclamation(refusal);
    return false;
}

void TImageListForm::AssignSelectedTo(TCategory& category)
{
    AssignImagesTo(categories_, category, selectedImages(), IsSearchWindow);
    saveChanges();
}

void TImageListForm::MoveSelectedTo(TCategory& category)
{
    MoveImages(categories_, *Category, category, selectedImages());
    saveChanges();
}

void TImageListForm::Copytoanothercategory1Click()
{
    if (!commandAllowed(&ImageListEnabling::copyToCategory))
        return;
    if (TCategory* target = ChooseTargetCategory(CategoryVerb::Copy))
        AssignSelectedTo(*target);
}

void TImageListForm::CopytoAnotherCategory2Click(QAction* item)
{
    if (!item->data().isValid()) {
        Copytoanothercategory1Click(); // "More categories..."
        return;
    }
    TCategory* target = categories_.FindCategory(item->data().toInt());
    if (commandAllowed(&ImageListEnabling::copyToCategory) && target
        && CheckTargetCategory(*target, CategoryVerb::Copy))
        AssignSelectedTo(*target);
}

void TImageListForm::Movetoanothercategory1Click()
{
    if (!commandAllowed(&ImageListEnabling::moveToCategory) || IsSearchWindow)
        return;
    if (TCategory* target = ChooseTargetCategory(CategoryVerb::Move))
        MoveSelectedTo(*target);
}

void TImageListForm::MovetoAnotherCategory2Click(QAction* item)
{
    if (!item->data().isValid()) {
        Movetoanothercategory1Click(); // "More categories..."
        return;
    }
    TCategory* target = categories_.FindCategory(item->data().toInt());
    if (!commandAllowed(&ImageListEnabling::moveToCategory) || IsSearchWindow || !target
        || !CheckTargetCategory(*target, CategoryVerb::Move))
        return;
    const Message question{moveConfirmationQuestion(target->CategoryName), QStringLiteral("Confirm move"),
                           MessageIcon::Question, MessageButton::Yes | MessageButton::No, MessageButton::Yes};
    if (showMessage(question) == MessageButton::Yes)
        MoveSelectedTo(*target);
}

void TImageListForm::Deletefromthiscategory1Click()
{
    if (!commandAllowed(&ImageListEnabling::deleteFromCategory) || IsSearchWindow
        || !deleteFromCategoryRefusal(categories_, *Category).isEmpty())
        return;
    if (!confirmDeletion(deleteFromCategoryQuestion(Category->CategoryName)))
        return;
    DeleteImagesFromCategory(categories_, *Category, selectedImages());
    saveChanges();
}

void TImageListForm::Deletefromthescrapbook1Click()
{
    if (!commandAllowed(&ImageListEnabling::deleteFromScrapbook) || !confirmDeletion(deleteFromScrapbookQuestion()))
        return;
    const HourglassCursor busy;
    DeleteImagesFromScrapbook(services_->scrapbook.images(), selectedImages());
    saveChanges();
}

void TImageListForm::EditSelectedImage1Click()
{
    const TImageElement* record = commandAllowed(&ImageListEnabling::singleImage) ? currentRecord() : nullptr;
    if (!record)
        return;
    const QString failure = shellOpenFailureText(shellOpen(localPath(record->IT_Path)), displayPath(record->IT_Path));
    if (!failure.isEmpty())
        showExclamation(failure);
}

void TImageListForm::CopytoClipboard1Click()
{
    const TImageElement* current = commandAllowed(&ImageListEnabling::singleImage) ? currentRecord() : nullptr;
    if (!current)
        return;
    const TImageElement record = *current; // the load may ask for a disk while windows change
    const QString path = localPath(record.IT_Path);
    QImage picture;
    QString errorText;
    const int result = services_->loader.LoadFullSizeRetrying(path, picture, &record, errorText);
    if (result == kLoadLoaded) {
        // As a picture for programs that paste one, and as the file for those that paste files.
        auto* data = new QMimeData;
        data->setImageData(picture);
        data->setUrls({QUrl::fromLocalFile(path)});
        QGuiApplication::clipboard()->setMimeData(data);
    } else if (result == kLoadFailed) {
        showMessage({errorText, QStringLiteral("Error"), MessageIcon::Error, MessageButton::Ok, MessageButton::Ok,
                     MessageBeep::Error});
    }
}

void TImageListForm::Memo1Click()
{
    if (!commandAllowed(&ImageListEnabling::someImages))
        return;
    const QList<TImageElement> images = selectedImages();
    const QString initial = images.size() == 1 ? images.first().IT_Memo : QString();
    const std::optional<QString> entered = AskMemoText(memoPrompt(images.size()), initial, this);
    if (!entered)
        return;
    ApplyMemo(services_->scrapbook.images(), images, *entered);
    saveChanges();
}

void TImageListForm::MoveFile1Click() { OpenFileMoveWindow(TransferMode::Move); }

void TImageListForm::CopyFile1Click() { OpenFileMoveWindow(TransferMode::Copy); }

void TImageListForm::OpenFileMoveWindow(TransferMode mode)
{
    if (!commandAllowed(&ImageListEnabling::someImages))
        return;
    TFileMoveForm window(selectedImages(), mode, services_->scrapbook, services_->diskPrompt, this);
    window.exec();
}

void TImageListForm::AddImagestoSlideshow1Click()
{
    if (commandAllowed(&ImageListEnabling::addToSlideshow) && AddSlides)
        AddSlides(slideshowPaths(selectedImages()));
}

} // namespace glimmora
