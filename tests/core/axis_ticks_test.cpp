#include "core/axis_ticks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace harlox {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
using S = std::vector<std::string>;

S labelsOf(const AxisTicks& t, int maxRank = 99) {
    S r;
    for (const AxisTick& l : t.labels)
        if (l.rank <= maxRank) r.push_back(l.label);
    return r;
}

TEST(AxisTicks, LabelTable) {
    const std::vector<std::pair<AxisTicks, S>> cases = {
        {logAxisTicks({20, 20000}), {"20", "50", "100", "200", "500", "1k", "2k", "5k", "10k", "20k"}},
        {logAxisTicks({1e5, 2e6}), {"100k", "200k", "500k", "1M", "2M"}},
        {logAxisTicks({150, 450}), {"200", "300", "400"}}, // too narrow for 1-2-5: every grid line
        {linearAxisTicks({0, 10}, 4), {"0", "2.5", "5", "7.5", "10"}},
        {linearAxisTicks({-0.3, 0.3}, 6), {"-0.3", "-0.2", "-0.1", "0", "0.1", "0.2", "0.3"}},
        {linearAxisTicksWithStep({-180, 180}, 90), {"-180", "-90", "0", "90", "180"}},
        {linearAxisTicksWithStep({0, 1e9}, 1.0), {}}, // too many
    };
    for (const auto& [ticks, labels] : cases)
        EXPECT_EQ(labelsOf(ticks), labels);
    // A crowded axis drops the higher ranks first: the twos, then the fives, every other step.
    EXPECT_EQ(labelsOf(logAxisTicks({20, 2000}), 0), (S{"100", "1k"}));
    EXPECT_EQ(labelsOf(logAxisTicks({20, 2000}), 1), (S{"50", "100", "500", "1k"}));
    EXPECT_EQ(labelsOf(linearAxisTicks({50, 100}, 5), 0), (S{"60", "80", "100"}));
}

TEST(AxisTicks, LogGridAtOneToNineWithMajorDecadesAndAlwaysDrawable) {
    const AxisTicks t = logAxisTicks({20.0, 20000.0});
    ASSERT_EQ(t.grid.size(), 28u); // 20..90, 100..900, 1k..9k, 10k, 20k
    for (const GridLine& g : t.grid) {
        const double mantissa = g.value / std::pow(10.0, std::floor(std::log10(g.value) + 1e-12));
        EXPECT_NEAR(mantissa, std::round(mantissa), 1e-9);
        EXPECT_EQ(g.major, std::fabs(mantissa - 1.0) < 1e-9) << g.value;
    }
    for (const AxisBounds b : {AxisBounds{kNaN, kNaN}, AxisBounds{-5, 0}, AxisBounds{100, 100},
                               AxisBounds{kInf, 1000}, AxisBounds{1010, 1090}, AxisBounds{1e-200, 1e200}}) {
        const AxisTicks bad = logAxisTicks(b);
        EXPECT_GE(bad.labels.size(), 2u) << b.min << " " << b.max;
        EXPECT_LE(bad.grid.size(), 401u);
        for (const GridLine& g : bad.grid)
            EXPECT_TRUE(std::isfinite(g.value) && g.value > 0.0);
    }
}

TEST(AxisTicks, NiceAndPaddedBounds) {
    EXPECT_EQ(niceBounds({61.3, 94.7}, 7), (AxisBounds{60, 95}));
    EXPECT_EQ(niceBounds({-173.0, 172.0}, 4), (AxisBounds{-200, 200}));
    using B = std::pair<AxisBounds, AxisBounds>;
    for (const auto& [got, want] :
         {B{padAxisBounds(85, 85, false), {76.5, 93.5}}, B{padAxisBounds(100, 100, true), {50, 200}},
          B{padAxisBounds(90, 10, false), {10, 90}}, B{padAxisBounds(-kInf, kInf, true), {10, 10000}},
          B{padAxisBounds(-1e308, 1e308, false), {-1e300, 1e300}}}) {
        EXPECT_DOUBLE_EQ(got.min, want.min);
        EXPECT_DOUBLE_EQ(got.max, want.max);
    }
}

} // namespace
TEST(AxisTicks, HugeBoundsEndWithinTheTickLimit) {
    // Above 2^53 a double tick counter stops moving; the walk must end all the same.
    const AxisTicks t = linearAxisTicksWithStep({1e17, 1e17 + 64.0}, 1.0);
    EXPECT_LE(t.grid.size(), 65u);
}

} // namespace harlox
