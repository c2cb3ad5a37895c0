#include "core/diagram_model.h"

#include "core/binary_io.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace harlox {
namespace {

class Diagram : public ::testing::Test {
protected:
    double x[5] = {20, 50, 100, 500, 2000};
    double a[5] = {70, 80, 90, 88, 85};
    double b[5] = {60, 95, 40, 30, 20};
    DiagramModel d{"Free air SPL at 1m distance", "Hz", "dB"};

    void SetUp() override {
        d.setX(x);
        d.setPointCount(5);
        d.addCurve(a, Pen{PenColor::Black, PenStyle::Thick}, "Total");
    }
};

TEST_F(Diagram, AutomaticRangesCoverTheFirstPointCountEntries) {
    d.addCurve(b, Pen{PenColor::Red, PenStyle::Solid}, "Driver");
    AxisRange xr = d.xRange();
    EXPECT_TRUE(xr.valid);
    EXPECT_EQ(xr.min, 20);
    EXPECT_EQ(xr.max, 2000);
    AxisRange yr = d.yRange();
    EXPECT_EQ(yr.min, 20);
    EXPECT_EQ(yr.max, 95);
    d.setPointCount(3);
    EXPECT_EQ(d.xRange().max, 100);
    EXPECT_EQ(d.yRange().min, 40);
}

TEST_F(Diagram, FixedXRangeEndsAtTheLargestXAndLimitsTheYSearch) {
    d.setFixedXRange(1600);
    const AxisRange xr = d.xRange();
    EXPECT_EQ(xr.min, 400);
    EXPECT_EQ(xr.max, 2000);
    EXPECT_EQ(d.yRange().min, 85); // only the points at 500 and 2000 Hz count
    EXPECT_EQ(d.yRange().max, 88);
}

TEST_F(Diagram, FixedYRangeHangsBelowTopWithAThirtiethMargin) {
    d.setFixedYRange(30);
    const AxisRange yr = d.yRange();
    EXPECT_DOUBLE_EQ(yr.max, 91);
    EXPECT_DOUBLE_EQ(yr.min, 61);
    d.setFixedYRange(1e-10); // below the threshold: automatic
    EXPECT_EQ(d.yRange().max, 90);
}

TEST_F(Diagram, YDivisorScalesBothEnds) {
    d.setYDivisor(10);
    EXPECT_DOUBLE_EQ(d.yRange().min, 7);
    EXPECT_DOUBLE_EQ(d.yRange().max, 9);
}

TEST_F(Diagram, NonFiniteValuesAndEmptyModelsGiveNoRange) {
    a[2] = std::numeric_limits<double>::quiet_NaN();
    a[3] = std::numeric_limits<double>::infinity();
    EXPECT_EQ(d.yRange().max, 85);
    d.setPointCount(0);
    EXPECT_FALSE(d.xRange().valid);
    EXPECT_FALSE(d.yRange().valid);
    DiagramModel empty;
    EXPECT_FALSE(empty.yRange().valid);
}

TEST_F(Diagram, TakesAtMostTenCurvesAndCutsLabels) {
    for (int i = 1; i < 10; ++i) EXPECT_EQ(d.addCurve(a, Pen{}, "c"), i);
    EXPECT_EQ(d.addCurve(a, Pen{}, "eleventh"), -1);
    EXPECT_EQ(d.curveCount(), 10);
    d.setCurveLabel(0, std::string(80, 'x'));
    EXPECT_EQ(d.curve(0).label.size(), DiagramModel::kLabelSize);
}

TEST_F(Diagram, WindowRecordIsSeventyBytesAndRoundTrips) {
    d.placement.v = {1, 2, 3, 4, 5, 6, -7, 8, 900, -1000};
    d.setNote(std::string(60, 'n'));
    EXPECT_EQ(d.note().size(), 49u);
    BinaryWriter w;
    ASSERT_TRUE(d.writeRecord(w));
    ASSERT_EQ(w.size(), 70u);
    EXPECT_EQ(w.buffer()[12], 0xF9); // normal rectangle left, -7 little-endian
    EXPECT_EQ(w.buffer()[69], 0);
    DiagramModel back;
    BinaryReader r(w.buffer());
    ASSERT_TRUE(back.readRecord(r));
    EXPECT_EQ(back.placement, d.placement);
    EXPECT_EQ(back.note(), d.note());
    for (std::size_t cut = 0; cut < 70; ++cut) {
        DiagramModel t;
        t.setNote("keep");
        BinaryReader shortReader(std::span(w.buffer()).first(cut));
        EXPECT_FALSE(t.readRecord(shortReader));
        EXPECT_EQ(t.note(), "keep");
    }
}

} // namespace
} // namespace harlox
