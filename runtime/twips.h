#pragma once
// Window geometry is designed in twips, 1/1440 inch: 15 twips to a pixel at
// 96 dots per inch. Qt's device-independent pixels take care of high-DPI
// screens, so one twip is always 1/15 of a Qt pixel here.

#include <QRect>
#include <cmath>

namespace rt {

inline constexpr int TwipsPerPixel = 15;

inline int px(double twips)
{
    return static_cast<int>(std::lround(twips / TwipsPerPixel));
}

inline QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

} // namespace rt
