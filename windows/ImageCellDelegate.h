#pragma once

// Qt
#include <QColor>
#include <QFont>
#include <QStyledItemDelegate>

namespace glimmora {

struct TImageElement;

// The colours a cell is drawn in: the highlight colours for a selected item, the list's own
// otherwise; the outline is always the list's background.
struct CellColours {
    QColor fill;
    QColor text;
    QColor listBackground;
};

// Draws one thumbnail cell of a category window: the cell filled and outlined, a raised frame
// inside it, the thumbnail unscaled and centred in the top 70 pixels inside a sunken frame (an
// empty 60 x 60 frame when the record has none) and the file name under it, cut with "..." to
// fit. Everything comes from the record; no picture file is read.
void drawImageCell(QPainter& painter, const QRect& cell, const TImageElement& record, const CellColours& colours);

// The caption font: Arial, 8 points.
QFont cellCaptionFont();
// The height of every cell: the caption font's text height and 74 pixels.
int cellHeight();

// The thumbnail list's delegate: every item one fixed-size cell, drawn by drawImageCell, with
// the focus rectangle drawn by the style over it.
class TImageCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

} // namespace glimmora
