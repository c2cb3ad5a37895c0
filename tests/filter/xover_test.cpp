#include "filter/xover.h"

#include "core/binary_io.h"
#include "filter/fast_log.h"
#include "filter/general.h"
#include "output/curve_writer.h"
#include "scripted_ui_host.h"
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

using namespace harlox;
using harlox::test::ScriptedUiHost;
using harlox::test::TempDir;

namespace {

const std::string kMeasured = std::string(HARLOX_SHARED_DATA_DIR) + "/measured/";

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        out.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return out;
}

// The same simple network setup, applied to the project's sections and to stand-alone copies.
void setUpBass(TNet& n) {
    n.Spl(0).SetFileName(kMeasured + "DCS255-4@0.frd");
    n.Impedance(0).SetFileName(kMeasured + "DCS255-4.zma");
    ASSERT_TRUE(n.Spl(0).ReadCurve(nullptr));
    ASSERT_TRUE(n.Impedance(0).ReadCurve(nullptr));
    n.Re = 3.2;
    n.lowPassOrder = 2;
    n.lowPassCutoff = 2500;
    ASSERT_TRUE(n.DesignLowPass());
    n.posY[0] = -0.1;
}

void setUpTreble(TNet& n) {
    n.Spl(0).SetFileName(kMeasured + "ND25FA-4@0.frd");
    n.Impedance(0).SetFileName(kMeasured + "ND25FA-4.zma");
    ASSERT_TRUE(n.Spl(0).ReadCurve(nullptr));
    ASSERT_TRUE(n.Impedance(0).ReadCurve(nullptr));
    n.Re = 3.4;
    n.highPassOrder = 3;
    n.highPassCutoff = 2500;
    ASSERT_TRUE(n.DesignHighPass());
    n.posY[0] = 0.08;
    n.posZ[0] = -0.01;
    n.invert = 1;
}

bool haveMeasured() {
    return std::filesystem::is_directory(kMeasured);
}

class Xover : public ::testing::Test {
protected:
    TGeneral general;
    ScriptedUiHost ui;
    TempDir dir;
};

} // namespace

TEST_F(Xover, VariantsCreateTheirNetworks) {
    struct Case {
        int variant, nets;
        bool simple, active;
    };
    for (const Case& c : {Case{0, 2, true, false}, Case{1, 3, true, false}, Case{3, 1, false, false},
                          Case{6, 4, false, false}, Case{9, 2, false, true}, Case{11, 4, false, true}}) {
        SCOPED_TRACE(c.variant);
        TXover x(general, c.variant, ui);
        EXPECT_EQ(x.NetCount(), c.nets);
        EXPECT_EQ(x.IsSimple(), c.simple);
        EXPECT_EQ(x.IsActive(), c.active);
        EXPECT_TRUE(x.IsChanged());
        if (c.simple) {
            EXPECT_NE(x.SimpleNet(2), nullptr);
            EXPECT_EQ(x.AdvancedNet(0), nullptr);
            EXPECT_EQ(x.FilterGainWindowCount(), 1);
        } else {
            EXPECT_EQ(x.SimpleNet(0), nullptr);
            for (int i = 0; i < 4; ++i) {
                ASSERT_EQ(x.AdvancedNet(i) != nullptr, i < c.nets);
                if (i < c.nets) { EXPECT_EQ(x.AdvancedNet(i)->isActive(), c.active); }
            }
            EXPECT_EQ(x.FilterGainWindowCount(), c.nets);
            // No measured curves yet: the cycle stops at the first net.
            EXPECT_FALSE(x.Calculate());
        }
        bool hasImpedance = false;
        for (DiagramModel* m : x.DiagramWindows())
            hasImpedance = hasImpedance || m == &x.ImpedanceWindow();
        EXPECT_EQ(hasImpedance, !c.active);
    }
    EXPECT_EQ(TXover::FindVariant(2), nullptr);
    EXPECT_EQ(TXover::FindVariant(7), nullptr);
    EXPECT_EQ(TXover::FindTypeCode(23)->variant, 6);
    TXover none(general, 7, ui);
    EXPECT_EQ(none.NetCount(), 0);
    EXPECT_FALSE(none.Calculate());

    TXover two(general, 0, ui);
    EXPECT_EQ(&two.Net(1), two.SimpleNet(2)); // the midrange takes no part
    TXover three(general, 1, ui);
    EXPECT_EQ(&three.Net(1), three.SimpleNet(1));
}

TEST_F(Xover, TwoWaySumsPerRayFromRealDrivers) {
    if (!haveMeasured()) GTEST_SKIP() << "no shared data folder";
    ASSERT_TRUE(general.setSurfaceRays(std::vector<int>{30, 0, -15, -45}));
    TXover x(general, 0, ui);
    setUpBass(*x.SimpleNet(0));
    setUpTreble(*x.SimpleNet(2));
    ASSERT_TRUE(x.Calculate());

    // The same two networks on their own.
    TNet bass(general, 0), treble(general, 2);
    setUpBass(bass);
    setUpTreble(treble);
    ASSERT_TRUE(bass.Calculate());
    ASSERT_TRUE(treble.Calculate());

    for (int k = 0; k < general.surfaceCount(); ++k) {
        SCOPED_TRACE(k);
        for (int i = 0; i < 500; i += 7) {
            const Complex sum = bass.RayOutput()[k][i] + treble.RayOutput()[k][i];
            EXPECT_NEAR(std::abs(x.RaySum()[k][i] - sum), 0.0, 1e-9 * std::abs(sum));
            EXPECT_NEAR(x.RayDb()[k][i], 20.0 * std::log10(std::abs(sum)), 1e-9);
        }
    }
    // The outputs really differ between rays, so a row mix-up would show.
    EXPECT_GT(std::abs(x.RayDb()[0][450] - x.RayDb()[3][450]), 1.0);

    const int main = general.mainRay();
    for (int i = 0; i < 500; i += 7) {
        const Complex z = 1.0 / (1.0 / bass.Zin()[i] + 1.0 / treble.Zin()[i]);
        EXPECT_NEAR(std::abs(x.Zin()[i] - z), 0.0, 1e-9 * std::abs(z));
        const Complex s = bass.RayOutput()[main][i] + treble.RayOutput()[main][i];
        EXPECT_NEAR(x.SplPhase()[i], std::arg(s) * 180.0 / 3.141592653589793, 1e-9);
    }
    EXPECT_EQ(x.GroupDelay()[0], x.GroupDelay()[1]);

    // Diagrams: the summed response shows the main ray of the total and of each section.
    const DiagramModel& summed = x.SummedWindow();
    ASSERT_EQ(summed.curveCount(), 3);
    EXPECT_EQ(summed.curve(0).label, "Total");
    EXPECT_EQ(summed.curve(0).pen.style, PenStyle::Thick);
    EXPECT_EQ(summed.curve(1).label, "Bass");
    EXPECT_EQ(summed.curve(2).label, "Treble");
    EXPECT_EQ(summed.curve(2).pen.color, PenColor::Red);
    EXPECT_EQ(summed.curve(0).y, x.RayDb()[main].data());
    EXPECT_EQ(x.FilterGainWindow(0).curveCount(), 2);
    double zmax = 0.0;
    for (int i = 0; i < 500; ++i)
        zmax = std::max(zmax, x.ZinMagnitude()[i]);
    EXPECT_DOUBLE_EQ(x.ImpedanceScale().top, 1.5 * zmax);
    EXPECT_GE(x.GainScale(0).top, 0.0);
    EXPECT_DOUBLE_EQ(x.GainScale(0).top - x.GainScale(0).bottom, 30.0);

    // Surface and overlay lists: every ray; the overlay holds the main ray at "+0".
    ASSERT_GE(x.OverlayWindow().curveCount(), 1);
    EXPECT_EQ(x.OverlayWindow().curve(0).label, "+0");
    ASSERT_EQ(general.addOverlayRay(-45), TGeneral::RayEdit::Changed);
    x.Calculate();
    ASSERT_EQ(x.OverlayWindow().curveCount(), 2);
    EXPECT_EQ(x.OverlayWindow().curve(1).label, "-45");
    EXPECT_EQ(x.OverlayWindow().curve(1).y, x.RayDb()[3].data());
    EXPECT_EQ(x.SurfaceWindow().curve(0).label, "+30");
    general.hideOnAxis = 1;
    x.Calculate();
    EXPECT_EQ(x.SurfaceRays().size(), 3u);
    ASSERT_EQ(x.OverlayWindow().curveCount(), 1);
    EXPECT_EQ(x.OverlayWindow().curve(0).label, "-45");
    general.hideOnAxis = 0;
    general.inhibit = 1;
    x.Calculate();
    EXPECT_EQ(x.SurfaceWindow().curveCount(), 0);
    EXPECT_EQ(x.OverlayWindow().curveCount(), 0);
}

// The levels take their own logarithm where the square is in range: it must agree with
// the library's to rounding over whole rows, and a silent row (two equal networks in
// opposite polarity) must still come out as -inf.
TEST_F(Xover, RayLevelsAgreeWithTheLibraryLogarithm) {
    if (!haveMeasured()) GTEST_SKIP() << "no shared data folder";
    ASSERT_TRUE(general.setSurfaceRays(std::vector<int>{30, 0, -45}));
    TXover x(general, 0, ui);
    setUpBass(*x.SimpleNet(0));
    setUpTreble(*x.SimpleNet(2));
    ASSERT_TRUE(x.Calculate());
    double worst = 0.0;
    for (int k = 0; k < general.surfaceCount(); ++k)
        for (int i = 0; i < 500; ++i) {
            const Complex z = x.RaySum()[k][i];
            const double ref = 10.0 * std::log10(z.real() * z.real() + z.imag() * z.imag());
            worst = std::max(worst, std::fabs(x.RayDb()[k][i] - ref) / std::max(std::fabs(ref), 1e-3));
        }
    EXPECT_LT(worst, 1e-14);

    TXover silent(general, 4, ui);
    for (int i = 0; i < 2; ++i) {
        TNetA& net = *silent.AdvancedNet(i);
        net.SplData(0).SetFileName(kMeasured + "DCS255-4@0.frd");
        net.ImpedanceData(0).SetFileName(kMeasured + "DCS255-4.zma");
        ASSERT_TRUE(net.SplData(0).ReadCurve(nullptr));
        ASSERT_TRUE(net.ImpedanceData(0).ReadCurve(nullptr));
        net.Branch(0).SetType(3);
        net.polarityInverted = static_cast<std::uint8_t>(i);
        net.MarkChanged();
    }
    ASSERT_TRUE(silent.Calculate());
    for (int i = 0; i < 500; i += 50) {
        ASSERT_EQ(silent.RaySum()[1][i], Complex(0.0, 0.0)) << i;
        EXPECT_EQ(silent.RayDb()[1][i], -std::numeric_limits<double>::infinity()) << i;
    }
}

TEST(FastLog, Log10AnyMatchesTheLibraryAndKeepsItsSpecialValues) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    const double tiny = std::numeric_limits<double>::denorm_min();
    for (double x : {0.0, -0.0, tiny, 1e-310, 2.2250738585072014e-308, 1e-300, 0.5, 0.999999999, 1.0, 1.000000001,
                     2.0, 10.0, 1e5, 1.7976931348623157e308, inf}) {
        const double ref = std::log10(x);
        const double got = log10Any(x);
        if (!std::isfinite(ref) || ref == 0.0) EXPECT_EQ(got, ref) << x;
        else EXPECT_NEAR(got, ref, 3e-16 * std::fabs(ref)) << x;
    }
    EXPECT_TRUE(std::isnan(log10Any(-1.0)));
    EXPECT_TRUE(std::isnan(log10Any(std::numeric_limits<double>::quiet_NaN())));
}

TEST_F(Xover, CycleRecomputesOnlyTheChangedNet) {
    TXover x(general, 1, ui);
    const int bass = x.NetCalculations(0), mid = x.NetCalculations(1), treble = x.NetCalculations(2);
    EXPECT_GE(bass, 1);
    x.Calculate();
    EXPECT_EQ(x.NetCalculations(2), treble);

    // An edit posts the recalculation; only the treble section recomputes.
    ASSERT_TRUE(x.SimpleNet(2)->SetComponent(0, CompKind::Capacitor, 10e-6));
    EXPECT_TRUE(x.SimpleNet(2)->Changed());
    ASSERT_FALSE(ui.posted.empty());
    ui.runPosted();
    EXPECT_EQ(x.NetCalculations(0), bass);
    EXPECT_EQ(x.NetCalculations(1), mid);
    EXPECT_EQ(x.NetCalculations(2), treble + 1);
    EXPECT_FALSE(x.SimpleNet(2)->Changed());
    const Complex z = x.SimpleNet(2)->Zin()[100];
    EXPECT_NEAR(std::abs(x.Zin()[100] - 1.0 / (1.0 / x.SimpleNet(0)->Zin()[100] + 1.0 / x.SimpleNet(1)->Zin()[100] +
                                              1.0 / z)),
                0.0, 1e-9);

    // New rays: every network recomputes.
    x.GeneralChanged();
    x.Calculate();
    EXPECT_EQ(x.NetCalculations(0), bass + 1);
    EXPECT_EQ(x.NetCalculations(2), treble + 2);
}

TEST_F(Xover, AdvancedNetsCalculateInReverseAndSum) {
    if (!haveMeasured()) GTEST_SKIP() << "no shared data folder";
    TXover x(general, 4, ui);
    TNetA& woofer = *x.AdvancedNet(0);
    TNetA& tweeter = *x.AdvancedNet(1);
    woofer.SplData(0).SetFileName(kMeasured + "DCS255-4@0.frd");
    woofer.ImpedanceData(0).SetFileName(kMeasured + "DCS255-4.zma");
    // Only net 1 has its curves: net 2 stops the cycle before net 1 is reached.
    ASSERT_TRUE(woofer.SplData(0).ReadCurve(nullptr));
    ASSERT_TRUE(woofer.ImpedanceData(0).ReadCurve(nullptr));
    EXPECT_FALSE(x.Calculate());
    EXPECT_EQ(x.NetCalculations(0), 0);
    tweeter.SplData(0).SetFileName(kMeasured + "ND25FA-4@0.frd");
    tweeter.ImpedanceData(0).SetFileName(kMeasured + "ND25FA-4.zma");
    ASSERT_TRUE(tweeter.SplData(0).ReadCurve(nullptr));
    ASSERT_TRUE(tweeter.ImpedanceData(0).ReadCurve(nullptr));
    woofer.Branch(0).SetType(3);
    tweeter.Branch(0).SetType(2);
    woofer.MarkChanged();
    tweeter.MarkChanged();
    ASSERT_TRUE(x.Calculate());
    EXPECT_EQ(x.NetCalculations(0), 1);
    EXPECT_EQ(x.NetCalculations(1), 1);
    EXPECT_FALSE(woofer.Changed());
    for (int i = 0; i < 500; i += 11) {
        const Complex s = woofer.AngleSpl()[0][i] + tweeter.AngleSpl()[0][i];
        EXPECT_NEAR(std::abs(x.RaySum()[0][i] - s), 0.0, 1e-9 * std::abs(s));
        const Complex z = 1.0 / (1.0 / woofer.InputImpedance()[i] + 1.0 / tweeter.InputImpedance()[i]);
        EXPECT_NEAR(std::abs(x.Zin()[i] - z), 0.0, 1e-9 * std::abs(z));
    }
    EXPECT_EQ(x.FilterGainWindow(0).curveCount(), 1);
    EXPECT_EQ(x.FilterGainWindow(0).curve(0).label, "Driver 1");
    x.Calculate();
    EXPECT_EQ(x.NetCalculations(0), 1); // nothing changed
}

TEST_F(Xover, CanCloseAsksAndSaveIsAtomic) {
    TXover x(general, 0, ui);
    ui.answers = {MessageResult::Cancel};
    EXPECT_FALSE(x.CanClose());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().caption, "Filter project");
    EXPECT_EQ(ui.lastMessage().text, "Project has been changed.\r\nSave project ?");
    EXPECT_EQ(ui.lastMessage().icon, MessageIcon::Question);
    EXPECT_EQ(ui.lastMessage().buttons, MessageButtons::YesNoCancel);
    ui.answers = {MessageResult::No};
    EXPECT_TRUE(x.CanClose());

    // Yes without a file name runs Save as; a cancelled selector keeps the project open.
    ui.answers = {MessageResult::Yes};
    EXPECT_FALSE(x.CanClose());
    EXPECT_EQ(ui.fileRequests.back().filter, TXover::kProjectFilter);

    // An unwritable place: the message, still changed, nothing left behind.
    const std::string bad = dir.file("missing/x.flt");
    ui.files = {bad};
    EXPECT_FALSE(x.SaveAs());
    EXPECT_EQ(ui.lastMessage().caption, "File save as");
    EXPECT_EQ(ui.lastMessage().text, "Could not open file.\nCheck if device is ready\nor if the disk is full.");
    EXPECT_TRUE(x.IsChanged());
    EXPECT_TRUE(x.FileName().empty());

    const std::string path = dir.file("two.flt");
    ui.files = {path};
    ui.answers = {MessageResult::Yes};
    EXPECT_TRUE(x.CanClose());
    EXPECT_FALSE(x.IsChanged());
    EXPECT_EQ(x.FileName(), path);
    EXPECT_EQ(x.Caption(), "Harlox 4.00 - 2 way simple filter - two.flt");
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    EXPECT_TRUE(x.CanClose()); // unchanged: no question
}

TEST_F(Xover, FilesRoundTripForEveryVariantKind) {
    for (int variant : {0, 1, 3, 6, 8, 11}) {
        SCOPED_TRACE(variant);
        TXover x(general, variant, ui);
        if (x.IsSimple()) {
            x.SimpleNet(0)->Re = 6.2;
            x.SimpleNet(0)->lowPassOrder = 3;
            x.SimpleNet(0)->lowPassCutoff = 1800;
            ASSERT_TRUE(x.SimpleNet(0)->DesignLowPass());
        } else {
            x.AdvancedNet(x.NetCount() - 1)->Rex = 0.25;
            x.netSchematicText[0][0] = 'A';
        }
        x.SummedWindow().setNote("summed");
        const std::string path = dir.file("v" + std::to_string(variant) + ".flt");
        ASSERT_TRUE(x.WriteProject(path));
        const std::vector<std::uint8_t> bytes = harlox::test::readAll(path);
        ASSERT_GT(bytes.size(), 30u);
        EXPECT_EQ(bytes[0], static_cast<std::uint8_t>(x.TypeCode()));
        EXPECT_EQ(bytes[4] | (bytes[5] << 8), 400);
        EXPECT_EQ(bytes[bytes.size() - 2] | (bytes.back() << 8), 0x3039);
        const std::size_t windows = 70 * static_cast<std::size_t>(x.FilterGainWindowCount() + (x.IsActive() ? 0 : 1) + 6);
        const std::size_t nets = static_cast<std::size_t>(x.NetCount());
        const std::size_t body = x.IsSimple() ? 20 + nets * TNet::kRecordSize
                                              : nets * (20 + 600 + x.AdvancedNet(0)->RecordSize());
        EXPECT_EQ(bytes.size(), 22 + TGeneral::kRecordSize + windows + 2 + body);

        TXover y(general, variant, ui);
        ASSERT_TRUE(y.ReadProject(path));
        EXPECT_FALSE(y.IsChanged());
        EXPECT_EQ(y.SummedWindow().note(), "summed");
        if (x.IsSimple()) { EXPECT_EQ(y.SimpleNet(0)->lowPassOrder, 3); }
        else { EXPECT_DOUBLE_EQ(y.AdvancedNet(y.NetCount() - 1)->Rex, 0.25); }
        const std::string again = dir.file("again.flt");
        ASSERT_TRUE(y.WriteProject(again));
        EXPECT_EQ(harlox::test::readAll(again), bytes);

        // Every truncation is refused and leaves a new project.
        for (std::size_t cut : {std::size_t{3}, std::size_t{30}, bytes.size() / 2, bytes.size() - 1}) {
            const std::string shortFile = dir.file("short.flt");
            std::ofstream(shortFile, std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(cut));
            TXover z(general, variant, ui);
            EXPECT_FALSE(z.ReadProject(shortFile)) << cut;
            EXPECT_TRUE(z.FileName().empty());
        }
    }
    // Another variant's file is refused.
    TXover simple(general, 0, ui);
    EXPECT_FALSE(simple.ReadProject(dir.file("v1.flt")));
}

TEST_F(Xover, ExportsWriteHeadersAndColumns) {
    TXover x(general, 0, ui);
    const std::string frd = dir.file("total.frd");
    ui.files = {frd};
    std::vector<std::string> offered;
    x.splTotalRayChooser = [&](const std::vector<std::string>& angles, int selected) -> std::optional<int> {
        offered = angles;
        return selected;
    };
    ASSERT_TRUE(x.ExportTotal(0));
    EXPECT_EQ(offered, std::vector<std::string>{"+0"});
    std::vector<std::string> l = lines(readText(frd));
    ASSERT_GE(l.size(), 500u);
    EXPECT_NE(l[0].find("Hz\t\tdB\t\tdeg"), std::string::npos);

    const std::string fm = dir.file("zin.fm");
    ui.files = {fm};
    ASSERT_TRUE(x.ExportTotal(2));
    EXPECT_EQ(ui.fileRequests.back().filter, kImpedanceExportFilter);
    const std::string text = readText(fm);
    EXPECT_NE(text.find("Hz\t\tohm"), std::string::npos);
    EXPECT_EQ(text.find("Hz\t\tohm\t\tdeg"), std::string::npos);

    const std::string gain = dir.file("gain.fmp");
    ui.files = {gain};
    ASSERT_TRUE(x.ExportNet(1, 1));
    EXPECT_NE(readText(gain).find("Filter gain"), std::string::npos);

    // Cancel in the ray dialog writes nothing.
    x.splTotalRayChooser = [](const std::vector<std::string>&, int) -> std::optional<int> { return std::nullopt; };
    ui.files = {dir.file("none.frd")};
    EXPECT_FALSE(x.ExportTotal(0));
    EXPECT_FALSE(std::filesystem::exists(dir.file("none.frd")));

    // Unknown extensions: the total's message has an icon, a section's has none.
    ui.files = {dir.file("x.txt")};
    EXPECT_FALSE(x.ExportTotal(0));
    EXPECT_EQ(ui.lastMessage().caption, "Export error");
    EXPECT_EQ(ui.lastMessage().text, "No valid export format selected");
    EXPECT_EQ(ui.lastMessage().icon, MessageIcon::Exclamation);
    ui.files = {dir.file("x.txt")};
    EXPECT_FALSE(x.ExportNet(0, 0));
    EXPECT_EQ(ui.lastMessage().icon, MessageIcon::None);
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.txt")));
}

namespace {

// The newer fields of a version-400 simple network record cut away: what a version-300
// record holds (no second driver, no x and y, no coil resistances).
std::vector<std::uint8_t> oldNetRecord(const std::uint8_t* r) {
    std::vector<std::uint8_t> out(r, r + 32);                 // Re, Rex, Le, z of driver 1
    out.insert(out.end(), r + 124, r + 153);                  // attenuator .. invert
    out.insert(out.end(), r + 153, r + 153 + 2 * kPathBlock); // driver 1's curve names
    const std::uint8_t* b = r + 153 + 4 * kPathBlock;
    for (int branch = 0; branch < TNet::kBranches; ++branch, b += TBranch::kRecordSize) {
        out.insert(out.end(), b, b + 2);
        for (int c = 0; c < 3; ++c) {
            const std::uint8_t* comp = b + 2 + c * TComp::kRecordSize;
            out.push_back(comp[0]);
            out.insert(out.end(), comp + 9, comp + 17); // the value, without the coil resistance
        }
    }
    return out;
}

void setVersion(std::vector<std::uint8_t>& bytes, int version) {
    bytes[4] = static_cast<std::uint8_t>(version & 0xff);
    bytes[5] = static_cast<std::uint8_t>(version >> 8);
}

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Settings of both record groups away from their defaults.
void setUpWriterGeneral(TGeneral& g) {
    ASSERT_TRUE(g.setSurfaceRays(std::vector<int>{20, 0, -20}));
    g.infinite = 0;
    g.distance = 3.0;
    g.splRange = 45;
    g.gdMin = -1.0;
    g.setTitle("Written");
}

} // namespace

// A version-310 file lacks the general scaling group; a version-300 file also lacks the rays
// group, the off-axis plot records and the newer simple network fields. Each missing field
// keeps what a new project has.
TEST_F(Xover, OldSimpleFilesReadWithTheDefaultsOfTheirVersion) {
    TGeneral written;
    setUpWriterGeneral(written);
    TXover x(written, 0, ui);
    TNet& bass = *x.SimpleNet(0);
    bass.Re = 6.2;
    bass.driverCount = 2;
    bass.posX = {0.01, 0.02};
    bass.posY = {-0.1, 0.1};
    bass.pistonRadius = {0.09, 0.08};
    bass.splScaling = {0.9, 1.1};
    bass.lowPassOrder = 3;
    bass.lowPassCutoff = 1800;
    ASSERT_TRUE(bass.DesignLowPass());
    ASSERT_TRUE(bass.SetInductor(TNet::kNotch, 0.002, 0.25));
    bass.Spl(1).SetFileName("no/such/second.frd");
    x.SimpleNet(2)->attenuation = 4.0;
    x.SurfaceWindow().setNote("surface");
    const std::string path = dir.file("new.flt");
    ASSERT_TRUE(x.WriteProject(path));
    const std::vector<std::uint8_t> bytes = harlox::test::readAll(path);

    const std::size_t general = 22;
    const std::size_t windows = general + TGeneral::kRecordSize + 20;
    const std::size_t offAxis = windows + 6 * 70;
    const std::size_t nets = offAxis + 2 * 70;
    ASSERT_EQ(bytes.size(), nets + 2 * TNet::kRecordSize + 2);

    std::vector<std::uint8_t> v310 = bytes;
    setVersion(v310, 310);
    v310.erase(v310.begin() + general + TGeneral::kRaysGroupSize, v310.begin() + general + TGeneral::kRecordSize);
    writeBytes(dir.file("v310.flt"), v310);

    std::vector<std::uint8_t> v300(bytes.begin(), bytes.begin() + general);
    setVersion(v300, 300);
    v300.insert(v300.end(), bytes.begin() + general + TGeneral::kRecordSize, bytes.begin() + offAxis);
    for (int n = 0; n < 2; ++n) {
        const std::vector<std::uint8_t> old = oldNetRecord(bytes.data() + nets + n * TNet::kRecordSize);
        ASSERT_EQ(old.size(), TNet::kOldRecordSize);
        v300.insert(v300.end(), old.begin(), old.end());
    }
    v300.insert(v300.end(), bytes.end() - 2, bytes.end());
    writeBytes(dir.file("v300.flt"), v300);

    {
        SCOPED_TRACE("version 310");
        TGeneral g;
        TXover y(g, 0, ui);
        const std::size_t before = ui.messages.size();
        ASSERT_TRUE(y.ReadProject(dir.file("v310.flt")));
        // The warning, then the second driver's missing curve file.
        ASSERT_EQ(ui.messages.size(), before + 2);
        EXPECT_EQ(ui.messages[before].caption, "Old project file");
        EXPECT_NE(ui.lastMessage().text.find("no/such/second.frd"), std::string::npos);
        EXPECT_EQ(y.Version(), 400);
        EXPECT_FALSE(y.IsChanged());
        // The rays group came from the file, the scaling group kept its defaults.
        EXPECT_EQ(g.surfaceCount(), 3);
        EXPECT_DOUBLE_EQ(g.distance, 3.0);
        EXPECT_EQ(g.splRange, 30);
        EXPECT_TRUE(g.title().empty());
        EXPECT_EQ(y.SurfaceWindow().note(), "surface");
        const TNet& b = *y.SimpleNet(0);
        EXPECT_EQ(b.driverCount, 2);
        EXPECT_DOUBLE_EQ(b.pistonRadius[1], 0.08);
        EXPECT_EQ(b.Spl(1).FileName(), "no/such/second.frd");
        EXPECT_DOUBLE_EQ(y.SimpleNet(0)->Branch(TNet::kNotch).Inductor().seriesResistance, 0.25);
        // Saved again, it is the current layout with the defaults filled in.
        const std::string again = dir.file("v310-again.flt");
        ASSERT_TRUE(y.WriteProject(again));
        EXPECT_EQ(harlox::test::readAll(again).size(), bytes.size());
    }
    {
        SCOPED_TRACE("version 300");
        TGeneral g;
        TXover y(g, 0, ui);
        const std::size_t before = ui.messages.size();
        ASSERT_TRUE(y.ReadProject(dir.file("v300.flt")));
        ASSERT_EQ(ui.messages.size(), before + 1);
        EXPECT_EQ(ui.lastMessage().caption, "Old project file");
        EXPECT_EQ(g.surfaceCount(), 1);
        EXPECT_DOUBLE_EQ(g.distance, 1.0);
        EXPECT_TRUE(y.SurfaceWindow().note().empty());
        const TNet& b = *y.SimpleNet(0);
        EXPECT_DOUBLE_EQ(b.lowPassCutoff, 1800.0);
        EXPECT_EQ(b.driverCount, 1);
        EXPECT_EQ(b.posY[0], 0.0);
        EXPECT_EQ(b.pistonRadius[0], 0.05);
        EXPECT_TRUE(b.Spl(1).FileName().empty());
        EXPECT_EQ(y.SimpleNet(0)->Branch(TNet::kNotch).Inductor().value, 0.002);
        EXPECT_EQ(y.SimpleNet(0)->Branch(TNet::kNotch).Inductor().seriesResistance, 0.5);
        EXPECT_DOUBLE_EQ(y.SimpleNet(2)->attenuation, 4.0);
        EXPECT_TRUE(std::isfinite(y.SimpleNet(0)->GainDb()[250]));
    }
    // A version-300 file cut anywhere is refused.
    for (std::size_t cut : {std::size_t{23}, v300.size() / 2, v300.size() - 1}) {
        writeBytes(dir.file("short300.flt"), std::vector<std::uint8_t>(v300.begin(), v300.begin() + static_cast<std::ptrdiff_t>(cut)));
        TGeneral g;
        TXover z(g, 0, ui);
        EXPECT_FALSE(z.ReadProject(dir.file("short300.flt"))) << cut;
    }
}

// Advanced network records are the same in every version: only the general record and the
// off-axis plot records differ.
TEST_F(Xover, OldAdvancedFilesReadWithTheDefaultsOfTheirVersion) {
    TGeneral written;
    setUpWriterGeneral(written);
    TXover x(written, 6, ui);
    x.AdvancedNet(3)->Rex = 0.25;
    x.AdvancedNet(0)->dY[2] = 0.3;
    x.OverlayWindow().setNote("overlay");
    const std::string path = dir.file("new4.flt");
    ASSERT_TRUE(x.WriteProject(path));
    const std::vector<std::uint8_t> bytes = harlox::test::readAll(path);
    const std::size_t general = 22;
    const std::size_t offAxis = general + TGeneral::kRecordSize + 4 * (20 + 600) + (4 + 1 + 4) * 70;

    std::vector<std::uint8_t> v310 = bytes;
    setVersion(v310, 310);
    v310.erase(v310.begin() + general + TGeneral::kRaysGroupSize, v310.begin() + general + TGeneral::kRecordSize);
    std::vector<std::uint8_t> v300 = v310;
    setVersion(v300, 300);
    const std::size_t offAxis310 = offAxis - TGeneral::kScalingGroupSize;
    v300.erase(v300.begin() + offAxis310, v300.begin() + offAxis310 + 2 * 70);
    v300.erase(v300.begin() + general, v300.begin() + general + TGeneral::kRaysGroupSize);

    for (int version : {310, 300}) {
        SCOPED_TRACE(version);
        const std::string file = dir.file("old" + std::to_string(version) + ".flt");
        writeBytes(file, version == 310 ? v310 : v300);
        TGeneral g;
        TXover y(g, 6, ui);
        ASSERT_TRUE(y.ReadProject(file));
        EXPECT_EQ(ui.lastMessage().caption, "Old project file");
        EXPECT_DOUBLE_EQ(y.AdvancedNet(3)->Rex, 0.25);
        EXPECT_DOUBLE_EQ(y.AdvancedNet(0)->dY[2], 0.3);
        EXPECT_EQ(g.splRange, 30);
        EXPECT_EQ(g.surfaceCount(), version == 310 ? 3 : 1);
        EXPECT_EQ(y.OverlayWindow().note(), version == 310 ? "overlay" : "");
    }
}

// The total corrects a phase step beyond 100 degrees, a network only beyond 180: a driver
// 25 cm deep is a pure 0.735 ms delay, whose phase falls by up to 176 degrees between the
// neighbours of a grid point near 20 kHz. A fall of -170 that does not cross the +-180 seam
// enters the total as +190, the network's own group delay as -170; a fall of -90 enters both
// alike.
TEST_F(Xover, TotalGroupDelayTakesStepsBeyond100DegreesAsWraps) {
    const std::string frd = dir.file("flat.frd");
    const std::string zma = dir.file("flat.zma");
    {
        std::ofstream s(frd), z(zma);
        for (int k = 0; k <= 400; ++k) {
            const double f = std::pow(10.0, 0.5 + 4.0 * k / 400.0); // 3 Hz .. 30 kHz
            s << f << "\t90\t0\n";
            z << f << "\t8\t0\n";
        }
    }
    TXover x(general, 3, ui);
    TNetA& net = *x.AdvancedNet(0);
    net.SplData(0).SetFileName(frd);
    net.ImpedanceData(0).SetFileName(zma);
    ASSERT_TRUE(net.SplData(0).ReadCurve(nullptr));
    ASSERT_TRUE(net.ImpedanceData(0).ReadCurve(nullptr));
    net.dZ[0] = 0.25;
    net.MarkChanged();
    ASSERT_TRUE(x.Calculate());

    const double tau = 0.25 / 340.0 * 1000.0; // ms
    const FVector& f = general.frequency();
    int minus170 = 0, minus90 = 0;
    for (int i = 1; i < 499; ++i) {
        ASSERT_EQ(x.SplPhase()[i], net.SplPhase()[i]);
        ASSERT_NEAR(net.GroupDelay()[i], tau, 1e-6) << i;
        const double d = x.SplPhase()[i + 1] - x.SplPhase()[i - 1];
        const double df = f[i + 1] - f[i - 1];
        // The two corrections one after the other, as written.
        double total = d;
        if (total > 100.0) total -= 360.0;
        if (total < -100.0) total += 360.0;
        EXPECT_NEAR(x.GroupDelay()[i], total * -2.7777777777777777 / df, 1e-9) << i;
        if (d < -100.0 && d > -180.0) {
            ++minus170;
            EXPECT_NEAR(x.GroupDelay()[i] - net.GroupDelay()[i], -1000.0 / df, 1e-9) << i;
        } else if (d < -80.0 && d > -100.0) {
            ++minus90;
            EXPECT_NEAR(x.GroupDelay()[i], net.GroupDelay()[i], 1e-9) << i;
        } else if (std::abs(d) < 100.0) {
            EXPECT_NEAR(x.GroupDelay()[i], tau, 1e-6) << i;
        }
    }
    EXPECT_GT(minus170, 0);
    EXPECT_GT(minus90, 0);
}
