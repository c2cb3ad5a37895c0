// Every file the program writes, saved a second time while the system fails one step of the
// save: the first version must survive byte for byte, no temporary file may stay behind, the
// saver must say it failed and the user must be told.

#include "app/app_config.h"
#include "app/box_factory.h"
#include "box/box_embryo.h"
#include "box/closed_box.h"
#include "box/snapshot.h"
#include "core/atomic_file.h"
#include "core/diagram_model.h"
#include "core/measure_setup.h"
#include "core/program_dir.h"
#include "driver/spk_data.h"
#include "driver/unit_completion.h"
#include "filter/general.h"
#include "filter/imp_response.h"
#include "filter/music_filter.h"
#include "filter/pcm_io.h"
#include "filter/xover.h"
#include "output/curve_writer.h"
#include "scripted_ui_host.h"
#include "temp_dir.h"
#include "transient/step_response.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace harlox {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr const char* kCouldNotOpen = "Could not open file.\nCheck if device is ready\nor if the disk is full.";

// Where the save meets the fault: the user may be told different things.
enum class Stage { Open, FirstWrite, Write, Finish };

struct Fault {
    const char* name;
    Stage stage;
    SaveFault fault;
    bool halfway = false; // the short write comes after half the first version's size
};

const Fault kFaults[] = {
    {"disk full at open", Stage::Open, {.openErrno = ENOSPC}},
    {"permission denied", Stage::Open, {.openErrno = EACCES}},
    {"nothing written", Stage::FirstWrite, {.shortWriteAfter = 0}},
    {"short write halfway", Stage::Write, {.shortWriteAfter = 0}, true},
    {"fsync fails", Stage::Finish, {.fsyncErrno = EIO}},
    {"close fails", Stage::Finish, {.closeErrno = ENOSPC}},
    {"rename across devices", Stage::Finish, {.renameErrno = EXDEV}},
    {"rename refused", Stage::Finish, {.renameErrno = EACCES}},
};

struct Told {
    std::string caption;
    std::string text;
};

struct FileType {
    std::string name;
    std::string file;
    // Saves version 1 or 2 of the model through the program's own command; true on success.
    std::function<bool(int version)> save;
    // What the user sees when the save fails; nullopt where the model stays silent.
    std::function<std::optional<Told>(Stage)> told;
};

std::vector<std::string> leftovers(const std::string& dir) {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir))
        if (e.path().extension() == ".tmp") out.push_back(e.path().string());
    return out;
}

void writeTones(const std::string& path, int frames) {
    Bytes b;
    for (int i = 0; i < frames; ++i)
        for (double v : {9000.0 * std::sin(0.07 * i), 7000.0 * std::cos(0.21 * i)}) {
            const auto u = static_cast<std::uint16_t>(static_cast<std::int16_t>(v));
            b.push_back(static_cast<std::uint8_t>(u & 0xff));
            b.push_back(static_cast<std::uint8_t>(u >> 8));
        }
    test::writeAll(path, b);
}

class SaveFaults : public ::testing::Test {
protected:
    void SetUp() override {
        oldProgramDir_ = programDirectory();
        setProgramDirectory(dir.path());
        setPreferencesDirectory(dir.path());
        unit.SetDefault();
        ir.setSource(flat.data());
        ASSERT_TRUE(ir.Calculate());
        writeTones(musicIn, 40000);
    }
    void TearDown() override {
        setPreferencesDirectory("");
        setProgramDirectory(oldProgramDir_);
    }

    // The first save of a project-like file goes through Save as, later ones through Save.
    bool saveOrSaveAs(int version, const std::string& file, const std::function<bool()>& saveAs,
                      const std::function<bool()>& save) {
        if (version == 1) ui.files = {file};
        return version == 1 ? saveAs() : save();
    }

    bool filterMusic(int version, const std::string& out) {
        ir.scaleDb = version == 1 ? 0.0 : -6.0;
        if (!music.Start(musicIn, out)) return false;
        while (music.Step()) {
        }
        for (const auto& m : ui.messages)
            if (m.text != TMusicFilter::kReady) return false;
        return true;
    }

    std::vector<FileType> types() {
        const Told save{"File save", kCouldNotOpen};
        const auto always = [](std::optional<Told> t) { return [t](Stage) { return t; }; };
        std::vector<FileType> out;
        const std::string unt = dir.file("woofer.unt");
        out.push_back({"unit file", unt,
                       [this, unt](int v) {
                           editor.setModel(v == 1 ? "First" : "Second");
                           return saveOrSaveAs(v, unt, [this] { return editor.SaveAs(); },
                                               [this] { return editor.Save(); });
                       },
                       always(save)});
        const std::string box = dir.file("closed.box");
        out.push_back({"box project", box,
                       [this, box](int v) {
                           project->setUserNote(v == 1 ? "first" : "second");
                           const bool ok = saveOrSaveAs(v, box, [this] { return project->SaveAs(); },
                                                        [this] { return project->Save(); });
                           ui.runPosted();
                           return ok;
                       },
                       always(save)});
        const std::string snp = dir.file("variants.snp");
        out.push_back({"snapshot", snp,
                       [this, snp](int v) {
                           snapshot.setTitle(v == 1 ? "first" : "second");
                           return saveOrSaveAs(v, snp, [this] { return snapshot.SaveAs(); },
                                               [this] { return snapshot.Save(); });
                       },
                       always(save)});
        const std::string flt = dir.file("two way.flt");
        out.push_back({"filter project", flt,
                       [this, flt](int v) {
                           xover.schematicPlacement.v[0] = static_cast<std::int16_t>(v);
                           return saveOrSaveAs(v, flt, [this] { return xover.SaveAs(); },
                                               [this] { return xover.Save(); });
                       },
                       always(save)});
        // Written on the way out; a failure is silent by design.
        const std::string cfg = dir.file("harlox.cfg");
        out.push_back({"window placement", cfg,
                       [cfg](int v) { return writeAppConfig(cfg, WindowRect{10, 20, 300 * v, 400}, v == 1); },
                       always(std::nullopt)});
        // The setup dialog tells the user; the model only reports.
        out.push_back({"measurement setup", preferencesPath(MeasureSetup::kPreferencesFile),
                       [this](int v) {
                           setup.pointCount = 100 * v;
                           return setup.savePreferences();
                       },
                       always(std::nullopt)});
        out.push_back({"step response settings", preferencesPath(TStepResponse::kPreferencesFile),
                       [this](int v) {
                           step.inputSignal = static_cast<std::int16_t>(v);
                           return step.SaveSettings(ui);
                       },
                       always(Told{"Error", "Could not save to file 'stepresp.prf'"})});
        const std::string frd = dir.file("curve.frd");
        out.push_back({"curve export", frd,
                       [this, frd](int v) {
                           static const double x[] = {20.0, 200.0, 2000.0};
                           static const double y[2][3] = {{80.0, 85.5, 83.25}, {79.0, 84.5, 82.0}};
                           static const double phase[] = {-10.0, 0.0, 12.5};
                           std::tm time{};
                           time.tm_year = 124;
                           time.tm_mday = 3;
                           ui.files = {frd};
                           return exportCurve(ui, curveSelector, makeCurveExport(ExportCurve::Spl, 3, x, y[v - 1], phase),
                                              true, time);
                       },
                       always(Told{kExportErrorCaption, exportWriteFailureText(frd)})});
        for (const char* ext : {".pcm", ".wav", ".flac"}) {
            const std::string pcm = dir.file(std::string("filtered") + ext);
            static constexpr const char* kWriteFailed = "Could not write the output file (is the disk full?)";
            out.push_back({std::string("music output ") + ext, pcm,
                           [this, pcm](int v) { return filterMusic(v, pcm); },
                           [pcm](Stage s) -> std::optional<Told> {
                               switch (s) {
                               case Stage::Open:
                                   return Told{"Filter music", "Can not open file " + pcm + " for writing"};
                               case Stage::FirstWrite: // a sound file holds its first samples back
                                   if (isSoundFileName(pcm)) return Told{"Filter music", kWriteFailed};
                                   return Told{"Filter music", "Could not write to file " + pcm};
                               case Stage::Write:
                                   return Told{"Filter music", kWriteFailed};
                               case Stage::Finish:
                                   return Told{"Filter music",
                                               "Could not complete the output file (is the disk full?)"};
                               }
                               return std::nullopt;
                           }});
        }
        return out;
    }

    std::string oldProgramDir_;
    test::TempDir dir;
    test::ScriptedUiHost ui;
    TSpkData unit;
    FileSelector unitSelector{"Unit files (*.unt)|*.unt|", "unt", false, {}};
    TSpeakerUnitEditor editor{ui, unit, unitSelector};
    std::unique_ptr<TBoxEmbryo> project = makeBoxProject(TClosedBox::kTypeCode, ui);
    FileSelector snapshotSelector{"Snapshot files (*.snp)|*.snp|", "snp", false, {}};
    TSnapshot snapshot{ui, snapshotSelector};
    TGeneral general;
    TXover xover{general, 0, ui};
    MeasureSetup setup;
    TStepResponse step;
    FileSelector curveSelector{"FRD files (*.frd)|*.frd|", "frd", false, {}};
    DiagramModel irWindow;
    std::vector<Complex> flat = std::vector<Complex>(TGeneral::kPoints, Complex(1.0, 0.0));
    TImpResponse ir{general, irWindow};
    TMusicFilter music{ir, general, ui};
    std::string musicIn = dir.file("music.raw");
};

TEST_F(SaveFaults, EveryFileKeepsItsPreviousVersionUnderEveryFault) {
    for (const FileType& type : types()) {
        SCOPED_TRACE(type.name);
        ui.messages.clear();
        ASSERT_TRUE(type.save(1));
        ASSERT_TRUE(ui.messages.empty() || ui.lastMessage().text == TMusicFilter::kReady);
        const Bytes first = test::readAll(type.file);
        ASSERT_GT(first.size(), 4u);

        for (const Fault& row : kFaults) {
            SCOPED_TRACE(row.name);
            SaveFault f = row.fault;
            if (row.halfway) f.shortWriteAfter = static_cast<std::int64_t>(first.size() / 2);
            ui.messages.clear();
            bool saved = true;
            int hits = 0;
            {
                const ScopedSaveFault fault(f);
                saved = type.save(2);
                hits = fault.hits();
            }
            EXPECT_FALSE(saved);
            EXPECT_GT(hits, 0) << "the save did not go through the atomic writer";
            EXPECT_EQ(test::readAll(type.file), first);
            EXPECT_TRUE(leftovers(dir.path()).empty()) << leftovers(dir.path()).front();

            // The user is told once, in the program's words (the filter then says "Ready").
            std::vector<test::ScriptedUiHost::Message> shown;
            for (const auto& m : ui.messages)
                if (m.text != TMusicFilter::kReady) shown.push_back(m);
            if (const std::optional<Told> told = type.told(row.stage)) {
                ASSERT_EQ(shown.size(), 1u);
                EXPECT_EQ(shown[0].caption, told->caption);
                EXPECT_EQ(shown[0].text, told->text);
            } else {
                EXPECT_TRUE(shown.empty());
            }
        }

        // The second version was different and does land once the disk behaves.
        ui.messages.clear();
        ASSERT_TRUE(type.save(2));
        EXPECT_NE(test::readAll(type.file), first);
        EXPECT_TRUE(leftovers(dir.path()).empty());
    }
}

// A run the user abandons (the writer dropped before it completes) keeps the old output;
// a stopped run keeps what it wrote.
TEST_F(SaveFaults, AbandonedMusicOutputLeavesTheEarlierFile) {
    const std::string out = dir.file("song.wav");
    ASSERT_TRUE(filterMusic(1, out));
    const Bytes first = test::readAll(out);
    {
        TMusicFilter other(ir, general, ui);
        ASSERT_TRUE(other.Start(musicIn, out));
        ASSERT_TRUE(other.Step());
        EXPECT_FALSE(leftovers(dir.path()).empty()); // the run writes beside the target
    }
    EXPECT_EQ(test::readAll(out), first);
    EXPECT_TRUE(leftovers(dir.path()).empty());

    ASSERT_TRUE(music.Start(musicIn, out));
    ASSERT_TRUE(music.Step());
    music.Stop();
    EXPECT_FALSE(music.Step());
    EXPECT_NE(test::readAll(out), first);
    EXPECT_TRUE(leftovers(dir.path()).empty());
}

} // namespace
} // namespace harlox
