#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// One entry per file reader of the program: each feeds the bytes to the reader the program
// uses, as a file where the reader takes a path. Every entry returns 0; a fault in a reader
// shows as a crash, a hang or a sanitizer report. The fuzz targets and the regression test
// of the inputs that once crashed share these.
namespace harlox::fuzz {

int fuzzUnitFile(const std::uint8_t* data, std::size_t size);
// The project type comes from the file's first field, as when the program opens a file.
int fuzzBoxProject(const std::uint8_t* data, std::size_t size);
int fuzzFilterProject(const std::uint8_t* data, std::size_t size);
int fuzzSnapshot(const std::uint8_t* data, std::size_t size);
int fuzzAppConfig(const std::uint8_t* data, std::size_t size);
int fuzzMeasureSetup(const std::uint8_t* data, std::size_t size);
int fuzzStepResponse(const std::uint8_t* data, std::size_t size);
// Read under one of the extensions the file selectors offer, as SPL or impedance.
int fuzzMeasuredCurve(const std::uint8_t* data, std::size_t size);
int fuzzRawPcm(const std::uint8_t* data, std::size_t size);
int fuzzWavFile(const std::uint8_t* data, std::size_t size);
int fuzzFlacFile(const std::uint8_t* data, std::size_t size);
// A driver table: the first byte 'j' reads the rest as JSON, anything else as CSV.
int fuzzDriverLibrary(const std::uint8_t* data, std::size_t size);
// A project's text form; a text that is accepted is read as the project it makes.
int fuzzProjectText(const std::uint8_t* data, std::size_t size);

using Entry = int (*)(const std::uint8_t*, std::size_t);
struct NamedEntry {
    std::string_view name; // also the folder of its regression inputs
    Entry entry;
};
inline constexpr NamedEntry kEntries[] = {
    {"unit_file", fuzzUnitFile},
    {"box_project", fuzzBoxProject},
    {"filter_project", fuzzFilterProject},
    {"snapshot", fuzzSnapshot},
    {"app_config", fuzzAppConfig},
    {"measure_setup", fuzzMeasureSetup},
    {"step_response", fuzzStepResponse},
    {"measured_curve", fuzzMeasuredCurve},
    {"raw_pcm", fuzzRawPcm},
    {"wav_file", fuzzWavFile},
    {"flac_file", fuzzFlacFile},
    {"driver_library", fuzzDriverLibrary},
    {"project_text", fuzzProjectText},
};

} // namespace harlox::fuzz
