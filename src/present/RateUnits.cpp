#include "present/RateUnits.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace corvane {

namespace rate_units {

QString rawValue(RateUnits u)
{
    return u == RateUnits::bytes ? QStringLiteral("bytes") : QStringLiteral("bits");
}

std::optional<RateUnits> fromRaw(QStringView text)
{
    if (text == u"bits")
        return RateUnits::bits;
    if (text == u"bytes")
        return RateUnits::bytes;
    return std::nullopt;
}

} // namespace rate_units

namespace {

QString fixed(double v, int decimals)
{
    // The C library's conversion, not QString::number: it rounds the same way printf does.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return QString::fromLatin1(buf);
}

} // namespace

ScaledRate::ScaledRate(double mbps, RateUnits units)
{
    const bool bytes = units == RateUnits::bytes;
    const double x = bytes ? mbps * 0.125 : mbps;
    if (x >= 999.95) {
        // Fewer decimals as the figure grows, so it keeps to four characters; beyond
        // 9999 G (no real link) the figure saturates rather than widen the column.
        const double g = std::min(x / 1000, 9999.0);
        value = fixed(g, g >= 99.95 ? 0 : g >= 9.995 ? 1 : 2);
        unit = bytes ? QStringLiteral("GB") : QStringLiteral("Gb");
    } else if (x >= 99.95) {
        value = fixed(x, 0);
        unit = bytes ? QStringLiteral("MB") : QStringLiteral("Mb");
    } else if (x >= 0.9995) {
        value = fixed(x, 1);
        unit = bytes ? QStringLiteral("MB") : QStringLiteral("Mb");
    } else {
        // Whole multiples of 50 kilo-units; std::round rounds half away from zero.
        value = fixed(std::round(x * 1000 / 50) * 50, 0);
        unit = bytes ? QStringLiteral("KB") : QStringLiteral("Kb");
    }
}

QString ScaledRate::padded(int width) const
{
    if (value.size() >= width)
        return value;
    return QString(width - value.size(), QChar(figureSpace)) + value;
}

} // namespace corvane
