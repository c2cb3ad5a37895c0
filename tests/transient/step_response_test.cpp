#include "transient/step_response.h"

#include "core/binary_io.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <span>
#include <vector>

namespace harlox {
namespace {

std::vector<std::uint8_t> record(const TStepResponse& s) {
    BinaryWriter w;
    EXPECT_TRUE(s.writeRecord(w));
    return w.take();
}

bool read(TStepResponse& s, std::span<const std::uint8_t> bytes) {
    BinaryReader r(bytes);
    return s.readRecord(r) && r.atEnd();
}

template <class T> void put(std::vector<std::uint8_t>& b, std::size_t off, T v) {
    std::memcpy(&b[off], &v, sizeof v);
}

TEST(StepResponse, ByteExactRoundTripAndEveryTruncation) {
    TStepResponse s;
    static_cast<StepResponseSettings&>(s) = {1, 0, 0, TStepResponse::kToneBurst, 123.0, 7, 2, 0.2};
    for (std::size_t i = 0; i < 10; ++i)
        s.window().placement.v[i] = static_cast<std::int16_t>(100 * i - 7);
    s.window().setNote("tone burst of the 8 inch");
    const auto bytes = record(s);
    BinaryWriter window;
    s.window().writeRecord(window);
    std::vector<std::uint8_t> expected = window.take();
    // zoom, enabled, show input, kind 2, 123.0 Hz, 7 periods, 2 curves, 0.2 ms; little-endian
    expected.insert(expected.end(), {1, 0, 0, 2, 0,    0,    0,    0,    0,    0,    0xC0, 0x5E, 0x40,
                                     7, 0, 2, 0, 0x9A, 0x99, 0x99, 0x99, 0x99, 0x99, 0xC9, 0x3F});
    ASSERT_EQ(expected.size(), TStepResponse::kRecordSize);
    EXPECT_EQ(bytes, expected);

    TStepResponse back;
    ASSERT_TRUE(read(back, bytes));
    EXPECT_EQ(record(back), bytes);
    EXPECT_EQ(back.window().title(), "Tone burst resp. 123.0 Hz, 7 periods");

    const auto untouched = record(TStepResponse{});
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        TStepResponse t;
        EXPECT_FALSE(read(t, std::span(bytes.data(), n))) << n;
        EXPECT_EQ(record(t), untouched) << n;
    }
}

TEST(StepResponse, ValuesOutsideTheDialogRangesAreBroughtBack) {
    // Offsets after the 70-byte window record.
    auto bytes = record(TStepResponse{});
    bytes[70] = 9;
    bytes[71] = 200;
    put<std::int16_t>(bytes, 73, -5);
    put<double>(bytes, 75, std::numeric_limits<double>::quiet_NaN());
    put<std::int16_t>(bytes, 83, 0);
    put<std::int16_t>(bytes, 85, 31);
    put<double>(bytes, 87, 0.0);
    TStepResponse s;
    ASSERT_TRUE(read(s, bytes));
    EXPECT_EQ(static_cast<const StepResponseSettings&>(s),
              (StepResponseSettings{1, 1, 1, TStepResponse::kToneBurst, 50.0, 1, 2, 0.025}));
    // The shown input signal is a second curve.
    ASSERT_EQ(s.window().curveCount(), 2);
    EXPECT_EQ(s.window().curve(1).y, s.inputCurve.data());

    put<double>(bytes, 75, 1e9);
    put<std::int16_t>(bytes, 83, 400);
    put<std::int16_t>(bytes, 85, -2);
    put<double>(bytes, 87, 2.0);
    ASSERT_TRUE(read(s, bytes));
    EXPECT_EQ(static_cast<const StepResponseSettings&>(s),
              (StepResponseSettings{1, 1, 1, TStepResponse::kToneBurst, 500.0, 20, 1, 2.0}));
    EXPECT_EQ(s.window().title(), "Tone burst resp. 500.0 Hz, 20 periods");
    EXPECT_EQ(s.window().curveCount(), 1);
}

} // namespace
} // namespace harlox
