#include "cli/unit_command.h"

#include "cli/cli_values.h"
#include "cli/unit_fit_command.h"
#include "cli/unit_import_command.h"
#include "driver/spk_data.h"
#include "driver/unit_completion.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <ostream>
#include <utility>

namespace harlox::cli {

std::string unitReport(const TSpkData& unit) {
    std::string sheet = unit.dataSheetText();
    std::string out;
    out.reserve(sheet.size() + 80);
    for (std::size_t i = 0; i < sheet.size(); ++i) {
        if (sheet[i] == '\r' && i + 1 < sheet.size() && sheet[i + 1] == '\n') continue;
        out += sheet[i];
    }
    out += "\n\nEfficiency:\t" + unit.efficiencyText() + " %\n";
    out += "Sensitivity:\t" + unit.sensitivityText() + " dB/1W/1m\n";
    return out;
}

int writeDefaultUnit(const std::string& path, std::ostream& out, std::ostream& err) {
    TSpkData unit;
    unit.SetDefault();
    if (!unit.Save(path)) {
        err << "harlox-cli: " << writeProblem(path) << '\n';
        return 1;
    }
    reportWritten(out, path);
    return 0;
}

int showUnit(const std::string& path, std::ostream& out, std::ostream& err) {
    TSpkData unit;
    if (!unit.Load(path)) {
        err << "harlox-cli: " << unitFileProblem(path) << '\n';
        return 1;
    }
    out << unitReport(unit);
    return 0;
}

namespace {

// The fields that must be non-zero for a simulation, as the sufficiency test counts them.
constexpr UnitField kRequired[] = {UnitField::Sd,  UnitField::Vas, UnitField::Cms, UnitField::Cas,
                                   UnitField::Qes, UnitField::Qms, UnitField::Qts, UnitField::Re,
                                   UnitField::Mms, UnitField::Mmd, UnitField::Rms, UnitField::fs,
                                   UnitField::Bl};

} // namespace

int completeUnit(const std::string& inPath, const std::string& outPath, std::ostream& out,
                 std::ostream& err) {
    TSpkData unit;
    if (!unit.Load(inPath)) {
        err << "harlox-cli: " << unitFileProblem(inPath) << '\n';
        return 1;
    }
    const TSpkData before(unit);
    TUnitCompletion::calcMissingFields(unit);
    if (!unit.Save(outPath)) {
        err << "harlox-cli: " << writeProblem(outPath) << '\n';
        return 1;
    }
    std::string filled;
    for (const UnitField f : allUnitFields()) {
        if (unitFieldValue(before, f) == 0.0 && unitFieldValue(unit, f) != 0.0) {
            filled += std::string(filled.empty() ? "" : " ") + unitFieldInfo(f).label;
        }
    }
    reportWritten(out, outPath);
    out << "filled: " << (filled.empty() ? std::string("nothing") : filled) << '\n';
    if (!unit.isSufficient()) {
        std::string missing;
        for (const UnitField f : kRequired) {
            if (unitFieldValue(unit, f) == 0.0)
                missing += std::string(missing.empty() ? "" : " ") + unitFieldInfo(f).label;
        }
        out << "too few parameters for a simulation; still missing: " << missing << '\n';
    }
    return 0;
}

void addUnitCommands(CLI::App& app, int& exitCode) {
    auto* unit = app.add_subcommand("unit", "Driver unit files (.unt)");
    unit->require_subcommand(1);

    auto* def = unit->add_subcommand("default", "Write the built-in unit to FILE");
    auto defPath = std::make_shared<std::string>();
    def->add_option("FILE", *defPath, "unit file to write")->required();
    def->callback([defPath, &exitCode] { exitCode = writeDefaultUnit(*defPath, std::cout, std::cerr); });

    auto* show = unit->add_subcommand("show", "Print the data sheet and efficiency of FILE");
    auto showPath = std::make_shared<std::string>();
    show->add_option("FILE", *showPath, "unit file to read")->required();
    show->callback([showPath, &exitCode] { exitCode = showUnit(*showPath, std::cout, std::cerr); });

    auto* complete = unit->add_subcommand("complete", "Fill the missing parameters of IN and write OUT");
    auto paths = std::make_shared<std::pair<std::string, std::string>>();
    complete->add_option("IN", paths->first, "unit file to read")->required();
    complete->add_option("OUT", paths->second, "unit file to write (may be IN)")->required();
    complete->callback(
        [paths, &exitCode] { exitCode = completeUnit(paths->first, paths->second, std::cout, std::cerr); });

    addUnitImportCommand(*unit, exitCode);
    addUnitFitCommand(*unit, exitCode);
}

} // namespace harlox::cli
