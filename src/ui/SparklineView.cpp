#include "ui/SparklineView.h"

#include "present/RateUnits.h"
#include "ui/PanelText.h"
#include "ui/Theme.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace corvane {

using namespace panel_text;

SparklineView::SparklineView(QWidget* parent) : QWidget(parent)
{
    setFixedHeight(chartHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setMouseTracking(true);
    setAccessibleName(tr("Throughput over the last two minutes"));
}

void SparklineView::setSeries(std::vector<SpeedSample> samples, double peak, RateUnits units)
{
    samples_ = std::move(samples);
    peak_ = peak;
    units_ = units;
    update();
}

void SparklineView::setHoverIndex(std::optional<int> index)
{
    if (index == hover_)
        return;
    hover_ = index;
    update();
    Q_EMIT hoverChanged();
}

void SparklineView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double w = width();
    const double h = height();
    const int n = static_cast<int>(samples_.size());

    QPen dash(theme::alpha(theme::secondary, 0.25), 1, Qt::CustomDashLine, Qt::FlatCap,
              Qt::MiterJoin);
    dash.setMiterLimit(10);
    dash.setDashPattern({2, 3});
    p.setPen(dash);
    p.drawLine(QPointF(0, h - 1), QPointF(w, h - 1));

    if (n > 1) {
        const double k = chartScale(samples_);
        const auto line = [&](auto value, const QPen& pen) {
            QPolygonF poly;
            poly.reserve(n);
            for (int i = 0; i < n; ++i)
                poly << QPointF(chartX(i, n, w), chartY(value(samples_[i]), k, h));
            p.setPen(pen);
            p.drawPolyline(poly);
        };
        line([](const SpeedSample& s) { return s.downMbps; },
             QPen(theme::accent, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        line([](const SpeedSample& s) { return s.upMbps; },
             QPen(theme::alpha(theme::secondary, 0.55), 1, Qt::SolidLine, Qt::RoundCap,
                  Qt::RoundJoin));

        if (hover_ && *hover_ >= 0 && *hover_ < n) {
            const SpeedSample& s = samples_[static_cast<size_t>(*hover_)];
            const double x = chartX(*hover_, n, w);
            p.setPen(QPen(theme::alpha(theme::secondary, 0.5), 1));
            p.drawLine(QPointF(x, 0), QPointF(x, h));
            p.setPen(Qt::NoPen);
            p.setBrush(theme::accent);
            p.drawEllipse(QPointF(x, chartY(s.downMbps, k, h)), 2.5, 2.5);
            p.setBrush(theme::secondary);
            p.drawEllipse(QPointF(x, chartY(s.upMbps, k, h)), 2.5, 2.5);
        }
    }

    if (peak_ > 0) {
        p.setFont(theme::digits(8));
        p.setPen(theme::alpha(theme::secondary, 0.8));
        p.drawText(QRectF(0, 0, w - 1, h), Qt::AlignTop | Qt::AlignRight,
                   ScaledRate(peak_, units_).compact());
    }
}

void SparklineView::mouseMoveEvent(QMouseEvent* e)
{
    if (const std::optional<int> index =
            hoverIndexAt(e->position().x(), width(), static_cast<int>(samples_.size())))
        setHoverIndex(index);
}

void SparklineView::leaveEvent(QEvent*)
{
    setHoverIndex(std::nullopt);
}

} // namespace corvane
