#include "printing/BandReport.h"

// Qt
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTransform>

#include <algorithm>

namespace glimmora {

namespace {

constexpr double kPointsPerInch = 72.0;

double pixelsOfPoints(double points) { return points * kReportPixelsPerInch / kPointsPerInch; }

// Report pixels in a drawing: QPicture's own unit is a pixel of the default logical resolution,
// and it scales itself from that to the device it is played back on.
void useReportPixels(QPainter& painter, const QPicture& picture)
{
    painter.scale(picture.logicalDpiX() / kReportPixelsPerInch, picture.logicalDpiY() / kReportPixelsPerInch);
}

// Printed thumbnails are drawn pixel for pixel: PDF output keeps them lossless, and no device
// smooths them into a blur when it enlarges them to its resolution. (The drawings record no
// render hints, so that the painter playing them back decides: a page view smooths reduced
// pages.)
void useSharpImages(QPainter& painter)
{
    painter.setRenderHint(QPainter::LosslessImageRendering);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
}

// How pages laid out for one paper go onto another: as they are on the same paper, else scaled
// to fit and centred. The device's coordinates are its own pixels.
QTransform fittingTransform(const QSizeF& laidOut, const QSizeF& target, double devicePixelsPerReportPixel)
{
    if (laidOut == target)
        return QTransform();
    const double scale = std::min(target.width() / laidOut.width(), target.height() / laidOut.height());
    const QSizeF margin = (target - laidOut * scale) / 2 * devicePixelsPerReportPixel;
    return QTransform::fromTranslate(margin.width(), margin.height()).scale(scale, scale);
}

} // namespace

ReportPaper reportPaperOf(const QPageLayout& layout)
{
    const QRectF paper = layout.fullRect(QPageLayout::Point);
    return {QSizeF(pixelsOfPoints(paper.width()), pixelsOfPoints(paper.height())),
            pixelsOfPoints(layout.margins(QPageLayout::Point).top())};
}

TBandReport::TBandReport() = default;

TBandReport::~TBandReport() = default;

void TBandReport::setPaper(const ReportPaper& paper) { paper_ = paper; }

void TBandReport::setColumns(int columns) { columns_ = std::max(1, columns); }

void TBandReport::ClearPages()
{
    painter_.reset();
    current_ = QPicture();
    pages_.clear();
}

void TBandReport::Prepare(const std::function<void(int lines)>& progress)
{
    ClearPages();
    int lines = 0;
    try {
        while (needData && needData()) {
            placeDetail();
            if (progress)
                progress(++lines);
        }
        if (painter_)
            closePage();
    } catch (...) {
        ClearPages(); // half a report is no report
        throw;
    }
}

void TBandReport::NewPage()
{
    // The page is closed now; the next one opens with the next detail line, so that its header
    // shows what is current by then.
    if (painter_)
        closePage();
}

double TBandReport::columnWidth() const { return paper_.size.width() / columns_; }

double TBandReport::detailTop() const { return paper_.topOffset + pageHeader.height; }

double TBandReport::detailBottom() const { return paper_.size.height() - paper_.topOffset - pageFooter.height; }

void TBandReport::placeDetail()
{
    if (!painter_) {
        openPage();
    } else if (y_ + detail.extent() > detailBottom() && y_ > detailTop()) {
        // A column takes at least one line, so that paper too small for a band still ends.
        if (++column_ < columns_) {
            y_ = detailTop();
        } else {
            closePage();
            openPage();
        }
    }
    drawBand(detail, QRectF(column_ * columnWidth(), y_, columnWidth(), detail.height));
    y_ += detail.height;
}

void TBandReport::openPage()
{
    current_ = QPicture();
    painter_ = std::make_unique<QPainter>(&current_);
    useReportPixels(*painter_, current_);
    column_ = 0;
    drawBand(pageHeader, QRectF(0, paper_.topOffset, paper_.size.width(), pageHeader.height));
    y_ = detailTop();
}

void TBandReport::closePage()
{
    drawBand(pageFooter, QRectF(0, detailBottom(), paper_.size.width(), pageFooter.height));
    painter_->end();
    painter_.reset();
    pages_.append(current_);
    current_ = QPicture();
}

void TBandReport::drawBand(const ReportBand& band, const QRectF& area)
{
    if (!band.draw)
        return;
    painter_->save();
    band.draw(*painter_, area);
    painter_->restore();
}

void TBandReport::drawPage(QPainter& painter, int number) const
{
    // A drawing records only what changes from a fresh painter's state, so the painter it is
    // played on must start from that state, whatever the device's own defaults.
    painter.setPen(QPen(Qt::black));
    painter.setBrush(Qt::NoBrush);
    painter.drawPicture(0, 0, page(number));
}

bool TBandReport::Print(QPagedPaintDevice& device, int first, int last,
                        const std::function<void(int page)>& progress) const
{
    if (first < 1 || last > PageCount() || first > last)
        return false;
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    useSharpImages(painter);
    painter.setTransform(fittingTransform(paper_.size, reportPaperOf(device.pageLayout()).size,
                                          device.logicalDpiX() / kReportPixelsPerInch));

    for (int number = first; number <= last; ++number) {
        if (number > first && !device.newPage()) {
            painter.end();
            return false;
        }
        drawPage(painter, number);
        if (progress)
            progress(number);
    }
    return painter.end();
}

} // namespace glimmora
