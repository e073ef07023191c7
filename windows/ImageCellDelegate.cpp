#include "windows/ImageCellDelegate.h"

#include "catalog/ImageElement.h"
#include "windows/ImageListModel.h"
#include "windows/ImageListRules.h"

// Qt
#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QStyle>

namespace glimmora {

namespace {

// A frame one pixel outside `inner`: `topLeft` along the left side and the top, `bottomRight`
// down the right side and along the bottom.
void drawFrameAround(QPainter& painter, const QRect& inner, const QColor& topLeft, const QColor& bottomRight)
{
    const QRect outer = inner.adjusted(-1, -1, 1, 1);
    painter.setPen(QPen(topLeft, 1));
    painter.drawLine(outer.bottomLeft(), outer.topLeft());
    painter.drawLine(outer.topLeft(), outer.topRight());
    painter.setPen(QPen(bottomRight, 1));
    painter.drawLine(outer.topRight(), outer.bottomRight());
    painter.drawLine(outer.bottomRight(), outer.bottomLeft());
}

} // namespace

QFont cellCaptionFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(8);
    return font;
}

int cellHeight() { return QFontMetrics(cellCaptionFont()).height() + 74; }

void drawImageCell(QPainter& painter, const QRect& cell, const TImageElement& record, const CellColours& colours)
{
    const QImage& thumbnail = record.IT_Bitmap;
    const QSize thumbnailSize =
        thumbnail.isNull() ? QSize(kMissingThumbnailSize, kMissingThumbnailSize) : thumbnail.size();
    const CellGeometry geometry = cellGeometry(cell, thumbnailSize);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(colours.fill);
    painter.setPen(QPen(colours.listBackground, 1));
    painter.drawRect(cell.adjusted(0, 0, -1, -1));
    drawFrameAround(painter, geometry.frame, Qt::white, Qt::black);
    drawFrameAround(painter, geometry.thumbnail, Qt::black, Qt::white);
    if (!thumbnail.isNull())
        painter.drawImage(geometry.thumbnail.topLeft(), thumbnail);

    painter.setFont(cellCaptionFont());
    const QFontMetrics metrics(painter.font());
    const QString caption = fittedCaption(fileNamePart(shownPath(record)), geometry.text.width(),
                                          [&metrics](const QString& text) { return metrics.horizontalAdvance(text); });
    const int x = geometry.text.left() + (geometry.text.width() - metrics.horizontalAdvance(caption)) / 2;
    painter.setClipRect(geometry.text);
    painter.setPen(colours.text);
    painter.drawText(x, geometry.text.top() + metrics.ascent(), caption);
    painter.restore();
}

void TImageCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const auto* record = static_cast<const TImageElement*>(index.data(TImageListModel::RecordRole).value<void*>());
    if (!record)
        return;
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    const QPalette& palette = option.palette;
    const QColor background = palette.color(QPalette::Button);
    const CellColours colours{selected ? palette.color(QPalette::Highlight) : background,
                              selected ? palette.color(QPalette::HighlightedText) : palette.color(QPalette::ButtonText),
                              background};
    drawImageCell(*painter, option.rect, *record, colours);
    if (option.state.testFlag(QStyle::State_HasFocus)) {
        QStyleOptionFocusRect focus;
        focus.initFrom(option.widget);
        focus.rect = option.rect;
        focus.state = option.state | QStyle::State_KeyboardFocusChange;
        focus.backgroundColor = colours.fill;
        const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, option.widget);
    }
}

QSize TImageCellDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    return {kCellWidth, cellHeight()};
}

} // namespace glimmora
