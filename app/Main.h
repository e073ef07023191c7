#pragma once

// Qt
#include <QAction>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <memory>

class QLabel;
class QMenu;
class QProgressBar;
class QToolButton;
class QWidget;

namespace glimmora {

class TAboutForm;
class TCategories;
class TCategory;
class TFindDialog;
class TImageListForm;
class TCorrespondences;
class DiskDescriptionPrompt;
class TImageElementForm;
class TLoadPictureModule;
class TRemoveableMediaList;
class TScrapbook;
class TGlimmoraBusObject;
class TSlideshowLink;
class TSplashForm;

// The main window: a strip across the top of the screen with the program's global commands.
// Creating it builds the program-wide objects; FormCreate then runs the start-up dialogue
// (splash, first run, empty scrapbook, category chooser); closing it saves the scrapbook.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // The start-up dialogue, run by the program entry right after construction.
    void FormCreate();
    // Saves the removable-disk list and the scrapbook (store, memberships, categories); returns
    // what could not be saved, empty when everything was.
    QString saveScrapbook();
    // The desktop session ends (SIGTERM, SIGHUP) while the program may be anywhere, also in a
    // modal dialog: the close's saving is done at once (messages go to standard error, nobody is
    // there to read a box), and the process ends as the signal would have ended it.
    void EndSession(int signal);
    // The session manager asks for unsaved work: everything is saved, the program goes on.
    void SaveForSession();
    // Shows, raises and activates the window (and a modal dialog over it), as asked by a refused
    // second start.
    void bringToFront();

    // Window state the start-up and its tests read.
    QString DataPath;
    QString LastLoadDirectory;
    bool FirstRun = false;
    bool SlideshowInstalled = false;
    TSlideshowLink* SlideshowLink = nullptr;

    // The scrapbook and its parts (which it owns); none when it could not be opened, and
    // ScrapbookError says why.
    std::unique_ptr<TScrapbook> Scrapbook;
    QString ScrapbookError;
    TCorrespondences* Correspondences = nullptr;
    TCategories* Categories = nullptr;
    TRemoveableMediaList* RemoveableMedia = nullptr;
    TImageElementForm* ImageElementForm = nullptr;
    // Holds the disk registry to name a missing disk, so it comes after it.
    std::unique_ptr<TLoadPictureModule> LoadPicture;

    bool ImageStoreEmpty() const;

    // The menus and speed buttons, named as the commands they run.
    QMenu* File1 = nullptr;
    QMenu* Window1 = nullptr;
    QMenu* Search1 = nullptr;
    QMenu* Cleanup1 = nullptr;
    QMenu* Help1 = nullptr;
    QAction* AddImagestoScrapbook1 = nullptr;
    QAction* NewCategory1 = nullptr;
    QAction* DeleteaCategory1 = nullptr;
    QAction* RenameaCategory1 = nullptr;
    QAction* PrinttheScrapbook1 = nullptr;
    QAction* DesignSlideshow1 = nullptr;
    QAction* Exit1 = nullptr;
    QAction* NewWindow1 = nullptr;
    QAction* Cascade1 = nullptr;
    QAction* Window1Divider = nullptr;
    QList<QAction*> windowItems; // x1 … x9
    QAction* KeywordSearch1 = nullptr;
    QAction* DeleteImagesNotOnDisk1 = nullptr;
    QAction* DeleteEmptyCategories1 = nullptr;
    QAction* MaintainRemoveableMedia1 = nullptr;
    QAction* DataBaseIntegrity1 = nullptr;
    QAction* ReorganizeDataBase1 = nullptr;
    QAction* HelpContents1 = nullptr;
    QAction* AboutTheProgram1 = nullptr;
    QAction* RuntheDemo1 = nullptr;

    QWidget* Panel1 = nullptr;
    QToolButton* sbAddToScrapbook = nullptr;
    QToolButton* sbNewCategory = nullptr;
    QToolButton* sbDeleteCategory = nullptr;
    QToolButton* sbSpacer1 = nullptr;
    QToolButton* sbNewWindow = nullptr;
    QToolButton* sbSearch = nullptr;
    QToolButton* sbPrint = nullptr;
    QToolButton* sbSpacer2 = nullptr;
    QToolButton* sbDesignSlideshow = nullptr;
    QWidget* StatusBar1 = nullptr;
    QList<QLabel*> statusPanels;
    QProgressBar* ProgressBar1 = nullptr;
    TFindDialog* FindDialog1 = nullptr;

    // The category windows listed in the "&Window" menu, in its order; valid until the menu is
    // worked out again.
    QList<QPointer<TImageListForm>> WindowList;
    // The window that shows the memo search's results, if one is open.
    QPointer<TImageListForm> SearchResultsWindow;

    // Opens a category window on a category; none when its records cannot be read.
    TImageListForm* CreateImageListForm(TCategory& category);

public slots:
    void FormActivate();
    void AddImagestoScrapbook1Click();
    void PrinttheScrapbook1Click();
    void Exit1Click();
    void File1Click();
    void Help1Click();
    void HelpContents1Click();
    void About1Click();
    void DesignSlideshow1Click();
    void RuntheDemo1Click();
    void NewCategory1Click();
    void DeleteaCategory1Click();
    void RenameaCategory1Click();
    void NewWindow1Click();
    void Window1Click();
    void WindowSelectClick(int position);
    void Cascade1Click();
    void KeywordSearch1Click();
    void FindDialog1Find();
    void RefreshCategoryMenus();
    // The "&Cleanup" menu (MainCleanup.cpp).
    void Cleanup1Click();
    void DeleteImagesNotonDisk1Click();
    void DeleteEmptyCategories1Click();
    void MaintainRemoveableMedia1Click();
    void DataBaseIntegrity1Click();
    void ReorganizeDataBase1Click();
    // Focuses the main window and opens its menu whose accelerator is `letter`.
    void OpenMainMenu(QChar letter);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildMenus();
    void buildPanel();
    QToolButton* addSpeedButton(const QString& hint, const QString& iconName, QAction* command);
    void placeAtTopOfScreen();
    void runFirstRunDialogue();
    void runEmptyScrapbookImport();
    void reportRepairs();
    void FormClose();
    // Saves the scrapbook after a command changed its categories or memberships; a failure is
    // reported.
    void saveAfterCommand();
    // The open category windows: category by category in list order, each category's in the
    // order they were attached.
    QList<TImageListForm*> categoryWindows() const;
    // The category the user picks in the chooser of the delete or rename command.
    TCategory* chooseCategoryToChange(const QString& prompt, int helpContext);

    QList<QToolButton*> speedButtons_;
    void connectSlideshow();
    void openScrapbook();

    TAboutForm* aboutForm_ = nullptr;
    // Up from the window's creation until the window can be used.
    std::unique_ptr<TSplashForm> splash_;
    TGlimmoraBusObject* busObject_ = nullptr;
    // Asks for the description of a removable disk that a category window's command meets first.
    std::unique_ptr<DiskDescriptionPrompt> diskPrompt_;
    bool closed_ = false;
};

} // namespace glimmora
