#include "cli/unit_import_command.h"

#include "cli/cli_values.h"
#include "driver/driver_library.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>
#include <memory>
#include <ostream>
#include <utility>

namespace harlox::cli {

int importUnits(const std::string& file, const std::string& dir, std::ostream& out, std::ostream& err) {
    namespace fs = std::filesystem;
    TDriverLibrary lib;
    if (!lib.load(file)) {
        err << "harlox-cli: " << lib.lastError() << '\n';
        return 1;
    }
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        fs::create_directories(dir, ec);
        if (ec) {
            err << "harlox-cli: cannot write '" << dir << "': " << ec.message() << '\n';
            return 1;
        }
    }
    for (const TDriverEntry& e : lib.entries()) {
        const std::string path = TDriverLibrary::uniqueUnitPath(dir, e.unit);
        std::string error;
        if (!TDriverLibrary::writeUnitCopy(e.unit, path, error)) {
            err << "harlox-cli: " << writeProblem(path) << '\n';
            return 1;
        }
        reportWritten(out, path);
    }
    for (const TRefusedRow& r : lib.refused())
        out << "refused " << r.text() << '\n';
    if (!lib.ignoredColumns().empty()) {
        std::vector<std::string_view> names(lib.ignoredColumns().begin(), lib.ignoredColumns().end());
        out << "ignored columns: " << joinNames(names) << '\n';
    }
    out << "imported " << lib.entries().size() << " of " << lib.entries().size() + lib.refused().size()
        << " drivers\n";
    return 0;
}

void addUnitImportCommand(CLI::App& unit, int& exitCode) {
    auto* import = unit.add_subcommand(
        "import", "Write one unit file per driver of a CSV or JSON table (or a folder of them) into DIR");
    auto paths = std::make_shared<std::pair<std::string, std::string>>();
    import->add_option("FILE", paths->first, "driver table (.csv, .json) or a folder of them")->required();
    import->add_option("DIR", paths->second, "folder for the unit files (made when missing)")->required();
    import->callback(
        [paths, &exitCode] { exitCode = importUnits(paths->first, paths->second, std::cout, std::cerr);
});
} // namespace harlox::cli

} // namespace harlox::cli
