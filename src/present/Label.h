#pragma once

#include "measure/SpeedSample.h"
#include "present/LabelImage.h"
#include "present/RateUnits.h"

#include <QString>

namespace corvane {

// A line of the stacked label is dimmed while its rate, in Mb/s and unscaled in either unit,
// is strictly below this.
inline constexpr double idleMbps = 0.05;
inline bool isIdleRate(double mbps)
{
    return mbps < idleMbps;
}

// The one-line tray text: "↓" + padded download + unit + " ↑" + padded upload + unit, with
// U+2007 padding so the figures keep their place.
QString formatLabel(const SpeedSample& sample, RateUnits units);

// Key of a rendered stacked image, e.g. "12.3|Mb|850|Kb|falsefalse".
QString labelCacheKey(const ScaledRate& down, const ScaledRate& up, bool dimDown, bool dimUp);

// The two-line tray image, download above upload, drawn in black whose alpha carries the
// drawing: 1.0 per line, 0.45 when dimmed, units at 0.7 of their line. Size (w + 20) × 21 at
// 1x, w being labelFonts().numberColumnWidth; the HiDPI copy has twice the pixels.
// Needs a QGuiApplication; main thread only.
LabelImage renderStacked(const ScaledRate& down, const ScaledRate& up, bool dimDown, bool dimUp);
// The same drawing at any whole device pixel ratio (the offline render uses 4).
QImage renderStackedAt(const ScaledRate& down, const ScaledRate& up, bool dimDown, bool dimUp,
                       int scale);

namespace stacked_label {
inline constexpr int height = 21;
inline constexpr int numberLeft = 7;      // the number column starts after the arrow
inline constexpr int extraWidth = 20;     // 7 before the numbers, 1 gap, 12 for the unit
inline constexpr qreal downBaseline = 11; // bottom-up, like the unit offset below
inline constexpr qreal upBaseline = 1;
inline constexpr qreal unitRaise = 0.5;
inline constexpr qreal lineAlpha = 1.0;
inline constexpr qreal dimmedAlpha = 0.45;
inline constexpr qreal unitAlphaFactor = 0.7;
} // namespace stacked_label

} // namespace corvane
