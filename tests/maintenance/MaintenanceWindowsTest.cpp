// The removable-media window, the reorganise dialog and the "&Cleanup" menu of the main window,
// on real scrapbooks in the sandbox's data directory.

#include "CatalogFixture.h"
#include "ModalDriver.h"
#include "ScrapbookWriter.h"

#include "app/Main.h"
#include "catalog/Maintenance.h"
#include "catalog/RemoveableMediaForm.h"
#include "catalog/RemoveableMediaList.h"
#include "catalog/Scrapbook.h"
#include "maintenance/ReorgForm.h"
#include "platform/MessageService.h"
#include "platform/Volumes.h"

// Qt
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace glimmora {
namespace {

using test::qpath;

const QList<TRemoveableMedium> kDisks = {{0x1A2B3C4Du, "PHOTOS", '/', "holiday"},
                                         {0xFFFFFFFFu, "", '/', "unreadable cd"}};

class MaintenanceWindows : public ::testing::Test {
protected:
    MaintenanceWindows()
    {
        qputenv("GLIMMORA_DATA_DIR", QByteArray::fromStdString(dir.path().string()));
        test::ImageSpec onDisk("/media/cd/a.jpg", {"trees"});
        onDisk.serial = 0x1A2B3C4Du;
        onDisk.removable = true;
        test::writeScrapbook(base, {onDisk, {"/p/oak.jpg", {"trees"}}}, {"lakes"});
    }

    void writeDisks(const QList<TRemoveableMedium>& disks)
    {
        test::writeFile(dir / "Default.rmv", encodeRemoveableMedia(disks).toStdString());
    }
    QList<TRemoveableMedium> savedDisks() const
    {
        return decodeRemoveableMedia(QByteArray::fromStdString(test::readFile(dir / "Default.rmv")));
    }

    std::unique_ptr<TScrapbook> open()
    {
        return std::make_unique<TScrapbook>(qpath(dir.path()), TScrapbook::Access::ReadWrite);
    }

    // Opens the description editor of a row and types into it.
    static QLineEdit* editDescription(TRemoveableMediaForm& form, int row)
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // an editor closed before
        form.Grid->setCurrentCell(row, TRemoveableMediaForm::DescriptionColumn);
        form.Grid->editItem(form.Grid->item(row, TRemoveableMediaForm::DescriptionColumn));
        return form.Grid->findChild<QLineEdit*>();
    }

    ScopedFakeVolumes volumes; // no disk is mounted: the drive column shows the stored byte
    test::ScratchDir dir;
    QString base = qpath(dir / "Default");
    ScopedScriptedMessages messages;
};

TEST_F(MaintenanceWindows, TheGridShowsEachDiskWithItsSerialNumberTwice)
{
    writeDisks(kDisks);
    const auto scrapbook = open();
    TRemoveableMediaForm form(*scrapbook);
    EXPECT_EQ(form.windowTitle(), "Glimmora - Removeable Media");
    QStringList headers;
    QList<int> widths;
    for (int column = 0; column < TRemoveableMediaForm::ColumnCount; ++column) {
        headers.append(form.Grid->horizontalHeaderItem(column)->text());
        widths.append(form.Grid->columnWidth(column));
    }
    EXPECT_EQ(headers, (QStringList{"Drive", "Vol Ser (hex)", "Vol Ser (dec)", "Label", "Description"}));
    EXPECT_EQ(widths, (QList<int>{64, 94, 87, 78, 203}));
    ASSERT_EQ(form.Grid->rowCount(), 2);
    EXPECT_EQ(form.Grid->rowHeight(0), 16);
    auto row = [&](int r) {
        QStringList texts;
        for (int column = 0; column < TRemoveableMediaForm::ColumnCount; ++column)
            texts.append(form.Grid->item(r, column)->text());
        return texts;
    };
    EXPECT_EQ(row(0), (QStringList{"/", "1A2B-3C4D", "439041101", "PHOTOS", "holiday"}));
    EXPECT_EQ(row(1), (QStringList{"/", "FFFF-FFFF", "-1", "", "unreadable cd"}));
    EXPECT_EQ(form.Grid->currentRow(), 0);
    EXPECT_EQ(form.Grid->currentColumn(), 0);
    EXPECT_TRUE(form.DeleteButton->isEnabled());
    EXPECT_EQ(form.DeleteButton->text(), "D&elete the disk from the scrapbook");
    // Only the description can be edited.
    for (int column = 0; column < TRemoveableMediaForm::DescriptionColumn; ++column)
        EXPECT_FALSE(form.Grid->item(0, column)->flags() & Qt::ItemIsEditable) << column;
    EXPECT_TRUE(form.Grid->item(0, TRemoveableMediaForm::DescriptionColumn)->flags() & Qt::ItemIsEditable);
}

TEST_F(MaintenanceWindows, EditsReachTheListAtOnceEscapeUndoesThemAndCancelForgetsThem)
{
    writeDisks(kDisks);
    const std::string file = test::readFile(dir / "Default.rmv");
    const auto scrapbook = open();
    TRemoveableMediaForm form(*scrapbook);
    form.show();
    QLineEdit* editor = editDescription(form, 0);
    ASSERT_TRUE(editor);
    editor->selectAll();
    QTest::keyClicks(editor, QString(30, QLatin1Char('x')));
    EXPECT_EQ(scrapbook->disks().disks().at(0).description, QString(25, QLatin1Char('x')));
    QTest::keyClick(editor, Qt::Key_Escape);
    EXPECT_EQ(scrapbook->disks().disks().at(0).description, "holiday");
    EXPECT_EQ(form.Grid->item(0, TRemoveableMediaForm::DescriptionColumn)->text(), "holiday");

    editor = editDescription(form, 1);
    ASSERT_TRUE(editor);
    editor->end(false);
    QTest::keyClicks(editor, " 1999");
    EXPECT_EQ(scrapbook->disks().disks().at(1).description, "unreadable cd 1999");
    form.CancelButton->click();
    EXPECT_EQ(scrapbook->disks().disks(), kDisks);
    EXPECT_EQ(test::readFile(dir / "Default.rmv"), file);
}

TEST_F(MaintenanceWindows, DoneSavesTheDescriptions)
{
    writeDisks(kDisks);
    const auto scrapbook = open();
    TRemoveableMediaForm form(*scrapbook);
    form.show();
    QLineEdit* editor = editDescription(form, 1);
    ASSERT_TRUE(editor);
    editor->selectAll();
    QTest::keyClicks(editor, "music");
    form.DoneButton->click();
    EXPECT_EQ(savedDisks().at(1).description, "music");
    EXPECT_EQ(savedDisks().at(0), kDisks.at(0));
}

TEST_F(MaintenanceWindows, DeletingADiskAsksFirstThenDeletesItsImages)
{
    writeDisks(kDisks);
    const auto scrapbook = open();
    TRemoveableMediaForm form(*scrapbook);
    messages.answer(MessageButton::No);
    form.DeleteButton->click();
    ASSERT_EQ(messages.shown().size(), 1);
    const Message& question = messages.shown().first().message;
    EXPECT_EQ(question.text, "Deleting the removeable disk \"holiday\" from the scrapbook deletes its images from the "
                             "scrapbook too. Do you want to continue?");
    EXPECT_EQ(question.caption, "Confirm Delete");
    EXPECT_EQ(question.defaultButton, MessageButton::No);
    EXPECT_EQ(question.beep, MessageBeep::Question);
    EXPECT_EQ(scrapbook->images().StoredImageNumbers(), (QList<std::int32_t>{1, 2}));

    messages.answer(MessageButton::Yes);
    form.DeleteButton->click();
    EXPECT_EQ(scrapbook->images().StoredImageNumbers(), QList<std::int32_t>{2});
    EXPECT_EQ(savedDisks(), QList<TRemoveableMedium>{kDisks.at(1)});
    ASSERT_EQ(form.Grid->rowCount(), 1);
    EXPECT_EQ(form.Grid->item(0, TRemoveableMediaForm::DescriptionColumn)->text(), "unreadable cd");
}

TEST_F(MaintenanceWindows, DeletingTheOnlyDiskClosesTheWindowAndDisablesTheCommand)
{
    writeDisks({kDisks.at(0)});
    TMainForm main;
    emit main.Cleanup1->aboutToShow();
    EXPECT_TRUE(main.MaintainRemoveableMedia1->isEnabled());
    messages.answer(MessageButton::Yes);
    test::ModalDriver<TRemoveableMediaForm> driver([](TRemoveableMediaForm& form) { form.DeleteButton->click(); });
    main.MaintainRemoveableMedia1Click(); // returns once the window has closed itself
    EXPECT_EQ(driver.count, 1);
    EXPECT_FALSE(main.MaintainRemoveableMedia1->isEnabled());
    emit main.Cleanup1->aboutToShow();
    EXPECT_FALSE(main.MaintainRemoveableMedia1->isEnabled());
    EXPECT_TRUE(savedDisks().isEmpty());
    EXPECT_EQ(main.ImageElementForm->StoredImageNumbers(), QList<std::int32_t>{2});
}

TEST_F(MaintenanceWindows, TheReorganiseDialogMarksEachFileAndEndsWithItsMessage)
{
    const auto scrapbook = open();
    TReorgForm form(*scrapbook);
    EXPECT_EQ(form.windowTitle(), "Glimmora - Reorganize Data Base");
    EXPECT_EQ(form.size(), QSize(405, 249));
    EXPECT_EQ(form.Memo1->toPlainText(), "Reorganizing your data base can improve execution speed.\n"
                                         "If you would like to reorganize now, click on Yes.\n"
                                         "If not, click on No.");
    QStringList names;
    for (QLabel* label : form.NameLabels)
        names.append(label->text());
    EXPECT_EQ(names, (QStringList{"Category", "Image", "Correspondence"}));
    for (QLabel* label : form.ProgressLabels)
        EXPECT_TRUE(label->text().isEmpty());

    // While a file is processed, its row is blue and the buttons cannot be pressed.
    QStringList seen;
    messages.answer([&](const Message&) {
        for (QLabel* label : form.ProgressLabels)
            seen.append(label->text() + "/" + label->palette().color(QPalette::WindowText).name());
        return MessageButton::Ok;
    });
    form.show();
    form.BitBtn1->click();
    EXPECT_EQ(seen, (QStringList{"Reorganized/#ff0000", "Reorganized/#ff0000", "Reorganized/#ff0000"}));
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.texts().first(), "Reorganization is complete.");
    EXPECT_EQ(messages.shown().first().message.beep, MessageBeep::Exclamation);
    EXPECT_FALSE(form.BitBtn1->isEnabled());
    EXPECT_FALSE(form.isVisible());
}

TEST_F(MaintenanceWindows, CleanupCommandsSaveAndShowTheirOneMessage)
{
    TMainForm main;
    EXPECT_TRUE(main.DeleteEmptyCategories1->isEnabled());
    main.DeleteEmptyCategories1Click();
    main.DataBaseIntegrity1Click();
    main.DeleteImagesNotonDisk1Click();
    ASSERT_EQ(messages.shown().size(), 3);
    EXPECT_EQ(messages.texts().at(0), "1 categories were deleted from the scrapbook.");
    EXPECT_EQ(messages.texts().at(1), "0 images in unknown categories were moved to the (unassigned) category.\r"
                                      "0 orphaned images were moved to the (unassigned) category.");
    EXPECT_EQ(messages.shown().at(1).message.beep, MessageBeep::Information);
    // Neither file exists, but the fake table has no volume: nothing is known to be gone.
    EXPECT_EQ(messages.texts().at(2), "0 items were deleted from the scrapbook. 1 images whose files were not found "
                                      "are on a volume that is not present and were kept.");
    EXPECT_EQ(test::readFile(dir / "Default.cat").size(), 2u * 32u);
    EXPECT_TRUE(main.statusPanels.at(0)->text().isEmpty());
}

} // namespace
} // namespace glimmora
