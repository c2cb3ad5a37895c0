#include "output/curve_writer.h"

#include "core/ui_host.h"
#include "scripted_ui_host.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

namespace harlox {
namespace {

using test::ScriptedUiHost;
using test::TempDir;

std::tm fixedTime() {
    const std::time_t t = 1704272825; // Wed Jan  3 09:07:05 2024 UTC
    std::tm tm{};
    gmtime_r(&t, &tm);
    return tm;
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

TEST(FormatFromPath, ComparesTheUpperCasedExtension) {
    using E = std::pair<const char*, std::optional<CurveFormat>>;
    const std::optional<CurveFormat> none;
    for (const auto& [path, format] :
         {E{"/a/b.frd", CurveFormat::Frd}, E{"B.FRD", CurveFormat::Frd}, E{"b.Gdt", CurveFormat::Gdt},
          E{"b.fmp", CurveFormat::Fmp}, E{"b.FM", CurveFormat::Fm}, E{"C:\\data\\b.zMa", CurveFormat::Zma},
          E{"b.fmx", none}, E{"b.fr", none}, E{"b.fm.bak", none}, E{"b.txt", none}, E{"b", none},
          E{"b.", none}, E{"dir.frd/b", none}, E{"", none}})
        EXPECT_EQ(curveFormatFromPath(path), format) << '"' << path << '"';
}

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
    // Without columns there are no data lines, and the GDT header counts none.
    noPhase.x = nullptr;
    EXPECT_EQ(curveFileText(noPhase, CurveFormat::Frd, fixedTime()), header);
    EXPECT_NE(curveFileText(noPhase, CurveFormat::Gdt, fixedTime()).find("* Number of Points : 0\r\n"),
              std::string::npos);
}

// Numbers are printf's "%f" with a decimal point, rounding and signs included.
TEST(CurveText, NumbersMatchPrintf) {
    using L = std::numeric_limits<double>;
    const std::vector<double> values{0.0000005,      0.0000015, -4e-7,           -0.0,         1e15 + 0.5,
                                     -987.654321987, L::max(),  L::denorm_min(), L::infinity()};
    const CurveExport data = makeCurveExport(ExportCurve::Spl, static_cast<int>(values.size()), values.data(),
                                             values.data(), values.data());
    std::string expected = "   Hz\t\tdB\t\tdeg\r\n";
    for (double v : values) {
        std::vector<char> line(1200);
        std::snprintf(line.data(), line.size(), " %f\t%f\t%f\r\n", v, v, v);
        expected += line.data();
    }
    EXPECT_EQ(curveFileText(data, CurveFormat::Frd, fixedTime()), expected);
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

TEST_F(CurveExportCommand, WritesTheFormatOfTheExtension) {
    test::writeAll(dir.file("a.frd"), std::vector<std::uint8_t>(5000, 'x')); // replaced
    const std::pair<const char*, CurveFormat> cases[] = {{"a.frd", CurveFormat::Frd},
                                                         {"b.ZMA", CurveFormat::Zma},
                                                         {"c.Gdt", CurveFormat::Gdt},
                                                         {"d.fmp", CurveFormat::Fmp},
                                                         {"f.FM", CurveFormat::Fm}};
    for (const auto& [name, format] : cases) {
        ASSERT_TRUE(run(dir.file(name))) << name;
        EXPECT_EQ(fileText(dir.file(name)), curveFileText(splCurve(), format, fixedTime())) << name;
    }
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(filesIn(dir.path()), std::size(cases)); // no temporary files left behind
    EXPECT_EQ(host.fileRequests[0].filter, kSplExportFilter);
    EXPECT_EQ(host.fileRequests[0].mode, FileMode::Save);
}

TEST_F(CurveExportCommand, CancelWritesNothingUnknownExtensionsAndFailuresAreReported) {
    EXPECT_FALSE(run(std::nullopt));
    EXPECT_TRUE(host.messages.empty());
    test::writeAll(dir.file("plain"), {'x'});
    for (const std::string& name : {dir.file("curve.txt"), dir.file("curve"), dir.file("curve.fmx"),
                                    dir.file("no/such/folder/a.frd"), dir.file("plain/a.gdt")}) {
        for (bool withIcon : {true, false}) {
            host.messages.clear();
            EXPECT_FALSE(run(name, withIcon)) << name;
            ASSERT_EQ(host.messages.size(), 1u) << name;
            const bool known = curveFormatFromPath(name).has_value();
            EXPECT_EQ(host.lastMessage().caption, "Export error");
            EXPECT_EQ(host.lastMessage().text, known ? "Could not write file : " + name +
                                                           "\nCheck if the folder exists and is writable."
                                                     : "No valid export format selected");
            EXPECT_EQ(host.lastMessage().icon, withIcon ? MessageIcon::Exclamation : MessageIcon::None);
            EXPECT_EQ(host.lastMessage().buttons, MessageButtons::Ok);
        }
    }
    EXPECT_EQ(filesIn(dir.path()), 1u);
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
    EXPECT_EQ(host.messages.size(), 1u);
}

} // namespace
} // namespace harlox
