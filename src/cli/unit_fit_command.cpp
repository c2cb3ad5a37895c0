#include "cli/unit_fit_command.h"

#include "cli/cli_app.h"
#include "cli/cli_values.h"
#include "core/format.h"
#include "driver/ts_fit.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <ostream>

namespace harlox::cli {

namespace {

// Wide enough for any cone and any test box; the model refuses what makes no sense.
constexpr double kMaxMass = 10.0;   // kg
constexpr double kMaxVolume = 10.0; // m^3
constexpr double kMaxSd = 10.0;     // m^2

} // namespace

std::string fitReport(const TTsFit& fit) {
    const TSpkData& u = fit.unit();
    const TsImpedanceModel& m = fit.freeFit().model;
    std::string s;
    s += strprintf("fs:\t%.2f Hz\n", u.fs);
    s += strprintf("Qms:\t%.3f\n", u.Qms);
    s += strprintf("Qes:\t%.3f\n", u.Qes);
    s += strprintf("Qts:\t%.3f\n", u.Qts);
    s += strprintf("Re:\t%.3f ohm\n", u.Re);
    s += strprintf("Le:\t%.3f mH\n", u.Le * 1000.0);
    s += strprintf("Vas:\t%.2f l\n", u.Vas * 1000.0);
    s += strprintf("Mms:\t%.2f g\n", u.Mms * 1000.0);
    s += strprintf("Cms:\t%.3e m/N\n", u.Cms);
    s += strprintf("Bl:\t%.3f N/A\n", u.Bl);
    if (m.hasSemiInductance())
        s += strprintf("semi-inductance:\tK %.4g ohm*s^n, n %.3f, with Le %.3f mH in series\n", m.K, m.n,
                       m.Le * 1000.0);
    else
        s += "semi-inductance:\tnot used\n";
    s += strprintf("rms error:\t%.3f dB\n", fit.freeFit().rmsDb);
    return s;
}

int runUnitFit(const UnitFitOptions& o, std::ostream& out, std::ostream& err) {
    TTsFit::Input in;
    in.freePath = o.freePath;
    in.secondPath = o.secondPath;
    const auto number = [&err](const char* option, const std::string& text, double hi, const char* unit,
                               double& value) {
        if (auto e = readNumber(text, 0.0, hi, value); !e.empty()) {
            err << "harlox-cli: " << option << ' ' << quoted(text) << ": " << appendRangeUnit(e, unit) << '\n';
            return false;
        }
        if (value <= 0.0) {
            err << "harlox-cli: " << option << ' ' << quoted(text) << ": the value must be above 0\n";
            return false;
        }
        return true;
    };
    if (!o.addedMass.empty()) {
        in.method = TTsFit::Method::AddedMass;
        if (!number("--added-mass", o.addedMass, kMaxMass, "kg", in.addedMass)) return kExitUsage;
    } else {
        in.method = TTsFit::Method::TestBox;
        if (!number("--box-volume", o.boxVolume, kMaxVolume, "m^3", in.boxVolume)) return kExitUsage;
    }
    if (!number("--sd", o.sd, kMaxSd, "m^2", in.Sd)) return kExitUsage;
    for (const std::string* path : {&o.freePath, &o.secondPath}) {
        if (const std::string why = openProblem(*path); !why.empty()) {
            err << "harlox-cli: " << why << '\n';
            return kExitFailed;
        }
    }

    TTsFit fit;
    if (!fit.run(in)) {
        err << "harlox-cli: " << fit.message() << '\n';
        return kExitFailed;
    }
    TSpkData unit = fit.unit();
    if (!unit.Save(o.outPath)) {
        err << "harlox-cli: " << writeProblem(o.outPath) << '\n';
        return kExitFailed;
    }
    out << fitReport(fit);
    reportWritten(out, o.outPath);
    return kExitOk;
}

void addUnitFitCommand(CLI::App& unit, int& exitCode) {
    auto* fit = unit.add_subcommand(
        "fit",
        "Fit the Thiele-Small parameters to the free-air impedance FREE and a second curve, write OUT");
    auto o = std::make_shared<UnitFitOptions>();
    fit->add_option("FREE", o->freePath, "impedance curve in free air (.zma)")->required();
    fit->add_option("OUT", o->outPath, "unit file to write (.unt)")->required();
    auto* mass = fit->add_option("--added-mass", o->addedMass, "mass added to the cone for SECOND, kg");
    auto* volume =
        fit->add_option("--box-volume", o->boxVolume, "volume of the closed test box for SECOND, m^3");
    mass->excludes(volume);
    fit->add_option("--second", o->secondPath, "impedance curve with the added mass or in the test box")
        ->required();
    fit->add_option("--sd", o->sd, "effective cone area, m^2")->required();
    fit->callback([o, &exitCode] {
        if (o->addedMass.empty() && o->boxVolume.empty())
            throw CLI::RequiredError("one of --added-mass and --box-volume");
        exitCode = runUnitFit(*o, std::cout, std::cerr);
    });
}

} // namespace harlox::cli
