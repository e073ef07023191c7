// The scrapbook report, prepared from real store files and printed to PDF, read back with
// poppler-utils.

#include "PrintFixture.h"

#include "printing/PrintedText.h"
#include "printing/ScrapbookReport.h"

// Qt
#include <QPdfWriter>

#include <gtest/gtest.h>

#include <algorithm>

namespace glimmora {
namespace {

using namespace test;

// Report pixels in PDF points.
constexpr double kPoints = 72.0 / 96.0;

// "<prefix>NNN.png" for first to last.
QStringList numberedNames(const QString& prefix, int first, int last)
{
    QStringList names;
    for (int i = first; i <= last; ++i)
        names.append(QStringLiteral("%1%2.png").arg(prefix).arg(i, 3, 10, QLatin1Char('0')));
    return names;
}

class ScrapbookReportTest : public ::testing::Test {
protected:
    // Prepares the report of the named categories on A4 paper and prints it to pdf.
    bool printCategories(const QStringList& names, QPageLayout::Orientation orientation = QPageLayout::Portrait)
    {
        QList<TCategory*> chosen;
        for (const QString& name : names)
            chosen.append(&book.category(name));
        report.setChosenCategories(TScrapbookReport::sortedForList(chosen));
        report.setPaper(reportPaperOf(a4Layout(orientation)));
        if (!report.prepare())
            return false;
        writeReportPdf(report.QuickReport, a4Layout(orientation), pdf);
        return true;
    }

    ScratchDir dir;
    PrintScrapbook book{dir.path()};
    TScrapbookReport report{book.catalog.categories};
    std::filesystem::path pdf = dir / "report.pdf";
};

TEST_F(ScrapbookReportTest, EveryCategoryWithImagesBeginsAPageHeadedByItsName)
{
    book.addImages(QStringLiteral("apples"), QStringLiteral("/pics/apples"), QStringLiteral("a"), 3);
    book.category(QStringLiteral("bananas"));
    book.addImages(QStringLiteral("cherries"), QStringLiteral("/pics/cherries"), QStringLiteral("c"), 2);

    ASSERT_TRUE(printCategories({QStringLiteral("cherries"), QStringLiteral("bananas"), QStringLiteral("apples")}));
    expectPageHeadings(pdf, {{"apples", 1}, {"cherries", 2}});
    const QStringList pages = pdfPageTexts(pdf);
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(pages[i].contains(QStringLiteral("Glimmora")));
        EXPECT_TRUE(pages[i].contains(QStringLiteral("Printed at ")));
    }
    EXPECT_TRUE(pages[0].contains(QStringLiteral("a003.png")));
    EXPECT_FALSE(pages[1].contains(QStringLiteral("a00")));

    // Printing loaded the categories only for itself.
    for (const char* name : {"apples", "bananas", "cherries"})
        EXPECT_FALSE(book.category(QString::fromLatin1(name)).imagesLoaded()) << name;
}

TEST_F(ScrapbookReportTest, OnlyEmptyCategoriesPrepareNothing)
{
    book.addImages(QStringLiteral("apples"), QStringLiteral("/pics"), QStringLiteral("a"), 1);
    book.category(QStringLiteral("bananas"));
    book.category(QStringLiteral("durians"));

    EXPECT_FALSE(printCategories({QStringLiteral("bananas"), QStringLiteral("durians")}));
    EXPECT_EQ(report.QuickReport.PageCount(), 0);
    EXPECT_FALSE(book.category(QStringLiteral("durians")).imagesLoaded());
}

TEST_F(ScrapbookReportTest, LandscapePaperTakesThreeColumnsAndPortraitTwo)
{
    book.addImages(QStringLiteral("figs"), QStringLiteral("/pics"), QStringLiteral("f"), 40);
    const struct {
        QPageLayout::Orientation orientation;
        int columns;
    } cases[] = {{QPageLayout::Portrait, 2}, {QPageLayout::Landscape, 3}};
    for (const auto& paper : cases) {
        ASSERT_TRUE(printCategories({QStringLiteral("figs")}, paper.orientation));
        const QSizeF size = pdfPageSize(pdf);
        EXPECT_EQ(size.width() > size.height(), paper.orientation == QPageLayout::Landscape);
        EXPECT_EQ(leftEdgesOf(pdfWords(pdf, 1), QStringLiteral("f0")).size(), paper.columns);
    }
}

TEST_F(ScrapbookReportTest, LinesFillTheColumnsDownThenAcrossAndNothingOverlaps)
{
    book.addImages(QStringLiteral("figs"), QStringLiteral("/pics"), QStringLiteral("f"), 65);
    ASSERT_TRUE(printCategories({QStringLiteral("figs")}));
    // Fifteen lines to a column of A4 portrait, two columns to a page.
    ASSERT_EQ(pdfPageCount(pdf), 3);

    QStringList order;
    for (int page = 1; page <= 3; ++page) {
        const QList<PdfWord> words = pdfWords(pdf, page);
        order += wordsDownThenAcross(words, QStringLiteral("f0"));

        const QSizeF paper = pdfPageSize(pdf);
        for (int i = 0; i < words.size(); ++i) {
            EXPECT_TRUE(QRectF(QPointF(0, 0), paper).contains(words[i].box)) << words[i].text.toStdString();
            for (int j = i + 1; j < words.size(); ++j)
                EXPECT_FALSE(words[i].box.intersects(words[j].box))
                    << words[i].text.toStdString() << " and " << words[j].text.toStdString() << " on page " << page;
        }
    }
    EXPECT_EQ(order, numberedNames(QStringLiteral("f"), 1, 65));

    // The second column begins level with the first.
    const QList<PdfWord> first = pdfWords(pdf, 1);
    const auto top = [&](const QString& text) {
        return std::find_if(first.begin(), first.end(), [&](const PdfWord& w) { return w.text == text; })->box.top();
    };
    EXPECT_NEAR(top(QStringLiteral("f001.png")), top(QStringLiteral("f016.png")), 0.5);
}

TEST_F(ScrapbookReportTest, ADirectoryLosesItsTrailingSeparatorUnlessItIsTheRoot)
{
    const struct {
        const char* path;
        const char* directory;
    } cases[] = {{"/oak.png", "/"},
                 {"/pics/oak.png", "/pics"},
                 {"/pics/trees/oak.png", "/pics/trees"},
                 {"//oak.png", "/"},
                 {"oak.png", ""}};
    for (const auto& entry : cases)
        EXPECT_EQ(printedDirectory(QString::fromUtf8(entry.path)), QString::fromUtf8(entry.directory)) << entry.path;

    book.addImage(QStringLiteral("trees"), QStringLiteral("/oak.png"));
    book.addImage(QStringLiteral("trees"), QStringLiteral("/pics/elm.png"));
    ASSERT_TRUE(printCategories({QStringLiteral("trees")}));
    QStringList texts;
    for (const PdfWord& word : pdfWords(pdf, 1))
        texts.append(word.text);
    EXPECT_TRUE(texts.contains(QStringLiteral("/")));
    EXPECT_TRUE(texts.contains(QStringLiteral("/pics")));
    EXPECT_FALSE(texts.contains(QStringLiteral("/pics/")));
}

TEST_F(ScrapbookReportTest, OutsideTextsArePrintedPlainOnOneLineWithinTheirColumn)
{
    EXPECT_EQ(singleLineText(QStringLiteral("a\nb\tc\x01"
                                            "d\u2028e")),
              QStringLiteral("a b c\uFFFDd e"));

    const QString longDirectory = QStringLiteral("/pics") + QStringLiteral("/a-rather-long-folder-name").repeated(8);
    book.addImage(QStringLiteral("trees"), longDirectory + QStringLiteral("/oak.png"),
                  QStringLiteral("  <b>not bold</b>\nsecond line  "));
    book.addImages(QStringLiteral("trees"), QStringLiteral("/pics"), QStringLiteral("f"), 20);
    ASSERT_TRUE(printCategories({QStringLiteral("trees")}));

    const QList<PdfWord> words = pdfWords(pdf, 1);
    const auto find = [&](const QString& text) {
        const auto found = std::find_if(words.begin(), words.end(), [&](const PdfWord& w) { return w.text == text; });
        EXPECT_NE(found, words.end()) << text.toStdString();
        return found == words.end() ? PdfWord() : *found;
    };
    const PdfWord tag = find(QStringLiteral("<b>not"));
    EXPECT_NEAR(find(QStringLiteral("second")).box.top(), tag.box.top(), 0.5);

    // The second column's thumbnails begin half way across; nothing of the first reaches them.
    const double secondColumn = pdfPageSize(pdf).width() / 2 + 56 * kPoints;
    for (const PdfWord& word : words) {
        if (word.box.left() < secondColumn) {
            EXPECT_LT(word.box.right(), secondColumn) << word.text.toStdString();
        }
    }
}

TEST_F(ScrapbookReportTest, ThumbnailsArePrintedPixelForPixelFromTheStoredBitmap)
{
    const QImage checker = checkerThumbnail();
    book.addImage(QStringLiteral("trees"), QStringLiteral("/pics/oak.png"), QString(), checker);
    ASSERT_TRUE(printCategories({QStringLiteral("trees")}));

    // The PDF holds the stored bitmap itself, losslessly.
    const QList<QImage> images = pdfPageImages(pdf, 1);
    ASSERT_EQ(images.size(), 1);
    EXPECT_EQ(images[0], checker);

    // Rendered at four device pixels to a report pixel, every square of it comes out clean.
    const int scale = 4;
    const QImage page = renderPdfPage(pdf, 1, 96 * scale);
    const double left = 56 * scale;
    const double top = (reportPaperOf(a4Layout()).topOffset + 54 + 8) * scale;
    int impure = 0;
    for (int cellY = 0; cellY < 20; ++cellY)
        for (int cellX = 0; cellX < 20; ++cellX) {
            const QRgb wanted = checker.pixel(cellX * 3, cellY * 3);
            for (int y = 2; y < 3 * scale - 2; ++y)
                for (int x = 2; x < 3 * scale - 2; ++x) {
                    const QRgb got = page.pixel(int(left + cellX * 3 * scale + x), int(top + cellY * 3 * scale + y));
                    if (std::abs(qRed(got) - qRed(wanted)) > 8 || std::abs(qGreen(got) - qGreen(wanted)) > 8)
                        ++impure;
                }
        }
    EXPECT_EQ(impure, 0);
}

TEST_F(ScrapbookReportTest, AMissingThumbnailLeavesItsAreaEmptyAndALargeOneShowsItsCorner)
{
    book.addImage(QStringLiteral("trees"), QStringLiteral("/pics/large.png"), QString(),
                  plainThumbnail(Qt::blue, QSize(80, 80)));
    book.addImage(QStringLiteral("trees"), QStringLiteral("/pics/none.png"), QString(), QImage());
    ASSERT_TRUE(printCategories({QStringLiteral("trees")}));
    EXPECT_TRUE(pdfPageTexts(pdf).first().contains(QStringLiteral("none.png")));

    const int scale = 2;
    const QImage page = renderPdfPage(pdf, 1, 96 * scale);
    const double top = reportPaperOf(a4Layout()).topOffset + 54 + 8;
    const auto pixel = [&](double x, double y) { return page.pixelColor(int(x * scale), int(y * scale)); };
    EXPECT_EQ(pixel(56 + 30, top + 30), QColor(Qt::blue));
    EXPECT_EQ(pixel(56 + 61, top + 30), QColor(Qt::white));      // right of the 60-pixel area
    EXPECT_EQ(pixel(56 + 30, top + 61), QColor(Qt::white));      // below it
    EXPECT_EQ(pixel(56 + 30, top + 62 + 30), QColor(Qt::white)); // the second line has none
}

TEST_F(ScrapbookReportTest, PrintingARangePrintsExactlyThosePages)
{
    for (const char* name : {"a", "b", "c", "d", "e"})
        book.addImage(QString::fromLatin1(name), QStringLiteral("/pics/%1.png").arg(QLatin1String(name)));
    ASSERT_TRUE(printCategories({"a", "b", "c", "d", "e"}));
    ASSERT_EQ(report.QuickReport.PageCount(), 5);

    writeReportPdf(report.QuickReport, a4Layout(), pdf, 2, 3);
    expectPageHeadings(pdf, {{"b", 2}, {"c", 3}});

    QPdfWriter writer(qpath(dir / "refused.pdf"));
    for (const auto& [first, last] : {std::pair{0, 1}, {4, 6}, {3, 2}})
        EXPECT_FALSE(report.QuickReport.Print(writer, first, last)) << first << "-" << last;
}

TEST_F(ScrapbookReportTest, PagesForOtherPaperAreScaledToFitIt)
{
    book.addImages(QStringLiteral("figs"), QStringLiteral("/pics"), QStringLiteral("f"), 40);
    ASSERT_TRUE(printCategories({QStringLiteral("figs")}));
    writeReportPdf(report.QuickReport, a4Layout(QPageLayout::Landscape), pdf);

    const QRectF paper(QPointF(0, 0), pdfPageSize(pdf));
    ASSERT_GT(paper.width(), paper.height());
    for (int page = 1; page <= 2; ++page) {
        const QList<PdfWord> words = pdfWords(pdf, page);
        QStringList texts;
        for (const PdfWord& word : words) {
            texts.append(word.text);
            EXPECT_TRUE(paper.contains(word.box)) << word.text.toStdString() << " on page " << page;
        }
        EXPECT_TRUE(texts.contains(QStringLiteral("Glimmora"))) << page;
        EXPECT_TRUE(texts.contains(QString::number(page))) << page;
    }
}

TEST_F(ScrapbookReportTest, PreviewOfACategoryListsItByPathInTwoColumnsWhateverThePaper)
{
    for (int i = 40; i >= 1; --i)
        book.addImage(QStringLiteral("figs"), QStringLiteral("/pics/f%1.png").arg(i, 3, 10, QLatin1Char('0')));
    TCategory& figs = book.category(QStringLiteral("figs"));
    report.setPaper(reportPaperOf(a4Layout(QPageLayout::Landscape)));
    ASSERT_TRUE(report.PreviewCategory(figs));
    writeReportPdf(report.QuickReport, a4Layout(QPageLayout::Landscape), pdf);

    const QList<PdfWord> words = pdfWords(pdf, 1);
    EXPECT_EQ(leftEdgesOf(words, QStringLiteral("f0")).size(), 2);
    EXPECT_EQ(wordsDownThenAcross(words, QStringLiteral("f0")), numberedNames(QStringLiteral("f"), 1, 20));
    EXPECT_FALSE(figs.imagesLoaded()); // unloaded at the end of the data, as no window shows it
}

TEST_F(ScrapbookReportTest, ACategoryAWindowShowsStaysLoaded)
{
    book.addImages(QStringLiteral("apples"), QStringLiteral("/pics"), QStringLiteral("a"), 3);
    book.addImages(QStringLiteral("cherries"), QStringLiteral("/pics"), QStringLiteral("c"), 2);
    TCategory& apples = book.category(QStringLiteral("apples"));
    RecordingView window(book.catalog.categories);
    book.catalog.categories.AttachWindow(apples, window);

    ASSERT_TRUE(printCategories({QStringLiteral("apples"), QStringLiteral("cherries")}));
    EXPECT_TRUE(apples.imagesLoaded());
    EXPECT_EQ(window.itemTexts(), (QStringList{"a001.png", "a002.png", "a003.png"}));
    EXPECT_FALSE(book.category(QStringLiteral("cherries")).imagesLoaded());

    ASSERT_TRUE(report.PreviewCategory(apples));
    report.releaseCategory();
    EXPECT_TRUE(apples.imagesLoaded());
    book.catalog.categories.DetachWindow(apples, window);
}

} // namespace
} // namespace glimmora
