#pragma once

#include "present/TrayPolicy.h"

#include <QColor>
#include <QImage>
#include <QString>
#include <array>

namespace corvane::tray_art {

// Slot sizes offered for the square layout, so a host can pick a crisp one.
inline constexpr std::array<int, 6> squareSizes{16, 22, 24, 32, 48, 64};
// Heights offered for images that keep their aspect ratio: natural and twice that.
inline constexpr std::array<int, 2> wideHeights{21, 42};

// The drawing of `mask` (only its alpha is used) painted in `ink`. Keeps size and pixel ratio.
QImage tinted(const QImage& mask, const QColor& ink);

// `mask` in the ink, on the backdrop plate when the ink asks for one (the plate adds a
// margin). Keeps the pixel ratio.
QImage inked(const QImage& mask, const TrayInk& ink);

// The small monochrome app symbol (a down and an up arrow) in `ink`, `px` pixels square.
QImage appSymbol(int px, const QColor& ink);

// Two lines of numbers filling a px × px slot, download above upload, each right-aligned on
// its last digit, as tall as half the slot allows and squeezed sideways when too wide.
// A dimmed line is drawn fainter.
QImage squareLabel(int px, const QString& down, const QString& up, bool dimDown, bool dimUp,
                   const TrayInk& ink);

// One line of text as an image `height` pixels high, as wide as the text needs.
QImage wideLabel(int height, const QString& text, const TrayInk& ink);

// The widest text of the same shape as `label`: every digit-like character becomes "0" and
// every scale letter "M", so a panel that reserves room for it never has to grow.
QString labelGuide(const QString& label);

} // namespace corvane::tray_art
