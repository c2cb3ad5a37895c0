#include "transient/step_response.h"

#include "core/binary_io.h"
#include "core/program_dir.h"
#include "scripted_ui_host.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <vector>

using namespace harlox;

namespace {

template <typename U> U loadLE(const std::vector<std::uint8_t>& b, std::size_t off) {
    U v = 0;
    for (std::size_t i = 0; i < sizeof(U); ++i)
        v = static_cast<U>(v | (static_cast<U>(b[off + i]) << (8 * i)));
    return v;
}
double f64At(const std::vector<std::uint8_t>& b, std::size_t off) {
    return std::bit_cast<double>(loadLE<std::uint64_t>(b, off));
}
std::int16_t i16At(const std::vector<std::uint8_t>& b, std::size_t off) {
    return static_cast<std::int16_t>(loadLE<std::uint16_t>(b, off));
}
void putF64(std::vector<std::uint8_t>& b, std::size_t off, double v) {
    const auto u = std::bit_cast<std::uint64_t>(v);
    for (std::size_t i = 0; i < 8; ++i)
        b[off + i] = static_cast<std::uint8_t>(u >> (8 * i));
}
void putI16(std::vector<std::uint8_t>& b, std::size_t off, std::int16_t v) {
    const auto u = static_cast<std::uint16_t>(v);
    b[off] = static_cast<std::uint8_t>(u);
    b[off + 1] = static_cast<std::uint8_t>(u >> 8);
}

// Field offsets inside the 95-byte record.
constexpr std::size_t kZoom = 70, kEnabled = 71, kShowInput = 72, kKind = 73, kFrequency = 75, kPeriods = 83,
                      kCurves = 85, kResolution = 87;

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

} // namespace

TEST(StepResponse, DefaultsOfAFreshWindow) {
    TStepResponse s;
    EXPECT_EQ(static_cast<const StepResponseSettings&>(s), StepResponseSettings{});
    EXPECT_EQ(s.zoom, 0);
    EXPECT_EQ(s.calculationEnabled, 1);
    EXPECT_EQ(s.showInputSignal, 1);
    EXPECT_EQ(s.inputSignal, 0);
    EXPECT_EQ(s.burstFrequency, 50.0);
    EXPECT_EQ(s.burstPeriods, 3);
    EXPECT_EQ(s.curvesShown, 1);
    EXPECT_EQ(s.resolution, 0.025);
    EXPECT_EQ(s.window().title(), "Impulse response");
    EXPECT_EQ(s.window().xUnit(), "ms");
    EXPECT_FALSE(s.window().logX());
    EXPECT_EQ(s.window().pointCount(), 0);
}

TEST(StepResponse, RecordLayout) {
    TStepResponse s;
    fillNonDefault(s);
    const auto b = record(s);
    ASSERT_EQ(b.size(), TStepResponse::kRecordSize);
    for (std::size_t i = 0; i < 10; ++i)
        EXPECT_EQ(i16At(b, 2 * i), s.window().placement.v[i]);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[20])), "tone burst of the 8 inch");
    EXPECT_EQ(b[kZoom], 1);
    EXPECT_EQ(b[kEnabled], 0);
    EXPECT_EQ(b[kShowInput], 0);
    EXPECT_EQ(i16At(b, kKind), 2);
    EXPECT_EQ(f64At(b, kFrequency), 123.0);
    EXPECT_EQ(i16At(b, kPeriods), 7);
    EXPECT_EQ(i16At(b, kCurves), 2);
    EXPECT_EQ(f64At(b, kResolution), 0.2);
}

TEST(StepResponse, RoundTripIsByteExact) {
    TStepResponse a;
    fillNonDefault(a);
    const auto bytes = record(a);
    TStepResponse b;
    BinaryReader r(bytes);
    ASSERT_TRUE(b.readRecord(r));
    EXPECT_TRUE(r.atEnd());
    EXPECT_EQ(static_cast<const StepResponseSettings&>(b), static_cast<const StepResponseSettings&>(a));
    EXPECT_EQ(b.window().placement, a.window().placement);
    EXPECT_EQ(b.window().note(), a.window().note());
    EXPECT_EQ(record(b), bytes);
}

TEST(StepResponse, TruncatedRecordChangesNothing) {
    TStepResponse src;
    fillNonDefault(src);
    const auto bytes = record(src);
    TStepResponse ref;
    const auto before = record(ref);
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        SCOPED_TRACE(n);
        TStepResponse s;
        BinaryReader r(std::span(bytes.data(), n));
        EXPECT_FALSE(s.readRecord(r));
        EXPECT_EQ(record(s), before);
        EXPECT_EQ(s.window().title(), "Impulse response");
    }
}

struct CaptionCase {
    std::int16_t kind;
    double frequency;
    std::int16_t periods;
    const char* caption;
};

class StepResponseCaption : public ::testing::TestWithParam<CaptionCase> {};

// The caption comes from the stored kind alone: a stored step response reads back as
// "Impulse response".
TEST_P(StepResponseCaption, AfterReading) {
    const CaptionCase c = GetParam();
    TStepResponse src;
    src.inputSignal = c.kind;
    src.burstFrequency = c.frequency;
    src.burstPeriods = c.periods;
    const auto bytes = record(src);
    TStepResponse s;
    s.window().setTitle("something else");
    BinaryReader r(bytes);
    ASSERT_TRUE(s.readRecord(r));
    EXPECT_EQ(s.window().title(), c.caption);
}

INSTANTIATE_TEST_SUITE_P(Kinds, StepResponseCaption,
                         ::testing::Values(CaptionCase{0, 50.0, 3, "Impulse response"},
                                           CaptionCase{1, 50.0, 3, "Impulse response"},
                                           CaptionCase{2, 50.0, 3, "Tone burst resp. 50.0 Hz, 3 periods"},
                                           CaptionCase{2, 87.5, 20, "Tone burst resp. 87.5 Hz, 20 periods"},
                                           CaptionCase{2, 10.04, 1, "Tone burst resp. 10.0 Hz, 1 periods"},
                                           CaptionCase{2, 499.96, 12,
                                                       "Tone burst resp. 500.0 Hz, 12 periods"},
                                           CaptionCase{7, 250.0, 4, "Tone burst resp. 250.0 Hz, 4 periods"},
                                           CaptionCase{-1, 60.0, 2, "Tone burst resp. 60.0 Hz, 2 periods"}));

TEST(StepResponse, ValuesOutsideTheDialogRangesAreBroughtBack) {
    TStepResponse src;
    auto bytes = record(src);
    bytes[kZoom] = 9;
    bytes[kEnabled] = 200;
    putI16(bytes, kKind, -5);
    putF64(bytes, kFrequency, std::numeric_limits<double>::quiet_NaN());
    putI16(bytes, kPeriods, 0);
    putI16(bytes, kCurves, 31);
    putF64(bytes, kResolution, 0.0);
    TStepResponse s;
    BinaryReader r(bytes);
    ASSERT_TRUE(s.readRecord(r));
    EXPECT_EQ(s.zoom, 1);
    EXPECT_EQ(s.calculationEnabled, 1);
    EXPECT_EQ(s.inputSignal, TStepResponse::kToneBurst);
    EXPECT_EQ(s.burstFrequency, 50.0);
    EXPECT_EQ(s.burstPeriods, 1);
    EXPECT_EQ(s.curvesShown, 2);
    EXPECT_EQ(s.resolution, 0.025);

    putF64(bytes, kFrequency, 1e9);
    putI16(bytes, kPeriods, 400);
    putI16(bytes, kCurves, -2);
    putF64(bytes, kResolution, 2.0);
    BinaryReader r2(bytes);
    ASSERT_TRUE(s.readRecord(r2));
    EXPECT_EQ(s.burstFrequency, 500.0);
    EXPECT_EQ(s.burstPeriods, 20);
    EXPECT_EQ(s.curvesShown, 1);
    EXPECT_EQ(s.resolution, 2.0);
    EXPECT_EQ(s.window().title(), "Tone burst resp. 500.0 Hz, 20 periods");
}

TEST(StepResponse, EveryOfferedResolutionIsKept) {
    for (double dt : TStepResponse::kResolutions) {
        TStepResponse src;
        src.resolution = dt;
        const auto bytes = record(src);
        TStepResponse s;
        BinaryReader r(bytes);
        ASSERT_TRUE(s.readRecord(r));
        EXPECT_EQ(s.resolution, dt);
    }
}

TEST(StepResponse, ResetRestoresDefaultsAndKeepsThePlacement) {
    TStepResponse s;
    fillNonDefault(s);
    s.window().setTitle("Tone burst resp. 123.0 Hz, 7 periods");
    s.window().setPointCount(512);
    const WindowPlacement placement = s.window().placement;
    s.Reset();
    EXPECT_EQ(static_cast<const StepResponseSettings&>(s), StepResponseSettings{});
    EXPECT_EQ(s.window().title(), "Impulse response");
    EXPECT_EQ(s.window().pointCount(), 0);
    EXPECT_EQ(s.window().curveCount(), 1);
    EXPECT_EQ(s.window().placement, placement);
    EXPECT_EQ(s.window().note(), "tone burst of the 8 inch");
}

TEST(StepResponse, ShownInputSignalIsASecondCurve) {
    TStepResponse src;
    src.curvesShown = 2;
    const auto bytes = record(src);
    TStepResponse s;
    BinaryReader r(bytes);
    ASSERT_TRUE(s.readRecord(r));
    ASSERT_EQ(s.window().curveCount(), 2);
    EXPECT_EQ(s.window().curve(0).y, s.responseCurve.data());
    EXPECT_EQ(s.window().curve(1).y, s.inputCurve.data());
    EXPECT_EQ(s.window().x(), s.timeAxis.data());
}

class StepResponsePreferences : public ::testing::Test {
protected:
    void TearDown() override { setPreferencesDirectory(""); }
    test::TempDir dir;
    test::ScriptedUiHost ui;
};

TEST_F(StepResponsePreferences, SettingsFileHoldsTheRecord) {
    setPreferencesDirectory(dir.path());
    TStepResponse a;
    fillNonDefault(a);
    ASSERT_TRUE(a.SaveSettings(ui));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(test::readAll(dir.file("stepresp.prf")), record(a));

    TStepResponse b;
    ASSERT_TRUE(b.LoadSettings());
    EXPECT_EQ(record(b), record(a));
}

TEST_F(StepResponsePreferences, ShortOrMissingSettingsFileChangesNothing) {
    setPreferencesDirectory(dir.path());
    TStepResponse s;
    const auto before = record(s);
    EXPECT_FALSE(s.LoadSettings());
    TStepResponse src;
    fillNonDefault(src);
    auto bytes = record(src);
    bytes.pop_back();
    test::writeAll(dir.file("stepresp.prf"), bytes);
    EXPECT_FALSE(s.LoadSettings());
    EXPECT_EQ(record(s), before);
}

TEST_F(StepResponsePreferences, FailedSaveIsReported) {
    setPreferencesDirectory(dir.path() + "/missing/");
    TStepResponse s;
    EXPECT_FALSE(s.SaveSettings(ui));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().caption, "Error");
    EXPECT_EQ(ui.lastMessage().text, "Could not save to file 'stepresp.prf'");
    EXPECT_EQ(ui.lastMessage().icon, MessageIcon::Exclamation);
}
