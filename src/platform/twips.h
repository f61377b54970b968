#pragma once

#include <QtMath>

namespace zimo {

// Window layouts are given in twips: 1/1440 inch, so 15 twips are one pixel at 96 dpi.
inline int twipsToPixels(double twips, double logicalDpi)
{
    return qRound(twips * logicalDpi / 1440.0);
}

inline double pixelsToTwips(double pixels, double logicalDpi)
{
    return pixels * 1440.0 / logicalDpi;
}

} // namespace zimo
