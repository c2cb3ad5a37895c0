#include "box/box_object.h"

#include "core/binary_io.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <span>
#include <tuple>
#include <vector>

using namespace harlox;

namespace {

TBoxObject makeBox(double vb, double qb, double ql, int fill) {
    TBoxObject box("Front box", true);
    box.Vb = vb;
    box.Qb = qb;
    box.Ql = ql;
    box.fill = fill;
    return box;
}

auto state(const TBoxObject& b) {
    return std::tuple(b.Vb, b.Qb, b.Ql, b.fill, b.boxChanged);
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
    TBoxObject box = makeBox(c.Vb, c.Qb, c.Ql, c.fill);
    box.Compute(g);
    // A fill of 100 % makes the box act twenty percent larger.
    const double cab = c.Vb * (1.0 + c.fill / 500.0) / 142000.0;
    const double q = 1.0 / c.Qb;
    for (std::size_t k : {0, 42, 136}) {
        const double ax = 1.0 / (cab * g.w[k]);
        const Complex want = ax / Complex(q / (1.0 + q * q) + 1.0 / c.Ql, 1.0 / (1.0 + q * q));
        EXPECT_LE(std::abs(box.Zbox[k] - want), 1e-12 * std::abs(want)) << k;
    }
    EXPECT_EQ(box.Zbox[137], Complex(0.0, 0.0)); // points beyond the grid stay untouched
}

INSTANTIATE_TEST_SUITE_P(Cases, BoxImpedance,
                         ::testing::Values(BoxCase{0.01, 15, 15, 0}, BoxCase{0.0375, 3, 7, 35},
                                           BoxCase{0.2, 10, 3, 100}));

TEST(BoxObject, DataSheet) {
    TBoxObject box = makeBox(0.02, 7.0, 12.0, 50);
    EXPECT_EQ(box.dataSheetLines(), (std::vector<std::string>{"Front box", " Vol\t\t20.00 l", " Qb\t\t7.0",
                                                              " Ql\t\t12.0", " Fill\t\t50 %"}));
    box.showQl = false;
    box.Vb = 0.001234;
    EXPECT_EQ(box.dataSheetLines(),
              (std::vector<std::string>{"Front box", " Vol\t\t1.23 l", " Qb\t\t7.0", " Fill\t\t50 %"}));
}

TEST(BoxObject, RecordRoundTripClampsTheFillAndRefusesShortInput) {
    BinaryWriter w;
    ASSERT_TRUE(makeBox(0.0421, 6.5, 9.25, 250).writeRecord(w));
    BinaryWriter want;
    want.f64(0.0421);
    want.f64(6.5);
    want.f64(9.25);
    want.i32(250);
    ASSERT_EQ(w.buffer(), want.buffer());

    TBoxObject back;
    back.boxChanged = 0;
    for (std::size_t n = 0; n < TBoxObject::kRecordSize; ++n) {
        BinaryReader r(std::span(w.buffer().data(), n));
        ASSERT_FALSE(back.readRecord(r)) << n;
        ASSERT_EQ(state(back), std::tuple(0.01, 15.0, 15.0, 0, std::uint8_t{0})) << n;
    }
    BinaryReader r(w.buffer());
    ASSERT_TRUE(back.readRecord(r));
    EXPECT_EQ(state(back), std::tuple(0.0421, 6.5, 9.25, 100, std::uint8_t{1}));

    BinaryWriter negative;
    ASSERT_TRUE(makeBox(0.01, 15, 15, -5).writeRecord(negative));
    BinaryReader rn(negative.buffer());
    ASSERT_TRUE(back.readRecord(rn));
    EXPECT_EQ(back.fill, 0);

    // Sizes no dialog can enter would make every curve NaN: the record is refused.
    for (double bad : {0.0, -0.02, std::numeric_limits<double>::quiet_NaN()}) {
        for (std::size_t at : {0u, 8u, 16u}) {
            std::vector<std::uint8_t> b = w.buffer();
            std::memcpy(&b[at], &bad, 8);
            BinaryReader rb(b);
            EXPECT_FALSE(back.readRecord(rb)) << at << " " << bad;
            EXPECT_EQ(back.Vb, 0.01);
        }
    }
}

} // namespace
