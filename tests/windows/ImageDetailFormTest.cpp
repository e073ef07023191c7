// The detail window over real pictures: its sizes for small, wide and tall pictures, its texts,
// a movie stepped frame by frame and back, printing to a PDF file read back with poppler, and
// opening it from a category window.

#include "import/LoadPicture.h"
#include "platform/PrintDialogs.h"
#include "platform/ProgramPrinter.h"
#include "windows/ImageDetail.h"
#include "windows/ImageDetailPrint.h"
#include "windows/MoviePlayerBar.h"

#include "CommandWindows.h"
#include "ModalDriver.h"

// Qt
#include <QGuiApplication>
#include <QLabel>
#include <QListView>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>

namespace glimmora {
namespace {

using test::greyOf;

class DetailWindow : public test::CommandWindows {
protected:
    // The detail window of a file of "trees", laid out and shown (not modally, so that the test
    // can look at it).
    std::unique_ptr<TImageDetailForm> showDetail(const QString& fileName)
    {
        auto detail = std::make_unique<TImageDetailForm>(loader);
        EXPECT_EQ(detail->ShowImage(record(fileName), *window), kLoadLoaded)
            << messages.texts().join(' ').toStdString();
        detail->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(detail.get()));
        return detail;
    }

    static QSize screen() { return QGuiApplication::primaryScreen()->availableGeometry().size(); }

    TImageListForm* window = openWindow(category(QStringLiteral("trees")));
};

TEST_F(DetailWindow, ASmallPictureGetsThePanelsWidthNoScrollBarsAndItsTexts)
{
    const auto detail = showDetail(QStringLiteral("small & bright.bmp"));
    EXPECT_EQ(detail->width(), 465);
    EXPECT_EQ(detail->Client->size(), QSize(465, 80 + 1 + 81));
    EXPECT_EQ(detail->ScrollBox1->geometry(), QRect(0, 0, 465, 80));
    EXPECT_FALSE(detail->ScrollBox1->horizontalScrollBar()->isVisible());
    EXPECT_FALSE(detail->ScrollBox1->verticalScrollBar()->isVisible());
    EXPECT_EQ(detail->Panel1->geometry(), QRect(0, 81, 465, 81));
    EXPECT_EQ(detail->Button1->geometry(), QRect(465 - 49 - 4, 27, 49, 25));
    EXPECT_EQ(detail->Picture().size(), QSize(100, 80));
    EXPECT_EQ(detail->Picture().pixel(50, 40), qRgb(255, 0, 0));

    EXPECT_EQ(detail->windowTitle(), QStringLiteral("Glimmora"));
    EXPECT_EQ(detail->PathLabel->text(), pictures.path(""));
    EXPECT_EQ(detail->FileLabel->text(), QStringLiteral("small & bright.bmp")) << "the ampersand is shown";
    EXPECT_EQ(detail->FileLabel->textFormat(), Qt::PlainText);
    EXPECT_EQ(detail->lblFileSize->text(), QStringLiteral("12345 bytes"));
    EXPECT_EQ(detail->lblFileSize->x(), detail->FileLabel->geometry().right() + 1 + 15);
    EXPECT_EQ(detail->lblTimeStamp->x(), detail->lblFileSize->geometry().right() + 1 + 15);
    EXPECT_NE(detail->lblTimeStamp->text(), QStringLiteral("(unknown)"));
    EXPECT_FALSE(detail->Label3->isVisible()) << "a memo of blanks hides \"Memo:\"";
    EXPECT_FALSE(detail->MemoLabel->isVisible());
    EXPECT_FALSE(detail->MediaPlayer1->isVisible());
}

TEST_F(DetailWindow, PicturesWiderOrTallerThanTheScreenScroll)
{
    const auto wide = showDetail(QStringLiteral("wide.png"));
    EXPECT_EQ(wide->width(), screen().width());
    EXPECT_TRUE(wide->ScrollBox1->horizontalScrollBar()->isVisible());
    EXPECT_FALSE(wide->ScrollBox1->verticalScrollBar()->isVisible());
    EXPECT_EQ(wide->ScrollBox1->height(), 40);
    QTest::keyClick(wide->ScrollBox1, Qt::Key_Right);
    EXPECT_GT(wide->ScrollBox1->horizontalScrollBar()->value(), 0) << "the arrows scroll a still picture";

    const auto tall = showDetail(QStringLiteral("tall.png"));
    EXPECT_EQ(tall->width(), 465);
    EXPECT_EQ(tall->ScrollBox1->height(), screen().height() - 81 - 81);
    EXPECT_TRUE(tall->ScrollBox1->verticalScrollBar()->isVisible());
    EXPECT_FALSE(tall->ScrollBox1->horizontalScrollBar()->isVisible());
    EXPECT_TRUE(tall->MemoLabel->isVisible());
    EXPECT_EQ(tall->MemoLabel->text(), QStringLiteral("tall & thin"));
}

TEST_F(DetailWindow, AMovieStepsFrameByFrameAndBackWithItsButtonsAndKeys)
{
    const auto detail = showDetail(QStringLiteral("counting.avi"));
    TMoviePlayerBar& player = *detail->MediaPlayer1;
    ASSERT_TRUE(player.isVisible());
    EXPECT_EQ(player.geometry().right() + 1, detail->Button1->geometry().right() + 1 - 2);
    EXPECT_EQ(player.y(), detail->Button1->geometry().bottom() + 1 + 2);
    EXPECT_EQ(detail->Picture().size(), QSize(64, 48));
    EXPECT_EQ(detail->ScrollBox1->height(), 48);

    QList<int> greys{greyOf(detail->Picture())};
    for (int i = 0; i < 3; ++i) {
        player.StepButton->click();
        greys.append(greyOf(detail->Picture()));
    }
    for (int i = 1; i < greys.size(); ++i)
        EXPECT_GT(greys[i], greys[i - 1] + 4) << "frame " << i;

    player.BackButton->click();
    EXPECT_EQ(greyOf(detail->Picture()), greys[2]);
    QTest::keyClick(detail.get(), Qt::Key_Left);
    EXPECT_EQ(greyOf(detail->Picture()), greys[1]);
    QTest::keyClick(detail.get(), Qt::Key_Right);
    EXPECT_EQ(greyOf(detail->Picture()), greys[2]);
    QTest::keyClick(detail.get(), Qt::Key_Home);
    EXPECT_EQ(greyOf(detail->Picture()), greys[0]);

    QTest::keyClick(detail.get(), Qt::Key_End);
    const int last = greyOf(detail->Picture());
    EXPECT_GT(last, greys[3] + 100) << "the twentieth frame";
    player.StepButton->click();
    EXPECT_EQ(greyOf(detail->Picture()), last) << "nothing after the last frame";
    EXPECT_TRUE(detail->isVisible()) << "the keys never closed the window";
}

TEST_F(DetailWindow, PlayingRunsToTheEndAndSpaceStopsIt)
{
    const auto detail = showDetail(QStringLiteral("counting.avi"));
    TMoviePlayerBar& player = *detail->MediaPlayer1;
    const int first = greyOf(detail->Picture());
    QTest::keyClick(detail.get(), Qt::Key_Space);
    EXPECT_TRUE(player.isPlaying());
    EXPECT_FALSE(player.PlayButton->isEnabled());
    EXPECT_TRUE(QTest::qWaitFor([&] { return greyOf(detail->Picture()) > first + 20; }, 2000));
    QTest::keyClick(detail.get(), Qt::Key_Space);
    EXPECT_FALSE(player.isPlaying());
    EXPECT_TRUE(detail->isVisible()) << "Space played and stopped, it did not press \"&Ok\"";

    player.PlayButton->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !player.isPlaying(); }, 5000)) << "stops at the end";
    const int last = greyOf(detail->Picture());
    player.PlayButton->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return greyOf(detail->Picture()) < last; }, 2000))
        << "played again from the start";
    player.StopButton->click();
}

TEST_F(DetailWindow, APictureThatCannotBeLoadedIsReportedAndNotShown)
{
    TImageElement missing = record(QStringLiteral("tree.bmp"));
    missing.IT_Path = pathBytes(pictures.path("gone.bmp"));
    TImageDetailForm detail(loader);
    EXPECT_EQ(detail.ShowImage(missing, *window), kLoadGivenUp);
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.shown().first().message.icon, MessageIcon::Error);
    EXPECT_EQ(messages.shown().first().message.beep, MessageBeep::Error);
}

// The page of a PDF file as a picture at 96 pixels to the inch, as poppler draws it.
QImage pdfPage(const QString& pdf)
{
    QProcess::execute(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("96"), QStringLiteral("-png"),
                                                   QStringLiteral("-singlefile"), pdf, pdf});
    return QImage(pdf + QStringLiteral(".png"));
}

QString toolOutput(const QString& tool, const QStringList& arguments)
{
    QProcess process;
    process.start(tool, arguments);
    process.waitForFinished(30'000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// Where the pixels of a colour lie on a page (the PDF may carry the picture compressed, so
// near is close enough).
QRect areaOf(const QImage& page, QRgb colour)
{
    const auto near = [colour](QRgb pixel) {
        return std::abs(qRed(pixel) - qRed(colour)) + std::abs(qGreen(pixel) - qGreen(colour))
                   + std::abs(qBlue(pixel) - qBlue(colour))
               < 60;
    };
    QRect area;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (near(page.pixel(x, y)))
                area |= QRect(x, y, 1, 1);
    return area;
}

class DetailPrint : public DetailWindow {
protected:
    DetailPrint()
    {
        printer.printer.setOutputFormat(QPrinter::PdfFormat);
        printer.printer.setOutputFileName(pdf);
        printer.printer.setPageSize(QPageSize(QPageSize::A4));
    }

    ScopedProgramPrinter printer;
    QString pdf = QString::fromStdString((dataDir / "detail.pdf").string());
};

TEST_F(DetailPrint, OnePageWithThePictureAtScreenSizeAndTheTexts)
{
    const auto detail = showDetail(QStringLiteral("small & bright.bmp"));
    detail->PrintThisWindow1->trigger();
    ASSERT_TRUE(messages.shown().isEmpty()) << messages.texts().join(' ').toStdString();

    EXPECT_TRUE(
        toolOutput(QStringLiteral("pdfinfo"), {pdf}).contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))));
    const QString text = toolOutput(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    for (const QString& expected : {QStringLiteral("Path:"), pictures.path(""), QStringLiteral("File:"),
                                    QStringLiteral("small & bright.bmp"), QStringLiteral("12345 bytes")})
        EXPECT_TRUE(text.contains(expected)) << expected.toStdString() << " in\n" << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("Memo:"))) << "no memo, no \"Memo:\"";

    const QRect picture = areaOf(pdfPage(pdf), qRgb(255, 0, 0));
    EXPECT_NEAR(picture.width(), 100, 2) << "as on the screen";
    EXPECT_NEAR(picture.height(), 80, 2);
}

TEST_F(DetailPrint, APictureLargerThanTheScreenIsFittedToThePage)
{
    const auto detail = showDetail(QStringLiteral("tall.png"));
    detail->PrintThisWindow1->trigger();
    ASSERT_TRUE(messages.shown().isEmpty()) << messages.texts().join(' ').toStdString();
    const QImage page = pdfPage(pdf);
    const QRect picture = areaOf(page, qRgb(255, 255, 0));
    const QRect paper = printer.printer.pageLayout().paintRectPixels(96);
    EXPECT_LE(picture.height(), paper.height());
    EXPECT_GT(picture.height(), paper.height() * 9 / 10) << "fitted: the picture fills the page's height";
    EXPECT_TRUE(
        toolOutput(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")}).contains(QStringLiteral("tall & thin")));
}

TEST_F(DetailWindow, PrinterSetupSetsUpTheProgramsPrinter)
{
    ScopedProgramPrinter printer;
    ScopedScriptedPrintDialogs printDialogs;
    printDialogs.answerSetup(QPageLayout::Landscape);
    const auto detail = showDetail(QStringLiteral("tree.bmp"));
    detail->PrinterSetup1->trigger();
    EXPECT_EQ(printDialogs.setupsShown(), 1);
    EXPECT_EQ(programPrinter().pageLayout().orientation(), QPageLayout::Landscape);
}

TEST_F(DetailWindow, F2EnterAndTheMenusOpenItForTheOneSelectedImage)
{
    select(*window, QStringLiteral("tree.bmp"));
    QList<QSize> shown;
    test::ModalDriver<TImageDetailForm> close([&](TImageDetailForm& detail) {
        shown.append(detail.Picture().size());
        QTest::keyClick(&detail, Qt::Key_Escape);
    });
    QTest::keyClick(window->ImageListBox, Qt::Key_F2);
    QTest::keyClick(window->ImageListBox, Qt::Key_Return);
    window->PopupMenu1Popup();
    window->ShowDetail2->trigger();
    EXPECT_EQ(shown, (QList<QSize>{{80, 50}, {80, 50}, {80, 50}}));

    window->ImageListBox->selectAll();
    QTest::keyClick(window->ImageListBox, Qt::Key_F2);
    QTest::qWait(50);
    EXPECT_EQ(shown.size(), 3) << "not for several images";
}

} // namespace
} // namespace glimmora
