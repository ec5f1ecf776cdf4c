// Axis ticks of the runner's plot: round steps of 1, 2 or 5 times a power of ten, labels written
// exactly with the decimals of the step, a shared power of ten for very small or large values.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/runner/axisticks.h"

namespace {

std::vector<std::string> Labels(const AxisTicks& t)
{
    std::vector<std::string> labels;
    for (int k = 0; k < t.count; ++k) labels.push_back(t.Label(k));
    return labels;
}

struct TickCase {
    double low, high;
    int most;
    std::vector<std::string> labels;
    std::string shared;
};

TEST(AxisTicks, FallOnRoundValuesWithSharedDecimals)
{
    const TickCase cases[] = {
        {0.4511, 1.549, 8, {"0.6", "0.8", "1.0", "1.2", "1.4"}, ""},   // the demo's value axis
        {0.0, 5.9, 8, {"0", "1", "2", "3", "4", "5"}, ""},             // the demo's time axis
        {0.0, 1.0, 11, {"0.0", "0.1", "0.2", "0.3", "0.4", "0.5", "0.6", "0.7", "0.8", "0.9", "1.0"}, ""},
        {-3.2, 3.2, 8, {"-3", "-2", "-1", "0", "1", "2", "3"}, ""},
        {-0.07, 0.07, 8, {"-0.06", "-0.04", "-0.02", "0.00", "0.02", "0.04", "0.06"}, ""},
        {120.0, 980.0, 8, {"200", "300", "400", "500", "600", "700", "800", "900"}, ""},
        {120.0, 980.0, 5, {"200", "400", "600", "800"}, ""},
        {0.0, 40.0, 8, {"0", "10", "20", "30", "40"}, ""},
        {1.2e-6, 1.8e-6, 8, {"1.2", "1.3", "1.4", "1.5", "1.6", "1.7", "1.8"}, "×10^-6"},
        {0.0, 4.0e7, 8, {"0", "1", "2", "3", "4"}, "×10^7"},
        {2.0, 2.0, 8, {"1.6", "1.8", "2.0", "2.2", "2.4"}, ""},        // empty range: width 1 around it
    };
    for (const TickCase& c : cases) {
        AxisTicks t = ChooseTicks(c.low, c.high, c.most);
        EXPECT_EQ(Labels(t), c.labels) << c.low << ".." << c.high;
        EXPECT_EQ(SharedExponentText(t), c.shared) << c.low << ".." << c.high;
        EXPECT_LE(t.count, c.most) << c.low << ".." << c.high;
        for (int k = 0; k < t.count; ++k) {
            EXPECT_GE(t.Value(k), c.low - 1e-12 - (c.low == c.high ? 0.5 : 0)) << c.low << ".." << c.high;
            EXPECT_LE(t.Value(k), c.high + 1e-12 + (c.low == c.high ? 0.5 : 0)) << c.low << ".." << c.high;
        }
    }
}

TEST(AxisTicks, ValuesAreTheNearestDoublesOfTheLabels)
{
    AxisTicks t = ChooseTicks(0.05, 0.95, 10);
    ASSERT_EQ(t.count, 9);
    EXPECT_EQ(t.Value(0), 0.1);
    EXPECT_EQ(t.Value(2), 0.3);
    EXPECT_EQ(t.Value(6), 0.7);
    EXPECT_EQ(t.Step(), 0.1);
}

TEST(AxisTicks, NoTicksForRangesThatCannotBeLabelled)
{
    EXPECT_EQ(ChooseTicks(1.0, 0.0, 8).count, 0);             // reversed
    EXPECT_EQ(ChooseTicks(0.0, 1.0 / 0.0, 8).count, 0);       // infinite
    EXPECT_EQ(ChooseTicks(1e20, 1e20 + 1.0, 8).count, 0);     // narrower than the values resolve
}

}  // namespace
