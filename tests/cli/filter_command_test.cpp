#include "cli/filter_command.h"

#include "cli/cli_host.h"
#include "cli/plot.h"
#include "filter/general.h"
#include "filter/net.h"
#include "filter/net_a.h"
#include "filter/xover.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace harlox::cli {
namespace {

const std::string kMeasured = std::string(HARLOX_SHARED_DATA_DIR) + "/measured/";
const std::string kBassSpl = kMeasured + "DCS255-4@0.frd";
const std::string kBassZma = kMeasured + "DCS255-4.zma";
const std::string kTrebleSpl = kMeasured + "ND25FA-4@0.frd";
const std::string kTrebleZma = kMeasured + "ND25FA-4.zma";

// The data rows of an exported curve: frequency and the one or two value columns.
std::vector<std::vector<double>> rows(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::vector<double>> out;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream s(line);
        std::vector<double> row;
        double x = 0.0;
        while (s >> x)
            row.push_back(x);
        if (!row.empty() && s.eof()) out.push_back(row);
    }
    return out;
}

std::vector<std::string> twoWayDesign() {
    return {
        "net1.driver1.spl=" + kBassSpl,   "net1.driver1.zma=" + kBassZma, "net2.driver1.spl=" + kTrebleSpl,
        "net2.driver1.zma=" + kTrebleZma, "net1.lowpass=2@2500",          "net2.highpass=2@2500"};
}

void loadCurve(TNet& net, TMeasData& curve, const std::string& path) {
    curve.SetFileName(path);
    ASSERT_TRUE(curve.ReadCurve(nullptr)) << path;
    net.Edited();
}

TEST(FilterCommand, SimpleTwoWayExportsTheProjectsOwnCurvesAndRoundTrips) {
    test::TempDir dir;
    FilterOptions o;
    o.variant = "simple2";
    o.actions.sets = twoWayDesign();
    o.actions.exports = {"total=" + dir.file("t.frd"), "impedance=" + dir.file("z.zma"),
                         "groupdelay=" + dir.file("g.gdt"), "gain:1=" + dir.file("g1.frd")};
    o.actions.saveFile = dir.file("a.flt");
    std::ostringstream out, err;
    ASSERT_EQ(runFilterNew(o, out, err), 0) << err.str();

    // The same project built directly.
    std::ostringstream hostErr;
    CliHost host(hostErr);
    TGeneral general;
    TXover x(general, 0, host);
    TNet& bass = static_cast<TNet&>(x.Net(0));
    TNet& treble = static_cast<TNet&>(x.Net(1));
    loadCurve(bass, bass.Spl(0), kBassSpl);
    loadCurve(bass, bass.Impedance(0), kBassZma);
    loadCurve(treble, treble.Spl(0), kTrebleSpl);
    loadCurve(treble, treble.Impedance(0), kTrebleZma);
    bass.lowPassOrder = 2;
    bass.lowPassCutoff = 2500;
    ASSERT_TRUE(bass.DesignLowPass());
    treble.highPassOrder = 2;
    treble.highPassCutoff = 2500;
    ASSERT_TRUE(treble.DesignHighPass());
    host.runPosted();
    ASSERT_TRUE(x.Calculate());

    const auto total = rows(dir.file("t.frd"));
    const auto z = rows(dir.file("z.zma"));
    const auto gd = rows(dir.file("g.gdt"));
    const auto gain = rows(dir.file("g1.frd"));
    ASSERT_EQ(total.size(), 500u);
    ASSERT_EQ(z.size(), 500u);
    ASSERT_EQ(gd.size(), 500u);
    ASSERT_EQ(gain.size(), 500u);
    const int main = general.mainRay();
    for (int i = 0; i < 500; ++i) {
        const auto u = static_cast<std::size_t>(i);
        ASSERT_NEAR(total[u][0], general.frequency()[i], 1e-6);
        const Complex s = x.RaySum()[main][i];
        EXPECT_NEAR(total[u][1], x.RayDb()[main][i], 1e-6);
        EXPECT_NEAR(total[u][2], std::atan2(s.imag(), s.real()) * 180.0 / 3.14159265358979323846, 1e-5);
        EXPECT_NEAR(z[u][1], x.ZinMagnitude()[i], 1e-6);
        EXPECT_NEAR(z[u][2], x.ZinPhase()[i], 1e-6);
        EXPECT_NEAR(gd[u][1], x.GroupDelay()[i], 1e-6);
        EXPECT_NEAR(gain[u][1], bass.GainDb()[i], 1e-6);
    }

    // Open and save again: the same bytes.
    FilterOptions again;
    again.projectFile = dir.file("a.flt");
    again.actions.saveFile = dir.file("b.flt");
    ASSERT_EQ(runFilterOpen(again, out, err), 0) << err.str();
    EXPECT_EQ(test::readAll(dir.file("a.flt")), test::readAll(dir.file("b.flt")));
}

TEST(FilterCommand, PassiveBranchesAndComponentsBySetting) {
    test::TempDir dir;
    FilterOptions o;
    o.variant = "passive2";
    o.actions.sets = {"net1.driver1.spl=" + kBassSpl,
                      "net1.driver1.zma=" + kBassZma,
                      "net1.branch1.type=3", // R1 + L
                      "net1.L1011=0.0015",
                      "net1.branch2.type=2", // C
                      "net1.branch2.C=0.00002",
                      "net2.drivers=2",
                      "net2.driver2.z=0.05",
                      "general.rays=30,0,-30"};
    o.actions.exports = {"total:-30=" + dir.file("t.frd"), "net:1=" + dir.file("n1.frd")};
    o.actions.saveFile = dir.file("p.flt");
    std::ostringstream out, err;
    // Net 2 has no curves: nothing to export, nothing written.
    ASSERT_EQ(runFilterNew(o, out, err), 1);
    EXPECT_NE(err.str().find("no results"), std::string::npos) << err.str();
    EXPECT_FALSE(std::filesystem::exists(dir.file("p.flt")));

    o.actions.sets.insert(o.actions.sets.end(),
                          {"net2.driver1.spl=" + kTrebleSpl, "net2.driver1.zma=" + kTrebleZma});
    err.str("");
    ASSERT_EQ(runFilterNew(o, out, err), 0) << err.str();
    EXPECT_EQ(rows(dir.file("t.frd")).size(), 500u);

    std::ostringstream hostErr;
    CliHost host(hostErr);
    TGeneral general;
    TXover x(general, 4, host);
    ASSERT_TRUE(x.ReadProject(dir.file("p.flt"))) << hostErr.str();
    TNetA& n1 = *x.AdvancedNet(0);
    EXPECT_EQ(n1.Branch(0).type(), 3);
    EXPECT_DOUBLE_EQ(n1.Branch(0).L().Value(), 0.0015);
    EXPECT_EQ(n1.Branch(1).type(), 2);
    EXPECT_DOUBLE_EQ(n1.Branch(1).C().Value(), 0.00002);
    EXPECT_EQ(x.AdvancedNet(1)->driverCount, 2);
    EXPECT_DOUBLE_EQ(x.AdvancedNet(1)->dZ[1], 0.05);
    EXPECT_EQ(general.surfaceCount(), 3);
}

TEST(FilterCommand, RefusalsStopBeforeAnythingIsWritten) {
    struct Case {
        std::string variant;
        std::vector<std::string> sets;
        std::vector<std::string> exports;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"simple2", {"net1.foo=1"}, {}, "unknown setting 'net1.foo'"},
        {"simple2", {"net1.Re=abc"}, {}, "--set net1.Re: 'abc' is not a number"},
        {"simple2", {"net3.Re=4"}, {}, "the project has 2 nets"},
        {"simple2", {"net1.highpass=2@100"}, {}, "the bass section has no high-pass"},
        {"simple2", {"net1.branch1.type=2"}, {}, "net 1 is a simple network"},
        {"simple2", {"net1.driver1.spl=" + kMeasured + "missing.frd"}, {}, "missing.frd': No such file or directory"},
        {"simple2", {"net1.driver2.x=0.1"}, {}, "net 1 has 1 driver"},
        {"simple2", {"general.rays=0,200"}, {}, "--set general.rays"},
        {"passive1", {"net1.branch1.type=11"}, {}, "the types: 0 \"None\""},
        {"passive1", {"net1.branch1.R2=5"}, {}, "R1012 is not in use"},
        {"passive1", {"net1.gain=3"}, {}, "net 1 is not active"},
        {"active1", {"net1.branch1.C=1e-6"}, {}, "active branches have no C"},
        {"simple4", {}, {}, "unknown filter variant 'simple4'"},
        {"simple2", {}, {"bogus=x.frd"}, "unknown export kind 'bogus'"},
        {"simple2", {}, {"gain:3=x.frd"}, "gain:K with K from 1 to 2"},
        {"simple2", {}, {"total:45=x.frd"}, "'45' is not a calculated ray"},
        {"simple2", {}, {"impedance:2=x.zma"}, "takes no argument"},
        {"simple2", {}, {"total=x.txt"}, "must end in .frd"},
        {"active2", {}, {"impedance=x.zma"}, "no input impedance"},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        FilterOptions o;
        o.variant = c.variant;
        o.actions.sets = c.sets;
        for (const std::string& e : c.exports)
            o.actions.exports.push_back(e.substr(0, e.find('=') + 1) + dir.file(e.substr(e.find('=') + 1)));
        o.actions.saveFile = dir.file("s.flt");
        std::ostringstream out, err;
        EXPECT_EQ(runFilterNew(o, out, err), c.variant == "simple4" ? 2 : 1) << c.message; // a usage error
        EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
        EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << c.message;
    }

    test::TempDir dir;
    std::ofstream(dir.file("box.flt")) << "not a project";
    for (const std::string& file : {dir.file("none.flt"), dir.file("box.flt")}) {
        FilterOptions o;
        o.projectFile = file;
        o.actions.saveFile = dir.file("s.flt");
        std::ostringstream out, err;
        EXPECT_EQ(runFilterOpen(o, out, err), 1);
        EXPECT_FALSE(err.str().empty());
        EXPECT_FALSE(std::filesystem::exists(dir.file("s.flt")));
    }
}

TEST(FilterCommand, PicturesImpulseMusicWizardAndOptimiser) {
    test::TempDir dir;
    // 3000 stereo frames of a quiet tone, as raw 16-bit PCM.
    constexpr int kFrames = 3000;
    {
        std::ofstream pcm(dir.file("in.pcm"), std::ios::binary);
        for (int i = 0; i < kFrames; ++i) {
            const auto v = static_cast<std::int16_t>(3000.0 * std::sin(0.05 * i));
            for (int channel = 0; channel < 2; ++channel)
                pcm.write(reinterpret_cast<const char*>(&v), sizeof v);
        }
    }
    FilterOptions o;
    o.variant = "simple2";
    o.actions.sets = twoWayDesign();
    o.actions.sets.push_back("general.rays=30,0,-30");
    o.actions.exports = {"impulse=" + dir.file("h.frd")};
    if (plottingAvailable())
        o.actions.plots = {"surface=" + dir.file("s.png"), "overlay=" + dir.file("o.svg"),
                           "schematic=" + dir.file("c.svg")};
    o.actions.music.files = {dir.file("in.pcm"), dir.file("out.pcm")};
    std::ostringstream out, err;
    ASSERT_EQ(runFilterNew(o, out, err), 0) << err.str();
    // The impulse response's shown half: N/2 = 256 points of the default 512.
    EXPECT_EQ(rows(dir.file("h.frd")).size(), 256u);
    // Every input frame comes out, delayed by the transform size.
    EXPECT_EQ(std::filesystem::file_size(dir.file("out.pcm")), (kFrames + 512u) * 4u);
    for (const std::string& picture : o.actions.plots)
        EXPECT_GT(std::filesystem::file_size(picture.substr(picture.find('=') + 1)), 1000u) << picture;
    if (plottingAvailable()) {
        std::ifstream svg(dir.file("c.svg"));
        const std::string text((std::istreambuf_iterator<char>(svg)), std::istreambuf_iterator<char>());
        EXPECT_NE(text.find("L11"), std::string::npos);
    }

    // An active 2-way: the wizard fills net 1, the optimiser then moves it towards its target.
    FilterOptions a;
    a.variant = "active2";
    a.actions.sets = {"net1.driver1.spl=" + kBassSpl, "net2.driver1.spl=" + kTrebleSpl};
    a.actions.optimise.wizards = {"active:1,LP,2,1500"};
    a.actions.optimise.net = 1;
    a.actions.optimise.passes = 5;
    a.actions.optimise.list = {"all"};
    a.actions.optimise.target = {"lowpass=4@2500,linkwitz", "range=100-10000"};
    std::ostringstream aout, aerr;
    ASSERT_EQ(runFilterNew(a, aout, aerr), 0) << aerr.str();
    std::vector<double> errors;
    std::istringstream report(aerr.str());
    for (std::string word; report >> word;)
        if (char* end = nullptr; !word.empty() && (std::strtod(word.c_str(), &end), end && *end == '\0'))
            errors.push_back(std::strtod(word.c_str(), nullptr));
    ASSERT_GE(errors.size(), 2u) << aerr.str();
    EXPECT_LT(errors.back(), errors.front()) << aerr.str();

    // What it refuses, before anything is written.
    FilterOptions bad;
    bad.variant = "simple2";
    bad.actions.plots = {"schematic:1=" + dir.file("x.svg")};
    std::ostringstream bout, berr;
    EXPECT_EQ(runFilterNew(bad, bout, berr), 1);
    EXPECT_NE(berr.str().find("give schematic=FILE"), std::string::npos) << berr.str();
    bad.actions.plots.clear();
    bad.actions.music.files = {dir.file("missing.wav"), dir.file("y.wav")};
    EXPECT_EQ(runFilterNew(bad, bout, berr), 1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("y.wav")));
}

} // namespace
} // namespace harlox::cli
