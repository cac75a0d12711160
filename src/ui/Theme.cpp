#include "ui/Theme.h"

#include "present/LabelFont.h"

#include <QApplication>
#include <QFontDatabase>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>

namespace corvane::theme {

QColor alpha(QColor c, qreal opacity)
{
    c.setAlphaF(static_cast<float>(opacity));
    return c;
}

QFont font(int pixelSize, QFont::Weight weight)
{
    QFont f = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    f.setPixelSize(pixelSize);
    f.setWeight(weight);
    return f;
}

QFont digits(int pixelSize, QFont::Weight weight)
{
    QFont f(labelFonts().number.family());
    f.setPixelSize(pixelSize);
    f.setWeight(weight);
    return f;
}

QPalette palette()
{
    QPalette p;
    const auto both = [&p](QPalette::ColorRole role, const QColor& c) {
        p.setColor(QPalette::Active, role, c);
        p.setColor(QPalette::Inactive, role, c);
        p.setColor(QPalette::Disabled, role, alpha(c, 0.4));
    };
    both(QPalette::Window, window);
    both(QPalette::WindowText, primary);
    both(QPalette::Base, control);
    both(QPalette::AlternateBase, control.lighter(110));
    both(QPalette::Button, control);
    both(QPalette::ButtonText, primary);
    both(QPalette::Text, primary);
    both(QPalette::BrightText, Qt::white);
    both(QPalette::PlaceholderText, secondary);
    both(QPalette::Highlight, accent);
    both(QPalette::HighlightedText, Qt::white);
    both(QPalette::Link, accent);
    both(QPalette::ToolTipBase, control);
    both(QPalette::ToolTipText, primary);
    both(QPalette::Light, control.lighter(150));
    both(QPalette::Midlight, control.lighter(125));
    both(QPalette::Mid, control.darker(130));
    both(QPalette::Dark, control.darker(160));
    both(QPalette::Shadow, Qt::black);
    return p;
}

void useFusion(QWidget* w)
{
    // Parented to the application so it outlives every widget and is freed with it.
    static QStyle* fusion = [] {
        QStyle* s = QStyleFactory::create(QStringLiteral("Fusion"));
        if (s)
            s->setParent(qApp);
        return s;
    }();
    if (fusion)
        w->setStyle(fusion);
}

void text(QWidget* w, const QFont& f, const QColor& c)
{
    w->setFont(f);
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, c);
    p.setColor(QPalette::Text, c);
    p.setColor(QPalette::ButtonText, c);
    w->setPalette(p);
}

} // namespace corvane::theme
