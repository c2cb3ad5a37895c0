#include "cli/filter_music.h"

#include "core/format.h"
#include "filter/imp_response.h"
#include "filter/music_filter.h"
#include "filter/xover.h"

#include <CLI/CLI.hpp>

#include <chrono>
#include <iostream>
#include <ostream>
#include <unistd.h>

namespace harlox::cli {

void addMusicOptions(CLI::App& command, MusicOptions& options) {
    CLI::Option* music =
        command
            .add_option(
                "--music", options.files,
                "IN OUT: filter a music file through the project's response (the impulse response "
                "settings: # points, sample rate). Headerless 16-bit stereo PCM, or WAV/FLAC (mono or "
                "stereo, 16/24-bit or float in; 16-bit out, float WAV out for float in); the output "
                "starts 2 x # points frames late")
            ->expected(2)
            ->allow_extra_args(false);
    command.add_option("--scale", options.scaleDb, "level of the filtered music in dB (-40 .. 40)")
        ->check(CLI::Range(TImpResponse::kMinScaleDb, TImpResponse::kMaxScaleDb))
        ->needs(music);
    command.add_flag("--hrtf", options.hrtf, "simulate the crossfeed between the ears of a listener")
        ->needs(music);
}

bool progressWanted(const std::ostream& err) {
    return &err == &std::cerr && isatty(STDERR_FILENO) != 0;
}

int runMusic(TXover& project, UiHost& host, const MusicOptions& options, bool progress, std::ostream& err) {
    if (options.files.size() != 2) return 0;
    TImpResponse& ir = project.ImpResponse();
    ir.scaleDb = options.scaleDb;
    ir.simulateHrtf = options.hrtf;
    TMusicFilter filter(ir, project.General(), host);
    if (!filter.Start(options.files[0], options.files[1])) return 1;
    using Clock = std::chrono::steady_clock;
    auto shown = Clock::now();
    const auto line = [&] {
        const double total = filter.Duration();
        err << strprintf("\rFiltering %.1f s of %.1f s (%.0f %%)", filter.Elapsed(), total,
                         total > 0.0 ? 100.0 * filter.Elapsed() / total : 100.0)
            << std::flush;
    };
    while (true) {
        // The line is complete before the closing message ("Ready") comes.
        if (progress && filter.state() == TMusicFilter::State::Stopping) {
            line();
            err << '\n';
            progress = false;
        }
        if (!filter.Step()) break;
        if (!progress || Clock::now() - shown < std::chrono::milliseconds(200)) continue;
        shown = Clock::now();
        line();
    }
    if (!filter.Status().empty()) err << filter.Status() << '\n';
    return 0;
}

} // namespace harlox::cli
