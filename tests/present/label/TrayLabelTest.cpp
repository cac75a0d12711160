#include "present/TrayLabel.h"

#include "present/Label.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace corvane;

TEST(TrayLabel, RedrawsWhenTheTextUnitsOrStyleChangeNeverInTheWideStyleAndCachesImages)
{
    TrayLabel label(BarStyle::stacked, RateUnits::bits);
    QSignalSpy images(&label, &TrayLabel::imageChanged);
    label.show(SpeedSample::zero());
    EXPECT_EQ(images.count(), 0) << "the same text is not drawn again";
    label.show({80, 0});
    EXPECT_TRUE(label.text().contains(QStringLiteral("80.0Mb")));
    const ScaledRate down(80, RateUnits::bits), up(0, RateUnits::bits);
    EXPECT_EQ(label.image().normal, renderStacked(down, up, false, true).normal) << "dimmed apart";
    const LabelImage bits = label.image();
    EXPECT_TRUE(label.setUnits(RateUnits::bytes));
    EXPECT_FALSE(label.setUnits(RateUnits::bytes));
    EXPECT_TRUE(label.text().contains(QStringLiteral("10.0MB")));
    EXPECT_FALSE(label.image() == bits);

    EXPECT_TRUE(label.setStyle(BarStyle::wide));
    const LabelImage frozen = label.image();
    label.show({16, 0});
    EXPECT_TRUE(label.text().contains(QStringLiteral("2.0MB")));
    EXPECT_TRUE(label.image() == frozen);
    images.clear();
    EXPECT_TRUE(label.setStyle(BarStyle::stacked)); // same text, drawn because forced
    EXPECT_EQ(images.count(), 1);

    // A fresh label caches 64 images; the next one empties the cache whole first.
    TrayLabel fresh(BarStyle::stacked, RateUnits::bits);
    const LabelImage initial = fresh.image();
    const auto at = [&](double mbps) {
        fresh.show({mbps, 0});
        return fresh.image();
    };
    for (int k = 1; k <= 63; ++k)
        at(k);
    const LabelImage zero = at(0);
    EXPECT_FALSE(zero == initial) << "the initial image is not cached";
    at(64);
    EXPECT_TRUE(at(0) == zero) << "65 entries: zero still comes from the cache";
    at(65); // finds 65 and flushes them all
    EXPECT_FALSE(at(0) == zero);
}
