#pragma once

// Qt
#include <QRect>
#include <QString>

#include <functional>

namespace glimmora {

// The category window's measures, column logic, cell geometry and command enabling, apart from
// the widgets so that they can be checked with plain numbers.

inline constexpr int kCellWidth = 76;
inline constexpr int kThumbnailAreaHeight = 70; // the thumbnail is centred in the top 70 pixels
inline constexpr int kMissingThumbnailSize = 60;
inline constexpr int kMinColumns = 2;
inline constexpr int kMaxColumnItem = 11; // "&2 columns" ... "&11 columns"
inline constexpr int kListTop = 40;
inline constexpr int kComboTop = 8;
inline constexpr int kComboLeft = 2;
inline constexpr int kComboRows = 16;
inline constexpr int kInitialWidth = 240;
inline constexpr int kInitialHeight = 430;

// The narrowest client width: two cells and 4 pixels.
constexpr int minClientWidth() { return 2 * kCellWidth + 4; }

// The client width a window of client width w changes to next; w itself when w is stable. The
// stable widths are 156 (two columns) and every multiple of 76 from 228 on; a width that is not
// stable goes to the nearer of its two neighbours, and from below 156 to 156 (170 goes to 152,
// which then goes to 156).
constexpr int nextClientWidth(int w)
{
    const int c = kCellWidth;
    const int a = w <= minClientWidth() ? minClientWidth() : (w / c) * c;
    if (w == a || w == a + c)
        return w;
    return w < a + c / 2 ? a : a + c;
}

// Where a client width of w comes to rest.
constexpr int settledClientWidth(int w)
{
    for (int next = nextClientWidth(w); next != w; next = nextClientWidth(w))
        w = next;
    return w;
}

// The list's columns for a client width.
constexpr int columnsFor(int clientWidth)
{
    return clientWidth / kCellWidth < kMinColumns ? kMinColumns : clientWidth / kCellWidth;
}

// The "&Columns" item that is checked for a window of this outer width: k = width div 76 when k
// is 3 to 11, else 2.
constexpr int checkedColumnItem(int outerWidth)
{
    const int k = outerWidth / kCellWidth;
    return k >= 3 && k <= kMaxColumnItem ? k : kMinColumns;
}

// The parts of one cell, from the cell rectangle (right and bottom exclusive, as a list hands it
// over) and the thumbnail's size (60 x 60 when the record has none).
struct CellGeometry {
    QRect thumbnail; // where the thumbnail is drawn unscaled
    QRect text;      // the caption's rectangle
    QRect frame;     // inside the raised frame
};
CellGeometry cellGeometry(const QRect& cell, QSize thumbnailSize);

// A caption cut to fit `maxWidth`: when it is wider, "..." is appended and the character before
// it removed until the whole fits.
QString fittedCaption(const QString& caption, int maxWidth, const std::function<int(const QString&)>& widthOf);

// What the menus of a category window allow, worked out when a menu opens.
struct ImageListState {
    int selected = 0;          // selected items
    int items = 0;             // items in the list
    int categories = 0;        // all categories, "(unassigned)" and "Search Results" included
    bool isUnassigned = false; // the window shows "(unassigned)"
    bool slideshowConnected = false;
};
struct ImageListEnabling {
    bool showDetail = false;
    bool moveToCategory = false;
    bool copyToCategory = false;
    bool deleteFromScrapbook = false; // as "move"
    bool deleteFromCategory = false;  // as "copy"
    bool singleImage = false;         // open, clipboard, wallpaper
    bool someImages = false;          // move file, copy file, memo
    bool addToSlideshow = false;
    bool convert = false;
    bool preview = false;
};
ImageListEnabling imageListEnabling(const ImageListState& state);

} // namespace glimmora
