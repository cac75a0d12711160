#include "present/RateUnits.h"

#include <gtest/gtest.h>

using corvane::RateUnits;
using corvane::ScaledRate;

namespace {

struct Case {
    double mbps;
    RateUnits units;
    const char* value;
    const char* unit;
};

class ScaledRateTable : public ::testing::TestWithParam<Case> {};

} // namespace

TEST_P(ScaledRateTable, ScalesAtTheThresholds)
{
    const Case& c = GetParam();
    const ScaledRate r(c.mbps, c.units);
    EXPECT_EQ(r.value, QString::fromLatin1(c.value)) << c.mbps;
    EXPECT_EQ(r.unit, QString::fromLatin1(c.unit)) << c.mbps;
}

INSTANTIATE_TEST_SUITE_P(
    Bits, ScaledRateTable,
    ::testing::Values(
        Case{0, RateUnits::bits, "0", "Kb"}, Case{0.012, RateUnits::bits, "0", "Kb"},
        Case{0.025, RateUnits::bits, "50", "Kb"}, // half rounds away from zero
        Case{0.03, RateUnits::bits, "50", "Kb"}, Case{0.3, RateUnits::bits, "300", "Kb"},
        Case{0.9994, RateUnits::bits, "1000", "Kb"}, Case{0.9995, RateUnits::bits, "1.0", "Mb"},
        Case{12.34, RateUnits::bits, "12.3", "Mb"}, Case{99.94, RateUnits::bits, "99.9", "Mb"},
        Case{99.95, RateUnits::bits, "100", "Mb"}, Case{942, RateUnits::bits, "942", "Mb"},
        Case{999.94, RateUnits::bits, "1000", "Mb"}, Case{999.95, RateUnits::bits, "1.00", "Gb"},
        Case{2500, RateUnits::bits, "2.50", "Gb"}, Case{9994.9, RateUnits::bits, "9.99", "Gb"},
        Case{9995, RateUnits::bits, "10.0", "Gb"}, Case{12345, RateUnits::bits, "12.3", "Gb"},
        Case{99950, RateUnits::bits, "100", "Gb"}, Case{1e300, RateUnits::bits, "9999", "Gb"}));

INSTANTIATE_TEST_SUITE_P(Bytes, ScaledRateTable,
                         ::testing::Values(Case{80, RateUnits::bytes, "10.0", "MB"},
                                           Case{8, RateUnits::bytes, "1.0", "MB"},
                                           Case{0.4, RateUnits::bytes, "50", "KB"},
                                           Case{7999.6, RateUnits::bytes, "1.00", "GB"}));

TEST(ScaledRate, PaddingUsesFigureSpaces)
{
    const QString fs(QChar(corvane::figureSpace));
    const ScaledRate zero(0, RateUnits::bits);
    EXPECT_EQ(zero.compact(), QStringLiteral("0Kb"));
    EXPECT_EQ(zero.padded(), fs + fs + fs + QStringLiteral("0"));
    EXPECT_EQ(ScaledRate(0.85, RateUnits::bits).padded(6), fs + fs + fs + QStringLiteral("850"));
    for (double mbps : {12.34, 999.94, 2500.0})
        EXPECT_EQ(ScaledRate(mbps, RateUnits::bits).padded(),
                  ScaledRate(mbps, RateUnits::bits).value);
}

TEST(RateUnits, ParsesOnlyExactIdentifiers)
{
    namespace ru = corvane::rate_units;
    EXPECT_EQ(ru::fromRaw(u"bits"), RateUnits::bits);
    EXPECT_EQ(ru::fromRaw(u"bytes"), RateUnits::bytes);
    EXPECT_EQ(ru::fromRaw(u"Bits"), std::nullopt);
    EXPECT_EQ(ru::fromRaw(u""), std::nullopt);
    for (RateUnits u : ru::allCases)
        EXPECT_EQ(ru::fromRaw(ru::rawValue(u)), u);
}
