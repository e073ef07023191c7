#include "catalog/Categories.h"
#include "catalog/Correspondences.h"
#include "catalog/ImageElementForm.h"
#include "catalog/RemoveableMediaList.h"
#include "catalog/Scrapbook.h"
#include "catalog/RemoveableMediumForm.h"
#include "files/FolderTree.h"
#include "import/DbUpdate.h"
#include "import/FileSearch.h"
#include "import/FileSearchForm.h"
#include "import/Load.h"
#include "import/LoadError.h"
#include "import/LoadPicture.h"
#include "import/LoadStatus.h"
#include "platform/HelpWindow.h"
#include "platform/MessageService.h"
#include "store/FileSeam.h"

#include "Scratch.h"

// Qt
#include <QApplication>
#include <QComboBox>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

namespace glimmora {
namespace {

namespace fs = std::filesystem;

QString qPath(const fs::path& path) { return QString::fromStdString(path.string()); }

// Answers the windows an import opens while the Load dialog runs it: every time the event loop
// turns, each visible window of a watched kind is handed to its handler until the handler says
// it is done with it. The summary is always read and closed.
class ImportDriver : public QObject {
public:
    using Handler = std::function<bool(QWidget&)>; // true: done with this window

    ImportDriver() { connect(&timer_, &QTimer::timeout, this, &ImportDriver::poll); }

    void start()
    {
        timer_.start(0); // zero timers also fire inside the windows' own processEvents
        clock_.start();
    }
    void stop() { timer_.stop(); }

    Handler onSearch;
    Handler onAdding;
    Handler onDiskPrompt;

    bool summaryShown = false;
    QStringList summaryNumbers; // loaded, duped, assigned, clashed
    QStringList summaryTexts;
    int diskPrompts = 0;

private:
    void poll()
    {
        if (clock_.elapsed() > 60000) {
            ADD_FAILURE() << "the import did not end";
            std::abort();
        }
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (!window->isVisible() || done_.contains(window))
                continue;
            if (handle(window))
                done_.append(window);
        }
    }

    bool handle(QWidget* window)
    {
        if (qobject_cast<TFileSearchForm*>(window))
            return !onSearch || onSearch(*window);
        if (qobject_cast<TDbUpdateForm*>(window))
            return !onAdding || onAdding(*window);
        if (qobject_cast<TRemoveableMediumForm*>(window)) {
            ++diskPrompts;
            return onDiskPrompt && onDiskPrompt(*window);
        }
        if (auto* summary = qobject_cast<TLoadStatusForm*>(window)) {
            readSummary(*summary);
            summary->OKBtn->click();
            return true;
        }
        return false;
    }

    void readSummary(const TLoadStatusForm& summary)
    {
        summaryShown = true;
        for (const QLabel* number :
             {summary.lbImagesLoaded, summary.lbImagesDuped, summary.lbImagesAssigned, summary.lbImagesClashed})
            summaryNumbers.append(number->text());
        for (const QLabel* label : summary.findChildren<QLabel*>())
            summaryTexts.append(label->text());
    }

    QTimer timer_;
    QElapsedTimer clock_;
    QList<QPointer<QWidget>> done_;
};

struct ImportOptions {
    bool directoryNames = false;
    QString category = QStringLiteral("trips");
    bool includeKnown = false;
};

class ImportWindows : public testing::Test {
protected:
    QString dataDirectory() const
    {
        fs::create_directories(scratch_ / "data");
        return qPath(scratch_ / "data");
    }

    // A directory of small real pictures, one per name.
    QString pictureDirectory(const char* name, const QStringList& files) const
    {
        const fs::path directory = scratch_ / name;
        fs::create_directories(directory);
        QImage picture(16, 12, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        for (const QString& file : files)
            EXPECT_TRUE(picture.save(qPath(directory) + QLatin1Char('/') + file)) << file.toStdString();
        return qPath(directory);
    }

    ImportScrapbook scrapbook() { return {scrapbook_, loader_}; }

    // Opens the Load dialog on `directory`, sets the options and presses OK, as a user would.
    QString runImport(const QString& directory, const ImportOptions& options, ImportDriver& driver,
                      const std::function<void(TLoadform&)>& prepare = {})
    {
        TLoadform dialog(scrapbook(), directory);
        if (prepare)
            prepare(dialog);
        QTimer::singleShot(0, &dialog, [&] {
            (options.directoryNames ? dialog.rbDirectoryName : dialog.rbAssignCategory)->click();
            dialog.cbCategory->setEditText(options.category);
            dialog.cbIncludeKnown->setChecked(options.includeKnown);
            EXPECT_TRUE(dialog.OKBtn->isEnabled());
            dialog.OKBtn->click();
        });
        driver.start();
        EXPECT_EQ(dialog.exec(), QDialog::Accepted);
        driver.stop();
        counters_ = dialog.Counters();
        return dialog.LastDirectory();
    }

    ImportCounters runImport(const QString& directory, const ImportOptions& options = {})
    {
        ImportDriver driver;
        runImport(directory, options, driver);
        EXPECT_TRUE(driver.summaryShown);
        return counters_;
    }

    // The file names of the images in a category, in membership order.
    QStringList imagesIn(const QString& categoryName)
    {
        const TCategory* category = categories_.FindOrAddCategory(categoryName, true).first;
        if (!category)
            return {};
        QStringList names;
        for (const Membership& pair : memberships_.pairs())
            if (pair.categoryId == category->CategoryId)
                names.append(fileNamePart(images_.ReadImage(pair.seqNo)->IT_Path));
        images_.EndReadPass();
        return names;
    }

    int storedImages()
    {
        int count = 0;
        for (auto record = images_.FirstImage(); record; record = images_.NextImage())
            ++count;
        images_.EndReadPass();
        return count;
    }

    static QStringList errorLines()
    {
        const TLoadErrorForm* errors = TLoadErrorForm::Current();
        return errors ? errors->Text().split(QLatin1Char('\n')) : QStringList();
    }

    test::ScratchDir scratch_;
    TScrapbook scrapbook_{dataDirectory(), TScrapbook::Access::ReadWrite};
    TCorrespondences& memberships_ = scrapbook_.memberships();
    TCategories& categories_ = scrapbook_.categories();
    TRemoveableMediaList& disks_ = scrapbook_.disks();
    TImageElementForm& images_ = scrapbook_.images();
    TLoadPictureModule loader_{&disks_};
    ImportCounters counters_;
    ScopedScriptedMessages messages_;
};

const QStringList kThreePictures{QStringLiteral("a.png"), QStringLiteral("b.JPG"), QStringLiteral("c.bmp")};

TEST_F(ImportWindows, TheDialogStartsFromItsDefaults)
{
    categories_.FindOrAddCategory(QStringLiteral("zoo"), false);
    categories_.FindOrAddCategory(QStringLiteral("beach"), false);
    const QString directory = pictureDirectory("start", {});
    TLoadform dialog(scrapbook(), directory);
    dialog.show();

    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Glimmora - Load New Files"));
    // An empty scrapbook puts the dialog in the top left corner.
    EXPECT_EQ(dialog.pos(), QGuiApplication::primaryScreen()->availableGeometry().topLeft());
    ASSERT_NE(dialog.FolderTree, nullptr);
    EXPECT_EQ(dialog.focusWidget(), dialog.FolderTree);
    EXPECT_EQ(dialog.FolderTree->SelectedPath(), directory);
    EXPECT_EQ(dialog.PathLabel->text(), directory);
    EXPECT_TRUE(dialog.OKBtn->isEnabled());
    EXPECT_TRUE(dialog.rbAssignCategory->isChecked());
    EXPECT_TRUE(dialog.cbCategory->isEnabled());
    EXPECT_TRUE(dialog.cbSearchSubdirectories->isChecked());
    EXPECT_FALSE(dialog.cbIncludeKnown->isChecked());
    QStringList items;
    for (int i = 0; i < dialog.cbCategory->count(); ++i)
        items.append(dialog.cbCategory->itemText(i));
    EXPECT_EQ(items, (QStringList{QStringLiteral("(unassigned)"), QStringLiteral("beach"), QStringLiteral("zoo")}));
    EXPECT_EQ(dialog.cbCategory->currentText(), QStringLiteral("(unassigned)"));

    dialog.rbDirectoryName->click();
    EXPECT_FALSE(dialog.cbCategory->isEnabled());
    dialog.rbAssignCategory->click();
    EXPECT_TRUE(dialog.cbCategory->isEnabled());
    // A blank name would make a category without a name.
    dialog.cbCategory->setEditText(QStringLiteral("   "));
    EXPECT_FALSE(dialog.OKBtn->isEnabled());
    dialog.rbDirectoryName->click();
    EXPECT_TRUE(dialog.OKBtn->isEnabled());
    dialog.rbAssignCategory->click();
    dialog.cbCategory->setEditText(QString(30, QLatin1Char('n')));
    EXPECT_EQ(dialog.cbCategory->currentText().size(), 25);

    QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    QCoreApplication::sendEvent(&dialog, &f1);
    EXPECT_EQ(HelpWindow::currentTopic(), 106);
    HelpWindow::quit();

    dialog.CancelBtn->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.LastDirectory(), directory);
}

TEST_F(ImportWindows, AStartDirectoryTooShortToSelectLeavesOkDisabled)
{
    TLoadform dialog(scrapbook(), QStringLiteral("c:"));
    dialog.show();
    EXPECT_TRUE(dialog.PathLabel->text().isEmpty());
    EXPECT_FALSE(dialog.OKBtn->isEnabled());
    dialog.reject();
    EXPECT_EQ(dialog.LastDirectory(), QStringLiteral("c:"));
}

TEST_F(ImportWindows, TheSameDirectoryTwiceIsClashedTheSecondTime)
{
    for (const bool directoryNames : {false, true}) {
        SCOPED_TRACE(directoryNames ? "directory names" : "assigned to trips");
        const QString directory = pictureDirectory(directoryNames ? "rome" : "paris", kThreePictures);
        const ImportOptions options{directoryNames};
        {
            ImportDriver first;
            EXPECT_EQ(runImport(directory, options, first), directory);
            EXPECT_EQ(counters_, (ImportCounters{3, 0, 0, 0}));
            EXPECT_EQ(first.summaryNumbers, (QStringList{"3", "0", "0", "0"}));
            for (const QString& text : {kImagesLoadedText, kImagesDupedText, kImagesAssignedText, kImagesClashedText})
                EXPECT_TRUE(first.summaryTexts.contains(text)) << text.toStdString();
        }
        EXPECT_EQ(imagesIn(directoryNames ? QStringLiteral("rome") : QStringLiteral("trips")).size(), 3);

        EXPECT_EQ(runImport(directory, options), (ImportCounters{0, 0, 0, 3}));
    }
    EXPECT_EQ(storedImages(), 6);
    EXPECT_EQ(messages_.beeps().count(MessageBeep::Information), 4); // the summary's sound
    EXPECT_TRUE(disks_.isEmpty());                                   // pictures on a fixed disk register no disk
}

TEST_F(ImportWindows, PicturesKnownOnlyUnassignedMoveToTheNamedCategory)
{
    const QString directory = pictureDirectory("pets", kThreePictures);
    EXPECT_EQ(runImport(directory, {false, QStringLiteral("(unassigned)")}), (ImportCounters{3, 0, 0, 0}));
    EXPECT_EQ(runImport(directory, {false, QStringLiteral("cats")}), (ImportCounters{0, 0, 3, 0}));
    EXPECT_EQ(imagesIn(QStringLiteral("cats")).size(), 3);
    EXPECT_TRUE(imagesIn(QStringLiteral("(unassigned)")).isEmpty());
}

TEST_F(ImportWindows, KnownPicturesJoinAnotherCategoryOnlyWhenIncluded)
{
    struct Case {
        bool includeKnown;
        ImportCounters expected;
        int inB;
    };
    for (const Case& c : {Case{false, {0, 3, 0, 0}, 0}, Case{true, {3, 0, 0, 0}, 3}}) {
        SCOPED_TRACE(c.includeKnown ? "included" : "not included");
        const QString directory = pictureDirectory(c.includeKnown ? "known-in" : "known-out", kThreePictures);
        const QString a = c.includeKnown ? QStringLiteral("a1") : QStringLiteral("a2");
        const QString b = c.includeKnown ? QStringLiteral("b1") : QStringLiteral("b2");
        runImport(directory, {false, a});
        EXPECT_EQ(runImport(directory, {false, b, c.includeKnown}), c.expected);
        EXPECT_EQ(imagesIn(a).size(), 3);
        EXPECT_EQ(imagesIn(b).size(), c.inB);
    }
}

TEST_F(ImportWindows, KnownPicturesImportedToUnassignedAreClashedOrDuped)
{
    const QString unassigned = pictureDirectory("loose", kThreePictures);
    runImport(unassigned, {false, QStringLiteral("(unassigned)")});
    EXPECT_EQ(runImport(unassigned, {false, QStringLiteral("(unassigned)"), true}), (ImportCounters{0, 0, 0, 3}));

    const QString named = pictureDirectory("sorted", kThreePictures);
    runImport(named, {false, QStringLiteral("a")});
    for (const bool includeKnown : {false, true})
        EXPECT_EQ(runImport(named, {false, QStringLiteral("(unassigned)"), includeKnown}),
                  (ImportCounters{0, 3, 0, 0}));
}

TEST_F(ImportWindows, TheDialogAddsFilesInDiscoveryOrderWithHiddenFoldersAndNoLinkCycles)
{
    const QString root = pictureDirectory("tree", {QStringLiteral("first.png"), QStringLiteral("last.png")});
    pictureDirectory("tree/sub", {QStringLiteral("inner.png")});
    pictureDirectory("tree/.hidden", {QStringLiteral("secret.png")});
    fs::create_directory_symlink(scratch_ / "tree", scratch_ / "tree" / "loop");

    // The order the search object finds, which the dialog must keep: its own unit tests pin
    // down that a subdirectory's files come before the parent's later files.
    TFileSearch search({root, CategoryAssignment::ChosenCategory, QStringLiteral("trips"), true});
    search.Run();
    QStringList discovered;
    for (const TLoadEntry& entry : search.TakeLoadList())
        discovered.append(fileNamePart(entry.path));

    EXPECT_EQ(runImport(root), (ImportCounters{4, 0, 0, 0}));
    EXPECT_EQ(imagesIn(QStringLiteral("trips")), discovered);
    EXPECT_EQ(discovered, (QStringList{"secret.png", "first.png", "last.png", "inner.png"})) << "in name order";
    EXPECT_TRUE(discovered.contains(QStringLiteral("secret.png")));
    EXPECT_EQ(discovered.size(), 4) << "the link back to the tree was followed";
}

TEST_F(ImportWindows, ADamagedPictureIsListedInTheErrorWindow)
{
    const QString directory = pictureDirectory("mixed", {QStringLiteral("good.png")});
    test::writeFile(scratch_ / "mixed" / "broken.jpg", "this is no picture");
    EXPECT_EQ(runImport(directory), (ImportCounters{1, 0, 0, 0}));

    const QStringList lines = errorLines();
    ASSERT_EQ(lines.size(), 4) << lines.join('\n').toStdString();
    EXPECT_EQ(lines[0], directory + QStringLiteral("/broken.jpg"));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("  ")));
    EXPECT_FALSE(lines[1].trimmed().isEmpty());
    EXPECT_EQ(lines[2], QStringLiteral(" "));
    EXPECT_EQ(lines[3], QStringLiteral("Total load errors = 1"));
    QPointer<TLoadErrorForm> errors = TLoadErrorForm::Current();
    EXPECT_EQ(errors->windowTitle(), QStringLiteral("Glimmora - Load Error Summary"));
    EXPECT_TRUE(errors->isVisible());
    EXPECT_TRUE(errors->isEnabled());
    EXPECT_TRUE(errors->memo()->isReadOnly());

    // The next import replaces it; without errors it holds only the total.
    runImport(pictureDirectory("clean", {QStringLiteral("fine.png")}));
    EXPECT_TRUE(errors.isNull());
    EXPECT_EQ(errorLines(), (QStringList{" ", "Total load errors = 0"}));
    TLoadErrorForm::Current()->closeButton()->click();
    EXPECT_FALSE(TLoadErrorForm::Current()->isVisible());
}

TEST_F(ImportWindows, CancelInTheSearchLeavesTheScrapbookUnchanged)
{
    const QString directory = pictureDirectory("cancelled", kThreePictures);
    const qsizetype categoriesBefore = categories_.categories().size();
    ImportDriver driver;
    QString searchTitle;
    driver.onSearch = [&](QWidget& window) {
        auto& search = static_cast<TFileSearchForm&>(window);
        searchTitle = search.windowTitle();
        search.cancelButton()->click();
        return true;
    };
    runImport(directory, {false, QStringLiteral("never")}, driver);

    EXPECT_EQ(searchTitle, QStringLiteral("Glimmora - File Search"));
    EXPECT_FALSE(driver.summaryShown);
    EXPECT_TRUE(messages_.shown().isEmpty());
    EXPECT_EQ(counters_, ImportCounters{});
    EXPECT_EQ(storedImages(), 0);
    EXPECT_TRUE(memberships_.pairs().isEmpty());
    EXPECT_EQ(categories_.categories().size(), categoriesBefore);
}

TEST_F(ImportWindows, StopInTheAddingWindowKeepsWhatWasAdded)
{
    const QString directory = pictureDirectory("stopped", kThreePictures);
    ImportDriver driver;
    QString addingTitle;
    QRect addingGeometry;
    QPoint errorsAt;
    bool errorsUsable = true;
    driver.onAdding = [&](QWidget& window) {
        auto& adding = static_cast<TDbUpdateForm&>(window);
        addingTitle = adding.windowTitle();
        addingGeometry = adding.frameGeometry();
        errorsAt = adding.errorForm()->pos();
        errorsUsable = adding.errorForm()->isVisible() && adding.errorForm()->isEnabled();
        if (adding.gauge()->value() == 0)
            return false; // wait for the first picture
        adding.stopButton()->click();
        return true;
    };
    runImport(directory, {}, driver);

    EXPECT_EQ(addingTitle, QStringLiteral("Glimmora - Scrapbook Update Progress"));
    // While the run lasts, the error window lies just below the adding window, from its middle on
    // (give or take the window frame), visible but disabled.
    constexpr int kFrame = 4;
    EXPECT_NEAR(errorsAt.x(), addingGeometry.left() + addingGeometry.width() / 2, kFrame);
    EXPECT_NEAR(errorsAt.y(), addingGeometry.top() + addingGeometry.height() + 2, kFrame);
    EXPECT_FALSE(errorsUsable);
    EXPECT_TRUE(driver.summaryShown);
    EXPECT_EQ(counters_, (ImportCounters{1, 0, 0, 0}));
    EXPECT_EQ(driver.summaryNumbers.first(), QStringLiteral("1"));
    EXPECT_EQ(storedImages(), 1);
    EXPECT_EQ(imagesIn(QStringLiteral("trips")).size(), 1);
    EXPECT_EQ(errorLines(), (QStringList{"Stopped after 1 of 3 files.", " ", "Total load errors = 0"}));
}

TEST_F(ImportWindows, AFullDiskIsReportedAndTheRunStillEnds)
{
    const QString directory = pictureDirectory("full", kThreePictures);
    ImportDriver driver;
    {
        store::ScopedFaultHook diskFull([](store::FileOperation operation, const std::string&) {
            return operation == store::FileOperation::Write ? ENOSPC : 0;
        });
        runImport(directory, {}, driver);
    }
    EXPECT_TRUE(driver.summaryShown);
    EXPECT_EQ(counters_, ImportCounters{});
    ASSERT_EQ(messages_.shown().size(), 1);
    const Message& failure = messages_.shown().first().message;
    EXPECT_EQ(failure.icon, MessageIcon::Error);
    EXPECT_EQ(failure.beep, MessageBeep::Error);
    EXPECT_TRUE(failure.text.startsWith(QStringLiteral("The import stopped at "))) << failure.text.toStdString();
    EXPECT_TRUE(failure.text.contains(QStringLiteral("The drive is full"))) << failure.text.toStdString();
    EXPECT_TRUE(failure.text.endsWith(
        QStringLiteral("Glimmora keeps the changes and saves them with the next change, or when it closes.")))
        << failure.text.toStdString();
    const QStringList lines = errorLines();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.last(), QStringLiteral("Total load errors = 1"));
}

TEST_F(ImportWindows, ADirectoryWithoutPicturesGivesTheWarning)
{
    pictureDirectory("words", {});
    test::writeFile(scratch_ / "words" / "readme.txt", "no pictures here");
    test::writeFile(scratch_ / "words" / "bmp", "a name, no extension");
    ImportDriver driver;
    runImport(qPath(scratch_ / "words"), {}, driver);

    EXPECT_FALSE(driver.summaryShown);
    ASSERT_EQ(messages_.shown().size(), 1);
    const Message& warning = messages_.shown().first().message;
    EXPECT_EQ(warning.text, QStringLiteral("No image files were found in the selected directories."));
    EXPECT_EQ(warning.caption, QStringLiteral("Warning"));
    EXPECT_EQ(warning.icon, MessageIcon::Exclamation);
    EXPECT_EQ(warning.beep, MessageBeep::Exclamation);
}

TEST_F(ImportWindows, PicturesFromARemovableDiskRegisterItOnce)
{
    const QString directory = pictureDirectory("stick", kThreePictures);
    TVol_Info stick;
    stick.serialNumber = 0x1A2B3C4D;
    stick.label = QStringLiteral("HOLIDAY");
    stick.read = true;
    stick.removable = true;
    stick.driveType = 2;
    stick.mountPoint = QStringLiteral("/media/u/HOLIDAY");
    QStringList volumesRead;
    const auto onStick = [&](TLoadform& dialog) {
        dialog.setVolumeReader([&](const QString& path) {
            volumesRead.append(path);
            return stick;
        });
    };
    QString header;
    const auto describe = [&](QWidget& window) {
        auto& prompt = static_cast<TRemoveableMediumForm&>(window);
        header = prompt.headerLine();
        prompt.descriptionEdit()->setText(QStringLiteral("Summer in Rome"));
        prompt.okButton()->click();
        return true;
    };

    {
        ImportDriver first;
        first.onDiskPrompt = describe;
        runImport(directory, {}, first, onStick);
        EXPECT_EQ(first.diskPrompts, 1);
    }
    EXPECT_EQ(volumesRead, QStringList{directory});
    EXPECT_EQ(header, QStringLiteral("Drive /media/u/HOLIDAY   Volume label=HOLIDAY  Ser no: 1A2B-3C4D"));
    ASSERT_EQ(disks_.disks().size(), 1);
    EXPECT_EQ(disks_.disks().first().description, QStringLiteral("Summer in Rome"));
    EXPECT_EQ(disks_.disks().first().serialNumber, 0x1A2B3C4Du);
    TRemoveableMediaList saved(disks_.fileName());
    saved.Load();
    EXPECT_EQ(saved.disks(), disks_.disks());

    // Nothing newly added: the disk is not looked at again.
    ImportDriver second;
    second.onDiskPrompt = describe;
    runImport(directory, {}, second, onStick);
    EXPECT_EQ(counters_, (ImportCounters{0, 0, 0, 3}));
    EXPECT_EQ(volumesRead.size(), 1);
    EXPECT_EQ(second.diskPrompts, 0);
}

} // namespace
} // namespace glimmora
