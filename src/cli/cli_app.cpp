#include "cli/cli_app.h"

#include "cli/box_command.h"
#include "cli/cli_values.h"
#include "cli/filter_command.h"
#include "cli/unit_command.h"
#include "core/program_dir.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>

namespace harlox::cli {

namespace {

// CLI11 says only "A subcommand is required" for a mistyped command name: find the first word
// that is no command of the level it stands on and name it with the choices.
bool reportUnknownCommand(const CLI::App& app, int argc, const char* const* argv) {
    const CLI::App* level = &app;
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        // Past the first option the words may be option values.
        if (word.starts_with("-")) return false;
        const auto subcommands = level->get_subcommands([](const CLI::App* sub) { return !sub->get_name().empty(); });
        if (subcommands.empty()) return false;
        const CLI::App* next = nullptr;
        std::string names;
        for (const CLI::App* sub : subcommands) {
            if (sub->get_name() == word) next = sub;
            names += (names.empty() ? "" : ", ") + sub->get_name();
        }
        if (!next) {
            std::cerr << "harlox-cli: unknown command " << cli::quoted(word) << " (" << names << ")\n"
                      << "Run with --help for more information.\n";
            return true;
        }
        level = next;
    }
    return false;
}

} // namespace

int runCommandLine(int argc, const char* const* argv) {
    setProgramDirectoryFromExecutable(argc > 0 ? argv[0] : "");
    setQuiet(false);
    CLI::App app{"Harlox command-line tool: loudspeaker driver units, boxes, crossovers and curves", "harlox-cli"};
    app.require_subcommand(1);
    app.footer("Exit status: 0 on success, 1 when a file or the model refused, 2 for a wrong command line.");
    // Project files store the names of files below the program directory relative to it.
    const auto setProgramDir = [](const std::string& dir) {
        std::error_code ec;
        const auto absolute = std::filesystem::absolute(std::filesystem::path(dir), ec).lexically_normal();
        setProgramDirectory(ec ? dir : absolute.string());
    };
    const std::string help = "the folder that plays the program directory (default: the folder of "
                             "harlox-cli); stored unit and snapshot names are relative to it";
    app.add_option_function<std::string>("--program-dir", setProgramDir, help)
        ->check(CLI::ExistingDirectory)
        ->trigger_on_parse(); // before the command's own work, which runs once its options are parsed
    app.add_flag_callback("--quiet", [] { setQuiet(true); }, "print no \"wrote FILE\" line for the files written")
        ->trigger_on_parse();
    int exitCode = kExitOk;
    addUnitCommands(app, exitCode);
    addBoxCommand(app, exitCode);
    addOpenCommand(app, exitCode);
    addFilterCommand(app, exitCode);
    if (reportUnknownCommand(app, argc, argv)) return kExitUsage;
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        // CLI11's own codes (106 and the like) mean nothing to a script.
        (void)app.exit(e);
        return kExitUsage;
    }
    return exitCode;
}

} // namespace harlox::cli
