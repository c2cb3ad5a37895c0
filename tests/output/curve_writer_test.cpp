#include "output/curve_writer.h"

#include "core/constants.h"
#include "core/measured_file.h"
#include "core/ui_host.h"
#include "scripted_ui_host.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace harlox {
namespace {

using test::ScriptedUiHost;
using test::TempDir;

std::tm fixedTime() {
    std::tm t{};
    t.tm_year = 124; // 2024
    t.tm_mon = 0;
    t.tm_mday = 3;
    t.tm_wday = 3;
    t.tm_hour = 9;
    t.tm_min = 7;
    t.tm_sec = 5;
    return t;
}

const double kX[] = {20.0, 200.5, 2000.0};
const double kY1[] = {85.123456789, -3.5, 0.0};
const double kY2[] = {-45.25, 4e-7, 179.9999996};

CurveExport splCurve() {
    return makeCurveExport(ExportCurve::Spl, 3, kX, kY1, kY2);
}

std::string fileText(const std::string& path) {
    const std::vector<std::uint8_t> bytes = test::readAll(path);
    return {bytes.begin(), bytes.end()};
}

std::size_t filesIn(const std::string& dir) {
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()));
}

// ---- formats by extension ----

TEST(FormatFromPath, ComparesTheUpperCasedExtension) {
    using E = std::pair<const char*, std::optional<CurveFormat>>;
    const std::optional<CurveFormat> none;
    for (const auto& [path, format] :
         {E{"/a/b.frd", CurveFormat::Frd}, E{"B.FRD", CurveFormat::Frd}, E{"b.Zma", CurveFormat::Zma},
          E{"b.Gdt", CurveFormat::Gdt}, E{"b.fmp", CurveFormat::Fmp}, E{"b.fm", CurveFormat::Fm},
          E{"b.FM", CurveFormat::Fm}, E{"b.bak.fm", CurveFormat::Fm}, E{"C:\\data\\b.zMa", CurveFormat::Zma},
          E{"b.fmx", none}, E{"b.frdx", none}, E{"b.fr", none}, E{"b.fm.bak", none}, E{"b.txt", none},
          E{"b", none}, E{"b.", none}, E{"dir.frd/b", none}, E{"", none}})
        EXPECT_EQ(curveFormatFromPath(path), format) << '"' << path << '"';
}

// ---- file texts ----

TEST(CurveText, IsByteExact) {
    const std::string rows = " 20.000000\t85.123457\t-45.250000\r\n"
                             " 200.500000\t-3.500000\t0.000000\r\n"
                             " 2000.000000\t0.000000\t180.000000\r\n";
    const std::string title = "Acoustic on Axis Free Air Response\r\n";
    const std::string header = "   Hz\t\tdB\t\tdeg\r\n";
    const std::string gdt = "* LEAP Version 4.00, Export Graph Data table (GDT) Format\r\n"
                            "* Wed Jan  3 09:07:05 2024\r\n"
                            "* DGL Library Name : Harlox\r\n"
                            "* DGL Entry Number : 1, Name : ---\r\n"
                            "* Number of Points : 3\r\n"
                            "*  Graph 1 > Acoustic on Axis Free Air Response\r\n"
                            "*    Hz\t\tdB\t\tdeg\r\n" +
                            rows + "* End of LEAP GDT File.\r\n";
    const CurveExport data = splCurve();
    EXPECT_EQ(curveFileText(data, CurveFormat::Frd, fixedTime()), header + rows);
    EXPECT_EQ(curveFileText(data, CurveFormat::Gdt, fixedTime()), gdt);
    EXPECT_EQ(curveFileText(data, CurveFormat::Fmp, fixedTime()), title + header + rows);
    EXPECT_EQ(curveFileText(data, CurveFormat::Fm, fixedTime()), title + "   Hz\t\tdB\r\n"
                                                                         " 20.000000\t85.123457\r\n"
                                                                         " 200.500000\t-3.500000\r\n"
                                                                         " 2000.000000\t0.000000\r\n");
    CurveExport noPhase = splCurve();
    noPhase.y2 = nullptr;
    EXPECT_EQ(curveFileText(noPhase, CurveFormat::Zma, fixedTime()),
              header + " 20.000000\t85.123457\t0.000000\r\n"
                       " 200.500000\t-3.500000\t0.000000\r\n"
                       " 2000.000000\t0.000000\t0.000000\r\n");
}

TEST(CurveText, GroupDelayCarriesZeroPhaseInThreeColumnFormats) {
    const double delay[] = {1.5, 0.25, 0.0};
    const CurveExport data = makeCurveExport(ExportCurve::GroupDelay, 3, kX, delay, nullptr);
    EXPECT_EQ(curveFileText(data, CurveFormat::Fmp, fixedTime()), "Group delay\r\n"
                                                                  "   Hz\t\tms\r\n"
                                                                  " 20.000000\t1.500000\t0.000000\r\n"
                                                                  " 200.500000\t0.250000\t0.000000\r\n"
                                                                  " 2000.000000\t0.000000\t0.000000\r\n");
}

// Numbers are printf's "%f" with a decimal point, rounding and signs included.
TEST(CurveText, NumbersMatchPrintf) {
    using L = std::numeric_limits<double>;
    const std::vector<double> values{0.0000005, 0.0000015,       1.0000005,           2.5e-7,         -4e-7,
                                     -0.0,      1e15 + 0.5,      123456789.123456789, -987.654321987, 1e300,
                                     L::max(),  L::denorm_min(), L::infinity(),       -L::infinity()};
    CurveExport data;
    data.pointCount = static_cast<int>(values.size());
    data.x = values.data();
    data.y1 = values.data();
    data.y2 = values.data();
    std::string expected = "\r\n";
    for (double v : values) {
        std::vector<char> line(1200);
        std::snprintf(line.data(), line.size(), " %f\t%f\t%f\r\n", v, v, v);
        expected += line.data();
    }
    EXPECT_EQ(curveFileText(data, CurveFormat::Frd, fixedTime()), expected);
}

TEST(CurveText, GdtPointCountEqualsDataLines) {
    std::vector<double> x(500);
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<double>(i + 1);
    for (int n : {0, 1, 3, 499, 500}) {
        const CurveExport data = makeCurveExport(ExportCurve::Spl, n, x.data(), x.data(), nullptr);
        std::istringstream text(curveFileText(data, CurveFormat::Gdt, fixedTime()));
        int dataLines = 0;
        int stated = -1;
        std::string line;
        while (std::getline(text, line)) {
            ASSERT_FALSE(line.empty());
            ASSERT_EQ(line.back(), '\r');
            if (line[0] == ' ') ++dataLines;
            std::sscanf(line.c_str(), "* Number of Points : %d", &stated);
        }
        EXPECT_EQ(dataLines, n);
        EXPECT_EQ(stated, n);
    }
}

TEST(CurveText, MissingColumnsWriteNoDataLines) {
    CurveExport data = splCurve();
    data.x = nullptr;
    EXPECT_EQ(curveFileText(data, CurveFormat::Frd, fixedTime()), "   Hz\t\tdB\t\tdeg\r\n");
    EXPECT_NE(curveFileText(data, CurveFormat::Gdt, fixedTime()).find("* Number of Points : 0\r\n"),
              std::string::npos);
    data = splCurve();
    data.pointCount = -5;
    EXPECT_EQ(curveFileText(data, CurveFormat::Fm, fixedTime()),
              "Acoustic on Axis Free Air Response\r\n   Hz\t\tdB\r\n");
}

TEST(CurveText, AsctimeDateInEnglish) {
    // strftime in the C locale writes the same fields as asctime.
    for (std::time_t t : {std::time_t{0}, std::time_t{951782400}, std::time_t{1700000000},
                          std::time_t{1709251199}, std::time_t{2147483647}}) {
        std::tm tm{};
        ASSERT_NE(gmtime_r(&t, &tm), nullptr);
        char expected[64];
        std::strftime(expected, sizeof expected, "%a %b %e %H:%M:%S %Y", &tm);
        EXPECT_EQ(asctimeText(tm), expected);
        EXPECT_EQ(asctimeText(tm).size(), 24u);
    }
}

// ---- labels ----

TEST(Labels, AreTheProgramsTexts) {
    struct L {
        ExportCurve curve;
        const char *title, *header, *headerFm;
    };
    const char* dbHeader = "   Hz\t\tdB\t\tdeg";
    for (const L& c :
         {L{ExportCurve::Spl, "Acoustic on Axis Free Air Response", dbHeader, "   Hz\t\tdB"},
          L{ExportCurve::SplRoom, "Acoustic on Axis Response in Room/Cabinet", dbHeader, "   Hz\t\tdB"},
          L{ExportCurve::SplModes, "Acoustic Response with Standing wave Modes", dbHeader, "   Hz\t\tdB"},
          L{ExportCurve::FilterGain, "Filter gain", dbHeader, "   Hz\t\tdB"},
          L{ExportCurve::InputImpedance, "Impedance: ohm, phase", "   Hz\t\tohm\t\tdeg", "   Hz\t\tohm"},
          L{ExportCurve::GroupDelay, "Group delay", "   Hz\t\tms", "   Hz\t\tms"},
          L{ExportCurve::Transient, "", "   ms", "   ms"}}) {
        const CurveLabels l = curveLabels(c.curve);
        EXPECT_EQ(l.title, c.title);
        EXPECT_EQ(l.header, c.header);
        EXPECT_EQ(l.headerFm, c.headerFm);
    }
}

TEST(ExportSelectors, FilterListsAndExtensions) {
    EXPECT_STREQ(
        kSplExportFilter,
        "LAUD frequency resp (*.frd)|*.frd|LEAP (*.gdt)|*.gdt|MLLSA (*.fmp)|*.fmp|MLLSA standard(*.fm)|*.fm");
    EXPECT_STREQ(kSplExportExtension, "frd");
    EXPECT_STREQ(
        kImpedanceExportFilter,
        "LAUD impedance (*.zma)|*.zma|LEAP (*.gdt)|*.gdt|MLLSA (*.fmp)|*.fmp|MLLSA standard(*.fm)|*.fm");
    EXPECT_STREQ(kImpedanceExportExtension, "zma");
}

// ---- the export command ----

class CurveExportCommand : public ::testing::Test {
protected:
    TempDir dir;
    ScriptedUiHost host;
    FileSelector selector{kSplExportFilter, kSplExportExtension, false, {}};

    bool run(const std::optional<std::string>& answer, bool withIcon = true) {
        host.files.push_back(answer);
        return exportCurve(host, selector, splCurve(), withIcon, fixedTime());
    }
};

TEST_F(CurveExportCommand, CancelOrUnknownExtensionsWriteNothing) {
    EXPECT_FALSE(run(std::nullopt));
    ASSERT_EQ(host.fileRequests.size(), 1u);
    EXPECT_EQ(host.fileRequests[0].filter, kSplExportFilter);
    EXPECT_EQ(host.fileRequests[0].mode, FileMode::Save);
    EXPECT_TRUE(host.messages.empty());
    for (const char* name : {"curve.txt", "curve", "curve.frd.bak", "curve.fmx"}) {
        for (bool withIcon : {true, false}) {
            host.messages.clear();
            EXPECT_FALSE(run(dir.file(name), withIcon)) << name;
            ASSERT_EQ(host.messages.size(), 1u) << name;
            EXPECT_EQ(host.lastMessage().caption, "Export error");
            EXPECT_EQ(host.lastMessage().text, "No valid export format selected");
            EXPECT_EQ(host.lastMessage().icon, withIcon ? MessageIcon::Exclamation : MessageIcon::None);
            EXPECT_EQ(host.lastMessage().buttons, MessageButtons::Ok);
        }
    }
    EXPECT_EQ(filesIn(dir.path()), 0u);
}

TEST_F(CurveExportCommand, WritesTheFormatOfTheExtension) {
    test::writeAll(dir.file("a.frd"), std::vector<std::uint8_t>(5000, 'x')); // replaced
    const std::vector<std::pair<const char*, CurveFormat>> cases{
        {"a.frd", CurveFormat::Frd}, {"b.ZMA", CurveFormat::Zma}, {"c.Gdt", CurveFormat::Gdt},
        {"d.fmp", CurveFormat::Fmp}, {"e.fm", CurveFormat::Fm},   {"f.FM", CurveFormat::Fm}};
    for (const auto& [name, format] : cases) {
        ASSERT_TRUE(run(dir.file(name))) << name;
        EXPECT_EQ(fileText(dir.file(name)), curveFileText(splCurve(), format, fixedTime())) << name;
    }
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(filesIn(dir.path()), cases.size()); // no temporary files left behind
    EXPECT_EQ(selector.rememberedPath, dir.file("f.FM"));
}

TEST_F(CurveExportCommand, UnwritableNamesAreReported) {
    test::writeAll(dir.file("plain"), {'x'});
    for (const std::string& path : {dir.file("no/such/folder/a.frd"), dir.file("plain/a.gdt")}) {
        for (bool withIcon : {true, false}) {
            host.messages.clear();
            EXPECT_FALSE(run(path, withIcon)) << path;
            ASSERT_EQ(host.messages.size(), 1u);
            EXPECT_EQ(host.lastMessage().caption, "Export error");
            EXPECT_EQ(host.lastMessage().text, exportWriteFailureText(path));
            EXPECT_NE(host.lastMessage().text.find(path), std::string::npos);
            EXPECT_EQ(host.lastMessage().icon, withIcon ? MessageIcon::Exclamation : MessageIcon::None);
        }
    }
    EXPECT_EQ(exportWriteFailureText("/x/a.frd"),
              "Could not write file : /x/a.frd\nCheck if the folder exists and is writable.");
}

TEST_F(CurveExportCommand, AFailedWriteKeepsThePreviousFile) {
    const std::vector<std::uint8_t> old{'o', 'l', 'd'};
    test::writeAll(dir.file("a.frd"), old);
    std::vector<double> x(500, 1000.0);
    const CurveExport big = makeCurveExport(ExportCurve::Spl, 500, x.data(), x.data(), x.data());
    host.files.push_back(dir.file("a.frd"));
    {
        test::FileSizeLimit limit(200);
        EXPECT_FALSE(exportCurve(host, selector, big, true, fixedTime()));
    }
    EXPECT_EQ(test::readAll(dir.file("a.frd")), old);
    EXPECT_EQ(filesIn(dir.path()), 1u);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.lastMessage().caption, "Export error");
}

TEST_F(CurveExportCommand, DatesTheGdtFileNow) {
    host.files.push_back(dir.file("now.gdt"));
    ASSERT_TRUE(exportCurve(host, selector, splCurve(), true));
    std::istringstream text(fileText(dir.file("now.gdt")));
    std::string line;
    std::getline(text, line);
    std::getline(text, line);
    EXPECT_TRUE(std::regex_match(
        line, std::regex(R"(\* [A-Z][a-z]{2} [A-Z][a-z]{2} [ 123]\d \d\d:\d\d:\d\d \d{4}\r)")))
        << line;
}

// ---- round trip through the measured-curve reader ----

std::vector<double> filterGrid() {
    std::vector<double> f(500);
    for (int i = 0; i < 500; ++i)
        f[static_cast<std::size_t>(i)] = 5.0 * std::pow(10.0, i * std::log10(4000.0) / 499);
    return f;
}

TEST(CurveRoundTrip, WrittenFilesReadBackOnTheSameGrid) {
    TempDir dir;
    const std::vector<double> grid = filterGrid();
    std::vector<double> level(grid.size());
    std::vector<double> phase(grid.size());
    for (std::size_t i = 0; i < grid.size(); ++i) {
        level[i] = 20.0 + 10.0 * std::sin(static_cast<double>(i) / 40.0);
        phase[i] = 150.0 * std::cos(static_cast<double>(i) / 30.0);
    }
    for (MeasuredKind kind : {MeasuredKind::Spl, MeasuredKind::Impedance}) {
        const bool spl = kind == MeasuredKind::Spl;
        const std::string path = dir.file(spl ? "rt.frd" : "rt.zma");
        const CurveExport data = makeCurveExport(spl ? ExportCurve::Spl : ExportCurve::InputImpedance, 500,
                                                 grid.data(), level.data(), phase.data());
        ASSERT_TRUE(writeCurveFile(path, data, *curveFormatFromPath(path), fixedTime()));

        std::vector<Complex> back(grid.size());
        ASSERT_EQ(readMeasuredCurve(path, kind, grid.data(), 500, back.data()), MeasuredReadResult::Loaded);
        // The last grid point lies at or above the last line, so it repeats the one before.
        for (std::size_t i = 0; i + 1 < grid.size(); ++i) {
            const double magnitude = spl ? 20.0 * std::log10(std::abs(back[i])) : std::abs(back[i]);
            EXPECT_NEAR(magnitude, level[i], 1e-5) << i;
            EXPECT_NEAR(std::arg(back[i]) * 180.0 / kPiExact, phase[i], 1e-4) << i;
        }
        EXPECT_EQ(back[499], back[498]);
    }
}

} // namespace
} // namespace harlox
