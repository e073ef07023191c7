#include "printing/PageView.h"

#include "printing/BandReport.h"

// Qt
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace glimmora {

// The page itself, sized to the page at the view's zoom.
class TPageView::PageCanvas : public QWidget {
public:
    explicit PageCanvas(TPageView& view) : view_(view) { setAttribute(Qt::WA_OpaquePaintEvent); }

    // A report pixel is 1/96 inch of this screen's logical resolution, as the page plays back.
    double scale() const { return logicalDpiX() / kReportPixelsPerInch * view_.Zoom() / 100.0; }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter painter(this);
        painter.fillRect(event->rect(), Qt::white);
        painter.setPen(palette().color(QPalette::Mid)); // the paper's edge
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
        const TBandReport* report = view_.report();
        if (!report || report->PageCount() == 0)
            return;
        // Reduced pages are smoothed, so that thin lines and small text stay readable.
        painter.setRenderHint(QPainter::SmoothPixmapTransform, view_.Zoom() < 100);
        painter.scale(view_.Zoom() / 100.0, view_.Zoom() / 100.0);
        report->drawPage(painter, view_.PageNumber());
    }

private:
    TPageView& view_;
};

TPageView::TPageView(QWidget* parent) : QScrollArea(parent), canvas_(new PageCanvas(*this))
{
    setFrameShape(QFrame::NoFrame);
    setAlignment(Qt::AlignCenter);
    setBackgroundRole(QPalette::Dark);
    setWidget(canvas_);
    setWidgetResizable(false);
    updateCanvas();
}

void TPageView::setReport(const TBandReport* report)
{
    report_ = report;
    pageNumber_ = 1;
    updateCanvas();
    showTopOfPage();
}

void TPageView::setPageNumber(int number)
{
    const int last = report_ ? std::max(1, report_->PageCount()) : 1;
    pageNumber_ = std::clamp(number, 1, last);
    showTopOfPage();
    canvas_->update();
}

void TPageView::showTopOfPage()
{
    verticalScrollBar()->setValue(verticalScrollBar()->minimum());
    horizontalScrollBar()->setValue(horizontalScrollBar()->minimum());
}

void TPageView::setZoom(int percent)
{
    zoom_ = std::clamp(percent, kMinZoom, kMaxZoom);
    updateCanvas();
}

void TPageView::updateCanvas()
{
    const QSizeF paper = report_ ? report_->paper().size : QSizeF();
    canvas_->resize((paper * canvas_->scale()).toSize());
    canvas_->update();
}

} // namespace glimmora
