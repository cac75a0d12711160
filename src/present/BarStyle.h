#pragma once

#include <QString>
#include <array>
#include <optional>
#include <string_view>

namespace corvane {

// How the tray shows the rates: a two-line image (default) or one line of text.
enum class BarStyle { stacked, wide };

namespace bar_style {
inline constexpr std::array<BarStyle, 2> allCases{BarStyle::stacked, BarStyle::wide};
inline QString rawValue(BarStyle s)
{
    return s == BarStyle::wide ? QStringLiteral("wide") : QStringLiteral("stacked");
}
// Exactly "stacked" or "wide", case-sensitive.
inline std::optional<BarStyle> fromRaw(QStringView text)
{
    if (text == u"stacked")
        return BarStyle::stacked;
    if (text == u"wide")
        return BarStyle::wide;
    return std::nullopt;
}
} // namespace bar_style

} // namespace corvane
