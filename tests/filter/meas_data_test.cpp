#include "filter/meas_data.h"

#include "core/constants.h"
#include "core/program_dir.h"
#include "scripted_ui_host.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace harlox {
namespace {

using namespace std::string_literals;

// The filter grid, built here so that these tests stand on their own.
class GridOwner : public TMeasDataOwner {
public:
    GridOwner() {
        for (int i = 0; i < 500; ++i) {
            f.push_back(5.0 * std::pow(10.0, i * std::log10(4000.0) / 499));
            lnf.push_back(std::log(f.back()));
        }
    }
    [[nodiscard]] MeasuredGrid MeasGrid() const override { return {f.data(), lnf.data(), 500}; }
    void MeasDataChanged(TMeasData&) override { ++changes; }

    std::vector<double> f, lnf;
    int changes = 0;
};

Complex lineValue(MeasuredKind kind, double magnitude, double degrees) {
    const double a = kind == MeasuredKind::Spl ? std::pow(10.0, magnitude / 20.0) : magnitude;
    const double p = degrees * kPi / 180.0;
    return {a * std::cos(p), a * std::sin(p)};
}

double magnitudeOf(MeasuredKind kind, Complex v) {
    return kind == MeasuredKind::Spl ? 20.0 * std::log10(std::abs(v)) : std::abs(v);
}

bool allFinite(const CVector& v) {
    return std::all_of(v.begin(), v.end(),
                       [](Complex c) { return std::isfinite(c.real()) && std::isfinite(c.imag()); });
}

std::string exact(double x) {
    char b[40];
    std::snprintf(b, sizeof b, "%.17g", x);
    return b;
}

class MeasData : public ::testing::Test {
protected:
    void SetUp() override {
        oldProgramDir_ = programDirectory();
        setProgramDirectory(dir.path());
    }
    void TearDown() override { setProgramDirectory(oldProgramDir_); }

    // Writes `text` below the program directory and reads it by its stored (relative) name.
    TMeasData& read(const std::string& text, MeasuredKind kind = MeasuredKind::Spl,
                    const std::string& name = "curve.frd") {
        std::ofstream(dir.file(name), std::ios::binary | std::ios::trunc) << text;
        curve.emplace(owner, kind);
        curve->SetFileName(name);
        curve->ReadCurve(&ui);
        return *curve;
    }

    test::TempDir dir;
    GridOwner owner;
    test::ScriptedUiHost ui;
    std::optional<TMeasData> curve;
    const std::vector<double>& g = owner.f;

private:
    std::string oldProgramDir_;
};

TEST_F(MeasData, HeadersCommentsAndColumnTitlesReadLikeABareFile) {
    const std::string bare = "20 80 10\n100 86 20\n1000 90 -30\n10000 84 -90\n";
    const CVector expected = read(bare).Values();
    ASSERT_TRUE(curve->Loaded());
    for (const std::string& text :
         {"* LEAP 5 export\r\n* Driver: test\r\n" + bare, "Freq[Hz]     dBSPL  Phase[Deg]\n" + bare,
          "\"Sensitivity\"\n  \"Hz\"  \"Mag (dB)\"  \"deg\"\n" + bare, "\n\t\t\n" + bare + "\t\t"}) {
        EXPECT_TRUE(read(text).Loaded()) << text;
        EXPECT_EQ(curve->Values(), expected) << text;
        EXPECT_EQ(curve->LastMessage(), "") << text;
    }
    EXPECT_TRUE(ui.messages.empty());

    // Below the first line the first value, above the last grid point below 10 kHz that point's.
    const auto last = static_cast<int>(std::lower_bound(g.begin(), g.end(), 1e4) - g.begin() - 1);
    for (int i = 0; g[static_cast<std::size_t>(i)] < 20.0; ++i)
        EXPECT_EQ(expected[i], lineValue(MeasuredKind::Spl, 80, 10)) << i;
    for (int i = last + 1; i < 500; ++i)
        EXPECT_EQ(expected[i], expected[last]) << i;
    EXPECT_NE(expected[last], expected[last - 1]);
}

TEST_F(MeasData, EdgesOfTheRangeAndOfTheColumns) {
    // Starting above 20 kHz: every point holds the first line.
    read("25000 70 30\n30000 60 40\n");
    ASSERT_TRUE(curve->Loaded());
    for (const Complex& v : curve->Values())
        EXPECT_EQ(v, lineValue(MeasuredKind::Spl, 70, 30));

    // Two columns: phase 0 everywhere, loaded, with a notice.
    read("Frequency(Hz),   Magnitude(dB)\n    20.5, 80\n  2000, 90\n");
    ASSERT_TRUE(curve->Loaded());
    for (const Complex& v : curve->Values())
        EXPECT_EQ(v.imag(), 0.0);
    EXPECT_NE(curve->LastMessage().find("has no phase column: the phase is 0"), std::string::npos);

    // A grid frequency equal to a file frequency gets exactly that line.
    read(exact(g[100]) + " 71.5 -20\n" + exact(g[200]) + " 88.25 35\n" + exact(g[300]) + " 60 10\n");
    EXPECT_EQ(curve->Values()[100], lineValue(MeasuredKind::Spl, 71.5, -20));

    // Across +179 / -179 degrees the nearer line's phase, never a pass through 0.
    read("100 80 179\n200 80 -179\n");
    for (std::size_t i = 0; i < g.size(); ++i) {
        if (g[i] <= 100.0 || g[i] >= 200.0) continue;
        const double t = std::log(g[i] / 100.0) / std::log(2.0);
        EXPECT_NEAR(std::arg(curve->Values()[static_cast<int>(i)]) * 180 / kPi, t >= 0.5 ? -179 : 179, 1e-6);
    }

    // Impedance interpolates ohms; a decimal comma ends the number.
    read("100 1,5 0\n", MeasuredKind::Impedance, "z.zma");
    for (const Complex& v : curve->Values())
        ASSERT_EQ(v, Complex(1.0, 0.0));
    read("100 6 -20\n400 30 -40\n", MeasuredKind::Impedance, "z.zma");
    for (std::size_t i = 0; i < g.size(); ++i) {
        const double t = std::log(g[i] / 100.0) / std::log(4.0);
        if (t < 0.0 || t >= 1.0) continue;
        const Complex e = lineValue(MeasuredKind::Impedance, (1 - t) * 6 + t * 30, (1 - t) * -20 + t * -40);
        EXPECT_NEAR(std::abs(curve->Values()[static_cast<int>(i)] - e), 0.0, 1e-12);
    }
}

// Between two grid points a dense file's middle lines are passed over: the value comes from
// the first line above the previous grid frequency and the first line above this one. The
// box side takes the last line at or below the grid frequency instead.
TEST_F(MeasData, LinesBetweenGridPointsArePassedOver) {
    const double a = g[99] * 1.002, b = g[99] * 1.006, c = g[99] * 1.01, d = g[100] * 1.005;
    ASSERT_LT(c, g[100]);
    const std::string text = exact(a) + " 60 10\n" + exact(b) + " 90 50\nnot a line\n" + exact(c) +
                             " 90 50\n" + exact(d) + " 70 20\n";
    read(text);
    ASSERT_TRUE(curve->Loaded());
    const double t = std::log(g[100] / a) / std::log(d / a);
    const Complex literal = lineValue(MeasuredKind::Spl, (1 - t) * 60 + t * 70, (1 - t) * 10 + t * 20);
    EXPECT_NEAR(std::abs(curve->Values()[100] - literal), 0.0, 1e-9 * std::abs(literal));
    for (int i = 101; i < 500; ++i)
        EXPECT_EQ(curve->Values()[i], curve->Values()[100]);

    // The box side reads with the same steps.
    std::vector<Complex> box(500);
    ASSERT_EQ(readMeasuredCurve(dir.file("curve.frd"), MeasuredKind::Spl, g.data(), 500, box.data()),
              MeasuredReadResult::Loaded);
    EXPECT_EQ(box[100], curve->Values()[100]);
}

TEST_F(MeasData, NamesOpenFailuresAndTheFileSelector) {
    // A name without a folder is opened below the program directory; a failure names the
    // full path tried, keeps the name and leaves the curve not loaded.
    EXPECT_TRUE(read("100 80 0\n", MeasuredKind::Spl, "below.frd").Loaded());
    curve->SetFileName("missing.frd");
    EXPECT_FALSE(curve->ReadCurve(&ui));
    EXPECT_FALSE(curve->Loaded());
    EXPECT_EQ(curve->FileName(), "missing.frd");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().caption, "Measured data");
    EXPECT_EQ(ui.lastMessage().text, "Could not open file : " + programDirectory() +
                                         "missing.frd\nCheck if path and filename is correct.");
    EXPECT_EQ(ui.lastMessage().icon, MessageIcon::Exclamation);
    EXPECT_EQ(ui.lastMessage().buttons, MessageButtons::Ok);
    curve->ClearCurve();
    EXPECT_FALSE(curve->ReadCurve(&ui)); // no name: nothing shown
    EXPECT_EQ(ui.messages.size(), 1u);
    curve->SetFileName(std::string(400, 'x'));
    EXPECT_EQ(curve->FileName().size(), 270u);

    // Cancel changes nothing; a confirmed choice is stored relative, read and reported.
    TMeasData z(owner, MeasuredKind::Impedance);
    std::ofstream(dir.file("z.zma")) << "10 6 0\n1000 30 45\n";
    ui.files = {std::nullopt, dir.file("z.zma")};
    EXPECT_FALSE(z.SelectFile(ui));
    EXPECT_EQ(owner.changes, 0);
    EXPECT_TRUE(z.SelectFile(ui));
    EXPECT_EQ(z.FileName(), "z.zma");
    EXPECT_TRUE(z.Loaded());
    EXPECT_EQ(owner.changes, 1);
    EXPECT_EQ(ui.fileRequests.back().filter, TMeasData::kImpedanceFilter);
    EXPECT_EQ(z.Selector().defaultExtension, "zma");
    EXPECT_EQ(ui.messages.size(), 1u);

    // A file that loads with a caveat tells the user who chose it.
    std::ofstream(dir.file("mag.frd")) << "Frequency(Hz),   Magnitude(dB)\n 20, 80\n";
    TMeasData spl(owner, MeasuredKind::Spl);
    ui.files = {dir.file("mag.frd")};
    EXPECT_TRUE(spl.SelectFile(ui));
    EXPECT_TRUE(spl.Loaded());
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.lastMessage().icon, MessageIcon::Information);
    EXPECT_EQ(ui.lastMessage().text, spl.LastMessage());
}

TEST_F(MeasData, HostileFilesAreRefusedWithTheReasonOrReadFinite) {
    std::mt19937 random(7);
    std::string garbage(5000, '\0');
    for (char& ch : garbage)
        ch = static_cast<char>(random());
    std::string utf16;
    for (char ch : "100\t80\t10\r\n200\t82\t20\r\n"s)
        utf16 += std::string{ch, '\0'};

    struct Case {
        std::string text;
        std::string message; // empty: loaded
    };
    for (const Case& c :
         {Case{"", "The file curve.frd is empty."},
          Case{"\n\r\n",
               "No line of curve.frd begins with a frequency above 0 Hz.\nEach data line must begin with "
               "the frequency in Hz, then the magnitude and the phase in degrees, separated by blanks "
               "or tabs."},
          Case{"Freq dB\nnan nan nan\n-20 80 0\ninf 80 0\n", "No line of curve.frd begins"},
          Case{"1 80 0\n4.5 82 0\n5 80 0\n",
               "All frequencies in curve.frd (the highest is 5 Hz) lie at or below 5 Hz, "
               "the lowest frequency calculated."},
          Case{garbage, "The file curve.frd is not a plain text file"},
          Case{utf16, "The file curve.frd is not a plain text file"},
          Case{"100\n200\n", "holds frequencies only"},
          Case{"Freq, Phase(deg)\n100, 20\n200, 30\n",
               "holds a phase column only (the phase half of a split"},
          Case{"100 80 10", ""},
          Case{"100 nan 45\n200 1e400 1e400\n300 1e308 1e308\n400 -1e308 90\n1e999 0 0\n", ""},
          // Read in pieces of 199 characters: the first piece is a frequency without a magnitude.
          Case{std::string(1000, '7') + " 80 0\n", "holds frequencies only"},
          Case{"20 " + std::string(300, '9') + " 0\n", ""}}) {
        ui.messages.clear();
        read(c.text);
        EXPECT_EQ(curve->Loaded(), c.message.empty()) << c.text.substr(0, 40);
        EXPECT_TRUE(allFinite(curve->Values())) << c.text.substr(0, 40);
        if (c.message.empty()) {
            EXPECT_TRUE(ui.messages.empty());
            continue;
        }
        EXPECT_NE(curve->LastMessage().find(c.message), std::string::npos) << curve->LastMessage();
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.lastMessage().text, curve->LastMessage());
        EXPECT_EQ(ui.lastMessage().caption, "Measured data");
    }

    // A real file cut at every length never crashes and stays finite.
    const std::string path =
        std::string(HARLOX_SHARED_DATA_DIR) + "/measured/SigmaStudioMLSSA_ExampleFile.txt";
    std::ifstream in(path, std::ios::binary);
    const std::string full((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (std::size_t len = 0; len < full.size(); len += 7) {
        read(full.substr(0, len));
        EXPECT_TRUE(allFinite(curve->Values())) << len;
    }
}

// An independent reading of a file's lines and the resampling steps, written plainly.
struct FileLine {
    double f, m, degrees;
};

std::vector<FileLine> plainLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<FileLine> lines;
    double previous = 0.0;
    std::string text;
    std::istringstream rows(all);
    while (std::getline(rows, text)) {
        if (!text.empty() && text.back() == '\r') text.pop_back();
        std::vector<std::string> fields;
        std::istringstream split(text);
        for (std::string field; split >> field;)
            fields.push_back(field);
        FileLine l{0.0, previous, 0.0};
        if (!fields.empty()) l.f = std::max(0.0, std::strtod(fields[0].c_str(), nullptr));
        if (fields.size() >= 2) l.m = std::strtod(fields[1].c_str(), nullptr);
        if (fields.size() >= 3) l.degrees = std::strtod(fields[2].c_str(), nullptr);
        previous = l.m;
        lines.push_back(l);
    }
    return lines;
}

std::optional<std::vector<Complex>> plainResample(const std::vector<FileLine>& lines, MeasuredKind kind,
                                                  const std::vector<double>& g) {
    std::vector<Complex> out;
    std::size_t k = 0;
    while (k < lines.size() && lines[k].f == 0.0)
        ++k;
    if (k == lines.size()) return std::nullopt;
    FileLine cur = lines[k], prev = cur;
    std::size_t i = 0;
    for (; i < g.size() && g[i] < cur.f; ++i)
        out.push_back(lineValue(kind, cur.m, cur.degrees));
    for (; i < g.size(); ++i) {
        if (cur.f <= g[i]) {
            prev = cur;
            while (k < lines.size() && !(lines[k].f > g[i]))
                ++k;
            if (k == lines.size()) break;
            cur = lines[k];
        }
        const double t = (std::log(g[i]) - std::log(prev.f)) / (std::log(cur.f) - std::log(prev.f));
        const double deg = prev.degrees * cur.degrees > 0 ? (1 - t) * prev.degrees + t * cur.degrees
                           : t >= 0.5                     ? cur.degrees
                                                          : prev.degrees;
        out.push_back(lineValue(kind, (1 - t) * prev.m + t * cur.m, deg));
    }
    if (out.empty()) return std::nullopt;
    while (out.size() < g.size())
        out.push_back(out.back());
    return out;
}

// Every real file of the shared data folder, on the filter grid, against the plain reading.
TEST_F(MeasData, EveryRealFileReadsOntoTheFilterGridOrIsRefusedWithTheReason) {
    const std::string folder = std::string(HARLOX_SHARED_DATA_DIR) + "/measured/";
    if (!std::filesystem::is_directory(folder)) GTEST_SKIP() << "no shared data folder";
    const std::string noPhase = "has no phase column";
    const std::vector<std::pair<std::string, std::string>> special = {
        {"frsArtaPhase.csv", "holds a phase column only (the phase half of a split magnitude/phase export)"},
        {"frs1ArtaMag.csv", noPhase},
        {"altavoz.frd", noPhase},
        {"sample.frd", "holds a group delay, not a phase in degrees"}};
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        ++files;
        const MeasuredKind kind =
            entry.path().extension() == ".zma" ? MeasuredKind::Impedance : MeasuredKind::Spl;
        TMeasData c(owner, kind);
        ui.messages.clear();
        c.SetFileName(folder + name);
        const bool loaded = c.ReadCurve(&ui);
        std::string expected;
        for (const auto& [n, m] : special)
            if (n == name) expected = m;
        EXPECT_EQ(c.LastMessage().empty(), expected.empty()) << name << ": " << c.LastMessage();
        if (!expected.empty()) { EXPECT_NE(c.LastMessage().find(expected), std::string::npos) << name; }
        if (name == "frsArtaPhase.csv") {
            EXPECT_FALSE(loaded);
            ASSERT_EQ(ui.messages.size(), 1u);
            EXPECT_EQ(ui.lastMessage().text, c.LastMessage());
            continue;
        }
        ASSERT_TRUE(loaded) << name << ": " << c.LastMessage();
        EXPECT_TRUE(ui.messages.empty()) << name; // notices wait for the user's own choice

        const std::vector<FileLine> lines = plainLines(folder + name);
        const auto plain = plainResample(lines, kind, g);
        ASSERT_TRUE(plain) << name;
        for (int i = 0; i < 500; ++i) {
            const Complex v = c.Values()[i];
            const Complex e = (*plain)[static_cast<std::size_t>(i)];
            ASSERT_NEAR(std::abs(v - e), 0.0, 1e-9 * std::abs(e) + 1e-300) << name << " at " << g[i];
            // A column mix-up the plain reading shares would leave these ranges.
            const double m = magnitudeOf(kind, v);
            const bool plausible =
                kind == MeasuredKind::Impedance ? m > 1.0 && m < 100.0 : m > -100.0 && m < 130.0;
            EXPECT_TRUE(plausible) << name << " at " << g[i] << ": " << m;
        }
        if (name == "sample.frd") { EXPECT_LT(std::abs(std::arg(c.Values()[250])), 1e-3); }
    }
    EXPECT_EQ(files, 27);
}

} // namespace
} // namespace harlox
