#include "transient/step_response.h"

#include "box/closed_box.h"
#include "box_test_support.h"
#include "core/binary_io.h"
#include "core/constants.h"
#include "core/measure_setup.h"
#include "core/program_dir.h"
#include "numeric/rad2fft.h"
#include "scripted_ui_host.h"
#include "temp_dir.h"
#include "transient/spectrum_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
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

// ---- the calculation ---------------------------------------------------------------

constexpr int kN = TStepResponse::kSamples;

// A level, phase-free response from 20 Hz to 2 kHz on a logarithmic grid.
struct FlatSource {
    std::array<Complex, 50> p{};
    std::array<double, 50> f{};
    FlatSource() {
        for (std::size_t i = 0; i < f.size(); ++i) {
            f[i] = 20.0 * std::pow(100.0, static_cast<double>(i) / 49.0);
            p[i] = Complex(1.0, 0.0);
        }
    }
    void feed(TStepResponse& s, bool measured) const {
        s.setSource(p.data(), f.data(), static_cast<int>(p.size()), measured);
    }
};

TEST(StepResponseSpectrum, InterpolatesInLogFrequencyRampsBelowHoldsAboveAndIsHermitian) {
    const std::array<double, 3> f{100.0, 200.0, 400.0};
    const std::array<Complex, 3> p{Complex(2.0, -2.0), Complex(4.0, 0.0), Complex(0.0, 8.0)};
    std::vector<Complex> b(32);
    buildHermitianSpectrum(p.data(), f.data(), 3, 50.0, b.data(), 32);
    EXPECT_EQ(b[0], Complex(0.0, 0.0));
    EXPECT_EQ(b[16], Complex(0.0, 0.0));
    EXPECT_NEAR(std::abs(b[1] - p[0] * 0.5), 0.0, 1e-15);     // 50 Hz: half way up the ramp
    EXPECT_NEAR(std::abs(b[2] - p[0]), 0.0, 1e-15);           // 100 Hz: the lowest point
    const double t = std::log(150.0 / 100.0) / std::log(2.0); // 150 Hz, parts separately
    EXPECT_NEAR(b[3].real(), (1 - t) * 2.0 + t * 4.0, 1e-12);
    EXPECT_NEAR(b[3].imag(), (1 - t) * -2.0, 1e-12);
    EXPECT_NEAR(std::abs(b[4] - p[1]), 0.0, 1e-12);
    EXPECT_NEAR(b[7].real(), (1 - std::log(1.75) / std::log(2.0)) * 4.0, 1e-12);
    for (int m = 8; m < 16; ++m) // 400 Hz and above hold the last value
        EXPECT_EQ(b[static_cast<std::size_t>(m)], p[2]) << m;
    for (int m = 1; m < 16; ++m)
        EXPECT_EQ(b[static_cast<std::size_t>(32 - m)], std::conj(b[static_cast<std::size_t>(m)])) << m;

    std::fill(b.begin(), b.end(), Complex(1.0, 1.0));
    buildHermitianSpectrum(p.data(), f.data(), 0, 50.0, b.data(), 32);
    EXPECT_TRUE(std::all_of(b.begin(), b.end(), [](Complex c) { return c == Complex(0.0, 0.0); }));
}

TEST(StepResponseCalculation, AFlatResponseGivesASingleImpulsePeak) {
    const FlatSource flat;
    TStepResponse s;
    // A measured curve: the ideal impulse shows the impulse response itself.
    flat.feed(s, true);
    s.Calculate(true);
    EXPECT_EQ(s.responseCurve[0], 1.0);
    double rest = 0.0;
    for (int n = 1; n < TStepResponse::kImpulseSamples; ++n)
        rest = std::max(rest, std::abs(s.responseCurve[static_cast<std::size_t>(n)]));
    EXPECT_LT(rest, 0.01);
    EXPECT_NEAR(s.lowerLimit(), *std::min_element(s.responseCurve.begin(), s.responseCurve.begin() + 512),
                1e-15);

    // The model's response: the smoothed impulse, a 0.25 ms decay, is what comes out (the
    // empty DC and Nyquist bins and the mean removal shift it by about 2 %).
    flat.feed(s, false);
    s.Calculate(true);
    EXPECT_EQ(s.responseCurve[0], 1.0);
    for (int n = 0; n < TStepResponse::kImpulseSamples; ++n) {
        const auto k = static_cast<std::size_t>(n);
        ASSERT_EQ(s.inputCurve[k], std::exp(-0.001 * s.timeAxis[k] * 4000.0)) << n;
        ASSERT_NEAR(s.responseCurve[k], s.inputCurve[k], 0.03) << n;
    }

    // The ideal step and the smoothed one.
    s.inputSignal = TStepResponse::kStep;
    flat.feed(s, true);
    s.Calculate(false);
    EXPECT_EQ(s.inputCurve[0], 1.0);
    EXPECT_EQ(s.inputCurve[511], 1.0);
    flat.feed(s, false);
    s.Calculate(false);
    EXPECT_EQ(s.inputCurve[0], 0.0);
    EXPECT_NEAR(s.inputCurve[10], 1.0 - std::exp(-1.0), 1e-12); // 0.25 ms
}

TEST(StepResponseCalculation, ToneBurstLengthIsCutAt1023AndTheKernelRingsOnlyForTheModel) {
    const FlatSource flat;
    TStepResponse s;
    s.inputSignal = TStepResponse::kToneBurst;
    // 3 periods of 50 Hz at 25 us would last 2400 samples.
    EXPECT_EQ(s.burstLength(), 1023);
    flat.feed(s, true);
    s.Calculate(true);
    for (int n = 0; n < kN; ++n) {
        const auto k = static_cast<std::size_t>(n);
        ASSERT_NEAR(s.inputCurve[k], 0.3 * std::sin(kTwoPi * n * 0.025 * 50.0 / 1000.0), 1e-12) << n;
    }
    EXPECT_NE(s.inputCurve[1023], 0.0);
    s.burstPeriods = 20;
    s.burstFrequency = 10.0;
    s.resolution = 2.0;
    EXPECT_EQ(s.burstLength(), 1000);

    // One period of 500 Hz: 80 samples, the 80th back at zero.
    s.burstPeriods = 1;
    s.burstFrequency = 500.0;
    s.resolution = 0.025;
    EXPECT_EQ(s.burstLength(), 80);
    s.Calculate(false);
    EXPECT_NEAR(s.inputCurve[80], 0.0, 1e-12);
    EXPECT_TRUE(
        std::all_of(s.inputCurve.begin() + 81, s.inputCurve.end(), [](double x) { return x == 0.0; }));
    // Measured and flat: the response is the burst itself, normalised, and silent after it
    // (but for the ripple of the empty DC and Nyquist bins).
    const double top = *std::max_element(s.inputCurve.begin(), s.inputCurve.end());
    for (int n = 0; n < kN; ++n) {
        const auto k = static_cast<std::size_t>(n);
        ASSERT_NEAR(s.responseCurve[k], s.inputCurve[k] / top, 0.05) << n;
    }

    // The model's kernel lets the response ring on, falling by 0.6 a sample after the burst.
    flat.feed(s, false);
    s.Calculate(true);
    EXPECT_EQ(*std::max_element(s.responseCurve.begin(), s.responseCurve.end()), 1.0);
    for (int n = 82; n < 86; ++n) {
        const auto k = static_cast<std::size_t>(n);
        EXPECT_NEAR(s.responseCurve[k] / s.responseCurve[k - 1], 0.6, 0.01) << n;
    }
}

TEST(StepResponseCalculation, TitlesFollowTheSignalAndNothingRunsWhenDisabled) {
    const FlatSource flat;
    TStepResponse s;
    flat.feed(s, false);
    s.Calculate(true);
    EXPECT_EQ(s.window().title(), "Impulse response");
    EXPECT_EQ(s.window().curveCount(), 1);
    s.inputSignal = TStepResponse::kStep;
    s.Calculate(false);
    EXPECT_EQ(s.window().title(), "Step response");
    EXPECT_EQ(s.recordCaption(), "Impulse response");
    s.inputSignal = TStepResponse::kToneBurst;
    s.burstFrequency = 123.4;
    s.burstPeriods = 5;
    s.Calculate(false);
    EXPECT_EQ(s.window().title(), "Tone burst resp. 123.4 Hz, 5 periods");
    EXPECT_EQ(s.calculationCaption(), s.window().title());
    // The tone burst shows its input signal with the response, unless switched off.
    ASSERT_EQ(s.window().curveCount(), 2);
    EXPECT_EQ(s.window().curve(0).y, s.responseCurve.data());
    EXPECT_EQ(s.window().curve(1).y, s.inputCurve.data());
    s.showInputSignal = 0;
    s.Calculate(false);
    EXPECT_EQ(s.window().curveCount(), 1);

    const auto before = s.responseCurve;
    s.calculationEnabled = 0;
    s.inputSignal = TStepResponse::kImpulse;
    s.Calculate(true);
    EXPECT_EQ(s.responseCurve, before);
    EXPECT_EQ(s.window().title(), "Tone burst resp. 123.4 Hz, 5 periods");
}

TEST(StepResponseCalculation, ResolutionAndZoomSetTheTimeAxis) {
    const FlatSource flat;
    TStepResponse s;
    flat.feed(s, false);
    EXPECT_EQ(TStepResponse::kResolutionLabels[0], std::string("25 us"));
    EXPECT_EQ(TStepResponse::kResolutionLabels[6], std::string("2.0 ms"));
    EXPECT_FALSE(s.setResolutionIndex(7));
    EXPECT_FALSE(s.setResolutionIndex(-1));
    for (int i = 0; i < static_cast<int>(TStepResponse::kResolutions.size()); ++i) {
        ASSERT_TRUE(s.setResolutionIndex(i));
        EXPECT_EQ(s.resolutionIndex(), i);
        const double dt = TStepResponse::kResolutions[static_cast<std::size_t>(i)];
        for (const std::int16_t kind : {TStepResponse::kImpulse, TStepResponse::kToneBurst}) {
            for (const std::uint8_t zoom : {0, 1}) {
                s.inputSignal = kind;
                s.zoom = zoom;
                s.Calculate(false);
                const int shown = (kind == TStepResponse::kImpulse ? 512 : 1024) / (zoom ? 2 : 1);
                EXPECT_EQ(s.window().pointCount(), shown);
                const AxisRange x = s.window().xRange();
                EXPECT_EQ(x.min, 0.0);
                EXPECT_DOUBLE_EQ(x.max, (shown - 1) * dt) << i << " " << kind << " " << int(zoom);
                EXPECT_DOUBLE_EQ(s.timeAxis[1023], 1023 * dt);
            }
        }
    }
}

// A closed box with the built-in unit in 20 litres, 500 points from 10 Hz to 2 kHz.
class ClosedBoxTransient : public test::BoxTest {
protected:
    void SetUp() override {
        test::BoxTest::SetUp();
        MeasureSetup& m = sharedSetup();
        m.pointCount = 500;
        m.startFrequency = 10;
        m.stopFrequency = 2000;
        m.setupChanged = 1;
        box.front().SetDefaultUnit();
        box.setVb(0.02);
    }
    TClosedBox box{ui};
};

TEST_F(ClosedBoxTransient, TheImpulseResponseSpectrumIsTheFreeAirSpl) {
    TStepResponse& s = box.transientResponse();
    const FrequencyGrid& g = sharedSetup().grid;
    Rad2FFT fft(kN);
    CVector r(kN), spectrum(kN);
    // 25 us covers the band above 39 Hz, 1 ms the bass in 1 Hz steps.
    for (const int index : {0, 5}) {
        ASSERT_TRUE(s.setResolutionIndex(index));
        box.Calculate(0);
        for (int n = 0; n < kN; ++n)
            r[n] = Complex(s.impulseResponse()[static_cast<std::size_t>(n)], 0.0);
        fft.transform(r, spectrum, false);
        const double df = 1000.0 / s.resolution / kN;
        int compared = 0;
        for (int m = 1; m < kN / 2; ++m) {
            const double f = m * df;
            if (f < g.f[0] || f > g.f[static_cast<std::size_t>(g.count - 1)]) continue;
            const Complex bin = spectrum[m] / static_cast<double>(kN);
            ASSERT_NEAR(20.0 * std::log10(std::abs(bin)), test::valueAt(box.SPL, f), 0.1) << f;
            // The phase too: a transform running backwards in time would conjugate it.
            double dp = std::arg(bin) * 180.0 / kPiExact - test::valueAt(box.splPhase, f);
            dp -= 360.0 * std::round(dp / 360.0);
            ASSERT_LT(std::abs(dp), 1.0) << f;
            ++compared;
        }
        EXPECT_GT(compared, 40) << index;
    }
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ClosedBoxTransient, TheStepResponseOfAClosedBoxTendsToZero) {
    TStepResponse& s = box.transientResponse();
    s.inputSignal = TStepResponse::kStep;
    ASSERT_TRUE(s.setResolutionIndex(5)); // 1 ms: half a second shown
    box.Calculate(0);
    const auto begin = s.responseCurve.begin();
    // The peak comes within the first milliseconds, the tail settles at zero.
    EXPECT_LT(std::max_element(begin, begin + 512) - begin, 10);
    EXPECT_EQ(s.responseCurve[static_cast<std::size_t>(std::max_element(begin, begin + 512) - begin)], 1.0);
    for (int n = 300; n < 512; ++n)
        ASSERT_LT(std::abs(s.responseCurve[static_cast<std::size_t>(n)]), 0.01) << n;
    // It overshoots below zero on the way: a high-pass of second order.
    EXPECT_LT(s.lowerLimit(), -0.05);

    // A changed resolution rebuilds the impulse response even without being asked to.
    const auto rebuilt = [&](int index) {
        EXPECT_TRUE(s.setResolutionIndex(index));
        s.Calculate(false);
        return s.impulseResponse();
    };
    const auto atTwoMs = rebuilt(6);
    s.Calculate(true);
    EXPECT_EQ(atTwoMs, s.impulseResponse());
    EXPECT_NE(rebuilt(0), atTwoMs);
}

// ---- "stepresp.prf" --------------------------------------------------------------------

TEST(StepResponseSettingsFile, SavesAtomicallyLoadsBackAndReportsAFailedSave) {
    test::TempDir dir;
    test::ScriptedUiHost ui;
    setPreferencesDirectory(dir.path());
    TStepResponse s;
    s.inputSignal = TStepResponse::kToneBurst;
    s.burstFrequency = 80.0;
    ASSERT_TRUE(s.setResolutionIndex(3));
    EXPECT_TRUE(s.SaveSettings(ui));
    EXPECT_EQ(std::filesystem::file_size(dir.file("stepresp.prf")), TStepResponse::kRecordSize);
    TStepResponse back;
    EXPECT_TRUE(back.LoadSettings());
    EXPECT_EQ(static_cast<const StepResponseSettings&>(back), static_cast<const StepResponseSettings&>(s));
    EXPECT_TRUE(ui.messages.empty());

    setPreferencesDirectory(dir.file("missing"));
    EXPECT_FALSE(s.SaveSettings(ui));
    ASSERT_EQ(ui.messages.size(), 1U);
    EXPECT_EQ(ui.lastMessage().caption, "Error");
    EXPECT_EQ(ui.lastMessage().text, "Could not save to file 'stepresp.prf'");
    TStepResponse untouched;
    EXPECT_FALSE(untouched.LoadSettings());
    EXPECT_EQ(untouched.inputSignal, TStepResponse::kImpulse);
    setPreferencesDirectory("");
}

} // namespace
} // namespace harlox
