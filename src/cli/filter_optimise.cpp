#include "cli/filter_optimise.h"

#include "cli/cli_values.h"
#include "core/format.h"
#include "filter/general.h"
#include "filter/net_a.h"
#include "filter/net_optimiser.h"
#include "filter/net_wizards.h"
#include "filter/xover.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <optional>
#include <ostream>

namespace harlox::cli {

namespace {

std::vector<std::string_view> splitAt(std::string_view text, char sep) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(sep, start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) return parts;
        start = end + 1;
    }
}

// Net K of an advanced project, or the reason there is none.
std::string advancedNet(TXover& x, std::string_view v, TNetA*& net) {
    if (x.IsSimple()) return "the project has simple networks (advanced and active projects only)";
    long k = 0;
    if (auto e = readInteger(v, 1, x.NetCount(), k); !e.empty()) return "the net: " + e;
    net = x.AdvancedNet(static_cast<int>(k) - 1);
    return {};
}

template <typename T> std::string readField(std::string_view v, long lo, long hi, T& out) {
    long n = 0;
    if (auto e = readInteger(v, lo, hi, n); !e.empty()) return e;
    out = static_cast<T>(n);
    return {};
}

// The wizard's fields, written to the net's wizard settings; "" when all are accepted.
std::string setWizard(TXover& x, std::string_view arg, TNetA*& net, bool& passive) {
    const auto colon = arg.find(':');
    const std::string_view kind = arg.substr(0, colon);
    if (colon == std::string_view::npos || (kind != "passive" && kind != "active"))
        return cli::quoted(arg) + " is not passive:NET,... or active:NET,...";
    passive = kind == "passive";
    const std::vector<std::string_view> f = splitAt(arg.substr(colon + 1), ',');
    if (auto e = advancedNet(x, f[0], net); !e.empty()) return e;
    if (passive == net->isActive())
        return strprintf("net %s is %s (the %s wizard is for %s nets)", std::string(f[0]).c_str(),
                         net->isActive() ? "active" : "passive", passive ? "passive" : "active",
                         passive ? "passive" : "active");
    std::string e;
    if (passive) {
        if (f.size() != 3 && f.size() != 5 && f.size() != 6 && f.size() != 7)
            return "passive:NET,LPORDER,LPFC[,HPORDER,HPFC[,BRANCH[,LOAD]]] expected, got " + cli::quoted(arg);
        std::int16_t lpOrder = 0, lpFc = 0, hpOrder = net->wizardHpOrder, hpFc = net->wizardHpFc;
        std::int16_t insertion = net->wizardInsertion;
        double load = net->wizardLoad;
        if (e = readField(f[1], 0, 4, lpOrder); !e.empty()) return "the low-pass order: " + e;
        if (e = readField(f[2], 1, 20000, lpFc); !e.empty()) return "the low-pass cut-off: " + e;
        if (f.size() > 3) {
            if (e = readField(f[3], 0, 4, hpOrder); !e.empty()) return "the high-pass order: " + e;
            if (e = readField(f[4], 1, 20000, hpFc); !e.empty()) return "the high-pass cut-off: " + e;
        }
        if (f.size() > 5) {
            long b = 0;
            if (e = readInteger(f[5], 1, 7, b); !e.empty() || b % 2 == 0)
                return "the insertion branch: " + cli::quoted(f[5]) + " is not one of 1, 3, 5, 7";
            insertion = static_cast<std::int16_t>(b / 2);
        }
        if (f.size() > 6 && !(e = readNumber(f[6], 0.1, 1000.0, load)).empty()) return "the nominal load: " + e;
        net->wizardLpOrder = lpOrder;
        net->wizardLpFc = lpFc;
        net->wizardHpOrder = hpOrder;
        net->wizardHpFc = hpFc;
        net->wizardInsertion = insertion;
        net->wizardLoad = load;
        return {};
    }
    if (f.size() != 4 && f.size() != 5) return "active:NET,LP|HP,ORDER,FC[,BRANCH] expected, got " + cli::quoted(arg);
    if (f[1] != "LP" && f[1] != "HP" && f[1] != "lp" && f[1] != "hp")
        return cli::quoted(f[1]) + " is not one of LP, HP";
    std::int32_t order = 0;
    std::int16_t fc = 0, insertion = net->wizardInsertion;
    if (e = readField(f[2], 0, 4, order); !e.empty()) return "the order: " + e;
    if (e = readField(f[3], 1, 20000, fc); !e.empty()) return "the cut-off: " + e;
    if (f.size() > 4) {
        long b = 0;
        if (e = readInteger(f[4], 1, 7, b); !e.empty()) return "the insertion branch: " + e;
        insertion = static_cast<std::int16_t>(b - 1);
    }
    net->activeWizardLp = f[1] == "LP" || f[1] == "lp" ? 1 : 0;
    net->activeWizardOrder = order;
    net->activeWizardFc = fc;
    net->wizardInsertion = insertion;
    return {};
}

// "ORDER@FC[,linkwitz|butterworth]"
std::string readTarget(std::string_view v, std::int16_t& order, std::int16_t& fc, std::int16_t& type) {
    const std::vector<std::string_view> p = splitAt(v, ',');
    const auto at = p[0].find('@');
    if (p.size() > 2 || at == std::string_view::npos) return cli::quoted(v) + " is not ORDER@FC[,TYPE]";
    std::int16_t o = 0, f = 0, t = type;
    if (auto e = readField(p[0].substr(0, at), 0, 4, o); !e.empty()) return "the order: " + e;
    if (auto e = readField(p[0].substr(at + 1), 1, 30000, f); !e.empty()) return "the cut-off: " + e;
    if (p.size() == 2) {
        const std::string name = lowerCase(std::string(p[1]));
        if (name != "butterworth" && name != "linkwitz") return cli::quoted(p[1]) + " is not one of butterworth, linkwitz";
        t = name == "linkwitz" ? OptimiserTarget::Linkwitz : OptimiserTarget::Butterworth;
    }
    order = o;
    fc = f;
    type = t;
    return {};
}

std::string setTarget(TNetA& net, std::string_view s) {
    const auto eq = s.find('=');
    if (eq == std::string_view::npos) return cli::quoted(s) + " is not NAME=VALUE";
    const std::string_view name = s.substr(0, eq), v = s.substr(eq + 1);
    if (name == "lowpass") return readTarget(v, net.targetLpOrder, net.targetLpFc, net.targetLpType);
    if (name == "highpass") return readTarget(v, net.targetHpOrder, net.targetHpFc, net.targetHpType);
    if (name == "range") {
        const auto dash = v.find('-');
        std::int16_t lo = 0, hi = 0;
        if (dash == std::string_view::npos) return cli::quoted(v) + " is not LOWER-UPPER";
        if (auto e = readField(v.substr(0, dash), 1, 30000, lo); !e.empty()) return "the lower end: " + e;
        if (auto e = readField(v.substr(dash + 1), 1, 30000, hi); !e.empty()) return "the upper end: " + e;
        net.rangeLower = lo;
        net.rangeUpper = hi;
        return {};
    }
    if (name == "angle") {
        long deg = 0;
        if (auto e = readInteger(v, -180, 180, deg); !e.empty()) return e;
        const int ray = net.General().surfaceIndexOf(static_cast<int>(deg));
        if (ray < 0) return strprintf("%ld degrees is not one of the project's angles (general.rays)", deg);
        net.optimiserRay = static_cast<std::int16_t>(ray);
        return {};
    }
    if (name == "step") return readField(v, 0, 99, net.stepSize);
    return "unknown target setting " + cli::quoted(name) + " (lowpass, highpass, range, angle, step)";
}

std::string addToList(TNetA& net, std::string_view names) {
    const std::vector<TCompA*> used = OptimisableComponents(net);
    for (std::string_view name : splitAt(names, ',')) {
        if (name == "all") {
            for (TCompA* c : used)
                c->optimise = 1;
            continue;
        }
        const auto found = std::find_if(used.begin(), used.end(), [&](TCompA* c) { return c->name() == name; });
        if (found == used.end()) return cli::quoted(name) + " is no used component of the net";
        (*found)->optimise = 1;
    }
    return {};
}

std::string errorText(const TNetOptimiser& o) {
    return o.Error() ? strprintf("%.3f dB", *o.Error()) : std::string("none (no point in the range)");
}

} // namespace

void addOptimiseOptions(CLI::App& command, OptimiseActions& a) {
    command
        .add_option("--wizard", a.wizards,
                    "fill a net's branches with a Butterworth filter: passive:NET,LPORDER,LPFC[,HPORDER,HPFC[,BRANCH"
                    "[,LOAD]]] (BRANCH 1, 3, 5 or 7, LOAD in ohm) or active:NET,LP|HP,ORDER,FC[,BRANCH] (BRANCH "
                    "1 .. 7); orders 0 .. 4, cut-offs in Hz; omitted fields keep the net's settings")
        ->allow_extra_args(false);
    command.add_option("--optimise", a.net, "run the optimiser on advanced net NET (after the wizards)")
        ->type_name("NET")
        ->check(CLI::Range(1, TXover::kMaxNets));
    command.add_option("--passes", a.passes, "optimiser passes, 0 .. 100000")
        ->type_name("N")
        ->capture_default_str()
        ->check(CLI::Range(0, 100000));
    command
        .add_option("--optimise-list", a.list,
                    "NAME[,NAME...] components to add to the optimisation list (as the schematic names them, "
                    "e.g. C2011), or all; without it the list stored in the project is used")
        ->allow_extra_args(false);
    command
        .add_option("--target", a.target,
                    "NAME=VALUE of the optimiser's target: lowpass=ORDER@FC[,linkwitz|butterworth], highpass=..., "
                    "range=LOWER-UPPER (Hz), angle=DEG (one of general.rays), step=0..99 (tenths of a percent)")
        ->allow_extra_args(false);
    command.add_option("--seed", a.seed, "seed of the optimiser's random steps")->capture_default_str();
}

bool runOptimiseJobs(TXover& x, const OptimiseActions& a, std::ostream& err) {
    for (const std::string& w : a.wizards) {
        TNetA* net = nullptr;
        bool passive = false;
        std::string why = setWizard(x, w, net, passive);
        if (why.empty()) {
            const WizardResult r = passive ? PassiveWizardCalc(*net) : ActiveWizardCalc(*net);
            if (!r.ok) why = r.why;
        }
        if (!why.empty()) {
            std::replace(why.begin(), why.end(), '\n', ' ');
            err << "harlox-cli: --wizard " << w << ": " << why << '\n';
            return false;
        }
    }
    if (a.net == 0) {
        if (!a.list.empty() || !a.target.empty()) {
            err << "harlox-cli: --optimise-list and --target need --optimise NET\n";
            return false;
        }
        return true;
    }
    TNetA* net = nullptr;
    if (auto why = advancedNet(x, std::to_string(a.net), net); !why.empty()) {
        err << "harlox-cli: --optimise: " << why << '\n';
        return false;
    }
    for (const std::string& t : a.target) {
        if (auto why = setTarget(*net, t); !why.empty()) {
            err << "harlox-cli: --target " << t << ": " << why << '\n';
            return false;
        }
    }
    for (const std::string& l : a.list) {
        if (auto why = addToList(*net, l); !why.empty()) {
            err << "harlox-cli: --optimise-list: " << why << '\n';
            return false;
        }
    }
    TNetOptimiser opt(*net, &x, a.seed);
    opt.Refresh();
    if (!net->HasResults()) {
        err << "harlox-cli: --optimise: net " << a.net
            << " has no results: it needs the SPL file of driver 1 (passive nets also its impedance file)\n";
        return false;
    }
    const std::vector<TCompA*> list = OptimisationList(*net);
    err << "net " << a.net << ": optimising " << list.size() << " component" << (list.size() == 1 ? "" : "s");
    for (std::size_t i = 0; i < list.size(); ++i)
        err << (i ? ", " : " (") << list[i]->name() << (i + 1 == list.size() ? ")" : "");
    err << "\nerror before: " << errorText(opt) << '\n';
    opt.Start();
    for (int i = 0; i < a.passes; ++i)
        opt.Pass();
    opt.Stop();
    err << "error after " << a.passes << " pass" << (a.passes == 1 ? "" : "es") << ": " << errorText(opt) << '\n';
    return true;
}

} // namespace harlox::cli
