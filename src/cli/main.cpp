#include "cli/box_command.h"
#include "cli/filter_command.h"
#include "cli/unit_command.h"
#include "core/program_dir.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    harlox::setProgramDirectoryFromExecutable(argc > 0 ? argv[0] : "");
    CLI::App app{"Harlox command-line tool: loudspeaker driver units, boxes, crossovers and curves", "harlox-cli"};
    app.require_subcommand(1);
    // Project files store the names of files below the program directory relative to it.
    const auto setProgramDir = [](const std::string& dir) {
        std::error_code ec;
        const auto absolute = std::filesystem::absolute(std::filesystem::path(dir), ec).lexically_normal();
        harlox::setProgramDirectory(ec ? dir : absolute.string());
    };
    const std::string help = "the folder that plays the program directory (default: the folder of "
                             "harlox-cli); stored unit and snapshot names are relative to it";
    app.add_option_function<std::string>("--program-dir", setProgramDir, help)
        ->check(CLI::ExistingDirectory)
        ->trigger_on_parse(); // before the command's own work, which runs once its options are parsed
    int exitCode = 0;
    harlox::cli::addUnitCommands(app, exitCode);
    harlox::cli::addBoxCommand(app, exitCode);
    harlox::cli::addOpenCommand(app, exitCode);
    harlox::cli::addFilterCommand(app, exitCode);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }
    return exitCode;
}
