#include "core/diagram_model.h"

#include "core/binary_io.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace harlox {
namespace {

// The range, or nothing when no finite value was found.
std::vector<double> ends(AxisRange r) {
    return r.valid ? std::vector<double>{r.min, r.max} : std::vector<double>{};
}
using R = std::vector<double>;

TEST(DiagramModel, AxisRangesAndTheTenCurveLimit) {
    double x[5] = {20, 50, 100, 500, 2000};
    double a[5] = {70, 80, 90, 88, 85};
    double b[5] = {60, 95, 40, 30, 20};
    DiagramModel d("Free air SPL at 1m distance", "Hz", "dB");
    d.setX(x);
    d.setPointCount(5);
    d.addCurve(a, Pen{PenColor::Black, PenStyle::Thick}, "Total");
    d.setFixedYRange(30); // hangs below the top with a thirtieth of the range as margin
    EXPECT_EQ(ends(d.yRange()), (R{61, 91}));
    d.setFixedYRange(1e-10); // below the threshold: automatic
    d.setYDivisor(10);
    EXPECT_EQ(ends(d.yRange()), (R{7, 9}));
    d.setYDivisor(1);

    EXPECT_EQ(d.addCurve(b, Pen{PenColor::Red, PenStyle::Solid}, "Driver"), 1);
    EXPECT_EQ(ends(d.xRange()), (R{20, 2000}));
    EXPECT_EQ(ends(d.yRange()), (R{20, 95})); // all curves
    d.setPointCount(3);                       // only the first point count entries
    EXPECT_EQ(ends(d.yRange()), (R{40, 95}));
    d.setPointCount(5);
    d.setFixedXRange(1600); // ends at the largest x; y only over the points inside
    EXPECT_EQ(ends(d.xRange()), (R{400, 2000}));
    EXPECT_EQ(ends(d.yRange()), (R{20, 88}));
    b[3] = std::numeric_limits<double>::quiet_NaN(); // non-finite values do not count
    b[4] = std::numeric_limits<double>::infinity();
    EXPECT_EQ(ends(d.yRange()), (R{85, 88}));
    d.setPointCount(0);
    EXPECT_EQ(ends(d.yRange()), R{});

    for (int i = 2; i < 10; ++i)
        EXPECT_EQ(d.addCurve(a, Pen{}, "c"), i);
    EXPECT_EQ(d.addCurve(a, Pen{}, "eleventh"), -1);
    d.setCurveLabel(0, std::string(80, 'x'));
    EXPECT_EQ(d.curve(0).label, std::string(DiagramModel::kLabelSize, 'x'));
}

TEST(DiagramModel, WindowRecordIsSeventyBytesAndShortRecordsChangeNothing) {
    DiagramModel d;
    d.placement.v = {1, 2, 3, 4, 5, 6, -7, 8, 900, -1000};
    d.setNote(std::string(60, 'n'));
    BinaryWriter w;
    ASSERT_TRUE(d.writeRecord(w));
    std::vector<std::uint8_t> expected = {1, 0, 2,    0,    3, 0, 4,    0, 5,    0,
                                          6, 0, 0xF9, 0xFF, 8, 0, 0x84, 3, 0x18, 0xFC};
    expected.insert(expected.end(), 49, 'n'); // the note is cut and terminated
    expected.push_back(0);
    EXPECT_EQ(w.buffer(), expected);
    DiagramModel back;
    BinaryReader r(w.buffer());
    ASSERT_TRUE(back.readRecord(r));
    EXPECT_EQ(back.placement.v, d.placement.v);
    EXPECT_EQ(back.note(), std::string(49, 'n'));
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