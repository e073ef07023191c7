#include "app/Main.h"

#include "app/About.h"
#include "app/FindDialog.h"
#include "app/MainGeometry.h"
#include "app/Splash.h"
#include "catalog/Categories.h"
#include "catalog/CategoryCommands.h"
#include "catalog/Correspondences.h"
#include "catalog/ImageElementForm.h"
#include "catalog/RemoveableMediaList.h"
#include "catalog/RemoveableMediumForm.h"
#include "catalog/Scrapbook.h"
#include "dialogs/CategoryDelete.h"
#include "dialogs/NewCategory.h"
#include "dialogs/NewWindow.h"
#include "import/Load.h"
#include "import/LoadPicture.h"
#include "platform/HelpWindow.h"
#include "platform/MessageService.h"
#include "platform/Paths.h"
#include "platform/Settings.h"
#include "platform/TerminationSignals.h"
#include "platform/UserInterface.h"
#include "printing/Printing.h"
#include "slideshow/GlimmoraBusObject.h"
#include "slideshow/SlideshowLink.h"
#include "windows/ImageList.h"

// Qt
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QKeyEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QStyle>
#include <QToolButton>

#include <cstdio>
#include <exception>

// The icons live in this static library, whose resource initialiser the linker would drop;
// Q_INIT_RESOURCE must be used outside any namespace.
static void initIconResources() { Q_INIT_RESOURCE(icons); }

namespace glimmora {

namespace {

constexpr int kMainHelpContext = 100;
constexpr int kDeleteChooserHelpContext = 102;
constexpr int kRenameChooserHelpContext = 103;
constexpr int kNewWindowHelpContext = 111;

// Menu positions before the first window item: the two commands and the divider.
constexpr int kFirstWindowItem = 3;
// "Open a &New Category Window" is offered while fewer windows than this are open.
constexpr int kWindowLimit = 8;

const QString kIntroductionItem = QStringLiteral("Introducing Glimmora");

} // namespace

TMainForm::TMainForm(QWidget* parent)
    : QMainWindow(parent),
      diskPrompt_(std::make_unique<DialogDiskDescriptionPrompt>())
{
    initIconResources();
    // The splash is up while the stores open; FormCreate takes it down once this window shows.
    splash_ = std::make_unique<TSplashForm>();
    splash_->showWhileStarting();
    setWindowTitle(QStringLiteral("Glimmora"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint);
    buildMenus();
    buildPanel();
    HelpWindow::bindHelpKey(this, kMainHelpContext);
    FindDialog1 = new TFindDialog(this);
    connect(FindDialog1, &TFindDialog::find, this, &TMainForm::FindDialog1Find);

    // The program-wide objects, in the order the rest of the program relies on.
    connectSlideshow();
    DataPath = dataPath();
    LastLoadDirectory = QDir::homePath();
    placeAtTopOfScreen();
    openScrapbook();
}

// The categories, memberships and removable disks are read and the image store checked, in
// that order; the program entry reports a scrapbook that cannot be opened and ends.
void TMainForm::openScrapbook()
{
    try {
        Scrapbook = std::make_unique<TScrapbook>(dataDirectory(), TScrapbook::Access::ReadWrite);
    } catch (const EScrapbookError& error) {
        ScrapbookError = QString::fromUtf8(error.what());
        splash_.reset(); // the program entry reports the failure and ends
        return;
    }
    Correspondences = &Scrapbook->memberships();
    Categories = &Scrapbook->categories();
    RemoveableMedia = &Scrapbook->disks();
    ImageElementForm = &Scrapbook->images();
    LoadPicture = std::make_unique<TLoadPictureModule>(RemoveableMedia, readEmbeddedThumbnailsSetting());
}

TMainForm::~TMainForm() = default;

void TMainForm::connectSlideshow()
{
    SlideshowLink = new TSlideshowLink(DemoShowPath().path, this);
    SlideshowInstalled = SlideshowLink->SlideshowInstalled();
    sbDesignSlideshow->setEnabled(SlideshowLink->designSlideshowEnabled());
    connect(SlideshowLink, &TSlideshowLink::designSlideshowEnabledChanged, sbDesignSlideshow, &QWidget::setEnabled);
    connect(SlideshowLink, &TSlideshowLink::minimizeRequested, this, &QWidget::showMinimized);
    connect(SlideshowLink, &TSlideshowLink::restoreRequested, this, &QWidget::showNormal);
    busObject_ = new TGlimmoraBusObject(this);
    connect(busObject_, &TGlimmoraBusObject::messagePosted, SlideshowLink, &TSlideshowLink::MessagePosted);
    connect(busObject_, &TGlimmoraBusObject::activationRequested, this, &TMainForm::bringToFront);
}

// A second start was refused: the user looks for this window, or for the dialog that holds it.
void TMainForm::bringToFront()
{
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
    if (QWidget* dialog = QApplication::activeModalWidget()) {
        dialog->raise();
        dialog->activateWindow();
    }
}

void TMainForm::buildMenus()
{
    File1 = menuBar()->addMenu(QStringLiteral("&File"));
    AddImagestoScrapbook1 =
        File1->addAction(QStringLiteral("&Add Images to Scrapbook"), this, &TMainForm::AddImagestoScrapbook1Click);
    File1->addSeparator();
    NewCategory1 = File1->addAction(QStringLiteral("&New Category"), this, &TMainForm::NewCategory1Click);
    DeleteaCategory1 = File1->addAction(QStringLiteral("&Delete a Category"), this, &TMainForm::DeleteaCategory1Click);
    RenameaCategory1 = File1->addAction(QStringLiteral("&Rename a Category"), this, &TMainForm::RenameaCategory1Click);
    File1->addSeparator();
    PrinttheScrapbook1 =
        File1->addAction(QStringLiteral("&Print the Scrapbook"), this, &TMainForm::PrinttheScrapbook1Click);
    File1->addSeparator();
    DesignSlideshow1 = File1->addAction(QStringLiteral("Design &Slideshow"), this, &TMainForm::DesignSlideshow1Click);
    File1->addSeparator();
    Exit1 = File1->addAction(QStringLiteral("E&xit"), this, &TMainForm::Exit1Click);
    Exit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q)); // as every program of the desktop quits
    connect(File1, &QMenu::aboutToShow, this, &TMainForm::File1Click);

    Window1 = menuBar()->addMenu(QStringLiteral("&Window"));
    NewWindow1 = Window1->addAction(QStringLiteral("Open a &New Category Window"), this, &TMainForm::NewWindow1Click);
    NewWindow1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    Cascade1 = Window1->addAction(QStringLiteral("&Cascade"), this, &TMainForm::Cascade1Click);
    Window1Divider = Window1->addSeparator();
    Window1Divider->setVisible(false);
    for (int i = 1; i <= 9; ++i) {
        QAction* item = Window1->addAction(QStringLiteral("x%1").arg(i));
        item->setVisible(false);
        connect(item, &QAction::triggered, this, [this, i] { WindowSelectClick(kFirstWindowItem + i - 1); });
        windowItems.append(item);
    }
    connect(Window1, &QMenu::aboutToShow, this, &TMainForm::Window1Click);

    Search1 = menuBar()->addMenu(QStringLiteral("&Search"));
    KeywordSearch1 = Search1->addAction(QStringLiteral("&Keyword Search"), this, &TMainForm::KeywordSearch1Click);
    KeywordSearch1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));

    Cleanup1 = menuBar()->addMenu(QStringLiteral("&Cleanup"));
    DeleteImagesNotOnDisk1 = Cleanup1->addAction(QStringLiteral("Delete &Images Not on Disk"), this,
                                                 &TMainForm::DeleteImagesNotonDisk1Click);
    DeleteEmptyCategories1 =
        Cleanup1->addAction(QStringLiteral("Delete Empty &Categories"), this, &TMainForm::DeleteEmptyCategories1Click);
    MaintainRemoveableMedia1 = Cleanup1->addAction(QStringLiteral("Maintain &Removeable Media"), this,
                                                   &TMainForm::MaintainRemoveableMedia1Click);
    Cleanup1->addSeparator();
    DataBaseIntegrity1 =
        Cleanup1->addAction(QStringLiteral("Data Base Integrity"), this, &TMainForm::DataBaseIntegrity1Click);
    ReorganizeDataBase1 =
        Cleanup1->addAction(QStringLiteral("Reorganize Data Base"), this, &TMainForm::ReorganizeDataBase1Click);
    connect(Cleanup1, &QMenu::aboutToShow, this, &TMainForm::Cleanup1Click);

    Help1 = menuBar()->addMenu(QStringLiteral("&Help"));
    HelpContents1 = Help1->addAction(QStringLiteral("Help &Topics"), this, &TMainForm::HelpContents1Click);
    Help1->addSeparator();
    AboutTheProgram1 = Help1->addAction(QStringLiteral("&About the Program"), this, &TMainForm::About1Click);
    RuntheDemo1 = Help1->addAction(QStringLiteral("&Introducing Glimmora"), this, &TMainForm::RuntheDemo1Click);
    connect(Help1, &QMenu::aboutToShow, this, &TMainForm::Help1Click);
}

QToolButton* TMainForm::addSpeedButton(const QString& hint, const QString& iconName, QAction* command)
{
    auto* button = new QToolButton(Panel1);
    button->setGeometry(0, kSpeedButtonTop, kSpeedButtonSize, kSpeedButtonSize);
    button->setToolTip(hint);
    button->setAutoRaise(true);
    button->setIcon(QIcon(QStringLiteral(":/icons/%1.png").arg(iconName)));
    button->setIconSize(QSize(22, 22));
    if (command)
        connect(button, &QToolButton::clicked, command, &QAction::trigger);
    else
        button->setVisible(false); // the two spacers only keep their place in the row
    speedButtons_.append(button);
    return button;
}

void TMainForm::buildPanel()
{
    auto* client = new QWidget(this);
    setCentralWidget(client);
    Panel1 = new QWidget(client);
    Panel1->setGeometry(0, 0, width(), kPanelHeight);
    sbAddToScrapbook =
        addSpeedButton(QStringLiteral("Add Images to Scrapbook"), QStringLiteral("add"), AddImagestoScrapbook1);
    sbNewCategory = addSpeedButton(QStringLiteral("New Category"), QStringLiteral("newcategory"), NewCategory1);
    sbDeleteCategory =
        addSpeedButton(QStringLiteral("Delete Category"), QStringLiteral("deletecategory"), DeleteaCategory1);
    sbSpacer1 = addSpeedButton(QString(), QString(), nullptr);
    sbNewWindow = addSpeedButton(QStringLiteral("Open a New Category Window"), QStringLiteral("newwindow"), NewWindow1);
    sbSearch = addSpeedButton(QStringLiteral("Search"), QStringLiteral("search"), KeywordSearch1);
    sbPrint = addSpeedButton(QStringLiteral("Print"), QStringLiteral("print"), PrinttheScrapbook1);
    sbSpacer2 = addSpeedButton(QString(), QString(), nullptr);
    sbDesignSlideshow =
        addSpeedButton(QStringLiteral("Design a Slideshow"), QStringLiteral("slideshow"), DesignSlideshow1);

    StatusBar1 = new QWidget(client);
    StatusBar1->setGeometry(0, kPanelHeight, width(), kStatusBarHeight);
    int left = 0;
    for (int panelWidth : {300, 50}) {
        auto* panel = new QLabel(StatusBar1);
        panel->setTextFormat(Qt::PlainText); // status texts may carry names of files and categories
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setGeometry(left, 0, panelWidth, kStatusBarHeight);
        statusPanels.append(panel);
        left += panelWidth + 2;
    }
    ProgressBar1 = new QProgressBar(client);
    ProgressBar1->setGeometry(304, 43, 481, 16);
    ProgressBar1->setRange(0, 250);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->raise();
    // It lies over the second status panel: it shows only while some work moves it, between its
    // ends (a value at either end is idle).
    ProgressBar1->setVisible(false);
    connect(ProgressBar1, &QProgressBar::valueChanged, ProgressBar1, [this](int value) {
        ProgressBar1->setVisible(value > ProgressBar1->minimum() && value < ProgressBar1->maximum());
    });
    client->setMinimumHeight(kPanelHeight + kStatusBarHeight);
}

void TMainForm::placeAtTopOfScreen()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int screenWidth = screen ? screen->geometry().width() : 1024;
    setMinimumWidth(minMainWidth(sbAddToScrapbook->width()));
    setMaximumHeight(maxMainHeight());
    // The window manager draws the caption outside our geometry, so the strip needs only its
    // menu bar, panel and status bar.
    const int height = std::min(maxMainHeight(), menuBar()->sizeHint().height() + kPanelHeight + kStatusBarHeight);
    setGeometry(0, 0, std::max(screenWidth, minimumWidth()), height);
    move(0, 0);
}

void TMainForm::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    const int clientWidth = centralWidget()->width();
    StatusBar1->setGeometry(0, kPanelHeight, clientWidth, kStatusBarHeight);
    Panel1->setGeometry(0, 0, clientWidth, kPanelHeight);
    const auto lefts = speedButtonLefts(clientWidth, sbAddToScrapbook->width());
    for (int i = 0; i < speedButtons_.size(); ++i)
        speedButtons_.at(i)->move(lefts[static_cast<size_t>(i)], kSpeedButtonTop);
}

void TMainForm::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
}

void TMainForm::FormCreate()
{
    show();
    splash_.reset();
    QGuiApplication::restoreOverrideCursor();

    reportRepairs();
    FirstRun = !readFirstTimeFlag();
    if (FirstRun)
        runFirstRunDialogue();
    if (ImageStoreEmpty())
        runEmptyScrapbookImport();
    FirstRun = false;
    processPendingEvents();
    if (!isMinimized())
        NewWindow1Click();
}

// What opening the scrapbook set right is told once; it is saved with the next save.
void TMainForm::reportRepairs()
{
    const QStringList repairs = Scrapbook->repairs().sentences();
    if (repairs.isEmpty())
        return;
    showMessage({QStringLiteral("The scrapbook's files were out of step, and Glimmora has set them right:\n%1\n"
                                "The repairs are saved with the next change, or when Glimmora closes.")
                     .arg(repairs.join(QLatin1Char('\n'))),
                 QStringLiteral("Glimmora"), MessageIcon::Information});
}

void TMainForm::runFirstRunDialogue()
{
    writeFirstTimeFlag(true);
    if (!DemoShowPath().exists)
        return;
    if (!SlideshowInstalled) {
        showMessage({QStringLiteral("We regret we can't show you the introduction to Glimmora because Slidara is not "
                                    "installed on your computer. When you do install it, you can view the "
                                    "introduction any time by selecting \"%1\" from the Help menu.")
                         .arg(kIntroductionItem),
                     QStringLiteral("Glimmora"), MessageIcon::Information});
        return;
    }
    const MessageButton answer = showMessage(
        {QStringLiteral("Welcome to Glimmora. Since this is your first time here, we've prepared a slide show "
                        "demonstration for you. Would you like to see it now?"),
         QStringLiteral("Glimmora"), MessageIcon::Question, MessageButton::Yes | MessageButton::No,
         MessageButton::Yes});
    if (answer == MessageButton::Yes) {
        SlideshowLink->setDemoFromFirstRun(true);
        RuntheDemo1Click();
    } else {
        TSlideshowLink::ShowIntroductionHint();
    }
}

void TMainForm::runEmptyScrapbookImport()
{
    FormActivate();
    showMessage({QStringLiteral("You can't do anything with Glimmora until your scrapbook has some images in it. "
                                "Let's do that now."),
                 QStringLiteral("Glimmora"), MessageIcon::None, MessageButton::Ok, MessageButton::Ok,
                 MessageBeep::Exclamation});
    HelpWindow::showTopic(kAddingImagesTopic);
    AddImagestoScrapbook1Click();
    HelpWindow::quit();
}

bool TMainForm::ImageStoreEmpty() const { return ImageElementForm->ImageStoreEmpty(); }

void TMainForm::FormActivate() { HelpWindow::setHelpDirectory(helpDirectoryOfProgram()); }

void TMainForm::AddImagestoScrapbook1Click()
{
    // The dialog places itself: top left while the scrapbook is empty, else centred.
    TLoadform dialog({*Scrapbook, *LoadPicture}, LastLoadDirectory, this);
    dialog.exec();
    LastLoadDirectory = dialog.LastDirectory();
}

void TMainForm::PrinttheScrapbook1Click() { PrintTheScrapbook(*Categories, this); }

void TMainForm::Exit1Click() { close(); }

void TMainForm::File1Click()
{
    // "Search Results" is always listed, so there is something to delete or rename once
    // another category exists beside it.
    const bool severalCategories = Categories->categories().size() > 1;
    DeleteaCategory1->setEnabled(severalCategories);
    RenameaCategory1->setEnabled(severalCategories);
    DesignSlideshow1->setEnabled(sbDesignSlideshow->isEnabled());
}

void TMainForm::Help1Click()
{
    RuntheDemo1->setVisible(DemoShowPath().exists && SlideshowInstalled);
    RuntheDemo1->setText(kIntroductionItem);
}

void TMainForm::HelpContents1Click()
{
    FormActivate();
    HelpWindow::showContents();
}

void TMainForm::About1Click()
{
    if (!aboutForm_)
        aboutForm_ = new TAboutForm(this);
    aboutForm_->exec();
}

void TMainForm::DesignSlideshow1Click() { SlideshowLink->DesignSlideshow(); }

void TMainForm::RuntheDemo1Click() { SlideshowLink->RunTheDemo(); }

void TMainForm::saveAfterCommand()
{
    const QString failure = Scrapbook->trySave();
    if (!failure.isEmpty())
        showMessage({failure, QStringLiteral("Glimmora"), MessageIcon::Error, MessageButton::Ok, MessageButton::Ok,
                     MessageBeep::Error});
}

void TMainForm::NewCategory1Click()
{
    TNewCategoryForm dialog(
        *Categories, [this](TCategory& category) { CreateImageListForm(category); }, this);
    dialog.exec();
    if (dialog.Changed())
        saveAfterCommand();
    RefreshCategoryMenus();
}

TCategory* TMainForm::chooseCategoryToChange(const QString& prompt, int helpContext)
{
    TNewWindowForm chooser(*Categories, this);
    chooser.setPrompt(prompt);
    chooser.setHelpContext(helpContext);
    chooser.removeUnassigned();
    return chooser.exec() == QDialog::Accepted ? chooser.ChosenCategory : nullptr;
}

void TMainForm::DeleteaCategory1Click()
{
    if (TCategory* target = chooseCategoryToChange(QStringLiteral("Select the category you want to delete:"),
                                                   kDeleteChooserHelpContext)) {
        TCategoryDeleteForm dialog(*Categories, *target, this);
        dialog.exec();
        if (dialog.Deleted())
            saveAfterCommand();
    }
    RefreshCategoryMenus();
}

void TMainForm::RenameaCategory1Click()
{
    if (TCategory* target = chooseCategoryToChange(QStringLiteral("Select the category you want to rename:"),
                                                   kRenameChooserHelpContext)) {
        TNewCategoryForm dialog(*Categories, {}, this);
        dialog.RenameMode = true;
        dialog.TargetCategory = target;
        dialog.exec();
        if (dialog.Changed())
            saveAfterCommand();
    }
    RefreshCategoryMenus();
}

void TMainForm::NewWindow1Click()
{
    if (TCategory* category = ChooseCategory(*Categories, QStringLiteral("Select the Category you want to see:"),
                                             kNewWindowHelpContext, this))
        CreateImageListForm(*category);
}

TImageListForm* TMainForm::CreateImageListForm(TCategory& category)
{
    auto* window = new TImageListForm(*Categories);
    window->SlideshowConnected = [link = QPointer<TSlideshowLink>(SlideshowLink)] { return link && link->connected(); };
    window->AddSlides = [link = QPointer<TSlideshowLink>(SlideshowLink)](const QStringList& paths) {
        if (link)
            link->AddSlides(paths);
    };
    window->setImageListServices({*Scrapbook, *LoadPicture, *diskPrompt_});
    connect(window, &TImageListForm::keywordSearchRequested, this, &TMainForm::KeywordSearch1Click);
    connect(window, &TImageListForm::mainMenuRequested, this, &TMainForm::OpenMainMenu);
    // Queued: a window closed while the program ends must not reach back into it.
    connect(window, &TImageListForm::closed, this, &TMainForm::Window1Click, Qt::QueuedConnection);
    window->show();
    if (!window->AttachTo(category)) {
        window->close();
        return nullptr;
    }
    window->activateWindow();
    window->ImageListBox->setFocus();
    if (category.CategoryId < 0)
        SearchResultsWindow = window;
    Window1Click();
    return window;
}

QList<TImageListForm*> TMainForm::categoryWindows() const
{
    QList<TImageListForm*> windows;
    for (const auto& category : Categories->categories())
        for (CategoryView* view : std::as_const(category->ImageListList))
            if (auto* window = dynamic_cast<TImageListForm*>(view))
                windows.append(window);
    return windows;
}

void TMainForm::Window1Click()
{
    for (QAction* item : std::as_const(windowItems))
        item->setVisible(false);
    Window1Divider->setVisible(false);
    WindowList.clear();
    int k = 0;
    for (TImageListForm* window : categoryWindows()) {
        if (k == windowItems.size())
            break;
        WindowList.append(window);
        QAction* item = windowItems.at(k);
        QString caption = window->windowTitle();
        item->setText(QStringLiteral("&%1 %2").arg(k + 1).arg(caption.replace(QLatin1Char('&'), QStringLiteral("&&"))));
        item->setVisible(true);
        Window1Divider->setVisible(true);
        ++k;
    }
    Cascade1->setEnabled(Window1Divider->isVisible());
    const bool roomForAnother = k < kWindowLimit;
    NewWindow1->setEnabled(roomForAnother);
    sbNewWindow->setEnabled(roomForAnother);
}

void TMainForm::WindowSelectClick(int position)
{
    const int index = position - kFirstWindowItem;
    if (index < 0 || index >= WindowList.size() || !WindowList.at(index))
        return;
    TImageListForm* window = WindowList.at(index);
    if (window->isMinimized())
        window->showNormal();
    window->raise();
    window->activateWindow();
    window->ImageListBox->setFocus();
}

void TMainForm::Cascade1Click()
{
    const QScreen* screen = this->screen();
    const QSize screenSize = screen ? screen->geometry().size() : QSize(1024, 768);
    const int f = frameGeometry().height() - centralWidget()->height();
    const int step = f - 18;
    int top = f;
    int left = 0;
    auto place = [&](TImageListForm* window) {
        window->move(left, top);
        window->raise();
    };
    for (TImageListForm* window : categoryWindows()) {
        if (window->isMinimized() || window->isMaximized())
            continue;
        place(window);
        left += 40;
        top += step;
        if (top > screenSize.height() - step)
            top = step;
        if (left > screenSize.width() - window->frameGeometry().width() / 2)
            left = 0;
    }
    if (SearchResultsWindow && !SearchResultsWindow->isMinimized() && !SearchResultsWindow->isMaximized())
        place(SearchResultsWindow);
}

void TMainForm::KeywordSearch1Click()
{
    FindDialog1->show();
    FindDialog1->raise();
    FindDialog1->activateWindow();
    FindDialog1->FindEdit->setFocus();
    FindDialog1->FindEdit->selectAll();
}

void TMainForm::FindDialog1Find()
{
    const QString text = FindDialog1->FindText().toLower().trimmed();
    FindDialog1->close();
    ImageRecords found;
    try {
        found = ImageElementForm->SearchMemos(text);
    } catch (const std::exception& error) {
        showMessage({QStringLiteral("The memo search failed: %1").arg(QString::fromUtf8(error.what())),
                     QStringLiteral("Glimmora"), MessageIcon::Error, MessageButton::Ok, MessageButton::Ok,
                     MessageBeep::Error});
        return;
    }
    if (found.empty()) {
        showMessage({QStringLiteral("Sorry, no images were found with the selected memo string."),
                     QStringLiteral("Glimmora"), MessageIcon::None, MessageButton::Ok, MessageButton::Ok,
                     MessageBeep::Exclamation});
        return;
    }
    if (SearchResultsWindow)
        SearchResultsWindow->close(); // its leaving frees the earlier results
    Categories->setSearchResults(std::move(found));
    CreateImageListForm(*Categories->searchResults());
}

void TMainForm::RefreshCategoryMenus()
{
    processPendingEvents();
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* categoryWindow = qobject_cast<TImageListForm*>(window))
            categoryWindow->RebuildCategoryMenus();
}

void TMainForm::OpenMainMenu(QChar letter)
{
    activateWindow();
    raise();
    const QString accelerator = QStringLiteral("&") + letter;
    for (QMenu* menu : {File1, Window1, Search1, Cleanup1, Help1})
        if (menu->title().contains(accelerator, Qt::CaseInsensitive))
            menuBar()->setActiveAction(menu->menuAction());
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    if (!closed_)
        FormClose();
    event->accept();
}

QString TMainForm::saveScrapbook()
{
    if (!Scrapbook)
        return {};
    QString failure;
    if (!RemoveableMedia->Save())
        failure =
            QStringLiteral("The list of removable disks could not be saved to %1.").arg(RemoveableMedia->fileName());
    return (failure + QLatin1Char(' ') + Scrapbook->trySave()).trimmed();
}

void TMainForm::FormClose()
{
    closed_ = true;
    const QString failure = saveScrapbook();
    if (ImageElementForm)
        ImageElementForm->FreePathIndex();
    if (!failure.isEmpty())
        showMessage({failure + QStringLiteral(" Glimmora ends; what was not saved is lost."),
                     QStringLiteral("Glimmora"), MessageIcon::Error, MessageButton::Ok, MessageButton::Ok,
                     MessageBeep::Error});
    SlideshowLink->CloseServer();
    HelpWindow::quit();
}

void TMainForm::EndSession(int signal)
{
    if (!closed_) {
        closed_ = true;
        const QString failure = saveScrapbook();
        if (!failure.isEmpty())
            std::fprintf(stderr, "glimmora: %s What was not saved is lost.\n", failure.toLocal8Bit().constData());
        SlideshowLink->CloseServer();
    }
    TerminationSignals::endProcess(signal);
}

void TMainForm::SaveForSession()
{
    const QString failure = saveScrapbook();
    if (!failure.isEmpty())
        std::fprintf(stderr, "glimmora: %s\n", failure.toLocal8Bit().constData());
}

} // namespace glimmora
