#include "gui/room_cabinet_dialog.h"
#include "main_window_fixture.h"

#include "app/project_types.h"
#include "box/abr_box.h"
#include "box/bandpass_box.h"
#include "box/bass_reflex_box.h"
#include "box/bass_reflex_vel_box.h"
#include "box/closed_box.h"
#include "box/double_tuned_box.h"
#include "box/port_object.h"
#include "core/command_ids.h"
#include "core/program_dir.h"
#include "driver/spk_data.h"
#include "gui/box_project_windows.h"
#include "gui/dbl_edit.h"
#include "gui/diagram_renderer.h"
#include "gui/diagram_view.h"
#include "gui/long_edit.h"
#include "gui/main_window.h"
#include "gui/project_dialogs.h"
#include "dialog_test_support.h"
#include "temp_dir.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace harlox {
namespace {

using Dlg = TRoomCabinetDialog;

std::vector<std::string> names(const std::vector<RoomElement>& elements) {
    std::vector<std::string> out;
    for (const RoomElement& e : elements)
        out.push_back(e.name.toStdString());
    return out;
}

// Writes a picture of the widget when HARLOX_SCREENSHOTS names a folder.
void screenshot(QWidget* w, const char* name) {
    if (const char* dir = std::getenv("HARLOX_SCREENSHOTS"))
        w->grab().save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + QString::fromLatin1(name));
}

std::vector<double> head(const std::array<double, kMaxPoints>& a, int n) {
    return {a.begin(), a.begin() + n};
}

// The dialog as the Room & Cabinet command opens it.
class RoomCabinetDialogTest : public test::ProjectTest<TClosedBox> {
protected:
    void SetUp() override {
        ProjectTest::SetUp();
        dialog = qobject_cast<Dlg*>(openProjectDialog(cmd::RoomCabinet, {*project, ui, &parent, {}}));
        ASSERT_TRUE(dialog);
        test::showActive(dialog.data());
    }
    void TearDown() override {
        delete dialog.data();
        ProjectTest::TearDown();
    }
    TRoomCabinet& room() { return project->roomCabinet(); }
    TDblEdit* field(int id) { return dialog->realField(id); }
    std::vector<double> roomSpl() { return head(room().roomSpl, project->pointCount()); }
    TAbsDialog* openAbsorption() {
        TAbsDialog* abs = dialog->openAbsorptionDialog();
        test::drainEvents();
        if (abs) test::showActive(abs);
        return abs;
    }

    test::TempDir dir;
    QWidget parent;
    QPointer<Dlg> dialog;
};

TEST_F(RoomCabinetDialogTest, ShowsTheModelsValuesAndRanges) {
    // The model's defaults, in metres.
    EXPECT_EQ(field(Dlg::RoofHeightControl)->text(), QStringLiteral("2.50"));
    EXPECT_EQ(field(Dlg::BaffleWidthControl)->text(), QStringLiteral("0.300"));
    EXPECT_EQ(field(Dlg::DyControl)->text(), QStringLiteral("0.700"));
    EXPECT_EQ(dialog->transitionField()->text(), QStringLiteral("300"));
    EXPECT_TRUE(dialog->responseButton()->isChecked());
    EXPECT_TRUE(dialog->checkBox(Dlg::CabinetEdgesControl)->isChecked());
    EXPECT_TRUE(dialog->checkBox(Dlg::CalcImmediatelyControl)->isChecked());
    EXPECT_EQ(dialog->fileNameField()->text(), QStringLiteral("Not in use"));
    EXPECT_FALSE(dialog->transitionField()->isEnabled()) << "nothing to splice without a file";

    // The cabinet and the listener stand in the room; elements on the baffle.
    EXPECT_EQ(field(Dlg::RoofHeightControl)->entry().minimum(), Dlg::kMinRoomSize);
    EXPECT_EQ(field(Dlg::SpeakerXControl)->entry().maximum(), 4.0);
    EXPECT_EQ(field(Dlg::ListenerZControl)->entry().maximum(), 6.0);
    EXPECT_EQ(field(Dlg::DxControl)->entry().maximum(), 0.3);
    enter(field(Dlg::WidthControl), QStringLiteral("3"));
    EXPECT_EQ(room().roomWidth, 3.0);
    EXPECT_EQ(field(Dlg::ListenerXControl)->entry().maximum(), 3.0);
    const double before = room().listenerX;
    enter(field(Dlg::ListenerXControl), QStringLiteral("3.5"));
    EXPECT_EQ(room().listenerX, before) << "outside the room";
    EXPECT_EQ(beeps, 1);
}

TEST_F(RoomCabinetDialogTest, EditsRecalculateUnlessCalcImmIsOff) {
    const std::vector<double> before = roomSpl();
    enter(field(Dlg::ListenerZControl), QStringLiteral("2"));
    EXPECT_EQ(room().listenerZ, 2.0);
    EXPECT_NE(roomSpl(), before) << "recalculated";

    // With the project's own switch off the dialog still calculates.
    sharedSetup().calculateImmediately = 0;
    std::vector<double> now = roomSpl();
    enter(field(Dlg::SpeakerZControl), QStringLiteral("1"));
    EXPECT_EQ(room().speakerZ, 1.0);
    EXPECT_NE(roomSpl(), now);

    // Calc. imm. off: the settings change, the curves wait for Calc.
    dialog->checkBox(Dlg::CalcImmediatelyControl)->click();
    settle();
    EXPECT_EQ(room().calculateImmediately, 0);
    now = roomSpl();
    dialog->checkBox(Dlg::FloorControl)->click();
    settle();
    EXPECT_EQ(room().reflections.floor, 0);
    EXPECT_EQ(roomSpl(), now);
    EXPECT_TRUE(project->isChanged());
    QTest::mouseClick(dialog->calcButton(), Qt::LeftButton);
    settle();
    EXPECT_NE(roomSpl(), now);
}

TEST_F(RoomCabinetDialogTest, DisplayModeSetsTheCaptionAndTheCurve) {
    ASSERT_EQ(room().window().title(), "SPL in Room & Cabinet");
    dialog->impactButton()->click();
    settle();
    EXPECT_EQ(room().displayMode, TRoomCabinet::kShowImpact);
    EXPECT_EQ(room().window().title(), "Room & Cabinet Impact");
    // The impact is the room response over the free-air response: around 0 dB in the passband.
    const int n = project->pointCount();
    EXPECT_LT(std::abs(room().roomSpl[static_cast<std::size_t>(n / 2)]), 30.0);
    EXPECT_EQ(room().window().curveCount(), 1);

    dialog->responseButton()->click();
    settle();
    EXPECT_EQ(room().window().title(), "SPL in Room & Cabinet");
    EXPECT_EQ(room().window().curveCount(), 2) << "with the free-air comparison";
}

TEST_F(RoomCabinetDialogTest, AbsorptionIsShownAsOneMinusRSquaredAndStoredAsR) {
    room().reflectionFactors.floor = 0.8;
    room().reflectionFactors.ceiling = 1.0;
    TAbsDialog* abs = openAbsorption();
    ASSERT_NE(abs, nullptr);
    EXPECT_TRUE(abs->isModal());
    EXPECT_EQ(abs->field(TAbsDialog::Floor)->text(), QStringLiteral("0.36"));
    EXPECT_EQ(abs->field(TAbsDialog::LeftWall)->text(), QStringLiteral("0.19"));
    EXPECT_EQ(abs->field(TAbsDialog::Floor)->entry().maximum(), 1.0);

    const std::vector<double> before = roomSpl();
    test::typeInto(abs->field(TAbsDialog::Floor), QStringLiteral("1"));
    test::typeInto(abs->field(TAbsDialog::Ceiling), QStringLiteral("0.19"));
    QTest::mouseClick(abs->okButton(), Qt::LeftButton);
    settle();
    EXPECT_EQ(room().reflectionFactors.floor, 0.0);
    EXPECT_NEAR(room().reflectionFactors.ceiling, 0.9, 1e-12);
    EXPECT_NEAR(room().reflectionFactors.leftWall, 0.9, 1e-12) << "untouched";
    EXPECT_NE(roomSpl(), before);

    // Cancel keeps the factors.
    abs = openAbsorption();
    ASSERT_NE(abs, nullptr);
    test::typeInto(abs->field(TAbsDialog::LeftWall), QStringLiteral("1"));
    QTest::mouseClick(abs->cancelButton(), Qt::LeftButton);
    settle();
    EXPECT_NEAR(room().reflectionFactors.leftWall, 0.9, 1e-12);
}

TEST_F(RoomCabinetDialogTest, SourceFieldsEditTheSelectedElement) {
    project->front().driverCount = 2;
    dialog->refresh();
    ASSERT_EQ(dialog->elementList()->count(), 2);
    EXPECT_EQ(dialog->elementList()->item(1)->text(), QStringLiteral("Driver unit 2"));
    dialog->elementList()->setCurrentRow(1);
    enter(field(Dlg::DyControl), QStringLiteral("0.5"));
    EXPECT_EQ(room().source(SourceGroup::Drivers, 1).dY, 0.5);
    EXPECT_EQ(room().source(SourceGroup::Drivers, 0).dY, 0.7);
    enter(field(Dlg::DzControl), QStringLiteral("-0.02"));
    EXPECT_EQ(room().source(SourceGroup::Drivers, 1).dZ, -0.02);
    dialog->elementList()->setCurrentRow(0);
    EXPECT_EQ(field(Dlg::DyControl)->text(), QStringLiteral("0.700"));
}

TEST_F(RoomCabinetDialogTest, BrowseReadsTheMeasuredCurveAndAMissingFileIsReported) {
    ui.files.push_back(dir.file("none.frd"));
    QTest::mouseClick(dialog->browseButton(), Qt::LeftButton);
    settle();
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_EQ(ui.messages.front().caption, "Measured data");
    EXPECT_TRUE(ui.messages.front().text.ends_with("\nCheck if path and filename is correct."));

    // A flat 80 dB measurement takes over below 200 Hz, levelled to meet the calculation.
    {
        std::ofstream out(dir.file("room.frd"));
        for (double f = 5.0; f < 30000.0; f *= 1.2)
            out << f << " 80 0\n";
    }
    ui.messages.clear();
    ui.files.push_back(dir.file("room.frd"));
    QTest::mouseClick(dialog->browseButton(), Qt::LeftButton);
    settle();
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(room().measuredInUse, 1);
    EXPECT_EQ(dialog->fileNameField()->text(),
              QString::fromStdString(makeRelativeToProgramDir(dir.file("room.frd"))));
    EXPECT_TRUE(dialog->transitionField()->isEnabled());
    enter(dialog->transitionField(), QStringLiteral("200"));
    EXPECT_EQ(room().transitionFrequency, 200);
    ASSERT_TRUE(room().measuredLoaded());
    EXPECT_NE(room().levelOffsetDb, 0.0) << "automatic offset";
    EXPECT_EQ(field(Dlg::LevelOffsetControl)->text(), test::shown("%2.1f", room().levelOffsetDb));
    EXPECT_TRUE(field(Dlg::LevelOffsetControl)->entry().readOnly());
    // The low end is the measurement, flat.
    EXPECT_NEAR(room().roomSpl[0], room().roomSpl[1], 1e-6);

    dialog->checkBox(Dlg::AutoLevelControl)->click();
    settle();
    EXPECT_FALSE(field(Dlg::LevelOffsetControl)->entry().readOnly());
    enter(field(Dlg::LevelOffsetControl), QStringLiteral("-6"));
    EXPECT_EQ(room().levelOffsetDb, -6.0);
    EXPECT_NEAR(room().levelFactor, std::pow(10.0, -0.3), 1e-12);

    const std::vector<double> spliced = roomSpl();
    dialog->checkBox(Dlg::DisableControl)->click();
    settle();
    EXPECT_EQ(room().measuredDisabled, 1);
    EXPECT_NE(roomSpl(), spliced);
}

TEST_F(RoomCabinetDialogTest, ScreenshotsOfTheDialogsAndTheImpactWindow) {
    sharedSetup().pointCount = 300;
    sharedSetup().setupChanged = 1;
    dialog->checkBox(Dlg::NormalizedControl)->click();
    dialog->impactButton()->click();
    settle();
    EXPECT_FALSE(dialog->grab().isNull());
    // Nothing is cut: the dialog opens as large as its contents ask.
    EXPECT_EQ(dialog->size(), dialog->fullSize());
    screenshot(dialog, "room_dialog.png");
    TAbsDialog* abs = openAbsorption();
    ASSERT_NE(abs, nullptr);
    screenshot(abs, "room_absorption.png");
    abs->close();
    DiagramView view(&room().window());
    view.resize(DiagramView::kDefaultWidth, DiagramView::kDefaultHeight);
    view.show();
    EXPECT_FALSE(view.grab().isNull());
    screenshot(&view, "room_impact.png");
}

// The element list of each kind of box: its radiating elements only, numbered when needed.
TEST_F(RoomCabinetDialogTest, ElementListNamesTheRadiatingElementsOfEachType) {
    EXPECT_EQ(names(roomElements(*project)), (std::vector<std::string>{"Driver unit"}));
    EXPECT_EQ(names(dialog->listedElements()), (std::vector<std::string>{"Driver unit"}));

    TBassReflexBox reflex(ui);
    reflex.front().driverCount = 2;
    reflex.portElement()->ports = 2;
    EXPECT_EQ(names(roomElements(reflex)),
              (std::vector<std::string>{"Driver unit 1", "Driver unit 2", "Port 1", "Port 2"}));
    EXPECT_EQ(roomElements(reflex)[2].group, SourceGroup::Ports1);

    TAbrBox abr(ui);
    EXPECT_EQ(names(roomElements(abr)), (std::vector<std::string>{"Driver unit", "Abr 1"}));
    EXPECT_EQ(roomElements(abr)[1].group, SourceGroup::PassiveRadiators);

    TBP5Box bp1(ui);
    EXPECT_EQ(names(roomElements(bp1)), (std::vector<std::string>{"Port"}));
    TBP7Box bp3(ui);
    const std::vector<RoomElement> bp3Elements = roomElements(bp3);
    EXPECT_EQ(names(bp3Elements), (std::vector<std::string>{"Rear port", "Front port"}));
    EXPECT_EQ(bp3Elements[1].group, SourceGroup::Ports2);
    TBP8Box bp4(ui);
    EXPECT_EQ(names(roomElements(bp4)).back(), "Middle port");

    TBassReflexDTBox dt1(ui);
    TBassReflexDT2Box dt2(ui);
    for (const TDoubleTunedBox* dt :
         {static_cast<TDoubleTunedBox*>(&dt1), static_cast<TDoubleTunedBox*>(&dt2)}) {
        const std::vector<RoomElement> e = roomElements(*dt);
        ASSERT_EQ(names(e), (std::vector<std::string>{"Driver unit", "Front port"}));
        EXPECT_EQ(e[1].group,
                  &dt->frontPort() == dt->portElement() ? SourceGroup::Ports1 : SourceGroup::Ports2);
    }
}

// The Room & Cabinet command of the main window, for every box type.
class RoomCabinetCommandTest : public test::MainWindowFixture {};

TEST_F(RoomCabinetCommandTest, OpensTheDialogAndShowsTheRoomWindowForEveryType) {
    const int newCommands[] = {cmd::NewClosed,        cmd::NewBassReflex,      cmd::NewBassReflexDT,
                               cmd::NewBassReflexDT2, cmd::NewPassiveRadiator, cmd::NewBandpass1,
                               cmd::NewBandpass2,     cmd::NewBandpass3,       cmd::NewBandpass4,
                               cmd::NewReflexBandpass};
    for (const int command : newCommands) {
        SCOPED_TRACE(command);
        host.files.push_back(dir.file("unit.unt"));
        if (command == cmd::NewReflexBandpass) host.files.push_back(dir.file("unit.unt"));
        window->runCommand(command);
        host.runPosted();
        ASSERT_NE(window->boxProject(), nullptr);
        ASSERT_TRUE(enabled(cmd::RoomCabinet));
        EXPECT_TRUE(enabled(cmd::ExportSplRoom));
        window->runCommand(cmd::RoomCabinet);
        host.runPosted();
        auto* d = window->findChild<TRoomCabinetDialog*>();
        ASSERT_NE(d, nullptr);
        EXPECT_FALSE(d->listedElements().empty());
        if (command == cmd::NewClosed) {
            // The list follows the box: the windows' refresh after a command reaches the dialog.
            window->boxProject()->front().driverCount = 3;
            window->runCommand(cmd::Calculate);
            EXPECT_EQ(d->elementList()->count(), 3);
        }
        EXPECT_FALSE(enabled(cmd::RoomCabinet)) << "greyed while open";
        BoxProjectWindows* windows = window->projectWindows();
        QMdiSubWindow* sub = windows->subWindowOf(windows->roomView());
        ASSERT_NE(sub, nullptr);
        EXPECT_FALSE(sub->isMinimized());
        d->cancelCommand();
        test::drainEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(enabled(cmd::RoomCabinet));
        window->boxProject()->markChanged();
        host.answers.push_back(MessageResult::No); // the save question of the next New
    }
}

} // namespace
} // namespace harlox
