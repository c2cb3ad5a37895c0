#include "core/measured_file.h"

#include "core/constants.h"
#include "core/measure_setup.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace harlox {
namespace {

using test::TempDir;

std::vector<double> filterGrid() {
    std::vector<double> f(500);
    for (int i = 0; i < 500; ++i)
        f[static_cast<std::size_t>(i)] = 5.0 * std::pow(10.0, i * std::log10(4000.0) / 499);
    return f;
}

std::vector<double> boxGrid() {
    FrequencyGrid grid;
    grid.build(50, 20, 2000);
    return {grid.f.begin(), grid.f.begin() + grid.count};
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

std::string writeText(const TempDir& dir, const std::string& name, const std::string& text) {
    const std::string path = dir.file(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

Complex splValue(double db, double degrees) {
    const double a = std::pow(10.0, db / 20.0);
    const double p = degrees * kPi / 180.0;
    return {a * std::cos(p), a * std::sin(p)};
}

double dbOf(Complex v) {
    return 20.0 * std::log10(std::abs(v));
}
double degreesOf(Complex v) {
    return std::arg(v) * 180.0 / kPiExact;
}

bool allFinite(const std::vector<Complex>& v) {
    return std::all_of(v.begin(), v.end(),
                       [](Complex c) { return std::isfinite(c.real()) && std::isfinite(c.imag()); });
}

// ---- number and line conversion ----

TEST(FieldValue, ReadsTheLeadingDecimalNumber) {
    using F = std::pair<const char*, double>;
    const F cases[] = {F{"1,5", 1.0},      F{"abc", 0.0},         F{"", 0.0},
                       F{"-2.5e1", -25.0}, F{"+3", 3.0},          F{".5", 0.5},
                       F{"5.", 5.0},       F{"-.5E1", -5.0},      F{"1e", 1.0},
                       F{"1e+", 1.0},      F{"1.5e-3x", 0.0015},  F{"--1", 0.0},
                       F{"+-1", 0.0},      F{"-", 0.0},           F{".", 0.0},
                       F{"inf", 0.0},      F{"nan", 0.0},         F{"0x10", 0.0},
                       F{"1.2.3", 1.2},    F{"\"18.5\"", 0.0},    F{"18.42571,", 18.42571},
                       F{"007", 7.0},      F{"\2605", 0.0},       F{"5\xb0", 5.0},
                       F{"1e-999", 0.0},   F{"100000e-330", 0.0}, F{"0.0001e312", 1e308}};
    for (const auto& [text, value] : cases)
        EXPECT_EQ(measuredFieldValue(text), value) << '"' << text << '"';

    // Overflow gives infinity with its sign.
    EXPECT_EQ(measuredFieldValue("1e999"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(measuredFieldValue("-1e999"), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(measuredFieldValue(std::string(400, '9')), std::numeric_limits<double>::infinity());
    // Long digit strings: the exponent and the place of the first digit decide together.
    EXPECT_EQ(measuredFieldValue("0." + std::string(399, '0') + "1e400"), 1.0);
    EXPECT_DOUBLE_EQ(measuredFieldValue("0." + std::string(399, '0') + "1e100"), 1e-300);
    EXPECT_EQ(measuredFieldValue("0." + std::string(399, '0') + "1e50"), 0.0);
    EXPECT_DOUBLE_EQ(measuredFieldValue("1" + std::string(400, '0') + "e-100"), 1e300);
    EXPECT_EQ(measuredFieldValue("-1" + std::string(400, '0') + ".5e-50"),
              -std::numeric_limits<double>::infinity());
}

TEST(MeasuredLine, SplitsAtBlanksAndTabsOnlyAndKeepsMissingMagnitudes) {
    using namespace std::string_literals;
    const MeasuredLine a = parseMeasuredLine("  100\t \t80.5   45 extra", 7.0);
    EXPECT_EQ(a.frequency, 100.0);
    EXPECT_EQ(a.magnitude, 80.5);
    EXPECT_EQ(a.phase, 45.0 * kPi / 180.0);
    // Commas do not separate: "18.4," is one field.
    const MeasuredLine b = parseMeasuredLine("18.4,84.4,-86.6", 7.0);
    EXPECT_EQ(b.frequency, 18.4);
    EXPECT_EQ(b.magnitude, 7.0);
    EXPECT_EQ(b.phase, 0.0);
    // Reading ends at a NUL byte.
    const MeasuredLine nul = parseMeasuredLine("100 80\0 45"s, 1.0);
    EXPECT_EQ(nul.magnitude, 80.0);
    EXPECT_EQ(nul.phase, 0.0);
    EXPECT_EQ(parseMeasuredLine("\0 100 80"s, 1.0).frequency, 0.0);

    EXPECT_EQ(parseMeasuredLine("", 3.0).magnitude, 3.0);
    EXPECT_EQ(parseMeasuredLine("\t\t", 3.0).frequency, 0.0);
    EXPECT_EQ(parseMeasuredLine("200", 3.0).magnitude, 3.0);
    const MeasuredLine two = parseMeasuredLine("200 -4", 3.0);
    EXPECT_EQ(two.magnitude, -4.0);
    EXPECT_EQ(two.phase, 0.0);
    // A header's text in the magnitude column is a magnitude of 0.
    EXPECT_EQ(parseMeasuredLine("Freq dB Phase", 3.0).magnitude, 0.0);
}

TEST(MeasuredLine, BadNumbersNeverReachTheCurve) {
    EXPECT_EQ(parseMeasuredLine("1e999 80 10", 0.0).frequency, 0.0);
    EXPECT_EQ(parseMeasuredLine("-100 80 10", 0.0).frequency, 0.0);
    EXPECT_EQ(parseMeasuredLine("100 1e999 10", 6.0).magnitude, 6.0);
    EXPECT_EQ(parseMeasuredLine("100 -1e999 10", 6.0).magnitude, 6.0);
    EXPECT_EQ(parseMeasuredLine("100 80 1e999", 6.0).phase, 0.0);
    // Finite in degrees, infinite in radians.
    EXPECT_EQ(parseMeasuredLine("100 80 1e308", 6.0).phase, 0.0);
    EXPECT_EQ(measuredOpenFailureText("/x/y.frd"),
              "Could not open file : /x/y.frd\nCheck if path and filename is correct.");
}

// ---- resampling ----

class MeasuredFile : public ::testing::Test {
protected:
    TempDir dir;
    std::vector<double> grid = filterGrid();

    Curve read(const std::string& text, MeasuredKind kind = MeasuredKind::Spl) {
        return readCurve(writeText(dir, "curve.txt", text), kind, grid);
    }
};

const char* const kBare = "20 80 10\n100 86 20\n1000 90 -30\n10000 84 -90\n";

// Files that must read exactly like kBare: headers, comments, other line ends.
class SameAsBareFile : public MeasuredFile, public ::testing::WithParamInterface<std::string> {};

TEST_P(SameAsBareFile, ReadsTheSameValues) {
    const Curve bare = read(kBare);
    ASSERT_EQ(bare.result, MeasuredReadResult::Loaded);
    const Curve other = read(GetParam());
    ASSERT_EQ(other.result, MeasuredReadResult::Loaded);
    EXPECT_EQ(other.v, bare.v);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, SameAsBareFile,
    ::testing::Values(
        // LEAP comments
        std::string("* LEAP export\n* Freq dB Phase\n*\n20 80 10\n100 86 20\n1000 90 -30\n10000 84 -90\n"),
        // CLIO title and blank lines, also between data
        std::string(
            "Freq[Hz]  dBSPL  Phase[Deg]\n\n20 80 10\n\n100 86 20\n  \t \n1000 90 -30\n10000 84 -90\n"),
        // MLSSA quoted titles, commas after the numbers
        std::string("\"Title\"\n \"Hz\" \"Mag (dB)\" \"deg\"\n20, 80, 10\n100, 86, 20\n1000, 90, -30\n10000, "
                    "84, -90\n"),
        std::string("20 80 10\r\n100 86 20\r\n1000 90 -30\r\n10000 84 -90\r\n"),
        std::string("20 80 10\r100 86 20\r1000 90 -30\r10000 84 -90\r"),
        std::string("20 80 10\n100 86 20\n1000 90 -30\n10000 84 -90"),
        std::string("\t20\t\t80\t10   \n 100 86 20 \n1000 90 -30 trailing words\n10000\t84\t-90\t\t\n"),
        std::string("Frequ. Hz \xb0 Ampl.\n20 80 10\n100 86 20\n1000 90 -30\n10000 84 -90\n"),
        std::string("20 80 10\n\0\n100 86 20\0 99 99\n1000 90 -30\n10000 84 -90\n", 53),
        // Text lines after the data end are passed over as well.
        std::string("20 80 10\n100 86 20\n1000 90 -30\n10000 84 -90\n* End\n\t\t\n")));

TEST_F(MeasuredFile, ExtendsWithTheFirstValueAndTheLastResampledValue) {
    const Curve c = read("20 80 10\n100 86 20\n1000 90 -30\n10000 84 -90\n");
    ASSERT_EQ(c.result, MeasuredReadResult::Loaded);
    int below = 0;
    int last = -1;
    for (std::size_t i = 0; i < grid.size(); ++i) {
        if (grid[i] < 20.0) {
            EXPECT_EQ(c.v[i], splValue(80, 10)) << i;
            ++below;
        }
        if (grid[i] < 10000.0) last = static_cast<int>(i);
    }
    EXPECT_GT(below, 50);
    ASSERT_GT(last, 0);
    for (std::size_t i = static_cast<std::size_t>(last) + 1; i < grid.size(); ++i)
        EXPECT_EQ(c.v[i], c.v[static_cast<std::size_t>(last)]);
    // The last grid point below the file's end is still interpolated, not copied.
    EXPECT_NE(c.v[static_cast<std::size_t>(last)], c.v[static_cast<std::size_t>(last) - 1]);
}

TEST_F(MeasuredFile, FirstLineAboveTheGridFillsEveryPoint) {
    const Curve c = read("Header\n25000 70 30\n30000 60 40\n");
    ASSERT_EQ(c.result, MeasuredReadResult::Loaded);
    for (const Complex& v : c.v)
        EXPECT_EQ(v, splValue(70, 30));
}

TEST_F(MeasuredFile, FilesWithoutDataAboveTheFirstGridPointAreNotLoaded) {
    EXPECT_EQ(read("").result, MeasuredReadResult::NoData);
    EXPECT_EQ(read("\n\r\n\t\t\n").result, MeasuredReadResult::NoData);
    EXPECT_EQ(read("Freq dB Phase\n* comment\n0 80 10\n-20 80 10\nnan 1 1\n").result,
              MeasuredReadResult::NoData);
    EXPECT_EQ(read("1 80 0\n3 81 0\n5 82 0\n").result, MeasuredReadResult::NoData);
    EXPECT_EQ(read("1 80 0\n3 81 0\n4.99 82 0\n").result, MeasuredReadResult::NoData);
    // One line above 5 Hz is enough.
    EXPECT_EQ(read("1 80 0\n5.1 82 0\n").result, MeasuredReadResult::Loaded);
}

TEST_F(MeasuredFile, TwoColumnsDecimalCommasAndMissingMagnitudes) {
    for (const Complex& v : read("20 80\n100 86\n1000 90\n10000 84\n").v) {
        EXPECT_EQ(v.imag(), 0.0);
        EXPECT_GT(v.real(), 0.0);
    }
    // A decimal comma reads the integer part.
    for (const Complex& v : read("100\t1,5\t0\n1000\t1,9\t0\n", MeasuredKind::Impedance).v)
        EXPECT_EQ(v, Complex(1.0, 0.0));
    // A line without a magnitude keeps the previous one.
    for (const Complex& v : read("100 6 0\n200\n400 6 0\n", MeasuredKind::Impedance).v)
        EXPECT_NEAR(v.real(), 6.0, 1e-12);
}

TEST_F(MeasuredFile, InterpolatesDecibelsAndPhaseInLogFrequency) {
    const Curve c = read("100 80 10\n200 90 30\n");
    ASSERT_EQ(c.result, MeasuredReadResult::Loaded);
    int checked = 0;
    for (std::size_t i = 0; i < grid.size(); ++i) {
        if (grid[i] < 100.0 || grid[i] >= 200.0) continue;
        const double t = std::log(grid[i] / 100.0) / std::log(2.0);
        const Complex expected = splValue((1 - t) * 80 + t * 90, (1 - t) * 10 + t * 30);
        EXPECT_NEAR(c.v[i].real(), expected.real(), 1e-9 * std::abs(expected)) << grid[i];
        EXPECT_NEAR(c.v[i].imag(), expected.imag(), 1e-9 * std::abs(expected)) << grid[i];
        ++checked;
    }
    EXPECT_GT(checked, 30);
}

TEST_F(MeasuredFile, ImpedanceInterpolatesOhms) {
    const Curve c = read("100 6 -20\n400 30 40\n", MeasuredKind::Impedance);
    ASSERT_EQ(c.result, MeasuredReadResult::Loaded);
    for (std::size_t i = 0; i < grid.size(); ++i) {
        if (grid[i] < 100.0 || grid[i] >= 400.0) continue;
        const double t = std::log(grid[i] / 100.0) / std::log(4.0);
        EXPECT_NEAR(std::abs(c.v[i]), (1 - t) * 6 + t * 30, 1e-9) << grid[i];
        // Opposite signs: the nearer point's phase, never a pass through zero.
        EXPECT_NEAR(degreesOf(c.v[i]), t >= 0.5 ? 40.0 : -20.0, 1e-9) << grid[i];
    }
}

// Grid frequencies that are file frequencies give exactly those lines, also when the file
// holds many lines between two grid points.
TEST_F(MeasuredFile, GridFrequencyOnAFileLineGivesThatLine) {
    std::ostringstream text;
    text.precision(17);
    std::vector<std::pair<double, double>> lines; // grid index -> dB, degrees
    for (std::size_t i = 0; i < grid.size(); ++i) {
        const double db = 60.0 + 20.0 * std::sin(static_cast<double>(i) * 0.37);
        const double deg = 170.0 * std::cos(static_cast<double>(i) * 0.91);
        text << grid[i] << '\t' << db << '\t' << deg << '\n';
        // Three lines in between, far off the curve through the grid lines.
        if (i + 1 < grid.size()) {
            for (int k = 1; k <= 3; ++k) {
                const double fk = grid[i] + (grid[i + 1] - grid[i]) * k / 4.0;
                text << fk << '\t' << (k == 2 ? -100.0 : 150.0) << '\t' << (k == 2 ? -5.0 : 5.0) << '\n';
            }
        }
        lines.emplace_back(db, deg);
    }
    text << "30000 0 0\n";
    const Curve c = read(text.str());
    ASSERT_EQ(c.result, MeasuredReadResult::Loaded);
    for (std::size_t i = 0; i < grid.size(); ++i)
        EXPECT_EQ(c.v[i], splValue(lines[i].first, lines[i].second)) << i;
}

// Between two grid points the neighbours of the grid frequency count, not lines further off.
TEST_F(MeasuredFile, InterpolatesBetweenTheAdjacentLines) {
    const std::vector<double> g{100.0, 200.0};
    const std::string path = writeText(dir, "dense.txt", "150 0 0\n190 40 0\n210 60 0\n250 0 0\n");
    const Curve c = readCurve(path, MeasuredKind::Spl, g);
    ASSERT_EQ(c.result, MeasuredReadResult::Loaded);
    EXPECT_EQ(c.v[0], splValue(0, 0));
    const double t = std::log(200.0 / 190.0) / std::log(210.0 / 190.0);
    EXPECT_NEAR(dbOf(c.v[1]), (1 - t) * 40 + t * 60, 1e-9);
}

TEST_F(MeasuredFile, FrequenciesThatDoNotRiseStayFiniteAndInRange) {
    const Curve c =
        read("100 70 10\n300 80 -10\n200 60 20\n200 75 0\n400 65 30\n150 90 -40\n1000 72 5\n999 71 6\n");
    ASSERT_EQ(c.result, MeasuredReadResult::Loaded);
    ASSERT_TRUE(allFinite(c.v));
    for (const Complex& v : c.v) {
        EXPECT_GE(dbOf(v), 60.0 - 1e-9);
        EXPECT_LE(dbOf(v), 90.0 + 1e-9);
    }
}

TEST_F(MeasuredFile, HostileNumbersLeaveEveryValueFinite) {
    for (MeasuredKind kind : {MeasuredKind::Spl, MeasuredKind::Impedance}) {
        const Curve c = read("1e999 80 0\nnan 80 0\n-50 80 0\n10 1e999 1e999\n20 80 1e300\n30 1e308 90\n"
                             "40 -1e308 -90\n50 1.7e308 45\n60 1.7976931348623157e308 45\n70 5e-324 1e-300\n"
                             "70.0000000000001 6 -1e-300\n",
                             kind);
        ASSERT_EQ(c.result, MeasuredReadResult::Loaded);
        EXPECT_TRUE(allFinite(c.v));
    }
}

// A line is read in pieces of 199 characters: a number cut by the piece end reads as two.
TEST_F(MeasuredFile, LongLinesAreReadInPiecesOf199) {
    const std::string split = std::string(197, ' ') + "12345 70 0\n";
    EXPECT_EQ(read(split).v, read("12\n345 70 0\n").v);
    const std::string two = "100 60 0" + std::string(191, ' ') + "200 70 0\n";
    EXPECT_EQ(read(two).v, read("100 60 0\n200 70 0\n").v);
    const std::string comment = "* " + std::string(1000, 'x') + "\n100 60 0\n200 70 0\n";
    EXPECT_EQ(read(comment).v, read("100 60 0\n200 70 0\n").v);
}

TEST_F(MeasuredFile, OpenFailuresAndEmptyGrid) {
    EXPECT_EQ(readCurve(dir.file("missing.frd"), MeasuredKind::Spl, grid).result,
              MeasuredReadResult::CannotOpen);
    EXPECT_EQ(readCurve("", MeasuredKind::Spl, grid).result, MeasuredReadResult::CannotOpen);
    EXPECT_EQ(readCurve(dir.path(), MeasuredKind::Spl, grid).result, MeasuredReadResult::CannotOpen);
    // An endless device is refused rather than read forever.
    if (std::filesystem::exists("/dev/zero")) {
        EXPECT_EQ(readCurve("/dev/zero", MeasuredKind::Spl, grid).result, MeasuredReadResult::CannotOpen);
    }
    // An empty grid loads nothing.
    const std::string path = writeText(dir, "a.frd", kBare);
    Complex out[1] = {Complex(7, 7)};
    EXPECT_EQ(readMeasuredCurve(path, MeasuredKind::Spl, grid.data(), 0, out), MeasuredReadResult::NoData);
    EXPECT_EQ(readMeasuredCurve(path, MeasuredKind::Spl, grid.data(), -3, out), MeasuredReadResult::NoData);
    EXPECT_EQ(out[0], Complex(7, 7));
}

// Reading ends after kMaxMeasuredFileBytes: a line beyond is never reached.
TEST_F(MeasuredFile, HugeFilesAreCutOff) {
    const std::string path = dir.file("huge.frd");
    {
        std::ofstream out(path, std::ios::binary);
        out << "* header\n";
        out.seekp(static_cast<std::streamoff>(kMaxMeasuredFileBytes)); // a sparse run of NULs
        out << "\n100 80 0\n200 80 0\n";
    }
    EXPECT_EQ(readCurve(path, MeasuredKind::Spl, grid).result, MeasuredReadResult::NoData);
    std::filesystem::resize_file(path, kMaxMeasuredFileBytes - 100);
    {
        std::ofstream out(path, std::ios::binary | std::ios::app);
        out << "\n100 80 0\n200 80 0\n";
    }
    EXPECT_EQ(readCurve(path, MeasuredKind::Spl, grid).result, MeasuredReadResult::Loaded);
}

TEST_F(MeasuredFile, EveryTruncationReadsSafely) {
    const std::string full = "* comment\r\nFreq dB Phase\r\n20.5\t80.25\t10\r\n100,5 86e0 -20\r\n"
                             "1000 90 -179.5\r\n1e4 84 179\r\n\t\t\r\n";
    int loaded = 0;
    for (std::size_t len = 0; len <= full.size(); ++len) {
        const Curve c = read(full.substr(0, len));
        ASSERT_NE(c.result, MeasuredReadResult::CannotOpen) << len;
        if (c.result == MeasuredReadResult::Loaded) {
            ++loaded;
            EXPECT_TRUE(allFinite(c.v)) << len;
        }
    }
    EXPECT_GT(loaded, 0);
}

TEST_F(MeasuredFile, RandomBytesReadSafely) {
    using namespace std::string_literals;
    const std::string alphabet = "0123456789.-+eE \t\r\n,*abc\xb0\xff\0"s;
    std::mt19937 rng(12345);
    for (int round = 0; round < 300; ++round) {
        std::string text(rng() % 700, ' ');
        for (char& ch : text)
            ch = alphabet[rng() % alphabet.size()];
        const Curve c = read(text, round % 2 == 0 ? MeasuredKind::Spl : MeasuredKind::Impedance);
        ASSERT_NE(c.result, MeasuredReadResult::CannotOpen);
        if (c.result == MeasuredReadResult::Loaded) {
            EXPECT_TRUE(allFinite(c.v)) << round;
        }
    }
}

// ---- the measurement files of other programs ----

std::string sharedMeasuredDir() {
    return std::string(HARLOX_SHARED_DATA_DIR) + "/measured";
}

struct FileLine {
    double f;
    double db;
    double deg;
};

// An independent reading of a file: whole lines, strtod in the C locale.
std::vector<FileLine> referenceLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<FileLine> out;
    std::string line;
    double magnitude = 0.0;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream fields(line);
        std::string a, b, c;
        fields >> a >> b >> c;
        const double f = a.empty() ? 0.0 : std::strtod(a.c_str(), nullptr);
        if (!b.empty()) magnitude = std::strtod(b.c_str(), nullptr);
        const double deg = c.empty() ? 0.0 : std::strtod(c.c_str(), nullptr);
        if (f > 0.0) out.push_back({f, magnitude, deg});
    }
    return out;
}

Complex lineValue(MeasuredKind kind, double magnitude, double deg) {
    if (kind == MeasuredKind::Spl) return splValue(magnitude, deg);
    const double p = deg * kPi / 180.0;
    return {magnitude * std::cos(p), magnitude * std::sin(p)};
}

// The resampling rule restated on a rising file: the two lines around each grid frequency.
std::vector<Complex> referenceCurve(const std::vector<FileLine>& lines, MeasuredKind kind,
                                    const std::vector<double>& grid) {
    std::vector<Complex> out;
    for (double f : grid) {
        if (f < lines.front().f) {
            out.push_back(lineValue(kind, lines.front().db, lines.front().deg));
            continue;
        }
        const auto above = std::upper_bound(lines.begin(), lines.end(), f,
                                            [](double x, const FileLine& l) { return x < l.f; });
        if (above == lines.end()) {
            out.push_back(out.back());
            continue;
        }
        const FileLine& lo = *(above - 1);
        const FileLine& hi = *above;
        const double t = (std::log(f) - std::log(lo.f)) / (std::log(hi.f) - std::log(lo.f));
        const double m = (1 - t) * lo.db + t * hi.db;
        const double loP = lo.deg * kPi / 180.0;
        const double hiP = hi.deg * kPi / 180.0;
        const double p = loP * hiP > 0 ? (1 - t) * loP + t * hiP : (t >= 0.5 ? hiP : loP);
        const double a = kind == MeasuredKind::Spl ? std::pow(10.0, m / 20.0) : m;
        out.emplace_back(a * std::cos(p), a * std::sin(p));
    }
    return out;
}

// Every file of the shared folder, impedance for .zma files.
TEST(RealMeasuredFiles, ReadLikeTheReferenceAndGridsOnFileFrequenciesGiveTheLines) {
    if (!std::filesystem::is_directory(sharedMeasuredDir())) GTEST_SKIP() << "no shared data folder";
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(sharedMeasuredDir())) {
        const std::string path = entry.path().string();
        SCOPED_TRACE(path);
        const MeasuredKind kind =
            entry.path().extension() == ".zma" ? MeasuredKind::Impedance : MeasuredKind::Spl;
        const std::vector<FileLine> lines = referenceLines(path);
        ASSERT_GT(lines.size(), 10u);
        ++files;
        for (const std::vector<double>& grid : {filterGrid(), boxGrid()}) {
            const Curve c = readCurve(path, kind, grid);
            ASSERT_EQ(c.result, MeasuredReadResult::Loaded);
            ASSERT_TRUE(allFinite(c.v));
            const std::vector<Complex> expected = referenceCurve(lines, kind, grid);
            for (std::size_t i = 0; i < grid.size(); ++i) {
                const double tol = 1e-12 * std::abs(expected[i]) + 1e-300;
                EXPECT_NEAR(c.v[i].real(), expected[i].real(), tol) << grid[i] << " Hz";
                EXPECT_NEAR(c.v[i].imag(), expected[i].imag(), tol) << grid[i] << " Hz";
            }
        }

        // A grid made of the file's own frequencies reproduces the lines (all but the last,
        // which only bounds the interpolation).
        const std::size_t step = lines.size() / 400 + 1;
        std::vector<double> grid;
        std::vector<const FileLine*> picked;
        for (std::size_t k = 0; k + 1 < lines.size() && grid.size() < 500; k += step) {
            grid.push_back(lines[k].f);
            picked.push_back(&lines[k]);
        }
        const Curve c = readCurve(path, kind, grid);
        ASSERT_EQ(c.result, MeasuredReadResult::Loaded);
        for (std::size_t i = 0; i < grid.size(); ++i) {
            const Complex expected = lineValue(kind, picked[i]->db, picked[i]->deg);
            EXPECT_DOUBLE_EQ(c.v[i].real(), expected.real()) << grid[i];
            EXPECT_DOUBLE_EQ(c.v[i].imag(), expected.imag()) << grid[i];
        }
    }
    EXPECT_EQ(files, 27);
}

// Values read straight off the files.
TEST(RealMeasuredFiles, SpotValues) {
    if (!std::filesystem::is_directory(sharedMeasuredDir())) GTEST_SKIP() << "no shared data folder";
    const std::string d = sharedMeasuredDir() + "/";

    // The filter grid starts at 5 Hz, VituixCAD's first line: "5.00000    -33.905  -175.932".
    const Curve vituix = readCurve(d + "VituixFR.txt", MeasuredKind::Spl, filterGrid());
    ASSERT_EQ(vituix.result, MeasuredReadResult::Loaded);
    EXPECT_EQ(vituix.v[0], splValue(-33.905, -175.932));

    // The tweeter starts at 500 Hz: everything below carries "500\t62.86\t-106.5".
    const Curve tweeter = readCurve(d + "ND25FA-4@0.frd", MeasuredKind::Spl, boxGrid());
    ASSERT_EQ(tweeter.result, MeasuredReadResult::Loaded);
    const std::vector<double> g = boxGrid();
    for (std::size_t i = 0; i < g.size() && g[i] < 500.0; ++i)
        EXPECT_EQ(tweeter.v[i], splValue(62.86, -106.5));
}

} // namespace
} // namespace harlox
