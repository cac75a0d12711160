#include "ui/PanelView.h"

#include "model/AppViewModel.h"
#include "ui/PanelFooter.h"
#include "ui/PanelHeader.h"
#include "ui/PanelParts.h"
#include "ui/PanelRows.h"

#include <QCoreApplication>
#include <QPainter>
#include <QShortcut>

namespace corvane {

using namespace panel_parts;

namespace {

// A hairline between the panel's sections.
class Divider final : public QWidget {
public:
    explicit Divider(QWidget* parent) : QWidget(parent) { setFixedHeight(1); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter(this).fillRect(rect(), theme::alpha(Qt::white, 0.1));
    }
};

} // namespace

PanelView::PanelView(AppViewModel* model, Face face, QWidget* parent)
    : QWidget(parent), model_(model), header_(new PanelHeader(model, this)),
      rows_(new PanelRows(model, face == Face::drawn, this)),
      footer_(new PanelFooter(model, face == Face::drawn, this))
{
    setPalette(theme::palette());
    setFont(theme::font(valueSize));
    setFixedWidth(panelWidth);

    auto* l = box<QVBoxLayout>(this, 8);
    l->setContentsMargins(padding, padding, padding, padding);
    l->addWidget(header_);
    l->addWidget(new Divider(this));
    l->addWidget(rows_);
    l->addWidget(new Divider(this));
    l->addWidget(footer_);

    auto* quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
    quit->setContext(Qt::WidgetWithChildrenShortcut);
    connect(quit, &QShortcut::activated, qApp, &QCoreApplication::quit);
}

PanelView::~PanelView() = default;

void PanelView::refresh()
{
    header_->refresh();
    rows_->refresh();
    footer_->refresh();
}

void PanelView::showEvent(QShowEvent* e)
{
    refresh();
    QWidget::showEvent(e);
}

void PanelView::hideEvent(QHideEvent* e)
{
    header_->clearHover();
    QWidget::hideEvent(e);
}

// Layouts of a widget that has never been shown only catch up with changed contents when it
// is shown. The offline renderer never shows the panel, so bring every layout up to date here,
// innermost first: each activation refreshes the size its parent layout sees.
void PanelView::settleLayouts() const
{
    const QList<QWidget*> all = findChildren<QWidget*>();
    for (auto it = all.crbegin(); it != all.crend(); ++it) {
        if (QLayout* l = (*it)->layout())
            l->activate();
    }
}

QSize PanelView::sizeHint() const
{
    if (!isVisible())
        settleLayouts();
    QLayout* l = layout();
    const int h = l->hasHeightForWidth() ? l->heightForWidth(panelWidth) : l->sizeHint().height();
    return {panelWidth, h};
}

QImage PanelView::renderImage(qreal devicePixelRatio, const QColor& background)
{
    refresh();
    adjustSize();
    QImage image(size() * devicePixelRatio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(background.isValid() ? background : palette().color(QPalette::Window));
    render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

void PanelView::paintFrame(QPainter& p, const QRectF& outer, const QBrush& fill)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    // The border sits inside the shape's edge, so it does not grow the panel.
    p.setPen(QPen(QColor(255, 255, 255, 31), 1));
    p.setBrush(fill);
    p.drawRoundedRect(outer.adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius - 0.5, cornerRadius - 0.5);
    p.restore();
}

} // namespace corvane
