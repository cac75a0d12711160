#pragma once

#include <QFont>
#include <QList>
#include <QString>

class QPaintDevice;

namespace corvane {

// The three fonts of the stacked tray label. Sizes are in label units: one unit is one pixel
// of the 1x image (see labelMetricsDevice()).
struct LabelFonts {
    QFont arrow;  // desktop UI font, 8, semibold
    QFont number; // 9, medium, from a family whose digits and U+2007 share one advance
    QFont unit;   // desktop UI font, 6.5, medium

    QString numberFamily;        // the family the number font resolved to
    bool tabularFigures = false; // false only when no candidate family had equal-width figures
    int numberColumnWidth = 0;   // four U+2007 in the number font, rounded up
};

// Chosen once, on first use, and kept for the life of the process. Needs a QGuiApplication;
// main thread only.
const LabelFonts& labelFonts();

// The fonts tried for numbers, in order: the desktop UI font, common sans-serifs with
// tabular figures, and last the desktop's fixed-width font.
QList<QFont> labelNumberFontCandidates();

// Arrow and unit in the UI font; numbers in the first candidate that passes
// hasTabularFigures() once set at the number size and weight. When none does, the last
// candidate is used and tabularFigures is false.
LabelFonts chooseLabelFonts(const QList<QFont>& numberCandidates);

// Whether '0'..'9' and U+2007 all have one and the same advance in `font`, as measured on the
// label's device, so that right-aligned numbers never shift as their digits change.
bool hasTabularFigures(const QFont& font);

// A paint device at 72 dots per inch: a point size set on a font then equals its pixel size
// at 1x. Label images are given the same resolution, so measuring here matches drawing there.
const QPaintDevice& labelMetricsDevice();
inline constexpr int labelDotsPerMeter = 2835; // 72 dpi (Qt rounds dpm × 0.0254 to 72)

} // namespace corvane
