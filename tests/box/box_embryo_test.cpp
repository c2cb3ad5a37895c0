#include "box/box_embryo.h"

#include "box/box_object.h"
#include "box/closed_box.h"
#include "box_test_support.h"
#include "core/command_ids.h"
#include "core/format.h"
#include "output/curve_writer.h"
#include "scripted_ui_host.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>

namespace harlox {
namespace {

class BoxEmbryoTest : public ::testing::Test {
protected:
    void SetUp() override { test::resetSharedState(); }
    void TearDown() override { test::resetSharedState(); }

    std::string writeUnit(const std::string& name, bool complete) {
        TSpkData unit;
        unit.SetDefault();
        if (!complete) unit.Rms = 0;
        const std::string path = dir.file(name);
        EXPECT_TRUE(unit.Save(path));
        return path;
    }

    test::ScriptedUiHost ui;
    test::TempDir dir;
};

constexpr int kGreyedOnNewProject[] = {
    cmd::Calculate,       cmd::DriverConfig,  cmd::Box,         cmd::MeasSetup,       cmd::Save,
    cmd::SaveAs,          cmd::PrintWindow,   cmd::CopyWindow,  cmd::UserNote,        cmd::ExportGroupDelay,
    cmd::ExportImpedance, cmd::ExportSplRoom, cmd::ExportSpl,   cmd::ExportTransient, cmd::RearDriverConfig,
    cmd::PrintDiagrams,   cmd::TransientResp, cmd::RoomCabinet, cmd::Snapshot,
};

// ---- commands ------------------------------------------------------------------------------

TEST_F(BoxEmbryoTest, ANewProjectIsUsableOnlyAfterACompleteUnitIsLoaded) {
    TClosedBox box(ui);
    for (const int id : kGreyedOnNewProject)
        EXPECT_EQ(ui.commandState(id), CommandState::Greyed) << id;
    EXPECT_EQ(ui.commandState(cmd::ExportSplWaveModes), CommandState::Removed);
    EXPECT_EQ(box.projectTitle(), "Harlox 4.00 - Closed box");
    EXPECT_EQ(box.frameCaption(), box.projectTitle());
    EXPECT_TRUE(box.isChanged());

    // Cancel in the selector does nothing.
    ui.files.push_back(std::nullopt);
    EXPECT_FALSE(box.LoadDriverUnit());
    EXPECT_TRUE(ui.messages.empty());
    ASSERT_EQ(ui.fileRequests.size(), 1u);
    EXPECT_EQ(ui.fileRequests[0].filter, "Unit files (*.unt)|*.unt|All files (*.*)|*.*|");
    EXPECT_EQ(box.unitSelector().defaultExtension, "unt");

    // A file that cannot be read.
    ui.files.push_back(dir.file("missing.unt"));
    EXPECT_FALSE(box.LoadDriverUnit());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().caption, "Speaker unit load");
    EXPECT_EQ(ui.lastMessage().text, "Could not open file.\nCheck if device is ready.");
    EXPECT_EQ(ui.lastMessage().icon, MessageIcon::Exclamation);

    // An incomplete unit: the warning, and Calculate stays greyed.
    ui.files.push_back(writeUnit("incomplete.unt", false));
    EXPECT_FALSE(box.LoadDriverUnit());
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.lastMessage().caption, "Speaker unit load");
    EXPECT_EQ(ui.lastMessage().text, "Too few speaker parameters are defined");
    EXPECT_EQ(ui.commandState(cmd::Calculate), CommandState::Greyed);
    EXPECT_EQ(ui.commandState(cmd::Box), CommandState::Greyed);
    ui.runPosted();
    EXPECT_FALSE(box.dataSheetWritten());
    EXPECT_EQ(ui.commandState(cmd::Calculate), CommandState::Greyed);

    // A complete unit: the commands come on (the box dialog is open, so Box stays greyed)
    // and the posted notification calculates.
    box.setDialogOpen(ProjectDialog::Box, true);
    ui.files.push_back(writeUnit("good.unt", true));
    EXPECT_TRUE(box.LoadDriverUnit());
    EXPECT_EQ(ui.messages.size(), 2u);
    for (const int id : {cmd::Calculate, cmd::DriverConfig, cmd::DriverEdit, cmd::MeasSetup,
                         cmd::TransientResp, cmd::RoomCabinet, cmd::Snapshot})
        EXPECT_EQ(ui.commandState(id), CommandState::Enabled) << id;
    EXPECT_EQ(ui.commandState(cmd::Box), CommandState::Greyed);
    EXPECT_EQ(ui.commandState(cmd::Save), CommandState::Greyed);
    EXPECT_EQ(box.frontUnitPath(), dir.file("good.unt"));
    EXPECT_FALSE(box.dataSheetWritten());
    ui.runPosted();
    EXPECT_TRUE(box.dataSheetWritten());
    EXPECT_GT(box.SPL[0], 0.0);
    for (const int id : {cmd::Save, cmd::SaveAs, cmd::PrintWindow, cmd::CopyWindow, cmd::UserNote,
                         cmd::PrintDiagrams, cmd::ExportSpl, cmd::ExportImpedance, cmd::ExportGroupDelay,
                         cmd::ExportSplRoom, cmd::ExportTransient})
        EXPECT_EQ(ui.commandState(id), CommandState::Enabled) << id;
    EXPECT_EQ(ui.commandState(cmd::ExportSplWaveModes), CommandState::Removed);
    EXPECT_EQ(ui.commandState(cmd::Box), CommandState::Greyed);
    EXPECT_EQ(ui.commandState(cmd::RearDriverConfig), CommandState::Greyed);
    EXPECT_FALSE(ui.waitCursor);

    // Reset takes it all back.
    box.Reset();
    for (const int id : kGreyedOnNewProject)
        EXPECT_EQ(ui.commandState(id), CommandState::Greyed) << id;
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

TEST_F(BoxEmbryoTest, WithCalculateImmediatelyOffAChangeOnlyMarksTheProjectChanged) {
    TClosedBox box(ui);
    box.front().SetDefaultUnit();
    box.Calculate(0);
    box.ChangeNotification(TBoxEmbryo::kChangeSaved);
    EXPECT_FALSE(box.isChanged());
    const auto spl = box.SPL;

    sharedSetup().calculateImmediately = 0;
    box.setVb(0.05);
    box.ChangeNotification(0);
    EXPECT_TRUE(box.isChanged());
    EXPECT_EQ(box.dataSheetLines()[3], " Vol\t\t10.00 l");
    EXPECT_EQ(box.SPL, spl);

    // Code 2 rewrites the data sheet only.
    box.ChangeNotification(TBoxEmbryo::kChangeDataSheetOnly);
    EXPECT_EQ(box.dataSheetLines()[3], " Vol\t\t50.00 l");
    EXPECT_EQ(box.SPL, spl);

    sharedSetup().calculateImmediately = 1;
    box.ChangeNotification(0);
    EXPECT_NE(box.SPL, spl);
}

TEST_F(BoxEmbryoTest, ChangeNotificationsKeepTheCalculateCommandInStep) {
    TClosedBox box(ui);
    box.front().SetDefaultUnit();
    ui.grey(cmd::Calculate);
    box.ChangeNotification(1); // codes 1 and 2 leave the command alone
    EXPECT_EQ(ui.commandState(cmd::Calculate), CommandState::Greyed);
    box.ChangeNotification(0);
    EXPECT_EQ(ui.commandState(cmd::Calculate), CommandState::Enabled);
    sharedSetup().hidePhase = 1;
    box.ChangeNotification(5);
    EXPECT_FALSE(box.splWindow().phaseShown());
}

TEST_F(BoxEmbryoTest, TheCmsNonlinearityRunsExactlyTwoPasses) {
    TClosedBox box(ui);
    box.front().SetDefaultUnit();
    sharedSetup().setUg(20);
    box.Calculate(0);
    EXPECT_EQ(box.lastPassCount(), 1);
    const auto linear = box.front().excursion;

    box.front().cmsNonlinear = 1;
    box.Calculate(0);
    EXPECT_EQ(box.lastPassCount(), 2);
    // The driver adapted between the passes: the suspension stiffens at large excursions.
    EXPECT_LT(box.front().excursion[0], linear[0]);

    box.front().Xmax = 0; // no limit given: one pass
    box.Calculate(0);
    EXPECT_EQ(box.lastPassCount(), 1);
}

TEST_F(BoxEmbryoTest, BlLimitingCompressesTheExcursionBeyondXmax) {
    TClosedBox box(ui);
    box.front().SetDefaultUnit();
    sharedSetup().setUg(40);
    box.Calculate(0);
    const auto free = box.front().excursion;
    const auto spl = box.SPL;
    box.front().blNonlinear = 1;
    box.Calculate(0);
    int limited = 0;
    for (int i = 0; i < box.pointCount(); ++i) {
        const auto k = static_cast<std::size_t>(i);
        if (free[k] > 11.0) {
            // x' = x·sqrt(Xmax / x): still beyond Xmax, but less so; the sound drops alike.
            ++limited;
            EXPECT_NEAR(box.front().excursion[k], std::sqrt(11.0 * free[k]), 1e-9 * free[k]);
            EXPECT_NEAR(box.SPL[k], spl[k] + 10 * std::log10(11.0 / free[k]), 1e-9);
        } else {
            EXPECT_EQ(box.front().excursion[k], free[k]);
        }
    }
    EXPECT_GT(limited, 3);
}

TEST_F(BoxEmbryoTest, NothingIsCalculatedWithoutACompleteUnit) {
    TClosedBox box(ui);
    box.Calculate(0);
    EXPECT_FALSE(box.dataSheetWritten());
    EXPECT_EQ(box.lastPassCount(), 0);
}

TEST_F(BoxEmbryoTest, WindowsFollowTheGridAndTheSetup) {
    TClosedBox box(ui);
    EXPECT_EQ(box.splWindow().title(), "Free air SPL at 1m distance");
    EXPECT_EQ(box.splWindow().yUnit(), "dB");
    EXPECT_EQ(box.excursionWindow().title(), "Cone excursion");
    EXPECT_EQ(box.excursionWindow().yUnit(), "mm p-p");
    EXPECT_EQ(box.excursionWindow().curve(0).label, "Driver unit");
    EXPECT_EQ(box.impedanceWindow().title(), "Impedance");
    EXPECT_EQ(box.impedanceWindow().yUnit(), "ohm");
    EXPECT_EQ(box.groupDelayWindow().title(), "Group delay");
    EXPECT_EQ(box.groupDelayWindow().yUnit(), "ms");
    ASSERT_EQ(box.splWindow().curveCount(), 2);
    EXPECT_EQ(box.splWindow().curve(0).label, "Total");
    EXPECT_EQ(box.splWindow().curve(0).pen, (Pen{PenColor::Black, PenStyle::Thick}));
    EXPECT_EQ(box.splWindow().curve(0).y, box.SPL.data());
    EXPECT_EQ(box.splWindow().curve(1).label, "Target");
    EXPECT_EQ(box.splWindow().curve(1).pen.style, PenStyle::Dash);
    EXPECT_EQ(box.splWindow().phase(), box.splPhase.data());
    EXPECT_EQ(box.impedanceWindow().phase(), box.impedancePhase.data());

    box.front().SetDefaultUnit();
    sharedSetup().pointCount = 77;
    sharedSetup().rangeDb = 40;
    box.Calculate(0);
    EXPECT_EQ(box.pointCount(), 77);
    EXPECT_EQ(box.splWindow().pointCount(), 77);
    EXPECT_EQ(box.groupDelayWindow().pointCount(), 77);
    EXPECT_EQ(box.splWindow().fixedYRange(), 40.0);
    sharedSetup().autorange = 1;
    box.Calculate(0);
    EXPECT_EQ(box.splWindow().fixedYRange(), 0.0);
}

// ---- group delay ---------------------------------------------------------------------------

// A closed box whose pressure has a prescribed phase, to test the response steps alone.
class PhaseBox : public TClosedBox {
public:
    PhaseBox(UiHost& ui, std::function<double(int)> phaseDeg) : TClosedBox(ui), phase_(std::move(phaseDeg)) {}

protected:
    void ComputePressure() override {
        for (int i = 0; i < grid().count; ++i)
            P[static_cast<std::size_t>(i)] = std::polar(2.0, phase_(i) * kPiExact / 180);
    }

private:
    std::function<double(int)> phase_;
};

double wrap(double deg) {
    while (deg > 180)
        deg -= 360;
    while (deg <= -180)
        deg += 360;
    return deg;
}

TEST_F(BoxEmbryoTest, GroupDelayTakesTheShortWayAcrossThePhaseSeam) {
    const FrequencyGrid& g = sharedSetup().grid;
    for (const double stepDeg : {-10.0, 10.0, -170.0, 170.0}) {
        PhaseBox box(ui, [stepDeg](int i) { return wrap(stepDeg * i); });
        box.front().SetDefaultUnit();
        box.Calculate(0);
        const int n = box.pointCount();
        for (int i = 1; i < n - 1; ++i) {
            const auto k = static_cast<std::size_t>(i);
            // Two steps: a change of 2·step, or of 2·step minus a full turn beyond 180.
            const double d = wrap(2 * stepDeg);
            EXPECT_NEAR(box.groupDelay[k], d * -1000.0 / 360.0 / (g.f[k + 1] - g.f[k - 1]), 1e-9)
                << stepDeg << " " << i;
        }
        EXPECT_EQ(box.groupDelay[0], box.groupDelay[1]);
        EXPECT_EQ(box.groupDelay[static_cast<std::size_t>(n - 1)],
                  box.groupDelay[static_cast<std::size_t>(n - 2)]);
    }
}

TEST_F(BoxEmbryoTest, MinusThreeHundredFortyDegreesCountsAsPlusTwenty) {
    // From +170 to -170 degrees over two steps: -340, i.e. +20: a small negative delay.
    const FrequencyGrid& g = sharedSetup().grid;
    PhaseBox up(ui, [](int i) { return i < 10 ? 170.0 : (i == 10 ? 180.0 : -170.0); });
    up.front().SetDefaultUnit();
    up.Calculate(0);
    EXPECT_NEAR(up.groupDelay[10], 20 * -1000.0 / 360.0 / (g.f[11] - g.f[9]), 1e-9);
    EXPECT_LT(up.groupDelay[10], 0.0);
    // And +340 counts as -20: a small positive delay.
    PhaseBox down(ui, [](int i) { return i < 10 ? -170.0 : (i == 10 ? 180.0 : 170.0); });
    down.front().SetDefaultUnit();
    down.Calculate(0);
    EXPECT_NEAR(down.groupDelay[10], -20 * -1000.0 / 360.0 / (g.f[11] - g.f[9]), 1e-9);
    EXPECT_GT(down.groupDelay[10], 0.0);
}

TEST_F(BoxEmbryoTest, WithImportedDataSpikesAreCutToTheSumOfTheNeighboursThreeAway) {
    const std::string meas = dir.file("flat.frd");
    std::ofstream(meas) << "10 80 0\n20000 80 0\n";
    // Falling phase with two bumps; everything stays simulated (transition above the grid)
    // and a cutoff of 0 leaves the phase alone, so only the filter acts.
    const auto phase = [](int i) { return -3.0 * i - (i == 20 ? 40.0 : 0.0) - (i == 30 ? -25.0 : 0.0); };
    PhaseBox box(ui, phase);
    box.front().SetDefaultUnit();
    box.front().setImportFile(meas);
    box.front().importUsable = 1;
    ASSERT_TRUE(box.front().setTransitionFrequency(20000));
    ASSERT_TRUE(box.front().setPhaseLagCutoff(0));
    box.Calculate(0);
    ASSERT_TRUE(box.front().importInUse());

    const FrequencyGrid& g = sharedSetup().grid;
    const int n = box.pointCount();
    std::vector<double> raw(static_cast<std::size_t>(n));
    for (int i = 1; i < n - 1; ++i)
        raw[static_cast<std::size_t>(i)] =
            (phase(i + 1) - phase(i - 1)) * -1000.0 / 360.0 / (g.f[i + 1] - g.f[i - 1]);
    raw[0] = raw[1];
    raw[static_cast<std::size_t>(n - 1)] = raw[static_cast<std::size_t>(n - 2)];
    int cut = 0;
    for (int i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        double want = raw[k];
        if (i >= 3 && i <= n - 4 && raw[k] > raw[k - 3] + raw[k + 3]) {
            want = raw[k - 3] + raw[k + 3];
            ++cut;
        }
        EXPECT_NEAR(box.groupDelay[k], want, 1e-9 * std::max(1.0, std::abs(want))) << i;
    }
    EXPECT_GE(cut, 2);
}

// ---- closing, caption, note ------------------------------------------------------------------

TEST_F(BoxEmbryoTest, CanCloseAsksOnlyWhenChanged) {
    TClosedBox box(ui);
    ui.answers = {MessageResult::Cancel};
    EXPECT_FALSE(box.CanClose());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().caption, "Box project");
    EXPECT_EQ(ui.lastMessage().text, "Project has been changed.\r\nSave project ?");
    EXPECT_EQ(ui.lastMessage().icon, MessageIcon::Question);
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
    EXPECT_EQ(test::readAll(dir.file("saved.box")).size(), 3761u);
    EXPECT_TRUE(box.CanClose());
    EXPECT_EQ(ui.messages.size(), 4u);
}

TEST_F(BoxEmbryoTest, PostCreationPutsTheFileNameInTheCaption) {
    TClosedBox box(ui);
    box.setProjectFileName("/some/where/My box.v2.box");
    box.PostCreation(true);
    EXPECT_EQ(box.frameCaption(), "Harlox 4.00 - Closed box - My box.v2.box");
    EXPECT_EQ(box.ShowFileName(), "Filename\tMy box.v2.box");
    box.PostCreation(false);
    EXPECT_EQ(box.frameCaption(), "Harlox 4.00 - Closed box");
}

TEST_F(BoxEmbryoTest, UserNoteHoldsAtMost599Characters) {
    TClosedBox box(ui);
    box.ChangeNotification(TBoxEmbryo::kChangeSaved);
    box.setUserNote(std::string(700, 'x'));
    EXPECT_EQ(box.userNote().size(), 599u);
    EXPECT_TRUE(box.isChanged());
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

// ---- export ---------------------------------------------------------------------------------

TEST_F(BoxEmbryoTest, ExportWritesTheChosenCurveAndRemembersTheFormat) {
    TClosedBox box(ui);
    box.front().SetDefaultUnit();
    box.Calculate(0);
    EXPECT_EQ(box.exportFormat(), 2);

    ui.files.push_back(dir.file("spl.frd"));
    ASSERT_TRUE(box.Export(0));
    EXPECT_EQ(ui.fileRequests.back().filter, kSplExportFilter);
    EXPECT_EQ(ui.fileRequests.back().mode, FileMode::Save);
    EXPECT_EQ(box.exportFormat(), 0);
    std::ifstream spl(dir.file("spl.frd"));
    std::string line;
    std::getline(spl, line);
    EXPECT_EQ(line, "   Hz\t\tdB\t\tdeg\r");
    std::getline(spl, line);
    EXPECT_EQ(line, strprintf(" %f\t%f\t%f\r", 20.0, box.SPL[0], box.splPhase[0]));

    ui.files.push_back(dir.file("imp.ZMA"));
    ASSERT_TRUE(box.Export(4));
    EXPECT_EQ(ui.fileRequests.back().filter, kImpedanceExportFilter);
    EXPECT_EQ(box.exportFormat(), 1);
    EXPECT_EQ(box.exportKind(), 4);

    ui.files.push_back(dir.file("gd.fm"));
    ASSERT_TRUE(box.Export(5));
    EXPECT_EQ(box.exportFormat(), 4);
    std::ifstream gd(dir.file("gd.fm"));
    std::getline(gd, line);
    EXPECT_EQ(line, "Group delay\r");

    ui.files.push_back(dir.file("bad.txt"));
    EXPECT_FALSE(box.Export(0));
    EXPECT_EQ(ui.lastMessage().caption, "Export error");
    EXPECT_EQ(ui.lastMessage().text, "No valid export format selected");
    EXPECT_EQ(box.exportFormat(), 4);

    ui.files.push_back(std::nullopt);
    EXPECT_FALSE(box.Export(5));
    // The room, transient and standing-wave curves do not exist yet.
    const auto requests = ui.fileRequests.size();
    EXPECT_FALSE(box.Export(1));
    EXPECT_FALSE(box.Export(2));
    EXPECT_FALSE(box.Export(3));
    EXPECT_EQ(ui.fileRequests.size(), requests);
}

} // namespace
} // namespace harlox
