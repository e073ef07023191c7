#pragma once

#include <array>

namespace glimmora {

// The main window's fixed measures and the speed-button layout, apart from the widgets so that
// they can be checked with plain numbers.
inline constexpr int kPanelHeight = 39;
inline constexpr int kStatusBarHeight = 21;
inline constexpr int kSpeedButtonSize = 30;
inline constexpr int kSpeedButtonTop = 4;
inline constexpr int kSpeedButtonGap = 6;
inline constexpr int kSpeedButtonCount = 9; // the two invisible spacers included

// The strip never grows taller than its panel and status bar allow...
constexpr int maxMainHeight(int panelHeight = kPanelHeight, int statusBarHeight = kStatusBarHeight)
{
    return panelHeight + statusBarHeight + 47;
}

// ...nor narrower than ten buttons.
constexpr int minMainWidth(int buttonWidth = kSpeedButtonSize) { return (buttonWidth + 6) * 10 + 4; }

// Left edges of the nine speed buttons, centred in the client width (integer division towards
// zero, as the layout always did).
constexpr std::array<int, kSpeedButtonCount> speedButtonLefts(int clientWidth, int buttonWidth = kSpeedButtonSize)
{
    const int span = kSpeedButtonCount * buttonWidth + 48;
    const int first = (clientWidth - span) / 2 + 2;
    std::array<int, kSpeedButtonCount> lefts{};
    for (int i = 0; i < kSpeedButtonCount; ++i)
        lefts[static_cast<size_t>(i)] = first + i * (buttonWidth + kSpeedButtonGap);
    return lefts;
}

} // namespace glimmora
