#include "windows/ImageListRules.h"

namespace glimmora {

CellGeometry cellGeometry(const QRect& cell, QSize thumbnailSize)
{
    // Right and bottom of the cell as the list counts them: one past the last pixel.
    const int left = cell.left();
    const int top = cell.top();
    const int right = cell.left() + cell.width();
    const int bottom = cell.top() + cell.height();
    const int thumbLeft = left + (kCellWidth - thumbnailSize.width()) / 2;
    const int thumbTop = top + (kThumbnailAreaHeight - thumbnailSize.height()) / 2;
    return {
        QRect(thumbLeft, thumbTop, thumbnailSize.width(), thumbnailSize.height()),
        QRect(QPoint(left + 6, top + 66), QPoint(right - 6 - 1, bottom - 6 - 1)),
        QRect(QPoint(left + 3, top + 2), QPoint(right - 3 - 1, bottom - 5 - 1)),
    };
}

QString fittedCaption(const QString& caption, int maxWidth, const std::function<int(const QString&)>& widthOf)
{
    if (widthOf(caption) <= maxWidth)
        return caption;
    const QString ellipsis = QStringLiteral("...");
    QString kept = caption;
    while (!kept.isEmpty() && widthOf(kept + ellipsis) > maxWidth)
        kept.chop(kept.size() > 1 && kept.back().isLowSurrogate() ? 2 : 1);
    return kept + ellipsis;
}

ImageListEnabling imageListEnabling(const ImageListState& state)
{
    const bool some = state.selected > 0;
    const bool one = state.selected == 1;
    const bool otherCategories = state.categories > 2;
    ImageListEnabling enabling;
    enabling.showDetail = one;
    enabling.moveToCategory = some && otherCategories;
    enabling.copyToCategory = enabling.moveToCategory && !state.isUnassigned;
    enabling.deleteFromScrapbook = enabling.moveToCategory;
    enabling.deleteFromCategory = enabling.copyToCategory;
    enabling.singleImage = one;
    enabling.someImages = some;
    enabling.addToSlideshow = some && state.slideshowConnected;
    enabling.convert = one;
    enabling.preview = state.items > 0;
    return enabling;
}

} // namespace glimmora
