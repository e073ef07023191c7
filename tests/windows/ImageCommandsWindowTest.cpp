// The category window's commands on its selected images over a real scrapbook: the target
// checks and their texts, the chooser behind "More categories...", deleting from a category and
// from the scrapbook, memos, the slideshow's order and the file move window. What a command
// reports done is read back from the saved files while the window is still open.

#include "catalog/Categories.h"
#include "catalog/Correspondences.h"
#include "catalog/ImageCommands.h"
#include "catalog/ImageElementForm.h"
#include "catalog/RemoveableMediaList.h"
#include "catalog/Scrapbook.h"
#include "dialogs/NewWindow.h"
#include "files/FileMove.h"
#include "files/FolderTree.h"
#include "import/LoadPicture.h"
#include "platform/MessageService.h"
#include "windows/ImageList.h"
#include "windows/ImageListModel.h"
#include "windows/MemoEntry.h"

#include "ModalDriver.h"
#include "Scratch.h"
#include "ScrapbookWriter.h"

// Qt
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

namespace glimmora {
namespace {

namespace fs = std::filesystem;

class NoDisks : public DiskDescriptionPrompt {
public:
    QString askDescription(const NewDiskDetails&) override { return QStringLiteral("disk"); }
};

class ImageCommandsWindow : public ::testing::Test {
protected:
    ImageCommandsWindow()
    {
        fs::create_directories(pictures);
        QList<test::ImageSpec> specs;
        for (int i = 1; i <= 5; ++i) {
            const fs::path file = pictures / (std::to_string(i) + ".png");
            test::writeFile(file, "picture");
            specs.append({path(file), i == 1 ? QStringList{"trees", "garden"} : QStringList{"trees"}, " cat "});
        }
        test::writeScrapbook(path(dir / "Default"), specs, {"birds"});
        scrapbook = std::make_unique<TScrapbook>(path(dir.path()), TScrapbook::Access::ReadWrite);
    }

    ~ImageCommandsWindow() override
    {
        for (const auto& window : windows)
            delete window.data();
    }

    static QString path(const fs::path& p) { return QString::fromStdString(p.string()); }

    TCategory& category(const char* name)
    {
        return *scrapbook->categories().FindOrAddCategory(QString::fromUtf8(name), true).first;
    }

    TImageListForm* openWindow(TCategory& on)
    {
        auto* window = new TImageListForm(scrapbook->categories());
        windows.append(window);
        window->setImageListServices({*scrapbook, loader, diskPrompt});
        window->AddSlides = [this](const QStringList& paths) { slides += paths; };
        window->SlideshowConnected = [] { return true; };
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
        EXPECT_TRUE(window->AttachTo(on));
        return window;
    }

    static void select(TImageListForm& window, std::initializer_list<int> rows)
    {
        window.ImageListBox->clearSelection();
        for (const int row : rows)
            window.ImageListBox->selectionModel()->select(window.ImageListModel->index(row),
                                                          QItemSelectionModel::Select);
        window.ImageListBox->selectionModel()->setCurrentIndex(window.ImageListModel->index(*rows.begin()),
                                                               QItemSelectionModel::NoUpdate);
    }

    static QAction* submenuItem(QMenu* menu, const QString& caption)
    {
        for (QAction* item : menu->actions())
            if (item->text() == caption)
                return item;
        return nullptr;
    }

    // The categories of an image as the saved membership file has them.
    QList<std::int32_t> savedCategoriesOf(std::int32_t seqNo) const
    {
        return TCorrespondences(path(dir / "Default.cor")).CategoriesOfImage(seqNo);
    }

    QString savedMemo(std::int32_t seqNo) const
    {
        TCorrespondences memberships(path(dir / "Default.cor"));
        TCategories categories(path(dir / "Default.cat"), memberships);
        TImageElementForm images(path(dir / "Default.idb"), categories, TImageElementForm::Access::ReadOnly);
        return images.ReadImage(seqNo)->IT_Memo;
    }

    test::ScratchDir dir;
    fs::path pictures = dir / "pictures";
    std::unique_ptr<TScrapbook> scrapbook;
    TLoadPictureModule loader;
    NoDisks diskPrompt;
    ScopedScriptedMessages messages;
    QStringList slides;
    QList<QPointer<TImageListForm>> windows;
};

TEST_F(ImageCommandsWindow, TargetsAreCheckedWithTheirTexts)
{
    TImageListForm* window = openWindow(category("trees"));
    select(*window, {1});
    window->PopupMenu1Popup();
    submenuItem(window->CopytoAnotherCategory2, "trees")->trigger();
    EXPECT_EQ(messages.texts(), QStringList{"You can't copy from a category to itself."});
    EXPECT_EQ(messages.beeps(), QList<MessageBeep>{MessageBeep::Exclamation});

    messages.clear();
    test::ModalDriver<TNewWindowForm> chooser([](TNewWindowForm& dialog) {
        EXPECT_EQ(dialog.Label1->text(), "Select the Category you want to move to:");
        dialog.ListBox1->setCurrentItem(dialog.ListBox1->findItems("(unassigned)", Qt::MatchExactly).first());
        dialog.BitBtn1->click();
    });
    window->Movetoanothercategory1Click();
    EXPECT_EQ(messages.texts(), QStringList{"You can't move to (unassigned).\rUse Delete instead."});
    EXPECT_EQ(savedCategoriesOf(2), QList<std::int32_t>{category("trees").CategoryId});
}

TEST_F(ImageCommandsWindow, MoreCategoriesOpensTheChooserAndMovesWithoutAsking)
{
    for (int i = 0; i < 50; ++i)
        scrapbook->categories().FindOrAddCategory(QStringLiteral("z%1").arg(i, 2, 10, QLatin1Char('0')), false);
    TImageListForm* window = openWindow(category("trees"));
    select(*window, {1, 2});
    window->PopupMenu1Popup();
    QAction* more = window->MovetoAnotherCategory2->actions().last();
    ASSERT_EQ(more->text(), "More categories...");
    test::ModalDriver<TNewWindowForm> chooser([](TNewWindowForm& dialog) {
        dialog.ListBox1->setCurrentItem(dialog.ListBox1->findItems("birds", Qt::MatchExactly).first());
        dialog.BitBtn1->click();
    });
    more->trigger();

    EXPECT_EQ(chooser.count, 1);
    EXPECT_TRUE(messages.texts().isEmpty()) << "a move through the chooser asks nothing";
    EXPECT_EQ(window->ImageListModel->rowCount(), 3);
    EXPECT_EQ(savedCategoriesOf(2), QList<std::int32_t>{category("birds").CategoryId});
}

TEST_F(ImageCommandsWindow, SubmenuMoveAsksFirst)
{
    TImageListForm* window = openWindow(category("trees"));
    select(*window, {1});
    window->PopupMenu1Popup();
    messages.answer(MessageButton::No);
    submenuItem(window->MovetoAnotherCategory2, "birds")->trigger();
    EXPECT_EQ(messages.texts(), QStringList{"Are you sure you want to move the selected images to birds?"});
    EXPECT_EQ(messages.shown().first().message.caption, "Confirm move");
    EXPECT_EQ(window->ImageListModel->rowCount(), 5);
}

TEST_F(ImageCommandsWindow, DeletingFromACategoryNeverLosesAnImagesLastCategory)
{
    TImageListForm* window = openWindow(category("trees"));
    select(*window, {0, 1}); // 1.png is in garden too, 2.png only here
    messages.answer(MessageButton::Yes);
    window->DeleteFromThisCategory1->trigger();

    EXPECT_EQ(messages.texts(),
              QStringList{"Are you sure you want to delete the selected items from the \"trees\" category?"});
    EXPECT_EQ(messages.shown().first().message.defaultButton, MessageButton::No);
    EXPECT_EQ(window->StatusBar1->text(), "3 images");
    EXPECT_EQ(savedCategoriesOf(1), QList<std::int32_t>{category("garden").CategoryId});
    EXPECT_EQ(savedCategoriesOf(2), QList<std::int32_t>{scrapbook->categories().UnassignedId()});
}

TEST_F(ImageCommandsWindow, DeletingFromTheScrapbookClearsEveryWindow)
{
    TImageListForm* trees = openWindow(category("trees"));
    TImageListForm* garden = openWindow(category("garden"));
    select(*trees, {0});
    messages.answer(MessageButton::Yes);
    trees->DeleteFromTheScrapbook1->trigger();

    EXPECT_EQ(messages.texts(), QStringList{"Are you sure you want to delete the selected items from the scrapbook?"});
    EXPECT_EQ(trees->ImageListModel->rowCount(), 4);
    EXPECT_EQ(garden->ImageListModel->rowCount(), 0);
    EXPECT_TRUE(savedCategoriesOf(1).isEmpty());
    EXPECT_TRUE(fs::exists(pictures / "1.png")) << "the picture file stays";
}

TEST_F(ImageCommandsWindow, MemoReplacesForOneAndAppendsForSeveral)
{
    TImageListForm* window = openWindow(category("trees"));
    auto enter = [](const QString& text) {
        return [text](TMemoEntryForm& dialog) {
            dialog.Edit1->setText(text);
            dialog.BitBtn1->click();
        };
    };
    {
        select(*window, {0});
        test::ModalDriver<TMemoEntryForm> dialog(enter(QString()));
        window->Memo1->trigger();
        EXPECT_EQ(savedMemo(1), "  ");
    }
    {
        select(*window, {1, 2});
        test::ModalDriver<TMemoEntryForm> dialog([](TMemoEntryForm& form) {
            EXPECT_EQ(form.Label1->text(), "Enter text to be APPENDED to the memo\nfield of each image selected.");
            EXPECT_TRUE(form.Edit1->text().isEmpty());
            form.Edit1->setText("dog");
            form.BitBtn1->click();
        });
        window->Memo1->trigger();
        EXPECT_EQ(savedMemo(2), " cat dog ");
        EXPECT_EQ(savedMemo(3), " cat dog ");
    }
}

TEST_F(ImageCommandsWindow, SlideshowGetsTheLastSelectedImageFirst)
{
    TImageListForm* window = openWindow(category("trees"));
    select(*window, {1, 4});
    window->AddImagesToSlideshow1->trigger();
    EXPECT_EQ(slides, (QStringList{path(pictures / "5.png"), path(pictures / "2.png")}));
}

TEST_F(ImageCommandsWindow, FileMoveWindowMovesAndTheCategoryWindowShowsTheNewPath)
{
    TImageListForm* window = openWindow(category("trees"));
    const fs::path destination = dir / "moved";
    fs::create_directories(destination);
    NoDisks disks;
    TFileMoveForm move({*window->ImageListModel->record(0)}, TransferMode::Move, *scrapbook, disks);
    EXPECT_EQ(move.windowTitle(), "Glimmora - File Move");
    EXPECT_EQ(move.InstructionLabel->text(), "Select a &Destination Directory and click OK to move file:");
    EXPECT_EQ(move.FileNameLabel->text(), "1.png");
    EXPECT_EQ(move.DestinationLabel->text(), path(pictures)) << "the image's own directory is selected";
    EXPECT_TRUE(move.OkBtn->isEnabled());

    move.FolderTree->SelectPath(path(destination));
    messages.answer(MessageButton::Yes);
    move.OkBtnClick();

    EXPECT_EQ(messages.texts(),
              (QStringList{"Are you sure you want to move  the selected image to directory " + path(destination) + "?",
                           "File 1.png has been moved to directory: " + path(destination) + "."}));
    EXPECT_EQ(move.result(), QDialog::Accepted);
    EXPECT_EQ(shownPath(*window->ImageListModel->record(0)), path(destination / "1.png"));
}

TEST(ImageCommandTexts, OpeningFailuresAreTheSystemsTexts)
{
    const QString file = "/p/a.xyz";
    EXPECT_EQ(shellOpenFailureText(31, file), "There is no application associated with file /p/a.xyz");
    EXPECT_EQ(shellOpenFailureText(2, file), "File /p/a.xyz not found.");
    EXPECT_EQ(shellOpenFailureText(15, file), "Unable to run the application associated with /p/a.xyz.");
    EXPECT_TRUE(shellOpenFailureText(33, file).isEmpty());
    EXPECT_TRUE(shellOpenFailureText(32, file).isEmpty()) << "32 and above are a success";
}

} // namespace
} // namespace glimmora
