// The printing window and the print preview on the offscreen platform, printing to PDF files
// through their own printer, with the print dialogs and message boxes answered by script.

#include "PrintFixture.h"

#include "platform/HelpWindow.h"
#include "platform/MessageService.h"
#include "platform/PrintDialogs.h"
#include "platform/ProgramPrinter.h"
#include "printing/PageView.h"
#include "printing/PrintPreview.h"
#include "printing/PrintedScrapbook.h"
#include "printing/Printing.h"

// Qt
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <functional>

namespace glimmora {
namespace {

using namespace test;

// Runs `act` on the window of type T once it is up modally, then closes it.
template <typename T>
void whenModal(std::function<void(T&)> act)
{
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [act, poll] {
        auto* window = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!window) {
            QTimer::singleShot(10, *poll);
            return;
        }
        act(*window);
        window->close();
    };
    QTimer::singleShot(0, *poll);
}

QStringList itemTexts(const QListWidget& list)
{
    QStringList texts;
    for (int row = 0; row < list.count(); ++row)
        texts.append(list.item(row)->text());
    return texts;
}

class PrintingWindows : public ::testing::Test {
protected:
    PrintingWindows()
    {
        for (const char* name : {"a", "b", "c", "d", "e"})
            book.addImage(QString::fromLatin1(name), QStringLiteral("/pics/%1.png").arg(QLatin1String(name)));
        book.category(QStringLiteral("empty"));
    }

    // Selects the entries of the printing window with these names.
    void select(TQRListForm& form, const QStringList& names)
    {
        for (const QString& name : names)
            form.CategoryListBox->findItems(name, Qt::MatchExactly).first()->setSelected(true);
    }

    ScratchDir dir;
    PrintScrapbook book{dir.path()};
    ScopedScriptedMessages messages;
    ScopedScriptedPrintDialogs dialogs;
    ScopedProgramPrinter printer;
    std::filesystem::path pdf = dir / "printed.pdf";
};

TEST_F(PrintingWindows, TheWindowListsEveryCategorySortedWithNothingChosen)
{
    TQRListForm form(book.catalog.categories);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Glimmora - Print Your Scrapbook"));
    EXPECT_EQ(form.size(), QSize(344, 316));
    EXPECT_EQ(itemTexts(*form.CategoryListBox), (QStringList{"(unassigned)", "a", "b", "c", "d", "e", "empty"}));
    EXPECT_TRUE(form.CategoryListBox->selectedItems().isEmpty());
    EXPECT_FALSE(form.btnPrint->isEnabled());
    EXPECT_FALSE(form.BtnPreview->isEnabled());
    EXPECT_EQ(form.btnPrintSetup->toolTip(), QStringLiteral("Printer Setup"));
    EXPECT_TRUE(form.lblWorking->text().isEmpty());
}

TEST_F(PrintingWindows, F1OpensThePrintingHelpTopicInBothWindows)
{
    TQRListForm form(book.catalog.categories);
    TPrintPreviewForm preview;
    for (QWidget* window : {static_cast<QWidget*>(&form), static_cast<QWidget*>(&preview)}) {
        QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
        QCoreApplication::sendEvent(window, &f1);
        EXPECT_EQ(HelpWindow::currentTopic(), 101);
        HelpWindow::quit();
    }
}

TEST_F(PrintingWindows, AllAndNoneAndAClickDecideWhetherPrintingIsOffered)
{
    TQRListForm form(book.catalog.categories);
    form.btnSelectAll->click();
    EXPECT_EQ(form.CategoryListBox->selectedItems().size(), 7);
    EXPECT_TRUE(form.btnPrint->isEnabled());
    EXPECT_TRUE(form.BtnPreview->isEnabled());

    form.btnSelectNone->click();
    EXPECT_TRUE(form.CategoryListBox->selectedItems().isEmpty());
    EXPECT_FALSE(form.btnPrint->isEnabled());
    EXPECT_FALSE(form.BtnPreview->isEnabled());

    select(form, {"c"});
    EXPECT_TRUE(form.btnPrint->isEnabled());
    EXPECT_TRUE(form.BtnPreview->isEnabled());
}

TEST_F(PrintingWindows, PrintingPagesTwoToThreeOfFivePrintsThoseAndClosesTheWindow)
{
    TQRListForm form(book.catalog.categories);
    form.printer().setOutputFileName(qpath(pdf));
    form.show();
    form.btnSelectAll->click();
    dialogs.answerPages(2, 3);
    form.btnPrint->click();

    ASSERT_EQ(dialogs.offers().size(), 1);
    EXPECT_EQ(dialogs.offers().first(), (PrintOffer{1, 5, 1, 5}));
    expectPageHeadings(pdf, {{"b", 2}, {"c", 3}});
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.report().QuickReport.PageCount(), 0);
    EXPECT_FALSE(book.category(QStringLiteral("b")).imagesLoaded());
}

TEST_F(PrintingWindows, CancellingThePrintDialogPrintsNothingAndKeepsTheWindow)
{
    TQRListForm form(book.catalog.categories);
    form.printer().setOutputFileName(qpath(pdf));
    form.show();
    select(form, {"a"});
    dialogs.answerCancel();
    form.btnPrint->click();

    EXPECT_EQ(dialogs.offers().size(), 1);
    EXPECT_FALSE(std::filesystem::exists(pdf));
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.report().QuickReport.PageCount(), 0);
    EXPECT_TRUE(form.btnPrint->isEnabled());
}

TEST_F(PrintingWindows, APrinterThatFailsIsReportedAndTheWindowStays)
{
    TQRListForm form(book.catalog.categories);
    form.printer().setOutputFileName(qpath(dir / "no such directory" / "printed.pdf"));
    form.show();
    select(form, {"a"});
    dialogs.answerAllPages();
    form.btnPrint->click();

    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.shown().first().message.icon, MessageIcon::Error);
    EXPECT_TRUE(messages.texts().first().contains(QStringLiteral("could not be printed")));
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.lblWorking->text().isEmpty());
    EXPECT_TRUE(form.btnPrint->isEnabled());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(PrintingWindows, OnlyEmptyCategoriesAreSaidToHaveNoImages)
{
    TQRListForm form(book.catalog.categories);
    form.show();
    select(form, {"(unassigned)", "empty"});
    for (QToolButton* button : {form.btnPrint, form.BtnPreview}) {
        messages.clear();
        button->click();
        ASSERT_EQ(messages.texts(),
                  QStringList{"Sorry--there are no images in any of the categories you've selected."});
        EXPECT_EQ(messages.beeps(), QList<MessageBeep>{MessageBeep::Exclamation});
    }
    EXPECT_TRUE(dialogs.offers().isEmpty());
    EXPECT_TRUE(form.isVisible());
}

TEST_F(PrintingWindows, PrinterSetInLandscapePrintsThreeColumns)
{
    book.addImages(QStringLiteral("figs"), QStringLiteral("/pics"), QStringLiteral("f"), 40);
    TQRListForm form(book.catalog.categories);
    form.printer().setOutputFileName(qpath(pdf));
    dialogs.answerSetup(QPageLayout::Landscape);
    form.btnPrintSetup->click();
    EXPECT_EQ(dialogs.setupsShown(), 1);

    select(form, {"figs"});
    dialogs.answerAllPages();
    form.btnPrint->click();
    const QSizeF paper = pdfPageSize(pdf);
    EXPECT_GT(paper.width(), paper.height());
    EXPECT_EQ(leftEdgesOf(pdfWords(pdf, 1), QStringLiteral("f0")).size(), 3);
    EXPECT_EQ(pdfPageCount(pdf), 2);
}

TEST_F(PrintingWindows, WorkingAndItsProgressShowWhileTheReportIsPrepared)
{
    book.addImages(QStringLiteral("figs"), QStringLiteral("/pics"), QStringLiteral("f"), 300);
    TQRListForm form(book.catalog.categories);
    form.show();
    select(form, {"figs"});
    QString working;
    int total = 0;
    bool barShown = false;
    bool listEnabled = true;
    // Runs when the window first lets events run, as it begins to work.
    QTimer::singleShot(0, &form, [&] {
        working = form.lblWorking->text();
        barShown = form.pbWorking->isVisible();
        total = form.pbWorking->maximum();
        listEnabled = form.CategoryListBox->isEnabled();
    });
    dialogs.answerCancel();
    form.btnPrint->click();

    EXPECT_EQ(working, QStringLiteral("Working..."));
    EXPECT_TRUE(barShown);
    EXPECT_EQ(total, 300);
    EXPECT_FALSE(listEnabled);
    EXPECT_TRUE(form.lblWorking->text().isEmpty());
    EXPECT_FALSE(form.pbWorking->isVisible());
    EXPECT_TRUE(form.CategoryListBox->isEnabled());
}

TEST_F(PrintingWindows, PreviewShowsThePreparedPagesAndDiscardsThemAfter)
{
    TQRListForm form(book.catalog.categories);
    form.show();
    select(form, {"a", "c"});
    int pagesShown = 0;
    QString caption;
    whenModal<TPrintPreviewForm>([&](TPrintPreviewForm& preview) {
        pagesShown = preview.QRPreview1->report()->PageCount();
        caption = preview.windowTitle();
    });
    form.BtnPreview->click();

    EXPECT_EQ(pagesShown, 2);
    EXPECT_EQ(caption, QStringLiteral("Glimmora - Print Preview"));
    EXPECT_EQ(form.report().QuickReport.PageCount(), 0);
    EXPECT_TRUE(form.isVisible());
}

TEST_F(PrintingWindows, PreviewThisCategoryShowsItsReportWithoutTheWindow)
{
    book.addImages(QStringLiteral("figs"), QStringLiteral("/pics"), QStringLiteral("f"), 40);
    int pages = 0;
    int columns = 0;
    whenModal<TPrintPreviewForm>([&](TPrintPreviewForm& preview) {
        pages = preview.QRPreview1->report()->PageCount();
        columns = preview.QRPreview1->report()->columns();
        EXPECT_FALSE(qobject_cast<TQRListForm*>(preview.parentWidget()));
    });
    PreviewThisCategory(book.catalog.categories, book.category(QStringLiteral("figs")), nullptr);
    EXPECT_EQ(pages, 2);
    EXPECT_EQ(columns, 2);
    EXPECT_FALSE(book.category(QStringLiteral("figs")).imagesLoaded());

    PreviewThisCategory(book.catalog.categories, book.category(QStringLiteral("empty")), nullptr);
    EXPECT_EQ(messages.texts(), QStringList{"Sorry--there are no images in any of the categories you've selected."});
}

// The preview over a report of the first `count` of the categories a to e, one page each.
class PrintPreview : public PrintingWindows {
protected:
    void showReport(int count)
    {
        QList<TCategory*> chosen;
        for (const QString& name : QStringList{"a", "b", "c", "d", "e"}.mid(0, count))
            chosen.append(&book.category(name));
        report.setChosenCategories(chosen);
        report.setPaper(reportPaperOf(printer.pageLayout()));
        ASSERT_TRUE(report.prepare());
        printer.setOutputFileName(qpath(pdf));
        preview.SetReport(report.QuickReport, printer);
        preview.show();
    }

    // Whether <<, <, > and >> are enabled, and the page number shown.
    std::tuple<bool, bool, bool, bool, QString> controls() const
    {
        return {preview.btnFirstPage->isEnabled(), preview.btnPrevPage->isEnabled(), preview.btnNextPage->isEnabled(),
                preview.btnLastPage->isEnabled(), preview.PageNumber->text()};
    }

    TScrapbookReport report{book.catalog.categories};
    QPrinter printer{QPrinter::HighResolution};
    TPrintPreviewForm preview;
};

TEST_F(PrintPreview, PagingButtonsFollowThePageShown)
{
    showReport(1);
    EXPECT_EQ(controls(), std::make_tuple(false, false, false, false, QStringLiteral("1")));
}

TEST_F(PrintPreview, PagingThroughThreePages)
{
    showReport(3);
    EXPECT_EQ(controls(), std::make_tuple(false, false, true, true, QStringLiteral("1")));
    preview.btnLastPage->click();
    EXPECT_EQ(controls(), std::make_tuple(true, true, false, false, QStringLiteral("3")));
    preview.btnPrevPage->click();
    EXPECT_EQ(controls(), std::make_tuple(true, true, true, true, QStringLiteral("2")));
    preview.btnFirstPage->click();
    EXPECT_EQ(preview.QRPreview1->PageNumber(), 1);
    preview.btnNextPage->click();
    EXPECT_EQ(preview.QRPreview1->PageNumber(), 2);
}

TEST_F(PrintPreview, ZoomStaysBetweenTenAndAHundredPerCent)
{
    showReport(1);
    EXPECT_EQ(preview.Zoom->value(), 100);
    const QSize full = preview.QRPreview1->widget()->size();
    preview.Zoom->setValue(50);
    EXPECT_EQ(preview.QRPreview1->Zoom(), 50);
    EXPECT_NEAR(preview.QRPreview1->widget()->width(), full.width() / 2, 1);
    preview.Zoom->setValue(5);
    EXPECT_EQ(preview.Zoom->value(), 10);
    preview.Zoom->setValue(150);
    EXPECT_EQ(preview.Zoom->value(), 100);
    preview.Zoom->stepDown();
    EXPECT_EQ(preview.QRPreview1->Zoom(), 90);
}

TEST_F(PrintPreview, PrintThisPageKeepsThePreviewAndARangeClosesIt)
{
    showReport(3);
    preview.btnLastPage->click();
    preview.btnPrintThisPage->click();
    EXPECT_TRUE(dialogs.offers().isEmpty());
    expectPageHeadings(pdf, {{"c", 3}});
    EXPECT_TRUE(preview.isVisible());

    dialogs.answerPages(2, 2);
    preview.btnPrint->click();
    EXPECT_EQ(dialogs.offers(), (QList<PrintOffer>{PrintOffer{1, 3, 3, 3}}));
    expectPageHeadings(pdf, {{"b", 2}});
    EXPECT_FALSE(preview.isVisible());
}

TEST_F(PrintPreview, APrinterThatFailsIsReported)
{
    showReport(1);
    printer.setOutputFileName(qpath(dir / "no such directory" / "printed.pdf"));
    preview.btnPrintThisPage->click();
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.shown().first().message.icon, MessageIcon::Error);
    EXPECT_TRUE(messages.texts().first().contains(QStringLiteral("could not be printed")));
}

} // namespace
} // namespace glimmora
