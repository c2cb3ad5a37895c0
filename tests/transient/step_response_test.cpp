#include "transient/step_response.h"

#include "core/binary_io.h"
#include "core/program_dir.h"
#include "scripted_ui_host.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <span>
#include <string>
#include <tuple>
#include <vector>

using namespace harlox;

namespace {

template <class T> void put(std::vector<std::uint8_t>& b, std::size_t off, T v) {
    std::memcpy(&b[off], &v, sizeof v);
}

// Field offsets inside the 95-byte record, after the 70-byte window record.
constexpr std::size_t kZoom = 70, kEnabled = 71, kKind = 73, kFrequency = 75, kPeriods = 83, kCurves = 85,
                      kResolution = 87;

void fillNonDefault(TStepResponse& s) {
    s.zoom = 1;
    s.calculationEnabled = 0;
    s.showInputSignal = 0;
    s.inputSignal = TStepResponse::kToneBurst;
    s.burstFrequency = 123.0;
    s.burstPeriods = 7;
    s.curvesShown = 2;
    s.resolution = 0.2;
    for (std::size_t i = 0; i < 10; ++i)
        s.window().placement.v[i] = static_cast<std::int16_t>(100 * i - 7);
    s.window().setNote("tone burst of the 8 inch");
}

std::vector<std::uint8_t> record(const TStepResponse& s) {
    BinaryWriter w;
    EXPECT_TRUE(s.writeRecord(w));
    return w.take();
}

const StepResponseSettings& settings(const TStepResponse& s) {
    return s;
}

bool read(TStepResponse& s, std::span<const std::uint8_t> bytes) {
    BinaryReader r(bytes);
    return s.readRecord(r) && r.atEnd();
}

} // namespace

TEST(StepResponse, RecordLayoutAndByteExactRoundTrip) {
    TStepResponse s;
    fillNonDefault(s);
    const auto b = record(s);
    ASSERT_EQ(b.size(), TStepResponse::kRecordSize);
    BinaryWriter window;
    s.window().writeRecord(window);
    EXPECT_EQ(std::vector(b.begin(), b.begin() + 70), window.take());
    // zoom, enabled, show input, kind 2, 123.0 Hz, 7 periods, 2 curves, 0.2 ms; little-endian
    const std::vector<std::uint8_t> settings{1, 0, 0, 2, 0,    0,    0,    0,    0,    0,    0xC0, 0x5E, 0x40,
                                             7, 0, 2, 0, 0x9A, 0x99, 0x99, 0x99, 0x99, 0x99, 0xC9, 0x3F};
    EXPECT_EQ(std::vector(b.begin() + 70, b.end()), settings);

    TStepResponse back;
    ASSERT_TRUE(read(back, b));
    EXPECT_EQ(record(back), b);
    EXPECT_EQ(back.window().note(), "tone burst of the 8 inch");
}

TEST(StepResponse, TruncatedRecordChangesNothing) {
    TStepResponse src;
    fillNonDefault(src);
    const auto bytes = record(src);
    const auto before = record(TStepResponse{});
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        TStepResponse s;
        EXPECT_FALSE(read(s, std::span(bytes.data(), n))) << n;
        EXPECT_EQ(record(s), before) << n;
        EXPECT_EQ(s.window().title(), "Impulse response") << n;
    }
}

// The caption comes from the stored kind alone: a stored step response reads back as
// "Impulse response".
TEST(StepResponse, CaptionAfterReading) {
    using Case = std::tuple<std::int16_t, double, std::int16_t, const char*>;
    for (const auto& [kind, frequency, periods, caption] :
         {Case{0, 50.0, 3, "Impulse response"}, Case{1, 50.0, 3, "Impulse response"},
          Case{2, 87.5, 20, "Tone burst resp. 87.5 Hz, 20 periods"},
          Case{2, 499.96, 1, "Tone burst resp. 500.0 Hz, 1 periods"},
          Case{-1, 60.0, 2, "Tone burst resp. 60.0 Hz, 2 periods"}}) {
        TStepResponse src;
        src.inputSignal = kind;
        src.burstFrequency = frequency;
        src.burstPeriods = periods;
        TStepResponse s;
        s.window().setTitle("something else");
        ASSERT_TRUE(read(s, record(src)));
        EXPECT_EQ(s.window().title(), caption);
    }
}

TEST(StepResponse, ValuesOutsideTheDialogRangesAreBroughtBack) {
    auto bytes = record(TStepResponse{});
    bytes[kZoom] = 9;
    bytes[kEnabled] = 200;
    put<std::int16_t>(bytes, kKind, -5);
    put<double>(bytes, kFrequency, std::numeric_limits<double>::quiet_NaN());
    put<std::int16_t>(bytes, kPeriods, 0);
    put<std::int16_t>(bytes, kCurves, 31);
    put<double>(bytes, kResolution, 0.0);
    TStepResponse s;
    ASSERT_TRUE(read(s, bytes));
    EXPECT_EQ(settings(s), (StepResponseSettings{1, 1, 1, TStepResponse::kToneBurst, 50.0, 1, 2, 0.025}));
    // The shown input signal is a second curve.
    ASSERT_EQ(s.window().curveCount(), 2);
    EXPECT_EQ(s.window().curve(1).y, s.inputCurve.data());

    put<double>(bytes, kFrequency, 1e9);
    put<std::int16_t>(bytes, kPeriods, 400);
    put<std::int16_t>(bytes, kCurves, -2);
    put<double>(bytes, kResolution, 2.0);
    ASSERT_TRUE(read(s, bytes));
    EXPECT_EQ(settings(s), (StepResponseSettings{1, 1, 1, TStepResponse::kToneBurst, 500.0, 20, 1, 2.0}));
    EXPECT_EQ(s.window().title(), "Tone burst resp. 500.0 Hz, 20 periods");
    EXPECT_EQ(s.window().curveCount(), 1);
    EXPECT_EQ(s.window().curve(0).y, s.responseCurve.data());
}

TEST(StepResponse, ResetRestoresDefaultsAndKeepsThePlacement) {
    TStepResponse s;
    fillNonDefault(s);
    s.window().setTitle("Tone burst resp. 123.0 Hz, 7 periods");
    s.window().setPointCount(512);
    const WindowPlacement placement = s.window().placement;
    s.Reset();
    EXPECT_EQ(settings(s), StepResponseSettings{});
    EXPECT_EQ(s.window().title(), "Impulse response");
    EXPECT_EQ(s.window().pointCount(), 0);
    EXPECT_EQ(s.window().curveCount(), 1);
    EXPECT_EQ(s.window().placement, placement);
    EXPECT_EQ(s.window().note(), "tone burst of the 8 inch");
}

TEST(StepResponse, PreferencesFileHoldsTheRecord) {
    test::TempDir dir;
    test::ScriptedUiHost ui;
    setPreferencesDirectory(dir.path());
    TStepResponse a;
    fillNonDefault(a);
    ASSERT_TRUE(a.SaveSettings(ui));
    EXPECT_EQ(test::readAll(dir.file("stepresp.prf")), record(a));
    TStepResponse b;
    ASSERT_TRUE(b.LoadSettings());
    EXPECT_EQ(record(b), record(a));

    // A short or missing file changes nothing.
    auto bytes = record(a);
    bytes.pop_back();
    test::writeAll(dir.file("stepresp.prf"), bytes);
    TStepResponse s;
    EXPECT_FALSE(s.LoadSettings());
    std::filesystem::remove(dir.file("stepresp.prf"));
    EXPECT_FALSE(s.LoadSettings());
    EXPECT_EQ(record(s), record(TStepResponse{}));

    // A failed save is reported.
    setPreferencesDirectory(dir.path() + "/missing/");
    EXPECT_FALSE(s.SaveSettings(ui));
    setPreferencesDirectory("");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().caption, "Error");
    EXPECT_EQ(ui.lastMessage().text, "Could not save to file 'stepresp.prf'");
    EXPECT_EQ(ui.lastMessage().icon, MessageIcon::Exclamation);
}
