#include "core/measured_file.h"

#include "core/constants.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
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
         {F{"1,5", 1.0}, F{"abc", 0.0}, F{"-2.5e1", -25.0}, F{".5", 0.5}, F{"1e+", 1.0}, F{"1.5e-3x", 0.0015},
          F{"--1", 0.0}, F{"inf", 0.0}, F{"0x10", 0.0}, F{"\"18.5\"", 0.0}, F{"5\xb0", 5.0}, F{"1e-999", 0.0},
          F{"0.0001e312", 1e308}, F{"1e999", kInf}, F{"-1e999", -kInf}, F{std::string(400, '9'), kInf},
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
    EXPECT_EQ(measuredOpenFailureText("/x/y.frd"),
              "Could not open file : /x/y.frd\nCheck if path and filename is correct.");
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

// Headers, comments, commas and CR LF are covered by the real files below.
TEST_F(MeasuredFile, OddLayoutsReadLikeTheBareFile) {
    const std::string bare = "20 80 10\n100 86 20\n1000 90 -30\n10000 84 -90\n";
    const Curve expected = read(bare);
    ASSERT_EQ(expected.result, MeasuredReadResult::Loaded);
    for (const std::string& text :
         {"20 80 10\r100 86 20\r1000 90 -30\r10000 84 -90\r"s,
          "\n20 80 10 words\n\t\t\n100 86 20\n\n1000 90 -30\n10000 84 -90\n* End\n"s,
          "20 80 10\n\0\n100 86 20\0 99 99\n1000 90 -30\n10000 84 -90\n"s})
        EXPECT_EQ(read(text).v, expected.v) << text;
}

TEST_F(MeasuredFile, FirstValueBelowTheFileAndLastResampledValueAboveIt) {
    const Curve c = read("20 80 10\n100 86 20\n1000 90 -30\n10000 84 -90\n");
    ASSERT_EQ(c.result, MeasuredReadResult::Loaded);
    const auto first = std::lower_bound(grid.begin(), grid.end(), 20.0) - grid.begin();
    const auto last = std::lower_bound(grid.begin(), grid.end(), 10000.0) - grid.begin() - 1;
    for (std::ptrdiff_t i = 0; i < first; ++i)
        EXPECT_EQ(c.v[static_cast<std::size_t>(i)], lineValue(MeasuredKind::Spl, 80, 10));
    for (auto i = static_cast<std::size_t>(last) + 1; i < grid.size(); ++i)
        EXPECT_EQ(c.v[i], c.v[static_cast<std::size_t>(last)]);
    EXPECT_NE(c.v[static_cast<std::size_t>(last)], c.v[static_cast<std::size_t>(last) - 1]);
    // A file that starts above the grid fills every point with its first line.
    for (const Complex& v : read("Header\n25000 70 30\n30000 60 40\n").v)
        EXPECT_EQ(v, lineValue(MeasuredKind::Spl, 70, 30));
}

// Across a sign change of the phase the nearer line's phase is taken, never a pass through 0.
TEST_F(MeasuredFile, ImpedanceInterpolatesOhmsAndTakesTheNearerPhaseAcrossASignChange) {
    const Curve c = read("100 6 -20\n400 30 40\n", MeasuredKind::Impedance);
    ASSERT_EQ(c.result, MeasuredReadResult::Loaded);
    for (std::size_t i = 0; i < grid.size(); ++i) {
        if (grid[i] < 100.0 || grid[i] >= 400.0) continue;
        const double t = std::log(grid[i] / 100.0) / std::log(4.0);
        const double ohms = (1 - t) * 6 + t * 30;
        EXPECT_NEAR(std::abs(c.v[i] - lineValue(MeasuredKind::Impedance, ohms, t >= 0.5 ? 40 : -20)), 0.0,
                    1e-12 * ohms);
    }
}

TEST_F(MeasuredFile, NoDataCannotOpenAndEmptyGrids) {
    for (const char* text :
         {"", "\n\r\n\t\t\n", "Freq dB Phase\n0 80 10\n-20 80 10\nnan 1 1\n", "1 80 0\n4.99 82 0\n"})
        EXPECT_EQ(read(text).result, MeasuredReadResult::NoData) << text;
    EXPECT_EQ(read("1 80 0\n5.1 82 0\n").result, MeasuredReadResult::Loaded); // one line above 5 Hz
    for (const std::string& path : {dir.file("missing.frd"), ""s, dir.path(), "/dev/zero"s})
        EXPECT_EQ(readCurve(path, MeasuredKind::Spl, grid).result, MeasuredReadResult::CannotOpen) << path;
    read("100 80 0\n");
    Complex out[1] = {Complex(7, 7)};
    EXPECT_EQ(readMeasuredCurve(dir.file("curve.txt"), MeasuredKind::Spl, grid.data(), 0, out),
              MeasuredReadResult::NoData);
    EXPECT_EQ(out[0], Complex(7, 7));
}

TEST_F(MeasuredFile, HostileAndTruncatedFilesStayFiniteAndInRange) {
    for (MeasuredKind kind : {MeasuredKind::Spl, MeasuredKind::Impedance}) {
        const Curve c = read("1e999 80 0\nnan 80 0\n10 1e999 1e999\n20 80 1e300\n30 1e308 90\n40 -1e308 -90\n"
                             "60 1.7976931348623157e308 45\n70 5e-324 1e-300\n70.0000000000001 6 -1e-300\n",
                             kind);
        ASSERT_EQ(c.result, MeasuredReadResult::Loaded);
        EXPECT_TRUE(allFinite(c.v));
    }
    // Frequencies that do not rise still give values between the file's own.
    for (const Complex& v : read("100 70 10\n300 80 -10\n200 60 20\n400 65 30\n150 90 -40\n999 71 6\n").v)
        EXPECT_TRUE(std::abs(v) >= 1000.0 * (1 - 1e-12) && std::abs(v) <= 31622.8)
            << std::abs(v); // 60..90 dB
    const std::string full = "* comment\r\nFreq dB Phase\r\n20.5\t80.25\t10\r\n100,5 86e0 -20\r\n"
                             "1000 90 -179.5\r\n1e4 84 179\r\n";
    for (std::size_t len = 0; len <= full.size(); ++len) {
        const Curve c = read(full.substr(0, len));
        EXPECT_TRUE(c.result == MeasuredReadResult::NoData || allFinite(c.v)) << len;
    }
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

// The files of other measurement programs, against an independent reading of their lines:
// a grid on the file's own frequencies gives exactly those lines, a grid a quarter of the
// way (in log frequency) to the next line the interpolation between just those two.
TEST(RealMeasuredFiles, GridsOnAndBetweenTheFileLines) {
    const std::string folder = std::string(HARLOX_SHARED_DATA_DIR) + "/measured/";
    if (!std::filesystem::is_directory(folder)) GTEST_SKIP() << "no shared data folder";
    for (const char* name :
         {"TW022WA06.txt", "Amp_Phase_MiniDSP_HBX.frd", "SigmaStudioMLSSA_ExampleFile.txt", "DCS255-4.zma"}) {
        const MeasuredKind kind =
            std::string(name).ends_with(".zma") ? MeasuredKind::Impedance : MeasuredKind::Spl;
        std::ifstream in(folder + name, std::ios::binary);
        std::vector<std::array<double, 3>> lines; // Hz, magnitude, degrees
        for (std::string line; std::getline(in, line);) {
            std::istringstream fields(line);
            std::string f, m, p;
            fields >> f >> m >> p;
            if (std::strtod(f.c_str(), nullptr) > 0.0)
                lines.push_back({std::strtod(f.c_str(), nullptr), std::strtod(m.c_str(), nullptr),
                                 std::strtod(p.c_str(), nullptr)});
        }
        ASSERT_GT(lines.size(), 50u) << name;
        std::vector<double> on, between;
        std::vector<Complex> expectOn, expectBetween;
        for (std::size_t k = 0; k + 1 < lines.size() && on.size() < 500; k += lines.size() / 400 + 1) {
            const auto& [f0, m0, p0] = lines[k];
            const auto& [f1, m1, p1] = lines[k + 1];
            on.push_back(f0);
            expectOn.push_back(lineValue(kind, m0, p0));
            between.push_back(std::exp(0.75 * std::log(f0) + 0.25 * std::log(f1)));
            expectBetween.push_back(
                lineValue(kind, 0.75 * m0 + 0.25 * m1, p0 * p1 > 0 ? 0.75 * p0 + 0.25 * p1 : p0));
        }
        for (const auto& [grid, expected] : {std::pair{on, expectOn}, std::pair{between, expectBetween}}) {
            const Curve c = readCurve(folder + name, kind, grid);
            ASSERT_EQ(c.result, MeasuredReadResult::Loaded) << name;
            for (std::size_t i = 0; i < grid.size(); ++i)
                EXPECT_NEAR(std::abs(c.v[i] - expected[i]), 0.0, 1e-9 * std::abs(expected[i]))
                    << name << " " << grid[i];
        }
    }
    // Straight off a file: VituixCAD's first line is "5.00000    -33.905  -175.932".
    const Curve vituix = readCurve(folder + "VituixFR.txt", MeasuredKind::Spl, filterGrid());
    EXPECT_EQ(vituix.v[0], lineValue(MeasuredKind::Spl, -33.905, -175.932));
}

} // namespace
} // namespace harlox