#include "cli/box_command.h"

#include "box/bass_reflex_box.h"
#include "box/port_object.h"
#include "cli/plot.h"
#include "core/format.h"
#include "core/measure_setup.h"
#include "core/program_dir.h"
#include "driver/spk_data.h"
#include "scripted_ui_host.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <tuple>

namespace harlox::cli {
namespace {

std::string fileText(const std::string& path) {
    const auto bytes = test::readAll(path);
    return {bytes.begin(), bytes.end()};
}

BoxOptions boxWith(std::string type, std::vector<std::string> sets, std::vector<std::string> exports = {},
                   std::string unit = {}) {
    BoxOptions o;
    o.type = std::move(type);
    o.unitFile = std::move(unit);
    o.actions.sets = std::move(sets);
    o.actions.exports = std::move(exports);
    o.actions.datasheet = true;
    return o;
}

class BoxCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        setPreferencesDirectory(dir.path());
        TSpkData unit;
        unit.SetDefault();
        ASSERT_TRUE(unit.Save(unitPath));
    }
    void TearDown() override {
        setPreferencesDirectory("");
        sharedSetup().setValuesToDefaults();
        TPortObject::setNonLinear(false);
    }

    int run(const BoxOptions& o) {
        out.str("");
        err.str("");
        return runBox(o, out, err);
    }
    int open(const std::string& file, std::vector<std::string> exports = {}) {
        out.str("");
        err.str("");
        return runOpen(OpenOptions{file, boxWith("", {}, std::move(exports)).actions}, out, err);
    }

    test::TempDir dir;
    const std::string unitPath = dir.file("u.unt");
    std::ostringstream out, err;
};

TEST_F(BoxCommandTest, RefusedInputExitsNonZeroWithAClearMessage) {
    const std::string x = dir.file("x.frd");
    const std::tuple<const char*, std::vector<std::string>, std::vector<std::string>, std::string> cases[] = {
        {"sealed", {}, {}, "unknown box type 'sealed'"},
        {"closed", {"box.volume=1"}, {}, "unknown setting 'box.volume'"},
        {"closed", {"box.Vb"}, {}, "--set expects NAME=VALUE, got 'box.Vb'"},
        {"closed", {"box.Vb=20l"}, {}, "--set box.Vb: '20l' is not a number"},
        {"closed", {"box.Qb=20"}, {}, "--set box.Qb: the value must lie between 3 and 15"},
        {"closed",
         {"driver.count=4", "driver.connection=3"},
         {},
         "connection 3 (\"2-2-2\") is not offered for 4 drivers; offered: 0 \"Series\", 1 \"Parallell\", "
         "2 \"2-2\", 8 \"Sep. sources\""},
        {"closed", {"unit.Rms=0"}, {}, "Too few speaker parameters are defined"},
        {"bassreflex", {"port.fb=900"}, {}, "--set port.fb: Port length < 0"},
        {"bassreflex", {"port.fb=100", "port.D=0.01"}, {}, "--set port.D: Portlength < 0"},
        {"closed",
         {"driver.importFile=/no/m.frd"},
         {},
         "Measured data: Could not open file : /no/m.frd Check if path and filename is correct."},
        {"closed", {}, {"phase=" + x}, "unknown export kind 'phase'"},
        {"closed", {}, {"airspeed=" + x}, "the closed box has no 'airspeed'"},
        {"closed", {}, {"spl=" + dir.file("x.txt")}, "Export error: No valid export format selected"},
    };
    for (const auto& [type, sets, exports, message] : cases) {
        EXPECT_EQ(run(boxWith(type, sets, exports)), 1) << message;
        EXPECT_NE(err.str().find(message), std::string::npos) << err.str();
        EXPECT_TRUE(out.str().empty());
    }
    BoxOptions o = boxWith("closed", {}, {}, "/no/such.unt");
    EXPECT_EQ(run(o), 1);
    EXPECT_NE(err.str().find("Speaker unit load: Could not open file. Check if device is ready."),
              std::string::npos);
    o.unitFile.clear();
    o.actions.saveFile = x;
    EXPECT_EQ(run(o), 1);
    EXPECT_NE(err.str().find("--save needs --unit"), std::string::npos);
}

// Every name changes what a run writes, except those kept in the unit record only; the required unit
// parameters set to 0 make the unit insufficient. No run writes the preferences, so each starts from the
// defaults again.
TEST_F(BoxCommandTest, EverySettingReachesTheModel) {
    const std::string meas = dir.file("m.frd");
    std::ofstream(meas) << "10 80 0\n20000 80 0\n";
    // One value for every name, in the order of boxSettingNames().
    std::istringstream values(
        "60 30 3000 4 2 0.5 0.001 2 1 1 1 1 0.005 1 1 1 " + meas +
        " 1 500 100 0 3 0 0 0 0 0 0 0 100 0.005 0.01 0.02 0 0 0 0 0 0 0.002 1 1 2 ACME X1 "
        "hello a.unt 0.04 10 10 50 0.2 0.06 0.003 2 0.2 1 35");
    const std::set<std::string_view> unseen{"unit.Pmax",      "unit.Xmax",        "unit.h",   "unit.l",
                                            "unit.crosscalc", "unit.speakerType", "unit.note"};
    // What a run writes: the data sheet, and only when asked (it is slow) the files.
    const auto result = [&](const std::vector<std::string>& sets, bool files) {
        BoxOptions o = boxWith("bassreflex", sets, {}, unitPath);
        if (files) {
            o.actions.saveFile = dir.file("p.box");
            o.actions.exports = {"impedance=" + dir.file("i.zma")};
        }
        const int rc = run(o);
        std::string written = std::to_string(rc) + out.str() + err.str();
        if (files) written += fileText(dir.file("p.box")) + fileText(dir.file("i.zma"));
        return written;
    };
    const std::string base = result({}, false), baseFiles = result({}, true);
    ASSERT_EQ(base[0], '0') << base;
    for (const std::string_view name : boxSettingNames()) {
        std::string value;
        ASSERT_TRUE(values >> value) << "no value for " << name;
        const std::string set = std::string(name) + "=" + value;
        const std::string sheet = result({set}, false);
        EXPECT_EQ(sheet != base || result({set}, true) != baseFiles, !unseen.contains(name)) << set;
        if (name.starts_with("unit.") && value == "0") {
            EXPECT_EQ(sheet[0], '1') << set;
        }
    }
    std::string extra;
    EXPECT_FALSE(values >> extra) << "a value left over";
    EXPECT_EQ(result({}, false), base);
    EXPECT_FALSE(std::filesystem::exists(dir.file("msetup.prf")));
}

// The diameter sets the area with it; a measured SPL file is found relative to the working folder.
TEST_F(BoxCommandTest, DatasheetShowsTheSettings) {
    std::ofstream(dir.file("m.frd")) << "10 80 0\n20000 80 0\n";
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const int rc = run(boxWith("bassreflex", {"port.D=0.06", "driver.importFile=m.frd"}));
    std::filesystem::current_path(previous);
    ASSERT_EQ(rc, 0) << err.str();
    const std::string sheet = out.str();
    EXPECT_EQ(sheet.rfind("BASSREFLEX BOX\nFilename\t\nBox\n Vol\t\t10.00 l\n", 0), 0u) << sheet;
    EXPECT_NE(sheet.find(" Area\t\t28.27 sq.cm\n Dia\t\t6.00 cm\n"), std::string::npos) << sheet;
    EXPECT_NE(sheet.find(" Imported SPL data : " + dir.file("m.frd") + "\n"), std::string::npos);
    EXPECT_TRUE(err.str().empty());
}

TEST_F(BoxCommandTest, ExportsWriteEachKindInTheFormatOfTheExtension) {
    // The project calculated directly, to see that each kind writes its own curve.
    test::ScriptedUiHost ui;
    TBassReflexBox box(ui);
    ASSERT_TRUE(box.front().Load(unitPath));
    box.setVb(0.05);
    ASSERT_TRUE(box.port().setTuning(30));
    box.Calculate(0);
    const std::tuple<const char*, const char*, const char*, const double*> cases[] = {
        {"spl", "s.frd", "   Hz\t\tdB\t\tdeg\r\n", box.SPL.data()},
        {"impedance", "i.ZMA", "   Hz\t\tohm\t\tdeg\r\n", box.front().impedance.data()},
        {"groupdelay", "g.gdt", "* LEAP Version 4.00,", box.groupDelay.data()},
        {"excursion", "x.fmp", "Cone excursion\r\n   Hz\t\tmm\r\n", box.front().excursion.data()},
        {"airspeed", "v.fm", "Airspeed in port\r\n   Hz\t\tm/s\r\n", box.airSpeed.data()},
        {"driver", "d.frd", "   Hz\t\tdB\r\n", box.driverSPL.data()},
        {"port", "p.frd", "   Hz\t\tdB\r\n", box.portSPL.data()},
    };
    BoxOptions o = boxWith("bassreflex", {"box.Vb=0.05", "port.fb=30"}, {}, unitPath);
    o.actions.datasheet = false;
    for (const auto& [kind, file, head, y] : cases)
        o.actions.exports.push_back(std::string(kind) + "=" + dir.file(file));
    ASSERT_EQ(run(o), 0) << err.str();
    EXPECT_TRUE(out.str().empty());
    const double* f = sharedSetup().grid.f.data();
    for (const auto& [kind, file, head, y] : cases) {
        const std::string text = fileText(dir.file(file));
        EXPECT_EQ(text.rfind(head, 0), 0u) << kind;
        EXPECT_NE(text.find(strprintf("\r\n %f\t%f", f[6], y[6])), std::string::npos) << kind;
    }
}

TEST_F(BoxCommandTest, PlotsHaveTheRequestedSize) {
    if (!plottingAvailable()) GTEST_SKIP() << "built without Qt";
    BoxOptions o = boxWith("bassreflex", {}, {}, unitPath);
    o.actions.plots = {"port=" + dir.file("port.PNG")};
    o.actions.plotSize = "640x480";
    ASSERT_EQ(run(o), 0) << err.str();
    const auto png = test::readAll(dir.file("port.PNG"));
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ((png[18] << 8) | png[19], 640); // width and height in the PNG header
    EXPECT_EQ((png[22] << 8) | png[23], 480);
}

// What open cannot read is refused with a message naming the file.
TEST_F(BoxCommandTest, BoxSaveThenOpenGivesTheSameSheetAndCurves) {
    for (const auto& [type, set, size] :
         {std::tuple{"closed", "driver.count=2", 3761u}, std::tuple{"bassreflex", "port.fb=35", 3884u}}) {
        BoxOptions made = boxWith(type, {"box.Vb=0.02", set}, {"spl=" + dir.file("made.frd")}, unitPath);
        made.actions.saveFile = dir.file("p.box");
        ASSERT_EQ(run(made), 0) << err.str();
        EXPECT_EQ(test::readAll(dir.file("p.box")).size(), size);
        const std::string sheet = out.str();
        EXPECT_NE(sheet.find("Filename\tp.box\n"), std::string::npos) << sheet;

        ASSERT_EQ(open(dir.file("p.box"), {"spl=" + dir.file("opened.frd")}), 0) << err.str();
        EXPECT_EQ(out.str(), sheet);
        EXPECT_TRUE(err.str().empty()) << err.str();
        EXPECT_EQ(fileText(dir.file("opened.frd")), fileText(dir.file("made.frd"))) << type;
    }

    const auto good = test::readAll(dir.file("p.box"));
    const auto write = [&](const std::string& name, std::vector<std::uint8_t> bytes) {
        test::writeAll(dir.file(name), bytes);
        return dir.file(name);
    };
    const std::pair<std::string, std::string> cases[] = {
        {dir.file("none.box"), "cannot open '" + dir.file("none.box") + "'"},
        {write("short.box", {0, 0}), "is not a project file: it is shorter than its type code"},
        {write("filter.box", {15, 0, 0, 0}),
         "holds a Simple passive 2-way filter project; harlox-cli opens box projects"},
        {write("odd.box", {99, 0, 0, 0}), "is not a project file (type code 99)"},
        {write("cut.box", {good.begin(), good.end() - 1}),
         "could not read the bassreflex project '" + dir.file("cut.box") + "': the project file is corrupt"},
    };
    for (const auto& [file, message] : cases) {
        EXPECT_EQ(open(file), 1) << message;
        EXPECT_NE(err.str().find(message), std::string::npos) << err.str();
        EXPECT_TRUE(out.str().empty());
    }
}

} // namespace
} // namespace harlox::cli
