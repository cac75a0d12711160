#include "ui/PanelText.h"

#include <gtest/gtest.h>
#include <limits>

using namespace corvane;
using namespace corvane::panel_text;
using namespace Qt::StringLiterals;

namespace {

TEST(PanelText, HoverPicksTheNearestColumnAndTheHeaderShowsItWhileValid)
{
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    // 2.07 px is r = 0.5005 and rounds up; a NaN or a chart of one column says nothing.
    const std::tuple<double, double, int, std::optional<int>> cases[] = {
        {0, 244, 60, 0},  {244, 244, 60, 59}, {2.07, 244, 60, 1}, {2.0, 244, 60, 0},
        {-3, 244, 60, 0}, {10, 244, 1, {}},   {10, 0, 60, {}},    {nan, 244, 60, {}}};
    for (auto [px, width, count, expected] : cases)
        EXPECT_EQ(hoverIndexAt(px, width, count), expected) << px << ' ' << count;
    EXPECT_DOUBLE_EQ(chartScale(std::vector<SpeedSample>(5)), 0.1) << "never divides by zero";

    // Ticks slow down from 2 s to 6 s apart: ages come from the samples' own times.
    std::vector<SpeedSample> samples(60);
    std::vector<double> times(60);
    for (size_t i = 1; i < times.size(); ++i)
        times[i] = times[i - 1] + (i < 30 ? 2 : 6);
    samples[0] = {8, 1.2};
    const SpeedSample current{512.3, 24.6};
    EXPECT_EQ(headerValues(samples, times, current, 0).sample, samples[0]);
    EXPECT_EQ(headerValues(samples, times, current, 0).age, u"-238s"_s);
    EXPECT_EQ(headerValues(samples, times, current, 58).age, u"-6s"_s);
    EXPECT_EQ(headerValues(samples, times, current, 59).age, u"now"_s);
    for (std::optional<int> stale : {std::optional<int>(), std::optional(60), std::optional(-1)})
        EXPECT_EQ(headerValues(samples, times, current, stale).age, std::nullopt);
    // Just after a reset the history is shorter than the remembered index.
    EXPECT_EQ(headerValues(std::span(samples).first(3), times, current, 5).sample, current);
}

TEST(PanelText, LinkRowShowsTheWiredSpeedOrTheRadio)
{
    const WiFiMonitor::Radio full{-55, -92, 573.5, u"5 GHz"_s, 36, u"Wi-Fi 6"_s};
    // The label, the detail and the tooltip.
    const std::tuple<LinkKind, double, std::optional<WiFiMonitor::Radio>, const char16_t*> cases[] =
        {
            {LinkKind::ethernet, 1e3, {}, u"Ethernet|1.00Gb link|Negotiated link speed 1000 Mb/s"},
            {LinkKind::ethernet, 0, {}, u"Ethernet|connected|Ethernet"},
            {LinkKind::vpn, 99.9, {}, u"VPN|99.9Mb link|Negotiated link speed 99 Mb/s"},
            {LinkKind::wifi, 0, {}, u"Wi-Fi|connected|Wi-Fi"},
            {LinkKind::wifi, 0, full,
             u"Wi-Fi 6|\u25AE\u25AE\u25AE\u25AE \u00B7 5 GHz \u00B7 574Mb|"
             u"Signal -55 dBm, noise -92 dBm, link rate 573 Mb/s"},
            // No noise, no band: no separators left alone.
            {LinkKind::wifi, 0, WiFiMonitor::Radio{-75, {}, 0, {}, 0, {}},
             u"Wi-Fi|\u25AE\u25AE\u25AF\u25AF|Signal -75 dBm, link rate 0 Mb/s"},
        };
    for (const auto& [kind, mbps, radio, text] : cases) {
        const LinkRowText t = linkRowText(kind, mbps, radio);
        EXPECT_EQ(QStringList({t.label, t.detail, t.tooltip}).join(u'|'), QStringView(text));
    }
}

TEST(PanelText, SessionLineIsDecimalWithZeroSpelledOut)
{
    const QLocale c = QLocale::c();
    for (auto [bytes, text] : {std::pair<quint64, const char*>{0, "Zero bytes"},
                               {1, "1 byte"},
                               {999, "999 bytes"},
                               {1000, "1.0 kB"},
                               {999'949, "999.9 kB"},
                               {999'950, "1.0 MB"},
                               {999'950'000'000, "1.0 TB"},
                               {~quint64(0), "9.2 EB"}}) // clamped, not wrapped negative
        EXPECT_EQ(bytesText(bytes, c), QLatin1String(text)) << bytes;

    const QDateTime at(QDate(2024, 3, 1), QTime(9, 41, 27));
    EXPECT_EQ(startText(at, c), u"since 09:41"_s);
    const QString us = startText(at, QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_TRUE(us.startsWith(u"since 9:41") && us.endsWith(u"AM")) << us.toStdString();
}

} // namespace
