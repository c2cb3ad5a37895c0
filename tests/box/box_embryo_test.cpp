#include "box/box_embryo.h"

#include "box/bandpass_box.h"
#include "box/bass_reflex_vel_box.h"
#include "box/closed_box.h"
#include "box/room_cabinet.h"
#include "box_test_support.h"
#include "core/command_ids.h"
#include "output/curve_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace harlox {
namespace {

class BoxEmbryoTest : public test::BoxTest {
protected:
    std::string writeUnit(const std::string& name, bool complete) {
        TSpkData unit;
        unit.SetDefault();
        if (!complete) unit.Rms = 0;
        const std::string path = dir.file(name);
        EXPECT_TRUE(unit.Save(path));
        return path;
    }
    void expectStates(std::initializer_list<int> ids, CommandState want) {
        for (const int id : ids)
            EXPECT_EQ(ui.commandState(id), want) << id;
    }
};

TEST_F(BoxEmbryoTest, AProjectIsUsableOnlyAfterACompleteUnitIsLoaded) {
    TClosedBox box(ui);
    ui.files.push_back(dir.file("missing.unt"));
    EXPECT_FALSE(box.LoadDriverUnit());
    EXPECT_EQ(ui.lastMessage().caption, "Speaker unit load");
    EXPECT_EQ(ui.lastMessage().text, "Could not open file.\nCheck if device is ready.");
    ui.files.push_back(writeUnit("incomplete.unt", false));
    EXPECT_FALSE(box.LoadDriverUnit());
    EXPECT_EQ(ui.lastMessage().text, "Too few speaker parameters are defined");
    EXPECT_EQ(ui.commandState(cmd::Calculate), CommandState::Greyed);

    // The box dialog is open, so Box stays greyed; the posted notification calculates.
    box.setDialogOpen(ProjectDialog::Box, true);
    ui.files.push_back(writeUnit("good.unt", true));
    EXPECT_TRUE(box.LoadDriverUnit());
    ui.runPosted();
    EXPECT_TRUE(box.dataSheetWritten());
    expectStates({cmd::Calculate, cmd::Save, cmd::ExportSpl}, CommandState::Enabled);
    expectStates({cmd::Box, cmd::RearDriverConfig}, CommandState::Greyed);
    box.Reset();
    expectStates({cmd::Calculate, cmd::Save, cmd::ExportSpl, cmd::Snapshot}, CommandState::Greyed);
    EXPECT_FALSE(box.dataSheetWritten());
}

// A type with a rear configuration calculates only when both units are complete; each load
// keeps its own path.
TEST_F(BoxEmbryoTest, TheReflexBandpassNeedsBothUnits) {
    TBassReflexVelBox box(ui);
    ui.files.push_back(writeUnit("front.unt", true));
    EXPECT_TRUE(box.LoadDriverUnit());
    ui.runPosted();
    EXPECT_FALSE(box.dataSheetWritten());
    expectStates({cmd::Calculate}, CommandState::Greyed);
    expectStates({cmd::RearDriverConfig, cmd::Box}, CommandState::Enabled);

    ui.files.push_back(writeUnit("rear-incomplete.unt", false));
    EXPECT_FALSE(box.LoadRearDriverUnit());
    EXPECT_EQ(ui.lastMessage().text, "Too few speaker parameters are defined");
    ui.runPosted();
    expectStates({cmd::Calculate}, CommandState::Greyed);

    ui.files.push_back(writeUnit("rear.unt", true));
    EXPECT_TRUE(box.LoadRearDriverUnit());
    ui.runPosted();
    EXPECT_TRUE(box.dataSheetWritten());
    expectStates({cmd::Calculate}, CommandState::Enabled);
    EXPECT_EQ(box.frontUnitPath(), dir.file("front.unt"));
    EXPECT_EQ(box.rearUnitPath(), dir.file("rear.unt"));
}

TEST_F(BoxEmbryoTest, DriverCountsFollowTheType) {
    TClosedBox closed(ui);
    TBP8Box bandpass4(ui);
    for (int n = 0; n <= 10; ++n) {
        EXPECT_EQ(closed.driverCountAllowed(n), n >= 1 && n <= 9) << n;
        EXPECT_EQ(bandpass4.driverCountAllowed(n), n >= 2 && n <= 8 && n % 2 == 0) << n;
    }
    EXPECT_EQ(bandpass4.front().driverCount, 2); // a new one starts with two
}

TEST_F(BoxEmbryoTest, APostedNotificationNeverReachesADestroyedProject) {
    {
        TClosedBox box(ui);
        ui.files.push_back(writeUnit("good.unt", true));
        EXPECT_TRUE(box.LoadDriverUnit());
    }
    EXPECT_EQ(ui.posted.size(), 1u);
    ui.runPosted(); // must not touch the destroyed project
}

TEST_F(BoxEmbryoTest, ChangeNotificationCodes) {
    TClosedBox box(ui);
    box.front().SetDefaultUnit();
    box.Calculate(0);
    const auto spl = box.SPL;

    // With calculate-immediately off a change only marks the project changed.
    sharedSetup().calculateImmediately = 0;
    ui.grey(cmd::Calculate);
    box.setVb(0.05);
    box.ChangeNotification(1); // leaves the Calculate command alone
    EXPECT_EQ(ui.commandState(cmd::Calculate), CommandState::Greyed);
    box.ChangeNotification(0);
    EXPECT_EQ(ui.commandState(cmd::Calculate), CommandState::Enabled);
    EXPECT_TRUE(box.isChanged());
    EXPECT_EQ(box.dataSheetLines()[3], " Vol\t\t10.00 l");
    EXPECT_EQ(box.SPL, spl);

    box.ChangeNotification(TBoxEmbryo::kChangeDataSheetOnly);
    EXPECT_EQ(box.dataSheetLines()[3], " Vol\t\t50.00 l");
    EXPECT_EQ(box.SPL, spl);

    sharedSetup().calculateImmediately = 1;
    box.ChangeNotification(0);
    EXPECT_NE(box.SPL, spl);
}

TEST_F(BoxEmbryoTest, TheCmsNonlinearityRunsExactlyTwoPasses) {
    TClosedBox box(ui);
    box.front().SetDefaultUnit();
    sharedSetup().setUg(20);
    box.Calculate(0);
    EXPECT_EQ(box.lastPassCount(), 1);
    box.front().cmsNonlinear = 1;
    box.Calculate(0);
    EXPECT_EQ(box.lastPassCount(), 2);
    box.front().Xmax = 0; // no limit given: one pass
    box.Calculate(0);
    EXPECT_EQ(box.lastPassCount(), 1);
}

// A closed box whose pressure's phase grows by a fixed step per point, to test the group
// delay alone.
class PhaseBox : public TClosedBox {
public:
    PhaseBox(UiHost& ui, double stepDeg) : TClosedBox(ui), step_(stepDeg) { front().SetDefaultUnit(); }

protected:
    void ComputePressure() override {
        for (int i = 0; i < grid().count; ++i)
            P[static_cast<std::size_t>(i)] = std::polar(2.0, step_ * i * kPiExact / 180);
    }

private:
    double step_;
};

// The spike filter applied with imported data is checked against the reference in the
// closed and bass reflex tests.
TEST_F(BoxEmbryoTest, GroupDelayTakesTheShortWayAcrossThePhaseSeam) {
    // Steps of 170 degrees change the phase by 340 over two points: counted as -20.
    for (const double stepDeg : {-10.0, 10.0, -170.0, 170.0}) {
        PhaseBox box(ui, stepDeg);
        box.Calculate(0);
        const auto n = static_cast<std::size_t>(box.pointCount());
        const auto& f = sharedSetup().grid.f;
        const double change = std::remainder(2 * stepDeg, 360.0);
        for (std::size_t k = 1; k < n - 1; ++k)
            EXPECT_NEAR(box.groupDelay[k], change * -1000.0 / 360.0 / (f[k + 1] - f[k - 1]), 1e-9);
        EXPECT_EQ(box.groupDelay[0], box.groupDelay[1]);
        EXPECT_EQ(box.groupDelay[n - 1], box.groupDelay[n - 2]);
    }
}

TEST_F(BoxEmbryoTest, CanCloseKeepsTheProjectWhenItsSaveIsCancelled) {
    TClosedBox box(ui);
    ui.answers = {MessageResult::Yes};
    ui.files.push_back(std::nullopt);
    EXPECT_FALSE(box.CanClose());
    ui.answers = {MessageResult::No};
    EXPECT_TRUE(box.CanClose());
    box.ChangeNotification(TBoxEmbryo::kChangeSaved);
    EXPECT_TRUE(box.CanClose()); // unchanged: no question
    EXPECT_EQ(ui.messages.size(), 2u);
}

// The curve files themselves are checked where the exports are reached from the command line.
TEST_F(BoxEmbryoTest, ExportRefusesAnUnknownExtensionAndCurvesThatDoNotExistYet) {
    TClosedBox box(ui);
    box.front().SetDefaultUnit();
    box.Calculate(0);
    ui.files.push_back(dir.file("gd.fm"));
    ASSERT_TRUE(box.Export(5));
    ui.files.push_back(dir.file("bad.txt"));
    EXPECT_FALSE(box.Export(0));
    EXPECT_EQ(ui.lastMessage().caption, "Export error");
    EXPECT_EQ(ui.lastMessage().text, "No valid export format selected");
    EXPECT_EQ(box.exportFormat(), static_cast<int>(CurveFormat::Fm)); // the last good one stays

    // A closed box has no standing-wave curve.
    const auto requests = ui.fileRequests.size();
    EXPECT_FALSE(box.Export(2));
    EXPECT_EQ(ui.fileRequests.size(), requests);
}

// Kind 1 writes the room and cabinet curve as the window shows it: level and phase on the grid.
TEST_F(BoxEmbryoTest, ExportOfTheRoomCurveCarriesItsTitleLevelAndPhase) {
    TClosedBox box(ui);
    box.front().SetDefaultUnit();
    box.Calculate(0);
    const TRoomCabinet& room = box.roomCabinet();
    const int n = box.pointCount();
    ASSERT_GT(n, 0);
    const std::string path = dir.file("room.gdt");
    ui.files.push_back(path);
    ASSERT_TRUE(box.Export(static_cast<int>(BoxExportKind::SplRoom)));
    EXPECT_EQ(box.exportKind(), 1);
    EXPECT_EQ(box.exportFormat(), static_cast<int>(CurveFormat::Gdt));

    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(n) + 8);
    EXPECT_EQ(lines[4], "* Number of Points : " + std::to_string(n) + "\r");
    EXPECT_EQ(lines[5], "*  Graph 1 > Acoustic on Axis Response in Room/Cabinet\r");
    EXPECT_EQ(lines[6], "*    Hz\t\tdB\t\tdeg\r");
    for (int i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        std::istringstream row(lines[k + 7]);
        double f = 0, db = 0, deg = 0;
        row >> f >> db >> deg;
        EXPECT_NEAR(f, TMeasureSetupObject::grid().f[k], 1e-6);
        EXPECT_NEAR(db, room.roomSpl[k], 1e-6);
        EXPECT_NEAR(deg, room.roomPhase[k], 1e-6);
    }
    EXPECT_EQ(lines.back(), "* End of LEAP GDT File.\r");
    // The room curve is not the free-air one.
    EXPECT_NE(room.roomSpl[static_cast<std::size_t>(n / 2)], box.SPL[static_cast<std::size_t>(n / 2)]);
}

} // namespace
} // namespace harlox
