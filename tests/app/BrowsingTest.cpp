// The main window's browsing commands over a real scrapbook: category windows and the
// "&Window" menu, cascading, the memo search, and the category commands saving at once.

#include "app/FindDialog.h"
#include "app/Main.h"
#include "catalog/Categories.h"
#include "catalog/Correspondences.h"
#include "dialogs/CategoryDelete.h"
#include "dialogs/NewCategory.h"
#include "dialogs/NewWindow.h"
#include "platform/MessageService.h"
#include "windows/ImageList.h"
#include "windows/ImageListModel.h"

#include "ModalDriver.h"
#include "Scratch.h"
#include "ScrapbookWriter.h"

// Qt
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace glimmora {
namespace {

class Browsing : public ::testing::Test {
protected:
    Browsing()
    {
        qputenv("GLIMMORA_DATA_DIR", QByteArray::fromStdString(dir.path().string()));
        test::writeScrapbook(base, {
                                       {"/pictures/oak.jpg", {"trees"}, " tall old oak "},
                                       {"/pictures/birch.jpg", {"trees", "garden"}, " white bark "},
                                       {"/pictures/rose.png", {"garden"}, " red rose by the oak "},
                                   });
        form = std::make_unique<TMainForm>();
    }

    ~Browsing() override
    {
        form.reset();
        for (QWidget* window : QApplication::topLevelWidgets())
            if (qobject_cast<TImageListForm*>(window))
                window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    TCategory& category(const char* name)
    {
        return *form->Categories->FindOrAddCategory(QString::fromUtf8(name), true).first;
    }

    // The category names the saved category file holds.
    QStringList savedNames() const
    {
        TCorrespondences memberships(base + ".cor");
        TCategories categories(base + ".cat", memberships);
        QStringList names;
        for (const TCategory* c : categories.FillCategoryList())
            names.append(c->CategoryName);
        return names;
    }

    void search(const QString& text)
    {
        form->KeywordSearch1Click();
        form->FindDialog1->FindEdit->setText(text);
        form->FindDialog1->FindButton->click();
    }

    test::ScratchDir dir;
    QString base = QString::fromStdString((dir / "Default").string());
    ScopedScriptedMessages messages;
    std::unique_ptr<TMainForm> form;
};

TEST_F(Browsing, NineWindowsAreListedAndNewWindowsStopAtEight)
{
    for (int open = 1; open <= 9; ++open) {
        ASSERT_NE(form->CreateImageListForm(category("trees")), nullptr);
        EXPECT_EQ(form->NewWindow1->isEnabled(), open < 8) << open << " windows";
        EXPECT_EQ(form->sbNewWindow->isEnabled(), open < 8) << open << " windows";
    }
    form->Window1Click();
    EXPECT_TRUE(form->Window1Divider->isVisible());
    EXPECT_TRUE(form->Cascade1->isEnabled());
    for (int i = 0; i < 9; ++i) {
        EXPECT_TRUE(form->windowItems.at(i)->isVisible());
        EXPECT_EQ(form->windowItems.at(i)->text(), QStringLiteral("&%1 trees (%1)").arg(i + 1));
    }
    ASSERT_EQ(form->WindowList.size(), 9);
    form->windowItems.at(4)->trigger();
    EXPECT_TRUE(QTest::qWaitForWindowActive(form->WindowList.at(4)));
}

TEST_F(Browsing, TheDeleteAndRenameChoosersNeverOfferUnassigned)
{
    QList<QStringList> offered;
    test::ModalDriver<TNewWindowForm> chooser([&](TNewWindowForm& dialog) {
        QStringList names;
        for (int row = 0; row < dialog.ListBox1->count(); ++row)
            names.append(dialog.ListBox1->item(row)->text());
        offered.append(names);
        dialog.reject();
    });
    form->DeleteaCategory1Click();
    form->RenameaCategory1Click();
    EXPECT_EQ(offered, (QList<QStringList>{{"garden", "trees"}, {"garden", "trees"}}));
}

TEST_F(Browsing, AMemoSearchFindsNothingWithItsSorryOrReplacesTheLastResults)
{
    search(QStringLiteral("elephant"));
    EXPECT_EQ(messages.texts(), QStringList{"Sorry, no images were found with the selected memo string."});
    EXPECT_EQ(messages.beeps(), QList<MessageBeep>{MessageBeep::Exclamation});
    EXPECT_FALSE(form->FindDialog1->isVisible());
    EXPECT_TRUE(form->SearchResultsWindow.isNull());

    search(QStringLiteral("  OAK "));
    QPointer<TImageListForm> first = form->SearchResultsWindow;
    ASSERT_FALSE(first.isNull());
    EXPECT_EQ(first->windowTitle(), QStringLiteral("Search Results"));
    EXPECT_EQ(first->ImageListModel->rowCount(), 2);

    search(QStringLiteral("bark"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull()) << "the second search closes the first window";
    ASSERT_FALSE(form->SearchResultsWindow.isNull());
    EXPECT_EQ(form->SearchResultsWindow->ImageListModel->rowCount(), 1);
    EXPECT_EQ(form->Categories->searchResults()->ImageListList.size(), 1);
}

TEST_F(Browsing, CascadingMovesOnlyTheNormalWindows)
{
    form->show();
    TImageListForm* normal = form->CreateImageListForm(category("trees"));
    TImageListForm* minimized = form->CreateImageListForm(category("garden"));
    normal->move(300, 300);
    minimized->showMinimized();
    const QPoint minimizedAt = minimized->pos();
    form->Cascade1Click();
    const int f = form->frameGeometry().height() - form->centralWidget()->height();
    EXPECT_EQ(normal->pos(), QPoint(0, f));
    EXPECT_EQ(minimized->pos(), minimizedAt);
}

TEST_F(Browsing, KeysInACategoryWindowReachTheMainWindow)
{
    form->show();
    TImageListForm* window = form->CreateImageListForm(category("trees"));
    QTest::keyClick(window->ImageListBox, Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(form->FindDialog1->isVisible());
    form->FindDialog1->close();
    QTest::keyClick(window->ImageListBox, Qt::Key_W, Qt::AltModifier);
    EXPECT_EQ(form->menuBar()->activeAction(), form->Window1->menuAction());
    form->Window1->close();
}

TEST_F(Browsing, ANewCategoryOpensItsWindowAndIsSavedAtOnce)
{
    test::ModalDriver<TNewCategoryForm> dialog([](TNewCategoryForm& d) {
        QTest::keyClicks(d.Edit1, QStringLiteral("Lakes"));
        d.BitBtn2->click();
    });
    form->NewCategory1Click();
    ASSERT_EQ(dialog.count, 1);
    EXPECT_EQ(savedNames(), (QStringList{"(unassigned)", "trees", "garden", "lakes"}));
    EXPECT_EQ(category("lakes").ImageListList.size(), 1);
}

TEST_F(Browsing, ADeletedCategoryIsSavedAtOnceAndItsWindowsClose)
{
    QPointer<TImageListForm> window = form->CreateImageListForm(category("garden"));
    test::ModalDriver<TNewWindowForm> chooser([](TNewWindowForm& d) {
        d.ListBox1->setCurrentRow(0); // "garden"
        d.BitBtn1->click();
    });
    test::ModalDriver<TCategoryDeleteForm> confirm([](TCategoryDeleteForm& d) { d.BitBtn1->click(); });
    messages.answer(MessageButton::Yes);
    form->DeleteaCategory1Click();
    EXPECT_EQ(savedNames(), (QStringList{"(unassigned)", "trees"}));
    EXPECT_EQ(TCorrespondences(base + ".cor").pairs(), (QList<Membership>{{1, 1}, {1, 2}, {0, 3}}));
    EXPECT_TRUE(window.isNull() || window->Category == nullptr);
}

} // namespace
} // namespace glimmora
