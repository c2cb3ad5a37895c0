#include "cli/unit_command.h"

#include "driver/spk_data.h"

#include <CLI/CLI.hpp>
#include <ostream>

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
        err << "harlox-cli: could not write unit file '" << path << "'\n";
        return 1;
    }
    out << "wrote " << path << '\n';
    return 0;
}

int showUnit(const std::string& path, std::ostream& out, std::ostream& err) {
    TSpkData unit;
    if (!unit.Load(path)) {
        err << "harlox-cli: cannot read unit file '" << path << "': " << unit.lastError() << '\n';
        return 1;
    }
    out << unitReport(unit);
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
}

} // namespace harlox::cli
