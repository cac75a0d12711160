#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QString>
#include <QWidget>

class QPainter;

namespace corvane {

// The panel's own line icons, drawn as vectors so they are sharp at any scale.
namespace icons {
// Whether a drawing exists for a symbol name.
bool has(const QString& name);
// Draws the symbol centred in `box`, tinted with `color`; unknown names draw "network-idle".
void paint(QPainter& p, const QRectF& box, const QString& name, const QColor& color);
} // namespace icons

// A symbol centred in a fixed frame.
class IconView : public QWidget {
    Q_OBJECT
public:
    IconView(QSize frame, int iconSize, QWidget* parent = nullptr);
    void setIcon(const QString& name, const QColor& color);
    const QString& iconName() const { return name_; }
    QSize sizeHint() const override { return frame_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QSize frame_;
    int iconSize_;
    QString name_;
    QColor color_;
};

// A borderless button that is only a symbol: secondary colour, brighter under the pointer.
class IconButton : public QAbstractButton {
    Q_OBJECT
public:
    IconButton(const QString& name, int iconSize, QWidget* parent = nullptr);
    void setIcon(const QString& name);
    const QString& iconName() const { return name_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;
    void enterEvent(QEnterEvent*) override { update(); }
    void leaveEvent(QEvent*) override { update(); }

private:
    QString name_;
    int iconSize_;
};

} // namespace corvane
