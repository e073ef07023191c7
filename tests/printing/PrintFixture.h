#pragma once

#include "CatalogFixture.h"

#include "printing/BandReport.h"

// Qt
#include <QImage>
#include <QList>
#include <QPageLayout>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <filesystem>

#include <ostream>

// Texts in test failures, readable.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace glimmora::test {

// A thumbnail of one colour.
QImage plainThumbnail(QColor colour, QSize size = QSize(60, 45));
// A pattern of 3-pixel squares, 60 x 60, so that any smoothing of it shows.
QImage checkerThumbnail();

// A scrapbook whose records are written straight into its store: printing needs no picture
// files, and the paths can be whatever a test wants to see printed.
class PrintScrapbook {
public:
    explicit PrintScrapbook(const std::filesystem::path& dir) : catalog(dir) {}

    // A record in the named category (made when new); its sequence number.
    std::int32_t addImage(const QString& categoryName, const QString& path, const QString& memo = QString(),
                          const QImage& thumbnail = plainThumbnail(Qt::darkGreen));
    // `count` records named "<prefix>NNN.png" in `directory`.
    void addImages(const QString& categoryName, const QString& directory, const QString& prefix, int count);
    TCategory& category(const QString& name);
    // Saves the store, the memberships and the categories, as the program does.
    void save();

    Catalog catalog;

private:
    std::int32_t nextSeqNo_ = 1;
};

// Paper as glimmora-cli writes it: 10 points kept free at the top, drawn from the corner.
QPageLayout a4Layout(QPageLayout::Orientation orientation = QPageLayout::Portrait);

// Writes pages of a prepared report to a PDF file of that layout.
void writeReportPdf(const TBandReport& report, const QPageLayout& layout, const std::filesystem::path& file,
                    int first = 1, int last = -1);

// What poppler-utils read in a PDF file.
struct PdfWord {
    QString text;
    QRectF box; // in points from the page's top left corner
};
int pdfPageCount(const std::filesystem::path& file);
QSizeF pdfPageSize(const std::filesystem::path& file); // of the first page, in points
QStringList pdfPageTexts(const std::filesystem::path& file);
QList<PdfWord> pdfWords(const std::filesystem::path& file, int page);
// The page rendered by pdftoppm.
QImage renderPdfPage(const std::filesystem::path& file, int page, int dotsPerInch);
// The images placed on a page, as pdfimages extracts them.
QList<QImage> pdfPageImages(const std::filesystem::path& file, int page);

// Expects the file to hold exactly these pages, each headed by its category's name and
// numbered as given.
struct PageHeading {
    QString category;
    int number = 1;
};
void expectPageHeadings(const std::filesystem::path& file, const QList<PageHeading>& headings);

// The left edges of the words that begin with `prefix`, each once, in order.
QList<int> leftEdgesOf(const QList<PdfWord>& words, const QString& prefix);
// The words that begin with `prefix` in reading order of newspaper columns.
QStringList wordsDownThenAcross(const QList<PdfWord>& words, const QString& prefix);

} // namespace glimmora::test
