#include "printing/ReportPrinter.h"

#include "platform/MessageService.h"
#include "printing/BandReport.h"

// Qt
#include <QPrinter>

namespace glimmora {

std::optional<PageRange> askPagesToPrint(QPrinter& printer, int pageCount, const PageRange& preset, QWidget* parent)
{
    const std::optional<PrintChoice> choice =
        PrintDialogService::current().askPrint(printer, {1, pageCount, preset.first, preset.last}, parent);
    if (!choice)
        return std::nullopt;
    return choice->pages.value_or(PageRange{1, pageCount});
}

bool printReportPages(const TBandReport& report, QPrinter& printer, const PageRange& pages,
                      const std::function<void(int page)>& progress)
{
    printer.setDocName(report.title);
    printer.setFullPage(true); // the report draws from the paper's corner
    return report.Print(printer, pages.first, pages.last, progress) && printer.printerState() != QPrinter::Error;
}

void reportPrintingFailure(const QPrinter& printer)
{
    QString target = printer.outputFileName().isEmpty() ? printer.printerName() : printer.outputFileName();
    if (target.isEmpty())
        target = QStringLiteral("the printer");
    showMessage({QStringLiteral("The pages could not be printed on %1.").arg(target), QStringLiteral("Glimmora"),
                 MessageIcon::Error, MessageButton::Ok, MessageButton::Ok, MessageBeep::Error});
}

} // namespace glimmora
