#include "box/box_embryo.h"

#include "box/closed_box.h"
#include "box_test_support.h"
#include "core/command_ids.h"
#include "output/curve_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <functional>

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

const std::initializer_list<int> kProjectCommands = {
    cmd::Calculate,       cmd::DriverConfig,  cmd::Box,         cmd::MeasSetup,       cmd::Save,
    cmd::SaveAs,          cmd::PrintWindow,   cmd::CopyWindow,  cmd::UserNote,        cmd::ExportGroupDelay,
    cmd::ExportImpedance, cmd::ExportSplRoom, cmd::ExportSpl,   cmd::ExportTransient, cmd::RearDriverConfig,
    cmd::PrintDiagrams,   cmd::TransientResp, cmd::RoomCabinet, cmd::Snapshot,
};

TEST_F(BoxEmbryoTest, ANewProjectIsUsableOnlyAfterACompleteUnitIsLoaded) {
    TClosedBox box(ui);
    expectStates(kProjectCommands, CommandState::Greyed);
    EXPECT_EQ(ui.commandState(cmd::ExportSplWaveModes), CommandState::Removed);
    box.Calculate(0); // no unit: nothing to calculate
    EXPECT_FALSE(box.dataSheetWritten());

    ui.files.push_back(std::nullopt); // Cancel
    EXPECT_FALSE(box.LoadDriverUnit());
    EXPECT_TRUE(ui.messages.empty());

    ui.files.push_back(dir.file("missing.unt"));
    EXPECT_FALSE(box.LoadDriverUnit());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().caption, "Speaker unit load");
    EXPECT_EQ(ui.lastMessage().text, "Could not open file.\nCheck if device is ready.");

    ui.files.push_back(writeUnit("incomplete.unt", false));
    EXPECT_FALSE(box.LoadDriverUnit());
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.lastMessage().caption, "Speaker unit load");
    EXPECT_EQ(ui.lastMessage().text, "Too few speaker parameters are defined");
    expectStates({cmd::Calculate, cmd::Box}, CommandState::Greyed);

    // The box dialog is open, so Box stays greyed; the posted notification calculates.
    box.setDialogOpen(ProjectDialog::Box, true);
    ui.files.push_back(writeUnit("good.unt", true));
    EXPECT_TRUE(box.LoadDriverUnit());
    expectStates({cmd::Calculate, cmd::DriverConfig, cmd::MeasSetup, cmd::Snapshot}, CommandState::Enabled);
    expectStates({cmd::Box, cmd::Save}, CommandState::Greyed);
    ui.runPosted();
    EXPECT_TRUE(box.dataSheetWritten());
    expectStates({cmd::Save, cmd::UserNote, cmd::ExportSpl, cmd::ExportTransient}, CommandState::Enabled);
    expectStates({cmd::Box, cmd::RearDriverConfig}, CommandState::Greyed);

    box.Reset();
    expectStates(kProjectCommands, CommandState::Greyed);
    EXPECT_FALSE(box.dataSheetWritten());
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
    box.ChangeNotification(TBoxEmbryo::kChangeSaved);
    EXPECT_FALSE(box.isChanged());
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

// A closed box whose pressure has a prescribed phase, to test the group delay alone.
class PhaseBox : public TClosedBox {
public:
    PhaseBox(UiHost& ui, std::function<double(int)> phaseDeg) : TClosedBox(ui), phase_(std::move(phaseDeg)) {
        front().SetDefaultUnit();
    }

protected:
    void ComputePressure() override {
        for (int i = 0; i < grid().count; ++i)
            P[static_cast<std::size_t>(i)] = std::polar(2.0, phase_(i) * kPiExact / 180);
    }

private:
    std::function<double(int)> phase_;
};

double wrap(double deg) {
    return std::remainder(deg, 360.0);
}

// The delay over two steps of the grid from a phase change in degrees.
double delayAt(std::size_t k, double deltaDeg) {
    const FrequencyGrid& g = sharedSetup().grid;
    return deltaDeg * -1000.0 / 360.0 / (g.f[k + 1] - g.f[k - 1]);
}

// The spike filter applied with imported data is checked against the reference in the
// closed and bass reflex tests.
TEST_F(BoxEmbryoTest, GroupDelayTakesTheShortWayAcrossThePhaseSeam) {
    // Steps of 170 degrees change the phase by 340 over two points: counted as -20.
    for (const double stepDeg : {-10.0, 10.0, -170.0, 170.0}) {
        PhaseBox box(ui, [stepDeg](int i) { return wrap(stepDeg * i); });
        box.Calculate(0);
        const auto n = static_cast<std::size_t>(box.pointCount());
        for (std::size_t k = 1; k < n - 1; ++k)
            EXPECT_NEAR(box.groupDelay[k], delayAt(k, wrap(2 * stepDeg)), 1e-9) << stepDeg << " " << k;
        EXPECT_EQ(box.groupDelay[0], box.groupDelay[1]);
        EXPECT_EQ(box.groupDelay[n - 1], box.groupDelay[n - 2]);
    }
}

TEST_F(BoxEmbryoTest, CanCloseAsksOnlyWhenChanged) {
    TClosedBox box(ui);
    ui.answers = {MessageResult::Cancel};
    EXPECT_FALSE(box.CanClose());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().caption, "Box project");
    EXPECT_EQ(ui.lastMessage().text, "Project has been changed.\r\nSave project ?");
    EXPECT_EQ(ui.lastMessage().buttons, MessageButtons::YesNoCancel);
    ui.answers = {MessageResult::No};
    EXPECT_TRUE(box.CanClose());
    // Yes saves; a save that is cancelled keeps the project.
    ui.answers = {MessageResult::Yes};
    ui.files.push_back(std::nullopt);
    EXPECT_FALSE(box.CanClose());
    EXPECT_TRUE(box.isChanged());
    ui.answers = {MessageResult::Yes};
    ui.files.push_back(dir.file("saved.box"));
    EXPECT_TRUE(box.CanClose());
    EXPECT_FALSE(box.isChanged());
    EXPECT_TRUE(box.CanClose()); // unchanged: no question
    EXPECT_EQ(ui.messages.size(), 4u);
}

TEST_F(BoxEmbryoTest, DerivedValuesOfTheConfiguration) {
    TClosedBox box(ui);
    TSpeakerObject& d = box.front();
    d.SetDefaultUnit();
    ASSERT_TRUE(d.setDriverCount(2)); // series: Rg counts half per driver
    d.setIsobaric(true);              // separate sources
    ASSERT_TRUE(d.setExtraMass(0.0042));
    sharedSetup().Rg = 0.8;
    box.ComputeDerivedValues();
    const double m = (0.0158 + 0.0042) / 0.0158;
    const double k = std::sqrt(1 / m);
    EXPECT_DOUBLE_EQ(box.effectiveVas(), 2 * 0.0329 / 2);
    EXPECT_DOUBLE_EQ(box.effectiveFs(), 34 * k);
    const double qes = k * m * 0.37 * (6.1 + 0.8 * 0.5) / 6.1;
    EXPECT_NEAR(box.effectiveQts(), 1 / (1 / (k * m * 1.68) + 1 / qes), 1e-12);
}

TEST_F(BoxEmbryoTest, ExportWritesTheChosenCurveAndRemembersTheFormat) {
    TClosedBox box(ui);
    box.front().SetDefaultUnit();
    box.Calculate(0);
    // Each file holds its own curve in the format its extension names.
    const auto expectFile = [&](const char* name, ExportCurve c, const double* y1, const double* y2,
                                CurveFormat format) {
        const CurveExport data = makeCurveExport(c, box.pointCount(), sharedSetup().grid.f.data(), y1, y2);
        const std::vector<std::uint8_t> bytes = test::readAll(dir.file(name));
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), curveFileText(data, format, std::tm{})) << name;
        EXPECT_EQ(box.exportFormat(), static_cast<int>(format));
    };
    ui.files.push_back(dir.file("spl.frd"));
    ASSERT_TRUE(box.Export(0));
    expectFile("spl.frd", ExportCurve::Spl, box.SPL.data(), box.splPhase.data(), CurveFormat::Frd);
    ui.files.push_back(dir.file("imp.ZMA"));
    ASSERT_TRUE(box.Export(4));
    expectFile("imp.ZMA", ExportCurve::InputImpedance, box.front().impedance.data(),
               box.impedancePhase.data(), CurveFormat::Zma);
    ui.files.push_back(dir.file("gd.fm"));
    ASSERT_TRUE(box.Export(5));
    expectFile("gd.fm", ExportCurve::GroupDelay, box.groupDelay.data(), nullptr, CurveFormat::Fm);

    ui.files.push_back(dir.file("bad.txt"));
    EXPECT_FALSE(box.Export(0));
    EXPECT_EQ(ui.lastMessage().caption, "Export error");
    EXPECT_EQ(ui.lastMessage().text, "No valid export format selected");
    EXPECT_EQ(box.exportFormat(), 4);

    // The room, transient and standing-wave curves do not exist yet.
    const auto requests = ui.fileRequests.size();
    for (const int kind : {1, 2, 3})
        EXPECT_FALSE(box.Export(kind));
    EXPECT_EQ(ui.fileRequests.size(), requests);
}

} // namespace
} // namespace harlox
