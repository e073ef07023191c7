#pragma once

// Qt
#include <QScrollArea>

namespace glimmora {

class TBandReport;

// The page view of a prepared report: one page at a time, at a zoom in per cent of its real
// size, on a grey ground with scroll bars that follow the thumb while it is dragged.
class TPageView : public QScrollArea {
    Q_OBJECT

public:
    explicit TPageView(QWidget* parent = nullptr);

    // The report is not owned and must stay prepared while the view shows it.
    void setReport(const TBandReport* report);
    const TBandReport* report() const { return report_; }

    // Clamped to the report's pages.
    void setPageNumber(int number);
    int PageNumber() const { return pageNumber_; }
    // Clamped to 10 ... 100.
    void setZoom(int percent);
    int Zoom() const { return zoom_; }

    static constexpr int kMinZoom = 10;
    static constexpr int kMaxZoom = 100;

private:
    class PageCanvas;
    void updateCanvas();
    void showTopOfPage();

    const TBandReport* report_ = nullptr;
    int pageNumber_ = 1;
    int zoom_ = kMaxZoom;
    PageCanvas* canvas_;
};

} // namespace glimmora
