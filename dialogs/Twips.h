#pragma once
// Layout measures are given in twips (1/1440 inch); at 96 dpi 15 twips make one pixel.
#include <QRect>

constexpr int TwipsToPixels(int twips)
{
    return (twips + 7) / 15;
}
inline QRect TwipsRect(int left, int top, int width, int height)
{
    return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height));
}
