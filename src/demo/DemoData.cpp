#include "demo/DemoData.h"

#include <cmath>

namespace corvane::DemoFixture {

namespace {

// One decimal place, halves away from zero.
double tenth(double v)
{
    return std::round(v * 10) / 10;
}

} // namespace

std::vector<SpeedSample> samples()
{
    std::vector<SpeedSample> out;
    out.reserve(60);
    for (int i = 0; i < 60; ++i) {
        const double x = i;
        double d = 0;
        double u = 0;
        if (i <= 17) {
            d = 8 + 4 * std::sin(x / 2.5);
            u = 1.2 + 0.6 * std::sin(x / 1.7);
        } else if (i <= 25) {
            d = 60 + 30 * std::sin((x - 18) / 1.3);
            u = 3.5 + 1.5 * std::sin(x);
        } else if (i <= 39) {
            d = 12 + 6 * std::sin(x / 2.1);
            u = 1.8 + 0.7 * std::sin(x / 1.9);
        } else if (i <= 51) {
            d = 120 + 32 * (x - 40);
            u = 6 + 1.4 * (x - 40);
        } else {
            d = 505 + 10 * std::sin(x / 1.5);
            u = 24 + 1.5 * std::sin(0.5 * x);
        }
        out.push_back({tenth(d), tenth(u)});
    }
    return out;
}

} // namespace corvane::DemoFixture
