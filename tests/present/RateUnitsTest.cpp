#include "present/RateUnits.h"

#include <gtest/gtest.h>

using namespace corvane;

namespace {

struct Case {
    double mbps;
    RateUnits units;
    const char* value;
    const char* unit;
};

class ScaledRateTable : public ::testing::TestWithParam<Case> {};

TEST_P(ScaledRateTable, ScalesAtTheThresholds)
{
    const Case& c = GetParam();
    EXPECT_EQ(ScaledRate(c.mbps, c.units).compact(),
              QString::fromLatin1(c.value) + QLatin1String(c.unit));
}

// Shown in the case names, e.g. "0.9995 bits: 1.0Mb".
void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.mbps << ' ' << rate_units::rawValue(c.units).toStdString() << ": " << c.value
        << c.unit;
}

constexpr auto bits = RateUnits::bits, bytes = RateUnits::bytes;
INSTANTIATE_TEST_SUITE_P(
    Rates, ScaledRateTable,
    ::testing::Values(Case{0, bits, "0", "Kb"}, Case{0.012, bits, "0", "Kb"},
                      Case{0.025, bits, "50", "Kb"}, // half rounds away from zero
                      Case{0.9994, bits, "1000", "Kb"}, Case{0.9995, bits, "1.0", "Mb"},
                      Case{12.34, bits, "12.3", "Mb"}, Case{99.94, bits, "99.9", "Mb"},
                      Case{99.95, bits, "100", "Mb"}, Case{999.94, bits, "1000", "Mb"},
                      Case{999.95, bits, "1.00", "Gb"}, Case{9994.9, bits, "9.99", "Gb"},
                      Case{9995, bits, "10.0", "Gb"}, Case{99950, bits, "100", "Gb"},
                      Case{1e300, bits, "9999", "Gb"}, Case{0.4, bytes, "50", "KB"},
                      Case{8, bytes, "1.0", "MB"}, Case{7999.6, bytes, "1.00", "GB"}));

TEST(ScaledRate, PaddingUsesFigureSpacesAndParsingIsExact)
{
    const QString fs{QChar(figureSpace)};
    EXPECT_EQ(ScaledRate(0, bits).padded(), fs + fs + fs + u'0');
    EXPECT_EQ(ScaledRate(0.85, bits).padded(6), fs + fs + fs + QStringLiteral("850"));
    EXPECT_EQ(ScaledRate(2500, bits).padded(), QStringLiteral("2.50"));
    for (const char16_t* raw : {u"Bits", u"", u"bytes "})
        EXPECT_EQ(rate_units::fromRaw(raw), std::nullopt);
    for (RateUnits u : rate_units::allCases)
        EXPECT_EQ(rate_units::fromRaw(rate_units::rawValue(u)), u);
}

} // namespace
