#pragma once

#include <QColor>
#include <QImage>
#include <QString>

namespace corvane::tray_art {

// Ink for the tray: white on dark desktops, near-black when the desktop palette is light.
QColor textColor();

// The drawing of `mask` (only its alpha is used) painted in `ink`. Keeps size and pixel ratio.
QImage tinted(const QImage& mask, const QColor& ink);

// The small monochrome app symbol (a down and an up arrow) in `ink`, `px` pixels square.
QImage appSymbol(int px, const QColor& ink);

// The widest text of the same shape as `label`: every digit-like character becomes "0" and
// every scale letter "M", so a panel that reserves room for it never has to grow.
QString labelGuide(const QString& label);

} // namespace corvane::tray_art
