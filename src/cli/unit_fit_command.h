#pragma once

#include <iosfwd>
#include <string>

namespace CLI {
class App;
}

namespace harlox {
class TTsFit;
}

namespace harlox::cli {

struct UnitFitOptions {
    std::string freePath;
    std::string secondPath;
    std::string outPath;
    std::string addedMass; // kg, as typed
    std::string boxVolume; // m^3, as typed
    std::string sd;        // m^2, as typed
};

// The fitted values, one per line with their units, the semi-inductance on its own line.
std::string fitReport(const TTsFit& fit);

// Runs the fit and writes the unit; the exit status.
int runUnitFit(const UnitFitOptions& options, std::ostream& out, std::ostream& err);

// "unit fit ...": registered on the "unit" command.
void addUnitFitCommand(CLI::App& unit, int& exitCode);

} // namespace harlox::cli
