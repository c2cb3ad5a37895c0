#include "cli/box_command.h"
#include "cli/unit_command.h"
#include "core/program_dir.h"

#include <CLI/CLI.hpp>

int main(int argc, char** argv) {
    harlox::setProgramDirectoryFromExecutable(argc > 0 ? argv[0] : "");
    CLI::App app{"Harlox command-line tool: loudspeaker driver units, boxes and curves", "harlox-cli"};
    app.require_subcommand(1);
    int exitCode = 0;
    harlox::cli::addUnitCommands(app, exitCode);
    harlox::cli::addBoxCommand(app, exitCode);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }
    return exitCode;
}
