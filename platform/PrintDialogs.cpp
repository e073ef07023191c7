#include "platform/PrintDialogs.h"

// Qt
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>

namespace glimmora {

namespace {

class SystemPrintDialogs : public PrintDialogService {
public:
    std::optional<PrintChoice> askPrint(QPrinter& printer, const PrintOffer& offer, QWidget* parent) override
    {
        QPrintDialog dialog(&printer, parent);
        dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
        dialog.setMinMax(offer.minPage, offer.maxPage);
        dialog.setFromTo(offer.fromPage, offer.toPage);
        dialog.setPrintRange(QAbstractPrintDialog::AllPages);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        if (dialog.printRange() != QAbstractPrintDialog::PageRange)
            return PrintChoice{};
        return PrintChoice{PageRange{dialog.fromPage(), dialog.toPage()}};
    }

    void printerSetup(QPrinter& printer, QWidget* parent) override
    {
        QPageSetupDialog dialog(&printer, parent);
        dialog.exec();
    }
};

PrintDialogService*& installed()
{
    static PrintDialogService* service = nullptr;
    return service;
}

} // namespace

PrintDialogService& PrintDialogService::current()
{
    static SystemPrintDialogs system;
    PrintDialogService* service = installed();
    return service ? *service : system;
}

void PrintDialogService::install(PrintDialogService* service) { installed() = service; }

std::optional<PrintChoice> ScriptedPrintDialogs::askPrint(QPrinter&, const PrintOffer& offer, QWidget*)
{
    offers_.append(offer);
    return printAnswers_.isEmpty() ? std::nullopt : printAnswers_.takeFirst();
}

void ScriptedPrintDialogs::printerSetup(QPrinter& printer, QWidget*)
{
    ++setupsShown_;
    if (!setupAnswers_.isEmpty())
        printer.setPageOrientation(setupAnswers_.takeFirst());
}

} // namespace glimmora
