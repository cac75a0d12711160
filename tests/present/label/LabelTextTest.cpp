#include "present/Label.h"

#include <gtest/gtest.h>

using namespace corvane;

TEST(LabelText, PadsFiguresWithFigureSpacesAndDimsBelowTheIdleRate)
{
    const QString fs{QChar(figureSpace)};
    EXPECT_EQ(formatLabel({12.34, 0.85}, RateUnits::bits),
              QStringLiteral("\u219312.3Mb \u2191") + fs + QStringLiteral("850Kb"));
    EXPECT_EQ(formatLabel({80, 2000}, RateUnits::bytes),
              QStringLiteral("\u219310.0MB \u2191") + fs + QStringLiteral("250MB"));
    EXPECT_TRUE(isIdleRate(0.049));
    EXPECT_FALSE(isIdleRate(0.05));
    const ScaledRate d(12.34, RateUnits::bits), u(0.85, RateUnits::bits);
    EXPECT_EQ(labelCacheKey(d, u, false, true), QStringLiteral("12.3|Mb|850|Kb|falsetrue"));
}
