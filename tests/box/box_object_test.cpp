#include "box/box_object.h"

#include "core/binary_io.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <span>
#include <tuple>
#include <vector>

using namespace harlox;

namespace {

TBoxObject makeBox(double vb, double qb, double ql, int fill) {
    TBoxObject box("Front box", true);
    box.Vb = vb, box.Qb = qb, box.Ql = ql, box.fill = fill;
    return box;
}

// The box impedance is compared with an independent computation in the closed and bass
// reflex tests.
TEST(BoxObject, RecordRoundTripClampsTheFillAndRefusesShortOrUnusableInput) {
    BinaryWriter w;
    ASSERT_TRUE(makeBox(0.0421, 6.5, 9.25, 250).writeRecord(w));
    BinaryWriter want;
    for (double v : {0.0421, 6.5, 9.25})
        want.f64(v);
    want.i32(250);
    ASSERT_EQ(w.buffer(), want.buffer());

    TBoxObject back;
    back.boxChanged = 0;
    const auto state = [&] { return std::tuple(back.Vb, back.Qb, back.Ql, back.fill, back.boxChanged); };
    for (std::size_t n = 0; n < TBoxObject::kRecordSize; ++n) {
        BinaryReader r(std::span(w.buffer().data(), n));
        ASSERT_FALSE(back.readRecord(r)) << n;
        ASSERT_EQ(state(), std::tuple(0.01, 15.0, 15.0, 0, std::uint8_t{0})) << n;
    }
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
    BinaryReader r(w.buffer());
    ASSERT_TRUE(back.readRecord(r));
    EXPECT_EQ(state(), std::tuple(0.0421, 6.5, 9.25, 100, std::uint8_t{1}));

    BinaryWriter negative;
    ASSERT_TRUE(makeBox(0.01, 15, 15, -5).writeRecord(negative));
    BinaryReader rn(negative.buffer());
    ASSERT_TRUE(back.readRecord(rn));
    EXPECT_EQ(back.fill, 0);
}

} // namespace
