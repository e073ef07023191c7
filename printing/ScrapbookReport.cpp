#include "printing/ScrapbookReport.h"

#include "catalog/Categories.h"
#include "catalog/Correspondences.h"

// Qt
#include <QFontMetricsF>
#include <QHash>
#include <QLocale>
#include <QPainter>

#include <algorithm>

namespace glimmora {

namespace {

// The report's design, in report pixels.
constexpr double kPageHeaderHeight = 54;
constexpr double kDetailHeight = 62;
constexpr double kPageFooterHeight = 49;
constexpr double kNameLeft = 52;       // the category name and the footer's product name
constexpr double kRightInset = 52;     // the page number and the date keep the same distance
constexpr double kLineSpacing = 2;     // from the name to the first header line
constexpr double kLinePairSpacing = 4; // between the two header lines
constexpr double kFooterTextTop = 4;   // below the footer line
constexpr double kThumbnailLeft = 56;
constexpr double kThumbnailTop = 8;
constexpr int kThumbnailSize = 60;
constexpr double kTextLeft = kThumbnailLeft + kThumbnailSize + 2;
constexpr double kPathTop = 8;
constexpr double kFileNameTop = 23;
constexpr double kMemoTop = 39;
constexpr double kTextGap = 8; // kept free at a column's right edge
constexpr int kDesignColumns = 2;
constexpr int kLandscapeColumns = 3;

const QString kReportFont = QStringLiteral("Arial");
const QString kCategoryFont = QStringLiteral("Times New Roman");
constexpr double kReportPoints = 8;
constexpr double kCategoryPoints = 16;

// A font of the report's design on the painter's device. Points are meant at 96 pixels to the
// inch, the report's own unit, and outlines unhinted, so that the measures taken here are
// those the printer draws at its resolution.
QFont reportFont(const QPainter& painter, const QString& family, double points, bool bold = false, bool italic = false)
{
    QFont font(family);
    font.setPointSizeF(points * kReportPixelsPerInch / painter.device()->logicalDpiY());
    font.setBold(bold);
    font.setItalic(italic);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

QFontMetricsF metricsOf(const QPainter& painter) { return QFontMetricsF(painter.font(), painter.device()); }

// One line of plain text from (left, top), cut short with an ellipsis where it would pass right.
void drawLine(QPainter& painter, double left, double top, double right, const QString& text,
              Qt::TextElideMode elide = Qt::ElideRight)
{
    const QFontMetricsF metrics = metricsOf(painter);
    const double width = std::max(0.0, right - left);
    const QString shown = metrics.elidedText(text, elide, width);
    painter.drawText(QRectF(left, top, width, metrics.height()), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                     shown);
}

// One line of plain text ending at `right`, its top at `top`; returns where it begins.
double drawRightAligned(QPainter& painter, double top, double right, const QString& text)
{
    const QFontMetricsF metrics = metricsOf(painter);
    const double width = metrics.horizontalAdvance(text);
    painter.drawText(QRectF(right - width, top, width, metrics.height()),
                     Qt::AlignRight | Qt::AlignTop | Qt::TextSingleLine, text);
    return right - width;
}

void drawRule(QPainter& painter, double y, double width)
{
    painter.setPen(QPen(Qt::black, 1));
    painter.drawLine(QPointF(0, y), QPointF(width, y));
}

} // namespace

const QString TScrapbookReport::kTitle = QStringLiteral("Glimmora");
const QString TScrapbookReport::kNoImagesText =
    QStringLiteral("Sorry--there are no images in any of the categories you've selected.");

TScrapbookReport::TScrapbookReport(TCategories& categories) : categories_(categories)
{
    QuickReport.title = kTitle;
    QuickReport.setColumns(kDesignColumns);
    QuickReport.pageHeader = {kPageHeaderHeight, 0, [this](QPainter& p, const QRectF& a) { drawPageHeader(p, a); }};
    QuickReport.detail = {kDetailHeight, kThumbnailTop + kThumbnailSize,
                          [this](QPainter& p, const QRectF& a) { drawDetail(p, a); }};
    QuickReport.pageFooter = {kPageFooterHeight, 0, [this](QPainter& p, const QRectF& a) { drawPageFooter(p, a); }};
    QuickReport.needData = [this] { return QuickReportNeedData(); };
}

TScrapbookReport::~TScrapbookReport() { releaseCategory(); }

void TScrapbookReport::setChosenCategories(const QList<TCategory*>& chosen)
{
    releaseCategory();
    chosen_ = chosen;
    index_ = -1;
}

QList<TCategory*> TScrapbookReport::sortedForList(QList<TCategory*> categories)
{
    std::stable_sort(categories.begin(), categories.end(), [](const TCategory* left, const TCategory* right) {
        return QString::compare(left->CategoryName, right->CategoryName, Qt::CaseInsensitive) < 0;
    });
    return categories;
}

bool TScrapbookReport::landscape() const
{
    const QSizeF size = QuickReport.paper().size;
    return size.width() > size.height();
}

int TScrapbookReport::imagesToPrint() const
{
    QHash<std::int32_t, int> memberships;
    for (const Membership& pair : categories_.memberships().pairs())
        ++memberships[pair.categoryId];
    int total = 0;
    for (const TCategory* category : chosen_)
        total += category->imagesLoaded() ? int(category->ImageElementList->size())
                                          : memberships.value(category->CategoryId);
    return total;
}

void TScrapbookReport::releaseCategory()
{
    if (current_ && current_->ImageListList.isEmpty())
        categories_.UnloadCategoryImages(*current_);
    current_ = nullptr;
}

bool TScrapbookReport::NextCategory()
{
    for (;;) {
        releaseCategory();
        if (++index_ >= chosen_.size()) {
            index_ = int(chosen_.size());
            return false;
        }
        current_ = chosen_.at(index_);
        if (!current_->imagesLoaded())
            categories_.LoadCategoryImages(*current_);
        nextImage_ = 0;
        if (!current_->ImageElementList->empty())
            return true; // empty categories are passed over
    }
}

void TScrapbookReport::LayoutForPaper() { QuickReport.setColumns(landscape() ? kLandscapeColumns : kDesignColumns); }

bool TScrapbookReport::prepare(const std::function<void(int images)>& progress)
{
    if (!FirstCategory())
        return false;
    PreparePages(progress);
    return true;
}

bool TScrapbookReport::FirstCategory()
{
    releaseCategory();
    index_ = -1;
    return NextCategory();
}

void TScrapbookReport::PreparePages(const std::function<void(int images)>& progress)
{
    LayoutForPaper();
    printedAt_ = QDateTime::currentDateTime();
    QuickReport.Prepare(progress);
}

bool TScrapbookReport::PreviewCategory(TCategory& category)
{
    setChosenCategories({});
    current_ = &category;
    if (!category.imagesLoaded())
        categories_.LoadCategoryImages(category);
    ImageRecords& images = *category.ImageElementList;
    if (images.empty())
        return false;

    // The list is sorted in place, as its window shows it by file name anyway; the keys are
    // made once, not at each comparison.
    std::vector<std::pair<QByteArray, std::unique_ptr<TImageElement>>> keyed;
    keyed.reserve(images.size());
    for (auto& record : images)
        keyed.emplace_back(printedPathOrder(*record), std::move(record));
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 0; i < keyed.size(); ++i)
        images[i] = std::move(keyed[i].second);

    nextImage_ = 0;
    QuickReport.setColumns(kDesignColumns);
    printedAt_ = QDateTime::currentDateTime();
    QuickReport.Prepare();
    return true;
}

bool TScrapbookReport::QuickReportNeedData()
{
    bool more = current_ && nextImage_ < current_->ImageElementList->size();
    if (!more) {
        more = NextCategory();
        if (more)
            QuickReport.NewPage(); // each category begins a page headed by its name
    }
    if (more) {
        FillDetailBand();
        ++nextImage_;
    }
    return more;
}

void TScrapbookReport::FillDetailBand()
{
    const TImageElement& record = *current_->ImageElementList->at(nextImage_);
    thumbnail_ = record.IT_Bitmap;
    texts_ = printedImageTexts(record);
}

double TScrapbookReport::textRight(const QRectF& area) const
{
    return std::min(area.right() - kTextGap, QuickReport.paper().size.width() - kRightInset);
}

void TScrapbookReport::drawPageHeader(QPainter& painter, const QRectF& area) const
{
    const double pageWidth = QuickReport.paper().size.width();
    const double nameTop = area.top() + 1;

    const QFont nameFont = reportFont(painter, kCategoryFont, kCategoryPoints, true, true);
    const QFontMetricsF nameMetrics(nameFont, painter.device());

    // The page number stands on the name's line, their baselines level.
    painter.setFont(reportFont(painter, kReportFont, kReportPoints));
    const double numberTop = nameTop + nameMetrics.ascent() - metricsOf(painter).ascent();
    const double numberLeft = drawRightAligned(painter, numberTop, pageWidth - kRightInset,
                                               QStringLiteral("Page %1").arg(QuickReport.PageNumber()));

    painter.setFont(nameFont);
    const QString name = current_ ? singleLineText(current_->CategoryName) : QString();
    drawLine(painter, kNameLeft, nameTop, numberLeft - kTextGap, name);

    const double firstLine = nameTop + nameMetrics.height() + kLineSpacing;
    drawRule(painter, firstLine, pageWidth);
    drawRule(painter, firstLine + kLinePairSpacing, pageWidth);
}

void TScrapbookReport::drawDetail(QPainter& painter, const QRectF& area) const
{
    // The thumbnail unscaled from its top-left corner; a larger one shows only that corner.
    if (!thumbnail_.isNull())
        painter.drawImage(
            QPointF(area.left() + kThumbnailLeft, area.top() + kThumbnailTop), thumbnail_,
            QRectF(0, 0, std::min(thumbnail_.width(), kThumbnailSize), std::min(thumbnail_.height(), kThumbnailSize)));

    painter.setFont(reportFont(painter, kReportFont, kReportPoints));
    const double left = area.left() + kTextLeft;
    const double right = textRight(area);
    drawLine(painter, left, area.top() + kPathTop, right, texts_.directory, Qt::ElideMiddle);
    drawLine(painter, left, area.top() + kFileNameTop, right, texts_.fileName, Qt::ElideMiddle);
    drawLine(painter, left, area.top() + kMemoTop, right, texts_.memo);
}

void TScrapbookReport::drawPageFooter(QPainter& painter, const QRectF& area) const
{
    const double pageWidth = QuickReport.paper().size.width();
    drawRule(painter, area.top(), pageWidth);

    const double textTop = area.top() + kFooterTextTop;
    painter.setFont(reportFont(painter, kReportFont, kReportPoints));
    const double dateLeft =
        drawRightAligned(painter, textTop, pageWidth - kRightInset,
                         QStringLiteral("Printed at ") + QLocale().toString(printedAt_, QLocale::ShortFormat));
    painter.setFont(reportFont(painter, kReportFont, kReportPoints, true));
    drawLine(painter, kNameLeft, textTop, dateLeft - kTextGap, QStringLiteral("Glimmora"));
}

} // namespace glimmora
