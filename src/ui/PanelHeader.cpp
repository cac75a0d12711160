#include "ui/PanelHeader.h"

#include "model/AppViewModel.h"
#include "present/RateUnits.h"
#include "ui/PanelParts.h"
#include "ui/PanelText.h"
#include "ui/SparklineView.h"

#include <QPainter>

namespace corvane {

using namespace panel_parts;
using namespace panel_text;

namespace {

QFont arrowFont()
{
    return theme::font(12, QFont::DemiBold);
}
QFont rateFont()
{
    return theme::digits(16, QFont::DemiBold);
}
QFont unitFont()
{
    return theme::font(9, QFont::Medium);
}

} // namespace

SpeedBlock::SpeedBlock(const QString& arrow, const QColor& tint, QWidget* parent)
    : QWidget(parent), arrow_(arrow), tint_(tint)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void SpeedBlock::setRate(const QString& value, const QString& unit)
{
    if (value == value_ && unit == unit_)
        return;
    const bool wider = QFontMetrics(rateFont()).horizontalAdvance(value) !=
                           QFontMetrics(rateFont()).horizontalAdvance(value_) ||
                       unit != unit_;
    value_ = value;
    unit_ = unit;
    if (wider)
        updateGeometry();
    update();
}

QSize SpeedBlock::sizeHint() const
{
    const QFontMetrics a(arrowFont()), r(rateFont()), u(unitFont());
    const int ascent = std::max({a.ascent(), r.ascent(), u.ascent()});
    const int descent = std::max({a.descent(), r.descent(), u.descent()});
    return {a.horizontalAdvance(arrow_) + r.horizontalAdvance(value_) + u.horizontalAdvance(unit_) +
                2 * 2,
            ascent + descent};
}

void SpeedBlock::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QFontMetrics a(arrowFont()), r(rateFont()), u(unitFont());
    const int baseline = std::max({a.ascent(), r.ascent(), u.ascent()});
    qreal x = 0;
    const auto run = [&](const QFont& f, const QFontMetrics& fm, const QColor& c,
                         const QString& t) {
        p.setFont(f);
        p.setPen(c);
        p.drawText(QPointF(x, baseline), t);
        x += fm.horizontalAdvance(t) + 2;
    };
    run(arrowFont(), a, tint_, arrow_);
    run(rateFont(), r, theme::primary, value_);
    run(unitFont(), u, theme::secondary, unit_);
}

PanelHeader::PanelHeader(AppViewModel* model, QWidget* parent) : QWidget(parent), model_(model)
{
    auto* v = box<QVBoxLayout>(this, 8);

    auto* rates = box<QHBoxLayout>(nullptr, 12);
    download_ = named(new SpeedBlock(QStringLiteral("\u2193"), theme::accent, this), "download");
    upload_ = named(new SpeedBlock(QStringLiteral("\u2191"), theme::secondary, this), "upload");
    age_ = named(label(this, theme::digits(captionSize), theme::secondary), "age");
    rates->addWidget(download_, 0, Qt::AlignVCenter);
    rates->addWidget(upload_, 0, Qt::AlignVCenter);
    rates->addStretch(1);
    rates->addWidget(age_, 0, Qt::AlignVCenter);
    v->addLayout(rates);

    auto* stats = box<QHBoxLayout>(nullptr, 10);
    const QFont f = theme::digits(9);
    const auto pair = [&](const QString& name, QLabel*& down, QLabel*& up) {
        auto* p = box<QHBoxLayout>(nullptr, 3);
        p->addWidget(label(this, f, theme::secondary, name));
        p->addWidget(down = label(this, f, theme::secondary));
        p->addWidget(up = label(this, f, theme::secondary));
        stats->addLayout(p);
    };
    pair(tr("peak"), peakDown_, peakUp_);
    pair(tr("avg"), avgDown_, avgUp_);
    peakDown_->setObjectName(QStringLiteral("peakDown"));
    avgDown_->setObjectName(QStringLiteral("avgDown"));
    stats->addStretch(1);
    v->addLayout(stats);

    sparkline_ = named(new SparklineView(this), "sparkline");
    v->addWidget(sparkline_);

    const auto history = whileShown(this, [this] { updateHistory(); });
    connect(model_, &AppViewModel::ringChanged, this, history);
    connect(model_, &AppViewModel::unitsChanged, this, history);
    connect(model_, &AppViewModel::currentChanged, this,
            whileShown(this, [this] { updateRates(); }));
    connect(sparkline_, &SparklineView::hoverChanged, this, &PanelHeader::updateRates);
    refresh();
}

void PanelHeader::refresh()
{
    updateHistory();
}

void PanelHeader::updateHistory()
{
    const std::vector<SpeedSample> samples = model_->ring().ordered();
    const RingStats stats(samples);
    const RateUnits u = model_->units();
    const auto pair = [u](QLabel* down, QLabel* up, double d, double upMbps) {
        down->setText(QStringLiteral("\u2193") + ScaledRate(d, u).compact());
        up->setText(QStringLiteral("\u2191") + ScaledRate(upMbps, u).compact());
    };
    pair(peakDown_, peakUp_, stats.peakDown, stats.peakUp);
    pair(avgDown_, avgUp_, stats.avgDown, stats.avgUp);
    sparkline_->setSeries(samples, std::max(stats.peakDown, stats.peakUp), u);
    times_ = model_->ring().orderedTimes();
    updateRates();
}

void PanelHeader::updateRates()
{
    const HeaderValues h =
        headerValues(sparkline_->samples(), times_, model_->current(), sparkline_->hoverIndex());
    const ScaledRate d(h.sample.downMbps, model_->units());
    const ScaledRate u(h.sample.upMbps, model_->units());
    download_->setRate(d.value, d.unit);
    upload_->setRate(u.value, u.unit);
    age_->setText(h.age.value_or(QString()));
    age_->setVisible(h.age.has_value());
}

void PanelHeader::clearHover()
{
    sparkline_->setHoverIndex(std::nullopt);
}

} // namespace corvane
