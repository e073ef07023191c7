#include "PrintFixture.h"

// Qt
#include <QDir>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace glimmora::test {

std::int32_t PrintScrapbook::addImage(const QString& categoryName, const QString& path, const QString& memo,
                                      const QImage& thumbnail)
{
    TImageElement record;
    record.IT_SeqNo = nextSeqNo_++;
    record.IT_FileType = std::uint8_t(PictureTypeOf(path).value_or(25));
    record.IT_Path = pathBytes(path);
    record.IT_PathHash = PathChecksum(record.IT_Path);
    record.IT_Memo = memo;
    record.IT_Bitmap = thumbnail;
    catalog.images.WriteImage(record);
    catalog.categories.AddImageToCategory(category(categoryName), record);
    return record.IT_SeqNo;
}

void PrintScrapbook::addImages(const QString& categoryName, const QString& directory, const QString& prefix, int count)
{
    for (int i = 1; i <= count; ++i)
        addImage(categoryName, QStringLiteral("%1/%2%3.png").arg(directory, prefix).arg(i, 3, 10, QLatin1Char('0')));
}

TCategory& PrintScrapbook::category(const QString& name)
{
    return *catalog.categories.FindOrAddCategory(name, false).first;
}

void PrintScrapbook::save()
{
    catalog.images.EndImagePass();
    catalog.memberships.SaveMemberships();
    catalog.categories.SaveCategories();
}

QImage plainThumbnail(QColor colour, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

QImage checkerThumbnail()
{
    QImage image(60, 60, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, (x / 3 + y / 3) % 2 ? qRgb(200, 20, 20) : qRgb(255, 255, 255));
    return image;
}

QPageLayout a4Layout(QPageLayout::Orientation orientation)
{
    QPageLayout layout(QPageSize(QPageSize::A4), orientation, QMarginsF(10, 10, 10, 10), QPageLayout::Point);
    layout.setMode(QPageLayout::FullPageMode);
    return layout;
}

void writeReportPdf(const TBandReport& report, const QPageLayout& layout, const std::filesystem::path& file, int first,
                    int last)
{
    QPdfWriter writer(qpath(file));
    writer.setPageLayout(layout);
    ASSERT_TRUE(report.Print(writer, first, last < 0 ? report.PageCount() : last));
}

namespace {

QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    const bool finished = process.waitForFinished(120000);
    EXPECT_TRUE(finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        << program.toStdString() << ": " << process.readAllStandardError().toStdString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString pageArgument(int page) { return QString::number(page); }

QString decodeEntities(QString text)
{
    return text.replace(QStringLiteral("&lt;"), QStringLiteral("<"))
        .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
        .replace(QStringLiteral("&quot;"), QStringLiteral("\""))
        .replace(QStringLiteral("&apos;"), QStringLiteral("'"))
        .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
}

} // namespace

int pdfPageCount(const std::filesystem::path& file)
{
    static const QRegularExpression pages(QStringLiteral("^Pages:\\s+(\\d+)"), QRegularExpression::MultilineOption);
    return pages.match(run(QStringLiteral("pdfinfo"), {qpath(file)})).captured(1).toInt();
}

QSizeF pdfPageSize(const std::filesystem::path& file)
{
    static const QRegularExpression size(QStringLiteral("^Page size:\\s+([0-9.]+) x ([0-9.]+)"),
                                         QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = size.match(run(QStringLiteral("pdfinfo"), {qpath(file)}));
    return QSizeF(match.captured(1).toDouble(), match.captured(2).toDouble());
}

QStringList pdfPageTexts(const std::filesystem::path& file)
{
    QStringList pages = run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), qpath(file), QStringLiteral("-")})
                            .split(QLatin1Char('\f'));
    pages.removeLast(); // after the last page's form feed
    return pages;
}

void expectPageHeadings(const std::filesystem::path& file, const QList<PageHeading>& headings)
{
    const QStringList pages = pdfPageTexts(file);
    ASSERT_EQ(pages.size(), headings.size());
    for (int i = 0; i < pages.size(); ++i) {
        // The first line: the name at the left, the page number at the right.
        const QStringList heading =
            pages[i].trimmed().section(QLatin1Char('\n'), 0, 0).simplified().split(QLatin1Char(' '));
        EXPECT_EQ(heading,
                  (QStringList{headings[i].category, QStringLiteral("Page"), QString::number(headings[i].number)}))
            << "page " << i + 1;
    }
}

QList<PdfWord> pdfWords(const std::filesystem::path& file, int page)
{
    static const QRegularExpression word(QStringLiteral("<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" "
                                                        "xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\">([^<]*)</word>"));
    const QString html =
        run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), QStringLiteral("-f"), pageArgument(page),
                                          QStringLiteral("-l"), pageArgument(page), qpath(file), QStringLiteral("-")});
    QList<PdfWord> words;
    for (auto it = word.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const QPointF topLeft(match.captured(1).toDouble(), match.captured(2).toDouble());
        const QPointF bottomRight(match.captured(3).toDouble(), match.captured(4).toDouble());
        words.append({decodeEntities(match.captured(5)), QRectF(topLeft, bottomRight)});
    }
    return words;
}

QImage renderPdfPage(const std::filesystem::path& file, int page, int dotsPerInch)
{
    const ScratchDir scratch;
    const QString prefix = qpath(scratch / "page");
    run(QStringLiteral("pdftoppm"), {QStringLiteral("-png"), QStringLiteral("-r"), QString::number(dotsPerInch),
                                     QStringLiteral("-f"), pageArgument(page), QStringLiteral("-l"), pageArgument(page),
                                     QStringLiteral("-singlefile"), qpath(file), prefix});
    return QImage(prefix + QStringLiteral(".png"));
}

QList<QImage> pdfPageImages(const std::filesystem::path& file, int page)
{
    const ScratchDir scratch;
    run(QStringLiteral("pdfimages"), {QStringLiteral("-png"), QStringLiteral("-f"), pageArgument(page),
                                      QStringLiteral("-l"), pageArgument(page), qpath(file), qpath(scratch / "image")});
    QList<QImage> images;
    const QDir directory(qpath(scratch.path()));
    for (const QString& name : directory.entryList({QStringLiteral("image-*.png")}, QDir::Files, QDir::Name))
        images.append(QImage(directory.filePath(name)).convertToFormat(QImage::Format_RGB32));
    return images;
}

QList<int> leftEdgesOf(const QList<PdfWord>& words, const QString& prefix)
{
    std::set<int> edges;
    for (const PdfWord& word : words)
        if (word.text.startsWith(prefix))
            edges.insert(qRound(word.box.left()));
    return QList<int>(edges.begin(), edges.end());
}

QStringList wordsDownThenAcross(const QList<PdfWord>& words, const QString& prefix)
{
    QList<PdfWord> chosen;
    std::copy_if(words.begin(), words.end(), std::back_inserter(chosen),
                 [&](const PdfWord& word) { return word.text.startsWith(prefix); });
    std::stable_sort(chosen.begin(), chosen.end(), [](const PdfWord& a, const PdfWord& b) {
        return qRound(a.box.left()) != qRound(b.box.left()) ? a.box.left() < b.box.left() : a.box.top() < b.box.top();
    });
    QStringList texts;
    for (const PdfWord& word : chosen)
        texts.append(word.text);
    return texts;
}

} // namespace glimmora::test
