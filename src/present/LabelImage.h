#pragma once

#include <QImage>

namespace corvane {

// The stacked tray label: the drawing lives in the alpha channel (black with alpha), so a
// tray can recolour it for its own background. Drawn twice, at 1x and at device pixel
// ratio 2 for HiDPI trays. Two images are "the same" only when they are the same objects.
struct LabelImage {
    QImage normal; // device pixel ratio 1
    QImage hiDpi;  // device pixel ratio 2, twice the pixels

    bool isNull() const { return normal.isNull(); }
    friend bool operator==(const LabelImage& a, const LabelImage& b)
    {
        return a.normal.cacheKey() == b.normal.cacheKey() &&
               a.hiDpi.cacheKey() == b.hiDpi.cacheKey();
    }
};

} // namespace corvane
