#include "cli/filter_command.h"

#include "cli/cli_host.h"
#include "cli/cli_values.h"
#include "cli/plot.h"
#include "cli/project_text.h"
#include "core/binary_io.h"
#include "core/diagram_model.h"
#include "core/format.h"
#include "core/program_dir.h"
#include "filter/general.h"
#include "filter/net.h"
#include "filter/net_a.h"
#include "filter/xover.h"
#include "output/curve_writer.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <memory>
#include <optional>
#include <ostream>
#include <span>

namespace harlox::cli {

namespace {

constexpr double kHuge = std::numeric_limits<double>::max();

struct Variant {
    std::string_view name;
    int number; // TXover's variant
};

const Variant kVariants[] = {
    {"simple2", 0},  {"simple3", 1}, {"passive1", 3}, {"passive2", 4}, {"passive3", 5},
    {"passive4", 6}, {"active1", 8}, {"active2", 9},  {"active3", 10}, {"active4", 11},
};

std::string variantNames() {
    return joinNames(filterVariantNames());
}

// Names on the command line are relative to the working folder, not to the program's.
std::string fromWorkingFolder(const std::string& name) {
    std::error_code ec;
    const std::filesystem::path p =
        std::filesystem::absolute(std::filesystem::path(name), ec).lexically_normal();
    return ec ? name : p.string();
}

// "12" of "net12.x" within [1, most]; nothing when the text is no such number.
std::optional<int> numberIn(std::string_view text, int most) {
    long n = 0;
    if (!readInteger(text, 1, most, n).empty()) return std::nullopt;
    return static_cast<int>(n);
}

// ---- general settings --------------------------------------------------------------------

using GeneralApply = std::string (*)(TGeneral&, std::string_view);

struct GeneralSetting {
    std::string_view name;
    GeneralApply apply;
};

std::string setRays(TGeneral& g, std::string_view v) {
    std::vector<int> angles;
    while (true) {
        const auto comma = v.find(',');
        long a = 0;
        if (auto e = readInteger(v.substr(0, comma), -180, 180, a); !e.empty()) return e;
        angles.push_back(static_cast<int>(a));
        if (comma == std::string_view::npos) break;
        v.remove_prefix(comma + 1);
    }
    if (!g.setSurfaceRays(angles))
        return strprintf("at most %d rays (the 0 degree ray included)", TGeneral::kMaxSurfaceRays);
    return {};
}

const GeneralSetting kGeneralSettings[] = {
    {"general.infinite",
     [](TGeneral& g, std::string_view v) {
         bool on = false;
         if (auto e = readFlag(v, on); !e.empty()) return e;
         g.infinite = on ? 1 : 0;
         return std::string();
     }},
    {"general.distance",
     [](TGeneral& g, std::string_view v) {
         double x = 0.0;
         if (auto e = readNumber(v, 0.01, 1000.0, x); !e.empty()) return e;
         g.distance = x;
         return std::string();
     }},
    {"general.rays", setRays},
    {"general.inhibit",
     [](TGeneral& g, std::string_view v) {
         bool on = false;
         if (auto e = readFlag(v, on); !e.empty()) return e;
         g.inhibit = on ? 1 : 0;
         return std::string();
     }},
};

// ---- network settings --------------------------------------------------------------------

// Network K of the project: exactly one of simple and advanced is set.
struct NetTarget {
    int number = 0; // K, from 1
    TNet* simple = nullptr;
    TNetA* advanced = nullptr;
    bool active = false;

    TNetBase& base() const { return simple ? static_cast<TNetBase&>(*simple) : *advanced; }
    std::string label() const { return strprintf("net %d", number); }
};

std::string needSimple(const NetTarget& t) {
    return t.simple ? std::string() : t.label() + " is an advanced network (simple nets only)";
}

std::string needAdvanced(const NetTarget& t) {
    return t.advanced ? std::string() : t.label() + " is a simple network (advanced and active nets only)";
}

using NetApply = std::string (*)(NetTarget&, std::string_view);

struct NetSetting {
    std::string_view name; // after "netK."
    NetApply apply;
};

// "ORDER@FC": order 0 .. 4, cut-off in Hz.
std::string readDesign(std::string_view v, long& order, double& fc) {
    const auto at = v.find('@');
    if (at == std::string_view::npos) return cli::quoted(v) + " is not ORDER@FC";
    if (auto e = readInteger(v.substr(0, at), 0, 4, order); !e.empty()) return "the order: " + e;
    if (auto e = readNumber(v.substr(at + 1), 1.0, 100000.0, fc); !e.empty()) return "the cut-off: " + e;
    return {};
}

std::string sectionName(const TNet& net) {
    static constexpr const char* kNames[] = {"bass", "mid", "treble"};
    return strprintf("the %s section", kNames[std::clamp(net.SectionIndex(), 0, 2)]);
}

template <bool LowPass> std::string setSlope(NetTarget& t, std::string_view v) {
    if (auto e = needSimple(t); !e.empty()) return e;
    TNet& n = *t.simple;
    const TNet::SectionKind without = LowPass ? TNet::HighPass : TNet::LowPass;
    if (n.Kind() == without) return sectionName(n) + (LowPass ? " has no low-pass" : " has no high-pass");
    long order = 0;
    double fc = 0.0;
    if (auto e = readDesign(v, order, fc); !e.empty()) return e;
    (LowPass ? n.lowPassOrder : n.highPassOrder) = static_cast<std::int16_t>(order);
    (LowPass ? n.lowPassCutoff : n.highPassCutoff) = fc;
    return (LowPass ? n.DesignLowPass() : n.DesignHighPass()) ? std::string() : "the design was refused";
}

std::string setBandPass(NetTarget& t, std::string_view v) {
    if (auto e = needSimple(t); !e.empty()) return e;
    TNet& n = *t.simple;
    if (n.Kind() != TNet::BandPass) return sectionName(n) + " is no band-pass (use lowpass or highpass)";
    const auto comma = v.find(',');
    long order = 0;
    double low = 0.0;
    double high = 0.0;
    if (comma == std::string_view::npos) return cli::quoted(v) + " is not ORDER@FLOW,FHIGH";
    if (auto e = readDesign(v.substr(0, comma), order, low); !e.empty()) return e;
    if (auto e = readNumber(v.substr(comma + 1), 1.0, 100000.0, high); !e.empty())
        return "the upper cut-off: " + e;
    n.highPassOrder = n.lowPassOrder = static_cast<std::int16_t>(order);
    n.highPassCutoff = low;
    n.lowPassCutoff = high;
    return n.DesignHighPass() && n.DesignLowPass() ? std::string() : "the design was refused";
}

template <double Lo, double Hi, double TNet::*Simple, double TNetA::*Advanced>
std::string setNetValue(NetTarget& t, std::string_view v) {
    double x = 0.0;
    if (auto e = readNumber(v, Lo, Hi, x); !e.empty()) return e;
    if (t.simple)
        t.simple->*Simple = x;
    else
        t.advanced->*Advanced = x;
    return {};
}

std::string setFlag(std::string_view v, std::uint8_t& field) {
    bool on = false;
    if (auto e = readFlag(v, on); !e.empty()) return e;
    field = on ? 1 : 0;
    return {};
}

const NetSetting kNetSettings[] = {
    {"Re", setNetValue<0.01, 1000.0, &TNet::Re, &TNetA::Re>},
    {"Le", setNetValue<0.0, 1.0, &TNet::Le, &TNetA::Le>},
    {"Rex", setNetValue<0.0, 1000.0, &TNet::Rex, &TNetA::Rex>},
    {"attenuator",
     [](NetTarget& t, std::string_view v) {
         if (auto e = needSimple(t); !e.empty()) return e;
         double x = 0.0;
         if (auto e = readNumber(v, 0.0, 100.0, x); !e.empty()) return e;
         t.simple->attenuation = x;
         return t.simple->CalcAttenuator() ? std::string() : std::string("the attenuator was refused");
     }},
    {"zobel",
     [](NetTarget& t, std::string_view v) {
         if (auto e = needSimple(t); !e.empty()) return e;
         if (v == "calc") return t.simple->CalcZobel() ? std::string() : std::string("the Zobel was refused");
         if (v != "none") return cli::quoted(v) + " is not one of calc, none";
         t.simple->Branch(TNet::kZobel).SetType(TBranch::None);
         return std::string();
     }},
    {"lowpass", setSlope<true>},
    {"highpass", setSlope<false>},
    {"bandpass", setBandPass},
    {"drivers",
     [](NetTarget& t, std::string_view v) {
         long n = 0;
         if (auto e = readInteger(v, 1, t.simple ? 2 : TNetA::kMaxDrivers, n); !e.empty()) return e;
         if (t.simple)
             t.simple->driverCount = static_cast<std::int16_t>(n);
         else
             t.advanced->SetDriverCount(static_cast<int>(n));
         return std::string();
     }},
    {"connection",
     [](NetTarget& t, std::string_view v) {
         static constexpr std::string_view kNames[] = {"series", "parallel", "pairs"};
         const int count = t.simple ? 2 : 3;
         for (int i = 0; i < count; ++i) {
             if (v != kNames[i]) continue;
             if (t.simple)
                 t.simple->driversInSeries = i == 0 ? 1 : 0;
             else
                 t.advanced->SetConnection(i);
             return std::string();
         }
         return cli::quoted(v) +
                (t.simple ? " is not one of series, parallel" : " is not one of series, parallel, pairs");
     }},
    {"invert",
     [](NetTarget& t, std::string_view v) {
         return setFlag(v, t.simple ? t.simple->invert : t.advanced->polarityInverted);
     }},
    {"disconnect",
     [](NetTarget& t, std::string_view v) {
         return setFlag(v, t.simple ? t.simple->disconnect : t.advanced->disconnected);
     }},
    {"gain",
     [](NetTarget& t, std::string_view v) {
         if (!t.active) return t.label() + " is not active (active nets only)";
         double dB = 0.0;
         if (auto e = readNumber(v, -100.0, 100.0, dB); !e.empty()) return e;
         t.advanced->activeGain = std::pow(10.0, dB / 20.0);
         return std::string();
     }},
};

// ---- drivers: netK.driverJ.FIELD -----------------------------------------------------------

using DriverApply = std::string (*)(NetTarget&, int, std::string_view);

struct DriverSetting {
    std::string_view name;
    DriverApply apply;
};

template <bool Spl> std::string setCurve(NetTarget& t, int d, std::string_view v) {
    TMeasData& curve = t.simple ? (Spl ? t.simple->Spl(d) : t.simple->Impedance(d))
                                : (Spl ? t.advanced->SplData(d) : t.advanced->ImpedanceData(d));
    // Stored as the program stores what the user picks: below the program folder relative to it,
    // so a project moves with the program.
    const std::string path = makeRelativeToProgramDir(fromWorkingFolder(std::string(v)));
    if (v.empty() || path.size() > TMeasData::kMaxNameLength)
        return strprintf("give a file name of at most %zu characters", TMeasData::kMaxNameLength);
    if (std::string why = openProblem(std::string(v)); !why.empty()) return why;
    curve.SetFileName(path);
    if (!curve.ReadCurve(nullptr)) {
        const std::string& why = curve.LastMessage();
        return "no curve could be read from " + cli::quoted(v) + (why.empty() ? "" : ": " + why);
    }
    if (t.advanced && d > 0)
        (Spl ? t.advanced->splSame : t.advanced->impedanceSame)[static_cast<std::size_t>(d)] = 0;
    return {};
}

template <int Axis> std::string setPosition(NetTarget& t, int d, std::string_view v) {
    double x = 0.0;
    if (auto e = readNumber(v, -10.0, 10.0, x); !e.empty()) return e;
    const auto i = static_cast<std::size_t>(d);
    if (t.simple)
        (Axis == 0 ? t.simple->posX : Axis == 1 ? t.simple->posY : t.simple->posZ)[i] = x;
    else
        (Axis == 0 ? t.advanced->dX : Axis == 1 ? t.advanced->dY : t.advanced->dZ)[i] = x;
    return {};
}

const DriverSetting kDriverSettings[] = {
    {"spl", setCurve<true>},
    {"zma", setCurve<false>},
    {"x", setPosition<0>},
    {"y", setPosition<1>},
    {"z", setPosition<2>},
    {"radius",
     [](NetTarget& t, int d, std::string_view v) {
         double x = 0.0;
         if (auto e = readNumber(v, 0.001, 1.0, x); !e.empty()) return e;
         (t.simple ? t.simple->pistonRadius[static_cast<std::size_t>(d)]
                   : t.advanced->pistonRadius[static_cast<std::size_t>(d)]) = x;
         return std::string();
     }},
    {"splScale",
     [](NetTarget& t, int d, std::string_view v) {
         double dB = 0.0;
         if (auto e = readNumber(v, -60.0, 60.0, dB); !e.empty()) return e;
         if (t.simple)
             t.simple->SetSplScalingDb(d, dB);
         else
             t.advanced->SetSplScalingDb(d, dB);
         return std::string();
     }},
    {"same",
     [](NetTarget& t, int d, std::string_view v) {
         if (auto e = needAdvanced(t); !e.empty()) return e;
         if (d == 0) return std::string("driver 1 is the one the others may be the same as");
         bool on = false;
         if (auto e = readFlag(v, on); !e.empty()) return e;
         t.advanced->splSame[static_cast<std::size_t>(d)] = on ? 1 : 0;
         t.advanced->impedanceSame[static_cast<std::size_t>(d)] = on ? 1 : 0;
         return std::string();
     }},
};

std::string setDriver(NetTarget& t, std::string_view rest, std::string_view v, bool& known) {
    const auto dot = rest.find('.');
    const int most = t.simple ? 2 : TNetA::kMaxDrivers;
    const std::optional<int> j = numberIn(rest.substr(6, dot - 6), most);
    if (!j || dot == std::string_view::npos) return {};
    const std::string_view field = rest.substr(dot + 1);
    for (const DriverSetting& s : kDriverSettings) {
        if (s.name != field) continue;
        known = true;
        const int count = t.simple ? t.simple->driverCount : t.advanced->driverCount;
        if (*j > count)
            return strprintf("%s has %d driver%s (set net%d.drivers first)", t.label().c_str(), count,
                             count == 1 ? "" : "s", t.number);
        return s.apply(t, *j - 1, v);
    }
    return {};
}

// ---- advanced branches and links: netK.branchB.FIELD, netK.linkB.FIELD ----------------------

std::string setComponentValue(TCompA& c, std::string_view v) {
    if (!c.used) return c.name() + " is not in use with the branch's type (" + c.branch().TypeText() + ")";
    double x = 0.0;
    if (auto e = readNumber(v, c.minimum, c.maximum, x); !e.empty()) return e;
    c.SetValue(x);
    return {};
}

std::string setBranch(NetTarget& t, std::string_view rest, std::string_view v, bool& known) {
    const bool link = rest.starts_with("link");
    const std::size_t prefix = link ? 4 : 6;
    const auto dot = rest.find('.');
    const std::optional<int> b =
        numberIn(rest.substr(prefix, dot - prefix), link ? TNetA::kLinks : TNetA::kBranches);
    if (!b || dot == std::string_view::npos) return {};
    const std::string_view field = rest.substr(dot + 1);
    static constexpr std::string_view kFields[] = {"type", "R1", "R2", "L", "C", "C1", "C2"};
    if (std::find(std::begin(kFields), std::end(kFields), field) == std::end(kFields)) return {};
    known = true;
    if (auto e = needAdvanced(t); !e.empty()) return e;
    TBranchA& br = link ? t.advanced->Link(*b - 1) : t.advanced->Branch(*b - 1);
    if (field == "type") {
        const int types = br.isActive() ? TBranchA::kActiveTypes : TBranchA::kPassiveTypes;
        long type = 0;
        if (auto e = readInteger(v, 0, types - 1, type); !e.empty()) {
            std::string offered;
            for (int i = 0; i < types; ++i)
                offered +=
                    strprintf("%s%d \"%s\"", i ? ", " : "", i,
                              br.isActive() ? TBranchA::ActiveTypeText(i) : TBranchA::PassiveTypeButton(i));
            return e + "; the types: " + offered;
        }
        br.SetType(static_cast<int>(type));
        return {};
    }
    // Passive branches carry C, active ones C1 and C2.
    TCompA* c = field == "R1"   ? &br.R1()
                : field == "R2" ? &br.R2()
                : field == "L"  ? &br.L()
                : field == "C"  ? (br.isActive() ? nullptr : &br.C())
                : field == "C1" ? (br.isActive() ? &br.C1() : nullptr)
                                : (br.isActive() ? &br.C2() : nullptr);
    if (!c)
        return strprintf("%s branches have no %.*s", br.isActive() ? "active" : "passive",
                         static_cast<int>(field.size()), field.data());
    return setComponentValue(*c, v);
}

// A component by the name the schematic shows: "L11" (simple), "L1011" (advanced).
std::string setComponentByName(NetTarget& t, std::string_view name, std::string_view v, bool& known) {
    if (t.simple) {
        int branch = 0;
        TComp* c = t.simple->FindComponent(name, &branch);
        if (!c) return {};
        known = true;
        double x = 0.0;
        if (auto e = readNumber(v, 0.0, kHuge, x); !e.empty()) return e;
        return t.simple->SetComponent(branch, c->Kind(), x) ? std::string() : "the value was refused";
    }
    std::vector<TBranchA*> branches;
    for (int b = 0; b < TNetA::kBranches; ++b)
        branches.push_back(&t.advanced->Branch(b));
    for (int b = 0; b < TNetA::kLinks; ++b)
        branches.push_back(&t.advanced->Link(b));
    for (TBranchA* br : branches) {
        for (TCompA* c : br->RecordComponents()) {
            if (c->name() != name) continue;
            known = true;
            return setComponentValue(*c, v);
        }
    }
    return {};
}

// ---- applying the settings ----------------------------------------------------------------

std::optional<NetTarget> netTarget(TXover& x, int k) {
    NetTarget t;
    t.number = k;
    if (x.IsSimple()) {
        t.simple = &static_cast<TNet&>(x.Net(k - 1));
    } else {
        t.advanced = x.AdvancedNet(k - 1);
        t.active = x.IsActive();
    }
    return t;
}

// One NAME=VALUE; the reason it is refused, or "" when applied. known tells a bad value of a
// known name from an unknown name.
std::string applyOne(TXover& x, std::string_view name, std::string_view v, bool& known) {
    known = false;
    for (const GeneralSetting& s : kGeneralSettings) {
        if (s.name != name) continue;
        known = true;
        if (auto e = s.apply(x.General(), v); !e.empty()) return e;
        x.GeneralChanged();
        return {};
    }
    if (!name.starts_with("net")) return {};
    const auto dot = name.find('.');
    if (dot == std::string_view::npos) return {};
    const std::optional<int> k = numberIn(name.substr(3, dot - 3), TXover::kMaxNets);
    const std::string_view rest = name.substr(dot + 1);
    if (!k) return {};
    if (*k > x.NetCount()) {
        known = true;
        return strprintf("the project has %d nets", x.NetCount());
    }
    NetTarget t = *netTarget(x, *k);
    std::string why;
    if (rest.starts_with("driver"))
        why = setDriver(t, rest, v, known);
    else if (rest.starts_with("branch") || rest.starts_with("link"))
        why = setBranch(t, rest, v, known);
    if (!known) {
        for (const NetSetting& s : kNetSettings) {
            if (s.name != rest) continue;
            known = true;
            why = s.apply(t, v);
            break;
        }
    }
    if (!known) why = setComponentByName(t, rest, v, known);
    if (known && why.empty()) {
        if (t.advanced) t.advanced->MarkChanged();
        t.base().Edited();
    }
    return why;
}

// The unit a setting's value is given in, for its range refusals. Components go by the letter
// of their name, as "net1.Re", "net2.L1011" or "net1.branch1.C1" do.
std::string_view settingUnit(std::string_view name) {
    const std::string_view last = name.substr(name.rfind('.') + 1);
    if (name == "general.distance") return "m";
    if (name == "general.rays") return "degrees";
    for (const std::string_view m : {"x", "y", "z", "radius"})
        if (last == m) return "m";
    for (const std::string_view dB : {"attenuator", "gain", "splScale"})
        if (last == dB) return "dB";
    if (last.starts_with('R')) return "Ohm";
    if (last.starts_with('L')) return "H";
    if (last.starts_with('C')) return "F";
    return {};
}

bool applySettings(TXover& x, const std::vector<std::string>& sets, std::ostream& err) {
    for (const std::string& s : sets) {
        const auto eq = s.find('=');
        if (eq == std::string::npos || eq == 0) {
            err << "harlox-cli: --set expects NAME=VALUE, got " << cli::quoted(s) << '\n';
            return false;
        }
        const std::string_view name = std::string_view(s).substr(0, eq);
        bool known = false;
        const std::string why = applyOne(x, name, std::string_view(s).substr(eq + 1), known);
        if (!known) {
            err << "harlox-cli: unknown setting " << cli::quoted(name)
                << " (see 'harlox-cli filter new --help' for the names)\n";
            return false;
        }
        if (!why.empty()) {
            err << "harlox-cli: --set " << name << ": " << appendRangeUnit(why, settingUnit(name)) << '\n';
            return false;
        }
    }
    return true;
}

// ---- exports and plots ----------------------------------------------------------------------

enum class JobKind { Total, Impedance, GroupDelay, Net, Gain, Phase, Overlay, Impulse, Surface, Schematic };

struct Job {
    JobKind kind = JobKind::Total;
    int arg = -1; // the ray of total:ANGLE, the net index of the others
    std::string path;
    std::string name; // as given, for the messages
};

struct KindName {
    std::string_view name;
    JobKind kind;
    bool netArg;   // :K required
    bool exported; // --export takes it
    bool plotted;  // --plot takes it
};

constexpr KindName kKinds[] = {
    {"total", JobKind::Total, false, true, true},
    {"impedance", JobKind::Impedance, false, true, true},
    {"groupdelay", JobKind::GroupDelay, false, true, true},
    {"net", JobKind::Net, true, true, false},
    {"section", JobKind::Net, true, true, false},
    {"gain", JobKind::Gain, true, true, true},
    {"phase", JobKind::Phase, false, false, true},
    {"overlay", JobKind::Overlay, false, false, true},
    {"impulse", JobKind::Impulse, false, true, true},
    {"surface", JobKind::Surface, false, false, true},
    {"schematic", JobKind::Schematic, true, false, true},
};

std::string kindNames(bool plot) {
    std::vector<std::string> names;
    for (const KindName& k : kKinds) {
        if (plot ? !k.plotted : !k.exported) continue;
        names.push_back(std::string(k.name) + (k.netArg                            ? ":K"
                                               : k.kind == JobKind::Total && !plot ? "[:ANGLE]"
                                                                                   : ""));
    }
    std::vector<std::string_view> views(names.begin(), names.end());
    return joinNames(views);
}

// "KIND[:ARG]=FILE", checked against the calculated project; false with the message on err.
bool parseJob(TXover& x, const std::string& item, bool plot, Job& job, std::ostream& err) {
    const char* option = plot ? "--plot" : "--export";
    const auto eq = item.find('=');
    if (eq == std::string::npos || eq == 0 || eq + 1 == item.size()) {
        err << "harlox-cli: " << option << " expects KIND[:ARG]=FILE, got " << cli::quoted(item) << '\n';
        return false;
    }
    job.name = item.substr(0, eq);
    job.path = item.substr(eq + 1);
    const auto colon = job.name.find(':');
    const std::string_view kind = std::string_view(job.name).substr(0, colon);
    const KindName* found = nullptr;
    for (const KindName& k : kKinds)
        if (k.name == kind && (plot ? k.plotted : k.exported)) found = &k;
    if (!found) {
        err << "harlox-cli: unknown " << (option + 2) << " kind " << cli::quoted(kind) << " ("
            << kindNames(plot) << ")\n";
        return false;
    }
    job.kind = found->kind;
    const std::optional<std::string_view> arg =
        colon == std::string::npos ? std::nullopt
                                   : std::optional(std::string_view(job.name).substr(colon + 1));
    const std::string prefix = "harlox-cli: " + std::string(option) + " " + job.name + ": ";
    if (job.kind == JobKind::Schematic && x.IsSimple()) {
        // One circuit holds every section of a simple project.
        if (arg) {
            err << prefix << "a simple filter has one schematic of all its sections: give schematic=FILE\n";
            return false;
        }
    } else if (found->netArg) {
        const std::optional<int> k = arg ? numberIn(*arg, x.NetCount()) : std::nullopt;
        if (!k) {
            err << prefix
                << strprintf("give the net as %.*s:K with K from 1 to %d", static_cast<int>(kind.size()),
                             kind.data(), x.NetCount())
                << '\n';
            return false;
        }
        job.arg = *k - 1;
    } else if (arg && job.kind == JobKind::Total && !plot) {
        long angle = 0;
        const TGeneral& g = x.General();
        const int ray =
            readInteger(*arg, -180, 180, angle).empty() ? g.surfaceIndexOf(static_cast<int>(angle)) : -1;
        if (ray < 0 || !g.rayCalculated(ray)) {
            std::vector<std::string> angles;
            for (int r = 0; r < g.surfaceCount(); ++r)
                if (g.rayCalculated(r)) angles.push_back(strprintf("%d", g.surfaceAngle(r)));
            err << prefix << cli::quoted(*arg) << " is not a calculated ray; the rays: "
                << joinNames(std::vector<std::string_view>(angles.begin(), angles.end())) << '\n';
            return false;
        }
        job.arg = ray;
    } else if (arg) {
        err << prefix << cli::quoted(kind) << " takes no argument\n";
        return false;
    }
    if (job.kind == JobKind::Impedance && x.IsActive()) {
        err << prefix << "an active filter has no input impedance\n";
        return false;
    }
    const std::string ext = lowerCase(std::filesystem::path(job.path).extension().string());
    if (plot ? ext != ".png" && ext != ".svg" : !curveFormatFromPath(job.path)) {
        err << prefix << cli::quoted(job.path)
            << (plot ? " must end in .png or .svg\n" : " must end in .frd, .zma, .gdt, .fmp or .fm\n");
        return false;
    }
    return true;
}

bool writeExport(TXover& x, CliHost& host, const Job& job) {
    host.queueFile(job.path);
    switch (job.kind) {
    case JobKind::Total: {
        const int ray = job.arg >= 0 ? job.arg : x.General().mainRay();
        x.splTotalRayChooser = [ray](const std::vector<std::string>&, int) {
            return std::optional<int>(ray);
        };
        const bool ok = x.ExportTotal(static_cast<int>(FilterExportKind::Spl));
        x.splTotalRayChooser = nullptr;
        return ok;
    }
    case JobKind::Impedance:
        return x.ExportTotal(static_cast<int>(FilterExportKind::InputImpedance));
    case JobKind::GroupDelay:
        return x.ExportTotal(static_cast<int>(FilterExportKind::GroupDelay));
    case JobKind::Net:
        return x.ExportNet(static_cast<int>(FilterExportKind::Spl), job.arg);
    case JobKind::Gain:
        return x.ExportNet(static_cast<int>(FilterExportKind::FilterGain), job.arg);
    case JobKind::Impulse:
        return x.ExportTotal(static_cast<int>(FilterExportKind::Impulse));
    case JobKind::Phase:
    case JobKind::Overlay:
    case JobKind::Surface:
    case JobKind::Schematic:
        break;
    }
    return false;
}

DiagramModel& diagramOf(TXover& x, const Job& job) {
    switch (job.kind) {
    case JobKind::Impedance:
        return x.ImpedanceWindow();
    case JobKind::GroupDelay:
        return x.GroupDelayWindow();
    case JobKind::Gain:
        // The simple variants draw every section's gain in one window.
        return x.FilterGainWindow(std::min(job.arg, x.FilterGainWindowCount() - 1));
    case JobKind::Phase:
        return x.PhaseWindow();
    case JobKind::Overlay:
        return x.OverlayWindow();
    case JobKind::Impulse:
        return x.ImpulseWindow();
    case JobKind::Total:
    case JobKind::Net:
    case JobKind::Surface:
    case JobKind::Schematic:
        break;
    }
    return x.SummedWindow();
}

int carryOut(TXover& x, CliHost& host, const FilterActions& a, std::ostream& out, std::ostream& err) {
    if (!applySettings(x, a.sets, err)) return 1;
    host.runPosted();
    if (!runOptimiseJobs(x, a.optimise, err)) return 1;
    host.runPosted();
    std::vector<Job> exports(a.exports.size());
    std::vector<Job> plots(a.plots.size());
    for (std::size_t i = 0; i < exports.size(); ++i)
        if (!parseJob(x, a.exports[i], false, exports[i], err)) return 1;
    for (std::size_t i = 0; i < plots.size(); ++i)
        if (!parseJob(x, a.plots[i], true, plots[i], err)) return 1;
    int width = 0;
    int height = 0;
    if (!plots.empty()) {
        if (!plottingAvailable()) {
            std::string why;
            (void)renderDiagramToFile(x.SummedWindow(), "", 1, 1, why);
            err << "harlox-cli: --plot: " << why << '\n';
            return 1;
        }
        if (!parseSize(a.plotSize, width, height, err)) return 1;
    }
    if (!x.Calculate() && !(exports.empty() && plots.empty() && a.music.files.empty())) {
        err << "harlox-cli: the project has no results to write: every advanced net needs the SPL file of "
               "driver 1 (passive nets also its impedance file)\n";
        return 1;
    }
    if (!a.saveFile.empty()) {
        // The program's own Save as: atomic, and its message on failure.
        host.queueFile(a.saveFile);
        if (!x.SaveAs()) {
            err << "harlox-cli: could not save the project: " << writeProblem(a.saveFile) << '\n';
            return 1;
        }
        host.runPosted();
        reportWritten(out, a.saveFile);
    }
    if (!a.dumpFile.empty() && !writeProjectText(a.dumpFile, filterProjectJson(x), out, err)) return 1;
    for (const Job& job : exports) {
        if (!writeExport(x, host, job)) {
            err << "harlox-cli: could not export " << job.name << ": " << writeProblem(job.path) << '\n';
            return 1;
        }
        reportWritten(out, job.path);
    }
    for (const Job& job : plots) {
        std::string why;
        const bool ok =
            job.kind == JobKind::Surface     ? renderFilterPictureToFile(x, FilterPicture::Surface, -1, job.path, width,
                                                                         height, why)
            : job.kind == JobKind::Overlay   ? renderFilterPictureToFile(x, FilterPicture::Overlay, -1, job.path, width,
                                                                         height, why)
            : job.kind == JobKind::Schematic ? renderFilterPictureToFile(x, FilterPicture::Schematic, job.arg,
                                                                         job.path, width, height, why)
                                             : renderDiagramToFile(diagramOf(x, job), job.path, width, height, why);
        if (!ok) {
            err << "harlox-cli: could not plot " << job.name << " to " << cli::quoted(job.path) << ": " << why
                << '\n';
            return 1;
        }
        reportWritten(out, job.path);
    }
    const int music = runMusic(x, host, a.music, progressWanted(err), err);
    if (music == 0 && a.music.files.size() == 2) reportWritten(out, a.music.files[1]);
    return music;
}

void addActionOptions(CLI::App& command, FilterActions& a) {
    command
        .add_option(
            "--set", a.sets,
            "NAME=VALUE in SI units (dB where named), applied in the order given. K is the net (1 bass "
            "...), J the driver, B the branch (1 .. 8) or link (1 .. 4). Names: " +
                joinNames(filterSettingNames()) +
                ", and any component by the name the schematic shows (netK.L11, netK.L1011)")
        ->allow_extra_args(false);
    command
        .add_option("--export", a.exports,
                    "KIND[:ARG]=FILE, the format chosen by the extension (.frd .zma .gdt .fmp .fm). Kinds: " +
                        kindNames(false) +
                        "; total is the SPL total on the main ray or the ray at ANGLE, net:K (section:K) "
                        "net K's SPL, gain:K its filter gain")
        ->allow_extra_args(false);
    command
        .add_option("--plot", a.plots,
                    "KIND[:ARG]=FILE.png or .svg: the diagram as the program draws it. Kinds: " +
                        kindNames(true) + " (a simple filter's schematic holds every section: schematic=FILE)")
        ->allow_extra_args(false);
    command.add_option("--size", a.plotSize, "WIDTHxHEIGHT of the plots in pixels")->capture_default_str();
    command.add_option("--save", a.saveFile, "write the project to this filter project file (.flt)");
    command.add_option("--dump", a.dumpFile,
                       "write every field of the project as readable JSON to this file (.json), which "
                       "'harlox-cli filter open FILE.json' reads back to the identical project");
    addOptimiseOptions(command, a.optimise);
    addMusicOptions(command, a.music);
}

} // namespace

std::vector<std::string_view> filterVariantNames() {
    std::vector<std::string_view> names;
    for (const Variant& v : kVariants)
        names.push_back(v.name);
    return names;
}

std::vector<std::string_view> filterSettingNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> n;
        for (const GeneralSetting& s : kGeneralSettings)
            n.emplace_back(s.name);
        for (const NetSetting& s : kNetSettings)
            n.push_back("netK." + std::string(s.name));
        for (const DriverSetting& s : kDriverSettings)
            n.push_back("netK.driverJ." + std::string(s.name));
        for (const char* f : {"type", "R1", "R2", "L", "C", "C1", "C2"})
            n.push_back("netK.branchB." + std::string(f));
        for (const char* f : {"type", "R1", "R2", "L", "C"})
            n.push_back("netK.linkB." + std::string(f));
        return n;
    }();
    return {names.begin(), names.end()};
}

int runFilterNew(const FilterOptions& options, std::ostream& out, std::ostream& err) {
    const auto found = std::find_if(std::begin(kVariants), std::end(kVariants),
                                    [&](const Variant& v) { return v.name == options.variant; });
    if (found == std::end(kVariants)) {
        err << "harlox-cli: unknown filter variant " << cli::quoted(options.variant) << " (" << variantNames()
            << ")\n";
        return 2; // a usage error, as CLI11 gives for a wrong box type
    }
    CliHost host(err);
    TGeneral general;
    TXover xover(general, found->number, host);
    host.runPosted();
    return carryOut(xover, host, options.actions, out, err);
}

int runFilterOpen(const FilterOptions& options, std::ostream& out, std::ostream& err) {
    const std::string& path = options.projectFile;
    if (const std::string why = openProblem(path); !why.empty()) {
        err << "harlox-cli: " << why << '\n';
        return 1;
    }
    CliHost host(err);
    ProjectFromJson text;
    const TXover::VariantInfo* info = nullptr;
    if (isProjectText(path)) {
        if (!readProjectText(path, host, text, err)) return 1;
        if (!text.filter) {
            err << "harlox-cli: " << cli::quoted(path) << " holds a box project: 'harlox-cli open' reads it\n";
            return 1;
        }
        info = TXover::FindTypeCode(text.typeCode);
    } else {
        std::ifstream file(path, std::ios::binary);
        std::array<std::uint8_t, 4> head{};
        file.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
        BinaryReader reader(std::span<const std::uint8_t>(head.data(), static_cast<std::size_t>(file.gcount())));
        std::int32_t code = 0;
        info = reader.i32(code) ? TXover::FindTypeCode(code) : nullptr;
    }
    if (!info) {
        err << "harlox-cli: " << cli::quoted(path) << " is not a filter project file\n";
        return 1;
    }
    TGeneral general;
    TXover xover(general, info->variant, host);
    // The project's own reader: its messages (an old file, a missing curve) go to stderr.
    if (!(text.ok ? xover.ReadProjectBytes(text.bytes, path) : xover.ReadProject(path))) {
        err << "harlox-cli: could not read the filter project " << cli::quoted(path)
            << ": the project file is corrupt\n";
        return 1;
    }
    host.runPosted();
    return carryOut(xover, host, options.actions, out, err);
}

void addFilterCommand(CLI::App& app, int& exitCode) {
    auto* filter =
        app.add_subcommand("filter", "Design a crossover: a new filter project or a saved one (.flt)");
    filter->require_subcommand(1);

    auto newOptions = std::make_shared<FilterOptions>();
    auto* make = filter->add_subcommand("new", "Make a filter project of one of the ten variants");
    // Checked by runFilterNew, so that a wrong name gives its message with the choices.
    make->add_option("VARIANT", newOptions->variant, "the variant: " + variantNames())->required();
    addActionOptions(*make, newOptions->actions);
    make->callback([newOptions, &exitCode] { exitCode = runFilterNew(*newOptions, std::cout, std::cerr); });

    auto openOptions = std::make_shared<FilterOptions>();
    auto* open =
        filter->add_subcommand("open", "Read a filter project (.flt or its text, .json), change it and write its curves");
    open->add_option("FILE", openOptions->projectFile, "filter project file (any variant) or its text form (.json)")
        ->required();
    addActionOptions(*open, openOptions->actions);
    open->callback(
        [openOptions, &exitCode] { exitCode = runFilterOpen(*openOptions, std::cout, std::cerr); });
}

} // namespace harlox::cli
