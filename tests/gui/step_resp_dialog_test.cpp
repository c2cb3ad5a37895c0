#include "gui/step_resp_dialog.h"
#include "main_window_fixture.h"

#include "box/box_embryo.h"
#include "box/closed_box.h"
#include "core/command_ids.h"
#include "core/program_dir.h"
#include "driver/spk_data.h"
#include "gui/box_project_windows.h"
#include "gui/diagram_view.h"
#include "gui/long_edit.h"
#include "gui/main_window.h"
#include "dialog_test_support.h"
#include "temp_dir.h"
#include "transient/step_response.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QMdiSubWindow>
#include <QPointer>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace harlox {
namespace {

// Writes a picture when HARLOX_SCREENSHOTS names a folder.
void saveShot(const QImage& image, const char* name) {
    if (const char* dir = std::getenv("HARLOX_SCREENSHOTS"))
        image.save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + QString::fromLatin1(name));
}

class StepRespDialogTest : public test::WindowTest<TClosedBox, TStepRespDialog> {
protected:
    void SetUp() override {
        setPreferencesDirectory(dir.path() + "/");
        WindowTest::SetUp();
    }
    void TearDown() override {
        dialog.reset();
        setPreferencesDirectory("");
        WindowTest::TearDown();
    }
    TStepResponse& transient() { return project->transientResponse(); }
    const std::string& title() { return transient().window().title(); }
    // Closes the dialog as its close button does and lets the close run through.
    void closeDialog() {
        dialog->close();
        settle();
        ASSERT_FALSE(dialog->isVisible());
    }
    std::string prf() const { return dir.file("stepresp.prf"); }

    test::TempDir dir;
};

TEST_F(StepRespDialogTest, ShowsTheSettingsAndKeepsTheBurstFieldsForTheToneBurst) {
    // The defaults: impulse, 25 us, the burst's fields idle.
    EXPECT_TRUE(dialog->signalButton(TStepResponse::kImpulse)->isChecked());
    EXPECT_EQ(dialog->resolutionList()->currentIndex(), 0);
    EXPECT_EQ(dialog->frequencyField()->text(), QStringLiteral("50.0"));
    EXPECT_EQ(dialog->periodsField()->text(), QStringLiteral("3"));
    EXPECT_TRUE(dialog->enableBox()->isChecked());
    EXPECT_TRUE(dialog->showInputBox()->isChecked());
    EXPECT_FALSE(dialog->zoomBox()->isChecked());
    for (QWidget* w :
         {static_cast<QWidget*>(dialog->frequencyField()), static_cast<QWidget*>(dialog->periodsField()),
          static_cast<QWidget*>(dialog->showInputBox())})
        EXPECT_FALSE(w->isEnabled());

    dialog->signalButton(TStepResponse::kToneBurst)->click();
    for (QWidget* w :
         {static_cast<QWidget*>(dialog->frequencyField()), static_cast<QWidget*>(dialog->periodsField()),
          static_cast<QWidget*>(dialog->showInputBox())})
        EXPECT_TRUE(w->isEnabled());
    dialog->signalButton(TStepResponse::kStep)->click();
    EXPECT_FALSE(dialog->frequencyField()->isEnabled());
}

TEST_F(StepRespDialogTest, EveryChangeRecalculatesAndRedrawsTheWindow) {
    ASSERT_EQ(title(), "Impulse response");
    project->ChangeNotification(TBoxEmbryo::kChangeSaved);
    const int repaints = ui.repaints;
    dialog->signalButton(TStepResponse::kStep)->click();
    EXPECT_EQ(title(), "Step response");
    EXPECT_EQ(transient().window().pointCount(), 512);
    EXPECT_TRUE(project->isChanged()) << "the settings go into the project file";
    EXPECT_GT(ui.repaints, repaints);
    // A closed box has no DC: its step response dies away.
    EXPECT_LT(std::abs(transient().responseCurve[511] - transient().responseCurve[510]), 0.01);

    dialog->signalButton(TStepResponse::kToneBurst)->click();
    EXPECT_EQ(title(), "Tone burst resp. 50.0 Hz, 3 periods");
    EXPECT_EQ(transient().window().pointCount(), 1024);
    EXPECT_EQ(transient().window().curveCount(), 2) << "the burst is drawn with its response";

    enter(dialog->frequencyField(), QStringLiteral("100"));
    enter(dialog->periodsField(), QStringLiteral("5"));
    EXPECT_EQ(title(), "Tone burst resp. 100.0 Hz, 5 periods");
    EXPECT_EQ(transient().burstLength(), TStepResponse::kMaxBurstLength) << "2000 samples of 25 us, cut";
    // Outside 10 .. 500 Hz and 1 .. 20 periods the entry is refused.
    enter(dialog->frequencyField(), QStringLiteral("600"));
    enter(dialog->periodsField(), QStringLiteral("21"));
    EXPECT_EQ(beeps, 2);
    EXPECT_EQ(transient().burstFrequency, 100.0);
    EXPECT_EQ(transient().burstPeriods, 5);

    dialog->showInputBox()->click();
    EXPECT_EQ(transient().window().curveCount(), 1);
    dialog->zoomBox()->click();
    EXPECT_EQ(transient().window().pointCount(), 512);
    dialog->resolutionList()->setCurrentIndex(2);
    emit dialog->resolutionList()->activated(2);
    EXPECT_EQ(transient().resolution, 0.1);
    EXPECT_DOUBLE_EQ(transient().window().xRange().max, 51.1) << "512 samples of 0.1 ms";

    // Switched off, the window keeps its last curve; switched on, it follows the settings.
    dialog->enableBox()->click();
    dialog->signalButton(TStepResponse::kImpulse)->click();
    EXPECT_EQ(title(), "Tone burst resp. 100.0 Hz, 5 periods");
    dialog->enableBox()->click();
    EXPECT_EQ(title(), "Impulse response");
    EXPECT_EQ(transient().window().pointCount(), 256);
}

TEST_F(StepRespDialogTest, ClosingAfterAChangeWritesTheSettingsFile) {
    closeDialog();
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(prf()))) << "nothing changed";

    dialog = std::make_unique<TStepRespDialog>(nullptr, *project, ui);
    test::showActive(dialog.get());
    dialog->signalButton(TStepResponse::kToneBurst)->click();
    // Typed but not entered: closing commits the field first.
    test::typeInto(dialog->frequencyField(), QStringLiteral("120"));
    dialog->resolutionList()->setCurrentIndex(3);
    emit dialog->resolutionList()->activated(3);
    closeDialog();
    EXPECT_TRUE(ui.messages.empty());
    TStepResponse read;
    ASSERT_TRUE(read.LoadSettings());
    EXPECT_EQ(read.burstFrequency, 120.0);
    EXPECT_EQ(read.resolution, 0.2);
    EXPECT_EQ(read.inputSignal, TStepResponse::kToneBurst);
}

TEST_F(StepRespDialogTest, ToneBurstPictures) {
    dialog->signalButton(TStepResponse::kToneBurst)->click();
    // 0.2 ms: the 60 ms burst and the box's ringing after it.
    dialog->resolutionList()->setCurrentIndex(3);
    emit dialog->resolutionList()->activated(3);
    saveShot(dialog->grab().toImage(), "step_resp_dialog.png");
    DiagramView view(&transient().window());
    view.setOptionsHook([this](RenderOptions& o) { addTransientDrawing(transient(), o); });
    view.resize(DiagramView::kDefaultWidth, DiagramView::kDefaultHeight);
    saveShot(view.grabDiagram(), "transient_tone_burst.png");
    dialog->signalButton(TStepResponse::kStep)->click();
    saveShot(view.grabDiagram(), "transient_step.png");
    dialog->signalButton(TStepResponse::kToneBurst)->click();

    // The y axis runs from the response's lowest value to 1.
    RenderOptions o;
    addTransientDrawing(transient(), o);
    ASSERT_TRUE(o.yRange.has_value());
    EXPECT_EQ(o.yRange->min, transient().lowerLimit());
    EXPECT_EQ(o.yRange->max, 1.0);
    EXPECT_LT(o.yRange->min, 0.0);
    TClosedBox empty(ui);
    RenderOptions none;
    addTransientDrawing(empty.transientResponse(), none);
    EXPECT_FALSE(none.yRange.has_value()) << "nothing calculated yet";
}

// ---- in the main window ----------------------------------------------------------------------

class StepRespWindowTest : public test::MainWindowFixture {
protected:
    TBoxEmbryo& newProject(int command) {
        host.answers.push_back(MessageResult::No); // the project before is not saved
        host.files.push_back(dir.file("unit.unt"));
        host.files.push_back(dir.file("unit.unt")); // the reflex bandpass's rear unit
        window->runCommand(command);
        host.runPosted();
        host.files.clear();
        host.answers.clear();
        return *window->boxProject();
    }
};

TEST_F(StepRespWindowTest, EveryBoxTypeHasTheCommandTheWindowAndTheExport) {
    for (const int command : {cmd::NewClosed, cmd::NewBassReflex, cmd::NewBassReflexDT, cmd::NewBassReflexDT2,
                              cmd::NewPassiveRadiator, cmd::NewBandpass1, cmd::NewBandpass2,
                              cmd::NewBandpass3, cmd::NewBandpass4, cmd::NewReflexBandpass}) {
        TBoxEmbryo& box = newProject(command);
        EXPECT_TRUE(enabled(cmd::TransientResp)) << box.typeName();
        EXPECT_TRUE(enabled(cmd::ExportTransient)) << box.typeName();
        DiagramView* view = window->projectWindows()->transientView();
        ASSERT_NE(view, nullptr);
        EXPECT_EQ(view->model(), &box.transientResponse().window());
        QMdiSubWindow* sub = window->projectWindows()->subWindowOf(view);
        EXPECT_TRUE(sub->isVisible() && !sub->isMinimized()) << box.typeName();
        EXPECT_EQ(sub->windowTitle(), QStringLiteral("Impulse response"));
        EXPECT_EQ(box.transientResponse().window().pointCount(), 512) << box.typeName();
    }
}

TEST_F(StepRespWindowTest, TheDialogEditsTheWindowAndGoesWithTheProject) {
    newProject(cmd::NewClosed);
    BoxProjectWindows* w = window->projectWindows();
    w->subWindowOf(w->transientView())->showMinimized();
    window->runCommand(cmd::TransientResp);
    QPointer<TStepRespDialog> dialog = window->findChild<TStepRespDialog*>();
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(enabled(cmd::TransientResp)) << "greyed while the dialog is open";
    QMdiSubWindow* sub = w->subWindowOf(w->transientView());
    EXPECT_FALSE(sub->isMinimized()) << "the window it edits comes forward";

    dialog->signalButton(TStepResponse::kToneBurst)->click();
    EXPECT_EQ(sub->windowTitle(), QStringLiteral("Tone burst resp. 50.0 Hz, 3 periods"));
    saveShot(w->transientView()->grabDiagram(), "transient_window_in_main.png");
    saveShot(window->grab().toImage(), "main_window_with_transient.png");

    // A new project: the dialog closes first, its settings saved, and the next project
    // starts from them.
    newProject(cmd::NewBassReflex);
    test::drainEvents();
    EXPECT_FALSE(dialog);
    EXPECT_TRUE(enabled(cmd::TransientResp));
    EXPECT_EQ(test::readAll(dir.file("stepresp.prf")).size(), TStepResponse::kRecordSize);
    EXPECT_EQ(window->boxProject()->transientResponse().inputSignal, TStepResponse::kToneBurst);
    w = window->projectWindows();
    EXPECT_EQ(w->subWindowOf(w->transientView())->windowTitle(),
              QStringLiteral("Tone burst resp. 50.0 Hz, 3 periods"));
}

} // namespace
} // namespace harlox
