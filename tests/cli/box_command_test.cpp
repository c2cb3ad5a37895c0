#include "cli/box_command.h"

#include "box/bass_reflex_box.h"
#include "box/closed_box.h"
#include "box/port_object.h"
#include "core/format.h"
#include "core/measure_setup.h"
#include "core/program_dir.h"
#include "driver/spk_data.h"
#include "scripted_ui_host.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace harlox::cli {
namespace {

std::vector<std::string> fileLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

class BoxCommandTest : public ::testing::Test {
protected:
    void SetUp() override { setPreferencesDirectory(dir.path()); }
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

    test::TempDir dir;
    std::ostringstream out, err;
};

// ---- refused input -------------------------------------------------------------------------

struct ErrorCase {
    const char* name;
    BoxOptions options;
    const char* message;
};

class BoxCommandErrors : public BoxCommandTest, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(BoxCommandErrors, ExitNonZeroWithAClearMessage) {
    const ErrorCase& c = GetParam();
    BoxOptions o = c.options;
    for (std::string& e : o.exports) {
        if (const auto at = e.find('@'); at != std::string::npos) e.replace(at, 1, dir.path() + "/");
    }
    EXPECT_EQ(run(o), 1);
    EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
    EXPECT_TRUE(out.str().empty());
}

BoxOptions closedWith(std::vector<std::string> sets, std::vector<std::string> exports = {}) {
    return BoxOptions{"closed", "", std::move(sets), std::move(exports), true};
}
BoxOptions reflexWith(std::vector<std::string> sets, std::vector<std::string> exports = {}) {
    return BoxOptions{"bassreflex", "", std::move(sets), std::move(exports), true};
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BoxCommandErrors,
    ::testing::Values(
        ErrorCase{"UnknownType", BoxOptions{"sealed", "", {}, {}, false}, "unknown box type 'sealed'"},
        ErrorCase{"UnknownName", closedWith({"box.volume=1"}), "unknown setting 'box.volume'"},
        ErrorCase{"NoEquals", closedWith({"box.Vb"}), "--set expects NAME=VALUE, got 'box.Vb'"},
        ErrorCase{"NotANumber", closedWith({"box.Vb=20l"}), "--set box.Vb: '20l' is not a number"},
        ErrorCase{"NotFinite", closedWith({"setup.Ug=inf"}), "'inf' is not a number"},
        ErrorCase{"NotWhole", closedWith({"driver.count=2.5"}), "'2.5' is not a whole number"},
        ErrorCase{"OutOfRange", closedWith({"box.Qb=20"}),
                  "--set box.Qb: the value must lie between 3 and 15"},
        ErrorCase{"PointsOutOfRange", closedWith({"setup.points=501"}), "between 10 and 500"},
        ErrorCase{"StartAboveStop", closedWith({"setup.start=1995"}), "between 1 and 1990"},
        ErrorCase{"BadFlag", closedWith({"driver.isobaric=maybe"}), "'maybe' is not one of"},
        ErrorCase{
            "ConnectionNotOffered", closedWith({"driver.count=4", "driver.connection=3"}),
            "connection 3 (\"2-2-2\") is not offered for 4 drivers; offered: 0 \"Series\", 1 \"Parallell\", "
            "2 \"2-2\", 8 \"Sep. sources\""},
        ErrorCase{"ConnectionBeforeCount", closedWith({"driver.connection=2", "driver.count=4"}),
                  "not offered for 1"},
        ErrorCase{"NegativeUnitValue", closedWith({"unit.Le=-1"}), "between 0 and"},
        ErrorCase{"IncompleteUnit", closedWith({"unit.Rms=0"}), "Too few speaker parameters are defined"},
        ErrorCase{"ClosedBoxHasNoPort", closedWith({"port.fb=35"}), "the closed box has no port"},
        ErrorCase{"NegativePortLength", reflexWith({"port.fb=900"}), "--set port.fb: Port length < 0"},
        ErrorCase{"NegativeLengthForArea", reflexWith({"port.fb=100", "port.D=0.01"}), "Portlength < 0"},
        ErrorCase{"FlareTooTight", reflexWith({"port.flare=0.04"}),
                  "Flare radius must be greater than half the port length"},
        ErrorCase{
            "MissingImport", closedWith({"driver.importFile=/no/such/file.frd"}),
            "Measured data: Could not open file : /no/such/file.frd Check if path and filename is correct."},
        ErrorCase{"UnknownExportKind", closedWith({}, {"phase=@x.frd"}), "unknown export kind 'phase'"},
        ErrorCase{"ExportWithoutFile", closedWith({}, {"spl="}), "--export expects KIND=FILE"},
        ErrorCase{"ClosedHasNoAirSpeed", closedWith({}, {"airspeed=@x.frd"}),
                  "the closed box has no 'airspeed'"},
        ErrorCase{"BadExtension", closedWith({}, {"spl=@x.txt"}),
                  "Export error: No valid export format selected"},
        ErrorCase{"UnitFileMissing", BoxOptions{"closed", "/no/such.unt", {}, {}, true},
                  "Speaker unit load: Could not open file. Check if device is ready."}),
    [](const ::testing::TestParamInfo<ErrorCase>& info) { return std::string(info.param.name); });

// ---- results -----------------------------------------------------------------------------------

TEST_F(BoxCommandTest, TheBuiltInUnitInADefaultClosedBox) {
    ASSERT_EQ(run(closedWith({})), 0) << err.str();
    const std::string sheet = out.str();
    EXPECT_EQ(sheet.rfind("CLOSED BOX\nFilename\t\nBox\n Vol\t\t10.00 l\n", 0), 0u);
    EXPECT_NE(sheet.find(" Manufacturer\tPEERLESS\n"), std::string::npos);
    EXPECT_NE(sheet.find("Additional details:\n -3dB point: \t83.52 Hz\n\n"), std::string::npos);
    EXPECT_TRUE(err.str().empty());
}

TEST_F(BoxCommandTest, SettingsApplyInOrderAndReachTheModel) {
    ASSERT_EQ(
        run(reflexWith({"box.Vb=0.04", "port.D=0.06", "port.fb=35", "driver.count=4", "driver.connection=2",
                        "driver.isobaric=1", "unit.dualCoil=yes", "unit.manufacturer=ACME", "setup.Rg=0.5",
                        "setup.points=60", "port.nonlinear=on"})),
        0)
        << err.str();
    const std::string sheet = out.str();
    for (const char* line :
         {" Vol\t\t40.00 l\n", " Area\t\t28.27 sq.cm\n", " Dia\t\t6.00 cm\n", " Res freq.\t35.00 Hz\n",
          " # drivers\t4\n", " Isobarik configuration with\n", " Double voice coil with\n",
          " Electrical connection of drivers : 2-2\n", " Manufacturer\tACME\n", " Rg\t\t0.50 Ohm\n",
          " # plot points\t60\n", " Simulation of port non linearity ON\n"}) {
        EXPECT_NE(sheet.find(line), std::string::npos) << line;
    }
    EXPECT_NE(sheet.find("  -3dB point: \t"), std::string::npos);
}

TEST_F(BoxCommandTest, ExportsWriteTheModelsCurvesInTheFormatOfTheExtension) {
    TSpkData unit;
    unit.SetDefault();
    unit.Le = 0.002;
    ASSERT_TRUE(unit.Save(dir.file("u.unt")));
    BoxOptions o{"bassreflex",
                 dir.file("u.unt"),
                 {"box.Vb=0.05", "port.fb=30", "setup.points=40"},
                 {"spl=" + dir.file("spl.frd"), "impedance=" + dir.file("imp.zma"),
                  "groupdelay=" + dir.file("gd.gdt"), "excursion=" + dir.file("x.fmp"),
                  "airspeed=" + dir.file("v.fm"), "driver=" + dir.file("d.frd"), "port=" + dir.file("p.FRD")},
                 false};
    ASSERT_EQ(run(o), 0) << err.str();
    EXPECT_TRUE(out.str().empty());

    // The same project calculated directly.
    sharedSetup().setValuesToDefaults();
    test::ScriptedUiHost ui;
    TBassReflexBox box(ui);
    ASSERT_TRUE(box.front().Load(dir.file("u.unt")));
    box.setVb(0.05);
    ASSERT_TRUE(box.port().setTuning(30));
    sharedSetup().pointCount = 40;
    box.Calculate(0);
    const auto& f = sharedSetup().grid.f;

    auto lines = fileLines(dir.file("spl.frd"));
    ASSERT_EQ(lines.size(), 41u);
    EXPECT_EQ(lines[0], "   Hz\t\tdB\t\tdeg\r");
    EXPECT_EQ(lines[7], strprintf(" %f\t%f\t%f\r", f[6], box.SPL[6], box.splPhase[6]));

    lines = fileLines(dir.file("imp.zma"));
    ASSERT_EQ(lines.size(), 41u);
    EXPECT_EQ(lines[0], "   Hz\t\tohm\t\tdeg\r");
    EXPECT_EQ(lines[40],
              strprintf(" %f\t%f\t%f\r", f[39], box.front().impedance[39], box.impedancePhase[39]));

    lines = fileLines(dir.file("gd.gdt"));
    ASSERT_EQ(lines.size(), 7u + 40u + 1u);
    EXPECT_EQ(lines[0], "* LEAP Version 4.00, Export Graph Data table (GDT) Format\r");
    EXPECT_EQ(lines[4], "* Number of Points : 40\r");
    EXPECT_EQ(lines[5], "*  Graph 1 > Group delay\r");
    EXPECT_EQ(lines[6], "*    Hz\t\tms\r");
    EXPECT_EQ(lines[9], strprintf(" %f\t%f\t%f\r", f[2], box.groupDelay[2], 0.0));
    EXPECT_EQ(lines.back(), "* End of LEAP GDT File.\r");

    lines = fileLines(dir.file("x.fmp"));
    ASSERT_EQ(lines.size(), 42u);
    EXPECT_EQ(lines[0], "Cone excursion\r");
    EXPECT_EQ(lines[1], "   Hz\t\tmm\r");
    EXPECT_EQ(lines[2], strprintf(" %f\t%f\t%f\r", f[0], box.front().excursion[0], 0.0));

    lines = fileLines(dir.file("v.fm"));
    ASSERT_EQ(lines.size(), 42u);
    EXPECT_EQ(lines[0], "Airspeed in port\r");
    EXPECT_EQ(lines[1], "   Hz\t\tm/s\r");
    EXPECT_EQ(lines[20], strprintf(" %f\t%f\r", f[18], box.airSpeed[18]));

    lines = fileLines(dir.file("d.frd"));
    EXPECT_EQ(lines[0], "   Hz\t\tdB\r");
    EXPECT_EQ(lines[1], strprintf(" %f\t%f\t%f\r", f[0], box.driverSPL[0], 0.0));
    lines = fileLines(dir.file("p.FRD"));
    EXPECT_EQ(lines[1], strprintf(" %f\t%f\t%f\r", f[0], box.portSPL[0], 0.0));
}

TEST_F(BoxCommandTest, MeasuredSplRelativeToTheWorkingFolder) {
    const std::string meas = dir.file("m.frd");
    std::ofstream(meas) << "10 80 0\n20000 80 0\n";
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const int rc = run(closedWith({"driver.importFile=m.frd", "driver.transitionFrequency=500"}));
    std::filesystem::current_path(previous);
    ASSERT_EQ(rc, 0) << err.str();
    EXPECT_NE(out.str().find(" Imported SPL data : " + meas + "\n   Transition freq. \t500 Hz\n"),
              std::string::npos);
}

TEST_F(BoxCommandTest, TheToolNeverWritesPreferences) {
    ASSERT_EQ(run(closedWith({"setup.Ug=4", "setup.points=100"})), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.file("msetup.prf")));
    // And every run starts from the defaults again.
    ASSERT_EQ(run(closedWith({})), 0);
    EXPECT_NE(out.str().find(" # plot points\t50\n Ug\t\t2.83 V\n"), std::string::npos);
}

TEST_F(BoxCommandTest, EveryUnitFieldHasASetting) {
    const auto names = boxSettingNames();
    for (const char* field :
         {"Sd",   "Vas", "Cms",       "Cas",      "Qms",          "Qes",   "Qts",  "Pmax",
          "Xmax", "h",   "l",         "Mmd",      "Mms",          "Rms",   "fs",   "Bl",
          "Re",   "Le",  "crosscalc", "dualCoil", "manufacturer", "model", "note", "speakerType"}) {
        EXPECT_NE(std::find(names.begin(), names.end(), std::string("unit.") + field), names.end()) << field;
    }
}

} // namespace
} // namespace harlox::cli
