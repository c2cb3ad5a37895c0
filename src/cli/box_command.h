#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace CLI {
class App;
}

namespace harlox::cli {

// "box TYPE [--unit FILE] [--set NAME=VALUE]... [--export KIND=FILE]... [--datasheet]"
struct BoxOptions {
    std::string type; // "closed" or "bassreflex"
    std::string unitFile;
    std::vector<std::string> sets;    // NAME=VALUE, applied in this order
    std::vector<std::string> exports; // KIND=FILE
    bool datasheet = false;
};

void addBoxCommand(CLI::App& app, int& exitCode);

// Simulates the box, writes the exports and prints the data sheet. 0 on success; any
// refused setting, unreadable unit or failed export prints a message to err and gives 1.
int runBox(const BoxOptions& options, std::ostream& out, std::ostream& err);

// The names --set accepts, in table order.
std::vector<std::string_view> boxSettingNames();
// The kinds --export accepts.
std::vector<std::string_view> boxExportKinds();

} // namespace harlox::cli
