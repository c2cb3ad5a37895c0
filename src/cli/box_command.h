#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace CLI {
class App;
}

namespace harlox::cli {

inline constexpr long kDefaultFitIterations = 2000;
inline constexpr long kMaxFitIterations = 10000000;

// What "box" and "open" do with their project, in this order: the settings, --quickbox, --table,
// --fit, the calculation, --save, the curve files, the plots and the data sheet.
struct ProjectActions {
    std::vector<std::string> sets;    // NAME=VALUE, applied in this order
    std::vector<std::string> exports; // KIND=FILE, the format by the extension
    std::vector<std::string> plots;   // KIND=FILE.png or KIND=FILE.svg
    std::string plotSize = "1200x800";
    bool datasheet = false;
    bool quickBox = false; // after the settings, before the calculation
    // A row of the type's alignment table: closed "QTC", bass reflex "FAMILY[,Q]", bp1
    // "RIPPLE[,SENS]", abr "" (it has one row per Qts). Unset: no table lookup.
    std::optional<std::string> table;
    std::optional<std::string> fit; // "FC[,FU]" in Hz; unset: no frequency fit
    std::optional<long> iterations; // of the fit; kDefaultFitIterations when unset
    std::string saveFile;           // a box project file
    std::string dumpFile;           // the project's text form, after --save
};

// "box TYPE [--unit FILE] [ACTIONS]"
struct BoxOptions {
    std::string type; // "closed", "bassreflex", "dt1", "dt2", "abr", "bp1" .. "bp4", "reflexbp"
    std::string unitFile;
    std::string unit2File; // the rear unit of the reflex bandpass
    ProjectActions actions;
};

// "open FILE.box|FILE.json [ACTIONS]"; a filter project (.flt or its text) takes only --save
// and --dump here.
struct OpenOptions {
    std::string projectFile;
    ProjectActions actions;
};

void addBoxCommand(CLI::App& app, int& exitCode);
void addOpenCommand(CLI::App& app, int& exitCode);

// Simulates a new box with the built-in unit or --unit (and --unit2 for the reflex bandpass's rear
// configuration) and carries out the actions. 0 on
// success; any refused setting, unreadable unit, failed export, plot or save prints a message
// to err and gives 1. --save needs --unit: a project names its unit file.
int runBox(const BoxOptions& options, std::ostream& out, std::ostream& err);

// Reads a box project of any type (its units from the stored paths) and carries out
// the actions; 0 on success, 1 with a message on err otherwise.
int runOpen(const OpenOptions& options, std::ostream& out, std::ostream& err);

// The names --set accepts, in table order.
std::vector<std::string_view> boxSettingNames();
// The kinds --export and --plot accept.
std::vector<std::string_view> boxExportKinds();

} // namespace harlox::cli
