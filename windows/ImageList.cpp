#include "windows/ImageList.h"

#include "catalog/Categories.h"
#include "catalog/ImageElement.h"
#include "import/LoadPicture.h"
#include "import/PictureConversion.h"
#include "platform/FileDialogs.h"
#include "platform/HelpWindow.h"
#include "platform/MessageService.h"
#include "platform/UserInterface.h"
#include "printing/Printing.h"
#include "windows/ImageCellDelegate.h"
#include "windows/ImageDetail.h"
#include "windows/ImageListDrag.h"
#include "windows/ImageListModel.h"
#include "windows/ImageListRules.h"

// Qt
#include <QActionGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>

#include <algorithm>
#include <exception>

namespace glimmora {

namespace {

constexpr int kHelpContext = 1000;

// A drop-down list that says when it is about to open, so that its items can be filled then.
class DropDownList : public QComboBox {
public:
    std::function<void()> beforeDropDown;

    void showPopup() override
    {
        if (beforeDropDown)
            beforeDropDown();
        QComboBox::showPopup();
    }
};

bool isReturn(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }

Qt::KeyboardModifiers heldModifiers(const QKeyEvent& key)
{
    return key.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
}

// The letters whose Alt chord opens a menu of the main window instead of one of this window.
constexpr char kMainMenuLetters[] = {'F', 'W', 'S', 'C', 'H'};

QChar mainMenuLetter(const QKeyEvent& key)
{
    if (heldModifiers(key) != Qt::AltModifier)
        return {};
    for (const char letter : kMainMenuLetters)
        if (key.key() == Qt::Key_A + (letter - 'A'))
            return QLatin1Char(letter);
    return {};
}

// A category name as a menu caption: an ampersand is a letter, not an accelerator.
QString menuCaption(const QString& name)
{
    QString caption = name;
    return caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

TImageListForm::TImageListForm(TCategories& categories, QWidget* parent) : QMainWindow(parent), categories_(categories)
{
    setAttribute(Qt::WA_DeleteOnClose);
    // The main window ends the program; an open category window does not keep it running.
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Glimmora - Images in Category"));
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSize(8);
    setFont(font);

    auto* client = new QWidget(this);
    setCentralWidget(client);
    auto* box = new DropDownList;
    box->setParent(client);
    box->beforeDropDown = [this] { CategoryComboBoxDropDown(); };
    CategoryComboBox = box;
    CategoryComboBox->setMaxVisibleItems(kComboRows);
    CategoryComboBox->setGeometry(kComboLeft, kComboTop, 2 * CellWidth, CategoryComboBox->sizeHint().height());
    CategoryComboBox->view()->installEventFilter(this);
    connect(CategoryComboBox, &QComboBox::activated, this, &TImageListForm::CategoryComboBoxChange);

    ImageListModel = new TImageListModel(this);
    ImageListBox = new QListView(client);
    ImageListBox->setModel(ImageListModel);
    ImageListBox->setItemDelegate(new TImageCellDelegate(ImageListBox));
    ImageListBox->setFrameShape(QFrame::NoFrame);
    ImageListBox->setViewMode(QListView::ListMode);
    ImageListBox->setFlow(QListView::TopToBottom);
    ImageListBox->setWrapping(true);
    ImageListBox->setResizeMode(QListView::Adjust);
    ImageListBox->setUniformItemSizes(true);
    ImageListBox->setLayoutMode(QListView::Batched);
    ImageListBox->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ImageListBox->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ImageListBox->setContextMenuPolicy(Qt::CustomContextMenu);
    QPalette listPalette = ImageListBox->palette();
    listPalette.setColor(QPalette::Base, listPalette.color(QPalette::Button));
    ImageListBox->setPalette(listPalette);
    ImageListBox->installEventFilter(this);
    DragDropFiles1 = new TImageListDragDrop(*this, categories_);
    resetImageDrag();
    CategoryComboBox->installEventFilter(this);
    installEventFilter(this);
    connect(ImageListBox->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TImageListForm::ImageListBoxClick);
    connect(ImageListBox, &QListView::doubleClicked, this, &TImageListForm::ImageListBoxKeyDown);
    connect(ImageListBox, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { openContextMenu(ImageListBox->viewport()->mapToGlobal(at)); });

    StatusBar1 = new QLabel;
    StatusBar1->setTextFormat(Qt::PlainText);
    statusBar()->addWidget(StatusBar1, 1);
    statusBar()->setSizeGripEnabled(false);

    buildMenus();
    HelpWindow::bindHelpKey(this, kHelpContext);

    setMinimumWidth(minClientWidth());
    int height = kInitialHeight;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        height = std::min(height, screen->availableGeometry().height());
    resize(kInitialWidth, height);
}

TImageListForm::~TImageListForm()
{
    if (Category)
        categories_.DetachWindow(*Category, *this);
}

void TImageListForm::buildMenus()
{
    View1 = menuBar()->addMenu(QStringLiteral("&View"));
    ShowDetail1 = View1->addAction(QStringLiteral("&Show Detail"));
    ShowDetail1->setShortcut(QKeySequence(Qt::Key_F2));
    connect(ShowDetail1, &QAction::triggered, this, &TImageListForm::Enlarge1Click);
    connect(View1, &QMenu::aboutToShow, this, &TImageListForm::View1Click);

    buildEditMenu();

    Print1 = menuBar()->addMenu(QStringLiteral("&Print"));
    PrinterSetup1 = Print1->addAction(QStringLiteral("Printer &Setup"));
    PreviewThisCategory1 =
        Print1->addAction(QStringLiteral("&Preview This Category"), this, &TImageListForm::PreviewThisCategory1Click);
    connect(Print1, &QMenu::aboutToShow, this, &TImageListForm::Print1Click);

    Columns1 = menuBar()->addMenu(QStringLiteral("&Columns"));
    auto* columns = new QActionGroup(this);
    for (int count = kMinColumns; count <= kMaxColumnItem; ++count) {
        QAction* item = Columns1->addAction(QStringLiteral("&%1 columns").arg(count));
        item->setCheckable(true);
        item->setData(count);
        columns->addAction(item);
        ColumnItems.append(item);
    }
    connect(Columns1, &QMenu::aboutToShow, this, &TImageListForm::Columns1Click);
    connect(columns, &QActionGroup::triggered, this, &TImageListForm::N1column1Click);

    Convert1 =
        buildConvertMenu(menuBar()->addMenu(QStringLiteral("C&onvert")), {&toBitmap1, &toWMF1, &toJPEG1, &toGIF1});
    Convert1->menuAction()->setEnabled(false);

    buildPopupMenu();

    // The commands on the selected images are not part of this program yet: their items stay
    // disabled whatever the selection.
    notYetAvailable_ = {ShowDetail1,
                        CopytoAnotherCategory1,
                        MovetoAnotherCategory1,
                        DeleteFromThisCategory1,
                        DeleteFromTheScrapbook1,
                        OpenSelectedImage1,
                        CopytoClipboard1,
                        Memo1,
                        MoveFile1,
                        CopyFile1,
                        AddImagesToSlideshow1,
                        SetWallpaper1->menuAction(),
                        PrinterSetup1,
                        Convert1->menuAction()};
    for (QAction* command : std::as_const(notYetAvailable_))
        command->setEnabled(false);
    connectImageCommands();
    PopupMenu1Popup();
}

void TImageListForm::buildEditMenu()
{
    Edit1 = menuBar()->addMenu(QStringLiteral("&Edit"));
    CopytoAnotherCategory1 = Edit1->addAction(QStringLiteral("&Copy to another category"));
    MovetoAnotherCategory1 = Edit1->addAction(QStringLiteral("&Move to another category"));
    Edit1->addSeparator();
    DeleteFromThisCategory1 = Edit1->addAction(QStringLiteral("&Delete from this category"));
    DeleteFromThisCategory1->setShortcut(QKeySequence(Qt::Key_Delete));
    DeleteFromTheScrapbook1 = Edit1->addAction(QStringLiteral("&Delete from the scrapbook"));
    DeleteFromTheScrapbook1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Delete));
    Edit1->addSeparator();
    OpenSelectedImage1 = Edit1->addAction(QStringLiteral("&Open Selected Image"));
    OpenSelectedImage1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    CopytoClipboard1 = Edit1->addAction(QStringLiteral("&Copy to Clipboard"));
    CopytoClipboard1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    Edit1->addSeparator();
    Memo1 = Edit1->addAction(QStringLiteral("Mem&o"));
    MoveFile1 = Edit1->addAction(QStringLiteral("Move &File..."));
    CopyFile1 = Edit1->addAction(QStringLiteral("Copy &File..."));
    Edit1->addSeparator();
    AddImagesToSlideshow1 = Edit1->addAction(QStringLiteral("&Add Images to Slideshow"));
    SetWallpaper1 = buildWallpaperMenu(Edit1, QStringLiteral("Set &Wallpaper..."));
    connect(Edit1, &QMenu::aboutToShow, this, &TImageListForm::Edit1Click);
}

void TImageListForm::buildPopupMenu()
{
    PopupMenu1 = new QMenu(this);
    CopytoAnotherCategory2 = PopupMenu1->addMenu(QStringLiteral("&Copy to Another Category"));
    MovetoAnotherCategory2 = PopupMenu1->addMenu(QStringLiteral("&Move to Another Category"));
    PopupMenu1->addSeparator();
    DeleteFromThisCategory2 = PopupMenu1->addAction(QStringLiteral("&Delete from This Category"));
    DeleteFromTheScrapbook2 = PopupMenu1->addAction(QStringLiteral("Delete from the &Scrapbook"));
    PopupMenu1->addSeparator();
    OpenSelectedImage2 = PopupMenu1->addAction(QStringLiteral("&Open Selected Image"));
    ShowDetail2 = PopupMenu1->addAction(QStringLiteral("Sho&w Detail"));
    CopytoClipboard2 = PopupMenu1->addAction(QStringLiteral("Copy to C&lipboard"));
    connect(ShowDetail2, &QAction::triggered, this, &TImageListForm::Enlarge1Click);
    Convert2 =
        buildConvertMenu(PopupMenu1->addMenu(QStringLiteral("C&onvert...")), {&toBitmap2, &toWMF2, &toJPEG2, &toGIF2});
    PopupMenu1->addSeparator();
    Memo2 = PopupMenu1->addAction(QStringLiteral("Mem&o"));
    MoveFile2 = PopupMenu1->addAction(QStringLiteral("Move &File..."));
    CopyFile2 = PopupMenu1->addAction(QStringLiteral("Copy &File..."));
    PopupMenu1->addSeparator();
    AddImagesToSlideshow2 = PopupMenu1->addAction(QStringLiteral("&Add Images to Slideshow"));
    SetWallpaper2 = buildWallpaperMenu(PopupMenu1, QStringLiteral("Set &Wallpaper..."));
    RebuildCategoryMenus();

    contextTwins_ = {
        {CopytoAnotherCategory2->menuAction(), CopytoAnotherCategory1},
        {MovetoAnotherCategory2->menuAction(), MovetoAnotherCategory1},
        {DeleteFromThisCategory2, DeleteFromThisCategory1},
        {DeleteFromTheScrapbook2, DeleteFromTheScrapbook1},
        {OpenSelectedImage2, OpenSelectedImage1},
        {ShowDetail2, ShowDetail1},
        {CopytoClipboard2, CopytoClipboard1},
        {Convert2->menuAction(), Convert1->menuAction()},
        {Memo2, Memo1},
        {MoveFile2, MoveFile1},
        {CopyFile2, CopyFile1},
        {AddImagesToSlideshow2, AddImagesToSlideshow1},
        {SetWallpaper2->menuAction(), SetWallpaper1->menuAction()},
    };
}

// The four items in the order of Conversion.
QMenu* TImageListForm::buildConvertMenu(QMenu* menu, std::array<QAction**, 4> items)
{
    const std::pair<const char*, void (TImageListForm::*)()> commands[] = {
        {"...to &Bitmap", &TImageListForm::toBitmap1Click},
        {"...to Windows &Metafile", &TImageListForm::toWMF1Click},
        {"...to &JPEG", &TImageListForm::toJPEG1Click},
        {"...to &GIF", &TImageListForm::toGIF1Click},
    };
    for (std::size_t i = 0; i < items.size(); ++i)
        *items[i] = menu->addAction(QString::fromLatin1(commands[i].first), this, commands[i].second);
    connect(menu, &QMenu::aboutToShow, this, &TImageListForm::Convert1Click);
    return menu;
}

QMenu* TImageListForm::buildWallpaperMenu(QMenu* parent, const QString& caption)
{
    QMenu* menu = parent->addMenu(caption);
    menu->addAction(QStringLiteral("&Centered"), this, &TImageListForm::Centered1Click);
    menu->addAction(QStringLiteral("&Tiled"), this, &TImageListForm::Tiled1Click);
    return menu;
}

void TImageListForm::RebuildCategoryMenus()
{
    const auto items = categories_.BuildCategoryMenu();
    for (QMenu* menu : {CopytoAnotherCategory2, MovetoAnotherCategory2}) {
        menu->clear();
        for (const CategoryMenuItem& item : items) {
            QAction* action = menu->addAction(menuCaption(item.caption));
            action->setData(item.isMoreItem ? QVariant() : QVariant(item.tag));
        }
    }
}

bool TImageListForm::AttachTo(TCategory& category)
{
    try {
        const HourglassCursor busy;
        categories_.AttachWindow(category, *this);
        return true;
    } catch (const std::exception& error) {
        // The category's records were only partly read: none of it is kept, and the window
        // shows no category.
        if (category.ImageListList.isEmpty())
            categories_.UnloadCategoryImages(category);
        Category = nullptr;
        clearImages();
        showMessage({QStringLiteral("The category \"%1\" could not be opened: %2")
                         .arg(category.CategoryName, QString::fromUtf8(error.what())),
                     QStringLiteral("Glimmora"), MessageIcon::Error, MessageButton::Ok, MessageButton::Ok,
                     MessageBeep::Error});
        return false;
    }
}

void TImageListForm::beginAttach(TCategory& category)
{
    AcceptsDroppedFiles = false;
    Convert1->menuAction()->setEnabled(false);
    CategoryComboBox->setEnabled(false);
    Category = &category;
    IsSearchWindow = category.CategoryId < 0;
    showSearchWindowControls();
    showCategoryName(category.CategoryName);
    ImageListBox->setEnabled(false);
}

void TImageListForm::fillImages(const QList<TImageElement*>& records)
{
    ImageListModel->fill(records);
    if (ImageListModel->rowCount() > 0)
        ImageListBox->selectionModel()->setCurrentIndex(ImageListModel->index(0), QItemSelectionModel::NoUpdate);
}

void TImageListForm::endAttach(bool acceptsDroppedFiles)
{
    ImageListBox->setEnabled(true);
    CategoryComboBox->setEnabled(true);
    // Nothing can be dropped into the results of a search.
    AcceptsDroppedFiles = acceptsDroppedFiles && !IsSearchWindow;
}

void TImageListForm::setCaption(const QString& caption) { setWindowTitle(caption); }

void TImageListForm::showCategoryName(const QString& name)
{
    CategoryComboBox->clear();
    CategoryComboBox->addItem(name);
    CategoryComboBox->setCurrentIndex(0);
}

void TImageListForm::setStatusText(const QString& text) { StatusBar1->setText(text); }

void TImageListForm::addImageItem(TImageElement* record) { ImageListModel->append(record); }

void TImageListForm::removeImageItem(std::int32_t seqNo) { ImageListModel->removeLast(seqNo); }

void TImageListForm::clearImages() { ImageListModel->clear(); }

void TImageListForm::repaintImages() { ImageListBox->viewport()->update(); }

void TImageListForm::closeView() { close(); }

void TImageListForm::closeEvent(QCloseEvent* event)
{
    if (Category) {
        categories_.DetachWindow(*Category, *this);
        Category = nullptr;
    }
    event->accept();
    emit closed();
}

// A search window offers neither the box nor the commands that take images out of a category.
void TImageListForm::showSearchWindowControls()
{
    const bool shown = !IsSearchWindow;
    for (QAction* command : {MovetoAnotherCategory1, DeleteFromThisCategory1, MovetoAnotherCategory2->menuAction(),
                             DeleteFromThisCategory2})
        command->setVisible(shown);
    CategoryComboBox->setVisible(shown);
}

QList<TImageElement*> TImageListForm::SelectedRecords() const
{
    QModelIndexList selected = ImageListBox->selectionModel()->selectedIndexes();
    std::sort(selected.begin(), selected.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QList<TImageElement*> records;
    for (const QModelIndex& index : selected)
        records.append(ImageListModel->record(index.row()));
    return records;
}

int TImageListForm::selectedCount() const { return int(ImageListBox->selectionModel()->selectedIndexes().size()); }

TImageElement* TImageListForm::singleSelectedRecord() const
{
    const QList<TImageElement*> selected = SelectedRecords();
    return selected.size() == 1 ? selected.front() : nullptr;
}

ImageListEnabling TImageListForm::currentEnabling() const
{
    ImageListState state;
    state.selected = selectedCount();
    state.items = ImageListModel->rowCount();
    state.categories = int(categories_.categories().size());
    state.isUnassigned = Category && Category->CategoryId == categories_.UnassignedId();
    state.slideshowConnected = SlideshowConnected && SlideshowConnected();
    return imageListEnabling(state);
}

void TImageListForm::setCommandEnabled(QAction* command, bool enabled)
{
    command->setEnabled(enabled && !notYetAvailable_.contains(command));
}

void TImageListForm::View1Click() { setCommandEnabled(ShowDetail1, currentEnabling().showDetail); }

void TImageListForm::Edit1Click()
{
    const ImageListEnabling enabling = currentEnabling();
    setCommandEnabled(MovetoAnotherCategory1, enabling.moveToCategory);
    setCommandEnabled(CopytoAnotherCategory1, enabling.copyToCategory);
    setCommandEnabled(DeleteFromTheScrapbook1, enabling.deleteFromScrapbook);
    setCommandEnabled(DeleteFromThisCategory1, enabling.deleteFromCategory);
    for (QAction* command : {OpenSelectedImage1, CopytoClipboard1, SetWallpaper1->menuAction()})
        setCommandEnabled(command, enabling.singleImage);
    for (QAction* command : {MoveFile1, CopyFile1, Memo1})
        setCommandEnabled(command, enabling.someImages);
    setCommandEnabled(AddImagesToSlideshow1, enabling.addToSlideshow);
}

void TImageListForm::PopupMenu1Popup()
{
    View1Click();
    Edit1Click();
    for (const auto& [contextItem, twin] : std::as_const(contextTwins_))
        contextItem->setEnabled(twin->isEnabled());
}

void TImageListForm::Print1Click() { setCommandEnabled(PreviewThisCategory1, currentEnabling().preview); }

void TImageListForm::PreviewThisCategory1Click()
{
    if (Category)
        PreviewThisCategory(categories_, *Category, this);
}

// The selection decides what F2 and the convert menu do, also before any menu was opened.
void TImageListForm::ImageListBoxClick()
{
    setCommandEnabled(Convert1->menuAction(), currentEnabling().convert);
    View1Click();
}

void TImageListForm::ImageListBoxKeyDown()
{
    View1Click();
    if (ShowDetail1->isEnabled())
        ShowDetail1->trigger();
}

void TImageListForm::Columns1Click()
{
    checkedColumns_ = checkedColumnItem(frameGeometry().width());
    ColumnItems.at(checkedColumns_ - kMinColumns)->setChecked(true);
}

void TImageListForm::N1column1Click(QAction* item)
{
    const int columns = item->data().toInt();
    if (columns == checkedColumns_)
        return;
    checkedColumns_ = columns;
    item->setChecked(true);
    // The outer width is a whole number of cells; the frame takes its share of it.
    const int frame = frameGeometry().width() - width();
    resize(columns * CellWidth - frame, height());
}

void TImageListForm::CategoryComboBoxDropDown()
{
    QList<TCategory*> listed = categories_.SortedCategoryList();
    CategoryComboBox->clear();
    for (const TCategory* category : listed)
        CategoryComboBox->addItem(category->CategoryName);
    CategoryComboBox->setCurrentIndex(int(listed.indexOf(Category)));
}

// Moving through the open list only highlights; Enter or Esc there, a click, or an arrow key on
// the closed box switches the window to the category chosen.
void TImageListForm::CategoryComboBoxChange(int index)
{
    TCategory* chosen =
        index < 0 ? nullptr : categories_.FindOrAddCategory(CategoryComboBox->itemText(index), true).first;
    if (!chosen || chosen == Category)
        return;
    if (Category) {
        categories_.DetachWindow(*Category, *this);
        Category = nullptr;
    }
    if (!AttachTo(*chosen))
        close();
}

bool TImageListForm::CategoryComboBoxKeyDown(const QKeyEvent& key)
{
    if (heldModifiers(key) != Qt::NoModifier || !(isReturn(key.key()) || key.key() == Qt::Key_Escape))
        return false;
    const int highlighted = CategoryComboBox->view()->currentIndex().row();
    CategoryComboBox->hidePopup();
    CategoryComboBoxChange(highlighted);
    return true;
}

bool TImageListForm::isWindowKey(const QKeyEvent& key) const
{
    const Qt::KeyboardModifiers held = heldModifiers(key);
    return (held == Qt::ShiftModifier && key.key() == Qt::Key_F10)
           || (held == Qt::ControlModifier && key.key() == Qt::Key_F) || !mainMenuLetter(key).isNull();
}

bool TImageListForm::FormKeyDown(const QKeyEvent& key)
{
    if (!isWindowKey(key))
        return false;
    if (key.key() == Qt::Key_F10) {
        const QRect frame = frameGeometry();
        openContextMenu(QPoint(frame.left() + frame.width() - 40, frame.top() + 50));
    } else if (const QChar letter = mainMenuLetter(key); !letter.isNull()) {
        emit mainMenuRequested(letter);
    } else {
        emit keywordSearchRequested();
    }
    return true;
}

void TImageListForm::openContextMenu(const QPoint& at)
{
    PopupMenu1Popup();
    PopupMenu1->popup(at);
}

bool TImageListForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride && isWindowKey(*static_cast<QKeyEvent*>(event))) {
        // The window sees these keys before its controls and its own menu bar do.
        event->accept();
        return true;
    }
    if (event->type() != QEvent::KeyPress)
        return QMainWindow::eventFilter(watched, event);
    const auto& key = *static_cast<QKeyEvent*>(event);
    if (watched == CategoryComboBox->view())
        return CategoryComboBoxKeyDown(key);
    if (FormKeyDown(key))
        return true;
    if (watched == ImageListBox && isReturn(key.key()) && heldModifiers(key) == Qt::NoModifier) {
        ImageListBoxKeyDown();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TImageListForm::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TImageListForm::FormResize()
{
    const int w = width();
    const int settled = settledClientWidth(w);
    if (settled != w) {
        resize(settled, height()); // the resize that follows lays the window out
        return;
    }
    const QWidget* client = centralWidget();
    ImageListBox->setGeometry(0, kListTop, w, std::max(0, client->height() - kListTop));
    keepOnScreen();
}

void TImageListForm::keepOnScreen()
{
    const QScreen* screen = this->screen();
    if (!screen || !isVisible())
        return;
    const QRect frame = frameGeometry();
    const int screenWidth = screen->geometry().width();
    int left = std::max(frame.left(), 0);
    if (left + frame.width() > screenWidth)
        left = screenWidth - frame.width();
    if (left != frame.left())
        move(left, frame.top());
}

void TImageListForm::Enlarge1Click()
{
    const TImageElement* selected = singleSelectedRecord();
    if (!services_ || !selected)
        return;
    const TImageElement record = *selected;
    TImageDetailForm detail(services_->loader, this);
    if (detail.ShowImage(record, *this) == kLoadLoaded)
        detail.exec();
}

int TImageListForm::LoadSelectedPicture(const TImageElement& record, QImage& picture)
{
    QString errorText;
    const int result = services_->loader.LoadFullSizeRetrying(localPath(record.IT_Path), picture, &record, errorText);
    // A cancelled prompt for a missing disk has said all there is to say.
    if (result == kLoadFailed)
        showError(errorText);
    return result;
}

QString TImageListForm::AskNewFileName(const TImageElement& record, const QString& extension,
                                       const QString& description)
{
    const QString source = localPath(record.IT_Path);
    const SaveFileRequest request{QStringLiteral("Provide a file name for the new file"),
                                  QFileInfo(source).absolutePath(), proposedFileName(source, extension), description,
                                  extension};
    return AskSaveFileName(request, this, [&source](const QString& chosen) { return ownFileRefusal(source, chosen); });
}

void TImageListForm::Convert1Click()
{
    const TImageElement* record = singleSelectedRecord();
    const std::pair<Conversion, std::array<QAction*, 2>> items[] = {
        {Conversion::Bitmap, {toBitmap1, toBitmap2}},
        {Conversion::Metafile, {toWMF1, toWMF2}},
        {Conversion::Jpeg, {toJPEG1, toJPEG2}},
        {Conversion::Gif, {toGIF1, toGIF2}},
    };
    for (const auto& [conversion, actions] : items)
        for (QAction* action : actions)
            action->setEnabled(record && isConversionOffered(conversion, localPath(record->IT_Path)));
}

void TImageListForm::toBitmap1Click() { convertSelected(Conversion::Bitmap); }

void TImageListForm::toJPEG1Click() { convertSelected(Conversion::Jpeg); }

void TImageListForm::toWMF1Click() { convertSelected(Conversion::Metafile); }

void TImageListForm::toGIF1Click() { convertSelected(Conversion::Gif); }

void TImageListForm::convertSelected(Conversion conversion)
{
    const TImageElement* selected = singleSelectedRecord();
    if (!services_ || !selected || !Category)
        return;
    // A copy: the new file joins this category, whose list of records then changes.
    const TImageElement record = *selected;
    QImage picture;
    if (LoadSelectedPicture(record, picture) != kLoadLoaded)
        return;
    const ConversionKind& kind = conversionKind(conversion);
    const QString target = AskNewFileName(record, kind.extension, kind.description);
    if (target.isEmpty())
        return;
    ConversionOutcome outcome;
    {
        const HourglassCursor busy;
        outcome = ConvertPicture(fileAdding(), picture, fileFormatOf(conversion, target), target, {Category});
    }
    if (outcome.failed())
        showError(outcome.failure);
    else
        reportAdding(outcome.added);
    saveChanges();
}

void TImageListForm::reportAdding(const AddFileOutcome& added)
{
    if (added.result == AddFileOutcome::Result::Refused)
        showMessage({added.loadErrorText(), QStringLiteral("Load Error"), MessageIcon::Exclamation, MessageButton::Ok,
                     MessageButton::Ok, MessageBeep::Exclamation});
}

void TImageListForm::Centered1Click()
{
    if (const TImageElement* record = singleSelectedRecord())
        SetWallpaper(*record, WallpaperStyle::Centred);
}

void TImageListForm::Tiled1Click()
{
    if (const TImageElement* record = singleSelectedRecord())
        SetWallpaper(*record, WallpaperStyle::Tiled);
}

void TImageListForm::SetWallpaper(const TImageElement& record, WallpaperStyle style)
{
    QImage picture;
    if (!services_ || LoadSelectedPicture(record, picture) != kLoadLoaded)
        return;
    QString failure;
    {
        const HourglassCursor busy;
        failure = SetDesktopWallpaper(picture, style);
    }
    if (!failure.isEmpty())
        showError(failure);
}

} // namespace glimmora
