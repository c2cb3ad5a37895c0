#include "box/box_object.h"

#include "core/binary_io.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

using namespace harlox;

namespace {

void expectNear(const Complex& got, const Complex& want, double rel) {
    const double tol = rel * std::abs(want);
    EXPECT_NEAR(got.real(), want.real(), tol);
    EXPECT_NEAR(got.imag(), want.imag(), tol);
}

// A field of the record (little-endian, like the host).
template <class T> T at(const std::vector<std::uint8_t>& b, std::size_t off) {
    T v;
    std::memcpy(&v, &b[off], sizeof v);
    return v;
}

struct BoxCase {
    double Vb, Qb, Ql;
    int fill;
};

class BoxImpedance : public ::testing::TestWithParam<BoxCase> {};

// Rationalised by hand: with X < 0, Zs = |X| (1/Qb - j), so
// Y = ((1/Qb) / (1 + 1/Qb^2) + 1/Ql + j / (1 + 1/Qb^2)) / |X|.
TEST_P(BoxImpedance, MatchesClosedForm) {
    const BoxCase c = GetParam();
    FrequencyGrid g;
    g.build(137, 7, 19000);
    TBoxObject box;
    box.Vb = c.Vb;
    box.Qb = c.Qb;
    box.Ql = c.Ql;
    box.fill = c.fill;
    box.Compute(g);
    const double cab = c.Vb * (1.0 + c.fill / 500.0) / 142000.0;
    for (int i : {0, 1, 42, 99, 136}) {
        const auto k = static_cast<std::size_t>(i);
        const double ax = 1.0 / (cab * g.w[k]);
        const double q = 1.0 / c.Qb;
        const Complex y = Complex(q / (1.0 + q * q) + 1.0 / c.Ql, 1.0 / (1.0 + q * q)) / ax;
        expectNear(box.Zbox[k], 1.0 / y, 1e-12);
    }
}

// A fill of 100 % makes the box act twenty percent larger (the 0.2 litre case).
INSTANTIATE_TEST_SUITE_P(Cases, BoxImpedance,
                         ::testing::Values(BoxCase{0.01, 15, 15, 0}, BoxCase{0.0375, 3, 7, 35},
                                           BoxCase{0.2, 10, 3, 100}, BoxCase{1e-4, 15, 15, 1}));

TEST(BoxObject, ComputesOnSharedGridOnlyWhenChanged) {
    const FrequencyGrid& g = TMeasureSetupObject::grid();
    ASSERT_GT(g.count, 0);
    TBoxObject box;
    box.boxChanged = 0;
    box.Compute();
    EXPECT_EQ(box.Zbox[0], Complex(0.0, 0.0));
    box.boxChanged = 1;
    box.Compute();
    TBoxObject ref;
    ref.Compute(g);
    const auto last = static_cast<std::size_t>(g.count - 1);
    EXPECT_EQ(box.Zbox[0], ref.Zbox[0]);
    EXPECT_EQ(box.Zbox[last], ref.Zbox[last]);
    EXPECT_NE(box.Zbox[last], Complex(0.0, 0.0));
    EXPECT_EQ(box.Zbox[last + 1], Complex(0.0, 0.0)); // points beyond the grid stay untouched
    EXPECT_EQ(box.boxChanged, 1);                     // cleared by the project, not here
}

TEST(BoxObject, ResetKeepsNameAndQlSwitch) {
    TBoxObject box("Rear box", false);
    box.Vb = 3;
    box.Qb = 4;
    box.Ql = 5;
    box.fill = 60;
    box.boxChanged = 0;
    box.Reset();
    EXPECT_EQ(box.Vb, 0.01);
    EXPECT_EQ(box.Qb, 15.0);
    EXPECT_EQ(box.Ql, 15.0);
    EXPECT_EQ(box.fill, 0);
    EXPECT_EQ(box.boxChanged, 1);
    EXPECT_EQ(box.name, "Rear box");
    EXPECT_FALSE(box.showQl);
}

TEST(BoxObject, DataSheet) {
    TBoxObject box("Front box", true);
    box.Vb = 0.02;
    box.Qb = 7.0;
    box.Ql = 12.0;
    box.fill = 50;
    // The fill line ends in a percent sign, as its unit.
    EXPECT_EQ(box.dataSheetLines(), (std::vector<std::string>{"Front box", " Vol\t\t20.00 l", " Qb\t\t7.0",
                                                              " Ql\t\t12.0", " Fill\t\t50 %"}));
    box.showQl = false;
    box.Vb = 0.001234;
    box.fill = 0;
    EXPECT_EQ(box.dataSheetLines(),
              (std::vector<std::string>{"Front box", " Vol\t\t1.23 l", " Qb\t\t7.0", " Fill\t\t0 %"}));
}

TEST(BoxObject, RecordLayoutRoundTripAndFillClamp) {
    TBoxObject box;
    box.Vb = 0.0421;
    box.Qb = 6.5;
    box.Ql = 9.25;
    box.fill = 77;
    BinaryWriter w;
    EXPECT_TRUE(box.writeRecord(w));
    const std::vector<std::uint8_t>& b = w.buffer();
    ASSERT_EQ(b.size(), TBoxObject::kRecordSize);
    EXPECT_EQ(at<double>(b, 0), 0.0421);
    EXPECT_EQ(at<double>(b, 8), 6.5);
    EXPECT_EQ(at<double>(b, 16), 9.25);
    EXPECT_EQ(at<std::int32_t>(b, 24), 77);

    TBoxObject back("Box 2", false);
    back.boxChanged = 0;
    BinaryReader r(b);
    ASSERT_TRUE(back.readRecord(r));
    EXPECT_TRUE(r.atEnd());
    EXPECT_EQ(back.Vb, box.Vb);
    EXPECT_EQ(back.Qb, box.Qb);
    EXPECT_EQ(back.Ql, box.Ql);
    EXPECT_EQ(back.fill, box.fill);
    EXPECT_EQ(back.boxChanged, 1);
    EXPECT_EQ(back.name, "Box 2");

    for (auto [stored, expected] : {std::pair{250, 100}, std::pair{-5, 0}}) {
        box.fill = stored;
        BinaryWriter out;
        ASSERT_TRUE(box.writeRecord(out));
        BinaryReader in(out.buffer());
        ASSERT_TRUE(back.readRecord(in));
        EXPECT_EQ(back.fill, expected);
    }
}

TEST(BoxObject, TruncatedRecordChangesNothingAndShortWriteFails) {
    TBoxObject src;
    src.Vb = 0.5;
    src.Qb = 3;
    src.Ql = 4;
    src.fill = 20;
    BinaryWriter w;
    ASSERT_TRUE(src.writeRecord(w));
    for (std::size_t n = 0; n < TBoxObject::kRecordSize; ++n) {
        SCOPED_TRACE(n);
        TBoxObject box;
        box.boxChanged = 0;
        BinaryReader r(std::span(w.buffer().data(), n));
        EXPECT_FALSE(box.readRecord(r));
        EXPECT_EQ(box.Vb, 0.01);
        EXPECT_EQ(box.Qb, 15.0);
        EXPECT_EQ(box.Ql, 15.0);
        EXPECT_EQ(box.fill, 0);
        EXPECT_EQ(box.boxChanged, 0);
    }
    BinaryWriter full(TBoxObject::kRecordSize - 1);
    EXPECT_FALSE(src.writeRecord(full));
}

} // namespace
