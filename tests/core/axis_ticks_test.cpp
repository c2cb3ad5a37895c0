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

TEST(LogAxisTicks, OtherDecadesAndNarrowSpans) {
    EXPECT_EQ(labelsOf(logAxisTicks({1.0, 10.0})), (std::vector<std::string>{"1", "2", "5", "10"}));
    EXPECT_EQ(labelsOf(logAxisTicks({0.1, 1.0})), (std::vector<std::string>{"0.1", "0.2", "0.5", "1"}));
    EXPECT_EQ(labelsOf(logAxisTicks({1e5, 2e6})),
              (std::vector<std::string>{"100k", "200k", "500k", "1M", "2M"}));
    // Only "200" of 1-2-5 lies in 150..450: every grid line gets a label.
    EXPECT_EQ(labelsOf(logAxisTicks({150.0, 450.0})), (std::vector<std::string>{"200", "300", "400"}));
}

TEST(LogAxisTicks, TinyHugeAndInvalidSpansStayDrawable) {
    // Between two grid lines: linear steps.
    const AxisTicks t = logAxisTicks({1010.0, 1090.0});
    ASSERT_GE(t.labels.size(), 2u);
    for (const AxisTick& l : t.labels)
        EXPECT_TRUE(l.value >= 1010.0 && l.value <= 1090.0) << l.value;
    EXPECT_EQ(t.labels.front().label, "1.02k");
    for (std::size_t i = 1; i < t.grid.size(); ++i)
        EXPECT_LE(t.grid[i - 1].value, t.grid[i].value);

    // A huge span keeps only decades, with bounded counts.
    const AxisTicks huge = logAxisTicks({1e-200, 1e200});
    EXPECT_LE(huge.grid.size(), 401u);
    EXPECT_LE(huge.labels.size(), 12u);
    EXPECT_GE(huge.labels.size(), 2u);
    for (const GridLine& g : huge.grid)
        EXPECT_TRUE(g.major);

    for (const AxisBounds b : {AxisBounds{kNaN, kNaN}, AxisBounds{-5.0, 0.0}, AxisBounds{100.0, 100.0},
                               AxisBounds{kInf, 1000.0}, AxisBounds{2000.0, 20.0}}) {
        const AxisTicks bad = logAxisTicks(b);
        EXPECT_GE(bad.labels.size(), 2u) << b.min << " " << b.max;
        for (const GridLine& g : bad.grid)
            EXPECT_TRUE(std::isfinite(g.value) && g.value > 0.0);
    }
}

TEST(LogAxisTicks, LabelTexts) {
    using L = std::pair<double, const char*>;
    for (const auto& [value, text] :
         {L{2, "2"}, L{5, "5"}, L{20, "20"}, L{500, "500"}, L{1000, "1k"}, L{2000, "2k"}, L{20000, "20k"},
          L{1500, "1.5k"}, L{1e6, "1M"}, L{0.5, "0.5"}, L{0.3 * 0.1 * 10, "0.3"},
          L{3 * std::pow(10.0, -1), "0.3"}, L{kNaN, ""}})
        EXPECT_EQ(logTickLabel(value), text) << value;
}

// --- linear axis ------------------------------------------------------------------------

TEST(LinearTicks, NiceStepPicksOneTwoTwoAndAHalfOrFive) {
    struct S {
        double span;
        int target;
        double step;
    };
    for (const S c : {S{100, 10, 10}, S{100, 5, 20}, S{100, 4, 25}, S{100, 3, 50}, S{100, 2, 50},
                      S{100, 1, 100}, S{7, 5, 2}, S{0.9, 4, 0.25}, S{360, 4, 100}, S{1e-6, 5, 2e-7},
                      S{0, 5, 1}, S{-3, 5, 1}, S{kNaN, 5, 1}, S{50, 0, 50}})
        EXPECT_DOUBLE_EQ(niceStep(c.span, c.target), c.step) << c.span << " " << c.target;
}

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

TEST(LinearTicks, FormattedValuesHaveNoTrailingGarbage) {
    struct F {
        double value, step;
        const char* text;
    };
    for (const F c :
         {F{-180, 90, "-180"}, F{0.5, 0.5, "0.5"}, F{12.5, 2.5, "12.5"}, F{10, 2.5, "10"},
          F{0.1 + 0.2, 0.1, "0.3"}, F{-0.0, 1, "0"}, F{-1e-17, 0.1, "0"}, F{3 * 0.05, 0.05, "0.15"},
          F{1234567, 1000, "1234567"}, F{2e-7, 1e-7, "0.0000002"}, F{5, 0, "5"}, F{kInf, 1, ""}})
        EXPECT_EQ(formatTickValue(c.value, c.step), c.text) << c.value;
}

// --- bounds and mapping -----------------------------------------------------------------

TEST(AxisBoundsPadding, GivesADrawableInterval) {
    struct P {
        double min, max;
        bool log;
        double wantMin, wantMax;
    };
    for (const P c : {P{20, 2000, true, 20, 2000}, P{85, 85, false, 76.5, 93.5}, P{0, 0, false, -1, 1},
                      P{-10, -10, false, -11, -9}, P{100, 100, true, 50, 200}, P{90, 10, false, 10, 90},
                      P{kNaN, 5, false, 4.5, 5.5}, P{5, kInf, false, 4.5, 5.5}, P{kNaN, kNaN, false, 0, 1},
                      P{-kInf, kInf, true, 10, 10000}, P{0, 1000, true, 500, 2000},
                      P{-1e308, 1e308, false, -1e300, 1e300}, P{1e-320, 1, true, 1e-300, 1}}) {
        const AxisBounds b = padAxisBounds(c.min, c.max, c.log);
        EXPECT_DOUBLE_EQ(b.min, c.wantMin) << c.min << " " << c.max;
        EXPECT_DOUBLE_EQ(b.max, c.wantMax) << c.min << " " << c.max;
    }
}

TEST(AxisMapping, MapsBothWaysAndPadsDegenerateBounds) {
    const AxisMapping y({-180, 180}, 400, 100, false); // y grows downwards
    EXPECT_DOUBLE_EQ(y.toPixel(-180), 400);
    EXPECT_DOUBLE_EQ(y.toPixel(180), 100);
    EXPECT_DOUBLE_EQ(y.toPixel(0), 250);
    EXPECT_DOUBLE_EQ(y.toValue(175), 90);
    EXPECT_TRUE(std::isnan(y.toPixel(kNaN)));

    // Equal ratios at equal distances on a log axis.
    const AxisMapping x({20, 20000}, 50, 650, true);
    EXPECT_DOUBLE_EQ(x.toPixel(20), 50);
    EXPECT_NEAR(x.toPixel(20000), 650, 1e-9);
    EXPECT_NEAR(x.toPixel(200) - x.toPixel(20), 200, 1e-9);
    EXPECT_NEAR(x.toPixel(2000) - x.toPixel(200), 200, 1e-9);
    EXPECT_NEAR(x.toValue(x.toPixel(1234.5)), 1234.5, 1e-9);
    EXPECT_TRUE(std::isnan(x.toPixel(0)));
    EXPECT_TRUE(std::isnan(x.toPixel(-3)));

    const AxisMapping m({5, 5}, 0, 100, false);
    EXPECT_DOUBLE_EQ(m.toPixel(5), 50);
    EXPECT_TRUE(std::isfinite(m.toValue(0)));
    const AxisMapping flat({0, 1}, 10, 10, false);
    EXPECT_DOUBLE_EQ(flat.toValue(42), 0);
}

} // namespace
} // namespace harlox
