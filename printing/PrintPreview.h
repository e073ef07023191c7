#pragma once

#include "printing/PrintingWindow.h"

// Qt

class QFrame;
class QLabel;
class QLineEdit;
class QPrinter;
class QSpinBox;
class QToolButton;

namespace glimmora {

class TBandReport;
class TPageView;

// The print preview: the prepared pages of a report one at a time, with paging, zoom, printing
// all or some pages (which closes the preview) and printing the page shown (which does not).
class TPrintPreviewForm : public TPrintingDialog {
    Q_OBJECT

public:
    explicit TPrintPreviewForm(QWidget* parent = nullptr);

    // The report to show, prepared, and the printer it prints on; both outlive the window.
    void SetReport(const TBandReport& report, QPrinter& printer);

    QFrame* Panel1;
    QToolButton* btnPrint;
    QToolButton* btnPrintThisPage;
    QLabel* Label2;
    QToolButton* btnFirstPage;
    QToolButton* btnPrevPage;
    QLineEdit* PageNumber;
    QToolButton* btnNextPage;
    QToolButton* btnLastPage;
    QLabel* Label1;
    QSpinBox* Zoom;
    TPageView* QRPreview1;

public slots:
    void btnFirstPageClick();
    void btnPrevPageClick();
    void btnNextPageClick();
    void btnLastPageClick();
    void ZoomChange();
    void btnPrintClick();
    void btnPrintThisPageClick();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void FormResize();
    void UpdatePageControls();
    void showPage(int number);
    int pageCount() const;

    const TBandReport* report_ = nullptr;
    QPrinter* printer_ = nullptr;
};

} // namespace glimmora
