#include "present/RateUnits.h"

#include "present/Label.h"

#include <gtest/gtest.h>

using namespace corvane;
using namespace Qt::StringLiterals;

namespace {

constexpr auto bits = RateUnits::bits, bytes = RateUnits::bytes;

TEST(ScaledRate, ScalesAtTheThresholdsAndPadsTheLabel)
{
    const struct {
        double mbps;
        RateUnits units;
        const char* compact;
    } cases[] = {
        {0, bits, "0Kb"},         {0.012, bits, "0Kb"},
        {0.025, bits, "50Kb"}, // half rounds away from zero
        {0.9994, bits, "1000Kb"}, {0.9995, bits, "1.0Mb"},
        {12.34, bits, "12.3Mb"},  {99.94, bits, "99.9Mb"},
        {99.95, bits, "100Mb"},   {999.94, bits, "1000Mb"},
        {999.95, bits, "1.00Gb"}, {9994.9, bits, "9.99Gb"},
        {9995, bits, "10.0Gb"},   {99950, bits, "100Gb"},
        {1e300, bits, "9999Gb"},  {0.4, bytes, "50KB"},
        {8, bytes, "1.0MB"},      {7999.6, bytes, "1.00GB"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ScaledRate(c.mbps, c.units).compact(), QLatin1String(c.compact)) << c.mbps;

    // The label pads figures with figure spaces, dims idle rates and parses units exactly.
    const QString fs{QChar(figureSpace)};
    EXPECT_EQ(formatLabel({0.85, 12.34}, bits), u"\u2193"_s + fs + u"850Kb \u219112.3Mb"_s);
    EXPECT_EQ(formatLabel({80, 2000}, bytes), u"\u219310.0MB \u2191"_s + fs + u"250MB"_s);
    EXPECT_EQ(ScaledRate(0, bits).padded(6), QString(5, fs[0]) + u'0');
    EXPECT_EQ(ScaledRate(2500, bits).padded(), u"2.50");
    EXPECT_TRUE(isIdleRate(0.049));
    EXPECT_FALSE(isIdleRate(0.05));
    EXPECT_EQ(labelCacheKey({12.34, bits}, {0.85, bits}, false, true), u"12.3|Mb|850|Kb|falsetrue");
    for (const char16_t* raw : {u"Bits", u"", u"bytes "})
        EXPECT_EQ(rate_units::fromRaw(raw), std::nullopt);
    for (RateUnits unit : rate_units::allCases)
        EXPECT_EQ(rate_units::fromRaw(rate_units::rawValue(unit)), unit);
}

} // namespace
