#pragma once

#include "cli/filter_music.h"
#include "cli/filter_optimise.h"

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace CLI {
class App;
}

namespace harlox::cli {

// What "filter new" and "filter open" do with their project, in this order: the settings, the
// calculation, --save, the curve files and the plots. Every name, value, kind and file name is
// checked before anything is written.
struct FilterActions {
    std::vector<std::string> sets;    // NAME=VALUE, applied in this order
    std::vector<std::string> exports; // KIND[:ARG]=FILE, the format by the extension
    std::vector<std::string> plots;   // KIND[:ARG]=FILE.png or .svg
    std::string plotSize = "1200x800";
    std::string saveFile; // a filter project file
    std::string dumpFile; // the project's text form, after --save
    OptimiseActions optimise; // the wizards and the optimiser, after the settings
    MusicOptions music;       // "Filter music", last
};

// "filter new VARIANT [ACTIONS]" or "filter open FILE.flt [ACTIONS]".
struct FilterOptions {
    std::string variant;     // new: "simple2", "simple3", "passive1" .. "passive4", "active1" .. "active4"
    std::string projectFile; // open
    FilterActions actions;
};

void addFilterCommand(CLI::App& app, int& exitCode);

// 0 on success; a refused name or value, an unreadable file, a failed export, plot or save
// prints a message to err and gives 1.
int runFilterNew(const FilterOptions& options, std::ostream& out, std::ostream& err);
int runFilterOpen(const FilterOptions& options, std::ostream& out, std::ostream& err);

// The names --set accepts, with K the net, J the driver and B the branch or link number.
std::vector<std::string_view> filterSettingNames();
std::vector<std::string_view> filterVariantNames();

} // namespace harlox::cli
