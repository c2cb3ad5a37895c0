#include "cli/box_command.h"

#include "box/bass_reflex_box.h"
#include "box/closed_box.h"
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
    for (std::string& e : o.actions.exports) {
        if (const auto at = e.find('@'); at != std::string::npos) e.replace(at, 1, dir.path() + "/");
    }
    EXPECT_EQ(run(o), 1);
    EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
    EXPECT_TRUE(out.str().empty());
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
BoxOptions closedWith(std::vector<std::string> sets, std::vector<std::string> exports = {}) {
    return boxWith("closed", std::move(sets), std::move(exports));
}
BoxOptions reflexWith(std::vector<std::string> sets, std::vector<std::string> exports = {}) {
    return boxWith("bassreflex", std::move(sets), std::move(exports));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BoxCommandErrors,
    ::testing::Values(
        ErrorCase{"UnknownType", boxWith("sealed", {}), "unknown box type 'sealed'"},
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
        ErrorCase{"SaveWithoutUnit",
                  [] {
                      BoxOptions o = closedWith({});
                      o.actions.saveFile = "/tmp/never-written.box";
                      return o;
                  }(),
                  "--save needs --unit"},
        ErrorCase{"PlotKindUnknown",
                  [] {
                      BoxOptions o = closedWith({});
                      o.actions.plots = {"phase=x.png"};
                      return o;
                  }(),
                  "unknown plot kind 'phase'"},
        ErrorCase{"PlotClosedHasNoPort",
                  [] {
                      BoxOptions o = closedWith({});
                      o.actions.plots = {"port=x.png"};
                      return o;
                  }(),
                  "the closed box has no 'port'"},
        ErrorCase{"ClosedHasNoAirSpeed", closedWith({}, {"airspeed=@x.frd"}),
                  "the closed box has no 'airspeed'"},
        ErrorCase{"BadExtension", closedWith({}, {"spl=@x.txt"}),
                  "Export error: No valid export format selected"},
        ErrorCase{"UnitFileMissing", boxWith("closed", {}, {}, "/no/such.unt"),
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
    BoxOptions o =
        boxWith("bassreflex", {"box.Vb=0.05", "port.fb=30", "setup.points=40"},
                {"spl=" + dir.file("spl.frd"), "impedance=" + dir.file("imp.zma"),
                 "groupdelay=" + dir.file("gd.gdt"), "excursion=" + dir.file("x.fmp"),
                 "airspeed=" + dir.file("v.fm"), "driver=" + dir.file("d.frd"), "port=" + dir.file("p.FRD")},
                dir.file("u.unt"));
    o.actions.datasheet = false;
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

// ---- project files: box --save, open ------------------------------------------------------------

class ProjectCommandTest : public BoxCommandTest {
protected:
    void SetUp() override {
        BoxCommandTest::SetUp();
        oldProgramDirectory = programDirectory();
        TSpkData unit;
        unit.SetDefault();
        unit.Le = 0.0015;
        unitPath = dir.file("u.unt");
        ASSERT_TRUE(unit.Save(unitPath));
    }
    void TearDown() override {
        setProgramDirectory(oldProgramDirectory);
        BoxCommandTest::TearDown();
    }

    int open(const OpenOptions& o) {
        out.str("");
        err.str("");
        return runOpen(o, out, err);
    }
    OpenOptions openWith(const std::string& file, std::vector<std::string> sets = {},
                         std::vector<std::string> exports = {}) {
        OpenOptions o;
        o.projectFile = file;
        o.actions.sets = std::move(sets);
        o.actions.exports = std::move(exports);
        return o;
    }
    // The four curve files of one run, named prefix-*.
    std::vector<std::string> curves(const std::string& prefix) const {
        return {"spl=" + dir.file(prefix + "-spl.frd"), "impedance=" + dir.file(prefix + "-imp.zma"),
                "excursion=" + dir.file(prefix + "-x.frd"), "groupdelay=" + dir.file(prefix + "-gd.gdt")};
    }

    std::string oldProgramDirectory;
    std::string unitPath;
};

TEST_F(ProjectCommandTest, BoxSaveThenOpenGivesTheSameCurves) {
    struct Case {
        const char* type;
        std::vector<std::string> sets;
        std::size_t size;
    };
    for (const Case& c : {Case{"closed", {"box.Vb=0.02", "setup.points=80", "driver.count=2"}, 3761},
                          Case{"bassreflex", {"box.Vb=0.04", "port.fb=35", "setup.Rg=0.2"}, 3884}}) {
        BoxOptions made = boxWith(c.type, c.sets, curves("made"), unitPath);
        made.actions.saveFile = dir.file("p.box");
        ASSERT_EQ(run(made), 0) << err.str();
        EXPECT_EQ(test::readAll(dir.file("p.box")).size(), c.size);
        const std::string sheet = out.str();
        EXPECT_NE(sheet.find("Filename\tp.box\n"), std::string::npos) << sheet;

        OpenOptions again = openWith(dir.file("p.box"), {}, curves("opened"));
        again.actions.datasheet = true;
        ASSERT_EQ(open(again), 0) << err.str();
        EXPECT_EQ(out.str(), sheet);
        EXPECT_TRUE(err.str().empty()) << err.str();
        for (const char* name : {"-spl.frd", "-imp.zma", "-x.frd", "-gd.gdt"}) {
            const auto opened = test::readAll(dir.file(std::string("opened") + name));
            EXPECT_FALSE(opened.empty()) << name;
            EXPECT_EQ(opened, test::readAll(dir.file(std::string("made") + name))) << c.type << name;
        }
    }
}

TEST_F(ProjectCommandTest, OpenAppliesSettingsAndSavesTheChangedProject) {
    BoxOptions made = boxWith("bassreflex", {"box.Vb=0.04", "port.fb=35"}, {}, unitPath);
    made.actions.saveFile = dir.file("p.box");
    ASSERT_EQ(run(made), 0) << err.str();

    OpenOptions changed = openWith(dir.file("p.box"), {"box.Vb=0.06", "setup.points=70"});
    changed.actions.saveFile = dir.file("q.box");
    changed.actions.datasheet = true;
    ASSERT_EQ(open(changed), 0) << err.str();
    EXPECT_NE(out.str().find("Filename\tq.box\n"), std::string::npos);
    EXPECT_NE(out.str().find(" Vol\t\t60.00 l\n"), std::string::npos);

    OpenOptions reread = openWith(dir.file("q.box"));
    reread.actions.datasheet = true;
    ASSERT_EQ(open(reread), 0) << err.str();
    EXPECT_NE(out.str().find(" Vol\t\t60.00 l\n"), std::string::npos);
    EXPECT_NE(out.str().find(" # plot points\t70\n"), std::string::npos);
    // The first project is untouched.
    ASSERT_EQ(open(openWith(dir.file("p.box"))), 0);
}

TEST_F(ProjectCommandTest, StoredUnitNamesResolveFromTheProgramDirectory) {
    // A program folder with the examples below it, as the build lays them out.
    test::TempDir program;
    std::filesystem::create_directories(program.file("examples"));
    std::filesystem::copy_file(unitPath, program.file("examples/u.unt"));
    setProgramDirectory(program.path());
    BoxOptions made = boxWith("closed", {"box.Vb=0.02"}, {}, program.file("examples/u.unt"));
    made.actions.saveFile = program.file("examples/c.box");
    ASSERT_EQ(run(made), 0) << err.str();
    const auto bytes = test::readAll(program.file("examples/c.box"));
    ASSERT_GT(bytes.size(), 73u + 271u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()) + 73), "examples/u.unt");

    // Copied to another program folder, from any working folder.
    test::TempDir installed;
    std::filesystem::copy(program.path(), installed.path(), std::filesystem::copy_options::recursive);
    std::filesystem::remove_all(program.file("examples"));
    setProgramDirectory(installed.path());
    ASSERT_EQ(open(openWith(installed.file("examples/c.box"))), 0) << err.str();
    EXPECT_TRUE(err.str().empty());

    // Elsewhere the unit is reported missing and nothing can be calculated.
    setProgramDirectory(dir.path());
    EXPECT_EQ(open(openWith(installed.file("examples/c.box"))), 1);
    EXPECT_NE(
        err.str().find("Speaker unit load: Could not open file : examples/u.unt Check if path and filename "
                       "is correct."),
        std::string::npos)
        << err.str();
    EXPECT_NE(err.str().find("Too few speaker parameters are defined"), std::string::npos);
}

TEST_F(ProjectCommandTest, PlotsArePngOrSvgOfTheRequestedSize) {
    BoxOptions o = boxWith("bassreflex", {"box.Vb=0.04"}, {}, unitPath);
    o.actions.datasheet = false;
    o.actions.plots = {"spl=" + dir.file("spl.png"), "impedance=" + dir.file("imp.svg"),
                       "port=" + dir.file("port.PNG"), "airspeed=" + dir.file("v.png")};
    o.actions.plotSize = "640x480";
    if (!plottingAvailable()) {
        EXPECT_EQ(run(o), 1);
        EXPECT_NE(err.str().find("--plot: "), std::string::npos);
        EXPECT_NE(err.str().find("without Qt"), std::string::npos);
        EXPECT_FALSE(std::filesystem::exists(dir.file("spl.png")));
        return;
    }
    ASSERT_EQ(run(o), 0) << err.str();
    for (const char* png : {"spl.png", "port.PNG", "v.png"}) {
        const auto head = test::readAll(dir.file(png));
        ASSERT_GT(head.size(), 24u) << png;
        EXPECT_EQ(std::string(head.begin() + 1, head.begin() + 4), "PNG") << png;
        EXPECT_EQ((head[16] << 24) | (head[17] << 16) | (head[18] << 8) | head[19], 640);
        EXPECT_EQ((head[20] << 24) | (head[21] << 16) | (head[22] << 8) | head[23], 480);
    }
    const auto svg = test::readAll(dir.file("imp.svg"));
    EXPECT_NE(std::string(svg.begin(), svg.end()).find("<svg"), std::string::npos);

    // open plots the same way, at the default size.
    o.actions.saveFile = dir.file("p.box");
    o.actions.plots.clear();
    ASSERT_EQ(run(o), 0) << err.str();
    OpenOptions opened = openWith(dir.file("p.box"));
    opened.actions.plots = {"groupdelay=" + dir.file("gd.png")};
    ASSERT_EQ(open(opened), 0) << err.str();
    const auto head = test::readAll(dir.file("gd.png"));
    ASSERT_GT(head.size(), 24u);
    EXPECT_EQ((head[16] << 24) | (head[17] << 16) | (head[18] << 8) | head[19], 1200);
    EXPECT_EQ((head[20] << 24) | (head[21] << 16) | (head[22] << 8) | head[23], 800);
}

TEST_F(ProjectCommandTest, RefusedInputExitsNonZeroWithAClearMessage) {
    BoxOptions made = boxWith("closed", {}, {}, unitPath);
    made.actions.saveFile = dir.file("p.box");
    ASSERT_EQ(run(made), 0) << err.str();
    const auto good = test::readAll(dir.file("p.box"));
    const auto write = [&](const std::string& name, std::vector<std::uint8_t> bytes) {
        test::writeAll(dir.file(name), bytes);
        return dir.file(name);
    };
    const auto code = [](std::int32_t c) {
        return std::vector<std::uint8_t>{
            static_cast<std::uint8_t>(c & 0xff), static_cast<std::uint8_t>(c >> 8),
            static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 24)};
    };
    const auto plotting = [&](std::vector<std::string> plots, std::string size = "1200x800") {
        OpenOptions o = openWith(dir.file("p.box"));
        o.actions.plots = std::move(plots);
        o.actions.plotSize = std::move(size);
        return o;
    };
    struct Case {
        OpenOptions options;
        std::string message;
    };
    std::vector<Case> cases{
        {openWith(dir.file("none.box")), "cannot open '" + dir.file("none.box") + "'"},
        {openWith(write("short.box", {0, 0})), "is not a project file: it is shorter than its type code"},
        {openWith(write("bp.box", code(5))),
         "holds a Bandpass 1 project; harlox-cli opens closed and bass reflex"},
        {openWith(write("odd.box", code(99))), "is not a project file (type code 99)"},
        {openWith(write("cut.box", {good.begin(), good.end() - 1})),
         "could not read the closed project '" + dir.file("cut.box") + "': the project file is corrupt"},
        {openWith(dir.file("p.box"), {"box.Qb=99"}), "--set box.Qb: the value must lie between 3 and 15"},
        {openWith(dir.file("p.box"), {}, {"airspeed=" + dir.file("v.frd")}),
         "the closed box has no 'airspeed'"},
    };
    if (plottingAvailable()) {
        cases.push_back({plotting({"spl=" + dir.file("x.jpg")}), "must end in .png or .svg"});
        cases.push_back(
            {plotting({"spl=" + dir.file("x.png")}, "12x"), "--size '12x': '' is not a whole number"});
        cases.push_back({plotting({"spl=" + dir.file("x.png")}, "640"), "expects WIDTHxHEIGHT"});
        cases.push_back({plotting({"spl=" + dir.file("no/such/x.png")}), "could not plot the spl diagram"});
    }
    for (const Case& c : cases) {
        EXPECT_EQ(open(c.options), 1) << c.message;
        EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
        EXPECT_TRUE(out.str().empty());
    }

    // A save that cannot be written leaves the file that was there.
    OpenOptions o = openWith(dir.file("p.box"), {"box.Vb=0.03"});
    o.actions.saveFile = dir.file("missing-folder/q.box");
    EXPECT_EQ(open(o), 1);
    EXPECT_NE(
        err.str().find("File save as: Could not open file. Check if device is ready or if the disk is full."),
        std::string::npos)
        << err.str();
    EXPECT_NE(err.str().find("could not save the project to"), std::string::npos);
    EXPECT_EQ(test::readAll(dir.file("p.box")), good);
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
