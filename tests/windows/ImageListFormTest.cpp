// The category window over a real scrapbook: attaching and captions, width and columns, the
// category box, the keyboard, and what a screen reader is told.

#include "catalog/Categories.h"
#include "catalog/Correspondences.h"
#include "catalog/ImageElementForm.h"
#include "platform/HelpWindow.h"
#include "windows/ImageList.h"
#include "windows/ImageListModel.h"

#include "Scratch.h"
#include "ScrapbookWriter.h"

// Qt
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace glimmora {
namespace {

using test::ImageSpec;

// A scrapbook of three categories opened as the program opens it.
class CategoryWindow : public ::testing::Test {
protected:
    TCategory& category(const char* name) { return *categories.FindOrAddCategory(QString::fromUtf8(name), true).first; }

    // A window shown and attached to a category, as the main window opens one.
    TImageListForm* openWindow(TCategory& on)
    {
        auto* window = new TImageListForm(categories);
        windows.append(window);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
        EXPECT_TRUE(window->AttachTo(on));
        return window;
    }

    static QStringList itemTexts(const TImageListForm& window)
    {
        QStringList texts;
        for (int row = 0; row < window.ImageListModel->rowCount(); ++row)
            texts.append(window.ImageListModel->text(row));
        return texts;
    }

    static void settle() { QTest::qWait(50); }

    // The scrapbook's files are written before the catalogue below reads them.
    static bool writeScrapbook(const QString& base)
    {
        test::writeScrapbook(base,
                             {
                                 {"/pictures/trees/oak.jpg", {"trees"}},
                                 {"/pictures/trees/Birch.png", {"trees", "garden"}},
                                 {"/pictures/trees/ash.gif", {"trees"}, QString(), QSize()},
                                 {"/pictures/rose.png", {"garden"}},
                             },
                             {"birds"});
        return true;
    }

    test::ScratchDir dir;
    QString base = QString::fromStdString((dir / "Default").string());
    bool written = writeScrapbook(base);
    TCorrespondences memberships{base + ".cor"};
    TCategories categories{base + ".cat", memberships};
    TImageElementForm images{base + ".idb", categories};
    QList<QPointer<TImageListForm>> windows;

    ~CategoryWindow() override
    {
        for (const auto& window : windows)
            delete window.data();
    }
};

TEST_F(CategoryWindow, AttachingListsTheImagesSortedWithCaptionAndCount)
{
    TImageListForm* window = openWindow(category("trees"));
    EXPECT_EQ(itemTexts(*window), (QStringList{"ash.gif", "Birch.png", "oak.jpg"})) << "sorted ignoring case";
    EXPECT_EQ(window->windowTitle(), QStringLiteral("trees"));
    EXPECT_EQ(window->StatusBar1->text(), QStringLiteral("3 images"));
    EXPECT_EQ(window->CategoryComboBox->count(), 1);
    EXPECT_EQ(window->CategoryComboBox->currentText(), QStringLiteral("trees"));
    EXPECT_TRUE(window->ImageListBox->isEnabled());
    EXPECT_TRUE(window->AcceptsDroppedFiles);

    TImageListForm* garden = openWindow(category("garden"));
    categories.RemoveImageFromCategory(category("garden"), *category("garden").ImageElementList->back());
    EXPECT_EQ(garden->StatusBar1->text(), QStringLiteral("1 images"));
}

TEST_F(CategoryWindow, ASecondWindowNumbersBothAndClosingOneRenamesTheOther)
{
    TImageListForm* first = openWindow(category("trees"));
    TImageListForm* second = openWindow(category("trees"));
    EXPECT_EQ(first->windowTitle(), QStringLiteral("trees (1)"));
    EXPECT_EQ(second->windowTitle(), QStringLiteral("trees (2)"));
    QSignalSpy closed(second, &TImageListForm::closed);
    second->close();
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(first->windowTitle(), QStringLiteral("trees"));
    EXPECT_EQ(category("trees").ImageListList.size(), 1);
}

TEST_F(CategoryWindow, ASearchWindowHidesTheBoxAndTheCommandsThatTakeImagesOut)
{
    ImageRecords found;
    found.push_back(images.ReadImage(1));
    images.EndReadPass();
    categories.setSearchResults(std::move(found));
    TImageListForm* window = openWindow(*categories.searchResults());
    EXPECT_TRUE(window->IsSearchWindow);
    EXPECT_FALSE(window->CategoryComboBox->isVisible());
    EXPECT_FALSE(window->MovetoAnotherCategory1->isVisible());
    EXPECT_FALSE(window->DeleteFromThisCategory1->isVisible());
    EXPECT_FALSE(window->DeleteFromThisCategory2->isVisible());
    EXPECT_FALSE(window->AcceptsDroppedFiles);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Search Results"));
}

TEST_F(CategoryWindow, ANewWindowSettlesAtThreeColumnsAndWidthsSnapToWholeCells)
{
    TImageListForm* window = openWindow(category("trees"));
    settle();
    EXPECT_EQ(window->width(), 228);
    for (const auto& [asked, settled] : {std::pair{170, 156}, {190, 228}, {265, 228}, {266, 304}, {100, 156}}) {
        window->resize(asked, window->height());
        settle();
        EXPECT_EQ(window->width(), settled) << "asked for " << asked;
        EXPECT_EQ(window->ImageListBox->width(), settled);
    }
}

TEST_F(CategoryWindow, TheColumnMenuChecksTheCurrentCountAndChangesIt)
{
    TImageListForm* window = openWindow(category("trees"));
    settle();
    window->Columns1Click();
    ASSERT_TRUE(window->ColumnItems.at(1)->isChecked()) << "3 columns";
    window->ColumnItems.at(3)->trigger(); // "&5 columns"
    settle();
    EXPECT_EQ(window->width(), 5 * 76);
    window->Columns1Click();
    EXPECT_TRUE(window->ColumnItems.at(3)->isChecked());
    window->ColumnItems.at(3)->trigger(); // the checked item: nothing
    settle();
    EXPECT_EQ(window->width(), 5 * 76);
    EXPECT_TRUE(window->ColumnItems.at(3)->isChecked());

    window->resize(12 * 76, window->height());
    settle();
    window->Columns1Click();
    EXPECT_TRUE(window->ColumnItems.at(0)->isChecked()) << "wider than eleven cells shows 2 columns checked";
}

TEST_F(CategoryWindow, DownDownEnterInTheOpenBoxSwitchesOnceToTheItemReached)
{
    TImageListForm* window = openWindow(category("birds"));
    QSignalSpy switches(window, &QWidget::windowTitleChanged);
    window->CategoryComboBox->showPopup();
    QWidget* list = window->CategoryComboBox->view();
    ASSERT_EQ(window->CategoryComboBox->currentText(), QStringLiteral("birds")) << "the box names its own category";
    // Sorted: (unassigned), birds, garden, trees.
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(switches.count(), 0) << "moving through the open list switches nothing";
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(switches.count(), 1);
    EXPECT_EQ(window->Category, &category("trees"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("trees"));
    EXPECT_EQ(window->StatusBar1->text(), QStringLiteral("3 images"));
    EXPECT_TRUE(category("birds").ImageListList.isEmpty());
    EXPECT_FALSE(category("birds").imagesLoaded()) << "its last window left it";
}

TEST_F(CategoryWindow, WindowKeysReachTheMainWindowBeforeTheWindowsOwnMenus)
{
    TImageListForm* window = openWindow(category("trees"));
    window->activateWindow();
    window->ImageListBox->setFocus();
    QSignalSpy search(window, &TImageListForm::keywordSearchRequested);
    QSignalSpy menus(window, &TImageListForm::mainMenuRequested);
    QTest::keyClick(window->ImageListBox, Qt::Key_F, Qt::ControlModifier);
    QTest::keyClick(window->ImageListBox, Qt::Key_C, Qt::AltModifier); // not the window's "&Columns"
    QTest::keyClick(window->ImageListBox, Qt::Key_H, Qt::AltModifier);
    EXPECT_EQ(search.count(), 1);
    ASSERT_EQ(menus.count(), 2);
    EXPECT_EQ(menus.at(0).at(0).value<QChar>(), QLatin1Char('C'));
    EXPECT_EQ(menus.at(1).at(0).value<QChar>(), QLatin1Char('H'));

    QTest::keyClick(window->ImageListBox, Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_TRUE(window->PopupMenu1->isVisible());
    window->PopupMenu1->hide();

    QTest::keyClick(window->ImageListBox, Qt::Key_F1);
    EXPECT_EQ(HelpWindow::currentTopic(), 1000);
    HelpWindow::quit();
}

TEST_F(CategoryWindow, KeyboardSelectionLeavesCommandsOfLaterWorkDisabled)
{
    TImageListForm* window = openWindow(category("trees"));
    window->ImageListBox->setFocus();
    QTest::keyClick(window->ImageListBox, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(window->SelectedRecords().size(), 3);
    EXPECT_EQ(window->SelectedRecords().first()->IT_Path, QStringLiteral("/pictures/trees/ash.gif"));
    QTest::keyClick(window->ImageListBox, Qt::Key_End);
    ASSERT_EQ(window->SelectedRecords().size(), 1);
    EXPECT_EQ(window->SelectedRecords().first()->IT_Path, QStringLiteral("/pictures/trees/oak.jpg"));
    window->PopupMenu1Popup();
    for (QAction* command : {window->ShowDetail1, window->MovetoAnotherCategory1, window->OpenSelectedImage1,
                             window->Memo1, window->ShowDetail2})
        EXPECT_FALSE(command->isEnabled()) << command->text().toStdString();
}

TEST_F(CategoryWindow, AScreenReaderIsToldEachCellsFileName)
{
    TImageListForm* window = openWindow(category("trees"));
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(window->ImageListBox);
    ASSERT_NE(list, nullptr);
    QStringList names;
    for (int i = 0; i < list->childCount(); ++i)
        names.append(list->child(i)->text(QAccessible::Name));
    EXPECT_TRUE(names.contains(QStringLiteral("Birch.png"))) << names.join(',').toStdString();
    EXPECT_TRUE(names.contains(QStringLiteral("oak.jpg")));
}

TEST_F(CategoryWindow, RenamingShowsTheNewNameInEveryWindowOfTheCategory)
{
    TImageListForm* first = openWindow(category("trees"));
    TImageListForm* second = openWindow(category("trees"));
    categories.RenameCategory(category("trees"), QStringLiteral("forest"));
    EXPECT_EQ(first->windowTitle(), QStringLiteral("forest (1)"));
    EXPECT_EQ(second->windowTitle(), QStringLiteral("forest (2)"));
    EXPECT_EQ(second->CategoryComboBox->currentText(), QStringLiteral("forest"));
    EXPECT_EQ(second->CategoryComboBox->count(), 1);
}

TEST_F(CategoryWindow, DeletingTheCategoryClosesItsWindows)
{
    QPointer<TImageListForm> window = openWindow(category("garden"));
    QSignalSpy closed(window.data(), &TImageListForm::closed);
    categories.DeleteCategory(&category("garden"), false);
    EXPECT_EQ(closed.count(), 1);
    EXPECT_TRUE(window.isNull() || window->Category == nullptr);
}

} // namespace
} // namespace glimmora
