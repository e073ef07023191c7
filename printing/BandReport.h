#pragma once

// Qt
#include <QList>
#include <QPicture>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <functional>
#include <memory>

class QPageLayout;
class QPagedPaintDevice;
class QPainter;

namespace glimmora {

// Report measures are screen pixels, 96 to the inch, whatever device shows or prints the pages.
inline constexpr double kReportPixelsPerInch = 96.0;

// The paper a report is laid out for, in report pixels: its whole size, and the strip at its top
// that the printer cannot print on. The header starts below that strip and the footer ends as
// far above the bottom edge.
struct ReportPaper {
    QSizeF size;
    double topOffset = 0;

    bool operator==(const ReportPaper&) const = default;
};

// The paper of a page layout: its full page, and its top margin as the unprintable strip (Qt
// starts a printer's margins at what the printer cannot reach).
ReportPaper reportPaperOf(const QPageLayout& layout);

// One band of a report: how far it advances down the page, how far below its top its drawing
// may reach (a detail's picture may hang below the band's height), and what it draws, in report
// pixels, into the area it is given.
struct ReportBand {
    double height = 0;
    double reach = 0; // 0: the band's height
    std::function<void(QPainter&, const QRectF& area)> draw;

    double extent() const { return reach > 0 ? reach : height; }
};

// A small band report engine. Every page has a page header band below the paper's unprintable
// strip and a page footer band ending as far above the bottom edge; between them the detail
// band is repeated, once for each line of data, filling newspaper columns (down the first, then
// the next) of equal width across the paper, without margin or gap. The prepared pages are kept
// as drawings, so that the page view and the printer play back the same pages.
class TBandReport {
public:
    TBandReport();
    ~TBandReport();

    // The report's name, as the print job is called.
    QString title;

    ReportBand pageHeader;
    ReportBand detail;
    ReportBand pageFooter;

    // Asked once for each detail line while the pages are prepared: true when there is another
    // line (whose data the owner has made ready for the detail band), false at the end of the
    // data. It may call NewPage.
    std::function<bool()> needData;

    void setPaper(const ReportPaper& paper);
    const ReportPaper& paper() const { return paper_; }
    void setColumns(int columns);
    int columns() const { return columns_; }

    // Prepares the pages anew, running needData until the end of the data. `progress` is told
    // the number of detail lines placed so far, now and then.
    void Prepare(const std::function<void(int lines)>& progress = {});
    // During preparation: the next detail line begins a new page.
    void NewPage();
    // The number of the page being prepared, from 1.
    int PageNumber() const { return pages_.size() + 1; }

    int PageCount() const { return pages_.size(); }
    const QPicture& page(int number) const { return pages_.at(number - 1); }
    // Discards the prepared pages.
    void ClearPages();

    // Plays page `number` back on a painter, which is first given the black pen and empty brush
    // the page was drawn with. The page comes out at its real size on the painter's device: a
    // report pixel is 1/96 inch of the device's logical resolution.
    void drawPage(QPainter& painter, int number) const;

    // Prints pages first to last on a device whose page layout is in full-page mode (drawing
    // starts at the paper's corner). A device whose paper differs from the report's gets each
    // page scaled to fit, centred. `progress` is told each page sent. False when the device
    // failed or the pages are not all prepared ones.
    bool Print(QPagedPaintDevice& device, int first, int last,
               const std::function<void(int page)>& progress = {}) const;

private:
    void placeDetail();
    void openPage();
    void closePage();
    void drawBand(const ReportBand& band, const QRectF& area);
    double columnWidth() const;
    double detailTop() const;
    double detailBottom() const;

    ReportPaper paper_;
    int columns_ = 1;
    QList<QPicture> pages_;

    // The page being prepared.
    QPicture current_;
    std::unique_ptr<QPainter> painter_;
    int column_ = 0;
    double y_ = 0;
};

} // namespace glimmora
