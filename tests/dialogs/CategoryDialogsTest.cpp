// The category chooser, the new-category and rename dialog and the delete dialog over a real
// scrapbook, with their messages read from the message service.

#include "catalog/Categories.h"
#include "catalog/Correspondences.h"
#include "catalog/ImageElementForm.h"
#include "dialogs/CategoryDelete.h"
#include "dialogs/NewCategory.h"
#include "dialogs/NewWindow.h"
#include "platform/MessageService.h"

#include "Scratch.h"
#include "ScrapbookWriter.h"

// Qt
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace glimmora {
namespace {

class CategoryDialogs : public ::testing::Test {
protected:
    CategoryDialogs()
    {
        test::writeScrapbook(base, {
                                       {"/pictures/oak.jpg", {"trees"}},
                                       {"/pictures/birch.jpg", {"trees", "garden"}},
                                       {"/pictures/rose.png", {"garden"}},
                                   });
        open();
    }

    // Opens (or opens again) the scrapbook as the program does.
    void open()
    {
        close();
        memberships = std::make_unique<TCorrespondences>(base + ".cor");
        categories = std::make_unique<TCategories>(base + ".cat", *memberships);
        images = std::make_unique<TImageElementForm>(base + ".idb", *categories);
    }

    void close()
    {
        images.reset();
        categories.reset();
        memberships.reset();
    }

    TCategory* category(const QString& name) { return categories->FindOrAddCategory(name, true).first; }

    static QStringList entries(const TNewWindowForm& chooser)
    {
        QStringList texts;
        for (int row = 0; row < chooser.ListBox1->count(); ++row)
            texts.append(chooser.ListBox1->item(row)->text());
        return texts;
    }

    // Types into the name field as a user would, key by key.
    static void type(TNewCategoryForm& dialog, const QString& text)
    {
        for (const QChar c : text)
            QTest::keyClick(dialog.Edit1, c.toLatin1());
    }

    test::ScratchDir dir;
    QString base = QString::fromStdString((dir / "Default").string());
    std::unique_ptr<TCorrespondences> memberships;
    std::unique_ptr<TCategories> categories;
    std::unique_ptr<TImageElementForm> images;
    ScopedScriptedMessages messages;
};

TEST_F(CategoryDialogs, TheChooserListsEveryCategorySortedAndADoubleClickChooses)
{
    TNewWindowForm chooser(*categories);
    EXPECT_EQ(entries(chooser), (QStringList{"(unassigned)", "garden", "trees"}));
    EXPECT_EQ(chooser.Label1->text(), QStringLiteral("Select the Category you want to see:"));
    chooser.show();
    const QPoint trees = chooser.ListBox1->visualItemRect(chooser.ListBox1->item(2)).center();
    QTest::mouseClick(chooser.ListBox1->viewport(), Qt::LeftButton, {}, trees);
    QTest::mouseDClick(chooser.ListBox1->viewport(), Qt::LeftButton, {}, trees);
    EXPECT_EQ(chooser.result(), QDialog::Accepted);
    EXPECT_EQ(chooser.ChosenCategory, category("trees"));
}

TEST_F(CategoryDialogs, TheDeleteAndRenameChoosersNeverOfferUnassigned)
{
    // A name from another writer that sorts before "(unassigned)".
    categories->FindOrAddCategory(QStringLiteral("!first"), false);
    TNewWindowForm chooser(*categories);
    chooser.removeUnassigned();
    EXPECT_EQ(entries(chooser), (QStringList{"!first", "garden", "trees"}));
    chooser.BitBtn1Click();
    EXPECT_EQ(chooser.ChosenCategory, nullptr) << "nothing is chosen until the user picks an entry";
}

TEST_F(CategoryDialogs, TheNameBeginsWithALetterOrADigit)
{
    TNewCategoryForm dialog(*categories, {});
    dialog.show();
    type(dialog, QStringLiteral(" !-"));
    EXPECT_EQ(dialog.Edit1->text(), QString()) << "blanks and punctuation are not taken into an empty field";
    type(dialog, QStringLiteral("7 up!"));
    EXPECT_EQ(dialog.Edit1->text(), QStringLiteral("7 up!"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Define a New Category"));
    EXPECT_EQ(dialog.Label1->text(), QStringLiteral("Please enter the name of your new category:"));
}

TEST_F(CategoryDialogs, ANewCategoryOpensAWindowAndADuplicateIsRefusedAsTyped)
{
    QList<TCategory*> opened;
    TNewCategoryForm made(*categories, [&](TCategory& c) { opened.append(&c); });
    made.show();
    type(made, QStringLiteral("Oaks "));
    made.BitBtn2->click();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.first()->CategoryName, QStringLiteral("oaks"));
    EXPECT_TRUE(made.Changed());
    EXPECT_EQ(made.result(), QDialog::Accepted);

    TNewCategoryForm duplicate(*categories, [&](TCategory& c) { opened.append(&c); });
    duplicate.show();
    type(duplicate, QStringLiteral("TREES"));
    duplicate.BitBtn2->click();
    EXPECT_EQ(messages.texts(), QStringList{QStringLiteral("Category \"TREES\" is already defined.")});
    EXPECT_EQ(messages.beeps(), QList<MessageBeep>{MessageBeep::Exclamation});
    EXPECT_FALSE(duplicate.Changed());
    EXPECT_EQ(opened.size(), 1);
    EXPECT_EQ(duplicate.result(), QDialog::Accepted) << "the dialog closes in every case";

    messages.clear();
    TNewCategoryForm blank(*categories, {});
    blank.show();
    blank.BitBtn2->click();
    EXPECT_TRUE(messages.texts().isEmpty());
    EXPECT_EQ(messages.beeps(), QList<MessageBeep>{MessageBeep::Information});
    EXPECT_EQ(categories->categories().size(), 5u) << "(unassigned), trees, garden, oaks, Search Results";
}

TEST_F(CategoryDialogs, RenamingRefusesTheOwnNameAndTakesANewOne)
{
    for (const auto& [typed, message] : {std::pair{"trees", "Category \"trees\" is already defined."},
                                         {"Garden", "Category \"Garden\" is already defined."},
                                         {"Forest", ""}}) {
        messages.clear();
        TNewCategoryForm dialog(*categories, {});
        dialog.RenameMode = true;
        dialog.TargetCategory = category("trees") ? category("trees") : category("forest");
        dialog.show();
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Rename a Category"));
        EXPECT_EQ(dialog.Label1->text(), QStringLiteral("Please enter the category's new name:"));
        type(dialog, QString::fromLatin1(typed));
        dialog.BitBtn2->click();
        EXPECT_EQ(messages.texts().join(QString()), QString::fromLatin1(message));
    }
    EXPECT_EQ(category("trees"), nullptr);
    ASSERT_NE(category("forest"), nullptr);
}

TEST_F(CategoryDialogs, DecliningTheConfirmationDeletesNothing)
{
    TCategoryDeleteForm dialog(*categories, *category("trees"));
    EXPECT_EQ(dialog.CategoryLabel->text(), QStringLiteral("trees"));
    messages.answer(MessageButton::No);
    dialog.BitBtn1->click();
    ASSERT_EQ(messages.shown().size(), 1);
    const Message& question = messages.shown().first().message;
    EXPECT_EQ(question.text, QStringLiteral("Are you sure you want to delete the \"trees\" category?"));
    EXPECT_EQ(question.caption, QStringLiteral("Confirm Delete"));
    EXPECT_EQ(question.defaultButton, MessageButton::No);
    EXPECT_EQ(question.beep, MessageBeep::Question);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Delete Confirmation"));
    EXPECT_FALSE(dialog.Deleted());
    EXPECT_NE(category("trees"), nullptr);
}

TEST_F(CategoryDialogs, DeletingMovesOrDeletesOnlyTheImagesInNoOtherCategory)
{
    for (const bool deleteImages : {false, true}) {
        SCOPED_TRACE(deleteImages ? "delete them" : "move them");
        const test::ScratchDir fresh;
        base = QString::fromStdString((fresh / "Default").string());
        test::writeScrapbook(base, {
                                       {"/pictures/oak.jpg", {"trees"}},
                                       {"/pictures/birch.jpg", {"trees", "garden"}},
                                   });
        open();
        messages.clear();
        messages.answer(MessageButton::Yes);
        TCategoryDeleteForm dialog(*categories, *category("trees"));
        (deleteImages ? dialog.DeleteImages : dialog.MoveToUnassigned)->setChecked(true);
        dialog.BitBtn1->click();
        EXPECT_TRUE(dialog.Deleted());
        EXPECT_EQ(messages.texts().last(), QStringLiteral("Category \"trees\" has been deleted."));
        EXPECT_EQ(dialog.Gauge1->value(), 100);
        EXPECT_EQ(category("trees"), nullptr);
        const TCategory* unassigned = categories->FindCategory(categories->UnassignedId());
        EXPECT_EQ(memberships->CategoryHasImages(unassigned->CategoryId), !deleteImages);
        EXPECT_EQ(images->HasImage(1), !deleteImages) << "oak was only in trees";
        EXPECT_TRUE(images->HasImage(2)) << "birch is in garden too";
        EXPECT_EQ(memberships->pairs(),
                  (QList<Membership>{{category("garden")->CategoryId, 2}}
                   + (deleteImages ? QList<Membership>{} : QList<Membership>{{unassigned->CategoryId, 1}})));
        close();
    }
}

TEST_F(CategoryDialogs, ACategoryTheToolMadeOrRenamedIsWhatTheChooserShows)
{
    const std::string data = "--data '" + dir.path().string() + "' ";
    ASSERT_EQ(test::runTool(data + "new-category 'Mountains'").status, 0);
    ASSERT_EQ(test::runTool(data + "rename-category garden Orchard").status, 0);
    open();
    TNewWindowForm chooser(*categories);
    EXPECT_EQ(entries(chooser), (QStringList{"(unassigned)", "mountains", "orchard", "trees"}));
}

} // namespace
} // namespace glimmora
