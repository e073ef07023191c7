// Drag and drop of images between category windows and with other programs, over a real
// scrapbook. Drags are driven as the system would drive them (enter, move, drop events with the
// drag's own data sent to the target's list) inside the source window's drag; what a drop
// reports done is read back from the saved files while the windows are still open.

#include "catalog/AddFileToCategory.h"
#include "catalog/Categories.h"
#include "catalog/Correspondences.h"
#include "catalog/ImageElementForm.h"
#include "catalog/RemoveableMediaList.h"
#include "catalog/Scrapbook.h"
#include "import/FileDrop.h"
#include "import/LoadPicture.h"
#include "platform/MessageService.h"
#include "store/FileSeam.h"
#include "windows/ImageList.h"
#include "windows/ImageListDrag.h"
#include "windows/ImageListModel.h"

#include "Scratch.h"
#include "ScrapbookWriter.h"

// Qt
#include <QDrag>
#include <QLabel>
#include <QListView>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace glimmora {
namespace {

namespace fs = std::filesystem;

QString path(const fs::path& p) { return QString::fromStdString(p.string()); }

// Sends `data` to the window's list as the system does while a drag passes over it and is
// dropped: enter, move, then drop (or leave, when the move was refused). True when the window
// took the drop; the system is then told of a copy, whatever the window did with it.
bool dropOn(TImageListForm& target, const QMimeData& data, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget* list = target.ImageListBox->viewport();
    const QPoint at(20, 20);
    QDragEnterEvent enter(at, kImageDragActions, &data, Qt::LeftButton, modifiers);
    QCoreApplication::sendEvent(list, &enter);
    if (!enter.isAccepted())
        return false;
    QDragMoveEvent move(at, kImageDragActions, &data, Qt::LeftButton, modifiers);
    QCoreApplication::sendEvent(list, &move);
    if (!move.isAccepted()) {
        QDragLeaveEvent leave;
        QCoreApplication::sendEvent(list, &leave);
        return false;
    }
    QDropEvent drop(at, kImageDragActions, &data, Qt::NoButton, modifiers);
    QCoreApplication::sendEvent(list, &drop);
    EXPECT_TRUE(!drop.isAccepted() || drop.dropAction() == Qt::CopyAction) << "the system only ever sees a copy";
    return drop.isAccepted();
}

class NoDisks : public DiskDescriptionPrompt {
public:
    QString askDescription(const NewDiskDetails&) override { return QStringLiteral("disk"); }
};

class ImageListDrag : public ::testing::Test {
protected:
    ImageListDrag()
    {
        fs::create_directories(pictures);
        QList<test::ImageSpec> specs;
        const char* categories[] = {"cats", "cats", "pets", "(unassigned)", "(unassigned)"};
        for (int i = 1; i <= 5; ++i) {
            const fs::path file = pictures / (std::to_string(i) + ".png");
            test::writeFile(file, "picture");
            specs.append({path(file), {QString::fromUtf8(categories[i - 1])}});
        }
        test::writeScrapbook(path(dir / "Default"), specs);
        scrapbook = std::make_unique<TScrapbook>(path(dir.path()), TScrapbook::Access::ReadWrite);
        savedRunDrag = TImageListDragDrop::runDrag;
    }

    ~ImageListDrag() override
    {
        TImageListDragDrop::runDrag = savedRunDrag;
        for (const auto& window : windows)
            delete window.data();
    }

    TCategory& category(const char* name)
    {
        return *scrapbook->categories().FindOrAddCategory(QString::fromUtf8(name), true).first;
    }
    std::int32_t unassignedId() const { return scrapbook->categories().UnassignedId(); }

    TImageListForm* openWindow(TCategory& on)
    {
        auto* window = new TImageListForm(scrapbook->categories());
        windows.append(window);
        window->setImageListServices({*scrapbook, loader, disks});
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
        EXPECT_TRUE(window->AttachTo(on));
        return window;
    }

    TImageListForm* openSearchWindow(std::initializer_list<std::int32_t> found)
    {
        ImageRecords records;
        for (const std::int32_t seqNo : found)
            records.push_back(scrapbook->images().ReadImage(seqNo));
        scrapbook->images().EndReadPass();
        scrapbook->categories().setSearchResults(std::move(records));
        return openWindow(*scrapbook->categories().searchResults());
    }

    static void selectAll(TImageListForm& window) { window.ImageListBox->selectAll(); }

    // Drags the selection of `source` and drops it on `target` with `modifiers` held; true when
    // the target took it.
    bool drag(TImageListForm& source, TImageListForm& target, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        bool dropped = false;
        TImageListDragDrop::runDrag = [&](QDrag& running, Qt::DropActions) {
            EXPECT_EQ(imageDrag().DragSourceWindow, &source) << "published before the drag runs";
            dropped = dropOn(target, *running.mimeData(), modifiers);
        };
        source.DragDropFiles1->DragDropFiles1DragDetect();
        EXPECT_TRUE(imageDrag().DragSourceWindow.isNull());
        EXPECT_TRUE(imageDrag().DropTargetWindow.isNull());
        return dropped;
    }

    // The categories of an image as the saved membership file has them.
    QList<std::int32_t> savedCategoriesOf(std::int32_t seqNo) const
    {
        QList<std::int32_t> ids = TCorrespondences(path(dir / "Default.cor")).CategoriesOfImage(seqNo);
        std::sort(ids.begin(), ids.end());
        return ids;
    }
    QList<std::int32_t> ids(std::initializer_list<const char*> names)
    {
        QList<std::int32_t> result;
        for (const char* name : names)
            result.append(category(name).CategoryId);
        std::sort(result.begin(), result.end());
        return result;
    }

    test::ScratchDir dir;
    fs::path pictures = dir / "pictures";
    std::unique_ptr<TScrapbook> scrapbook;
    TLoadPictureModule loader;
    NoDisks disks;
    ScopedScriptedMessages messages;
    QList<QPointer<TImageListForm>> windows;
    std::function<void(QDrag&, Qt::DropActions)> savedRunDrag;
};

TEST(DragOverEffect, FollowsTheRulesOfTheTargetAndTheSource)
{
    struct Case {
        const char* what;
        DragOverFacts facts;
        DropEffect effect;
    };
    const Case cases[] = {
        {"between two categories", {.fromCategoryWindow = true}, DropEffect::Move},
        {"between two categories with Ctrl", {.fromCategoryWindow = true, .copyDrag = true}, DropEffect::Copy},
        {"files from outside", {}, DropEffect::Copy},
        {"onto (unassigned)", {.targetIsUnassigned = true, .fromCategoryWindow = true}, DropEffect::None},
        {"files onto (unassigned)", {.targetIsUnassigned = true}, DropEffect::None},
        {"onto a search window", {.targetIsSearchWindow = true, .copyDrag = true}, DropEffect::None},
        {"onto the same category", {.fromCategoryWindow = true, .sameCategory = true}, DropEffect::None},
        {"out of (unassigned)", {.fromCategoryWindow = true, .sourceIsUnassigned = true}, DropEffect::Move},
        {"out of (unassigned) with Ctrl",
         {.fromCategoryWindow = true, .sourceIsUnassigned = true, .copyDrag = true},
         DropEffect::None},
    };
    for (const Case& c : cases)
        EXPECT_EQ(dragOverEffect(c.facts), c.effect) << c.what;
}

TEST_F(ImageListDrag, WithoutCtrlTheImagesMoveAndBothWindowsFollow)
{
    TImageListForm* cats = openWindow(category("cats"));
    TImageListForm* pets = openWindow(category("pets"));
    selectAll(*cats);
    EXPECT_TRUE(drag(*cats, *pets));

    EXPECT_EQ(cats->ImageListModel->rowCount(), 0);
    EXPECT_EQ(cats->StatusBar1->text(), "0 images");
    EXPECT_EQ(pets->ImageListModel->rowCount(), 3);
    EXPECT_EQ(pets->StatusBar1->text(), "3 images");
    EXPECT_EQ(savedCategoriesOf(1), ids({"pets"}));
    EXPECT_EQ(savedCategoriesOf(2), ids({"pets"}));
    EXPECT_TRUE(messages.texts().isEmpty());
}

TEST_F(ImageListDrag, WithCtrlTheImagesAreInBothCategories)
{
    TImageListForm* cats = openWindow(category("cats"));
    TImageListForm* pets = openWindow(category("pets"));
    selectAll(*cats);
    EXPECT_TRUE(drag(*cats, *pets, Qt::ControlModifier));

    EXPECT_EQ(cats->StatusBar1->text(), "2 images");
    EXPECT_EQ(pets->StatusBar1->text(), "3 images");
    EXPECT_EQ(savedCategoriesOf(1), ids({"cats", "pets"}));
}

TEST_F(ImageListDrag, DropsOnTheSameCategoryUnassignedOrASearchWindowAreRefused)
{
    TImageListForm* cats = openWindow(category("cats"));
    TImageListForm* otherCats = openWindow(category("cats"));
    TImageListForm* unassigned = openWindow(*scrapbook->categories().FindCategory(unassignedId()));
    TImageListForm* search = openSearchWindow({3});
    const QByteArray membershipsBefore = QByteArray::fromStdString(test::readFile(dir / "Default.cor"));
    selectAll(*cats);
    for (TImageListForm* target : {cats, otherCats, unassigned, search}) {
        for (const Qt::KeyboardModifiers modifiers : {Qt::NoModifier, Qt::ControlModifier})
            EXPECT_FALSE(drag(*cats, *target, modifiers)) << target->windowTitle().toStdString();
    }
    EXPECT_EQ(cats->StatusBar1->text(), "2 images");
    EXPECT_EQ(unassigned->StatusBar1->text(), "2 images");
    EXPECT_EQ(search->StatusBar1->text(), "1 images");
    EXPECT_EQ(QByteArray::fromStdString(test::readFile(dir / "Default.cor")), membershipsBefore);
}

TEST_F(ImageListDrag, OutOfUnassignedImagesMoveButAreNeverCopied)
{
    TImageListForm* unassigned = openWindow(*scrapbook->categories().FindCategory(unassignedId()));
    TImageListForm* pets = openWindow(category("pets"));
    selectAll(*unassigned);
    EXPECT_FALSE(drag(*unassigned, *pets, Qt::ControlModifier));
    EXPECT_EQ(pets->StatusBar1->text(), "1 images");

    EXPECT_TRUE(drag(*unassigned, *pets));
    EXPECT_EQ(unassigned->StatusBar1->text(), "0 images");
    EXPECT_EQ(pets->StatusBar1->text(), "3 images");
    EXPECT_EQ(savedCategoriesOf(4), ids({"pets"}));
    EXPECT_EQ(savedCategoriesOf(5), ids({"pets"}));
}

TEST_F(ImageListDrag, FromASearchWindowImagesAreCopiedAndLeaveUnassigned)
{
    TImageListForm* search = openSearchWindow({1, 4});
    TImageListForm* unassigned = openWindow(*scrapbook->categories().FindCategory(unassignedId()));
    TImageListForm* pets = openWindow(category("pets"));
    selectAll(*search);
    EXPECT_TRUE(drag(*search, *pets));

    EXPECT_EQ(search->StatusBar1->text(), "2 images") << "a search window gives nothing away";
    EXPECT_EQ(pets->StatusBar1->text(), "3 images");
    EXPECT_EQ(unassigned->StatusBar1->text(), "1 images");
    EXPECT_EQ(savedCategoriesOf(1), ids({"cats", "pets"}));
    EXPECT_EQ(savedCategoriesOf(4), ids({"pets"}));
}

TEST_F(ImageListDrag, OutsideTheProgramTheFilesAreOfferedForCopyingOnly)
{
    TImageListForm* cats = openWindow(category("cats"));
    selectAll(*cats);
    QList<QUrl> offered;
    Qt::DropActions actions;
    TImageListDragDrop::runDrag = [&](QDrag& running, Qt::DropActions allowed) {
        offered = running.mimeData()->urls();
        actions = allowed;
        // A file manager takes the data and reports a move: the program does nothing about it.
    };
    cats->DragDropFiles1->DragDropFiles1DragDetect();

    EXPECT_EQ(offered, (QList<QUrl>{QUrl::fromLocalFile(path(pictures / "1.png")),
                                    QUrl::fromLocalFile(path(pictures / "2.png"))}));
    EXPECT_EQ(actions, Qt::CopyAction | Qt::LinkAction) << "never a move";
    EXPECT_EQ(cats->StatusBar1->text(), "2 images");
    EXPECT_TRUE(fs::exists(pictures / "1.png"));
    EXPECT_EQ(savedCategoriesOf(1), ids({"cats"}));
}

// Files dropped by a file manager: a drop of their URLs, added once the drop has returned.
class FileDrop : public ImageListDrag {
protected:
    // A real picture, written by ImageMagick.
    fs::path picture(const fs::path& file)
    {
        fs::create_directories(file.parent_path());
        const std::string command = "convert -size 12x8 xc:orange '" + file.string() + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return file;
    }

    // Drops the files on the window as a file manager would; true when the window took them.
    // The files are added by the events that follow the drop.
    bool dropFiles(TImageListForm& target, const QList<fs::path>& files)
    {
        QList<QUrl> urls;
        for (const fs::path& file : files)
            urls.append(QUrl::fromLocalFile(path(file)));
        QMimeData data;
        data.setUrls(urls);
        const QString before = target.StatusBar1->text();
        const bool taken = dropOn(target, data);
        EXPECT_EQ(target.StatusBar1->text(), before) << "nothing is added while the drop runs";
        QCoreApplication::processEvents();
        return taken;
    }

    static QStringList pathsIn(const TImageListForm& window)
    {
        QStringList paths;
        for (int row = 0; row < window.ImageListModel->rowCount(); ++row)
            paths.append(window.ImageListModel->record(row)->IT_Path);
        paths.sort();
        return paths;
    }

    int savedImageCount(const char* name)
    {
        return TCorrespondences(path(dir / "Default.cor")).CategoryImageCount(category(name).CategoryId);
    }

    fs::path dropped = dir / "dropped";
};

TEST_F(FileDrop, AFolderGivesItsPicturesWithItsSubfoldersAndOtherFilesArePassedOver)
{
    TImageListForm* pets = openWindow(category("pets"));
    const fs::path a = picture(dropped / "a.png");
    const fs::path b = picture(dropped / "deeper" / "b.gif");
    test::writeFile(dropped / "notes.txt", "not a picture");
    test::writeFile(dropped / "deeper" / "readme", "no type at all");
    const fs::path loose = picture(dir / "loose.png");
    test::writeFile(dir / "loose.txt", "not a picture");

    EXPECT_TRUE(dropFiles(*pets, {dropped, loose, dir / "loose.txt"}));

    EXPECT_EQ(pathsIn(*pets), QStringList({path(a), path(b), path(loose), path(pictures / "3.png")}));
    EXPECT_EQ(pets->StatusBar1->text(), "4 images");
    EXPECT_EQ(savedImageCount("pets"), 4);
    EXPECT_TRUE(messages.texts().isEmpty());
}

TEST_F(FileDrop, ALinkGivesItsTargetAndALinkToAFolderItsPictures)
{
    TImageListForm* pets = openWindow(category("pets"));
    const fs::path target = picture(dir / "elsewhere" / "target.png");
    fs::create_directories(dropped);
    fs::create_symlink(target, dropped / "link.png");
    const fs::path inFolder = picture(dir / "folder" / "inside.png");
    fs::create_directory_symlink(dir / "folder", dir / "folder-link");
    fs::create_symlink(dir / "nowhere.png", dropped / "dangling.png");

    EXPECT_TRUE(dropFiles(*pets, {dropped / "link.png", dir / "folder-link", dropped / "dangling.png"}));

    EXPECT_EQ(pathsIn(*pets), QStringList({path(target), path(inFolder), path(pictures / "3.png")}));
    EXPECT_EQ(savedImageCount("pets"), 3);
    EXPECT_TRUE(messages.texts().isEmpty()) << "a link that leads nowhere is passed over";
}

TEST_F(FileDrop, ARefusedFileIsToldAfterTheOthersAreAddedAndSaved)
{
    TImageListForm* unassigned = openWindow(*scrapbook->categories().FindCategory(unassignedId()));
    TImageListForm* pets = openWindow(category("pets"));
    const fs::path first = picture(dropped / "first.png");
    test::writeFile(dropped / "broken.png", "no picture");
    const fs::path last = picture(dropped / "last.png");
    int savedWhenTold = -1;
    messages.answer([&](const Message&) {
        savedWhenTold = savedImageCount("pets");
        return MessageButton::Ok;
    });

    EXPECT_TRUE(dropFiles(*pets, {first, dropped / "broken.png", last, pictures / "4.png"}));

    ASSERT_EQ(messages.shown().size(), 1);
    const Message& told = messages.shown().first().message;
    EXPECT_EQ(told.caption, "Load Error");
    EXPECT_EQ(told.icon, MessageIcon::Exclamation);
    const QString brokenLine = path(dropped / "broken.png") + "\n";
    EXPECT_TRUE(told.text.startsWith(brokenLine) && told.text.size() > brokenLine.size())
        << "the path, a line break and the reason: " << told.text.toStdString();
    EXPECT_EQ(savedWhenTold, 4) << "what the drop added is on disk before the box shows";
    EXPECT_EQ(pets->StatusBar1->text(), "4 images");
    EXPECT_EQ(unassigned->StatusBar1->text(), "1 images") << "the known image left (unassigned)";
    EXPECT_EQ(savedCategoriesOf(4), ids({"pets"}));
}

TEST_F(FileDrop, AStoreThatCannotBeWrittenEndsTheDropAndIsReported)
{
    TImageListForm* pets = openWindow(category("pets"));
    const fs::path first = picture(dropped / "first.png");
    const fs::path second = picture(dropped / "second.png");
    const QByteArray membershipsBefore = QByteArray::fromStdString(test::readFile(dir / "Default.cor"));
    {
        store::ScopedFaultHook diskFull([](store::FileOperation operation, const std::string& file) {
            return operation == store::FileOperation::Write && fs::path(file).extension() == ".idb" ? ENOSPC : 0;
        });
        EXPECT_TRUE(dropFiles(*pets, {first, second}));
    }

    QStringList errors;
    for (const ScriptedMessageService::Shown& shown : messages.shown()) {
        EXPECT_EQ(shown.message.icon, MessageIcon::Error) << shown.message.text.toStdString();
        errors.append(shown.message.text);
    }
    ASSERT_FALSE(errors.isEmpty());
    EXPECT_TRUE(errors.last().startsWith(path(first) + "\n")) << errors.last().toStdString();
    EXPECT_TRUE(errors.last().contains("The drive is full")) << errors.last().toStdString();
    EXPECT_EQ(pathsIn(*pets), QStringList{path(pictures / "3.png")}) << "the drop ended at the first file";
    EXPECT_EQ(QByteArray::fromStdString(test::readFile(dir / "Default.cor")), membershipsBefore);
}

TEST_F(FileDrop, StoppedAddingKeepsWhatWasAdded)
{
    const QList<fs::path> files = {picture(dropped / "a.png"), picture(dropped / "b.png"), picture(dropped / "c.png")};
    QStringList paths;
    for (const fs::path& file : files)
        paths.append(path(file));
    const FileAdding adding{scrapbook->images(), scrapbook->categories(), scrapbook->disks(), loader, disks};
    QList<qsizetype> told;
    const FileDropOutcome outcome = AddDroppedFiles(adding, category("pets"), paths, [&](qsizetype done) {
        told.append(done);
        return done < 2; // Stop pressed while the second file was added
    });

    EXPECT_EQ(told, (QList<qsizetype>{1, 2}));
    EXPECT_TRUE(outcome.stopped);
    EXPECT_EQ(outcome.added, 2);
    EXPECT_TRUE(outcome.loadErrors.isEmpty());
    EXPECT_TRUE(outcome.failure.isEmpty());
    EXPECT_EQ(scrapbook->categories().memberships().CategoryImageCount(category("pets").CategoryId), 3);
}

TEST_F(FileDrop, UnassignedAndSearchWindowsRefuseFiles)
{
    TImageListForm* unassigned = openWindow(*scrapbook->categories().FindCategory(unassignedId()));
    TImageListForm* search = openSearchWindow({3});
    const fs::path file = picture(dropped / "new.png");
    const QByteArray membershipsBefore = QByteArray::fromStdString(test::readFile(dir / "Default.cor"));
    for (TImageListForm* target : {unassigned, search})
        EXPECT_FALSE(dropFiles(*target, {file})) << target->windowTitle().toStdString();
    EXPECT_EQ(unassigned->StatusBar1->text(), "2 images");
    EXPECT_EQ(search->StatusBar1->text(), "1 images");
    EXPECT_EQ(QByteArray::fromStdString(test::readFile(dir / "Default.cor")), membershipsBefore);
}

TEST(ImageDragData, CarriesEachPathsExactBytes)
{
    TImageElement odd;
    odd.IT_Path = QByteArray("/pictures/caf\xe9 & 100%.png"); // Latin-1, not UTF-8
    TImageElement plain;
    plain.IT_Path = QByteArray("/pictures/a b.png");
    std::unique_ptr<QMimeData> data(imageDragData({odd, plain}, "mark"));
    EXPECT_EQ(data->data("text/uri-list"),
              QByteArray("file:///pictures/caf%E9%20%26%20100%25.png\r\nfile:///pictures/a%20b.png\r\n"));
    ASSERT_EQ(data->urls().size(), 2);
    EXPECT_EQ(data->urls().at(1).toLocalFile(), "/pictures/a b.png");
}

TEST_F(ImageListDrag, APressedButtonDragsOnlyAfterFivePixelsAndNeverExtendsTheSelection)
{
    TImageListForm* cats = openWindow(category("cats"));
    int drags = 0;
    QList<QUrl> offered;
    TImageListDragDrop::runDrag = [&](QDrag& running, Qt::DropActions) {
        ++drags;
        offered = running.mimeData()->urls();
    };
    QWidget* list = cats->ImageListBox->viewport();
    const QPoint first = cats->ImageListBox->visualRect(cats->ImageListModel->index(0)).center();
    const QPoint second = cats->ImageListBox->visualRect(cats->ImageListModel->index(1)).center();
    QTest::mousePress(list, Qt::LeftButton, Qt::NoModifier, first);
    QTest::mouseMove(list, first + QPoint(3, 2));
    EXPECT_EQ(drags, 0) << "five pixels are not yet a drag";
    QTest::mouseMove(list, second);
    EXPECT_EQ(drags, 1);
    EXPECT_EQ(offered, QList<QUrl>{QUrl::fromLocalFile(path(pictures / "1.png"))})
        << "moving over the second item did not select it";
    EXPECT_EQ(cats->SelectedRecords().size(), 1);
    QTest::mouseRelease(list, Qt::LeftButton, Qt::NoModifier, second);
}

} // namespace
} // namespace glimmora
