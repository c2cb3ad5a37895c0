#include "transient/step_response.h"

#include "core/binary_io.h"
#include "core/program_dir.h"
#include "scripted_ui_host.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <span>
#include <string>
#include <vector>

using namespace harlox;

namespace {

// Fields of the record (little-endian, like the host).
template <class T> T at(const std::vector<std::uint8_t>& b, std::size_t off) {
    T v;
    std::memcpy(&v, &b[off], sizeof v);
    return v;
}
template <class T> void put(std::vector<std::uint8_t>& b, std::size_t off, T v) {
    std::memcpy(&b[off], &v, sizeof v);
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

TEST(StepResponse, RecordLayoutAndByteExactRoundTrip) {
    TStepResponse s;
    fillNonDefault(s);
    const auto b = record(s);
    ASSERT_EQ(b.size(), TStepResponse::kRecordSize);
    for (std::size_t i = 0; i < 10; ++i)
        EXPECT_EQ(at<std::int16_t>(b, 2 * i), s.window().placement.v[i]);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[20])), "tone burst of the 8 inch");
    EXPECT_EQ(b[kZoom], 1);
    EXPECT_EQ(b[kEnabled], 0);
    EXPECT_EQ(b[kShowInput], 0);
    EXPECT_EQ(at<std::int16_t>(b, kKind), 2);
    EXPECT_EQ(at<double>(b, kFrequency), 123.0);
    EXPECT_EQ(at<std::int16_t>(b, kPeriods), 7);
    EXPECT_EQ(at<std::int16_t>(b, kCurves), 2);
    EXPECT_EQ(at<double>(b, kResolution), 0.2);

    TStepResponse back;
    BinaryReader r(b);
    ASSERT_TRUE(back.readRecord(r));
    EXPECT_TRUE(r.atEnd());
    EXPECT_EQ(static_cast<const StepResponseSettings&>(back), static_cast<const StepResponseSettings&>(s));
    EXPECT_EQ(back.window().placement, s.window().placement);
    EXPECT_EQ(back.window().note(), s.window().note());
    EXPECT_EQ(record(back), b);
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
    put<std::int16_t>(bytes, kKind, -5);
    put<double>(bytes, kFrequency, std::numeric_limits<double>::quiet_NaN());
    put<std::int16_t>(bytes, kPeriods, 0);
    put<std::int16_t>(bytes, kCurves, 31);
    put<double>(bytes, kResolution, 0.0);
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

    put<double>(bytes, kFrequency, 1e9);
    put<std::int16_t>(bytes, kPeriods, 400);
    put<std::int16_t>(bytes, kCurves, -2);
    put<double>(bytes, kResolution, 2.0);
    BinaryReader r2(bytes);
    ASSERT_TRUE(s.readRecord(r2));
    EXPECT_EQ(s.burstFrequency, 500.0);
    EXPECT_EQ(s.burstPeriods, 20);
    EXPECT_EQ(s.curvesShown, 1);
    EXPECT_EQ(s.resolution, 2.0);
    EXPECT_EQ(s.window().title(), "Tone burst resp. 500.0 Hz, 20 periods");

    for (double dt : TStepResponse::kResolutions) { // every offered resolution is kept
        put<double>(bytes, kResolution, dt);
        BinaryReader in(bytes);
        ASSERT_TRUE(s.readRecord(in));
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

TEST_F(StepResponsePreferences, SettingsFileHoldsTheRecordAShortOneIsIgnored) {
    setPreferencesDirectory(dir.path());
    TStepResponse a;
    fillNonDefault(a);
    ASSERT_TRUE(a.SaveSettings(ui));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(test::readAll(dir.file("stepresp.prf")), record(a));

    TStepResponse b;
    ASSERT_TRUE(b.LoadSettings());
    EXPECT_EQ(record(b), record(a));

    // A short or missing file changes nothing.
    auto bytes = record(a);
    bytes.pop_back();
    test::writeAll(dir.file("stepresp.prf"), bytes);
    TStepResponse s;
    const auto before = record(s);
    EXPECT_FALSE(s.LoadSettings());
    std::filesystem::remove(dir.file("stepresp.prf"));
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
