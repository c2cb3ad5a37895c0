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

std::vector<std::string> labelsOf(const AxisTicks& t, int maxRank = 99) {
    std::vector<std::string> r;
    for (const AxisTick& l : t.labels) {
        if (l.rank <= maxRank) r.push_back(l.label);
    }
    return r;
}

// --- log axis ---------------------------------------------------------------------------

TEST(LogAxisTicks, AudioBandHasGridAtOneToNineAndLabelsAtOneTwoFive) {
    const AxisTicks t = logAxisTicks({20.0, 20000.0});
    EXPECT_EQ(labelsOf(t),
              (std::vector<std::string>{"20", "50", "100", "200", "500", "1k", "2k", "5k", "10k", "20k"}));
    // 20..90 (8), 100..900 (9), 1k..9k (9), 10k, 20k
    ASSERT_EQ(t.grid.size(), 28u);
    EXPECT_DOUBLE_EQ(t.grid.front().value, 20.0);
    EXPECT_DOUBLE_EQ(t.grid.back().value, 20000.0);
    int major = 0;
    for (std::size_t i = 0; i < t.grid.size(); ++i) {
        const GridLine& g = t.grid[i];
        const double mant = g.value / std::pow(10.0, std::floor(std::log10(g.value) + 1e-12));
        EXPECT_NEAR(mant, std::round(mant), 1e-9) << g.value;
        EXPECT_EQ(g.major, std::fabs(mant - 1.0) < 1e-9) << g.value;
        major += g.major;
        if (i > 0) {
            EXPECT_LT(t.grid[i - 1].value, g.value);
        }
    }
    EXPECT_EQ(major, 3); // 100, 1k, 10k
}

TEST(LogAxisTicks, RanksLetACrowdedAxisKeepDecadesFirst) {
    const AxisTicks t = logAxisTicks({20.0, 2000.0});
    EXPECT_EQ(labelsOf(t, 0), (std::vector<std::string>{"100", "1k"}));
    EXPECT_EQ(labelsOf(t, 1), (std::vector<std::string>{"50", "100", "500", "1k"}));
    EXPECT_EQ(labelsOf(t, 2), (std::vector<std::string>{"20", "50", "100", "200", "500", "1k", "2k"}));
}

TEST(LogAxisTicks, BelowTenAndAboveAThousand) {
    EXPECT_EQ(labelsOf(logAxisTicks({1.0, 10.0})), (std::vector<std::string>{"1", "2", "5", "10"}));
    EXPECT_EQ(labelsOf(logAxisTicks({0.1, 1.0})), (std::vector<std::string>{"0.1", "0.2", "0.5", "1"}));
    EXPECT_EQ(labelsOf(logAxisTicks({1e5, 2e6})),
              (std::vector<std::string>{"100k", "200k", "500k", "1M", "2M"}));
}

TEST(LogAxisTicks, NarrowSpanLabelsEveryGridLine) {
    // Only "200" of 1-2-5 lies in 150..450.
    EXPECT_EQ(labelsOf(logAxisTicks({150.0, 450.0})), (std::vector<std::string>{"200", "300", "400"}));
}

TEST(LogAxisTicks, SpanBetweenTwoGridLinesGetsLinearSteps) {
    const AxisTicks t = logAxisTicks({1010.0, 1090.0});
    ASSERT_GE(t.labels.size(), 2u);
    for (const AxisTick& l : t.labels) {
        EXPECT_GE(l.value, 1010.0);
        EXPECT_LE(l.value, 1090.0);
    }
    EXPECT_EQ(t.labels.front().label, "1.02k");
    for (std::size_t i = 1; i < t.grid.size(); ++i)
        EXPECT_LE(t.grid[i - 1].value, t.grid[i].value);
}

TEST(LogAxisTicks, HugeSpanKeepsOnlyDecadesWithBoundedCounts) {
    const AxisTicks t = logAxisTicks({1e-200, 1e200});
    EXPECT_LE(t.grid.size(), 401u);
    EXPECT_LE(t.labels.size(), 12u);
    EXPECT_GE(t.labels.size(), 2u);
    for (const GridLine& g : t.grid)
        EXPECT_TRUE(g.major);
}

TEST(LogAxisTicks, InvalidBoundsStillGiveADrawableAxis) {
    for (const AxisBounds b : {AxisBounds{kNaN, kNaN}, AxisBounds{-5.0, 0.0}, AxisBounds{100.0, 100.0},
                               AxisBounds{kInf, 1000.0}, AxisBounds{2000.0, 20.0}}) {
        const AxisTicks t = logAxisTicks(b);
        EXPECT_GE(t.labels.size(), 2u) << b.min << " " << b.max;
        for (const GridLine& g : t.grid)
            EXPECT_TRUE(std::isfinite(g.value) && g.value > 0.0);
    }
}

struct LogLabelCase {
    double value;
    const char* text;
};

class LogTickLabel : public ::testing::TestWithParam<LogLabelCase> {};

TEST_P(LogTickLabel, Formats) {
    EXPECT_EQ(logTickLabel(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Values, LogTickLabel,
                         ::testing::Values(LogLabelCase{2, "2"}, LogLabelCase{5, "5"}, LogLabelCase{20, "20"},
                                           LogLabelCase{500, "500"}, LogLabelCase{1000, "1k"},
                                           LogLabelCase{2000, "2k"}, LogLabelCase{20000, "20k"},
                                           LogLabelCase{1500, "1.5k"}, LogLabelCase{1e6, "1M"},
                                           LogLabelCase{0.5, "0.5"}, LogLabelCase{0.3 * 0.1 * 10, "0.3"},
                                           LogLabelCase{3 * std::pow(10.0, -1), "0.3"},
                                           LogLabelCase{kNaN, ""}));

// --- linear axis ------------------------------------------------------------------------

struct StepCase {
    double span;
    int target;
    double step;
};

class NiceStep : public ::testing::TestWithParam<StepCase> {};

TEST_P(NiceStep, PicksOneTwoTwoAndAHalfOrFive) {
    EXPECT_DOUBLE_EQ(niceStep(GetParam().span, GetParam().target), GetParam().step);
}

INSTANTIATE_TEST_SUITE_P(Table, NiceStep,
                         ::testing::Values(StepCase{100, 10, 10}, StepCase{100, 5, 20}, StepCase{100, 4, 25},
                                           StepCase{100, 3, 50}, StepCase{100, 2, 50}, StepCase{100, 1, 100},
                                           StepCase{7, 5, 2}, StepCase{0.9, 4, 0.25}, StepCase{360, 4, 100},
                                           StepCase{1e-6, 5, 2e-7}, StepCase{0, 5, 1}, StepCase{-3, 5, 1},
                                           StepCase{kNaN, 5, 1}, StepCase{50, 0, 50}));

TEST(LinearTicks, StepGivesAtMostTheTargetCountOfIntervals) {
    for (int target = 1; target <= 12; ++target) {
        for (const double span : {0.7, 1.0, 3.3, 45.0, 99.0, 123456.0}) {
            const double step = niceStep(span, target);
            EXPECT_LE(span / step, target * (1 + 1e-9)) << span << " " << target;
            // ... and not wastefully fewer: the next smaller nice step would exceed the target.
            EXPECT_GT(span / step, target / 2.5 - 1e-9) << span << " " << target;
        }
    }
}

TEST(LinearTicks, NiceBoundsWidenToMultiplesOfTheStep) {
    EXPECT_EQ(niceBounds({61.3, 94.7}, 7), (AxisBounds{60, 95}));
    EXPECT_EQ(niceBounds({-173.0, 172.0}, 4), (AxisBounds{-200, 200}));
    EXPECT_EQ(niceBounds({0.0, 100.0}, 5), (AxisBounds{0, 100}));
    const AxisBounds b = niceBounds({3.01, 3.02}, 5);
    EXPECT_LE(b.min, 3.01);
    EXPECT_GE(b.max, 3.02);
    EXPECT_LT(b.max - b.min, 0.021);
}

TEST(LinearTicks, ValuesAndLabelsOnAnSplRange) {
    const AxisTicks t = linearAxisTicks({50.0, 100.0}, 5);
    EXPECT_EQ(labelsOf(t), (std::vector<std::string>{"50", "60", "70", "80", "90", "100"}));
    EXPECT_EQ(t.grid.size(), 6u);
    // every other label may be dropped
    EXPECT_EQ(labelsOf(t, 0), (std::vector<std::string>{"60", "80", "100"}));
}

TEST(LinearTicks, QuarterStepsAndNegativeValues) {
    EXPECT_EQ(labelsOf(linearAxisTicks({0.0, 10.0}, 4)),
              (std::vector<std::string>{"0", "2.5", "5", "7.5", "10"}));
    EXPECT_EQ(labelsOf(linearAxisTicksWithStep({-180.0, 180.0}, 90.0)),
              (std::vector<std::string>{"-180", "-90", "0", "90", "180"}));
    EXPECT_EQ(labelsOf(linearAxisTicks({-0.3, 0.3}, 6)),
              (std::vector<std::string>{"-0.3", "-0.2", "-0.1", "0", "0.1", "0.2", "0.3"}));
}

TEST(LinearTicks, RejectsUnusableSteps) {
    EXPECT_TRUE(linearAxisTicksWithStep({0, 1}, 0.0).labels.empty());
    EXPECT_TRUE(linearAxisTicksWithStep({0, 1}, kNaN).labels.empty());
    EXPECT_TRUE(linearAxisTicksWithStep({0, 1e9}, 1.0).labels.empty()); // too many
}

struct FormatCase {
    double value;
    double step;
    const char* text;
};

class FormatTick : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatTick, HasNoTrailingGarbage) {
    EXPECT_EQ(formatTickValue(GetParam().value, GetParam().step), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Table, FormatTick,
                         ::testing::Values(FormatCase{-180, 90, "-180"}, FormatCase{0.5, 0.5, "0.5"},
                                           FormatCase{12.5, 2.5, "12.5"}, FormatCase{10, 2.5, "10"},
                                           FormatCase{0.1 + 0.2, 0.1, "0.3"}, FormatCase{-0.0, 1, "0"},
                                           FormatCase{-1e-17, 0.1, "0"}, FormatCase{3 * 0.05, 0.05, "0.15"},
                                           FormatCase{1234567, 1000, "1234567"},
                                           FormatCase{2e-7, 1e-7, "0.0000002"}, FormatCase{5, 0, "5"},
                                           FormatCase{kInf, 1, ""}));

// --- bounds and mapping -----------------------------------------------------------------

struct PadCase {
    double min;
    double max;
    bool log;
    double wantMin;
    double wantMax;
};

class PadBounds : public ::testing::TestWithParam<PadCase> {};

TEST_P(PadBounds, GivesADrawableInterval) {
    const PadCase& c = GetParam();
    const AxisBounds b = padAxisBounds(c.min, c.max, c.log);
    EXPECT_DOUBLE_EQ(b.min, c.wantMin);
    EXPECT_DOUBLE_EQ(b.max, c.wantMax);
    EXPECT_LT(b.min, b.max);
    EXPECT_TRUE(std::isfinite(b.max - b.min));
}

INSTANTIATE_TEST_SUITE_P(
    Table, PadBounds,
    ::testing::Values(PadCase{20, 2000, true, 20, 2000}, PadCase{85, 85, false, 76.5, 93.5},
                      PadCase{0, 0, false, -1, 1}, PadCase{-10, -10, false, -11, -9},
                      PadCase{100, 100, true, 50, 200}, PadCase{90, 10, false, 10, 90},
                      PadCase{kNaN, 5, false, 4.5, 5.5}, PadCase{5, kInf, false, 4.5, 5.5},
                      PadCase{kNaN, kNaN, false, 0, 1}, PadCase{-kInf, kInf, true, 10, 10000},
                      PadCase{0, 1000, true, 500, 2000}, PadCase{-1e308, 1e308, false, -1e300, 1e300},
                      PadCase{1e-320, 1, true, 1e-300, 1}));

TEST(AxisMapping, LinearMapsEndsAndMiddleBothWays) {
    const AxisMapping y({-180, 180}, 400, 100, false); // y grows downwards
    EXPECT_DOUBLE_EQ(y.toPixel(-180), 400);
    EXPECT_DOUBLE_EQ(y.toPixel(180), 100);
    EXPECT_DOUBLE_EQ(y.toPixel(0), 250);
    EXPECT_DOUBLE_EQ(y.toValue(175), 90);
    EXPECT_TRUE(std::isnan(y.toPixel(kNaN)));
}

TEST(AxisMapping, LogPutsEqualRatiosAtEqualDistances) {
    const AxisMapping x({20, 20000}, 50, 650, true);
    EXPECT_DOUBLE_EQ(x.toPixel(20), 50);
    EXPECT_NEAR(x.toPixel(20000), 650, 1e-9);
    EXPECT_NEAR(x.toPixel(200) - x.toPixel(20), 200, 1e-9);
    EXPECT_NEAR(x.toPixel(2000) - x.toPixel(200), 200, 1e-9);
    EXPECT_NEAR(x.toValue(x.toPixel(1234.5)), 1234.5, 1e-9);
    EXPECT_TRUE(std::isnan(x.toPixel(0)));
    EXPECT_TRUE(std::isnan(x.toPixel(-3)));
}

TEST(AxisMapping, DegenerateBoundsArePadded) {
    const AxisMapping m({5, 5}, 0, 100, false);
    EXPECT_DOUBLE_EQ(m.toPixel(5), 50);
    EXPECT_TRUE(std::isfinite(m.toValue(0)));
    const AxisMapping flat({0, 1}, 10, 10, false);
    EXPECT_DOUBLE_EQ(flat.toValue(42), 0);
}

} // namespace
} // namespace harlox
