#include "cli/box_command.h"
#include "cli/cli_values.h"
#include "cli/filter_command.h"

#include "app/box_factory.h"
#include "box/abr_box.h"
#include "box/alignment.h"
#include "box/bandpass_box.h"
#include "box/bass_reflex_box.h"
#include "box/bass_reflex_vel_box.h"
#include "box/closed_box.h"
#include "box/double_tuned_box.h"
#include "box/frequency_fit.h"
#include "box/port_object.h"
#include "cli/plot.h"
#include "core/format.h"
#include "core/measure_setup.h"
#include "core/program_dir.h"
#include "driver/spk_data.h"
#include "scripted_ui_host.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <optional>
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
        // The sheets on out stay comparable; the "wrote" lines have their own test.
        setQuiet(true);
        setPreferencesDirectory(dir.path());
        saveUnit("u.unt");
    }
    void TearDown() override {
        setQuiet(false);
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

    // The built-in unit, under another model name if one is given, saved as `name`.
    std::string saveUnit(const std::string& name, const char* model = nullptr) {
        TSpkData unit;
        unit.SetDefault();
        if (model) unit.setModel(model);
        EXPECT_TRUE(unit.Save(dir.file(name)));
        return dir.file(name);
    }

    test::TempDir dir;
    const std::string unitPath = dir.file("u.unt");
    std::ostringstream out, err;
};

struct Refusal {
    const char* type;
    std::vector<std::string> sets, exports;
    std::string message;
};

// What a run cannot do, the settings, curves and elements a type does not have among it, is refused
// before anything is written, naming the type.
TEST_F(BoxCommandTest, RefusedInputExitsNonZeroWithAClearMessageAndWritesNothing) {
    const std::string x = dir.file("x.frd");
    const Refusal cases[] = {
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
        {"closed", {}, {"spl=" + dir.file("x.txt")}, "has the unknown extension '.txt'; use one of .frd .zma .gdt .fmp .fm"},
        {"dt1", {"port.fb=40"}, {}, "--set port.fb: the double tuned bassreflex box type 1 shows the"},
        {"dt2", {"port2.fb=40"}, {}, "--set port2.fb: the double tuned bassreflex box type 2 shows the"},
        {"closed", {"box2.Vb=0.01"}, {}, "--set box2.Vb: the closed box has no second box"},
        {"bassreflex", {"port2.ports=2"}, {}, "--set port2.ports: the bass reflex box has no second port"},
        {"abr", {"port.L=0.1"}, {}, "--set port.L: the passive radiator box has no port"},
        {"bp3", {"abr.units=2"}, {}, "--set abr.units: the bandpass box type 3 has no passive radiator"},
        {"abr", {"abr.units=10"}, {}, "--set abr.units: the value must lie between 1 and 9"},
        {"abr", {"abr.Sd=20"}, {}, "--set abr.Sd: the value must lie between 1e-10 and 10"},
        {"bp4", {"driver.count=3"}, {}, "the bandpass box type 4 takes 2 to 8 drivers in steps of 2"},
        {"closed", {"rear.count=2"}, {}, "--set rear.count: the closed box has no rear driver configuration"},
        {"reflexbp", {"rear.colour=2"}, {}, "unknown setting 'rear.colour'"},
        {"closed", {}, {"airspeed=" + x}, "the closed box has no 'airspeed' curve"},
        {"bp1", {}, {"airspeed2=" + x}, "the bandpass box type 1 has no 'airspeed2' curve"},
        {"dt1", {}, {"stdwave=" + x}, "the double tuned bassreflex box type 1 has no 'stdwave' curve"},
        {"bp2", {}, {"abrexcursion=" + x}, "the bandpass box type 2 has no 'abrexcursion' curve"},
        {"bp2", {}, {"driver=" + x}, "the bandpass box type 2 has no 'driver' curve"},
        {"bp3",
         {},
         {"spl:Port=" + x},
         "the SPL window of the bandpass box type 3 has no curve 'Port'; its curves: 'Total', 'Rear port', "
         "'Front port'"},
        {"bp3", {}, {"spl:Target=" + x}, "has no curve 'Target'"}, // only during a fit
        {"bp3", {}, {"spl:Rear port"}, "--export expects KIND=FILE, got 'spl:Rear port'"},
    };
    for (const Refusal& c : cases) {
        EXPECT_EQ(run(boxWith(c.type, c.sets, c.exports)), 1) << c.message;
        EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
        EXPECT_TRUE(out.str().empty());
        EXPECT_FALSE(std::filesystem::exists(x));
    }
    // The unit files: unreadable, missing for --save, or given to a type without a rear driver.
    const auto with = [&](BoxOptions o, std::string unit2, bool save) {
        o.unit2File = std::move(unit2);
        if (save) o.actions.saveFile = dir.file("x.box");
        return o;
    };
    const std::pair<BoxOptions, std::string> units[] = {
        {boxWith("closed", {}, {}, "/no/such.unt"), "--unit: cannot open '/no/such.unt': No such file or directory"},
        {with(boxWith("closed", {}), "", true), "--save needs --unit"},
        {with(boxWith("reflexbp", {}, {}, unitPath), "", true), "--save needs --unit and --unit2"},
        {with(boxWith("bp2", {}), unitPath, false), "--unit2: the bandpass box type 2 has no rear driver"},
        {with(boxWith("reflexbp", {}, {}, unitPath), "/no/rear.unt", false),
         "--unit2: cannot open '/no/rear.unt'"},
    };
    for (const auto& [o, message] : units) {
        EXPECT_EQ(run(o), 1) << message;
        EXPECT_NE(err.str().find(message), std::string::npos) << err.str();
        EXPECT_FALSE(std::filesystem::exists(dir.file("x.box")));
    }
}

// Every name a bass reflex box takes changes what a run writes, except those kept in the unit record only;
// the required unit parameters set to 0 make the unit insufficient. No run writes the preferences, so each
// starts from the defaults again.
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
        // The elements a bass reflex box does not have: see OtherTypesSettingsReachTheModel.
        if (name.starts_with("box2.") || name.starts_with("port2.") || name.starts_with("abr.")) continue;
        // The room and the transient response: see RoomAndTransientSettingsShapeTheirCurves.
        if (name.starts_with("room.") || name.starts_with("transient.")) continue;
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

// Each room and transient setting moves the curve it belongs to (and only that one), and
// both windows export and plot.
TEST_F(BoxCommandTest, RoomAndTransientSettingsShapeTheirCurves) {
    const std::string room = dir.file("r.fmp"), transient = dir.file("t.fmp");
    const auto curves = [&](std::vector<std::string> sets) {
        BoxOptions o = boxWith("closed", std::move(sets), {"room=" + room, "transient=" + transient});
        o.actions.datasheet = false;
        EXPECT_EQ(run(o), 0) << err.str();
        return std::pair{fileText(room), fileText(transient)};
    };
    const auto base = curves({});
    ASSERT_EQ(base.first.rfind("Acoustic on Axis Response in Room/Cabinet\r\n   Hz", 0), 0u) << base.first.substr(0, 80);
    ASSERT_EQ(base.second.rfind("Impulse response\r\n   ms", 0), 0u) << base.second.substr(0, 80);
    struct Case {
        const char* set;
        bool room, transient;
    };
    const Case cases[] = {
        {"room.height=3.1", true, false},        {"room.depth=5", true, false},
        {"room.width=5", true, false},           {"room.speakerX=1.2", true, false},
        {"room.speakerY=0.3", true, false},      {"room.speakerZ=0.9", true, false},
        {"room.listenerX=1.5", true, false},     {"room.listenerY=1.3", true, false},
        {"room.listenerZ=3", true, false},       {"room.baffleWidth=0.5", true, false},
        {"room.baffleHeight=0.5", true, false},  {"room.reflect.speakerBackWall=0", true, false},
        {"room.reflect.leftWall=0", true, false}, {"room.reflect.rightWall=0", true, false},
        {"room.reflect.floor=0", true, false},   {"room.reflect.ceiling=0", true, false},
        {"room.reflect.listenerBackWall=0", true, false},
        {"room.absorb.speakerBackWall=0.5", true, false},
        {"room.absorb.leftWall=0.5", true, false}, {"room.absorb.rightWall=0.5", true, false},
        {"room.absorb.floor=0.5", true, false},  {"room.absorb.ceiling=0.5", true, false},
        {"room.absorb.listenerBackWall=0.5", true, false},
        {"room.edges=0", true, false},           {"room.summation=0.5", true, false},
        {"room.mode=impact", true, false},       {"room.smoothing=1", true, false},
        {"room.normalized=1", true, false},      {"room.driver.1.dY=0.2", true, false},
        {"room.port.1.dY=0.2", false, false}, // a closed box has no port
        {"room.measuredDisabled=1", false, false}, {"room.transition=100", false, false}, // no measured file
        {"room.autoLevel=0", false, false},      {"room.levelOffset=3", false, false},
        {"transient.signal=step", false, true},  {"transient.burstFrequency=100", false, false},
        {"transient.burstPeriods=5", false, false}, {"transient.resolution=0.0001", false, true},
        {"transient.zoom=1", false, true},
    };
    std::set<std::string> tested;
    for (const Case& c : cases) {
        const auto got = curves({c.set});
        EXPECT_EQ(got.first != base.first, c.room) << c.set;
        EXPECT_EQ(got.second != base.second, c.transient) << c.set;
        const std::string set = c.set;
        tested.insert(set.substr(0, set.find('=')));
    }
    for (const std::string_view name : boxSettingNames()) {
        if (name.starts_with("room.") || name.starts_with("transient.")) {
            EXPECT_TRUE(tested.contains(std::string(name)) || name == "room.measured") << name;
        }
    }

    // The tone burst, and the measured room data spliced in below its transition.
    const std::string meas = dir.file("room.frd");
    std::ofstream(meas) << "10 60 0\n20000 60 0\n";
    const auto burst = curves({"transient.signal=burst", "transient.burstFrequency=100", "room.measured=" + meas});
    EXPECT_NE(burst.second.find("Tone burst resp. 100.0 Hz, 3 periods"), std::string::npos);
    EXPECT_NE(burst.first, base.first);

    if (plottingAvailable()) {
        BoxOptions plots = boxWith("closed", {}, {});
        plots.actions.datasheet = false;
        plots.actions.plots = {"room=" + dir.file("r.png"), "transient=" + dir.file("t.svg")};
        ASSERT_EQ(run(plots), 0) << err.str();
        EXPECT_GT(std::filesystem::file_size(dir.file("r.png")), 1000u);
        EXPECT_GT(std::filesystem::file_size(dir.file("t.svg")), 1000u);
    }

    for (const auto& [set, message] : std::initializer_list<std::pair<std::string, std::string>>{
             {"room.mode=sideways", "'sideways' is not one of impact, response"},
             {"room.absorb.floor=1.5", "the value must lie between 0 and 1"},
             {"transient.resolution=0.0003", "'0.0003' is not one of 2.5e-05, 5e-05, 0.0001"},
             {"transient.signal=noise", "is not one of impulse, step, burst"},
             {"room.driver.10.dX=0.1", "unknown setting 'room.driver.10.dX'"},
             {"room.measured=" + dir.file("none.frd"), "--set room.measured: the file could not be read"}}) {
        EXPECT_EQ(run(boxWith("closed", {set})), 1) << set;
        EXPECT_NE(err.str().find(message), std::string::npos) << err.str();
    }
}

// The plots of the main and the further windows, the size as asked (the PNG header's width and height).
TEST_F(BoxCommandTest, PlotsHaveTheRequestedSize) {
    if (!plottingAvailable()) GTEST_SKIP() << "built without Qt";
    const std::pair<const char*, const char*> cases[] = {{"bassreflex", "port"},
                                                         {"bp2", "stdwave"},
                                                         {"bp2", "airspeed2"},
                                                         {"abr", "abrexcursion"},
                                                         {"reflexbp", "spl:Driver"}};
    for (const auto& [type, kind] : cases) {
        BoxOptions o = boxWith(type, {});
        o.actions.plots = {std::string(kind) + "=" + dir.file("p.PNG")};
        o.actions.plotSize = "320x200";
        ASSERT_EQ(run(o), 0) << kind << err.str();
        const auto png = test::readAll(dir.file("p.PNG"));
        ASSERT_GT(png.size(), 24u) << kind;
        EXPECT_EQ((png[18] << 8) | png[19], 320) << kind;
        EXPECT_EQ((png[22] << 8) | png[23], 200) << kind;
        std::filesystem::remove(dir.file("p.PNG"));
    }
}

// A saved project of every type opens to the same data sheet and curves; the reflex bandpass keeps
// its own rear unit. What open cannot read is refused with a message naming the file.
TEST_F(BoxCommandTest, EveryTypeSavesAndOpensToTheSameSheetAndCurves) {
    const std::string rearPath = saveUnit("rear.unt", "REAR");
    // The bass reflex box last: its file is cut below.
    for (const std::string type :
         {"closed", "dt1", "dt2", "abr", "bp1", "bp2", "bp3", "bp4", "reflexbp", "bassreflex"}) {
        BoxOptions made =
            boxWith(type, {"box.Vb=0.02", "driver.count=2"}, {"spl=" + dir.file("made.frd")}, unitPath);
        if (type == "bassreflex") made.actions.sets.push_back("port.fb=35");
        if (type == "reflexbp") made.unit2File = rearPath;
        made.actions.saveFile = dir.file("p.box");
        ASSERT_EQ(run(made), 0) << type << err.str();
        const std::string sheet = out.str();
        EXPECT_NE(sheet.find("Filename\tp.box\n"), std::string::npos) << sheet;
        if (type == "closed" || type == "bassreflex") {
            EXPECT_EQ(test::readAll(dir.file("p.box")).size(), type == "closed" ? 3761u : 3884u);
        }
        ASSERT_EQ(open(dir.file("p.box"), {"spl=" + dir.file("opened.frd")}), 0) << type << err.str();
        EXPECT_EQ(out.str(), sheet) << type;
        EXPECT_TRUE(err.str().empty()) << type << err.str();
        EXPECT_EQ(fileText(dir.file("opened.frd")), fileText(dir.file("made.frd"))) << type;
    }

    const auto good = test::readAll(dir.file("p.box"));
    const auto write = [&](const std::string& name, std::vector<std::uint8_t> bytes) {
        test::writeAll(dir.file(name), bytes);
        return dir.file(name);
    };
    const std::pair<std::string, std::string> cases[] = {
        {dir.file("none.box"), "cannot open '" + dir.file("none.box") + "': No such file or directory"},
        {write("short.box", {0, 0}), "is not a project file: it is too short"},
        {write("filter.box", {15, 0, 0, 0}), "filter.box\" holds a filter project: open takes only --save and --dump"},
        {write("odd.box", {99, 0, 0, 0}), "is not a project file\n"},
        {write("cut.box", {good.begin(), good.end() - 1}),
         "could not read the bassreflex project '" + dir.file("cut.box") + "': the project file is corrupt"},
    };
    for (const auto& [file, message] : cases) {
        EXPECT_EQ(open(file), 1) << message;
        EXPECT_NE(err.str().find(message), std::string::npos) << err.str();
        EXPECT_TRUE(out.str().empty());
    }
}

// ---- the eight further types ---------------------------------------------------------------

// The array a kind writes, by the roles of the elements: the first port is dt1's rear port but dt2's
// front port, and so on.
const double* curveOf(TBoxEmbryo& b, std::string_view kind) {
    const bool second = kind == "airspeed2";
    if (kind == "spl") return b.SPL.data();
    if (kind == "excursion") return b.front().excursion.data();
    if (kind == "impedance") return b.front().impedance.data();
    if (kind == "stdwave") return b.splModes.data();
    if (kind == "abrexcursion") return dynamic_cast<TAbrBox&>(b).abr().X.data();
    if (auto* dt = dynamic_cast<TDoubleTunedBox*>(&b))
        return (second == (b.typeCode() == TBassReflexDT2Box::kTypeCode) ? dt->rearAirSpeed
                                                                         : dt->frontAirSpeed)
            .data();
    if (auto* vel = dynamic_cast<TBassReflexVelBox*>(&b))
        return (second ? vel->airSpeed2 : vel->airSpeed1).data();
    auto& bp = dynamic_cast<TBandpassBox&>(b);
    return (second ? bp.airSpeed2 : bp.airSpeed1).data();
}

// Each type runs with its data sheet and every curve it has, the SPL window's curves by label
// included; each file holds the model's own array of that kind.
TEST_F(BoxCommandTest, EveryTypeWritesItsSheetAndEachOfItsCurves) {
    const std::tuple<const char*, int, const char*, std::vector<std::string>> types[] = {
        {"dt1", 2, "DOUBLE TUNED BASSREFLEX BOX 1", {"airspeed", "airspeed2"}},
        {"dt2", 3, "DOUBLE TUNED BASSREFLEX BOX 2", {"airspeed", "airspeed2"}},
        {"abr", 4, "ABR BOX", {"abrexcursion"}},
        {"bp1", 5, "BANDPASS BOX TYPE 1", {"airspeed", "stdwave"}},
        {"bp2", 6, "BANDPASS BOX TYPE 2", {"airspeed", "airspeed2", "stdwave"}},
        {"bp3", 7, "BANDPASS BOX TYPE 3", {"airspeed", "airspeed2", "stdwave"}},
        {"bp4", 8, "BANDPASS BOX TYPE 4", {"airspeed", "airspeed2", "stdwave"}},
        {"reflexbp", 9, "REFLEXBANDPASS BOX", {"airspeed", "airspeed2"}},
    };
    for (auto [type, code, heading, kinds] : types) {
        SCOPED_TRACE(type);
        test::ScriptedUiHost ui;
        std::unique_ptr<TBoxEmbryo> box = makeBoxProject(code, ui);
        ASSERT_TRUE(box);
        box->front().SetDefaultUnit();
        box->rear().SetDefaultUnit();
        box->Calculate(0);
        // The curves every type has; the group delay has a layout of its own, checked for the older types.
        kinds.insert(kinds.end(), {"spl", "excursion", "impedance", "groupdelay"});
        std::vector<const double*> curves;
        for (const std::string& kind : kinds)
            curves.push_back(kind == "groupdelay" ? nullptr : curveOf(*box, kind));
        const DiagramModel& spl = box->splWindow();
        for (int i = 0; i < spl.curveCount(); ++i) {
            if (!spl.curve(i).y) continue;
            kinds.push_back("spl:" + spl.curve(i).label);
            curves.push_back(spl.curve(i).y);
        }
        BoxOptions o = boxWith(type, {});
        for (std::size_t i = 0; i < kinds.size(); ++i)
            o.actions.exports.push_back(kinds[i] + "=" + dir.file(std::to_string(i) + ".frd"));
        ASSERT_EQ(run(o), 0) << err.str();
        EXPECT_EQ(out.str().rfind(std::string(heading) + "\nFilename\t\n", 0), 0u) << out.str();
        const double* f = sharedSetup().grid.f.data();
        for (std::size_t i = 0; i < kinds.size(); ++i) {
            const std::string text = fileText(dir.file(std::to_string(i) + ".frd"));
            if (!curves[i]) continue;
            EXPECT_NE(text.find(strprintf("\r\n %f\t%f", f[6], curves[i][6])), std::string::npos)
                << kinds[i] << "\n"
                << text;
        }
    }
}

// Bandpass 4 drives its cones in pairs; its count takes even numbers only, the others any of 1 .. 9.
TEST_F(BoxCommandTest, DriverCountFollowsTheType) {
    for (int n = 1; n <= 9; ++n) {
        const std::string set = "driver.count=" + std::to_string(n);
        EXPECT_EQ(run(boxWith("bp4", {set})), n % 2 == 0 ? 0 : 1) << set << err.str();
        if (n % 2 == 0) {
            EXPECT_NE(out.str().find(" # drivers\t" + std::to_string(n) + "\n"), std::string::npos)
                << out.str();
        }
        EXPECT_EQ(run(boxWith("bp3", {set})), 0) << set << err.str();
    }
}

// Each setting of the further elements changes the data sheet or the saved project of a type that has it.
TEST_F(BoxCommandTest, OtherTypesSettingsReachTheModel) {
    const std::pair<const char*, const char*> cases[] = {
        {"bp3", "box2.Vb=0.03"},     {"bp3", "box2.Qb=5"},         {"bp3", "box2.Ql=5"},
        {"bp3", "box2.fill=50"},     {"bp3", "port2.L=0.2"},       {"bp3", "port2.D=0.07"},
        {"bp3", "port2.S=0.003"},    {"bp3", "port2.ports=2"},     {"bp3", "port2.flare=0.2"},
        {"bp3", "port2.fb=60"},      {"dt1", "box2.Vb=0.03"},      {"dt2", "port2.L=0.2"},
        {"bp1", "box2.Vb=0.03"},     {"bp1", "port.fb=60"},        {"abr", "abr.Vap=0.02"},
        {"abr", "abr.Sd=0.02"},      {"abr", "abr.Mmp=0.05"},      {"abr", "abr.Fp=30"},
        {"abr", "abr.Fb=40"},        {"abr", "abr.Xmax=0.005"},    {"abr", "abr.units=2"},
        {"abr", "abr.nonlinear=1"},  {"reflexbp", "rear.count=2"}, {"reflexbp", "rear.extraMass=0.01"},
        {"reflexbp", "port2.fb=30"}, {"reflexbp", "box2.Vb=0.05"},
    };
    const auto result = [&](const char* type, std::vector<std::string> sets) {
        BoxOptions o = boxWith(type, std::move(sets), {}, unitPath);
        o.unit2File = std::string(type) == "reflexbp" ? unitPath : "";
        o.actions.saveFile = dir.file("p.box");
        const int rc = run(o);
        return std::to_string(rc) + err.str() + out.str() + fileText(dir.file("p.box"));
    };
    for (const auto& [type, set] : cases) {
        const std::string base = result(type, {});
        ASSERT_EQ(base[0], '0') << type << base;
        const std::string changed = result(type, {set});
        EXPECT_EQ(changed[0], '0') << set << changed;
        EXPECT_NE(changed, base) << type << " " << set;
    }
}

// The quick box runs after the settings: it sizes the box from the driver, so the sheet changes,
// and the settings' driver count is the one it sizes for.
TEST_F(BoxCommandTest, QuickBoxRunsForEveryTypeThatHasOne) {
    for (const char* type :
         {"closed", "bassreflex", "dt1", "dt2", "abr", "bp1", "bp2", "bp3", "bp4", "reflexbp"}) {
        ASSERT_EQ(run(boxWith(type, {"driver.count=2"})), 0) << type << err.str();
        const std::string plain = out.str();
        BoxOptions o = boxWith(type, {"driver.count=2"});
        o.actions.quickBox = true;
        ASSERT_EQ(run(o), 0) << type << err.str();
        EXPECT_NE(out.str(), plain) << type;
        EXPECT_NE(out.str().find(" # drivers\t2\n"), std::string::npos) << type;
    }
}

// --unit2 loads the reflex bandpass's rear configuration only; rear.* edit it, driver.* the front.
TEST_F(BoxCommandTest, RearUnitAndRearSettingsReachTheRearDriverOnly) {
    const std::string rearPath = saveUnit("rear.unt", "REAR MODEL");
    BoxOptions o = boxWith("reflexbp", {"rear.count=3", "driver.count=2"}, {}, unitPath);
    o.unit2File = rearPath;
    ASSERT_EQ(run(o), 0) << err.str();
    const std::string sheet = out.str();
    const auto front = sheet.find("Front driver\n"), back = sheet.find("Rear driver\n");
    ASSERT_TRUE(front < back && back != std::string::npos) << sheet;
    const std::string frontBlock = sheet.substr(front, back - front), rearBlock = sheet.substr(back);
    EXPECT_NE(frontBlock.find(" Model\t\t180 WR/832732\n"), std::string::npos) << frontBlock;
    EXPECT_NE(frontBlock.find(" # drivers\t2\n"), std::string::npos) << frontBlock;
    EXPECT_NE(rearBlock.find(" Model\t\tREAR MODEL\n"), std::string::npos) << rearBlock;
    EXPECT_NE(rearBlock.find(" # drivers\t3\n"), std::string::npos) << rearBlock;
}

// ---- table lookup and frequency fit ----------------------------------------------------------

// The number after the n-th (from 0) occurrence of label in a data sheet; NaN when it is not there.
double sheetValue(const std::string& sheet, const std::string& label, int n = 0) {
    std::size_t at = std::string::npos;
    for (std::size_t from = 0; n >= 0; --n, from = at + 1) {
        at = sheet.find(label, from);
        if (at == std::string::npos) return std::nan("");
    }
    return std::stod(sheet.substr(at + label.size()));
}

// Each table reads the configuration's effective parameters after the --set values, and the choice
// chooses the row, box Q, ripple and sensitivity the lookup windows would: the volumes (litres,
// two decimals on the sheet), losses and tunings are those of that row for the built-in unit.
TEST_F(BoxCommandTest, TableLookupSizesTheBoxOfTheChosenRow) {
    test::ScriptedUiHost ui;
    TClosedBox model(ui);
    model.front().SetDefaultUnit();
    model.ComputeDerivedValues();
    const double qts = model.effectiveQts(), fs = model.effectiveFs(), vas = model.effectiveVas() * 1000;
    const auto sheetOf = [&](const char* type, const std::string& table, std::vector<std::string> sets = {}) {
        BoxOptions o = boxWith(type, std::move(sets));
        o.actions.table = table;
        EXPECT_EQ(run(o), 0) << type << " " << table << err.str();
        EXPECT_TRUE(err.str().empty()) << err.str();
        return out.str();
    };

    // Closed: Vb = VasEff / ((Qtc/QtsEff)^2 - 1), Qb 15; two drivers double VasEff and the box.
    const double r = 0.707 / qts;
    std::string sheet = sheetOf("closed", "0.707");
    EXPECT_NEAR(sheetValue(sheet, " Vol\t\t"), vas / (r * r - 1), 0.006) << sheet;
    EXPECT_EQ(sheetValue(sheet, " Qb\t\t"), 15.0);
    EXPECT_NEAR(sheetValue(sheetOf("closed", "0.707", {"driver.count=2"}), " Vol\t\t"), 2 * vas / (r * r - 1),
                0.006);
    // The quick box runs first; the table's box replaces it.
    BoxOptions both = boxWith("closed", {});
    both.actions.quickBox = true;
    both.actions.table = "1";
    ASSERT_EQ(run(both), 0) << err.str();
    EXPECT_EQ(out.str(), sheetOf("closed", "1.0"));

    // Bass reflex: Vb = VasEff / alpha (5/6 of it with the full filling of Q 3), fb = fsEff * h.
    const std::tuple<const char*, alignment::Family, int, double, int> reflexCases[] = {
        {"sbb4,15", alignment::Family::SBB4, 2, 15.0, 0},
        {"qb3,3", alignment::Family::QB3, 0, 3.0, 100},
        {"SC4,7", alignment::Family::SC4, 1, 7.0, 50},
    };
    for (const auto& [choice, family, q, qb, fill] : reflexCases) {
        SCOPED_TRACE(choice);
        const alignment::Row row = alignment::tableRow(family, q, alignment::familyRow(family, qts));
        sheet = sheetOf("bassreflex", choice);
        EXPECT_NEAR(sheetValue(sheet, " Vol\t\t"), vas / row.alpha * (q == 0 ? 5.0 / 6.0 : 1.0), 0.006)
            << sheet;
        EXPECT_EQ(sheetValue(sheet, " Qb\t\t"), qb);
        EXPECT_EQ(sheetValue(sheet, " Ql\t\t"), qb);
        EXPECT_EQ(sheetValue(sheet, " Fill\t\t"), fill);
        EXPECT_NEAR(sheetValue(sheet, " Res freq.\t"), fs * row.h, 0.006);
    }
    EXPECT_EQ(sheetOf("bassreflex", "sbb4"), sheetOf("bassreflex", "sbb4,15")); // Q 15 when omitted

    // Bandpass 1 at 0.35 dB ripple and +3 dB: index 1 and 8 + 3 of the model's tables.
    alignment::Bp1Alignment bp;
    ASSERT_TRUE(alignment::bp1Alignment(1, 11, qts, fs, vas, bp));
    sheet = sheetOf("bp1", "0.35,+3");
    EXPECT_NEAR(sheetValue(sheet, " Vol\t\t", 0), bp.Vrear, 0.006) << sheet;
    EXPECT_NEAR(sheetValue(sheet, " Vol\t\t", 1), bp.Vfront, 0.006);
    EXPECT_NEAR(sheetValue(sheet, " Res freq.\t"), bp.tuning, 0.006);
    EXPECT_EQ(sheetOf("bp1", "0.35,3"), sheet);
    EXPECT_EQ(sheetOf("bp1", "1.25"), sheetOf("bp1", "1.25,0")); // 0 dB when omitted
    EXPECT_NE(sheetOf("bp1", "1.25,-8"), sheetOf("bp1", "1.25,8"));

    // The passive radiator box: its row by Qts, from the unit's Vas.
    const alignment::AbrRow& abr = alignment::kAbrRows[static_cast<std::size_t>(alignment::abrRow(qts))];
    EXPECT_NEAR(sheetValue(sheetOf("abr", ""), " Vol\t\t"), vas / abr.alpha, 0.006);
}

struct OptimizeRefusal {
    const char* type;
    std::vector<std::string> sets;
    std::optional<std::string> table;
    std::optional<std::string> fit;
    std::optional<long> iterations;
    std::string message;
};

// A choice the type cannot take is refused before anything is calculated; a driver the table cannot
// serve is refused by the model with its own message. Either way nothing is written.
TEST_F(BoxCommandTest, TableAndFitRefusalsWriteNothing) {
    const std::string reflexUsage = "the bass reflex box takes FAMILY[,Q], the alignment family sbb4, qb3 or "
                                    "sc4 and the box Q 3, 7 or 15 (15 when omitted)";
    const std::string bp1Usage = "the bandpass box type 1 takes RIPPLE[,SENS], the ripple 0, 0.35 or 1.25 dB "
                                 "and the sensitivity -8 .. 8 dB (0 when omitted)";
    const std::string closedUsage =
        "the closed box takes QTC, the total Q: 0.5, 0.577, 0.707, 0.8, 0.9, 1.0, 1.1, 1.2 or 1.5";
    const std::string failed = "\nharlox-cli: --table: the table lookup of ";
    const OptimizeRefusal cases[] = {
        {"closed", {}, "0.6", {}, {}, "--table '0.6': " + closedUsage},
        {"bassreflex", {}, "bb5", {}, {}, "--table 'bb5': " + reflexUsage},
        {"bassreflex", {}, "qb3,5", {}, {}, "--table 'qb3,5': " + reflexUsage},
        {"bp1", {}, "0.5", {}, {}, "--table '0.5': " + bp1Usage},
        {"bp1", {}, "0,9", {}, {}, "--table '0,9': " + bp1Usage},
        {"abr", {}, "0.4", {}, {}, "--table '0.4': the passive radiator box takes no value"},
        {"dt2", {}, "", {}, {}, "--table: the double tuned bassreflex box type 2 has no table lookup"},
        {"closed", {"unit.Qes=3"}, "0.707", {}, {}, "Too high Qts" + failed + "the closed box failed"},
        {"bassreflex", {"unit.Qes=0.15"}, "sbb4", {}, {}, "Too low Qts" + failed + "the bass reflex box"},
        {"bp1", {"unit.Qes=3"}, "0,0", {}, {}, "Too high Qts" + failed + "the bandpass box type 1 failed"},
        {"abr", {"unit.Qes=3"}, "", {}, {}, "Qts value too high: Maximum value 0.61" + failed},
        {"abr", {"unit.Qes=0.15"}, "", {}, {}, "Qts value too low: Minimum value 0.20" + failed},
        {"closed", {}, {}, "5", {}, "--fit: the lower cutoff: the value must lie between 10 and 200"},
        {"closed", {}, {}, "45.5", {}, "--fit: the lower cutoff: '45.5' is not a whole number"},
        {"closed", {}, {}, "40,100", {}, "--fit: the closed box has no upper cutoff (FU is for the bandpass"},
        {"bp2", {}, {}, "40,1001", {}, "--fit: the upper cutoff: the value must lie between 20 and 1000"},
        {"bp2", {}, {}, "40,", {}, "--fit: the upper cutoff: '' is not a whole number"},
        {"bp1", {}, {}, "40,100,200", {}, "--fit expects FC[,FU], got '40,100,200'"},
        {"closed", {}, {}, "40", 0, "--iterations: the value must lie between 1 and 10000000"},
        {"closed", {}, {}, {}, 10, "--iterations needs --fit"},
    };
    for (const OptimizeRefusal& c : cases) {
        BoxOptions o = boxWith(c.type, c.sets, {"spl=" + dir.file("x.frd")}, unitPath);
        o.actions.saveFile = dir.file("x.box");
        o.actions.table = c.table;
        o.actions.fit = c.fit;
        o.actions.iterations = c.iterations;
        EXPECT_EQ(run(o), 1) << c.message;
        EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
        EXPECT_TRUE(out.str().empty()) << c.message;
        EXPECT_FALSE(std::filesystem::exists(dir.file("x.frd"))) << c.message;
        EXPECT_FALSE(std::filesystem::exists(dir.file("x.box"))) << c.message;
    }
}

// The fit's report on stderr: the mean error at the start and at the end.
std::pair<double, double> fitErrors(const std::string& report, long iterations) {
    const std::string head = "fit: " + std::to_string(iterations) + " iterations, mean error from ";
    EXPECT_EQ(report.rfind(head, 0), 0u) << report;
    const std::string rest = report.substr(std::min(head.size(), report.size()));
    const auto to = rest.find(" dB to ");
    if (to == std::string::npos) return {std::nan(""), std::nan("")};
    return {std::stod(rest), std::stod(rest.substr(to + 7))};
}

// A closed box twice the Butterworth size comes back near it when the fit's lower cutoff is that
// box's -3 dB point (not onto it: the response that best matches the target's sharp corner at
// the grid points is not quite the Butterworth one). The run repeats exactly (a fixed seed) and
// ends on the Halt path: the saved project, opened and calculated afresh, gives the same curve.
TEST_F(BoxCommandTest, FitFromABoxTwiceTooLargeComesBackNearTheAlignment) {
    BoxOptions table = boxWith("closed", {});
    table.actions.table = "0.707";
    ASSERT_EQ(run(table), 0) << err.str();
    const double vb = sheetValue(out.str(), " Vol\t\t");
    const double f3 = sheetValue(out.str(), "-3dB point: \t");
    ASSERT_GT(vb, 1.0) << out.str();

    BoxOptions o =
        boxWith("closed", {strprintf("box.Vb=%g", 2 * vb / 1000)}, {"spl=" + dir.file("fit.frd")}, unitPath);
    o.actions.fit = std::to_string(std::lround(f3));
    o.actions.iterations = 300;
    o.actions.saveFile = dir.file("fit.box");
    ASSERT_EQ(run(o), 0) << err.str();
    const auto [first, last] = fitErrors(err.str(), 300);
    EXPECT_LT(last, 0.6 * first) << err.str();
    const std::string sheet = out.str();
    EXPECT_NEAR(sheetValue(sheet, " Vol\t\t"), vb, 0.1 * vb) << sheet;
    const std::string curve = fileText(dir.file("fit.frd"));

    ASSERT_EQ(run(o), 0) << err.str();
    EXPECT_EQ(out.str(), sheet);
    ASSERT_EQ(open(dir.file("fit.box"), {"spl=" + dir.file("opened.frd")}), 0) << err.str();
    EXPECT_EQ(fileText(dir.file("opened.frd")), curve);
}

// The bandpass types fit an upper cutoff too; without FU the project's own is used. The saved
// project keeps the cutoffs of its last fit.
TEST_F(BoxCommandTest, BandpassFitKeepsItsCutoffsInTheProject) {
    const auto storedCutoffs = [](const std::string& file) {
        test::ScriptedUiHost ui;
        std::unique_ptr<TBoxEmbryo> box = makeBoxProject(TBP5Box::kTypeCode, ui);
        EXPECT_TRUE(box->ReadProject(file)) << file;
        return std::pair<int, int>(box->fitSettings().lowerCutoff, box->fitSettings().upperCutoff);
    };
    BoxOptions o = boxWith("bp1", {}, {}, unitPath);
    o.actions.datasheet = false;
    o.actions.iterations = 20;
    o.actions.fit = "40";
    o.actions.saveFile = dir.file("a.box");
    ASSERT_EQ(run(o), 0) << err.str();
    const auto [first, last] = fitErrors(err.str(), 20);
    EXPECT_LT(last, first);
    EXPECT_EQ(storedCutoffs(dir.file("a.box")), std::pair(40, TFrequencyFit::kDefaultUpperCutoff));

    o.actions.fit = "50,150";
    o.actions.saveFile = dir.file("b.box");
    ASSERT_EQ(run(o), 0) << err.str();
    EXPECT_EQ(storedCutoffs(dir.file("b.box")), std::pair(50, 150));

    OpenOptions reopened{dir.file("b.box"), o.actions};
    reopened.actions.fit = "60";
    reopened.actions.saveFile = dir.file("c.box");
    ASSERT_EQ(runOpen(reopened, out, err), 0) << err.str();
    EXPECT_EQ(storedCutoffs(dir.file("c.box")), std::pair(60, 150));
}

// The text form: what --dump writes opens as the project itself, edited by hand or by a
// script, and a text that does not describe a project is refused naming the field.
TEST_F(BoxCommandTest, TheTextFormOpensAsTheProjectItDescribes) {
    BoxOptions made = boxWith("bassreflex", {"box.Vb=0.02"}, {}, unitPath);
    made.actions.saveFile = dir.file("p.box");
    made.actions.dumpFile = dir.file("p.json");
    ASSERT_EQ(run(made), 0) << err.str();
    const std::string text = fileText(dir.file("p.json"));
    EXPECT_NE(text.find("\"format\": \"harlox box project\""), std::string::npos);
    EXPECT_NE(text.find("\"Vb\": 0.02,"), std::string::npos) << text.substr(0, 2000);

    const auto openWith = [&](const std::string& file, std::string save, std::string dump) {
        OpenOptions o{file, boxWith("", {}).actions};
        o.actions.datasheet = false;
        o.actions.saveFile = std::move(save);
        o.actions.dumpFile = std::move(dump);
        out.str("");
        err.str("");
        return runOpen(o, out, err);
    };
    ASSERT_EQ(openWith(dir.file("p.json"), dir.file("back.box"), dir.file("back.json")), 0) << err.str();
    EXPECT_EQ(test::readAll(dir.file("back.box")), test::readAll(dir.file("p.box")));
    EXPECT_EQ(fileText(dir.file("back.json")), text);

    // An edited value reaches the project as --set would. (Values are taken as they stand: a
    // script that edits the box volume edits the port's Vbox with it.)
    std::string edited = text;
    edited.replace(edited.find("\"Qb\": 15.0,"), 11, "\"Qb\": 7.0,");
    test::writeAll(dir.file("edited.json"), std::vector<std::uint8_t>(edited.begin(), edited.end()));
    ASSERT_EQ(openWith(dir.file("edited.json"), dir.file("edited.box"), ""), 0) << err.str();
    made.actions.sets = {"box.Vb=0.02", "box.Qb=7"};
    made.actions.dumpFile.clear();
    made.actions.saveFile = dir.file("set.box");
    ASSERT_EQ(run(made), 0) << err.str();
    EXPECT_EQ(test::readAll(dir.file("edited.box")).size(), test::readAll(dir.file("set.box")).size());
    EXPECT_EQ(open(dir.file("edited.box")), 0);
    const std::string editedSheet = out.str();
    EXPECT_EQ(open(dir.file("set.box")), 0);
    EXPECT_NE(editedSheet.find(" Qb\t\t7.0\n"), std::string::npos) << editedSheet;
    EXPECT_EQ(out.str().substr(out.str().find("Box\n")), editedSheet.substr(editedSheet.find("Box\n")));

    // A filter project opens here only to be saved or shown as text.
    FilterOptions filter;
    filter.variant = "passive2";
    filter.actions.saveFile = dir.file("f.flt");
    ASSERT_EQ(runFilterNew(filter, out, err), 0) << err.str();
    ASSERT_EQ(openWith(dir.file("f.flt"), "", dir.file("f.json")), 0) << err.str();
    EXPECT_NE(fileText(dir.file("f.json")).find("\"format\": \"harlox filter project\""), std::string::npos);
    FilterOptions back;
    back.projectFile = dir.file("f.json");
    back.actions.saveFile = dir.file("f2.flt");
    ASSERT_EQ(runFilterOpen(back, out, err), 0) << err.str();
    EXPECT_EQ(test::readAll(dir.file("f2.flt")), test::readAll(dir.file("f.flt")));

    const auto refused = [&](const std::string& file, const std::string& message) {
        EXPECT_EQ(openWith(file, dir.file("never.box"), ""), 1) << message;
        EXPECT_NE(err.str().find(message), std::string::npos) << err.str();
        EXPECT_FALSE(std::filesystem::exists(dir.file("never.box")));
    };
    std::string missing = text;
    missing.replace(missing.find("\"Vb\": 0.02,"), 11, "");
    test::writeAll(dir.file("missing.json"), std::vector<std::uint8_t>(missing.begin(), missing.end()));
    refused(dir.file("missing.json"), "'" + dir.file("missing.json") + "': field /box/Vb is missing");
    test::writeAll(dir.file("cut.json"), std::vector<std::uint8_t>(text.begin(), text.begin() + 100));
    refused(dir.file("cut.json"), "not JSON: ");
    refused(dir.file("none.json"), "cannot open '" + dir.file("none.json") + "'");
    {
        OpenOptions o{dir.file("f.flt"), boxWith("", {}, {"spl=" + dir.file("never.frd")}).actions};
        EXPECT_EQ(runOpen(o, out, err), 1);
        EXPECT_NE(err.str().find("holds a filter project: open takes only --save and --dump"), std::string::npos)
            << err.str();
    }
    back.projectFile = dir.file("p.json");
    EXPECT_EQ(runFilterOpen(back, out, err), 1);
    EXPECT_NE(err.str().find("holds a box project: 'harlox-cli open' reads it"), std::string::npos) << err.str();
}

} // namespace
} // namespace harlox::cli
