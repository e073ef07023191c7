// glimmora-cli print: the printing window's report of the named categories, written to a PDF
// file instead of a printer. The categories are printed in the order the window lists them.

#include "cli/Command.h"
#include "cli/OpenScrapbook.h"

#include "catalog/Categories.h"
#include "platform/Paths.h"
#include "platform/PrintDialogs.h"
#include "printing/ScrapbookReport.h"

// Qt
#include <QLocale>
#include <QPageLayout>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSaveFile>

#include <optional>

namespace glimmora::cli {

namespace {

constexpr const char* kPrintUsage = "print CATEGORY... --pdf FILE [--landscape] [--pages FROM-TO]";

// The strip a printer's paper keeps free at the top, as Qt's own PDF printer has it.
constexpr double kPdfMarginPoints = 10;

struct PrintRequest {
    QStringList categoryNames;
    QString pdfFile;
    bool landscape = false;
    std::optional<PageRange> pages;
};

std::optional<PageRange> parsePages(const QString& text)
{
    static const QRegularExpression range(QStringLiteral("^([0-9]{1,9})-([0-9]{1,9})$"));
    const QRegularExpressionMatch match = range.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const PageRange pages{match.captured(1).toInt(), match.captured(2).toInt()};
    if (pages.first < 1 || pages.first > pages.last)
        return std::nullopt;
    return pages;
}

std::optional<PrintRequest> parsePrint(QStringList arguments)
{
    PrintRequest request;
    while (!arguments.isEmpty()) {
        const QString argument = arguments.takeFirst();
        if (argument == QLatin1String("--pdf")) {
            if (arguments.isEmpty())
                return std::nullopt;
            request.pdfFile = arguments.takeFirst();
        } else if (argument == QLatin1String("--landscape")) {
            request.landscape = true;
        } else if (argument == QLatin1String("--pages")) {
            if (arguments.isEmpty() || !(request.pages = parsePages(arguments.takeFirst())))
                return std::nullopt;
        } else if (argument.startsWith(QLatin1String("--"))) {
            return std::nullopt;
        } else {
            request.categoryNames.append(argument);
        }
    }
    if (request.categoryNames.isEmpty() || request.pdfFile.isEmpty())
        return std::nullopt;
    return request;
}

// The paper a printer would offer: Letter where the locale measures in inches, else A4.
QPageLayout pdfPageLayout(bool landscape)
{
    const QPageSize paper(QLocale().measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter
                                                                                     : QPageSize::A4);
    QPageLayout layout(paper, landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(kPdfMarginPoints, kPdfMarginPoints, kPdfMarginPoints, kPdfMarginPoints),
                       QPageLayout::Point);
    layout.setMode(QPageLayout::FullPageMode); // the report draws from the paper's corner
    return layout;
}

// Writes the pages to the file through a temporary one, so that a failure leaves no half file.
bool writePdf(const TBandReport& report, const PageRange& pages, const QPageLayout& layout, const QString& fileName)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    {
        QPdfWriter writer(&file);
        writer.setPageLayout(layout);
        writer.setTitle(report.title);
        writer.setCreator(QStringLiteral("Glimmora"));
        if (!report.Print(writer, pages.first, pages.last))
            return false;
    }
    return file.commit();
}

int printReport(const PrintRequest& request)
{
    // Printing only reads; a damaged store is reported here, not printed as an empty one.
    const auto scrapbook = openScrapbook(TScrapbook::Access::ReadOnly);
    QList<TCategory*> chosen;
    for (const QString& name : request.categoryNames) {
        TCategory* category = scrapbook->categories().FindOrAddCategory(name, true).first;
        if (!category) {
            printError(QStringLiteral("no category named '%1'").arg(name));
            return kFailure;
        }
        if (!chosen.contains(category))
            chosen.append(category);
    }

    TScrapbookReport report(scrapbook->categories());
    report.setChosenCategories(TScrapbookReport::sortedForList(chosen));
    const QPageLayout layout = pdfPageLayout(request.landscape);
    report.setPaper(reportPaperOf(layout));
    if (!report.prepare()) {
        printError(TScrapbookReport::kNoImagesText);
        return kFailure;
    }

    const int count = report.QuickReport.PageCount();
    const PageRange pages = request.pages.value_or(PageRange{1, count});
    if (pages.last > count) {
        printError(QStringLiteral("the report has %1 pages; pages %2 to %3 are not all among them")
                       .arg(count)
                       .arg(pages.first)
                       .arg(pages.last));
        return kFailure;
    }
    if (!writePdf(report.QuickReport, pages, layout, request.pdfFile)) {
        printError(QStringLiteral("cannot write '%1'").arg(request.pdfFile));
        return kFailure;
    }
    printLine(QStringLiteral("%1 of %2 pages written to %3")
                  .arg(pages.last - pages.first + 1)
                  .arg(count)
                  .arg(request.pdfFile));
    return kSuccess;
}

int runPrint(const Invocation& invocation)
{
    const std::optional<PrintRequest> request = parsePrint(invocation.arguments);
    if (!request)
        return usageError(kPrintUsage);
    return reportingFailures([&] { return printReport(*request); });
}

const CommandRegistration printCommand({"print", kPrintUsage, true, runPrint});

} // namespace

} // namespace glimmora::cli
