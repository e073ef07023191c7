#pragma once

#include "catalog/AddFileToCategory.h"
#include "catalog/CategoryView.h"
#include "platform/Wallpaper.h"

// Qt
#include <QList>
#include <QMainWindow>
#include <QSet>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>

class QAction;
class QComboBox;
class QLabel;
class QListView;
class QMenu;

namespace glimmora {

class TCategories;
class TImageListDragDrop;
class TImageListModel;
class TLoadPictureModule;
class TScrapbook;
enum class CategoryVerb;
enum class Conversion;
enum class TransferMode;
struct ImageListEnabling;

// What the commands on images work with, given by the main window; all outlive the window.
struct ImageListServices {
    TScrapbook& scrapbook;
    TLoadPictureModule& loader;
    DiskDescriptionPrompt& diskPrompt; // asks for the description of a removable disk met first
};

// A category window: the images of one category as a grid of thumbnail cells (one list view
// over an item model, each cell drawn by TImageCellDelegate), a box to switch the category, and
// the menus of the commands on the selected images. Its category drives it through
// CategoryView; the main window reaches it through the signals.
class TImageListForm : public QMainWindow, public CategoryView {
    Q_OBJECT
public:
    // The categories must outlive the window.
    explicit TImageListForm(TCategories& categories, QWidget* parent = nullptr);
    ~TImageListForm() override;

    static constexpr int CellWidth = 76;

    // Attaches the window to a category (its records are loaded when they are not). A record
    // that cannot be read is reported and leaves the window on no category; false then.
    bool AttachTo(TCategory& category);

    // The records of the selected items, in list order.
    QList<TImageElement*> SelectedRecords() const;

    // Rebuilds the context menu's "Copy/Move to Another Category" submenus from the categories.
    void RebuildCategoryMenus();

    // Loads a record's picture at full size for a command, as often as the user asks to retry;
    // a failure is reported. Returns the loader's result.
    int LoadSelectedPicture(const TImageElement& record, QImage& picture);
    // Asks for the name of the file a record's picture is converted into; empty when cancelled.
    QString AskNewFileName(const TImageElement& record, const QString& extension, const QString& description);
    // Makes a record's picture the desktop wallpaper; a failure is reported.
    void SetWallpaper(const TImageElement& record, WallpaperStyle style);

    // Whether the companion slideshow program is connected (for "&Add Images to Slideshow").
    std::function<bool()> SlideshowConnected;
    // Hands paths to the slideshow program, one slide each, in the order given.
    std::function<void(const QStringList&)> AddSlides;

    // Enables the commands on images, which work with these; until then they stay disabled.
    void setImageListServices(const ImageListServices& services);

    TCategory* Category = nullptr;
    bool IsSearchWindow = false;
    bool AcceptsDroppedFiles = false;

    QComboBox* CategoryComboBox;
    QListView* ImageListBox;
    TImageListModel* ImageListModel;
    QLabel* StatusBar1;
    TImageListDragDrop* DragDropFiles1; // the list as a source and target of drag and drop

    QMenu* View1;
    QMenu* Edit1;
    QMenu* Print1;
    QMenu* Columns1;
    QMenu* Convert1;
    QAction* toBitmap1;
    QAction* toWMF1;
    QAction* toJPEG1;
    QAction* toGIF1;
    QMenu* PopupMenu1;
    QAction* ShowDetail1;
    QAction* CopytoAnotherCategory1;
    QAction* MovetoAnotherCategory1;
    QAction* DeleteFromThisCategory1;
    QAction* DeleteFromTheScrapbook1;
    QAction* OpenSelectedImage1;
    QAction* CopytoClipboard1;
    QAction* Memo1;
    QAction* MoveFile1;
    QAction* CopyFile1;
    QAction* AddImagesToSlideshow1;
    QMenu* SetWallpaper1;
    QAction* PrinterSetup1;
    QAction* PreviewThisCategory1;
    QList<QAction*> ColumnItems; // "&2 columns" ... "&11 columns"
    QMenu* CopytoAnotherCategory2;
    QMenu* MovetoAnotherCategory2;
    QAction* DeleteFromThisCategory2;
    QAction* DeleteFromTheScrapbook2;
    QAction* OpenSelectedImage2;
    QAction* ShowDetail2;
    QAction* CopytoClipboard2;
    QMenu* Convert2;
    QAction* toBitmap2;
    QAction* toWMF2;
    QAction* toJPEG2;
    QAction* toGIF2;
    QAction* Memo2;
    QAction* MoveFile2;
    QAction* CopyFile2;
    QAction* AddImagesToSlideshow2;
    QMenu* SetWallpaper2;

    // CategoryView
    void beginAttach(TCategory& category) override;
    void fillImages(const QList<TImageElement*>& records) override;
    void endAttach(bool acceptsDroppedFiles) override;
    void setCaption(const QString& caption) override;
    void showCategoryName(const QString& name) override;
    void setStatusText(const QString& text) override;
    void addImageItem(TImageElement* record) override;
    void removeImageItem(std::int32_t seqNo) override;
    void clearImages() override;
    void repaintImages() override;
    void closeView() override;

signals:
    void keywordSearchRequested();     // Ctrl+F
    void mainMenuRequested(QChar key); // Alt+F, W, S, C, H: the main window's menu of that letter
    void closed();                     // the window was closed and has left its category

public slots:
    void View1Click();
    void Edit1Click();
    void PopupMenu1Popup();
    void Print1Click();
    void PreviewThisCategory1Click();
    void Columns1Click();
    void N1column1Click(QAction* item);
    void ImageListBoxClick();
    void CategoryComboBoxDropDown();
    void CategoryComboBoxChange(int index);
    void Enlarge1Click();
    void Convert1Click();
    void toBitmap1Click();
    void toJPEG1Click();
    void toWMF1Click();
    void toGIF1Click();
    void Centered1Click();
    void Tiled1Click();

    // The commands on the selected images (ImageListCommands.cpp).
    void Copytoanothercategory1Click();
    void CopytoAnotherCategory2Click(QAction* item);
    void Movetoanothercategory1Click();
    void MovetoAnotherCategory2Click(QAction* item);
    void Deletefromthiscategory1Click();
    void Deletefromthescrapbook1Click();
    void EditSelectedImage1Click();
    void CopytoClipboard1Click();
    void Memo1Click();
    void MoveFile1Click();
    void CopyFile1Click();
    void AddImagestoSlideshow1Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    friend class TImageListDragDrop;

    void buildMenus();
    void buildEditMenu();
    void buildPopupMenu();
    QMenu* buildConvertMenu(QMenu* menu, std::array<QAction**, 4> items);
    QMenu* buildWallpaperMenu(QMenu* parent, const QString& caption);
    void FormResize();
    bool FormKeyDown(const QKeyEvent& key);
    bool isWindowKey(const QKeyEvent& key) const;
    bool CategoryComboBoxKeyDown(const QKeyEvent& key);
    void ImageListBoxKeyDown();
    void openContextMenu(const QPoint& at);
    void showSearchWindowControls();
    void keepOnScreen();
    void setCommandEnabled(QAction* command, bool enabled);
    ImageListEnabling currentEnabling() const;
    int selectedCount() const;
    // The one selected record, which the commands on one image act on; none unless exactly one
    // item is selected.
    TImageElement* singleSelectedRecord() const;
    void convertSelected(Conversion conversion);
    void reportAdding(const AddFileOutcome& added);

    // The commands on images (ImageListCommands.cpp).
    void connectImageCommands();
    TCategory* ChooseTargetCategory(CategoryVerb verb);
    bool CheckTargetCategory(const TCategory& category, CategoryVerb verb);
    void AssignSelectedTo(TCategory& category);
    void MoveSelectedTo(TCategory& category);
    void OpenFileMoveWindow(TransferMode mode);
    // Copies of the selected records in list order: a command may free the category's own.
    QList<TImageElement> selectedImages() const;
    TImageElement* currentRecord() const;
    bool commandAllowed(bool ImageListEnabling::*command) const;
    FileAdding fileAdding() const;
    void saveChanges();

    TCategories& categories_;
    std::optional<ImageListServices> services_;
    int checkedColumns_ = 0;
    QSet<QAction*> notYetAvailable_;
    QList<std::pair<QAction*, QAction*>> contextTwins_; // context item, main-menu twin
};

} // namespace glimmora
