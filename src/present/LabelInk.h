#pragma once

#include <QString>
#include <optional>
#include <string_view>

namespace corvane {

// The tray label's ink: chosen from what the desktop says about its panel, or forced by the
// user for a panel whose colours nothing reports.
enum class LabelInk { automatic, light, dark };

namespace label_ink {
// Exactly "auto", "light" or "dark", case-sensitive.
inline std::optional<LabelInk> fromRaw(QStringView text)
{
    if (text == u"auto")
        return LabelInk::automatic;
    if (text == u"light")
        return LabelInk::light;
    if (text == u"dark")
        return LabelInk::dark;
    return std::nullopt;
}
} // namespace label_ink

} // namespace corvane
