#pragma once

#include <iosfwd>
#include <string>

namespace CLI {
class App;
}

namespace harlox {
class TSpkData;
}

namespace harlox::cli {

// "unit default FILE", "unit show FILE", "unit complete IN OUT".
void addUnitCommands(CLI::App& app, int& exitCode);

int writeDefaultUnit(const std::string& path, std::ostream& out, std::ostream& err);
int showUnit(const std::string& path, std::ostream& out, std::ostream& err);
// Reads IN, fills its empty parameters as the editor's "Calc. missing fields" does and
// writes OUT (which may be IN). Says which fields were filled and which the simulation
// would still miss.
int completeUnit(const std::string& inPath, const std::string& outPath, std::ostream& out, std::ostream& err);

// The data sheet and the two efficiency figures as the tool prints them.
std::string unitReport(const TSpkData& unit);

} // namespace harlox::cli
