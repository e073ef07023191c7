// The category window's geometry, captions and enabling as plain numbers, and one cell drawn
// into an image.

#include "catalog/ImageElement.h"
#include "windows/ImageCellDelegate.h"
#include "windows/ImageListRules.h"

// Qt
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace glimmora {
namespace {

TEST(ImageListRules, WidthsSnapToTwoColumnsOrWholeCells)
{
    const struct {
        int from;
        int next;
        int settled;
    } cases[] = {
        {170, 152, 156}, {152, 156, 156}, {190, 228, 228}, {265, 228, 228},
        {266, 304, 304}, {100, 156, 156}, {156, 156, 156}, {228, 228, 228},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(nextClientWidth(c.from), c.next) << c.from;
        EXPECT_EQ(settledClientWidth(c.from), c.settled) << c.from;
    }
    for (int w = 1; w <= 1200; ++w) {
        const int settled = settledClientWidth(w);
        EXPECT_TRUE(settled == 156 || (settled >= 228 && settled % 76 == 0)) << w << " settles at " << settled;
        EXPECT_EQ(columnsFor(settled), settled == 156 ? 2 : settled / 76);
    }
}

TEST(ImageListRules, TheColumnMenuChecksTheItemOfTheOuterWidth)
{
    EXPECT_EQ(checkedColumnItem(236), 3);
    EXPECT_EQ(checkedColumnItem(11 * 76 + 75), 11);
    EXPECT_EQ(checkedColumnItem(12 * 76), 2) << "wider than eleven cells";
    EXPECT_EQ(checkedColumnItem(164), 2);
}

TEST(ImageListRules, CommandsFollowTheSelectionAndTheCategories)
{
    const struct {
        ImageListState state;
        bool detail, move, copy, single, some, slideshow, preview;
    } cases[] = {
        {{0, 5, 3, false, true}, false, false, false, false, false, false, true},
        {{1, 5, 3, false, true}, true, true, true, true, true, true, true},
        {{2, 5, 3, false, false}, false, true, true, false, true, false, true},
        {{1, 5, 3, true, false}, true, true, false, true, true, false, true},   // in "(unassigned)"
        {{1, 5, 2, false, false}, true, false, false, true, true, false, true}, // no other category
        {{0, 0, 4, false, false}, false, false, false, false, false, false, false},
    };
    for (const auto& c : cases) {
        const ImageListEnabling e = imageListEnabling(c.state);
        EXPECT_EQ(e.showDetail, c.detail);
        EXPECT_EQ(e.moveToCategory, c.move);
        EXPECT_EQ(e.deleteFromScrapbook, c.move);
        EXPECT_EQ(e.copyToCategory, c.copy);
        EXPECT_EQ(e.deleteFromCategory, c.copy);
        EXPECT_EQ(e.singleImage, c.single);
        EXPECT_EQ(e.convert, c.single);
        EXPECT_EQ(e.someImages, c.some);
        EXPECT_EQ(e.addToSlideshow, c.slideshow);
        EXPECT_EQ(e.preview, c.preview);
    }
}

TEST(ImageListRules, ALongNameEndsInDotsAndFitsWithLessThanACharacterToSpare)
{
    const QFontMetrics metrics(cellCaptionFont());
    const auto width = [&metrics](const QString& text) { return metrics.horizontalAdvance(text); };
    const CellGeometry cell = cellGeometry(QRect(0, 0, 76, cellHeight()), QSize(60, 60));
    ASSERT_EQ(cell.text.width(), 64);

    const QString name = QStringLiteral("a-holiday-picture-with-a-very-long-name.jpg");
    const QString fitted = fittedCaption(name, cell.text.width(), width);
    ASSERT_TRUE(fitted.endsWith(QStringLiteral("..."))) << fitted.toStdString();
    const QString kept = fitted.chopped(3);
    EXPECT_TRUE(name.startsWith(kept));
    EXPECT_LE(width(fitted), 64);
    EXPECT_GT(width(name.left(kept.size() + 1) + QStringLiteral("...")), 64) << "one more character would fit";
    EXPECT_EQ(fittedCaption(QStringLiteral("oak.jpg"), 64, width), QStringLiteral("oak.jpg"));
}

// One cell drawn into an image of its own size, white cell colours so the frames stand out.
QImage drawnCell(const TImageElement& record)
{
    QImage image(76, cellHeight(), QImage::Format_RGB32);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    drawImageCell(painter, image.rect(), record, {QColor(200, 200, 200), Qt::black, QColor(200, 200, 200)});
    return image;
}

TEST(ImageCell, ARecordWithoutThumbnailDrawsTheEmptySunkenFrame)
{
    TImageElement record;
    record.IT_Path = "/pictures/missing.jpg";
    const QImage cell = drawnCell(record);
    // The 60 x 60 area starts at ((76 - 60) / 2, (70 - 60) / 2) = (8, 5); its frame lies outside.
    EXPECT_EQ(cell.pixelColor(7, 30), QColor(Qt::black)) << "left side";
    EXPECT_EQ(cell.pixelColor(30, 4), QColor(Qt::black)) << "top";
    EXPECT_EQ(cell.pixelColor(68, 30), QColor(Qt::white)) << "right side";
    EXPECT_EQ(cell.pixelColor(30, 65), QColor(Qt::white)) << "bottom";
    EXPECT_EQ(cell.pixelColor(38, 35), QColor(200, 200, 200)) << "an empty inside";
    // The raised frame: white at the left and top, black at the right and bottom.
    EXPECT_EQ(cell.pixelColor(2, 40), QColor(Qt::white));
    EXPECT_EQ(cell.pixelColor(40, 1), QColor(Qt::white));
    EXPECT_EQ(cell.pixelColor(73, 40), QColor(Qt::black));
    EXPECT_EQ(cell.pixelColor(40, cell.height() - 5), QColor(Qt::black));
}

TEST(ImageCell, AThumbnailIsDrawnUnscaledAndCentredAboveItsName)
{
    TImageElement record;
    record.IT_Path = "/pictures/red.png";
    record.IT_Bitmap = QImage(40, 30, QImage::Format_RGB32);
    record.IT_Bitmap.fill(Qt::red);
    const QImage cell = drawnCell(record);
    const QRect expected((76 - 40) / 2, (70 - 30) / 2, 40, 30);
    EXPECT_EQ(cell.pixelColor(expected.topLeft()), QColor(Qt::red));
    EXPECT_EQ(cell.pixelColor(expected.bottomRight()), QColor(Qt::red));
    EXPECT_NE(cell.pixelColor(expected.bottomRight() + QPoint(1, 1)), QColor(Qt::red)) << "not scaled up";
    EXPECT_EQ(cell.pixelColor(expected.left() - 1, expected.top() + 5), QColor(Qt::black));

    // Some pixels of the caption, in the text colour, below the thumbnail area.
    int inked = 0;
    for (int y = 66; y < cell.height() - 6; ++y)
        for (int x = 6; x < 70; ++x)
            inked += cell.pixelColor(x, y).lightness() < 100;
    EXPECT_GT(inked, 10);
}

} // namespace
} // namespace glimmora
