#include "app/box_factory.h"
#include "box/abr_box.h"
#include "box/bass_reflex_box.h"
#include "box/box_object.h"
#include "box/closed_box.h"
#include "box/port_object.h"
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
    // The type's own records before the end marker: B box (28 bytes), P port (53), W window (70),
    // A passive radiator (85), F one double (8), T unit path (271), D driver configuration (370).
    const char* records;
};

std::size_t recordSize(char kind) {
    switch (kind) {
    case 'B': return 28;
    case 'P': return 53;
    case 'W': return 70;
    case 'A': return 85;
    case 'F': return 8;
    case 'T': return 271;
    case 'D': return 370;
    default: return 0;
    }
}

// A current file as a file of a version before 400 has it: its port records lack the flare factor,
// their last 8 bytes.
void dropFlareFactors(Bytes& b, const char* records) {
    std::size_t at = b.size() - 2;
    for (std::size_t i = std::strlen(records); i-- > 0;) {
        at -= recordSize(records[i]);
        if (records[i] == 'P') {
            const auto flare = b.begin() + static_cast<std::ptrdiff_t>(at + 45);
            b.erase(flare, flare + 8);
        }
    }
}

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

    std::unique_ptr<TBoxEmbryo> make(int code) { return makeBoxProject(code, ui); }

    // Saves a project with its unit loaded and something other than the defaults in every
    // record as p.box and returns the file's bytes.
    Bytes saveDesigned(int code) {
        project = make(code);
        TBoxEmbryo& p = *project;
        ui.files.push_back(unitPath);
        EXPECT_TRUE(p.LoadDriverUnit());
        if (p.usesRearDriver()) {
            ui.files.push_back(unitPath);
            EXPECT_TRUE(p.LoadRearDriverUnit());
            EXPECT_TRUE(p.rear().setDriverCount(3));
        }
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
        // Every record of the type away from its defaults.
        if (TBoxObject* b2 = p.box2Element()) {
            p.setBoxVolume(*b2, 0.012);
            b2->fill = 70;
            b2->Qb = 5.0;
        }
        for (TPortObject* port : {p.portElement(), p.port2Element()}) {
            if (!port) continue;
            port->setLength(port == p.portElement() ? 0.12 : 0.07);
            EXPECT_TRUE(port->setFlareRadius(0.2));
            port->setPorts(2);
        }
        if (auto* abr = dynamic_cast<TAbrBox*>(&p)) {
            abr->abr().setVap(0.03);
            abr->abr().setMmp(0.05);
            abr->abr().setUnits(2);
            abr->abr().setNonLinear(true);
        }
        for (std::size_t i = 4; i < p.diagramWindows().size(); ++i)
            p.diagramWindows()[i]->setNote("type window " + std::to_string(i));
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
    // Another type's object refuses the file.
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
        // Before 400 the port records have no flare factor; before 310 the room record has no
        // measured block.
        dropFlareFactors(b, GetParam().records);
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
        for (const TPortObject* port : {q->portElement(), q->port2Element()}) {
            if (port) {
                EXPECT_EQ(port->flare, 0.0);
            }
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
                         ::testing::Values(TypeCase{"Closed", 0, 3761, ""}, TypeCase{"BassReflex", 1, 3884, "PW"},
                                           TypeCase{"DoubleTuned1", 2, 3965, "BPPW"},
                                           TypeCase{"DoubleTuned2", 3, 3965, "BPPW"},
                                           TypeCase{"PassiveRadiator", 4, 3846, "A"},
                                           TypeCase{"Bandpass1", 5, 3912, "BPW"},
                                           // The bandpass types 2 to 4 also store their further window
                                           // among the common records.
                                           TypeCase{"Bandpass2", 6, 4035, "BPPW"},
                                           TypeCase{"Bandpass3", 7, 4035, "BPPW"},
                                           TypeCase{"Bandpass4", 8, 4035, "BPPW"},
                                           TypeCase{"ReflexBandpass", 9, 4614, "FPPBTDW"}),
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
