#include "printing/PrintedScrapbook.h"

#include "catalog/Categories.h"
#include "platform/MessageService.h"
#include "platform/ProgramPrinter.h"
#include "printing/PrintPreview.h"
#include "printing/PrintedText.h"
#include "printing/PrintingWindow.h"
#include "printing/ReportPrinter.h"

// Qt
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>

#include <exception>

namespace glimmora {

namespace {

const QString kWorking = QStringLiteral("Working...");

// How often the window is repainted while it works.
constexpr qint64 kRepaintMilliseconds = 100;

void sayNoImages()
{
    showMessage({TScrapbookReport::kNoImagesText, QStringLiteral("Glimmora"), MessageIcon::None, MessageButton::Ok,
                 MessageButton::Ok, MessageBeep::Exclamation});
}

} // namespace

TQRListForm::TQRListForm(TCategories& categories, QWidget* parent)
    : TPrintingDialog(parent),
      categories_(categories),
      report_(categories)
{
    FormCreate();
}

TQRListForm::~TQRListForm() = default;

void TQRListForm::FormCreate()
{
    setWindowTitle(QStringLiteral("Glimmora - Print Your Scrapbook"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint);
    setFont(QFont(QStringLiteral("Arial"), 8));
    setFixedSize(344, 316);

    Label1 = new QLabel(QStringLiteral("Select the Categories You Wish to Print"), this);
    Label1->setGeometry(0, 16, width(), Label1->sizeHint().height());
    Label1->setAlignment(Qt::AlignHCenter);

    CategoryListBox = new QListWidget(this);
    CategoryListBox->setGeometry(58, 44, 201, 189);
    CategoryListBox->setSelectionMode(QAbstractItemView::ExtendedSelection);
    FillCategoryList();

    btnPrint = pictureButton(this, QRect(272, 48, 33, 25), QStringLiteral("Print"), QStringLiteral("print"));
    BtnPreview = pictureButton(this, QRect(272, 80, 33, 25), QStringLiteral("Preview"), QStringLiteral("preview"));
    btnPrintSetup =
        pictureButton(this, QRect(272, 112, 33, 25), QStringLiteral("Printer Setup"), QStringLiteral("setup"));
    BitBtn3 = pictureButton(this, QRect(272, 144, 33, 25), QStringLiteral("Cancel"), QStringLiteral("cancel"));
    enablePrinting(false);

    btnSelectAll = new QPushButton(QStringLiteral("&All"), this);
    btnSelectAll->setGeometry(81, 247, 75, 25);
    btnSelectNone = new QPushButton(QStringLiteral("&None"), this);
    btnSelectNone->setGeometry(169, 247, 75, 25);

    lblWorking = new QLabel(this);
    lblWorking->setGeometry(58, 288, 201, 14);
    QFont bold = font();
    bold.setBold(true);
    lblWorking->setFont(bold);
    pbWorking = new QProgressBar(this);
    pbWorking->setTextVisible(false);
    pbWorking->hide();

    connect(CategoryListBox, &QListWidget::itemSelectionChanged, this, &TQRListForm::CategoryListBoxClick);
    connect(btnSelectAll, &QPushButton::clicked, this, &TQRListForm::btnSelectAllClick);
    connect(btnSelectNone, &QPushButton::clicked, this, &TQRListForm::btnSelectNoneClick);
    connect(btnPrint, &QToolButton::clicked, this, &TQRListForm::btnPrintClick);
    connect(BtnPreview, &QToolButton::clicked, this, &TQRListForm::BtnPreviewClick);
    connect(btnPrintSetup, &QToolButton::clicked, this, &TQRListForm::btnPrintSetupClick);
    connect(BitBtn3, &QToolButton::clicked, this, &TQRListForm::BitBtn3Click);

    takePaperFromPrinter();
    CategoryListBox->setFocus();
    centreOnScreen(*this);
}

void TQRListForm::FillCategoryList()
{
    entries_ = TScrapbookReport::sortedForList(categories_.FillCategoryList());
    for (const TCategory* category : entries_)
        CategoryListBox->addItem(singleLineText(category->CategoryName));
    CategoryListBox->clearSelection();
    CategoryListBox->setCurrentRow(-1, QItemSelectionModel::NoUpdate);
}

void TQRListForm::enablePrinting(bool enabled)
{
    btnPrint->setEnabled(enabled);
    BtnPreview->setEnabled(enabled);
}

QList<TCategory*> TQRListForm::chosenCategories() const
{
    QList<TCategory*> chosen;
    for (int row = 0; row < CategoryListBox->count(); ++row)
        if (CategoryListBox->item(row)->isSelected())
            chosen.append(entries_.at(row));
    return chosen;
}

void TQRListForm::btnSelectAllClick()
{
    CategoryListBox->selectAll();
    enablePrinting(true);
}

void TQRListForm::btnSelectNoneClick()
{
    CategoryListBox->clearSelection();
    enablePrinting(false);
}

void TQRListForm::CategoryListBoxClick() { enablePrinting(!CategoryListBox->selectedItems().isEmpty()); }

QPrinter& TQRListForm::printer() { return programPrinter(); }

void TQRListForm::takePaperFromPrinter() { report_.setPaper(reportPaperOf(printer().pageLayout())); }

bool TQRListForm::PrepareReport()
{
    report_.setChosenCategories(chosenCategories());
    if (!report_.FirstCategory()) {
        sayNoImages();
        return false;
    }
    ShowWorking(report_.imagesToPrint());
    try {
        report_.PreparePages([this](int images) { showProgress(images); });
    } catch (...) {
        HideWorking();
        throw;
    }
    HideWorking();
    return true;
}

void TQRListForm::ShowWorking(int total)
{
    working_ = true;
    hourglass_.emplace();
    // Nothing may start another command while this one works and lets events run.
    for (QWidget* control :
         QList<QWidget*>{CategoryListBox, btnPrint, BtnPreview, btnPrintSetup, BitBtn3, btnSelectAll, btnSelectNone})
        control->setEnabled(false);
    lblWorking->setText(kWorking);
    const int barLeft = lblWorking->x() + lblWorking->fontMetrics().horizontalAdvance(kWorking) + 8;
    pbWorking->setGeometry(barLeft, lblWorking->y() + 2, lblWorking->geometry().right() - barLeft,
                           lblWorking->height() - 4);
    pbWorking->setRange(0, std::max(1, total));
    pbWorking->setValue(0);
    pbWorking->show();
    repaint();
    processPendingEvents();
    sinceRepaint_.start();
}

void TQRListForm::showProgress(int done)
{
    pbWorking->setValue(std::min(done, pbWorking->maximum()));
    if (sinceRepaint_.elapsed() < kRepaintMilliseconds)
        return;
    processPendingEvents();
    sinceRepaint_.restart();
}

void TQRListForm::HideWorking()
{
    hourglass_.reset();
    lblWorking->clear();
    pbWorking->hide();
    for (QWidget* control : QList<QWidget*>{CategoryListBox, btnPrintSetup, BitBtn3, btnSelectAll, btnSelectNone})
        control->setEnabled(true);
    CategoryListBoxClick();
    working_ = false;
}

void TQRListForm::reportingFailures(const std::function<void()>& command)
{
    try {
        command();
    } catch (const std::exception& error) {
        if (working_)
            HideWorking();
        report_.QuickReport.ClearPages();
        showMessage({QStringLiteral("The report could not be made: %1").arg(QString::fromUtf8(error.what())),
                     QStringLiteral("Glimmora"), MessageIcon::Error, MessageButton::Ok, MessageButton::Ok,
                     MessageBeep::Error});
    }
}

void TQRListForm::btnPrintClick()
{
    reportingFailures([this] {
        if (!PrepareReport())
            return;
        TBandReport& report = report_.QuickReport;
        const int count = report.PageCount();
        const std::optional<PageRange> pages = askPagesToPrint(printer(), count, {1, count}, this);
        if (!pages) {
            report.ClearPages();
            return;
        }
        ShowWorking(pages->last - pages->first + 1);
        const bool printed =
            printReportPages(report, printer(), *pages, [&](int page) { showProgress(page - pages->first + 1); });
        HideWorking();
        report.ClearPages();
        if (printed)
            accept();
        else
            reportPrintingFailure(printer());
    });
}

void TQRListForm::BtnPreviewClick()
{
    reportingFailures([this] {
        if (PrepareReport())
            OnPreview();
    });
}

void TQRListForm::PreviewCategory(TCategory& category)
{
    reportingFailures([&] {
        bool prepared = false;
        {
            const HourglassCursor hourglass;
            prepared = report_.PreviewCategory(category);
        }
        if (prepared)
            OnPreview();
        else
            sayNoImages();
    });
}

void TQRListForm::OnPreview()
{
    // Unshown, as for a category's preview, the preview belongs to the window that asked.
    TPrintPreviewForm preview(isVisible() ? this : parentWidget());
    preview.SetReport(report_.QuickReport, printer());
    preview.exec();
    report_.QuickReport.ClearPages();
}

void TQRListForm::btnPrintSetupClick()
{
    setUpProgramPrinter(this);
    takePaperFromPrinter();
}

void TQRListForm::BitBtn3Click() { close(); }

void TQRListForm::done(int result)
{
    if (working_)
        return; // the work in hand ends first
    report_.releaseCategory();
    TPrintingDialog::done(result);
}

} // namespace glimmora
