#pragma once

#include "printing/BandReport.h"
#include "printing/PrintedText.h"

// Qt
#include <QDateTime>
#include <QImage>
#include <QList>
#include <QString>

#include <functional>

namespace glimmora {

class TCategories;
class TCategory;

// The scrapbook printed as a catalogue: for each chosen category that has images, pages headed
// by its name list its images, each with its thumbnail, directory, file name and memo, in two
// columns (three on landscape paper), every category from a new page. The printing window and
// glimmora-cli print share it. It only reads the scrapbook: a category's images are loaded for
// the printing and unloaded again at once unless a category window holds them.
class TScrapbookReport {
public:
    static const QString kTitle;        // the print job's name
    static const QString kNoImagesText; // when the chosen categories have no image

    explicit TScrapbookReport(TCategories& categories);
    // Lets go of the category being printed.
    ~TScrapbookReport();
    TScrapbookReport(const TScrapbookReport&) = delete;
    TScrapbookReport& operator=(const TScrapbookReport&) = delete;

    // The categories to print, in the order the printing window lists them (sortedForList).
    void setChosenCategories(const QList<TCategory*>& chosen);
    // The categories as the printing window lists them: by name, whatever their case.
    static QList<TCategory*> sortedForList(QList<TCategory*> categories);

    // The paper the pages are laid out for; landscape when wider than high.
    void setPaper(const ReportPaper& paper) { QuickReport.setPaper(paper); }
    bool landscape() const;

    // Prepares the pages of the chosen categories from the first: false, with nothing prepared,
    // when none of them has an image. `progress` is told how many images are placed. The two
    // halves, for a window that shows its work in between: FirstCategory finds the first chosen
    // category with images, PreparePages lays the pages out from there.
    bool prepare(const std::function<void(int images)>& progress = {});
    bool FirstCategory();
    void PreparePages(const std::function<void(int images)>& progress = {});
    // Prepares the pages of one category, its images in the order of their paths, in the
    // design's two columns whatever the paper (the category window's preview). False when the
    // category has no image.
    bool PreviewCategory(TCategory& category);

    // About how many images the chosen categories hold (their memberships, or their loaded
    // lists), for a progress display.
    int imagesToPrint() const;

    // Lets go of the category being printed: its images are unloaded unless a window shows it.
    void releaseCategory();

    TBandReport QuickReport;

    // The steps of preparing, as the printing window's design names them.
    bool NextCategory();
    void LayoutForPaper();
    bool QuickReportNeedData();
    void FillDetailBand();

private:
    void drawPageHeader(QPainter& painter, const QRectF& area) const;
    void drawDetail(QPainter& painter, const QRectF& area) const;
    void drawPageFooter(QPainter& painter, const QRectF& area) const;
    double textRight(const QRectF& area) const;

    TCategories& categories_;
    QList<TCategory*> chosen_;

    // Where the data event stands: the chosen category at index_ (-1 before the first), and the
    // next of its images.
    int index_ = -1;
    TCategory* current_ = nullptr;
    std::size_t nextImage_ = 0;

    // What the detail band shows, filled by FillDetailBand.
    QImage thumbnail_;
    PrintedImageTexts texts_;
    QDateTime printedAt_;
};

} // namespace glimmora
