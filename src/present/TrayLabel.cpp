#include "present/TrayLabel.h"

#include "present/Label.h"

namespace corvane {

TrayLabel::TrayLabel(BarStyle style, RateUnits units, QObject* parent)
    : QObject(parent), style_(style), units_(units)
{
    // Until the first tick: zero in bits, whatever the preference, as the app always showed.
    const ScaledRate zero(0, RateUnits::bits);
    text_ = formatLabel(SpeedSample::zero(), RateUnits::bits);
    image_ = renderStacked(zero, zero, true, true);
}

void TrayLabel::show(const SpeedSample& sample, bool force)
{
    shown_ = sample;
    const QString text = formatLabel(sample, units_);
    if (text != text_) {
        text_ = text;
        Q_EMIT textChanged();
        force = true;
    }
    if (style_ != BarStyle::stacked || !force)
        return;
    const ScaledRate d(sample.downMbps, units_);
    const ScaledRate u(sample.upMbps, units_);
    const bool dimDown = isIdleRate(sample.downMbps);
    const bool dimUp = isIdleRate(sample.upMbps);
    const QString key = labelCacheKey(d, u, dimDown, dimUp);
    if (auto it = cache_.constFind(key); it != cache_.constEnd()) {
        setImage(*it);
        return;
    }
    // Emptied whole rather than trimmed: cheap, and idle links refill it with one image.
    if (cache_.size() > 64)
        cache_.clear();
    const LabelImage image = renderStacked(d, u, dimDown, dimUp);
    cache_.insert(key, image);
    setImage(image);
}

bool TrayLabel::setUnits(RateUnits units)
{
    if (units == units_)
        return false;
    units_ = units;
    Q_EMIT unitsChanged();
    show(shown_, true);
    return true;
}

bool TrayLabel::setStyle(BarStyle style)
{
    if (style == style_)
        return false;
    style_ = style;
    Q_EMIT styleChanged();
    show(shown_, true);
    return true;
}

void TrayLabel::setImage(const LabelImage& image)
{
    if (image == image_)
        return;
    image_ = image;
    Q_EMIT imageChanged();
}

} // namespace corvane
