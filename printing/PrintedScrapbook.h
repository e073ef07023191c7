#pragma once

#include "platform/UserInterface.h"
#include "printing/PrintingWindow.h"
#include "printing/ScrapbookReport.h"

// Qt
#include <QElapsedTimer>
#include <QPrinter>

#include <functional>
#include <optional>

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QToolButton;

namespace glimmora {

class TCategories;
class TCategory;

// The printing window: the user chooses categories, sets up the printer, previews and prints
// the scrapbook report. A category window uses it unshown to preview its one category.
class TQRListForm : public TPrintingDialog {
    Q_OBJECT

public:
    explicit TQRListForm(TCategories& categories, QWidget* parent = nullptr);
    ~TQRListForm() override;

    // Previews the report of one category, its images in the order of their paths.
    void PreviewCategory(TCategory& category);

    TScrapbookReport& report() { return report_; }
    // The printer the report prints on: the program's printer (the system's default, or a PDF
    // file where there is none), whose setup every window shares.
    static QPrinter& printer();

    QLabel* Label1;
    QListWidget* CategoryListBox;
    QToolButton* btnPrint;
    QToolButton* BtnPreview;
    QToolButton* btnPrintSetup;
    QToolButton* BitBtn3;
    QPushButton* btnSelectAll;
    QPushButton* btnSelectNone;
    QLabel* lblWorking;
    QProgressBar* pbWorking; // beside "Working...", how far the work is

public slots:
    void btnSelectAllClick();
    void btnSelectNoneClick();
    void CategoryListBoxClick();
    void btnPrintClick();
    void BtnPreviewClick();
    void btnPrintSetupClick();
    void BitBtn3Click();

    void done(int result) override;

private:
    void FormCreate();
    void FillCategoryList();
    void enablePrinting(bool enabled);
    QList<TCategory*> chosenCategories() const;
    bool PrepareReport();
    void ShowWorking(int total);
    void showProgress(int done);
    void HideWorking();
    void OnPreview();
    void takePaperFromPrinter();
    // Runs a command; a failure of the scrapbook underneath is shown, not thrown out of the window.
    void reportingFailures(const std::function<void()>& command);

    TCategories& categories_;
    TScrapbookReport report_;
    QList<TCategory*> entries_; // the category of each entry of CategoryListBox

    // While the report is prepared or printed.
    bool working_ = false;
    std::optional<HourglassCursor> hourglass_;
    QElapsedTimer sinceRepaint_;
};

} // namespace glimmora
