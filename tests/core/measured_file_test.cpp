#include "core/measured_file.h"

#include "core/constants.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

namespace harlox {
namespace {

using namespace std::string_literals;

std::vector<double> filterGrid() {
    std::vector<double> f(500);
    for (int i = 0; i < 500; ++i)
        f[static_cast<std::size_t>(i)] = 5.0 * std::pow(10.0, i * std::log10(4000.0) / 499);
    return f;
}

struct Curve {
    MeasuredReadResult result = MeasuredReadResult::NoData;
    std::vector<Complex> v;
};

Curve readCurve(const std::string& path, MeasuredKind kind, const std::vector<double>& grid) {
    Curve c;
    c.v.assign(grid.size(), Complex(-12345.0, -12345.0));
    c.result = readMeasuredCurve(path, kind, grid.data(), static_cast<int>(grid.size()), c.v.data());
    return c;
}

Complex lineValue(MeasuredKind kind, double magnitude, double degrees) {
    const double a = kind == MeasuredKind::Spl ? std::pow(10.0, magnitude / 20.0) : magnitude;
    const double p = degrees * kPi / 180.0;
    return {a * std::cos(p), a * std::sin(p)};
}

bool allFinite(const std::vector<Complex>& v) {
    return std::all_of(v.begin(), v.end(),
                       [](Complex c) { return std::isfinite(c.real()) && std::isfinite(c.imag()); });
}

TEST(FieldValue, ReadsTheLeadingDecimalNumberInEveryCase) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    using F = std::pair<std::string, double>;
    for (const auto& [text, value] :
         {F{"1,5", 1.0}, F{"abc", 0.0}, F{".5", 0.5}, F{"1e+", 1.0}, F{"-1.5e-3x", -0.0015}, F{"--1", 0.0},
          F{"inf", 0.0}, F{"0x10", 0.0}, F{"1e-999", 0.0}, F{"0.0001e312", 1e308}, F{"-1e999", -kInf},
          F{std::string(400, '9'), kInf},
          // long digit strings: the exponent and the place of the first digit decide together
          F{"0." + std::string(399, '0') + "1e400", 1.0}, F{"0." + std::string(399, '0') + "1e50", 0.0}})
        EXPECT_EQ(measuredFieldValue(text), value) << '"' << text << '"';
}

TEST(MeasuredLine, FieldsSplitAtBlanksAndTabsAndBadNumbersNeverPass) {
    struct L {
        std::string text;
        double previous, frequency, magnitude, degrees;
    };
    for (const L& c : {L{"  100\t \t80.5   45 extra", 7, 100, 80.5, 45},
                       L{"18.4,84.4,-86.6", 7, 18.4, 7, 0}, // commas do not separate
                       L{"100 80\0 45"s, 1, 100, 80, 0},    // a NUL ends the line
                       L{"200", 3, 200, 3, 0}, L{"Freq dB Phase", 3, 0, 0, 0}, L{"1e999 80 10", 0, 0, 80, 10},
                       L{"-100 80 10", 0, 0, 80, 10}, L{"100 -1e999 10", 6, 100, 6, 10},
                       L{"100 80 1e308", 6, 100, 80, 0}}) { // finite in degrees, infinite in radians
        const MeasuredLine m = parseMeasuredLine(c.text, c.previous);
        EXPECT_EQ(m.frequency, c.frequency) << c.text;
        EXPECT_EQ(m.magnitude, c.magnitude) << c.text;
        EXPECT_EQ(m.phase, c.degrees * kPi / 180.0) << c.text;
    }
}

class MeasuredFile : public ::testing::Test {
protected:
    test::TempDir dir;
    std::vector<double> grid = filterGrid();

    Curve read(const std::string& text, MeasuredKind kind = MeasuredKind::Spl) {
        std::ofstream(dir.file("curve.txt"), std::ios::binary) << text;
        return readCurve(dir.file("curve.txt"), kind, grid);
    }
};

TEST_F(MeasuredFile, LayoutsRangeEndsAndImpedanceInterpolation) {
    const Curve c = read("20 80 10\n100 86 20\n1000 90 -30\n10000 84 -90\n");
    ASSERT_EQ(c.result, MeasuredReadResult::Loaded);
    for (const std::string& text : {"20 80 10\r100 86 20\r1000 90 -30\r10000 84 -90\r"s,
                                    "* comment\r\n\"Hz\" \"dB\"\r\n20, 80, 10 words\r\n\t\t\r\n"
                                    "100 86 20\r\n\r\n1000 90 -30\r\n10000 84 -90\r\n* End"s,
                                    "20 80 10\n\0\n100 86 20\0 99 99\n1000 90 -30\n10000 84 -90\n"s})
        EXPECT_EQ(read(text).v, c.v) << text;
    // The first measured value below the file, the last resampled value above it.
    const auto last =
        static_cast<std::size_t>(std::lower_bound(grid.begin(), grid.end(), 1e4) - grid.begin() - 1);
    for (std::size_t i = 0; grid[i] < 20.0; ++i)
        EXPECT_EQ(c.v[i], lineValue(MeasuredKind::Spl, 80, 10));
    for (std::size_t i = last + 1; i < grid.size(); ++i)
        EXPECT_EQ(c.v[i], c.v[last]);
    EXPECT_NE(c.v[last], c.v[last - 1]);
    // A file that starts above the grid fills every point with its first line.
    for (const Complex& v : read("Header\n25000 70 30\n30000 60 40\n").v)
        EXPECT_EQ(v, lineValue(MeasuredKind::Spl, 70, 30));

    // Impedance interpolates ohms; across a sign change of the phase the nearer line's phase
    // is taken, never a pass through 0.
    const Curve z = read("100 6 -20\n400 30 40\n", MeasuredKind::Impedance);
    ASSERT_EQ(z.result, MeasuredReadResult::Loaded);
    for (std::size_t i = 0; i < grid.size(); ++i) {
        const double t = std::log(grid[i] / 100.0) / std::log(4.0);
        if (t < 0.0 || t >= 1.0) continue;
        const Complex expected =
            lineValue(MeasuredKind::Impedance, (1 - t) * 6 + t * 30, t >= 0.5 ? 40 : -20);
        EXPECT_NEAR(std::abs(z.v[i] - expected), 0.0, 1e-11);
    }
}

TEST_F(MeasuredFile, NoDataCannotOpenAndHostileFiles) {
    for (const char* text :
         {"", "\n\r\n\t\t\n", "Freq dB Phase\n0 80 10\n-20 80 10\nnan 1 1\n", "1 80 0\n4.99 82 0\n"})
        EXPECT_EQ(read(text).result, MeasuredReadResult::NoData) << text;
    EXPECT_EQ(read("1 80 0\n5.1 82 0\n").result, MeasuredReadResult::Loaded); // one line above 5 Hz
    for (const std::string& path : {dir.file("missing.frd"), ""s, dir.path(), "/dev/zero"s})
        EXPECT_EQ(readCurve(path, MeasuredKind::Spl, grid).result, MeasuredReadResult::CannotOpen) << path;

    // Hostile and truncated files stay finite and in range.
    for (MeasuredKind kind : {MeasuredKind::Spl, MeasuredKind::Impedance}) {
        const Curve c = read("1e999 80 0\nnan 80 0\n10 1e999 1e999\n20 80 1e300\n30 1e308 90\n40 -1e308 -90\n"
                             "60 1.7976931348623157e308 45\n70 5e-324 1e-300\n70.0000000000001 6 -1e-300\n",
                             kind);
        ASSERT_EQ(c.result, MeasuredReadResult::Loaded);
        EXPECT_TRUE(allFinite(c.v));
    }
    // Frequencies that do not rise still give values between the file's own.
    for (const Complex& v : read("100 70 10\n300 80 -10\n200 60 20\n400 65 30\n150 90 -40\n999 71 6\n").v)
        EXPECT_TRUE(std::abs(v) >= 1000.0 * (1 - 1e-12) && std::abs(v) <= 31622.8); // 60..90 dB
    const std::string full = "* comment\r\nFreq dB Phase\r\n20.5\t80.25\t10\r\n100,5 86e0 -20\r\n"
                             "1000 90 -179.5\r\n1e4 84 179\r\n";
    for (std::size_t len = 0; len <= full.size(); ++len) {
        const Curve c = read(full.substr(0, len));
        EXPECT_TRUE(c.result == MeasuredReadResult::NoData || allFinite(c.v)) << len;
    }
}

// The report a read gives back: what the header and the fields say the columns hold, and
// what kind of bytes the file is made of.
TEST_F(MeasuredFile, ReportJudgesTheColumnsFromHeaderAndFields) {
    const auto report = [&](const std::string& text) {
        std::ofstream(dir.file("curve.txt"), std::ios::binary | std::ios::trunc) << text;
        std::vector<Complex> v(grid.size());
        MeasuredReadRequest request;
        request.grid = {grid.data(), nullptr, static_cast<int>(grid.size())};
        return readMeasuredCurve(dir.file("curve.txt"), request, v.data());
    };
    using C = MeasuredColumns;
    for (const auto& [text, columns] :
         {std::pair{"* Data: Impedance (ohms), Phase (degrees)\n10 7 25\n20 8 26\n"s, C::Full},
          std::pair{"* Data: db(Response), Group Delay (sec)\n10 +65 +0.001\n"s, C::GroupDelay},
          std::pair{"Frequency(Hz),   Phase(deg)\n 1.7, -11.7\n 20, 5\n"s, C::PhaseOnly},
          std::pair{"Frequency(Hz),   Magnitude(dB)\n 1.7, -33.9\n 20, 5\n"s, C::NoPhase},
          std::pair{"10 80\n"s, C::NoPhase}, std::pair{"Freq\n10\n20\n"s, C::FrequencyOnly}})
        EXPECT_EQ(measuredColumns(report(text)), columns) << text;

    const MeasuredReadReport r = report("* Title\r\nFREQ dB\r\n0 1 2\r\n10 80 5 9\r\n20 81\r\n\x01\r\n");
    EXPECT_EQ(r.header, "* title\nfreq db\n0 1 2\n");
    EXPECT_EQ(r.dataLines, 2);
    EXPECT_EQ(r.maxFields, 3);
    EXPECT_EQ(r.highestFrequency, 20.0);
    EXPECT_EQ(r.bytes, 46u);
    EXPECT_EQ(r.controlBytes, 1u);
    EXPECT_TRUE(measuredLooksBinary(r)); // one control byte in 46
    EXPECT_FALSE(measuredLooksBinary(report("\x01" + std::string(64, '\n') + "10 80\n")));
    EXPECT_TRUE(measuredLooksBinary(report("10 80 5\n\0\n"s)));
    EXPECT_EQ(measuredNoDataText("a.frd", report(""), 5.0), "The file a.frd is empty.");
    EXPECT_EQ(measuredNoDataText("a.frd", report("2 80\n3 80\n"), 4.0),
              "All frequencies in a.frd (the highest is 3 Hz) lie at or below 4 Hz, the lowest frequency "
              "calculated.");
}

TEST_F(MeasuredFile, ReadingEndsAfterTheSizeLimit) {
    const std::string path = dir.file("huge.frd");
    for (const std::uintmax_t size : {kMaxMeasuredFileBytes - 100, kMaxMeasuredFileBytes}) {
        std::ofstream(path, std::ios::binary | std::ios::trunc).close();
        std::filesystem::resize_file(path, size); // a sparse run of NULs
        std::ofstream(path, std::ios::binary | std::ios::app) << "\n100 80 0\n200 80 0\n";
        EXPECT_EQ(readCurve(path, MeasuredKind::Spl, grid).result,
                  size < kMaxMeasuredFileBytes ? MeasuredReadResult::Loaded : MeasuredReadResult::NoData);
    }
}

// Files of other measurement programs, against an independent reading of their lines: a
// grid on every few file lines gives exactly those lines, a grid a quarter of the way (in log
// frequency) to the next line the interpolation between just those two lines.
TEST(RealMeasuredFiles, GridsOnAndBetweenTheFileLines) {
    const std::string folder = std::string(HARLOX_SHARED_DATA_DIR) + "/measured/";
    if (!std::filesystem::is_directory(folder)) GTEST_SKIP() << "no shared data folder";
    for (const auto& [name, kind] : {std::pair{"TW022WA06.txt", MeasuredKind::Spl},
                                     std::pair{"DCS255-4.zma", MeasuredKind::Impedance}}) {
        std::ifstream in(folder + name, std::ios::binary);
        std::vector<std::array<double, 3>> lines; // Hz, magnitude, degrees
        for (std::string line; std::getline(in, line);) {
            std::istringstream fields(line);
            std::array<double, 3> v{};
            if (fields >> v[0] >> v[1] >> v[2] && v[0] > 0.0) lines.push_back(v);
        }
        ASSERT_GT(lines.size(), 300u);
        for (const double w : {0.0, 0.25}) {
            std::vector<double> grid;
            std::vector<Complex> expected;
            // One grid point per pair of neighbouring lines, so that no line is passed over.
            for (std::size_t k = 0; k + 1 < lines.size() && grid.size() < 500; ++k) {
                const auto& [f0, m0, p0] = lines[k];
                const auto& [f1, m1, p1] = lines[k + 1];
                grid.push_back(w == 0.0 ? f0 : std::exp((1 - w) * std::log(f0) + w * std::log(f1)));
                expected.push_back(
                    lineValue(kind, (1 - w) * m0 + w * m1, p0 * p1 > 0 ? (1 - w) * p0 + w * p1 : p0));
            }
            const Curve c = readCurve(folder + name, kind, grid);
            ASSERT_EQ(c.result, MeasuredReadResult::Loaded) << name;
            for (std::size_t i = 0; i < grid.size(); ++i)
                EXPECT_NEAR(std::abs(c.v[i] - expected[i]), 0.0, 1e-9 * std::abs(expected[i])) << name;
        }
    }
}

} // namespace
} // namespace harlox
