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

// "unit default FILE", "unit show FILE".
void addUnitCommands(CLI::App& app, int& exitCode);

int writeDefaultUnit(const std::string& path, std::ostream& out, std::ostream& err);
int showUnit(const std::string& path, std::ostream& out, std::ostream& err);

// The data sheet and the two efficiency figures as the tool prints them.
std::string unitReport(const TSpkData& unit);

} // namespace harlox::cli
