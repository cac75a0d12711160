#pragma once

#include <QAbstractButton>
#include <QStringList>
#include <QWidget>
#include <functional>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QTimer;

namespace corvane {

class IconView;

// Row building blocks of the panel. None holds state of its own: the panel hands each one
// the model's values, and their controls call back into the model.

inline constexpr int rowSpacing = 8; // between a row's label, value and trailing controls

// Every label the panel makes shows its text as it is: names, addresses and URLs come from
// outside and must never be read as markup.
QLabel* plainLabel(const QString& text, QWidget* parent);
// A tooltip reads its text as markup whenever it looks like some; this keeps it literal.
QString plainToolTip(const QString& text);

// A secondary 11 px label in a column of fixed width, so values line up.
QLabel* rowLabel(const QString& text, int column, QWidget* parent);

// A value that copies itself when clicked anywhere in its rectangle, with a green tick while
// the model reports it as copied.
class CopyableValue : public QWidget {
    Q_OBJECT
public:
    explicit CopyableValue(QWidget* parent = nullptr);
    void set(const QString& text, bool copied, bool masked);
    QString text() const;
    bool copied() const;
    bool masked() const { return masked_; }

Q_SIGNALS:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    QLabel* text_;
    IconView* tick_;
    bool masked_ = false;
};

// One label/value line.
class InfoRow : public QWidget {
    Q_OBJECT
public:
    InfoRow(const QString& label, int column, QWidget* parent = nullptr);
    void set(const QString& value, bool copied, bool masked) { value_->set(value, copied, masked); }
    QString label() const;
    CopyableValue* value() const { return value_; }

Q_SIGNALS:
    void copyRequested();

private:
    QLabel* label_;
    CopyableValue* value_;
};

// A choice between a few labelled segments. Two faces: the live picker, and a drawn one for
// offline renders that looks the same and takes no input.
class Segments : public QWidget {
    Q_OBJECT
public:
    virtual void setSelected(int index) = 0;
    int selected() const { return selected_; }
    // The highlighted cell, or -1 when `selected` names none.
    int highlighted() const;
    const QStringList& labels() const { return labels_; }

    static constexpr qreal trackRadius = 6;
    static constexpr qreal cellRadius = 5;
    static constexpr qreal trackOpacity = 0.08;
    static constexpr qreal selectedOpacity = 0.22;
    static constexpr int inset = 2;
    static constexpr int cellSpacing = 2;
    static constexpr int cellPadding = 3; // above and below the text

    // One cell of either face: white 22 % behind the selected one, 8 % under the pointer.
    static void paintCell(QPainter& p, const QRectF& cell, const QString& text, bool selected,
                          bool hovered);

Q_SIGNALS:
    void picked(int index);

protected:
    Segments(const QStringList& labels, int selected, QWidget* parent);
    void paintEvent(QPaintEvent*) override;
    QSize cellSizeHint(const QString& text) const;

    QStringList labels_;
    int selected_;
};

class RenderedSegments final : public Segments {
    Q_OBJECT
public:
    RenderedSegments(const QStringList& labels, int selected, QWidget* parent = nullptr);
    void setSelected(int index) override;
    QSize sizeHint() const override;
    QRectF cellRect(int index) const;

protected:
    void paintEvent(QPaintEvent*) override;
};

class SegmentedPicker final : public Segments {
    Q_OBJECT
public:
    SegmentedPicker(const QStringList& labels, int selected, QWidget* parent = nullptr);
    void setSelected(int index) override;
    QAbstractButton* button(int index) const;

private:
    QButtonGroup* group_;
};

// The drawn face when an offline panel render is requested, else the live picker; picking
// segment i calls `set(i)`.
// `drawn`: a look-alike that only shows itself, for the offline render.
Segments* segmented(int selected, const QStringList& labels, std::function<void(int)> set,
                    bool drawn, QWidget* parent);

// A small checkbox whose flips call `set` with the new value.
QCheckBox* checkbox(const QString& title, bool isOn, std::function<void(bool)> set,
                    QWidget* parent);

// Accent-coloured text that acts as a link. The drawn face has no tooltip and no action.
class LinkAction : public QAbstractButton {
    Q_OBJECT
public:
    LinkAction(const QString& title, bool drawn, QWidget* parent = nullptr);
    void setHelp(const QString& help);
    bool drawn() const { return drawn_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;
    void enterEvent(QEnterEvent*) override { update(); }
    void leaveEvent(QEvent*) override { update(); }

private:
    bool drawn_;
};

// The drawn face when an offline panel render is requested, else a live link.
LinkAction* linkAction(const QString& title, const QString& help, std::function<void()> action,
                       bool drawn, QWidget* parent);

// An indeterminate busy indicator that animates only while visible.
class BusyIndicator : public QWidget {
    Q_OBJECT
public:
    explicit BusyIndicator(int size, QWidget* parent = nullptr);
    bool animating() const;

protected:
    void paintEvent(QPaintEvent*) override;
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;

private:
    QTimer* timer_;
    int angle_ = 0;
};

} // namespace corvane
