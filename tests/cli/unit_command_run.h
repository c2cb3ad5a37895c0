#pragma once

#include "cli/unit_command.h"

#include <CLI/CLI.hpp>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace harlox::test {

// Runs "harlox-cli unit ARGS..." and returns what it printed, after the exit code.
inline std::string unitCommand(std::vector<std::string> args) {
    args.insert(args.begin(), {"harlox-cli", "unit"});
    std::vector<const char*> argv;
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    CLI::App app;
    int exitCode = -1;
    cli::addUnitCommands(app, exitCode);
    ::testing::internal::CaptureStdout();
    app.parse(static_cast<int>(argv.size()), argv.data());
    return std::to_string(exitCode) + ::testing::internal::GetCapturedStdout();
}

} // namespace harlox::test
