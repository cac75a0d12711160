#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>

class QWidget;

namespace corvane::theme {

// The panel's one dark palette. Every colour the panel paints comes from here.
inline const QColor window{0x1e, 0x1f, 0x23};
inline const QColor control{0x2c, 0x2e, 0x33}; // fields, buttons and checkbox boxes
inline const QColor primary{0xec, 0xed, 0xf0};
inline const QColor secondary{0x9a, 0x9d, 0xa6};
inline const QColor accent{0x4d, 0xa3, 0xff};
inline const QColor green{0x43, 0xd1, 0x7a};
inline const QColor red{0xff, 0x6b, 0x63};

// `c` at the given opacity (0 to 1).
QColor alpha(QColor c, qreal opacity);

// The desktop UI font at a pixel size and weight.
QFont font(int pixelSize, QFont::Weight weight = QFont::Normal);
// The same for numbers: a family whose figures share one advance, so values never jiggle.
QFont digits(int pixelSize, QFont::Weight weight = QFont::Normal);

// Palette for the panel and everything in it; the controls draw with the Fusion style, which
// follows the palette on every desktop.
QPalette palette();
// Gives a control the Fusion style (kept for the life of the process).
void useFusion(QWidget* w);

// Sets a widget's font and text colour.
void text(QWidget* w, const QFont& f, const QColor& c);

} // namespace corvane::theme
