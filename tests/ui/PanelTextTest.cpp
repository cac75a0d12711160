#include "ui/PanelText.h"

#include <gtest/gtest.h>
#include <limits>

using namespace corvane;
using namespace corvane::panel_text;

namespace {

struct HoverCase {
    double px;
    double width;
    int count;
    std::optional<int> index;
};

class HoverMapping : public ::testing::TestWithParam<HoverCase> {};

TEST_P(HoverMapping, PicksTheNearestColumn)
{
    const HoverCase c = GetParam();
    EXPECT_EQ(hoverIndexAt(c.px, c.width, c.count), c.index) << "px " << c.px;
}

INSTANTIATE_TEST_SUITE_P(
    Table, HoverMapping,
    ::testing::Values(HoverCase{0, 244, 60, 0}, HoverCase{244, 244, 60, 59},
                      HoverCase{2.07, 244, 60, 1}, // r = 0.5005 rounds up
                      HoverCase{2.0, 244, 60, 0}, HoverCase{-3, 244, 60, 0},
                      HoverCase{1e9, 244, 60, 59}, HoverCase{122, 244, 3, 1},
                      HoverCase{10, 244, 1, std::nullopt}, HoverCase{10, 244, 0, std::nullopt},
                      HoverCase{10, 0, 60, std::nullopt}, HoverCase{10, -5, 60, std::nullopt},
                      HoverCase{std::numeric_limits<double>::quiet_NaN(), 244, 60, std::nullopt}));

TEST(ChartMaths, ValuesMapBetweenBaselineAndTop)
{
    const std::vector<SpeedSample> flat(5, SpeedSample{10, 5});
    EXPECT_DOUBLE_EQ(chartScale(flat), 10);
    EXPECT_DOUBLE_EQ(chartY(10, 10, 32), 1);
    EXPECT_DOUBLE_EQ(chartY(5, 10, 32), 16);
    const std::vector<SpeedSample> idle(5);
    EXPECT_DOUBLE_EQ(chartScale(idle), 0.1) << "an idle history never divides by zero";
    EXPECT_DOUBLE_EQ(chartY(0, chartScale(idle), 32), 31);
    EXPECT_DOUBLE_EQ(chartX(0, 60, 244), 0);
    EXPECT_DOUBLE_EQ(chartX(59, 60, 244), 244);
}

TEST(Header, HoveredSampleAndAgeOnlyWhileTheIndexIsValid)
{
    std::vector<SpeedSample> samples(60);
    samples[0] = {8, 1.2};
    samples[59] = {515, 22.6};
    const SpeedSample current{512.3, 24.6};

    HeaderValues h = headerValues(samples, current, 0);
    EXPECT_EQ(h.sample, samples[0]);
    EXPECT_EQ(h.age, QStringLiteral("-118s"));
    h = headerValues(samples, current, 59);
    EXPECT_EQ(h.sample, samples[59]);
    EXPECT_EQ(h.age, QStringLiteral("now"));
    EXPECT_EQ(headerValues(samples, current, 52).age, QStringLiteral("-14s"));

    for (std::optional<int> stale : {std::optional<int>(), std::optional(60), std::optional(-1)}) {
        h = headerValues(samples, current, stale);
        EXPECT_EQ(h.sample, current);
        EXPECT_EQ(h.age, std::nullopt);
    }
    // Just after a reset the history is shorter than the remembered index.
    h = headerValues(std::span(samples).first(3), current, 5);
    EXPECT_EQ(h.sample, current);
}

WiFiMonitor::Radio radio(int rssi, std::optional<int> noise, double tx, const char* band,
                         const char* phy)
{
    WiFiMonitor::Radio r;
    r.rssi = rssi;
    r.noise = noise;
    r.txRateMbps = tx;
    r.band = QString::fromUtf8(band);
    r.phyMode = QString::fromUtf8(phy);
    return r;
}

TEST(LinkRow, WiredLinksShowTheNegotiatedSpeedInBits)
{
    LinkRowText t = linkRowText(LinkKind::ethernet, 1000, std::nullopt);
    EXPECT_EQ(t.label, QStringLiteral("Ethernet"));
    EXPECT_EQ(t.detail, QStringLiteral("1.00Gb link"));
    EXPECT_EQ(t.tooltip, QStringLiteral("Negotiated link speed 1000 Mb/s"));

    t = linkRowText(LinkKind::ethernet, 0, std::nullopt);
    EXPECT_EQ(t.detail, QStringLiteral("connected"));
    EXPECT_EQ(t.tooltip, QStringLiteral("Ethernet"));

    EXPECT_EQ(linkRowText(LinkKind::vpn, 99.9, std::nullopt).tooltip,
              QStringLiteral("Negotiated link speed 99 Mb/s"));
    EXPECT_EQ(linkRowText(LinkKind::other, std::numeric_limits<double>::infinity(), {}).tooltip,
              QStringLiteral("Link"));
}

TEST(LinkRow, WiFiShowsBarsBandAndRateWithTheRadioInTheTooltip)
{
    LinkRowText t = linkRowText(LinkKind::wifi, 0, radio(-55, -92, 573.5, "5 GHz", "Wi-Fi 6"));
    EXPECT_EQ(t.label, QStringLiteral("Wi-Fi 6"));
    EXPECT_EQ(t.detail, QStringLiteral("\u25AE\u25AE\u25AE\u25AE \u00B7 5 GHz \u00B7 574Mb"));
    EXPECT_EQ(t.tooltip, QStringLiteral("Signal -55 dBm, noise -92 dBm, link rate 573 Mb/s"));

    t = linkRowText(LinkKind::wifi, 0, radio(-75, std::nullopt, 0, "", ""));
    EXPECT_EQ(t.label, QStringLiteral("Wi-Fi"));
    EXPECT_EQ(t.detail, QStringLiteral("\u25AE\u25AE\u25AF\u25AF")) << "no separators alone";
    EXPECT_EQ(t.tooltip, QStringLiteral("Signal -75 dBm, link rate 0 Mb/s"));

    t = linkRowText(LinkKind::wifi, 0, std::nullopt);
    EXPECT_EQ(t.detail, QStringLiteral("connected"));
    EXPECT_EQ(t.tooltip, QStringLiteral("Wi-Fi"));
}

TEST(RowValues, AbsentValuesAreDashesAndOnlyIdentifyingOnesAreMasked)
{
    const std::optional<QString> none;
    const std::optional<QString> ip(QStringLiteral("198.51.100.7"));
    EXPECT_EQ(rowValue(none, true, false).text, QStringLiteral("-"));
    EXPECT_TRUE(rowValue(none, true, false).masked) << "dimmed like the values it stands for";
    EXPECT_FALSE(rowValue(none, true, true).masked);
    EXPECT_EQ(rowValue(ip, true, false).text, maskText);
    EXPECT_EQ(maskText.toUtf8().size(), 24);
    EXPECT_EQ(rowValue(ip, true, true).text, *ip);
    const RowValue plain = rowValue(QStringLiteral("en0"), false, false);
    EXPECT_EQ(plain.text, QStringLiteral("en0"));
    EXPECT_FALSE(plain.masked);
}

QString kindOf(const QString& name)
{
    return name == QStringLiteral("en7") ? QStringLiteral("Ethernet") : QStringLiteral("Wi-Fi");
}

TEST(Picker, APinnedInterfaceThatIsDownStaysListedAndSelected)
{
    const QStringList up{QStringLiteral("en0"), QStringLiteral("en7")};
    const QList<PickerItem> items =
        pickerItems(QStringLiteral("en0"), up, QStringLiteral("en5"), kindOf);
    const QList<PickerItem> expected{
        {QStringLiteral("Auto (en0)"), QString()},
        {QStringLiteral("en5 \u00B7 Wi-Fi"), QStringLiteral("en5")},
        {QStringLiteral("en0 \u00B7 Wi-Fi"), QStringLiteral("en0")},
        {QStringLiteral("en7 \u00B7 Ethernet"), QStringLiteral("en7")}};
    EXPECT_EQ(items, expected);
    EXPECT_EQ(pickerSelection(items, QStringLiteral("en5")), 1);

    const QList<PickerItem> pinnedUp = pickerItems(std::nullopt, up, QStringLiteral("en7"), kindOf);
    EXPECT_EQ(pinnedUp.size(), 3) << "listed once";
    EXPECT_EQ(pinnedUp[0].text, QStringLiteral("Auto (-)"));
    EXPECT_EQ(pickerSelection(pinnedUp, QStringLiteral("en7")), 2);
    EXPECT_EQ(pickerSelection(pinnedUp, std::nullopt), 0);
}

TEST(Session, ByteCountsAreDecimalWithZeroSpelledOut)
{
    const QLocale c = QLocale::c();
    EXPECT_EQ(bytesText(0, c), QStringLiteral("Zero bytes"));
    EXPECT_EQ(bytesText(999, c), QStringLiteral("999 bytes"));
    EXPECT_EQ(bytesText(1000, c), QStringLiteral("1.0 kB"));
    EXPECT_EQ(bytesText(1'200'000'000, c), QStringLiteral("1.2 GB"));
    EXPECT_EQ(bytesText(std::numeric_limits<quint64>::max(), c),
              bytesText(quint64(std::numeric_limits<qint64>::max()), c))
        << "clamped, not wrapped negative";
    EXPECT_EQ(totalsText(0, 86'000'000, c), QStringLiteral("\u2193Zero bytes \u219186.0 MB"));
}

TEST(Session, StartLineIsAShortTimeOfDay)
{
    const QDateTime at(QDate(2024, 3, 1), QTime(9, 41, 27));
    const QString us = startText(at, QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_TRUE(us.startsWith(QStringLiteral("since 9:41")) && us.endsWith(QStringLiteral("AM")))
        << us.toStdString();
    EXPECT_EQ(startText(at, QLocale::c()), QStringLiteral("since 09:41"));
}

} // namespace
