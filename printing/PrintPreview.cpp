#include "printing/PrintPreview.h"

#include "printing/BandReport.h"
#include "printing/PageView.h"
#include "printing/PrintingWindow.h"
#include "printing/ReportPrinter.h"

// Qt
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QSpinBox>
#include <QToolButton>

namespace glimmora {

namespace {

constexpr int kPanelHeight = 40;
constexpr int kZoomStep = 10;

QToolButton* pagingButton(QWidget* parent, int left, const QString& caption, const QString& hint)
{
    auto* button = new QToolButton(parent);
    button->setGeometry(left, 8, 25, 25);
    button->setText(caption);
    QFont bold = button->font();
    bold.setBold(true);
    button->setFont(bold);
    button->setToolTip(hint);
    button->setAccessibleName(hint);
    button->setFocusPolicy(Qt::StrongFocus);
    return button;
}

QLabel* caption(QWidget* parent, int left, const QString& text, QWidget* buddy)
{
    auto* label = new QLabel(text, parent);
    label->move(left, 15);
    label->adjustSize();
    label->setBuddy(buddy);
    return label;
}

// A key that clicks a button, only while the button is enabled.
void addShortcut(QWidget* window, const QKeySequence& keys, QToolButton* button)
{
    auto* shortcut = new QShortcut(keys, window);
    QObject::connect(shortcut, &QShortcut::activated, button, [button] {
        if (button->isEnabled())
            button->click();
    });
}

} // namespace

TPrintPreviewForm::TPrintPreviewForm(QWidget* parent) : TPrintingDialog(parent)
{
    setWindowTitle(QStringLiteral("Glimmora - Print Preview"));
    // A preview is read best large, so it can be maximised.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint
                   | Qt::WindowCloseButtonHint);
    setFont(QFont(QStringLiteral("Arial"), 8));
    setAutoFillBackground(true);
    setPalette(QPalette(Qt::white));
    resize(501, 465);

    Panel1 = new QFrame(this);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    btnPrint = pictureButton(Panel1, QRect(24, 8, 25, 25), QStringLiteral("Print"), QStringLiteral("print"));
    btnPrintThisPage =
        pictureButton(Panel1, QRect(49, 8, 25, 25), QStringLiteral("Print This Page"), QStringLiteral("printpage"));
    btnFirstPage = pagingButton(Panel1, 143, QStringLiteral("<<"), QStringLiteral("First page"));
    btnPrevPage = pagingButton(Panel1, 168, QStringLiteral("<"), QStringLiteral("Previous page"));
    PageNumber = new QLineEdit(QStringLiteral("1"), Panel1);
    PageNumber->setGeometry(192, 8, 33, 25);
    PageNumber->setReadOnly(true);
    PageNumber->setAlignment(Qt::AlignCenter);
    btnNextPage = pagingButton(Panel1, 224, QStringLiteral(">"), QStringLiteral("Next page"));
    btnLastPage = pagingButton(Panel1, 249, QStringLiteral(">>"), QStringLiteral("Last page"));
    Label2 = caption(Panel1, 114, QStringLiteral("&Page"), PageNumber);
    Zoom = new QSpinBox(Panel1);
    Zoom->setGeometry(338, 8, 49, 26);
    Zoom->setRange(TPageView::kMinZoom, TPageView::kMaxZoom);
    Zoom->setSingleStep(kZoomStep);
    Zoom->setValue(TPageView::kMaxZoom);
    Label1 = caption(Panel1, 303, QStringLiteral("&Zoom"), Zoom);
    btnFirstPage->setEnabled(false);
    btnPrevPage->setEnabled(false);

    QRPreview1 = new TPageView(this);

    connect(btnPrint, &QToolButton::clicked, this, &TPrintPreviewForm::btnPrintClick);
    connect(btnPrintThisPage, &QToolButton::clicked, this, &TPrintPreviewForm::btnPrintThisPageClick);
    connect(btnFirstPage, &QToolButton::clicked, this, &TPrintPreviewForm::btnFirstPageClick);
    connect(btnPrevPage, &QToolButton::clicked, this, &TPrintPreviewForm::btnPrevPageClick);
    connect(btnNextPage, &QToolButton::clicked, this, &TPrintPreviewForm::btnNextPageClick);
    connect(btnLastPage, &QToolButton::clicked, this, &TPrintPreviewForm::btnLastPageClick);
    connect(Zoom, &QSpinBox::valueChanged, this, &TPrintPreviewForm::ZoomChange);
    addShortcut(this, QKeySequence(Qt::CTRL | Qt::Key_Home), btnFirstPage);
    addShortcut(this, QKeySequence(Qt::CTRL | Qt::Key_PageUp), btnPrevPage);
    addShortcut(this, QKeySequence(Qt::CTRL | Qt::Key_PageDown), btnNextPage);
    addShortcut(this, QKeySequence(Qt::CTRL | Qt::Key_End), btnLastPage);
    addShortcut(this, QKeySequence::Print, btnPrint);

    FormResize();
    centreOnScreen(*this);
}

void TPrintPreviewForm::SetReport(const TBandReport& report, QPrinter& printer)
{
    report_ = &report;
    printer_ = &printer;
    QRPreview1->setReport(&report);
    QRPreview1->setZoom(Zoom->value());
    UpdatePageControls();
}

int TPrintPreviewForm::pageCount() const { return report_ ? report_->PageCount() : 0; }

void TPrintPreviewForm::UpdatePageControls()
{
    const int number = QRPreview1->PageNumber();
    PageNumber->setText(QString::number(number));
    btnFirstPage->setEnabled(number >= 2);
    btnLastPage->setEnabled(number < pageCount());
    btnPrevPage->setEnabled(btnFirstPage->isEnabled());
    btnNextPage->setEnabled(btnLastPage->isEnabled());
}

void TPrintPreviewForm::showPage(int number)
{
    QRPreview1->setPageNumber(number);
    UpdatePageControls();
}

void TPrintPreviewForm::btnFirstPageClick() { showPage(1); }

void TPrintPreviewForm::btnPrevPageClick() { showPage(QRPreview1->PageNumber() - 1); }

void TPrintPreviewForm::btnNextPageClick() { showPage(QRPreview1->PageNumber() + 1); }

void TPrintPreviewForm::btnLastPageClick() { showPage(pageCount()); }

void TPrintPreviewForm::ZoomChange() { QRPreview1->setZoom(Zoom->value()); }

void TPrintPreviewForm::btnPrintClick()
{
    if (!report_ || pageCount() == 0)
        return;
    const int shown = QRPreview1->PageNumber();
    const std::optional<PageRange> pages = askPagesToPrint(*printer_, pageCount(), {shown, shown}, this);
    if (!pages)
        return;
    if (printReportPages(*report_, *printer_, *pages))
        accept();
    else
        reportPrintingFailure(*printer_);
}

void TPrintPreviewForm::btnPrintThisPageClick()
{
    if (!report_ || pageCount() == 0)
        return;
    const int shown = QRPreview1->PageNumber();
    if (!printReportPages(*report_, *printer_, {shown, shown}))
        reportPrintingFailure(*printer_);
}

void TPrintPreviewForm::resizeEvent(QResizeEvent* event)
{
    TPrintingDialog::resizeEvent(event);
    FormResize();
}

void TPrintPreviewForm::FormResize()
{
    Panel1->setGeometry(0, 0, width(), kPanelHeight);
    QRPreview1->setGeometry(0, kPanelHeight, width(), height() - kPanelHeight);
}

} // namespace glimmora
