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

TEST(FormatFromPath, ComparesTheUpperCasedExtension) {
    using E = std::pair<const char*, std::optional<CurveFormat>>;
    const std::optional<CurveFormat> none;
    for (const auto& [path, format] :
         {E{"/a/b.frd", CurveFormat::Frd}, E{"C:\\data\\b.zMa", CurveFormat::Zma},
          E{"b.Gdt", CurveFormat::Gdt}, E{"b.fmp", CurveFormat::Fmp}, E{"b.FM", CurveFormat::Fm},
          E{"b.fmx", none}, E{"b.fm.bak", none}, E{"b", none}, E{"dir.frd/b", none}})
        EXPECT_EQ(curveFormatFromPath(path), format) << path;
}

TEST(CurveText, EachFormatIsByteExact) {
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
    const std::vector<double> values{0.0000005, 0.0000015,       -4e-7,        -0.0,
                                     L::max(),  L::denorm_min(), L::infinity()};
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

// Cancel ends quietly; anything else that writes no file says why, and a failed write keeps the
// file that was there.
TEST(CurveExportCommand, WritesTheFileOrSaysWhyNot) {
    test::TempDir dir;
    test::ScriptedUiHost host;
    FileSelector selector{kSplExportFilter, kSplExportExtension, false, {}};
    const auto run = [&](const std::optional<std::string>& answer, const CurveExport& data, bool withIcon) {
        host.files.push_back(answer);
        return exportCurve(host, selector, data, withIcon, fixedTime());
    };
    const std::string file = dir.file("a.FM");
    test::writeAll(file, std::vector<std::uint8_t>(5000, 'x'));
    ASSERT_TRUE(run(file, splCurve(), true));
    const std::string written = fileText(file);
    EXPECT_EQ(written, curveFileText(splCurve(), CurveFormat::Fm, fixedTime()));
    EXPECT_FALSE(run(std::nullopt, splCurve(), true));
    EXPECT_TRUE(host.messages.empty());

    EXPECT_FALSE(run(dir.file("curve.fmx"), splCurve(), true));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.lastMessage().caption, "Export error");
    EXPECT_EQ(host.lastMessage().text, "No valid export format selected");
    EXPECT_EQ(host.lastMessage().icon, MessageIcon::Exclamation);
    const std::string missing = dir.file("no/such/folder/a.frd");
    EXPECT_FALSE(run(missing, splCurve(), false));
    EXPECT_EQ(host.lastMessage().text,
              "Could not write file : " + missing + "\nCheck if the folder exists and is writable.");
    EXPECT_EQ(host.lastMessage().icon, MessageIcon::None);

    std::vector<double> x(500, 1000.0);
    {
        test::FileSizeLimit limit(200);
        EXPECT_FALSE(run(file, makeCurveExport(ExportCurve::Spl, 500, x.data(), x.data(), x.data()), true));
    }
    EXPECT_EQ(fileText(file), written);
    EXPECT_EQ(host.messages.size(), 3u);
    // No temporary files are left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

} // namespace
} // namespace harlox
