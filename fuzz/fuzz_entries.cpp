#include "fuzz_entries.h"

#include "app/app_config.h"
#include "app/box_factory.h"
#include "app/project_json.h"
#include "app/project_types.h"
#include "box/box_embryo.h"
#include "box/port_object.h"
#include "box/snapshot.h"
#include "core/binary_io.h"
#include "core/measure_setup.h"
#include "core/program_dir.h"
#include "core/ui_host.h"
#include "driver/driver_library.h"
#include "driver/spk_data.h"
#include "filter/general.h"
#include "filter/meas_data.h"
#include "filter/pcm_io.h"
#include "filter/xover.h"
#include "transient/step_response.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace harlox::fuzz {

namespace {

// Answers every question with its first button and lets posted work drop: a read is
// judged by what it does on its own, not by the recalculations it asks for.
class SilentUiHost final : public UiHost {
public:
    MessageResult messageBox(std::string_view, std::string_view, MessageIcon, MessageButtons buttons) override {
        return buttons == MessageButtons::YesNo || buttons == MessageButtons::YesNoCancel ? MessageResult::Yes
                                                                                           : MessageResult::Ok;
    }
    std::optional<std::string> selectFile(FileSelector&, FileMode) override { return std::nullopt; }
    void beep() override {}
    void setWaitCursor(bool) override {}
    void setCommandState(int id, CommandState s) override { commands_.set(id, s); }
    [[nodiscard]] CommandState commandState(int id) const override { return commands_.state(id); }
    void post(std::function<void()>) override {}
    void repaint() override {}

private:
    CommandStateModel commands_;
};

// One folder per process for the input files; it also plays the program directory, so a
// relative name stored in an input can only reach the inputs themselves.
class Scratch {
public:
    Scratch() {
        // Memory-backed when there is such a folder: every input is written and read back.
        std::error_code ec;
        const bool shm = std::getenv("TMPDIR") == nullptr && std::filesystem::is_directory("/dev/shm", ec) &&
                         ::access("/dev/shm", W_OK) == 0;
        const std::filesystem::path base = shm ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        dir_ = (base / ("harlox-fuzz-" + std::to_string(::getpid()))).string();
        std::filesystem::create_directories(dir_);
        setProgramDirectory(dir_);
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    // Writes the input as "input<extension>" and returns its path.
    std::string write(const std::uint8_t* data, std::size_t size, std::string_view extension) {
        std::string path = dir_ + "/input" + std::string(extension);
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (f == nullptr) std::abort(); // no input file means no test at all
        if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
        if (std::fclose(f) != 0) std::abort();
        return path;
    }

private:
    std::string dir_;
};

Scratch& scratch() {
    static Scratch s;
    return s;
}

SilentUiHost& host() {
    static SilentUiHost h;
    return h;
}

// The shared settings a read may change, back to their start so that every input is read
// in the same state and a regression input replays as it was found. The folder and the host
// are made first, so that they outlive the projects kept between inputs.
void resetSharedState() {
    (void)scratch();
    (void)host();
    MeasureSetup& s = sharedSetup();
    s.setValuesToDefaults();
    s.fileVersion = kProjectFileVersion;
    s.rebuildGrid();
    TPortObject::setNonLinear(false);
}

std::span<const std::uint8_t> bytes(const std::uint8_t* data, std::size_t size) {
    return {data, size};
}

// The filter grid the measured curves of a filter project are read onto.
class GridOwner final : public TMeasDataOwner {
public:
    [[nodiscard]] MeasuredGrid MeasGrid() const override {
        return MeasuredGrid{general_.frequency().data(), general_.lnFrequency().data(),
                            general_.frequency().length()};
    }
    void MeasDataChanged(TMeasData&) override {}

private:
    TGeneral general_;
};

int readPcm(const std::uint8_t* data, std::size_t size, std::string_view extension) {
    const std::string path = scratch().write(data, size, extension);
    std::string why;
    std::unique_ptr<PcmReader> reader = PcmReader::Open(path, 44100, why);
    if (!reader) return 0;
    // A header may promise any length: read what the file holds, up to a bound.
    std::array<double, 2 * 1024> buffer{};
    for (int block = 0; block < 256; ++block) {
        if (reader->ReadStereo(buffer.data(), 1024) < 1024) break;
    }
    return 0;
}

} // namespace

int fuzzUnitFile(const std::uint8_t* data, std::size_t size) {
    TSpkData unit;
    if (unit.fromBytes(data, size)) (void)unit.dataSheetText();
    return 0;
}

int fuzzBoxProject(const std::uint8_t* data, std::size_t size) {
    resetSharedState();
    BinaryReader head(bytes(data, size));
    std::int32_t code = 0;
    if (!head.i32(code) || !isBoxProjectCode(code)) return 0;
    // One project per type for the process, as the program keeps its open project across a
    // refused read: building one per input would cost more than reading it.
    static std::array<std::unique_ptr<TBoxEmbryo>, 10> projects;
    std::unique_ptr<TBoxEmbryo>& project = projects.at(static_cast<std::size_t>(code));
    if (!project) project = makeBoxProject(code, host());
    if (!project) return 0;
    project->Reset();
    const std::string path = scratch().write(data, size, ".box");
    (void)project->ReadProject(path);
    return 0;
}

int fuzzFilterProject(const std::uint8_t* data, std::size_t size) {
    resetSharedState();
    BinaryReader head(bytes(data, size));
    std::int32_t code = 0;
    if (!head.i32(code) || !isFilterProjectCode(code)) return 0;
    static TGeneral general;
    static std::array<std::unique_ptr<TXover>, 12> projects;
    const int variant = findProjectType(code)->filterVariant;
    std::unique_ptr<TXover>& project = projects.at(static_cast<std::size_t>(variant));
    general.Reset();
    // A refused read leaves a new project behind, as a fresh one would be.
    if (!project) project = std::make_unique<TXover>(general, variant, host());
    const std::string path = scratch().write(data, size, ".flt");
    (void)project->ReadProject(path);
    return 0;
}

int fuzzSnapshot(const std::uint8_t* data, std::size_t size) {
    resetSharedState();
    FileSelector selector;
    TSnapshot snapshot(host(), selector);
    BinaryReader r(bytes(data, size));
    if (snapshot.readFile(r)) {
        (void)snapshot.xRange();
        (void)snapshot.yRange();
        (void)snapshot.legend();
    }
    return 0;
}

int fuzzAppConfig(const std::uint8_t* data, std::size_t size) {
    (void)parseAppConfig(bytes(data, size));
    return 0;
}

int fuzzMeasureSetup(const std::uint8_t* data, std::size_t size) {
    resetSharedState();
    MeasureSetup setup;
    // The preferences file is read up to this much.
    BinaryReader r(bytes(data, std::min<std::size_t>(size, 4096)));
    if (setup.readRecord(r)) (void)setup.dataSheetLines();
    return 0;
}

int fuzzStepResponse(const std::uint8_t* data, std::size_t size) {
    static TStepResponse response;
    response.Reset();
    BinaryReader r(bytes(data, std::min<std::size_t>(size, 4096)));
    if (response.readRecord(r)) (void)response.recordCaption();
    return 0;
}

int fuzzMeasuredCurve(const std::uint8_t* data, std::size_t size) {
    static GridOwner owner;
    // The reader takes every extension alike; the input's length picks one of those the file
    // selectors offer and the kind of curve, so the corpus covers them all without reading
    // every input twelve times.
    static constexpr std::array<std::string_view, 6> kExtensions{".frd", ".zma", ".gdt", ".txt", ".fmp", ".fm"};
    const std::string path = scratch().write(data, size, kExtensions[size % kExtensions.size()]);
    TMeasData curve(owner, (size / kExtensions.size()) % 2 == 0 ? MeasuredKind::Spl : MeasuredKind::Impedance);
    curve.SetFileName(path);
    (void)curve.ReadCurve(&host());
    return 0;
}

int fuzzRawPcm(const std::uint8_t* data, std::size_t size) {
    return readPcm(data, size, ".pcm");
}

int fuzzWavFile(const std::uint8_t* data, std::size_t size) {
    return readPcm(data, size, ".wav");
}

int fuzzFlacFile(const std::uint8_t* data, std::size_t size) {
    return readPcm(data, size, ".flac");
}

int fuzzDriverLibrary(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    TDriverLibrary library;
    if (data[0] == 'j')
        (void)library.loadJson(text, "input.json");
    else
        (void)library.loadCsv(text, "input.csv");
    // What the window does with a table: list, filter and name the copies.
    TDriverFilter filter;
    filter.text = "a";
    filter.range(LibraryField::fs) = {20.0, 100.0};
    (void)library.search(filter);
    for (const TDriverEntry& e : library.entries())
        (void)TDriverLibrary::unitFileName(e.unit);
    for (const TRefusedRow& r : library.refused())
        (void)r.text();
    return 0;
}

int fuzzProjectText(const std::uint8_t* data, std::size_t size) {
    resetSharedState();
    const ProjectFromJson p =
        projectBytesFromJson(std::string_view(reinterpret_cast<const char*>(data), size), host());
    if (!p.ok) return 0;
    if (p.filter) {
        const TXover::VariantInfo* info = TXover::FindTypeCode(p.typeCode);
        if (!info) return 0;
        TGeneral general;
        TXover project(general, info->variant, host());
        (void)project.ReadProjectBytes(p.bytes, "input.json");
    } else if (std::unique_ptr<TBoxEmbryo> project = makeBoxProject(p.typeCode, host())) {
        (void)project->ReadProjectBytes(p.bytes, "input.json");
    }
    return 0;
}

} // namespace harlox::fuzz
