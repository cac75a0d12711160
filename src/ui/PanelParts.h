#pragma once

#include "ui/Rows.h"
#include "ui/Theme.h"

#include <QBoxLayout>
#include <QLabel>

// Layout helpers shared by the panel's sections.
namespace corvane::panel_parts {

inline constexpr int valueSize = 11;
inline constexpr int captionSize = 10; // the smallest caption style
inline constexpr int labelColumn = 60;

template <typename Box> Box* box(QWidget* w, int spacing)
{
    auto* l = new Box(w);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(spacing);
    return l;
}

inline QLabel* label(QWidget* parent, const QFont& font, const QColor& color,
                     const QString& text = {})
{
    auto* l = plainLabel(text, parent);
    theme::text(l, font, color);
    return l;
}

template <typename T> T* named(T* w, const char* name)
{
    w->setObjectName(QLatin1String(name));
    return w;
}

// Runs `update` for a model change only while `w` is on screen; the section refreshes whole
// when it is shown again.
template <typename F> auto whileShown(QWidget* w, F update)
{
    return [w, update] {
        if (w->isVisible())
            update();
    };
}

} // namespace corvane::panel_parts
