#include "cli/box_command.h"

#include "app/box_factory.h"
#include "app/project_types.h"
#include "box/bass_reflex_box.h"
#include "box/box_object.h"
#include "box/closed_box.h"
#include "box/port_object.h"
#include "cli/cli_host.h"
#include "cli/plot.h"
#include "core/binary_io.h"
#include "core/diagram_model.h"
#include "core/format.h"
#include "core/measure_setup.h"
#include "output/curve_writer.h"

#include <CLI/CLI.hpp>

#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <optional>
#include <ostream>
#include <utility>

namespace harlox::cli {

namespace {

// ---- values ------------------------------------------------------------------------------

std::string quoted(std::string_view v) {
    return "'" + std::string(v) + "'";
}

std::string rangeText(double lo, double hi) {
    return strprintf("the value must lie between %g and %g", lo, hi);
}

// Reads a finite number within [lo, hi]; the error text, or "" when accepted.
std::string readNumber(std::string_view v, double lo, double hi, double& out) {
    double x = 0.0;
    const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), x);
    if (v.empty() || ec != std::errc() || end != v.data() + v.size() || !std::isfinite(x)) {
        return quoted(v) + " is not a number";
    }
    if (x < lo || x > hi) return rangeText(lo, hi);
    out = x;
    return {};
}

std::string readInteger(std::string_view v, long lo, long hi, long& out) {
    long x = 0;
    const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), x);
    if (v.empty() || ec != std::errc() || end != v.data() + v.size())
        return quoted(v) + " is not a whole number";
    if (x < lo || x > hi) return strprintf("the value must lie between %ld and %ld", lo, hi);
    out = x;
    return {};
}

std::string readFlag(std::string_view v, bool& out) {
    for (const std::string_view on : {"1", "true", "on", "yes"}) {
        if (v == on) {
            out = true;
            return {};
        }
    }
    for (const std::string_view off : {"0", "false", "off", "no"}) {
        if (v == off) {
            out = false;
            return {};
        }
    }
    return quoted(v) + " is not one of 1, 0, true, false, on, off, yes, no";
}

// ---- the setting table -------------------------------------------------------------------

struct Context {
    TBoxEmbryo& box;
    TBassReflexBox* bassReflex; // null for the closed box
    UiHost& ui;
};

using Apply = std::string (*)(Context&, std::string_view);

struct Setting {
    std::string_view name;
    Apply apply;
};

constexpr double kHuge = std::numeric_limits<double>::max();

MeasureSetup& setupOf(Context&) {
    return sharedSetup();
}

std::string setupChanged(Context& c) {
    setupOf(c).setupChanged = 1;
    return {};
}

// A unit parameter: 0 means "not given", as in the unit editor.
template <double TSpkData::*Field> std::string setUnitValue(Context& c, std::string_view v) {
    double x = 0.0;
    if (auto e = readNumber(v, 0.0, kHuge, x); !e.empty()) return e;
    c.box.front().*Field = x;
    c.box.front().UnitEdited();
    return {};
}

template <std::int16_t TSpkData::*Field> std::string setUnitFlag(Context& c, std::string_view v) {
    bool on = false;
    if (auto e = readFlag(v, on); !e.empty()) return e;
    c.box.front().*Field = on ? 1 : 0;
    c.box.front().UnitEdited();
    return {};
}

template <void (TSpkData::*Set)(std::string_view), std::size_t Size>
std::string setUnitText(Context& c, std::string_view v) {
    if (v.size() >= Size) return strprintf("the text holds at most %zu characters", Size - 1);
    (c.box.front().*Set)(v);
    c.box.front().UnitEdited();
    return {};
}

template <std::uint8_t SpeakerConfiguration::*Field>
std::string setDriverFlag(Context& c, std::string_view v) {
    bool on = false;
    if (auto e = readFlag(v, on); !e.empty()) return e;
    c.box.front().*Field = on ? 1 : 0;
    c.box.front().unitChanged = 1;
    return {};
}

std::string refusedUnless(bool accepted, std::string_view why) {
    return accepted ? std::string() : std::string(why);
}

TBoxObject& boxOf(Context& c) {
    return *c.box.boxElement();
}

std::string needPort(Context& c) {
    return c.bassReflex ? std::string() : std::string("the closed box has no port");
}

std::string offeredConnectionsText(int count) {
    std::string text;
    for (const int i : TSpeakerObject::offeredConnections(count)) {
        if (!text.empty()) text += ", ";
        text += strprintf("%d \"%s\"", i, TSpeakerObject::connectionName(i));
    }
    return text;
}

const Setting kSettings[] = {
    // The measurement setup.
    {"setup.points",
     [](Context& c, std::string_view v) {
         long n = 0;
         if (auto e = readInteger(v, 10, kMaxPoints, n); !e.empty()) return e;
         setupOf(c).pointCount = static_cast<std::int32_t>(n);
         return setupChanged(c);
     }},
    {"setup.start",
     [](Context& c, std::string_view v) {
         long f = 0;
         if (auto e = readInteger(v, 1, setupOf(c).stopFrequency - 10, f); !e.empty()) return e;
         setupOf(c).startFrequency = static_cast<std::int32_t>(f);
         return setupChanged(c);
     }},
    {"setup.stop",
     [](Context& c, std::string_view v) {
         long f = 0;
         if (auto e = readInteger(v, setupOf(c).startFrequency + 10, 20000, f); !e.empty()) return e;
         setupOf(c).stopFrequency = static_cast<std::int32_t>(f);
         return setupChanged(c);
     }},
    {"setup.Ug",
     [](Context& c, std::string_view v) {
         double x = 0;
         if (auto e = readNumber(v, 0.001, 1000, x); !e.empty()) return e;
         setupOf(c).setUg(x);
         return setupChanged(c);
     }},
    {"setup.Pg",
     [](Context& c, std::string_view v) {
         double x = 0;
         if (auto e = readNumber(v, 1.25e-7, 125000, x); !e.empty()) return e;
         setupOf(c).setPg(x);
         return setupChanged(c);
     }},
    {"setup.Rg",
     [](Context& c, std::string_view v) {
         double x = 0;
         if (auto e = readNumber(v, -10000, 10000, x); !e.empty()) return e;
         setupOf(c).Rg = x;
         return setupChanged(c);
     }},
    {"setup.Lg",
     [](Context& c, std::string_view v) {
         double x = 0;
         if (auto e = readNumber(v, 0, 10, x); !e.empty()) return e;
         setupOf(c).Lg = x;
         return setupChanged(c);
     }},

    // The driver configuration.
    {"driver.count",
     [](Context& c, std::string_view v) {
         long n = 0;
         if (auto e = readInteger(v, TSpeakerObject::kMinDrivers, TSpeakerObject::kMaxDrivers, n); !e.empty())
             return e;
         return refusedUnless(c.box.front().setDriverCount(static_cast<int>(n)), "refused");
     }},
    {"driver.connection",
     [](Context& c, std::string_view v) {
         long i = 0;
         if (auto e = readInteger(v, 0, TSpeakerObject::kConnectionCount - 1, i); !e.empty()) return e;
         TSpeakerObject& d = c.box.front();
         if (d.setDriverConnection(static_cast<int>(i))) return std::string();
         return strprintf("connection %ld (\"%s\") is not offered for %d drivers; offered: %s", i,
                          TSpeakerObject::connectionName(static_cast<int>(i)),
                          static_cast<int>(d.driverCount), offeredConnectionsText(d.driverCount).c_str());
     }},
    {"driver.isobaric",
     [](Context& c, std::string_view v) {
         bool on = false;
         if (auto e = readFlag(v, on); !e.empty()) return e;
         c.box.front().setIsobaric(on);
         return std::string();
     }},
    {"driver.isobaricConnection",
     [](Context& c, std::string_view v) {
         long i = 0;
         if (auto e = readInteger(v, 0, 2, i); !e.empty()) return e;
         return refusedUnless(c.box.front().setIsobaricConnection(static_cast<int>(i)), "refused");
     }},
    {"driver.coilConnection",
     [](Context& c, std::string_view v) {
         long i = 0;
         if (auto e = readInteger(v, 0, 2, i); !e.empty()) return e;
         return refusedUnless(c.box.front().setCoilConnection(static_cast<int>(i)), "refused");
     }},
    {"driver.extraMass",
     [](Context& c, std::string_view v) {
         double x = 0;
         if (auto e = readNumber(v, 0, TSpeakerObject::kMaxExtraMass, x); !e.empty()) return e;
         return refusedUnless(c.box.front().setExtraMass(x), "refused");
     }},
    {"driver.cmsNonlinear", setDriverFlag<&SpeakerConfiguration::cmsNonlinear>},
    {"driver.blNonlinear", setDriverFlag<&SpeakerConfiguration::blNonlinear>},
    {"driver.coilHeating", setDriverFlag<&SpeakerConfiguration::coilHeating>},
    {"driver.importFile",
     [](Context& c, std::string_view v) {
         TSpeakerObject& d = c.box.front();
         if (v.empty()) {
             d.setImportFile("");
             d.importUsable = 0;
             return std::string();
         }
         // Names on the command line are relative to the working folder, not the program's.
         std::error_code ec;
         const std::string path =
             std::filesystem::absolute(std::filesystem::path(std::string(v)), ec).string();
         if (ec || path.size() >= kPathBlock) {
             return strprintf("the path must be shorter than %zu characters", kPathBlock);
         }
         d.setImportFile(path);
         if (!d.ReadImportedData(TMeasureSetupObject::grid(), &c.ui)) {
             return "no measured SPL data could be read from " + quoted(v);
         }
         return std::string();
     }},
    {"driver.importDisabled", setDriverFlag<&SpeakerConfiguration::importDisabled>},
    {"driver.transitionFrequency",
     [](Context& c, std::string_view v) {
         long f = 0;
         if (auto e = readInteger(v, TSpeakerObject::kMinTransitionFrequency,
                                  TSpeakerObject::kMaxTransitionFrequency, f);
             !e.empty())
             return e;
         return refusedUnless(c.box.front().setTransitionFrequency(static_cast<int>(f)), "refused");
     }},
    {"driver.phaseLagCutoff",
     [](Context& c, std::string_view v) {
         double x = 0;
         if (auto e = readNumber(v, 0, TSpeakerObject::kMaxPhaseLagCutoff, x); !e.empty()) return e;
         return refusedUnless(c.box.front().setPhaseLagCutoff(x), "refused");
     }},
    {"driver.autoLevel", setDriverFlag<&SpeakerConfiguration::autoLevel>},
    {"driver.levelOffset",
     [](Context& c, std::string_view v) {
         double x = 0;
         if (auto e = readNumber(v, -TSpeakerObject::kMaxLevelOffsetDb, TSpeakerObject::kMaxLevelOffsetDb, x);
             !e.empty())
             return e;
         return refusedUnless(c.box.front().setLevelOffsetDb(x), "refused");
     }},

    // The unit record.
    {"unit.Sd", setUnitValue<&TSpkData::Sd>},
    {"unit.Vas", setUnitValue<&TSpkData::Vas>},
    {"unit.Cms", setUnitValue<&TSpkData::Cms>},
    {"unit.Cas", setUnitValue<&TSpkData::Cas>},
    {"unit.Qms", setUnitValue<&TSpkData::Qms>},
    {"unit.Qes", setUnitValue<&TSpkData::Qes>},
    {"unit.Qts", setUnitValue<&TSpkData::Qts>},
    {"unit.Pmax", setUnitValue<&TSpkData::Pmax>},
    {"unit.Xmax", setUnitValue<&TSpkData::Xmax>},
    {"unit.h", setUnitValue<&TSpkData::h>},
    {"unit.l", setUnitValue<&TSpkData::l>},
    {"unit.Mmd", setUnitValue<&TSpkData::Mmd>},
    {"unit.Mms", setUnitValue<&TSpkData::Mms>},
    {"unit.Rms", setUnitValue<&TSpkData::Rms>},
    {"unit.fs", setUnitValue<&TSpkData::fs>},
    {"unit.Bl", setUnitValue<&TSpkData::Bl>},
    {"unit.Re", setUnitValue<&TSpkData::Re>},
    {"unit.Le", setUnitValue<&TSpkData::Le>},
    {"unit.crosscalc", setUnitFlag<&TSpkData::crosscalc>},
    {"unit.dualCoil", setUnitFlag<&TSpkData::dualCoil>},
    {"unit.speakerType",
     [](Context& c, std::string_view v) {
         long t = 0;
         if (auto e = readInteger(v, 0, 5, t); !e.empty()) return e;
         c.box.front().speakerType = static_cast<std::int16_t>(t);
         return std::string();
     }},
    {"unit.manufacturer", setUnitText<&TSpkData::setManufacturer, TSpkData::kTextSize>},
    {"unit.model", setUnitText<&TSpkData::setModel, TSpkData::kTextSize>},
    {"unit.note", setUnitText<&TSpkData::setNote, TSpkData::kNoteSize>},
    {"unit.fileName", setUnitText<&TSpkData::setFileName, TSpkData::kFileNameSize>},

    // The box.
    {"box.Vb",
     [](Context& c, std::string_view v) {
         double x = 0;
         if (auto e = readNumber(v, 0.0001, 10, x); !e.empty()) return e;
         c.box.setVb(x);
         return std::string();
     }},
    {"box.Qb",
     [](Context& c, std::string_view v) {
         double x = 0;
         if (auto e = readNumber(v, 3, 15, x); !e.empty()) return e;
         boxOf(c).Qb = x;
         boxOf(c).boxChanged = 1;
         return std::string();
     }},
    {"box.Ql",
     [](Context& c, std::string_view v) {
         double x = 0;
         if (auto e = readNumber(v, 3, 15, x); !e.empty()) return e;
         boxOf(c).Ql = x;
         boxOf(c).boxChanged = 1;
         return std::string();
     }},
    {"box.fill",
     [](Context& c, std::string_view v) {
         long x = 0;
         if (auto e = readInteger(v, 0, 100, x); !e.empty()) return e;
         boxOf(c).fill = static_cast<std::int32_t>(x);
         boxOf(c).boxChanged = 1;
         return std::string();
     }},

    // The port of the bass reflex box.
    {"port.L",
     [](Context& c, std::string_view v) {
         if (auto e = needPort(c); !e.empty()) return e;
         double x = 0;
         if (auto e = readNumber(v, 0, 10, x); !e.empty()) return e;
         c.bassReflex->port().setLength(x);
         return std::string();
     }},
    {"port.D",
     [](Context& c, std::string_view v) {
         if (auto e = needPort(c); !e.empty()) return e;
         double x = 0;
         if (auto e = readNumber(v, 0.01, 1, x); !e.empty()) return e;
         return refusedUnless(c.bassReflex->port().setDiameter(x), kAreaChangeRefusedMsg);
     }},
    {"port.S",
     [](Context& c, std::string_view v) {
         if (auto e = needPort(c); !e.empty()) return e;
         double x = 0;
         if (auto e = readNumber(v, 0.7853981633975e-4, 0.78539816339750005, x); !e.empty()) return e;
         return refusedUnless(c.bassReflex->port().setArea(x), kAreaChangeRefusedMsg);
     }},
    {"port.ports",
     [](Context& c, std::string_view v) {
         if (auto e = needPort(c); !e.empty()) return e;
         long n = 0;
         if (auto e = readInteger(v, 1, TPortObject::kMaxPorts, n); !e.empty()) return e;
         c.bassReflex->port().setPorts(static_cast<int>(n));
         return std::string();
     }},
    {"port.flare",
     [](Context& c, std::string_view v) {
         if (auto e = needPort(c); !e.empty()) return e;
         double x = 0;
         if (auto e = readNumber(v, 0, 200, x); !e.empty()) return e;
         return refusedUnless(c.bassReflex->port().setFlareRadius(x), kFlareRadiusRefusedMsg);
     }},
    {"port.nonlinear",
     [](Context& c, std::string_view v) {
         if (auto e = needPort(c); !e.empty()) return e;
         bool on = false;
         if (auto e = readFlag(v, on); !e.empty()) return e;
         TPortObject::setNonLinear(on);
         c.bassReflex->port().portChanged = 1;
         return std::string();
     }},
    {"port.fb",
     [](Context& c, std::string_view v) {
         if (auto e = needPort(c); !e.empty()) return e;
         double x = 0;
         if (auto e = readNumber(v, 1, 1000, x); !e.empty()) return e;
         return refusedUnless(c.bassReflex->port().setTuning(x), kTuningChangeRefusedMsg);
     }},
};

const Setting* findSetting(std::string_view name) {
    for (const Setting& s : kSettings) {
        if (s.name == name) return &s;
    }
    return nullptr;
}

// ---- exports and plots ------------------------------------------------------------------------

struct ExportContext {
    TBoxEmbryo& box;
    TBassReflexBox* bassReflex;
    CliHost& host;
};

// Writes one curve that has no export of its own in the program, in the same formats.
bool exportExtra(ExportContext& c, const std::string& path, const char* title, const char* unitHeader,
                 const double* y) {
    CurveExport data;
    data.title = title;
    data.header = unitHeader;
    data.headerFm = unitHeader;
    data.pointCount = c.box.pointCount();
    data.x = TMeasureSetupObject::grid().f.data();
    data.y1 = y;
    FileSelector selector;
    c.host.queueFile(path);
    return exportCurve(c.host, selector, data, true);
}

bool exportKind(ExportContext& c, int kind, const std::string& path) {
    c.host.queueFile(path);
    return c.box.Export(kind);
}

// One SPL curve of the bass reflex box on its own, drawn as the SPL window draws it.
const DiagramModel& splPart(ExportContext& c, DiagramModel& scratch, const double* y, const char* label) {
    const DiagramModel& spl = c.box.splWindow();
    scratch = DiagramModel(spl.title(), spl.xUnit(), spl.yUnit());
    scratch.setX(spl.x());
    scratch.setPointCount(spl.pointCount());
    scratch.setLogX(spl.logX());
    scratch.setFixedYRange(spl.fixedYRange());
    scratch.addCurve(y, Pen{PenColor::Black, PenStyle::Thick}, label);
    return scratch;
}

using ExportFn = bool (*)(ExportContext&, const std::string&);
using DiagramFn = const DiagramModel& (*)(ExportContext&, DiagramModel& scratch);

struct ExportKindEntry {
    std::string_view name;
    bool needsPort;
    ExportFn write;
    DiagramFn diagram;
};

const ExportKindEntry kExportKinds[] = {
    {"spl", false,
     [](ExportContext& c, const std::string& p) {
         return exportKind(c, static_cast<int>(BoxExportKind::Spl), p);
     },
     [](ExportContext& c, DiagramModel&) -> const DiagramModel& { return c.box.splWindow(); }},
    {"impedance", false,
     [](ExportContext& c, const std::string& p) {
         return exportKind(c, static_cast<int>(BoxExportKind::InputImpedance), p);
     },
     [](ExportContext& c, DiagramModel&) -> const DiagramModel& { return c.box.impedanceWindow(); }},
    {"groupdelay", false,
     [](ExportContext& c, const std::string& p) {
         return exportKind(c, static_cast<int>(BoxExportKind::GroupDelay), p);
     },
     [](ExportContext& c, DiagramModel&) -> const DiagramModel& { return c.box.groupDelayWindow(); }},
    {"excursion", false,
     [](ExportContext& c, const std::string& p) {
         return exportExtra(c, p, "Cone excursion", "   Hz\t\tmm", c.box.front().excursion.data());
     },
     [](ExportContext& c, DiagramModel&) -> const DiagramModel& { return c.box.excursionWindow(); }},
    {"airspeed", true,
     [](ExportContext& c, const std::string& p) {
         return exportExtra(c, p, "Airspeed in port", "   Hz\t\tm/s", c.bassReflex->airSpeed.data());
     },
     [](ExportContext& c, DiagramModel&) -> const DiagramModel& { return c.bassReflex->airSpeedWindow(); }},
    {"driver", true,
     [](ExportContext& c, const std::string& p) {
         return exportExtra(c, p, "Acoustic on Axis Free Air Response, Driver", "   Hz\t\tdB",
                            c.bassReflex->driverSPL.data());
     },
     [](ExportContext& c, DiagramModel& scratch) -> const DiagramModel& {
         return splPart(c, scratch, c.bassReflex->driverSPL.data(), "Driver");
     }},
    {"port", true,
     [](ExportContext& c, const std::string& p) {
         return exportExtra(c, p, "Acoustic on Axis Free Air Response, Port", "   Hz\t\tdB",
                            c.bassReflex->portSPL.data());
     },
     [](ExportContext& c, DiagramModel& scratch) -> const DiagramModel& {
         return splPart(c, scratch, c.bassReflex->portSPL.data(), "Port");
     }},
};

const ExportKindEntry* findExportKind(std::string_view name) {
    for (const ExportKindEntry& k : kExportKinds) {
        if (k.name == name) return &k;
    }
    return nullptr;
}

std::string joinNames(const std::vector<std::string_view>& names) {
    std::string text;
    for (const auto n : names) {
        if (!text.empty()) text += ", ";
        text += n;
    }
    return text;
}

std::string lowerExtension(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    for (char& ch : ext)
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return ext;
}

// ---- carrying out the actions -------------------------------------------------------------------

using Job = std::pair<const ExportKindEntry*, std::string>;

// The actions checked against the project before anything is calculated or written.
struct Plan {
    std::vector<Job> exports;
    std::vector<Job> plots;
    int width = 0;
    int height = 0;
};

std::string typeNameOf(const TBassReflexBox* bassReflex) {
    return bassReflex ? "the bass reflex box" : "the closed box";
}

// "KIND=FILE" for --export and --plot; false with the message written to err.
bool parseJobs(const std::vector<std::string>& items, const char* option, const TBassReflexBox* bassReflex,
               std::vector<Job>& jobs, std::ostream& err) {
    for (const std::string& e : items) {
        const auto eq = e.find('=');
        if (eq == std::string::npos || eq == 0 || eq + 1 == e.size()) {
            err << "harlox-cli: " << option << " expects KIND=FILE, got '" << e << "'\n";
            return false;
        }
        const std::string kind = e.substr(0, eq);
        const ExportKindEntry* entry = findExportKind(kind);
        if (!entry) {
            // "--export" -> "export"
            err << "harlox-cli: unknown " << (option + 2) << " kind '" << kind << "' ("
                << joinNames(boxExportKinds()) << ")\n";
            return false;
        }
        if (entry->needsPort && !bassReflex) {
            err << "harlox-cli: " << typeNameOf(bassReflex) << " has no '" << kind << "' curve\n";
            return false;
        }
        jobs.emplace_back(entry, e.substr(eq + 1));
    }
    return true;
}

bool parseSize(std::string_view text, int& width, int& height, std::ostream& err) {
    const auto x = text.find_first_of("xX");
    long w = 0;
    long h = 0;
    std::string why = x == std::string_view::npos ? "expects WIDTHxHEIGHT in pixels"
                                                  : readInteger(text.substr(0, x), 1, 20000, w);
    if (why.empty()) why = readInteger(text.substr(x + 1), 1, 20000, h);
    if (!why.empty()) {
        err << "harlox-cli: --size " << quoted(text) << ": " << why << '\n';
        return false;
    }
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

std::optional<Plan> planActions(const TBoxEmbryo& box, const ProjectActions& a, std::ostream& err) {
    const auto* bassReflex = dynamic_cast<const TBassReflexBox*>(&box);
    Plan plan;
    if (!parseJobs(a.exports, "--export", bassReflex, plan.exports, err)) return std::nullopt;
    if (!parseJobs(a.plots, "--plot", bassReflex, plan.plots, err)) return std::nullopt;
    if (!plan.plots.empty()) {
        if (!plottingAvailable()) {
            std::string why;
            (void)renderDiagramToFile(box.splWindow(), "", 1, 1, why);
            err << "harlox-cli: --plot: " << why << '\n';
            return std::nullopt;
        }
        for (const auto& [entry, path] : plan.plots) {
            const std::string ext = lowerExtension(path);
            if (ext != ".png" && ext != ".svg") {
                err << "harlox-cli: --plot " << entry->name << ": " << quoted(path)
                    << " must end in .png or .svg\n";
                return std::nullopt;
            }
        }
        if (!parseSize(a.plotSize, plan.width, plan.height, err)) return std::nullopt;
    }
    return plan;
}

int applySettings(TBoxEmbryo& box, UiHost& ui, const std::vector<std::string>& sets, std::ostream& err) {
    Context context{box, dynamic_cast<TBassReflexBox*>(&box), ui};
    for (const std::string& s : sets) {
        const auto eq = s.find('=');
        if (eq == std::string::npos || eq == 0) {
            err << "harlox-cli: --set expects NAME=VALUE, got '" << s << "'\n";
            return 1;
        }
        const std::string name = s.substr(0, eq);
        const Setting* setting = findSetting(name);
        if (!setting) {
            err << "harlox-cli: unknown setting '" << name
                << "' (see 'harlox-cli box --help' for the names)\n";
            return 1;
        }
        if (const std::string why = setting->apply(context, std::string_view(s).substr(eq + 1));
            !why.empty()) {
            err << "harlox-cli: --set " << name << ": " << why << '\n';
            return 1;
        }
    }
    return 0;
}

int carryOut(TBoxEmbryo& box, CliHost& host, const ProjectActions& a, const Plan& plan, std::ostream& out,
             std::ostream& err) {
    if (applySettings(box, host, a.sets, err) != 0) return 1;
    if (box.front().unitOk == 0) {
        err << "harlox-cli: " << TBoxEmbryo::kTooFewParametersText << '\n';
        return 1;
    }
    box.Calculate(0);

    if (!a.saveFile.empty()) {
        // The program's own Save as: atomic, and its message on failure.
        host.queueFile(a.saveFile);
        if (!box.SaveAs()) {
            err << "harlox-cli: could not save the project to '" << a.saveFile << "'\n";
            return 1;
        }
        host.runPosted();
    }

    ExportContext context{box, dynamic_cast<TBassReflexBox*>(&box), host};
    for (const auto& [entry, path] : plan.exports) {
        if (!entry->write(context, path)) {
            err << "harlox-cli: could not export the " << entry->name << " curve to '" << path << "'\n";
            return 1;
        }
    }
    for (const auto& [entry, path] : plan.plots) {
        DiagramModel scratch;
        std::string why;
        if (!renderDiagramToFile(entry->diagram(context, scratch), path, plan.width, plan.height, why)) {
            err << "harlox-cli: could not plot the " << entry->name << " diagram to '" << path << "': " << why
                << '\n';
            return 1;
        }
    }
    if (a.datasheet) out << box.dataSheetText("\n") << '\n';
    return 0;
}

// Every run starts from the defaults; the tool never reads or writes the preferences.
void startFromDefaults() {
    sharedSetup().setValuesToDefaults();
    TPortObject::setNonLinear(false);
}

// The box types the tool makes, by name and by project type code.
struct BoxType {
    std::string_view name;
    int code;
};

const BoxType kBoxTypes[] = {
    {"closed", 0}, {"bassreflex", 1}, {"dt1", 2}, {"dt2", 3}, {"abr", 4},
    {"bp1", 5},    {"bp2", 6},        {"bp3", 7}, {"bp4", 8}, {"reflexbp", 9},
};

const BoxType* findBoxType(std::string_view name) {
    for (const BoxType& t : kBoxTypes) {
        if (t.name == name) return &t;
    }
    return nullptr;
}

const BoxType* findBoxType(std::int32_t code) {
    for (const BoxType& t : kBoxTypes) {
        if (t.code == code) return &t;
    }
    return nullptr;
}

// Names on the command line are relative to the working folder, not to the program's.
std::string fromWorkingFolder(const std::string& name) {
    std::error_code ec;
    const std::filesystem::path p =
        std::filesystem::absolute(std::filesystem::path(name), ec).lexically_normal();
    return ec ? name : p.string();
}

void addActionOptions(CLI::App& command, ProjectActions& a) {
    command
        .add_option("--set", a.sets,
                    "NAME=VALUE in SI units, applied in the order given. Names: " +
                        joinNames(boxSettingNames()))
        ->allow_extra_args(false); // one NAME=VALUE per --set: a positional may follow
    command
        .add_option("--export", a.exports,
                    "KIND=FILE, the format chosen by the extension (.frd .zma .gdt .fmp .fm). Kinds: " +
                        joinNames(boxExportKinds()))
        ->allow_extra_args(false);
    command
        .add_option("--plot", a.plots,
                    "KIND=FILE.png or KIND=FILE.svg: the diagram drawn as the program draws it. Kinds as "
                    "--export")
        ->allow_extra_args(false);
    command.add_option("--size", a.plotSize, "WIDTHxHEIGHT of the plots in pixels")->capture_default_str();
    command.add_flag("--datasheet", a.datasheet, "print the data sheet");
    command.add_option("--save", a.saveFile, "write the project to this box project file (.box)");
}

} // namespace

std::vector<std::string_view> boxSettingNames() {
    std::vector<std::string_view> names;
    for (const Setting& s : kSettings)
        names.push_back(s.name);
    return names;
}

std::vector<std::string_view> boxExportKinds() {
    std::vector<std::string_view> names;
    for (const ExportKindEntry& k : kExportKinds)
        names.push_back(k.name);
    return names;
}

int runBox(const BoxOptions& options, std::ostream& out, std::ostream& err) {
    startFromDefaults();
    const BoxType* type = findBoxType(options.type);
    if (!type) {
        err << "harlox-cli: unknown box type '" << options.type << "' (closed or bassreflex)\n";
        return 1;
    }
    CliHost host(err);
    std::unique_ptr<TBoxEmbryo> box = makeBoxProject(type->code, host);
    const std::optional<Plan> plan = planActions(*box, options.actions, err);
    if (!plan) return 1;
    if (!options.actions.saveFile.empty() && options.unitFile.empty()) {
        err << "harlox-cli: --save needs --unit: a project names its driver unit file (write the built-in "
               "unit with 'harlox-cli unit default FILE')\n";
        return 1;
    }

    if (!options.unitFile.empty()) {
        host.queueFile(fromWorkingFolder(options.unitFile));
        // The program's own load: its messages go to stderr through the host.
        if (!box->LoadDriverUnit()) return 1;
        host.runPosted();
    } else {
        box->front().SetDefaultUnit();
    }
    return carryOut(*box, host, options.actions, *plan, out, err);
}

int runOpen(const OpenOptions& options, std::ostream& out, std::ostream& err) {
    startFromDefaults();
    const std::string& path = options.projectFile;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        err << "harlox-cli: cannot open '" << path << "'\n";
        return 1;
    }
    std::array<std::uint8_t, 4> head{};
    file.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    BinaryReader reader(std::span<const std::uint8_t>(head.data(), static_cast<std::size_t>(file.gcount())));
    std::int32_t code = 0;
    if (!reader.i32(code)) {
        err << "harlox-cli: '" << path << "' is not a project file: it is shorter than its type code\n";
        return 1;
    }
    file.close();
    const BoxType* type = findBoxType(code);
    if (!type) {
        const ProjectType* known = findProjectType(code);
        if (known) {
            err << "harlox-cli: '" << path << "' holds a " << known->name
                << " project; harlox-cli opens box projects\n";
        } else {
            err << "harlox-cli: '" << path << "' is not a project file (type code " << code << ")\n";
        }
        return 1;
    }

    CliHost host(err);
    std::unique_ptr<TBoxEmbryo> box = makeBoxProject(type->code, host);
    const std::optional<Plan> plan = planActions(*box, options.actions, err);
    if (!plan) return 1;
    // The project's own reader: its messages (an old file, a missing unit) go to stderr.
    if (!box->ReadProject(path)) {
        err << "harlox-cli: could not read the " << type->name << " project '" << path
            << "': the project file is corrupt\n";
        return 1;
    }
    host.runPosted();
    box->PostCreation(true);
    return carryOut(*box, host, options.actions, *plan, out, err);
}

void addBoxCommand(CLI::App& app, int& exitCode) {
    auto options = std::make_shared<BoxOptions>();
    auto* box = app.add_subcommand("box", "Simulate a driver unit in a closed or a bass reflex box");
    box->add_option("TYPE", options->type, "closed or bassreflex")
        ->required()
        ->check(CLI::IsMember({"closed", "bassreflex"}));
    box->add_option("--unit", options->unitFile, "driver unit file (.unt); the built-in unit without it");
    addActionOptions(*box, options->actions);
    box->callback([options, &exitCode] { exitCode = runBox(*options, std::cout, std::cerr); });
}

void addOpenCommand(CLI::App& app, int& exitCode) {
    auto options = std::make_shared<OpenOptions>();
    auto* open = app.add_subcommand(
        "open", "Read a box project (.box), change it with --set and write its curves, plots and data sheet");
    open->add_option("FILE", options->projectFile, "box project file (closed or bass reflex)")->required();
    addActionOptions(*open, options->actions);
    open->callback([options, &exitCode] { exitCode = runOpen(*options, std::cout, std::cerr); });
}

} // namespace harlox::cli
