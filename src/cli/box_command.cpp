#include "cli/box_command.h"

#include "box/bass_reflex_box.h"
#include "box/box_object.h"
#include "box/closed_box.h"
#include "box/port_object.h"
#include "cli/cli_host.h"
#include "core/format.h"
#include "core/measure_setup.h"
#include "output/curve_writer.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>
#include <memory>
#include <optional>
#include <ostream>

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

// ---- exports --------------------------------------------------------------------------------

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

using ExportFn = bool (*)(ExportContext&, const std::string&);

struct ExportKindEntry {
    std::string_view name;
    bool needsPort;
    ExportFn write;
};

const ExportKindEntry kExportKinds[] = {
    {"spl", false,
     [](ExportContext& c, const std::string& p) {
         return exportKind(c, static_cast<int>(BoxExportKind::Spl), p);
     }},
    {"impedance", false,
     [](ExportContext& c, const std::string& p) {
         return exportKind(c, static_cast<int>(BoxExportKind::InputImpedance), p);
     }},
    {"groupdelay", false,
     [](ExportContext& c, const std::string& p) {
         return exportKind(c, static_cast<int>(BoxExportKind::GroupDelay), p);
     }},
    {"excursion", false,
     [](ExportContext& c, const std::string& p) {
         return exportExtra(c, p, "Cone excursion", "   Hz\t\tmm", c.box.front().excursion.data());
     }},
    {"airspeed", true,
     [](ExportContext& c, const std::string& p) {
         return exportExtra(c, p, "Airspeed in port", "   Hz\t\tm/s", c.bassReflex->airSpeed.data());
     }},
    {"driver", true,
     [](ExportContext& c, const std::string& p) {
         return exportExtra(c, p, "Acoustic on Axis Free Air Response, Driver", "   Hz\t\tdB",
                            c.bassReflex->driverSPL.data());
     }},
    {"port", true,
     [](ExportContext& c, const std::string& p) {
         return exportExtra(c, p, "Acoustic on Axis Free Air Response, Port", "   Hz\t\tdB",
                            c.bassReflex->portSPL.data());
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
    // Every run starts from the defaults; the tool never reads or writes the preferences.
    sharedSetup().setValuesToDefaults();
    TPortObject::setNonLinear(false);

    CliHost host(err);
    std::unique_ptr<TBoxEmbryo> box;
    TBassReflexBox* bassReflex = nullptr;
    if (options.type == "closed") {
        box = std::make_unique<TClosedBox>(host);
    } else if (options.type == "bassreflex") {
        auto br = std::make_unique<TBassReflexBox>(host);
        bassReflex = br.get();
        box = std::move(br);
    } else {
        err << "harlox-cli: unknown box type '" << options.type << "' (closed or bassreflex)\n";
        return 1;
    }

    // The exports are checked before anything is calculated.
    std::vector<std::pair<const ExportKindEntry*, std::string>> exports;
    for (const std::string& e : options.exports) {
        const auto eq = e.find('=');
        if (eq == std::string::npos || eq == 0 || eq + 1 == e.size()) {
            err << "harlox-cli: --export expects KIND=FILE, got '" << e << "'\n";
            return 1;
        }
        const std::string kind = e.substr(0, eq);
        const ExportKindEntry* entry = findExportKind(kind);
        if (!entry) {
            err << "harlox-cli: unknown export kind '" << kind << "' (" << joinNames(boxExportKinds())
                << ")\n";
            return 1;
        }
        if (entry->needsPort && !bassReflex) {
            err << "harlox-cli: the closed box has no '" << kind << "' curve\n";
            return 1;
        }
        exports.emplace_back(entry, e.substr(eq + 1));
    }

    if (!options.unitFile.empty()) {
        host.queueFile(options.unitFile);
        // The program's own load: its messages go to stderr through the host.
        if (!box->LoadDriverUnit()) return 1;
    } else {
        box->front().SetDefaultUnit();
    }

    Context context{*box, bassReflex, host};
    for (const std::string& s : options.sets) {
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

    if (box->front().unitOk == 0) {
        err << "harlox-cli: " << TBoxEmbryo::kTooFewParametersText << '\n';
        return 1;
    }
    box->Calculate(0);

    ExportContext exportContext{*box, bassReflex, host};
    for (const auto& [entry, path] : exports) {
        if (!entry->write(exportContext, path)) {
            err << "harlox-cli: could not export the " << entry->name << " curve to '" << path << "'\n";
            return 1;
        }
    }
    if (options.datasheet) out << box->dataSheetText("\n") << '\n';
    return 0;
}

void addBoxCommand(CLI::App& app, int& exitCode) {
    auto options = std::make_shared<BoxOptions>();
    auto* box = app.add_subcommand("box", "Simulate a driver unit in a closed or a bass reflex box");
    box->add_option("TYPE", options->type, "closed or bassreflex")
        ->required()
        ->check(CLI::IsMember({"closed", "bassreflex"}));
    box->add_option("--unit", options->unitFile, "driver unit file (.unt); the built-in unit without it");
    box->add_option("--set", options->sets,
                    "NAME=VALUE in SI units, applied in the order given. Names: " +
                        joinNames(boxSettingNames()))
        ->allow_extra_args(false); // one NAME=VALUE per --set: TYPE may follow
    box->add_option("--export", options->exports,
                    "KIND=FILE, the format chosen by the extension (.frd .zma .gdt .fmp .fm). Kinds: " +
                        joinNames(boxExportKinds()))
        ->allow_extra_args(false);
    box->add_flag("--datasheet", options->datasheet, "print the data sheet");
    box->callback([options, &exitCode] { exitCode = runBox(*options, std::cout, std::cerr); });
}

} // namespace harlox::cli
