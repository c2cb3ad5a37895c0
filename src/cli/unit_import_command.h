#pragma once

#include <iosfwd>
#include <string>

namespace CLI {
class App;
}

namespace harlox::cli {

// "unit import FILE DIR/": one unit file per driver of a CSV or JSON table (or a folder
// of them), then a line per refused row and a summary. 1 when FILE cannot be read or DIR
// cannot be written.
int importUnits(const std::string& file, const std::string& dir, std::ostream& out, std::ostream& err);

// "unit import ...": registered on the "unit" command.
void addUnitImportCommand(CLI::App& unit, int& exitCode);

} // namespace harlox::cli
