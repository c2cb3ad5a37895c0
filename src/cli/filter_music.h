#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace harlox {
class TXover;
class UiHost;
} // namespace harlox

namespace harlox::cli {

// "--music IN OUT [--scale DB] [--hrtf]": the project's "Filter music" on a file.
struct MusicOptions {
    std::vector<std::string> files; // input, output; empty when not asked for
    double scaleDb = 0.0;
    bool hrtf = false;
};

void addMusicOptions(CLI::App& command, MusicOptions& options);

// Runs the filter to the end of the input (after the project was calculated). 0 on success;
// a refused file prints the program's message (through host) and gives 1. Overflows are
// reported as the dialog's status line would show them. With `progress` a line on err
// shows how far it got.
int runMusic(TXover& project, UiHost& host, const MusicOptions& options, bool progress, std::ostream& err);

// Whether err is the terminal's stderr, where a progress line makes sense.
bool progressWanted(const std::ostream& err);

} // namespace harlox::cli
