#pragma once

#include <QString>
#include <array>
#include <optional>
#include <string_view>

namespace corvane {

enum class RateUnits { bits, bytes };

namespace rate_units {
inline constexpr std::array<RateUnits, 2> allCases{RateUnits::bits, RateUnits::bytes};
QString rawValue(RateUnits u);
// Exactly "bits" or "bytes", case-sensitive.
std::optional<RateUnits> fromRaw(QStringView text);
} // namespace rate_units

// U+2007 FIGURE SPACE: a blank as wide as a digit, so padded numbers keep their column.
inline constexpr char16_t figureSpace = u'\u2007';

// A rate in Mb/s scaled to at most four characters and a two-letter unit.
struct ScaledRate {
    QString value;
    QString unit;

    ScaledRate() = default;
    ScaledRate(double mbps, RateUnits units);

    QString compact() const { return value + unit; }
    QString padded(int width = 4) const;

    friend bool operator==(const ScaledRate&, const ScaledRate&) = default;
};

} // namespace corvane
