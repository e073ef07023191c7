// The detail window's rules with plain numbers: its layout for small, wide and tall pictures,
// the texts of its file line, and how large its print comes out.

#include "windows/ImageDetailRules.h"

#include "Scratch.h"

#include <gtest/gtest.h>

namespace glimmora {
namespace {

constexpr QSize kScreen{1024, 768};

TEST(DetailLayout, ThePictureDecidesTheWidthAndHeightWithinTheScreen)
{
    const struct {
        const char* what;
        QSize picture;
        int frameWidth;
        int clientWidth, scrollHeight;
        bool horizontalBar, verticalBar;
    } cases[] = {
        {"small: the panel's width", {100, 80}, 0, 465, 80, false, false},
        {"as wide as the panel", {465, 300}, 0, 465, 300, false, false},
        {"between panel and screen", {700, 500}, 8, 700, 500, false, false},
        {"wider than the screen", {3000, 200}, 0, 1024, 200, true, false},
        {"the frame counts against the screen", {1020, 200}, 8, 1016, 200, true, false},
        {"taller than the screen", {300, 2000}, 0, 465, 768 - 81 - 81, false, true},
        {"exactly as tall as allowed", {300, 606}, 0, 465, 606, false, false},
        {"larger both ways", {5000, 5000}, 0, 1024, 606, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const DetailLayout layout = detailLayout(c.picture, kScreen, c.frameWidth);
        EXPECT_EQ(layout.clientWidth, c.clientWidth);
        EXPECT_EQ(layout.scrollBox, QSize(c.clientWidth, c.scrollHeight));
        EXPECT_EQ(layout.horizontalBar, c.horizontalBar);
        EXPECT_EQ(layout.verticalBar, c.verticalBar);
        EXPECT_EQ(layout.panelTop, c.scrollHeight + 1);
        EXPECT_EQ(layout.clientHeight, c.scrollHeight + 1 + 81);
        EXPECT_EQ(layout.button, QRect(c.clientWidth - 49 - 4, 27, 49, 25));
    }
}

TEST(DetailLayout, ThePlayerBarSitsUnderTheButtonEndingTwoPixelsLeftOfIt)
{
    const QRect button(412, 27, 49, 25);
    EXPECT_EQ(playerBarGeometry(button, 150), QRect(459 - 150, 54, 150, 25));
}

TEST(DetailTexts, TheSizeInBytesOrUnknown)
{
    test::ScratchDir dir;
    test::writeFile(dir / "picture.bmp", std::string(12345, 'x'));
    test::writeFile(dir / "empty.bmp", "");
    const auto path = [&dir](const char* name) { return QString::fromStdString((dir / name).string()); };
    EXPECT_EQ(fileSizeText(path("picture.bmp")), QStringLiteral("12345 bytes"));
    EXPECT_EQ(fileSizeText(path("empty.bmp")), QStringLiteral("(unknown)"));
    EXPECT_EQ(fileSizeText(path("missing.bmp")), QStringLiteral("(unknown)"));
    EXPECT_EQ(timeStampText(path("missing.bmp")), QStringLiteral("(unknown)"));
    EXPECT_NE(timeStampText(path("empty.bmp")), QStringLiteral("(unknown)")) << "an empty file has its time";
}

TEST(DetailTexts, TheTimeStampInTheLocalesShortDateAndLongTime)
{
    const QDateTime written(QDate(2024, 3, 9), QTime(14, 5, 7), Qt::UTC);
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_TRUE(timeStampText(written, german).startsWith(QStringLiteral("09.03.24 14:05:07")))
        << timeStampText(written, german).toStdString();
    const QLocale american(QLocale::English, QLocale::UnitedStates);
    EXPECT_TRUE(timeStampText(written, american).startsWith(QStringLiteral("3/9/24 2:05:07")))
        << timeStampText(written, american).toStdString();
}

TEST(DetailPrintScale, LargerThanTheScreenIsFittedElseTheScreensSize)
{
    const QSize page(9000, 12000); // device pixels at 1200 per inch
    EXPECT_DOUBLE_EQ(printScale({2000, 500}, kScreen, page, 1200), 4.5) << "fitted to the page's width";
    EXPECT_DOUBLE_EQ(printScale({400, 1000}, {1024, 768}, page, 1200), 12) << "taller than the screen: fitted";
    EXPECT_DOUBLE_EQ(printScale({400, 300}, kScreen, page, 1200), 12.5) << "96 screen pixels to the inch";
    EXPECT_DOUBLE_EQ(printScale({1000, 300}, kScreen, page, 1200), 9) << "never off the page";
}

} // namespace
} // namespace glimmora
