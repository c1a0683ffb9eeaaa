#pragma once

#include <QRect>
#include <QSize>
#include <QWidget>

#include <cmath>

// Layouts are measured in twips (1/1440 inch); at 96 dpi 15 twips make one
// pixel. Scaling by the widget's logical dpi keeps the proportions on other
// screens.
inline constexpr int twipsPerInch = 1440;

// How many twips one pixel spans across on the widget's screen.
inline int twipsPerPixel(const QWidget &widget)
{
    return twipsPerInch / widget.logicalDpiX();
}

inline int twipsToPixels(int twips, const QWidget &widget)
{
    return int(std::lround(twips * widget.logicalDpiX() / double(twipsPerInch)));
}

inline int twipsToPixelsVertical(int twips, const QWidget &widget)
{
    return int(std::lround(twips * widget.logicalDpiY() / double(twipsPerInch)));
}

inline QSize twipsSize(int width, int height, const QWidget &widget)
{
    return {twipsToPixels(width, widget), twipsToPixelsVertical(height, widget)};
}

inline QRect twipsRect(int left, int top, int width, int height, const QWidget &widget)
{
    return {QPoint(twipsToPixels(left, widget), twipsToPixelsVertical(top, widget)), twipsSize(width, height, widget)};
}
