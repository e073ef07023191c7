#pragma once

// Qt
#include <QDateTime>
#include <QLocale>
#include <QRect>
#include <QSize>
#include <QString>

namespace glimmora {

// The detail window's measures, its layout, its texts and the scale of its print, apart from the
// widgets so that they can be checked with plain numbers.

inline constexpr int kDetailPanelWidth = 465; // the narrowest client width
inline constexpr int kDetailPanelHeight = 81;
// Kept free below the scroll box besides the panel: the caption and the menu bar.
inline constexpr int kDetailCaptionAllowance = 81;
inline constexpr QSize kDetailButtonSize{49, 25};
inline constexpr int kDetailButtonTop = 27;
inline constexpr int kDetailButtonMargin = 4; // right of the button
inline constexpr int kDetailLabelGap = 15;    // between the file name, the size and the time stamp

// Where the parts of the client area go for a picture of `picture` size on a screen of `screen`
// size, in a window whose frame adds `frameWidth` to the client width.
struct DetailLayout {
    int clientWidth = 0;
    int clientHeight = 0;
    QSize scrollBox;            // at (0, 0)
    bool horizontalBar = false; // the scroll box's scroll bars
    bool verticalBar = false;
    int panelTop = 0; // the panel spans the client width
    QRect button;     // "&Ok", in the panel
};
DetailLayout detailLayout(QSize picture, QSize screen, int frameWidth);

// The media player bar in the panel: as tall as the button, just below it, its right edge 2
// pixels left of the button's right edge.
QRect playerBarGeometry(const QRect& button, int barWidth);

// The texts of the file line: the size ("12345 bytes", or "(unknown)" for an empty file or one
// that cannot be opened) and the last-write time in the locale's short date and long time.
QString fileSizeText(const QString& path);
QString timeStampText(const QString& path, const QLocale& locale = QLocale::system());
QString timeStampText(const QDateTime& lastWrite, const QLocale& locale);

// How much the print of a layout of `content` pixels is enlarged on a page of `page` device
// pixels at `deviceDpi`. Content larger than the screen is fitted to the page; smaller content
// keeps the size it has on the screen (96 screen pixels to the inch), unless that would run off
// the page, where it is fitted as well.
double printScale(QSize content, QSize screen, QSize page, double deviceDpi);

} // namespace glimmora
