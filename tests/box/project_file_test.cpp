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

constexpr const char* kOldFileText =
    "This project file was created with an\nolder version of Harlox.\nRemenber that project files are not\n"
    "backwards compatible";
constexpr const char* kSaveFailed = "Could not open file.\nCheck if device is ready\nor if the disk is full.";

// Where the records of a box project file start, worked out from the record sizes: header,
// setup, unit and snapshot paths, driver, box, transient, room (its measured block last),
// data sheet, fit, the five windows, the minimised flag, then the type's own records.
constexpr std::size_t kSetupAt = 22;
constexpr std::size_t kUnitPathAt = kSetupAt + 51;
constexpr std::size_t kSnapshotPathAt = kUnitPathAt + 271;
constexpr std::size_t kBoxAt = kSnapshotPathAt + 271 + 370;
constexpr std::size_t kRoomAt = kBoxAt + 28 + 95;
constexpr std::size_t kMeasuredBlockAt = kRoomAt + 1380;
constexpr std::size_t kSheetAt = kRoomAt + 1672;
constexpr std::size_t kSplWindowAt = kSheetAt + 620 + 8;
constexpr std::size_t kSnapshotWindowAt = kSplWindowAt + 4 * 70 + 1;
constexpr std::size_t kTypeRecordsAt = kSnapshotWindowAt + 70;
static_assert(kTypeRecordsAt + 2 == 3761 && kTypeRecordsAt + 53 + 70 + 2 == 3884);

template <typename T> T at(const Bytes& b, std::size_t offset) {
    T v{};
    std::memcpy(&v, &b[offset], sizeof v);
    return v;
}

std::string textAt(const Bytes& b, std::size_t offset) {
    return reinterpret_cast<const char*>(&b[offset]);
}

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
        unitPath = dir.file("unit.unt");
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

    // A project with its unit loaded and something other than the defaults in every record.
    std::unique_ptr<TBoxEmbryo> designed(int code) {
        auto p = make(code);
        ui.files.push_back(unitPath);
        EXPECT_TRUE(p->LoadDriverUnit());
        ui.runPosted();
        MeasureSetup& s = sharedSetup();
        s.pointCount = 60;
        s.Rg = 0.25;
        s.setupChanged = 1;
        EXPECT_TRUE(p->front().setDriverCount(2));
        p->setVb(0.03);
        p->boxElement()->fill = 40;
        p->transientResponse().inputSignal = TStepResponse::kToneBurst;
        p->transientResponse().burstFrequency = 120.0;
        p->roomCabinet().listenerZ = 3.25;
        p->roomCabinet().transitionFrequency = 450;
        p->roomCabinet().setMeasuredFile("room.frd");
        p->dataSheetPlacement.v = {0, 1, 2, 3, 4, 5, 600, 10, 1000, 700};
        p->dataSheetMinimised = true;
        p->setUserNote("Line one\r\nLine two");
        p->fitSettings().upperCutoff = 250;
        p->splWindow().setNote("spl note");
        p->groupDelayWindow().setNote("delay note");
        p->excursionWindow().setNote("excursion note");
        p->impedanceWindow().setNote("impedance note");
        p->snapshot().window().setNote("snap note");
        if (auto* br = dynamic_cast<TBassReflexBox*>(p.get())) {
            EXPECT_TRUE(br->port().setTuning(38.0));
            EXPECT_TRUE(br->port().setFlareRadius(0.2));
            br->airSpeedWindow().setNote("air note");
        }
        p->Calculate(0);
        return p;
    }

    bool saveAs(TBoxEmbryo& p, const std::string& path) {
        ui.files.push_back(path);
        return p.SaveAs();
    }

    std::unique_ptr<TBoxEmbryo> readBack(int code, const std::string& path, bool expectOk = true) {
        auto p = make(code);
        EXPECT_EQ(p->ReadProject(path), expectOk) << path;
        ui.runPosted();
        return p;
    }

    // Saves a designed project as p.box and returns the file's bytes.
    Bytes saveDesigned(int code) {
        project = designed(code);
        EXPECT_TRUE(saveAs(*project, path));
        return test::readAll(path);
    }

    std::string oldProgramDirectory;
    test::ScriptedUiHost ui;
    test::TempDir dir;
    std::string unitPath;
    std::string path = dir.file("p.box");
    std::unique_ptr<TBoxEmbryo> project;
};

class ProjectFileTypes : public ProjectFile, public ::testing::WithParamInterface<TypeCase> {};

TEST_P(ProjectFileTypes, SaveReadSaveIsByteExactAndRecordsSitWhereTheLayoutSays) {
    const TypeCase& c = GetParam();
    const Bytes b = saveDesigned(c.code);
    EXPECT_FALSE(project->isChanged());
    ASSERT_EQ(b.size(), c.size);
    EXPECT_EQ(at<std::int32_t>(b, 0), c.code);
    EXPECT_EQ(at<std::int16_t>(b, 4), 400);
    EXPECT_EQ(Bytes(b.begin() + 6, b.begin() + 22), Bytes(16, 0));
    EXPECT_EQ(at<std::int32_t>(b, kSetupAt + 38), 60);
    EXPECT_EQ(textAt(b, kUnitPathAt), "unit.unt"); // below the program directory: relative
    EXPECT_DOUBLE_EQ(at<double>(b, kBoxAt), 0.03);
    EXPECT_DOUBLE_EQ(at<double>(b, kRoomAt + 70 + 1152 + 7 * 8), 3.25); // listener Z
    EXPECT_EQ(textAt(b, kSheetAt + 20), "Line one\r\nLine two");
    EXPECT_EQ(textAt(b, kSplWindowAt + 20), "spl note");
    EXPECT_EQ(textAt(b, kSnapshotWindowAt + 20), "snap note");
    if (c.code == TBassReflexBox::kTypeCode) {
        EXPECT_EQ(textAt(b, kTypeRecordsAt + 53 + 20), "air note");
    }
    EXPECT_EQ(at<std::uint16_t>(b, b.size() - 2), 12345);

    const std::size_t messages = ui.messages.size();
    auto q = readBack(c.code, path);
    EXPECT_EQ(ui.messages.size(), messages);
    EXPECT_FALSE(q->isChanged());
    EXPECT_EQ(q->front().unitOk, 1);
    // Read and calculated again: the same curves.
    ASSERT_EQ(q->pointCount(), 60);
    for (std::size_t i = 0; i < 60; ++i)
        EXPECT_DOUBLE_EQ(q->SPL[i], project->SPL[i]) << i;
    const std::string second = dir.file("second.box");
    ASSERT_TRUE(saveAs(*q, second));
    EXPECT_EQ(test::readAll(second), b);
}

TEST_P(ProjectFileTypes, AWrongEndMarkerOrTypeIsRefused) {
    const TypeCase& c = GetParam();
    const Bytes good = saveDesigned(c.code);
    for (const std::uint16_t marker : {0, 12344, 0x3930}) {
        Bytes bad = good;
        std::memcpy(&bad[bad.size() - 2], &marker, 2);
        test::writeAll(path, bad);
        sharedSetup().pointCount = 77; // what the program had before the read
        auto q = readBack(c.code, path, false);
        // An empty project, and the program's setup as it was.
        EXPECT_EQ(q->front().unitOk, 0) << marker;
        EXPECT_TRUE(q->projectFileName().empty());
        EXPECT_EQ(sharedSetup().pointCount, 77);
    }
    const int other = c.code == TClosedBox::kTypeCode ? TBassReflexBox::kTypeCode : TClosedBox::kTypeCode;
    test::writeAll(path, good);
    readBack(other, path, false);
}

TEST_P(ProjectFileTypes, AFileCutAtEveryLengthIsRefusedAndLeavesAUsableProject) {
    const TypeCase& c = GetParam();
    const Bytes good = saveDesigned(c.code);
    const std::string cut = dir.file("cut.box");
    auto q = make(c.code);
    const std::size_t messages = ui.messages.size();
    sharedSetup().pointCount = 77;
    for (std::size_t n = 0; n < good.size(); ++n) {
        // A new file each time: rewriting a truncated one makes ext4 flush it on close.
        std::filesystem::remove(cut);
        test::writeAll(cut, Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n)));
        ASSERT_FALSE(q->ReadProject(cut)) << n;
        ui.runPosted();
        ASSERT_EQ(q->front().unitOk, 0) << n;
        ASSERT_EQ(sharedSetup().pointCount, 77) << n;
    }
    EXPECT_FALSE(q->ReadProject(dir.file("missing.box")));
    EXPECT_FALSE(q->ReadProject(dir.path())); // a folder
    // None of this reaches a message: the unit is there and the version is current.
    EXPECT_EQ(ui.messages.size(), messages);
    // A reset bass reflex project tunes its port with its own box.
    if (auto* br = dynamic_cast<TBassReflexBox*>(q.get())) {
        EXPECT_EQ(br->port().Vbox, br->box().Vb);
    }
    // The same object reads the whole file afterwards and calculates.
    ASSERT_TRUE(q->ReadProject(path));
    ui.runPosted();
    EXPECT_EQ(q->pointCount(), 60);
    EXPECT_DOUBLE_EQ(q->SPL[10], project->SPL[10]);
}

TEST_P(ProjectFileTypes, OlderVersionsReadWithTheWarningAndTheirDefaults) {
    const TypeCase& c = GetParam();
    const Bytes current = saveDesigned(c.code);
    const RoomCabinetSettings defaults;

    for (const std::int16_t version : {300, 309, 310, 399, 401}) {
        Bytes b = current;
        std::memcpy(&b[4], &version, 2);
        // Before 400 the port record has no flare factor; before 310 the room record has no
        // measured SPL block.
        if (version < 400 && c.code == TBassReflexBox::kTypeCode) {
            const auto flareAt = b.begin() + static_cast<std::ptrdiff_t>(kTypeRecordsAt + 45);
            b.erase(flareAt, flareAt + 8);
        }
        if (version < 310) {
            const auto blockAt = b.begin() + static_cast<std::ptrdiff_t>(kMeasuredBlockAt);
            b.erase(blockAt, blockAt + 292);
        }
        const std::string old = dir.file("old.box");
        test::writeAll(old, b);
        const std::size_t messages = ui.messages.size();
        auto q = readBack(c.code, old);
        ASSERT_EQ(ui.messages.size(), messages + 1) << version;
        EXPECT_EQ(ui.lastMessage().caption, "Old project file");
        EXPECT_EQ(ui.lastMessage().text, kOldFileText);
        EXPECT_EQ(q->front().unitOk, 1);
        EXPECT_DOUBLE_EQ(q->roomCabinet().listenerZ, 3.25);
        EXPECT_EQ(q->roomCabinet().measuredFile, version < 310 ? defaults.measuredFile : "room.frd");
        EXPECT_EQ(q->roomCabinet().transitionFrequency, version < 310 ? defaults.transitionFrequency : 450);
        if (auto* br = dynamic_cast<TBassReflexBox*>(q.get())) {
            EXPECT_EQ(br->port().flare == 0.0, version < 400) << version;
        }
        // Written again, it is a current file.
        ASSERT_TRUE(q->Save());
        EXPECT_EQ(at<std::int16_t>(test::readAll(old), 4), 400);
    }

    // Too old: refused without the warning.
    Bytes b = current;
    const std::int16_t tooOld = 299;
    std::memcpy(&b[4], &tooOld, 2);
    test::writeAll(path, b);
    const std::size_t messages = ui.messages.size();
    readBack(c.code, path, false);
    EXPECT_EQ(ui.messages.size(), messages);
}

TEST_P(ProjectFileTypes, AFailedSaveLeavesThePreviousFileAsItWas) {
    const Bytes before = saveDesigned(GetParam().code);
    TBoxEmbryo* p = project.get();

    p->setVb(0.05);
    p->markChanged();
    {
        // A disk that fills up half way through the file.
        test::FileSizeLimit full(1000);
        EXPECT_FALSE(p->Save());
    }
    EXPECT_EQ(ui.lastMessage().caption, "File save");
    EXPECT_EQ(ui.lastMessage().text, kSaveFailed);
    EXPECT_EQ(ui.lastMessage().icon, MessageIcon::Exclamation);
    EXPECT_EQ(test::readAll(path), before);
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    EXPECT_TRUE(p->isChanged());

    // A folder that is not there.
    const std::string nowhere = dir.file("no-such-folder/p.box");
    EXPECT_FALSE(saveAs(*p, nowhere));
    EXPECT_EQ(ui.lastMessage().caption, "File save as");
    EXPECT_EQ(ui.lastMessage().text, kSaveFailed);
    EXPECT_EQ(p->projectFileName(), path);

    // Once the disk has room again, the same Save works.
    ASSERT_TRUE(p->Save());
    EXPECT_DOUBLE_EQ(at<double>(test::readAll(path), kBoxAt), 0.05);
}

INSTANTIATE_TEST_SUITE_P(Types, ProjectFileTypes,
                         ::testing::Values(TypeCase{"Closed", TClosedBox::kTypeCode, 3761},
                                           TypeCase{"BassReflex", TBassReflexBox::kTypeCode, 3884}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProjectFile, SaveWithoutAFileNameAsksAndCancelKeepsTheChangedMark) {
    auto p = designed(TClosedBox::kTypeCode);
    ui.files.push_back(std::nullopt);
    EXPECT_FALSE(p->Save());
    EXPECT_TRUE(p->isChanged());
    ui.files.push_back(dir.file("named.box"));
    ASSERT_TRUE(p->Save());
    EXPECT_EQ(p->frameCaption(), "Harlox 4.00 - Closed box - named.box");
}

TEST_F(ProjectFile, AMissingUnitIsReportedAndTheProjectStillOpens) {
    saveDesigned(TBassReflexBox::kTypeCode);
    std::filesystem::remove(unitPath);
    auto q = readBack(TBassReflexBox::kTypeCode, path);
    EXPECT_EQ(ui.lastMessage().caption, "Speaker unit load");
    EXPECT_EQ(ui.lastMessage().text,
              "Could not open file : unit.unt\nCheck if path and filename is correct.");
    EXPECT_EQ(q->front().unitOk, 0);
    EXPECT_EQ(ui.commandState(cmd::Calculate), CommandState::Greyed);
    EXPECT_DOUBLE_EQ(q->boxElement()->Vb, 0.03); // the rest of the project is there
    EXPECT_EQ(q->userNote(), "Line one\r\nLine two");
}

TEST_F(ProjectFile, TheSnapshotIsReadFromItsPathAndForgottenWhenMissing) {
    auto p = designed(TClosedBox::kTypeCode);
    p->snapshot().setTitle("Variants");
    ui.files.push_back(dir.file("snap.snp"));
    ASSERT_TRUE(p->snapshot().SaveAs());
    ASSERT_TRUE(saveAs(*p, path));
    EXPECT_EQ(textAt(test::readAll(path), kSnapshotPathAt), "snap.snp");
    EXPECT_EQ(readBack(TClosedBox::kTypeCode, path)->snapshot().title(), "Variants");

    std::filesystem::remove(dir.file("snap.snp"));
    auto r = readBack(TClosedBox::kTypeCode, path);
    EXPECT_EQ(r->snapshot().path(), "");
    EXPECT_EQ(r->snapshot().title(), "Snapshot");
    EXPECT_EQ(r->front().unitOk, 1);
}

} // namespace
} // namespace harlox
