#include "ui/Rows.h"

#include "ui/Icons.h"
#include "ui/Theme.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTextDocument>
#include <QTimer>

namespace corvane {

namespace {

constexpr int textSize = 11;

QHBoxLayout* hbox(QWidget* w, int spacing)
{
    auto* l = new QHBoxLayout(w);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(spacing);
    return l;
}

} // namespace

QLabel* plainLabel(const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setTextFormat(Qt::PlainText);
    return l;
}

QString plainToolTip(const QString& text)
{
    return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text, Qt::WhiteSpaceNoWrap) : text;
}

QLabel* rowLabel(const QString& text, int column, QWidget* parent)
{
    auto* l = plainLabel(text, parent);
    theme::text(l, theme::font(textSize), theme::secondary);
    l->setFixedWidth(column);
    l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return l;
}

// ---------------------------------------------------------------- copyable value

CopyableValue::CopyableValue(QWidget* parent)
    : QWidget(parent), text_(plainLabel(QString(), this)),
      tick_(new IconView(QSize(10, 10), 9, this))
{
    auto* l = hbox(this, 4);
    l->addWidget(text_);
    l->addWidget(tick_);
    theme::text(text_, theme::digits(textSize, QFont::Medium), theme::primary);
    // The whole rectangle takes the click, glyphs and gaps alike.
    text_->setAttribute(Qt::WA_TransparentForMouseEvents);
    tick_->setAttribute(Qt::WA_TransparentForMouseEvents);
    tick_->setIcon(QStringLiteral("object-select"), theme::green);
    tick_->setVisible(false);
    setCursor(Qt::PointingHandCursor);
    setToolTip(tr("Click to copy"));
}

void CopyableValue::set(const QString& text, bool copied, bool masked)
{
    text_->setText(text);
    tick_->setVisible(copied);
    if (masked != masked_ || toolTip().isEmpty()) {
        masked_ = masked;
        QPalette p = text_->palette();
        p.setColor(QPalette::WindowText, masked ? theme::secondary : theme::primary);
        text_->setPalette(p);
        setToolTip(masked ? tr("Masked by privacy mode") : tr("Click to copy"));
    }
}

QString CopyableValue::text() const
{
    return text_->text();
}

bool CopyableValue::copied() const
{
    return !tick_->isHidden();
}

void CopyableValue::mousePressEvent(QMouseEvent* e)
{
    e->setAccepted(e->button() == Qt::LeftButton);
}

void CopyableValue::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
        Q_EMIT clicked();
}

// ---------------------------------------------------------------- info row

InfoRow::InfoRow(const QString& label, int column, QWidget* parent)
    : QWidget(parent), label_(rowLabel(label, column, this)), value_(new CopyableValue(this))
{
    auto* l = hbox(this, rowSpacing);
    l->addWidget(label_);
    l->addWidget(value_);
    l->addStretch(1);
    connect(value_, &CopyableValue::clicked, this, &InfoRow::copyRequested);
}

QString InfoRow::label() const
{
    return label_->text();
}

// ---------------------------------------------------------------- segments

Segments::Segments(const QStringList& labels, int selected, QWidget* parent)
    : QWidget(parent), labels_(labels), selected_(selected)
{
    setFont(theme::font(textSize));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

int Segments::highlighted() const
{
    return selected_ >= 0 && selected_ < labels_.size() ? selected_ : -1;
}

QSize Segments::cellSizeHint(const QString& text) const
{
    const QFontMetrics fm(font());
    return {fm.horizontalAdvance(text) + 12, fm.height() + 2 * cellPadding};
}

void Segments::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(theme::alpha(Qt::white, trackOpacity));
    p.drawRoundedRect(QRectF(rect()), trackRadius, trackRadius);
}

void Segments::paintCell(QPainter& p, const QRectF& cell, const QString& text, bool selected,
                         bool hovered)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    if (selected || hovered) {
        p.setPen(Qt::NoPen);
        p.setBrush(theme::alpha(Qt::white, selected ? selectedOpacity : trackOpacity));
        p.drawRoundedRect(cell, cellRadius, cellRadius);
    }
    p.setPen(theme::primary);
    p.drawText(cell, Qt::AlignCenter | Qt::TextSingleLine, text);
    p.restore();
}

RenderedSegments::RenderedSegments(const QStringList& labels, int selected, QWidget* parent)
    : Segments(labels, selected, parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFixedHeight(sizeHint().height());
}

void RenderedSegments::setSelected(int index)
{
    if (index == selected_)
        return;
    selected_ = index;
    update();
}

QSize RenderedSegments::sizeHint() const
{
    // Cells share the width equally, so the widest text sets every cell's width.
    QSize cell(0, cellSizeHint(QString()).height());
    for (const QString& t : labels_)
        cell.setWidth(std::max(cell.width(), cellSizeHint(t).width()));
    const auto n = static_cast<int>(labels_.size());
    return {n * cell.width() + std::max(0, n - 1) * cellSpacing + 2 * inset,
            cell.height() + 2 * inset};
}

QRectF RenderedSegments::cellRect(int index) const
{
    const auto n = static_cast<int>(labels_.size());
    if (index < 0 || index >= n)
        return {};
    const QRectF inner = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
    const qreal w = (inner.width() - (n - 1) * cellSpacing) / n;
    return {inner.left() + index * (w + cellSpacing), inner.top(), w, inner.height()};
}

void RenderedSegments::paintEvent(QPaintEvent* e)
{
    Segments::paintEvent(e);
    QPainter p(this);
    for (int i = 0; i < labels_.size(); ++i)
        paintCell(p, cellRect(i), labels_[i], i == selected_, false);
}

namespace {

class SegmentButton final : public QAbstractButton {
public:
    SegmentButton(const QString& text, QWidget* parent) : QAbstractButton(parent)
    {
        setText(text);
        setCheckable(true);
        setFocusPolicy(Qt::TabFocus);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
    QSize sizeHint() const override
    {
        const QFontMetrics fm(font());
        return {fm.horizontalAdvance(text()) + 12, fm.height() + 2 * Segments::cellPadding};
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        Segments::paintCell(p, QRectF(rect()), text(), isChecked(), underMouse() && !isChecked());
    }
    void enterEvent(QEnterEvent*) override { update(); }
    void leaveEvent(QEvent*) override { update(); }
};

} // namespace

SegmentedPicker::SegmentedPicker(const QStringList& labels, int selected, QWidget* parent)
    : Segments(labels, selected, parent), group_(new QButtonGroup(this))
{
    auto* l = hbox(this, cellSpacing);
    l->setContentsMargins(inset, inset, inset, inset);
    for (int i = 0; i < labels.size(); ++i) {
        auto* b = new SegmentButton(labels[i], this);
        group_->addButton(b, i);
        l->addWidget(b, 1);
    }
    setSelected(selected);
    connect(group_, &QButtonGroup::idClicked, this, &Segments::picked);
}

void SegmentedPicker::setSelected(int index)
{
    selected_ = index;
    if (QAbstractButton* b = group_->button(index)) {
        b->setChecked(true);
        return;
    }
    // An index outside the labels checks nothing; an exclusive group cannot uncheck alone.
    group_->setExclusive(false);
    for (QAbstractButton* b : group_->buttons())
        b->setChecked(false);
    group_->setExclusive(true);
}

QAbstractButton* SegmentedPicker::button(int index) const
{
    return group_->button(index);
}

Segments* segmented(int selected, const QStringList& labels, std::function<void(int)> set,
                    bool drawn, QWidget* parent)
{
    if (drawn)
        return new RenderedSegments(labels, selected, parent);
    auto* picker = new SegmentedPicker(labels, selected, parent);
    QObject::connect(picker, &Segments::picked, picker, std::move(set));
    return picker;
}

// ---------------------------------------------------------------- checkbox

QCheckBox* checkbox(const QString& title, bool isOn, std::function<void(bool)> set, QWidget* parent)
{
    auto* c = new QCheckBox(title, parent);
    theme::useFusion(c);
    theme::text(c, theme::font(textSize), theme::primary);
    c->setChecked(isOn);
    c->setFocusPolicy(Qt::TabFocus);
    // clicked, not toggled: only the user's flips reach the model, never the panel's updates.
    QObject::connect(c, &QCheckBox::clicked, c, std::move(set));
    return c;
}

// ---------------------------------------------------------------- link action

LinkAction::LinkAction(const QString& title, bool drawn, QWidget* parent)
    : QAbstractButton(parent), drawn_(drawn)
{
    setText(title);
    setFont(theme::font(textSize));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    if (drawn) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    } else {
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::TabFocus);
    }
}

void LinkAction::setHelp(const QString& help)
{
    if (!drawn_)
        setToolTip(plainToolTip(help));
}

QSize LinkAction::sizeHint() const
{
    const QFontMetrics fm(font());
    return {fm.horizontalAdvance(text()) + 1, fm.height()};
}

void LinkAction::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    QFont f = font();
    f.setUnderline(!drawn_ && (underMouse() || hasFocus()));
    p.setFont(f);
    p.setPen(isDown() ? theme::accent.lighter(125) : theme::accent);
    p.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
}

LinkAction* linkAction(const QString& title, const QString& help, std::function<void()> action,
                       bool drawn, QWidget* parent)
{
    auto* link = new LinkAction(title, drawn, parent);
    link->setHelp(help);
    if (!drawn)
        QObject::connect(link, &QAbstractButton::clicked, link, std::move(action));
    return link;
}

// ---------------------------------------------------------------- busy indicator

BusyIndicator::BusyIndicator(int size, QWidget* parent) : QWidget(parent), timer_(new QTimer(this))
{
    setFixedSize(size, size);
    timer_->setInterval(70);
    connect(timer_, &QTimer::timeout, this, [this] {
        angle_ = (angle_ + 30) % 360;
        update();
    });
}

bool BusyIndicator::animating() const
{
    return timer_->isActive();
}

void BusyIndicator::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    p.setPen(QPen(theme::alpha(theme::secondary, 0.25), 1.5));
    p.drawEllipse(r);
    p.setPen(QPen(theme::secondary, 1.5, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(r, (90 - angle_) * 16, 100 * 16);
}

void BusyIndicator::showEvent(QShowEvent*)
{
    timer_->start();
}

void BusyIndicator::hideEvent(QHideEvent*)
{
    timer_->stop();
}

} // namespace corvane
