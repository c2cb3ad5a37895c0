#include "box/bass_reflex_box.h"
#include "box/box_embryo.h"
#include "box/box_object.h"
#include "box/closed_box.h"
#include "box/port_object.h"
#include "box/room_cabinet.h"
#include "box/snapshot.h"
#include "box_test_support.h"
#include "core/binary_io.h"
#include "core/command_ids.h"
#include "core/program_dir.h"
#include "scripted_ui_host.h"
#include "temp_dir.h"
#include "transient/step_response.h"

#include <gtest/gtest.h>

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

// Where the records of a box project file start, worked out from the record sizes.
constexpr std::size_t kSetupAt = 22;
constexpr std::size_t kUnitPathAt = kSetupAt + 51;
constexpr std::size_t kSnapshotPathAt = kUnitPathAt + 271;
constexpr std::size_t kDriverAt = kSnapshotPathAt + 271;
constexpr std::size_t kBoxAt = kDriverAt + 370;
constexpr std::size_t kTransientAt = kBoxAt + 28;
constexpr std::size_t kRoomAt = kTransientAt + 95;
constexpr std::size_t kMeasuredBlockAt = kRoomAt + 1380;
constexpr std::size_t kSheetAt = kRoomAt + 1672;
constexpr std::size_t kFitAt = kSheetAt + 620;
constexpr std::size_t kSplWindowAt = kFitAt + 8;
constexpr std::size_t kGroupDelayWindowAt = kSplWindowAt + 70;
constexpr std::size_t kExcursionWindowAt = kGroupDelayWindowAt + 70;
constexpr std::size_t kImpedanceWindowAt = kExcursionWindowAt + 70;
constexpr std::size_t kMinimisedAt = kImpedanceWindowAt + 70;
constexpr std::size_t kSnapshotWindowAt = kMinimisedAt + 1;
constexpr std::size_t kTypeRecordsAt = kSnapshotWindowAt + 70;
constexpr std::size_t kClosedSize = kTypeRecordsAt + 2;
constexpr std::size_t kBassReflexSize = kTypeRecordsAt + 53 + 70 + 2;
static_assert(kClosedSize == 3761 && kBassReflexSize == 3884);

template <typename T> T at(const Bytes& b, std::size_t offset) {
    BinaryReader r(std::span<const std::uint8_t>(b).subspan(offset));
    T v{};
    if constexpr (std::is_same_v<T, double>) {
        EXPECT_TRUE(r.f64(v));
    } else if constexpr (std::is_same_v<T, std::int32_t>) {
        EXPECT_TRUE(r.i32(v));
    } else if constexpr (std::is_same_v<T, std::int16_t>) {
        EXPECT_TRUE(r.i16(v));
    } else if constexpr (std::is_same_v<T, std::uint16_t>) {
        EXPECT_TRUE(r.u16(v));
    } else {
        EXPECT_TRUE(r.u8(v));
    }
    return v;
}

std::string textAt(const Bytes& b, std::size_t offset, std::size_t n) {
    BinaryReader r(std::span<const std::uint8_t>(b).subspan(offset));
    std::string s;
    EXPECT_TRUE(r.textBlock(s, n));
    return s;
}

void putI16(Bytes& b, std::size_t offset, std::int16_t v) {
    b[offset] = static_cast<std::uint8_t>(v & 0xff);
    b[offset + 1] = static_cast<std::uint8_t>((v >> 8) & 0xff);
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
        EXPECT_TRUE(p->front().setDriverConnection(1));
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
        p->fitSettings().flags = {1, 0, 1, 0};
        p->splWindow().placement.v = {0, 1, 0, 0, -1, -1, 10, 20, 410, 320};
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

    std::string oldProgramDirectory;
    test::ScriptedUiHost ui;
    test::TempDir dir;
    std::string unitPath;
};

class ProjectFileTypes : public ProjectFile, public ::testing::WithParamInterface<TypeCase> {};

TEST_P(ProjectFileTypes, SaveReadSaveIsByteExact) {
    const TypeCase& c = GetParam();
    auto p = designed(c.code);
    ASSERT_TRUE(p->isChanged());
    const std::string first = dir.file("first.box");
    ASSERT_TRUE(saveAs(*p, first));
    EXPECT_FALSE(p->isChanged());
    EXPECT_EQ(p->projectFileName(), first);
    EXPECT_EQ(ui.fileRequests.back().mode, FileMode::Save);
    EXPECT_EQ(ui.fileRequests.back().filter, TBoxEmbryo::kProjectFilter);
    EXPECT_EQ(p->frameCaption(), p->projectTitle() + " - first.box");
    const Bytes bytes = test::readAll(first);
    ASSERT_EQ(bytes.size(), c.size);

    const std::size_t messages = ui.messages.size();
    const std::vector<double> spl(p->SPL.begin(), p->SPL.begin() + 60);
    auto q = readBack(c.code, first);
    EXPECT_EQ(ui.messages.size(), messages) << ui.lastMessage().text;
    EXPECT_FALSE(q->isChanged());
    EXPECT_EQ(q->projectFileName(), first);
    EXPECT_EQ(q->front().unitOk, 1);
    EXPECT_EQ(q->frontUnitPath(), "unit.unt");
    EXPECT_EQ(ui.commandState(cmd::Save), CommandState::Enabled);
    // Read and calculated again: the same curves.
    ASSERT_EQ(q->pointCount(), 60);
    for (int i = 0; i < 60; ++i)
        EXPECT_DOUBLE_EQ(q->SPL[static_cast<std::size_t>(i)], spl[static_cast<std::size_t>(i)]) << i;
    EXPECT_EQ(q->userNote(), "Line one\r\nLine two");
    EXPECT_TRUE(q->dataSheetMinimised);
    EXPECT_EQ(q->dataSheetPlacement, p->dataSheetPlacement);
    EXPECT_EQ(q->splWindow().placement, p->splWindow().placement);
    EXPECT_EQ(q->transientResponse().window().title(), "Tone burst resp. 120.0 Hz, 3 periods");
    EXPECT_EQ(q->roomCabinet().measuredFile, "room.frd");

    const std::string second = dir.file("second.box");
    ui.files.push_back(second);
    ASSERT_TRUE(q->SaveAs());
    EXPECT_EQ(test::readAll(second), bytes);
    // Save writes back to the file it came from.
    q->markChanged();
    ASSERT_TRUE(q->Save());
    EXPECT_EQ(test::readAll(second), bytes);
    EXPECT_FALSE(q->isChanged());
}

TEST_P(ProjectFileTypes, HeaderAndRecordsSitWhereTheLayoutSays) {
    const TypeCase& c = GetParam();
    auto p = designed(c.code);
    const std::string path = dir.file("p.box");
    ASSERT_TRUE(saveAs(*p, path));
    const Bytes b = test::readAll(path);
    ASSERT_EQ(b.size(), c.size);

    EXPECT_EQ(at<std::int32_t>(b, 0), c.code);
    EXPECT_EQ(at<std::int16_t>(b, 4), 400);
    for (std::size_t i = 6; i < 22; ++i)
        EXPECT_EQ(b[i], 0) << i;
    EXPECT_EQ(at<std::uint8_t>(b, kSetupAt), 1);          // calculate immediately
    EXPECT_EQ(at<std::int32_t>(b, kSetupAt + 2), 30);     // SPL range
    EXPECT_DOUBLE_EQ(at<double>(b, kSetupAt + 6), 2.83);  // Ug
    EXPECT_DOUBLE_EQ(at<double>(b, kSetupAt + 14), 0.25); // Rg
    EXPECT_EQ(at<std::int32_t>(b, kSetupAt + 38), 60);    // points
    EXPECT_EQ(at<std::int32_t>(b, kSetupAt + 42), 20);    // start
    EXPECT_EQ(at<std::int32_t>(b, kSetupAt + 46), 2000);  // stop
    EXPECT_EQ(textAt(b, kUnitPathAt, 271), "unit.unt");   // below the program directory: relative
    EXPECT_EQ(textAt(b, kSnapshotPathAt, 271), "");
    EXPECT_EQ(at<std::int32_t>(b, kDriverAt + 8), 2);  // driverCount
    EXPECT_EQ(at<std::int16_t>(b, kDriverAt + 20), 1); // driverConnection
    EXPECT_DOUBLE_EQ(at<double>(b, kBoxAt), 0.03);
    EXPECT_EQ(at<std::int32_t>(b, kBoxAt + 24), 40);
    EXPECT_EQ(at<std::int16_t>(b, kTransientAt + 73), TStepResponse::kToneBurst);
    EXPECT_DOUBLE_EQ(at<double>(b, kTransientAt + 75), 120.0);
    EXPECT_DOUBLE_EQ(at<double>(b, kRoomAt + 70 + 1152 + 7 * 8), 3.25); // listener Z
    EXPECT_EQ(textAt(b, kMeasuredBlockAt + 1, 271), "room.frd");
    EXPECT_EQ(at<std::int16_t>(b, kMeasuredBlockAt + 273), 450);
    EXPECT_EQ(at<std::int16_t>(b, kSheetAt + 12), 600); // normal rectangle left
    EXPECT_EQ(textAt(b, kSheetAt + 20, 600), "Line one\r\nLine two");
    EXPECT_EQ(at<std::int16_t>(b, kFitAt), 10);
    EXPECT_EQ(at<std::int16_t>(b, kFitAt + 2), 250);
    EXPECT_EQ(at<std::uint8_t>(b, kFitAt + 4), 1);
    EXPECT_EQ(at<std::uint8_t>(b, kFitAt + 5), 0);
    EXPECT_EQ(at<std::int16_t>(b, kSplWindowAt + 12), 10);
    EXPECT_EQ(textAt(b, kSplWindowAt + 20, 50), "spl note");
    EXPECT_EQ(textAt(b, kGroupDelayWindowAt + 20, 50), "delay note");
    EXPECT_EQ(textAt(b, kExcursionWindowAt + 20, 50), "excursion note");
    EXPECT_EQ(textAt(b, kImpedanceWindowAt + 20, 50), "impedance note");
    EXPECT_EQ(at<std::uint8_t>(b, kMinimisedAt), 1);
    EXPECT_EQ(textAt(b, kSnapshotWindowAt + 20, 50), "snap note");
    if (c.code == TBassReflexBox::kTypeCode) {
        const auto& port = dynamic_cast<TBassReflexBox&>(*p).port();
        EXPECT_DOUBLE_EQ(at<double>(b, kTypeRecordsAt), port.L);
        EXPECT_EQ(at<std::int32_t>(b, kTypeRecordsAt + 32), 1);
        EXPECT_DOUBLE_EQ(at<double>(b, kTypeRecordsAt + 36), port.fp);
        EXPECT_DOUBLE_EQ(at<double>(b, kTypeRecordsAt + 45), port.flare);
        EXPECT_GT(port.flare, 0.0);
        EXPECT_EQ(textAt(b, kTypeRecordsAt + 53 + 20, 50), "air note");
    }
    EXPECT_EQ(at<std::uint16_t>(b, b.size() - 2), 12345);
}

TEST_P(ProjectFileTypes, AWrongEndMarkerIsRefused) {
    const TypeCase& c = GetParam();
    auto p = designed(c.code);
    const std::string path = dir.file("p.box");
    ASSERT_TRUE(saveAs(*p, path));
    const Bytes good = test::readAll(path);
    const MeasureSetup before = sharedSetup();
    for (const std::uint16_t marker : {0, 12344, 12346, 0x3930, 0xffff}) {
        Bytes bad = good;
        bad[bad.size() - 2] = static_cast<std::uint8_t>(marker & 0xff);
        bad[bad.size() - 1] = static_cast<std::uint8_t>(marker >> 8);
        test::writeAll(path, bad);
        sharedSetup().pointCount = 77; // what the program had before the read
        const MeasureSetup mine = sharedSetup();
        auto q = readBack(c.code, path, false);
        // An empty project, and the program's setup as it was.
        EXPECT_EQ(q->front().unitOk, 0) << marker;
        EXPECT_TRUE(q->projectFileName().empty());
        EXPECT_EQ(sharedSetup().pointCount, mine.pointCount);
        EXPECT_EQ(ui.commandState(cmd::Calculate), CommandState::Greyed);
    }
    sharedSetup() = before;
}

TEST_P(ProjectFileTypes, AFileCutAtEveryLengthIsRefusedAndLeavesAUsableProject) {
    const TypeCase& c = GetParam();
    auto p = designed(c.code);
    const std::string path = dir.file("p.box");
    ASSERT_TRUE(saveAs(*p, path));
    const Bytes good = test::readAll(path);
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
    // The cuts never reach a message: the unit is there and the version is current.
    EXPECT_EQ(ui.messages.size(), messages);
    // The same object reads the whole file afterwards and calculates.
    ASSERT_TRUE(q->ReadProject(path));
    ui.runPosted();
    EXPECT_EQ(q->pointCount(), 60);
    EXPECT_DOUBLE_EQ(q->SPL[10], p->SPL[10]);
}

TEST_P(ProjectFileTypes, OlderVersionsReadWithTheWarningAndTheirDefaults) {
    const TypeCase& c = GetParam();
    auto p = designed(c.code);
    const std::string path = dir.file("p.box");
    ASSERT_TRUE(saveAs(*p, path));
    const Bytes current = test::readAll(path);
    const RoomCabinetSettings defaults;
    const double flare =
        c.code == TBassReflexBox::kTypeCode ? dynamic_cast<TBassReflexBox&>(*p).port().flare : 0;

    for (const int version : {300, 309, 310, 399, 401}) {
        Bytes b = current;
        putI16(b, 4, static_cast<std::int16_t>(version));
        // Before 400 the port record has no flare factor; before 310 the room record has no
        // measured SPL block.
        if (version < 400 && c.code == TBassReflexBox::kTypeCode) {
            const auto flareAt = static_cast<std::ptrdiff_t>(kTypeRecordsAt + 45);
            b.erase(b.begin() + flareAt, b.begin() + flareAt + 8);
        }
        if (version < 310) {
            const auto blockAt = static_cast<std::ptrdiff_t>(kMeasuredBlockAt);
            b.erase(b.begin() + blockAt, b.begin() + blockAt + 292);
        }
        const std::string old = dir.file("old.box");
        test::writeAll(old, b);
        const std::size_t messages = ui.messages.size();
        auto q = readBack(c.code, old);
        ASSERT_EQ(ui.messages.size(), messages + 1) << version;
        EXPECT_EQ(ui.lastMessage().caption, "Old project file");
        EXPECT_EQ(ui.lastMessage().text, kOldFileText);
        EXPECT_EQ(ui.lastMessage().icon, MessageIcon::Exclamation);
        EXPECT_EQ(q->front().unitOk, 1);
        EXPECT_EQ(q->pointCount(), 60);
        EXPECT_DOUBLE_EQ(q->roomCabinet().listenerZ, 3.25);
        if (version < 310) {
            EXPECT_EQ(q->roomCabinet().measuredFile, defaults.measuredFile) << version;
            EXPECT_EQ(q->roomCabinet().transitionFrequency, defaults.transitionFrequency);
        } else {
            EXPECT_EQ(q->roomCabinet().measuredFile, "room.frd") << version;
            EXPECT_EQ(q->roomCabinet().transitionFrequency, 450);
        }
        if (auto* br = dynamic_cast<TBassReflexBox*>(q.get())) {
            EXPECT_DOUBLE_EQ(br->port().flare, version < 400 ? 0.0 : flare) << version;
        }
        EXPECT_EQ(sharedSetup().fileVersion, 400);
        // Written again, it is a current file.
        ASSERT_TRUE(q->Save());
        EXPECT_EQ(at<std::int16_t>(test::readAll(old), 4), 400);
        EXPECT_EQ(test::readAll(old).size(), c.size);
    }

    // Too old: refused without the warning.
    Bytes b = current;
    putI16(b, 4, 299);
    test::writeAll(path, b);
    const std::size_t messages = ui.messages.size();
    readBack(c.code, path, false);
    EXPECT_EQ(ui.messages.size(), messages);
}

TEST_P(ProjectFileTypes, AFailedSaveLeavesThePreviousFileAsItWas) {
    const TypeCase& c = GetParam();
    auto p = designed(c.code);
    const std::string path = dir.file("p.box");
    ASSERT_TRUE(saveAs(*p, path));
    const Bytes before = test::readAll(path);

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
    EXPECT_FALSE(std::filesystem::exists(nowhere));
    EXPECT_EQ(p->projectFileName(), path);
    EXPECT_TRUE(p->isChanged());

    // Once the disk has room again, the same Save works.
    ASSERT_TRUE(p->Save());
    EXPECT_NE(test::readAll(path), before);
    EXPECT_DOUBLE_EQ(at<double>(test::readAll(path), kBoxAt), 0.05);
}

TEST_P(ProjectFileTypes, AnotherTypesFileIsRefused) {
    const TypeCase& c = GetParam();
    const int other = c.code == TClosedBox::kTypeCode ? TBassReflexBox::kTypeCode : TClosedBox::kTypeCode;
    auto p = designed(other);
    const std::string path = dir.file("other.box");
    ASSERT_TRUE(saveAs(*p, path));
    readBack(c.code, path, false);
}

INSTANTIATE_TEST_SUITE_P(Types, ProjectFileTypes,
                         ::testing::Values(TypeCase{"Closed", TClosedBox::kTypeCode, 3761},
                                           TypeCase{"BassReflex", TBassReflexBox::kTypeCode, 3884}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProjectFile, SaveWithoutAFileNameAsksAndCancelKeepsTheChangedMark) {
    auto p = designed(TClosedBox::kTypeCode);
    ASSERT_TRUE(p->projectFileName().empty());
    ui.files.push_back(std::nullopt);
    const std::size_t requests = ui.fileRequests.size();
    EXPECT_FALSE(p->Save());
    ASSERT_EQ(ui.fileRequests.size(), requests + 1);
    EXPECT_EQ(ui.fileRequests.back().mode, FileMode::Save);
    EXPECT_TRUE(p->isChanged());
    EXPECT_EQ(p->frameCaption(), "Harlox 4.00 - Closed box");

    ui.files.push_back(dir.file("named.box"));
    ASSERT_TRUE(p->Save());
    EXPECT_EQ(p->frameCaption(), "Harlox 4.00 - Closed box - named.box");
    EXPECT_EQ(p->projectSelector().rememberedPath, dir.file("named.box"));
}

TEST_F(ProjectFile, AMissingUnitIsReportedAndTheProjectStillOpens) {
    auto p = designed(TBassReflexBox::kTypeCode);
    const std::string path = dir.file("p.box");
    ASSERT_TRUE(saveAs(*p, path));
    std::filesystem::remove(unitPath);
    const std::size_t messages = ui.messages.size();
    auto q = readBack(TBassReflexBox::kTypeCode, path);
    ASSERT_EQ(ui.messages.size(), messages + 1);
    EXPECT_EQ(ui.lastMessage().caption, "Speaker unit load");
    EXPECT_EQ(ui.lastMessage().text,
              "Could not open file : unit.unt\nCheck if path and filename is correct.");
    EXPECT_EQ(q->front().unitOk, 0);
    EXPECT_EQ(q->frontUnitPath(), "unit.unt");
    EXPECT_EQ(ui.commandState(cmd::Calculate), CommandState::Greyed);
    EXPECT_FALSE(q->isChanged());
    // The rest of the project is there.
    EXPECT_DOUBLE_EQ(q->boxElement()->Vb, 0.03);
    EXPECT_EQ(q->userNote(), "Line one\r\nLine two");

    // An incomplete unit in its place gets the other warning.
    TSpkData unit;
    unit.SetDefault();
    unit.Rms = 0;
    ASSERT_TRUE(unit.Save(unitPath));
    readBack(TBassReflexBox::kTypeCode, path);
    EXPECT_EQ(ui.lastMessage().text, "Too few speaker parameters are defined");
}

TEST_F(ProjectFile, UnitsOutsideTheProgramDirectoryAreStoredWithTheirFullPath) {
    test::TempDir elsewhere;
    TSpkData unit;
    unit.SetDefault();
    const std::string outside = elsewhere.file("far.unt");
    ASSERT_TRUE(unit.Save(outside));
    TClosedBox p(ui);
    ui.files.push_back(outside);
    ASSERT_TRUE(p.LoadDriverUnit());
    p.Calculate(0);
    const std::string path = dir.file("p.box");
    ASSERT_TRUE(saveAs(p, path));
    EXPECT_EQ(textAt(test::readAll(path), kUnitPathAt, 271), outside);

    // Moved together with the program, a relative name still finds its unit.
    auto q = designed(TClosedBox::kTypeCode);
    ASSERT_TRUE(saveAs(*q, path));
    test::TempDir moved;
    std::filesystem::copy_file(unitPath, moved.file("unit.unt"));
    std::filesystem::copy_file(path, moved.file("p.box"));
    setProgramDirectory(moved.path());
    std::filesystem::remove(unitPath);
    const std::size_t messages = ui.messages.size();
    auto r = readBack(TClosedBox::kTypeCode, moved.file("p.box"));
    EXPECT_EQ(ui.messages.size(), messages);
    EXPECT_EQ(r->front().unitOk, 1);
    EXPECT_EQ(r->unitSelector().rememberedPath, moved.file("unit.unt"));
}

TEST_F(ProjectFile, TheSnapshotIsReadFromItsPathAndForgottenWhenMissing) {
    auto p = designed(TClosedBox::kTypeCode);
    p->snapshot().setTitle("Variants");
    ui.files.push_back(dir.file("snap.snp"));
    ASSERT_TRUE(p->snapshot().SaveAs());
    ui.runPosted();
    const std::string path = dir.file("p.box");
    ASSERT_TRUE(saveAs(*p, path));
    EXPECT_EQ(textAt(test::readAll(path), kSnapshotPathAt, 271), "snap.snp");

    auto q = readBack(TClosedBox::kTypeCode, path);
    EXPECT_EQ(q->snapshot().path(), "snap.snp");
    EXPECT_EQ(q->snapshot().title(), "Variants");

    std::filesystem::remove(dir.file("snap.snp"));
    auto r = readBack(TClosedBox::kTypeCode, path);
    EXPECT_EQ(r->snapshot().path(), "");
    EXPECT_EQ(r->snapshot().title(), "Snapshot");
    EXPECT_EQ(r->front().unitOk, 1);
}

TEST_F(ProjectFile, AnUnreadableFileIsRefused) {
    auto q = make(TClosedBox::kTypeCode);
    EXPECT_FALSE(q->ReadProject(dir.file("missing.box")));
    EXPECT_FALSE(q->ReadProject(dir.path())); // a folder
    EXPECT_TRUE(ui.messages.empty());
}

} // namespace
} // namespace harlox
