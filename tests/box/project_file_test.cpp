#include "box/bass_reflex_box.h"
#include "box/closed_box.h"
#include "box/room_cabinet.h"
#include "box/snapshot.h"
#include "box_test_support.h"
#include "core/command_ids.h"
#include "core/program_dir.h"
#include "scripted_ui_host.h"
#include "temp_dir.h"
#include "transient/step_response.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace harlox {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The unit path follows the 22-byte header and the 51-byte setup record; the room record's
// measured SPL block starts after the paths, driver, box, transient and the room's first 1380.
constexpr std::size_t kUnitPathAt = 73;
constexpr std::size_t kMeasuredBlockAt = 2488;

struct TypeCase {
    const char* name;
    int code;
    std::size_t size;
};

class ProjectFile : public ::testing::Test {
protected:
    void SetUp() override {
        test::resetSharedState();
        oldProgramDirectory = programDirectory();
        setProgramDirectory(dir.path());
        TSpkData unit;
        unit.SetDefault();
        ASSERT_TRUE(unit.Save(unitPath));
    }
    void TearDown() override {
        setProgramDirectory(oldProgramDirectory);
        test::resetSharedState();
    }

    std::unique_ptr<TBoxEmbryo> make(int code) {
        if (code == TBassReflexBox::kTypeCode) return std::make_unique<TBassReflexBox>(ui);
        return std::make_unique<TClosedBox>(ui);
    }

    // Saves a project with its unit loaded and something other than the defaults in every
    // record as p.box and returns the file's bytes.
    Bytes saveDesigned(int code) {
        project = make(code);
        TBoxEmbryo& p = *project;
        ui.files.push_back(unitPath);
        EXPECT_TRUE(p.LoadDriverUnit());
        ui.runPosted();
        sharedSetup().pointCount = 60;
        sharedSetup().Rg = 0.25;
        sharedSetup().setupChanged = 1;
        EXPECT_TRUE(p.front().setDriverCount(2));
        p.setVb(0.03);
        p.boxElement()->fill = 40;
        p.transientResponse().inputSignal = TStepResponse::kToneBurst;
        p.roomCabinet().listenerZ = 3.25;
        p.roomCabinet().transitionFrequency = 450;
        p.roomCabinet().setMeasuredFile("room.frd");
        p.dataSheetPlacement.v = {0, 1, 2, 3, 4, 5, 600, 10, 1000, 700};
        p.dataSheetMinimised = true;
        p.setUserNote("Line one\r\nLine two");
        p.fitSettings().upperCutoff = 250;
        p.impedanceWindow().setNote("impedance note");
        p.snapshot().window().setNote("snap note");
        if (auto* br = dynamic_cast<TBassReflexBox*>(&p)) {
            EXPECT_TRUE(br->port().setTuning(38.0));
            EXPECT_TRUE(br->port().setFlareRadius(0.2));
            br->airSpeedWindow().setNote("air note");
        }
        p.Calculate(0);
        EXPECT_TRUE(saveAs(p, path));
        return test::readAll(path);
    }

    bool saveAs(TBoxEmbryo& p, const std::string& to) {
        ui.files.push_back(to);
        return p.SaveAs();
    }

    std::unique_ptr<TBoxEmbryo> readBack(int code, const std::string& from, bool expectOk = true) {
        auto p = make(code);
        EXPECT_EQ(p->ReadProject(from), expectOk) << from;
        ui.runPosted();
        return p;
    }

    std::string oldProgramDirectory;
    test::ScriptedUiHost ui;
    test::TempDir dir;
    std::string unitPath = dir.file("unit.unt");
    std::string path = dir.file("p.box");
    std::unique_ptr<TBoxEmbryo> project;
};

class ProjectFileTypes : public ProjectFile, public ::testing::WithParamInterface<TypeCase> {};

TEST_P(ProjectFileTypes, SaveReadSaveIsByteExact) {
    const Bytes b = saveDesigned(GetParam().code);
    EXPECT_FALSE(project->isChanged());
    ASSERT_EQ(b.size(), GetParam().size);
    EXPECT_EQ(reinterpret_cast<const char*>(&b[kUnitPathAt]), std::string("unit.unt")); // relative

    auto q = readBack(GetParam().code, path);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_FALSE(q->isChanged());
    const std::string second = dir.file("second.box");
    ASSERT_TRUE(saveAs(*q, second));
    EXPECT_EQ(test::readAll(second), b);
}

TEST_P(ProjectFileTypes, ACutFileAWrongEndMarkerOrTypeIsRefusedAndLeavesAnEmptyProject) {
    const int code = GetParam().code;
    const Bytes good = saveDesigned(code);
    std::vector<Bytes> bad;
    for (std::size_t n = 0; n < good.size(); ++n)
        bad.emplace_back(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
    for (const std::uint16_t marker : {0, 12344, 0x3930}) {
        bad.push_back(good);
        std::memcpy(&bad.back()[good.size() - 2], &marker, 2);
    }
    const std::string cut = dir.file("cut.box");
    auto q = make(code);
    sharedSetup().pointCount = 77; // what the program had before the read
    for (const Bytes& b : bad) {
        // A new file each time: rewriting a truncated one makes ext4 flush it on close.
        std::filesystem::remove(cut);
        test::writeAll(cut, b);
        ASSERT_FALSE(q->ReadProject(cut)) << b.size();
        ui.runPosted();
        ASSERT_EQ(q->front().unitOk, 0) << b.size();
        ASSERT_EQ(sharedSetup().pointCount, 77) << b.size();
    }
    EXPECT_FALSE(q->ReadProject(dir.path())); // a folder
    EXPECT_TRUE(ui.messages.empty());
    readBack(code == TClosedBox::kTypeCode ? TBassReflexBox::kTypeCode : TClosedBox::kTypeCode, path, false);

    // The same object reads the whole file afterwards and calculates.
    ASSERT_TRUE(q->ReadProject(path));
    ui.runPosted();
    EXPECT_EQ(q->pointCount(), 60);
    EXPECT_DOUBLE_EQ(q->SPL[10], project->SPL[10]);
}

TEST_P(ProjectFileTypes, OlderVersionsReadWithTheWarningAndTheirDefaults) {
    const Bytes current = saveDesigned(GetParam().code);
    const RoomCabinetSettings defaults;
    for (const std::int16_t version : {300, 310, 299}) {
        Bytes b = current;
        std::memcpy(&b[4], &version, 2);
        // Before 400 the port record has no flare factor (the last 8 bytes before the air
        // speed window and the end marker); before 310 the room record has no measured block.
        if (GetParam().code == TBassReflexBox::kTypeCode) b.erase(b.end() - 80, b.end() - 72);
        if (version < 310) {
            const auto blockAt = b.begin() + static_cast<std::ptrdiff_t>(kMeasuredBlockAt);
            b.erase(blockAt, blockAt + 292);
        }
        test::writeAll(path, b);
        ui.messages.clear();
        auto q = readBack(GetParam().code, path, version >= 300);
        if (version < 300) { // too old: refused without the warning
            EXPECT_TRUE(ui.messages.empty());
            continue;
        }
        ASSERT_EQ(ui.messages.size(), 1u) << version;
        EXPECT_EQ(ui.lastMessage().caption, "Old project file");
        EXPECT_EQ(ui.lastMessage().text, "This project file was created with an\nolder version of Harlox.\n"
                                         "Remenber that project files are not\nbackwards compatible");
        EXPECT_EQ(q->front().unitOk, 1);
        EXPECT_DOUBLE_EQ(q->roomCabinet().listenerZ, 3.25);
        EXPECT_EQ(q->roomCabinet().measuredFile, version < 310 ? defaults.measuredFile : "room.frd");
        EXPECT_EQ(q->roomCabinet().transitionFrequency, version < 310 ? defaults.transitionFrequency : 450);
        if (auto* br = dynamic_cast<TBassReflexBox*>(q.get())) {
            EXPECT_EQ(br->port().flare, 0.0);
        }
        // Written again, it is a current file.
        ASSERT_TRUE(q->Save());
        EXPECT_EQ(test::readAll(path).size(), current.size());
    }
}

TEST_P(ProjectFileTypes, AFailedSaveLeavesThePreviousFileAsItWas) {
    const Bytes before = saveDesigned(GetParam().code);
    project->setVb(0.05);
    project->markChanged();
    {
        // A disk that fills up half way through the file.
        test::FileSizeLimit full(1000);
        EXPECT_FALSE(project->Save());
    }
    EXPECT_EQ(ui.lastMessage().caption, "File save");
    EXPECT_EQ(ui.lastMessage().text,
              "Could not open file.\nCheck if device is ready\nor if the disk is full.");
    EXPECT_EQ(test::readAll(path), before);
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    EXPECT_TRUE(project->isChanged());

    ASSERT_TRUE(project->Save()); // the disk has room again
    EXPECT_NE(test::readAll(path), before);
}

INSTANTIATE_TEST_SUITE_P(Types, ProjectFileTypes,
                         ::testing::Values(TypeCase{"Closed", TClosedBox::kTypeCode, 3761},
                                           TypeCase{"BassReflex", TBassReflexBox::kTypeCode, 3884}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProjectFile, AMissingUnitIsReportedAndTheProjectStillOpens) {
    saveDesigned(TBassReflexBox::kTypeCode);
    std::filesystem::remove(unitPath);
    auto q = readBack(TBassReflexBox::kTypeCode, path);
    EXPECT_EQ(ui.lastMessage().caption, "Speaker unit load");
    EXPECT_EQ(ui.lastMessage().text,
              "Could not open file : unit.unt\nCheck if path and filename is correct.");
    EXPECT_EQ(ui.commandState(cmd::Calculate), CommandState::Greyed);
    EXPECT_EQ(q->userNote(), "Line one\r\nLine two"); // the rest of the project is there
}

TEST_F(ProjectFile, TheSnapshotIsReadFromItsPathAndForgottenWhenMissing) {
    saveDesigned(TClosedBox::kTypeCode);
    project->snapshot().setTitle("Variants");
    ui.files.push_back(dir.file("snap.snp"));
    ASSERT_TRUE(project->snapshot().SaveAs());
    ASSERT_TRUE(saveAs(*project, path));
    EXPECT_EQ(readBack(TClosedBox::kTypeCode, path)->snapshot().title(), "Variants");

    std::filesystem::remove(dir.file("snap.snp"));
    auto r = readBack(TClosedBox::kTypeCode, path);
    EXPECT_EQ(r->snapshot().path(), "");
    EXPECT_EQ(r->snapshot().title(), "Snapshot");
    EXPECT_EQ(r->front().unitOk, 1);
}

} // namespace
} // namespace harlox
