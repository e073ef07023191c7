#pragma once

// Qt
#include <QList>
#include <QPageLayout>

#include <optional>

class QPrinter;
class QWidget;

namespace glimmora {

// The system's print dialog and printer setup dialog. Every window that prints asks through the
// current PrintDialogService, so that tests can read what was offered and answer it.

// What a print dialog offers: page numbers from minPage to maxPage, its from and to fields
// preset to fromPage and toPage.
struct PrintOffer {
    int minPage = 1;
    int maxPage = 1;
    int fromPage = 1;
    int toPage = 1;

    bool operator==(const PrintOffer&) const = default;
};

// The pages the user chose in a confirmed print dialog.
struct PageRange {
    int first = 1;
    int last = 1;

    bool operator==(const PageRange&) const = default;
};

// A confirmed print dialog: the chosen page range, or none for all pages.
struct PrintChoice {
    std::optional<PageRange> pages;
};

class PrintDialogService {
public:
    virtual ~PrintDialogService() = default;

    // Shows the print dialog for `printer` (which keeps whatever printer and options the user
    // picks); nothing when the user cancelled.
    virtual std::optional<PrintChoice> askPrint(QPrinter& printer, const PrintOffer& offer, QWidget* parent) = 0;
    // Shows the printer setup dialog, which may change the printer's paper and orientation.
    virtual void printerSetup(QPrinter& printer, QWidget* parent) = 0;

    // The service in use; the system's dialogs unless a test installed another.
    static PrintDialogService& current();
    // Not owned; nullptr restores the system's dialogs.
    static void install(PrintDialogService* service);
};

// Records every dialog asked for and answers from a script: each print dialog takes the next
// answer (cancel when the script is empty); printer setup sets the next scripted orientation, if
// any, on the printer.
class ScriptedPrintDialogs : public PrintDialogService {
public:
    std::optional<PrintChoice> askPrint(QPrinter& printer, const PrintOffer& offer, QWidget* parent) override;
    void printerSetup(QPrinter& printer, QWidget* parent) override;

    void answerCancel() { printAnswers_.append(std::nullopt); }
    void answerAllPages() { printAnswers_.append(PrintChoice{}); }
    void answerPages(int first, int last) { printAnswers_.append(PrintChoice{PageRange{first, last}}); }
    void answerSetup(QPageLayout::Orientation orientation) { setupAnswers_.append(orientation); }

    const QList<PrintOffer>& offers() const { return offers_; }
    int setupsShown() const { return setupsShown_; }

private:
    QList<std::optional<PrintChoice>> printAnswers_;
    QList<QPageLayout::Orientation> setupAnswers_;
    QList<PrintOffer> offers_;
    int setupsShown_ = 0;
};

// Installs a ScriptedPrintDialogs for the lifetime of the object (tests).
class ScopedScriptedPrintDialogs : public ScriptedPrintDialogs {
public:
    ScopedScriptedPrintDialogs() { PrintDialogService::install(this); }
    ~ScopedScriptedPrintDialogs() override { PrintDialogService::install(nullptr); }
};

} // namespace glimmora
