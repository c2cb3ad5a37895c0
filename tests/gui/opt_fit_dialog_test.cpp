#include "gui/opt_fit_dialog.h"

#include "app/box_factory.h"
#include "box/abr_box.h"
#include "box/abr_object.h"
#include "box/bandpass_box.h"
#include "box/bass_reflex_box.h"
#include "box/box_object.h"
#include "box/closed_box.h"
#include "box/frequency_fit.h"
#include "box/port_object.h"
#include "core/command_ids.h"
#include "gui/bandpass_dialog.h"
#include "gui/brefl_dialog.h"
#include "gui/closed_dialog.h"
#include "gui/diagram_view.h"
#include "gui/long_edit.h"
#include "gui/project_dialogs.h"
#include "dialog_test_support.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace harlox {
namespace {

QList<QAction*> optimizeActions(const QWidget* window) {
    const QMenuBar* bar = window->findChild<QMenuBar*>();
    return bar && !bar->actions().isEmpty() ? bar->actions().front()->menu()->actions() : QList<QAction*>{};
}

bool anyOptimizeEnabled(const QWidget* window) {
    for (const QAction* a : optimizeActions(window))
        if (a->isEnabled()) return true;
    return false;
}

// The input window's "By &frequency fit..." command, and the window it opened.
TOptFitDialog* openFitFrom(QWidget* window) {
    for (QAction* a : optimizeActions(window))
        if (a->text().contains(QStringLiteral("frequency fit"))) a->trigger();
    test::drainEvents();
    for (TOptFitDialog* d : window->findChildren<TOptFitDialog*>())
        if (d->isVisible()) return d;
    return nullptr;
}

void press(QAbstractButton* b) {
    QTest::mouseClick(b, Qt::LeftButton);
    test::drainEvents();
}

// Each pass of the event loop is one iteration of a running fit.
void spin(int passes) {
    for (int i = 0; i < passes; ++i)
        QCoreApplication::processEvents();
}

const double* targetData(const TBoxEmbryo& project) {
    const DiagramModel& w = project.splWindow();
    for (int i = 0; i < w.curveCount(); ++i)
        if (w.curve(i).label == "Target") return w.curve(i).y;
    return nullptr;
}

// The fit window and the SPL diagram it drives, written when HARLOX_SHOT_DIR names a folder.
void saveShot(QWidget* fitWindow, TBoxEmbryo& project, const char* name) {
    const char* dir = std::getenv("HARLOX_SHOT_DIR");
    if (!dir) return;
    const QString path = QString::fromLocal8Bit(dir) + QLatin1Char('/') + QString::fromLatin1(name);
    DiagramView view(&project.splWindow());
    view.resize(DiagramView::kDefaultWidth, DiagramView::kDefaultHeight);
    fitWindow->grab().save(path + QStringLiteral(".png"));
    view.grabDiagram().save(path + QStringLiteral("_spl.png"));
}

class ClosedFitTest : public test::WindowTest<TClosedBox, TClosedDialog> {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        fit = openFitFrom(dialog.get());
        ASSERT_NE(fit, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(fit.data()));
    }
    void TearDown() override {
        delete fit.data(); // before its project
        WindowTest::TearDown();
    }
    // After a Halt or close: out of fast mode, no target, the input window usable again.
    void expectStopped() {
        EXPECT_FALSE(project->fastMode());
        EXPECT_EQ(targetData(*project), nullptr);
        EXPECT_TRUE(!dialog || dialog->content()->isEnabled());
    }
    QString volumeShown() const { return dialog->boxFields().volumeField()->text(); }
    QString volumeOfBox() const { return test::shown("%2.1f", project->box().Vb * 1000.0); }
    QPointer<TOptFitDialog> fit;
};

TEST_F(ClosedFitTest, ShowsTheClosedBoxOptionsAndGreysTheOptimizeCommandsWhileOpen) {
    EXPECT_TRUE(fit->meanErrorField()->isReadOnly());
    EXPECT_EQ(fit->upperCutoffField(), nullptr);
    EXPECT_EQ(fit->frontBoxQBox(), nullptr);
    // A reset project: 10 Hz, box Q off, intermediate results on, coarse steps.
    EXPECT_EQ(fit->lowerCutoffField()->text(), QStringLiteral("10"));
    EXPECT_FALSE(fit->boxQBox()->isChecked() || fit->fineStepBox()->isChecked());
    EXPECT_TRUE(fit->intermediateBox()->isChecked());

    // The range of the cutoff is the field's: 5 Hz is refused.
    enter(fit->lowerCutoffField(), QStringLiteral("5"));
    EXPECT_EQ(fit->lowerCutoffField()->value(), 10);
    EXPECT_GT(beeps, 0);

    EXPECT_EQ(optimizeActions(dialog.get()).size(), 3);
    EXPECT_FALSE(anyOptimizeEnabled(dialog.get()));
    // Asked again (the command is greyed, but whoever asks) it raises the open window.
    EXPECT_EQ(openFrequencyFit(*dialog, *project, ui, dialog->optimizeMenu(), {}, {}), fit.data());
    EXPECT_EQ(dialog->findChildren<TOptFitDialog*>().size(), 1);

    press(fit->cancelButton());
    EXPECT_TRUE(fit.isNull()) << "deletes itself when closed";
    for (const QAction* a : optimizeActions(dialog.get()))
        EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();
}

TEST_F(ClosedFitTest, RunIteratesBetweenEventsAndHaltLeavesAFullyCalculatedProject) {
    const double vb = project->box().Vb;
    // Well above the box's own cutoff: the fit has to shrink the box.
    enter(fit->lowerCutoffField(), QStringLiteral("120"));
    fit->boxQBox()->click();
    EXPECT_EQ(project->fitSettings().lowerCutoff, 120) << "kept in the project at once";
    EXPECT_EQ(project->fitSettings().flags[TFrequencyFit::FlagBoxQ], 1);

    press(fit->runButton());
    ASSERT_TRUE(fit->running());
    EXPECT_EQ(fit->runButton()->text(), QStringLiteral("&Halt"));
    EXPECT_TRUE(project->fastMode());
    EXPECT_NE(targetData(*project), nullptr) << "the SPL window shows the target";
    EXPECT_FALSE(fit->lowerCutoffField()->isEnabled() || fit->boxQBox()->isEnabled());
    EXPECT_FALSE(dialog->content()->isEnabled()) << "the box is the fit's while it runs";

    spin(20);
    EXPECT_GE(fit->fit().iterations(), 5);
    EXPECT_LE(fit->fit().iterations(), 20 * 3);
    EXPECT_LT(project->box().Vb, vb);
    EXPECT_EQ(fit->meanErrorField()->text(), test::shown("%2.2f", fit->fit().meanError()));
    EXPECT_EQ(volumeShown(), volumeOfBox()) << "intermediate results: the input window follows";
    saveShot(fit, *project, "fit_closed_running");

    press(fit->runButton());
    ui.runPosted();
    EXPECT_FALSE(fit->running());
    const long iterations = fit->fit().iterations();
    test::drainEvents();
    EXPECT_EQ(fit->fit().iterations(), iterations) << "no iteration after Halt";
    EXPECT_EQ(fit->runButton()->text(), QStringLiteral("&Run"));
    EXPECT_TRUE(fit->lowerCutoffField()->isEnabled() && fit->boxQBox()->isEnabled());
    expectStopped();
    EXPECT_EQ(volumeShown(), volumeOfBox());
    // Everything a full calculation writes is there already: another one changes nothing.
    const std::string sheet = project->dataSheetText();
    const double f3 = project->f3();
    EXPECT_GT(f3, 0.0);
    project->Calculate(0);
    EXPECT_EQ(project->dataSheetText(), sheet);
    EXPECT_EQ(project->f3(), f3);
    EXPECT_FALSE(anyOptimizeEnabled(dialog.get())) << "still open";

    // Without intermediate results the fields wait for Halt.
    fit->intermediateBox()->click();
    enter(fit->lowerCutoffField(), QStringLiteral("150"));
    const QString before = volumeShown();
    press(fit->runButton());
    spin(10);
    EXPECT_GT(fit->fit().iterations(), 0);
    EXPECT_EQ(volumeShown(), before);
    press(fit->runButton());
    EXPECT_EQ(volumeShown(), volumeOfBox());
    EXPECT_NE(volumeShown(), before);
}

// Closing a running fit, or its input window going away, halts it first.
TEST_F(ClosedFitTest, ClosingWhileRunningHaltsFirst) {
    enter(fit->lowerCutoffField(), QStringLiteral("100"));
    press(fit->runButton());
    ASSERT_TRUE(fit->running());
    press(fit->cancelButton());
    test::drainEvents();
    EXPECT_TRUE(fit.isNull());
    expectStopped();
    EXPECT_TRUE(anyOptimizeEnabled(dialog.get()));
    EXPECT_EQ(project->box().boxChanged, 0) << "recalculated";

    fit = openFitFrom(dialog.get());
    ASSERT_NE(fit, nullptr);
    press(fit->runButton());
    ASSERT_TRUE(fit->running());
    dialog.reset();
    EXPECT_TRUE(fit.isNull());
    expectStopped();
}

TEST_F(ClosedFitTest, WithoutADriverRunIsRefused) {
    TClosedBox empty(ui);
    TClosedDialog window(nullptr, empty, ui);
    test::showActive(&window);
    QPointer<TOptFitDialog> f = openFitFrom(&window);
    ASSERT_NE(f, nullptr);
    ui.messages.clear();
    press(f->runButton());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().caption, "Frequency fit opt.");
    EXPECT_EQ(ui.lastMessage().text, "Too few speaker parameters are defined");
    EXPECT_FALSE(f->running() || empty.fastMode());
    EXPECT_EQ(f->runButton()->text(), QStringLiteral("&Run"));
    EXPECT_TRUE(f->lowerCutoffField()->isEnabled());
    delete f.data();
}

using BandpassFitTest = test::WindowTest<TBP5Box, TBP5Dialog>;

TEST_F(BandpassFitTest, ShowsBothCutoffsAndAQOptionPerBoxAndKeepsThemInTheProject) {
    QPointer<TOptFitDialog> fit = openFitFrom(dialog.get());
    ASSERT_NE(fit, nullptr);
    ASSERT_NE(fit->upperCutoffField(), nullptr);
    EXPECT_EQ(fit->upperCutoffField()->text(), QStringLiteral("100")) << "a reset project has none";
    // Nothing cut off: every text has the room it asks for.
    for (const QWidget* w : fit->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(fit) ||
            !(qobject_cast<const QLabel*>(w) || qobject_cast<const QAbstractButton*>(w)))
            continue;
        EXPECT_GE(w->width(), w->minimumSizeHint().width()) << w->metaObject()->className();
        EXPECT_TRUE(fit->rect().contains(QRect(w->mapTo(fit, QPoint(0, 0)), w->size())));
    }

    enter(fit->lowerCutoffField(), QStringLiteral("40"));
    enter(fit->upperCutoffField(), QStringLiteral("150"));
    fit->frontBoxQBox()->click();
    fit->fineStepBox()->click();
    fit->intermediateBox()->click();
    EXPECT_EQ(project->fitSettings().flags, (std::array<std::uint8_t, 4>{0, 0, 1, 1}));

    // An upper cutoff below the lower one is refused before anything changes.
    enter(fit->upperCutoffField(), QStringLiteral("30"));
    ui.messages.clear();
    press(fit->runButton());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().caption, "Frequency fit opt.");
    EXPECT_FALSE(fit->running() || project->fastMode());

    enter(fit->upperCutoffField(), QStringLiteral("150"));
    const double front = project->box2Element()->Qb;
    press(fit->runButton());
    spin(10);
    EXPECT_NE(project->box2Element()->Qb, front) << "the front box's Q is stepped";
    press(fit->runButton());
    fit->close();
    test::drainEvents();
    ASSERT_TRUE(fit.isNull());

    // Opened again it shows what the project keeps.
    fit = openFitFrom(dialog.get());
    ASSERT_NE(fit, nullptr);
    EXPECT_EQ(fit->lowerCutoffField()->text(), QStringLiteral("40"));
    EXPECT_EQ(fit->upperCutoffField()->text(), QStringLiteral("150"));
    EXPECT_FALSE(fit->boxQBox()->isChecked() || fit->intermediateBox()->isChecked());
    EXPECT_TRUE(fit->frontBoxQBox()->isChecked() && fit->fineStepBox()->isChecked());
    delete fit.data();
}

// ---- every type: its window, the options its target has, a short fit -------------------------

class EveryTypeFitTest : public test::DialogTest, public ::testing::WithParamInterface<int> {};

TEST_P(EveryTypeFitTest, OpensItsWindowAndRunsAShortFit) {
    const int code = GetParam();
    std::unique_ptr<TBoxEmbryo> project = makeBoxProject(code, ui);
    ASSERT_TRUE(project);
    project->front().SetDefaultUnit();
    if (project->usesRearDriver()) project->rear().SetDefaultUnit();
    project->Calculate(0);
    ui.runPosted();
    QWidget parent;
    QPointer<QWidget> input = openProjectDialog(cmd::Box, {*project, ui, &parent, [](int) {}});
    ASSERT_TRUE(input);
    test::showActive(input);
    QPointer<TOptFitDialog> fit = openFitFrom(input);
    ASSERT_NE(fit, nullptr);

    // The window asks for what the type's target has.
    const bool bandpass = TFrequencyFit::shapeOf(code).bandpass();
    EXPECT_EQ(fit->upperCutoffField() != nullptr, bandpass);
    EXPECT_EQ(fit->frontBoxQBox() != nullptr, bandpass);
    EXPECT_EQ(fit->findChildren<QCheckBox*>().size(), bandpass ? 4 : 3);
    EXPECT_FALSE(anyOptimizeEnabled(input));

    enter(fit->lowerCutoffField(), QStringLiteral("40"));
    const double vb = project->boxElement()->Vb;
    TPortObject* port = project->portElement();
    const double length = port ? port->L : 0.0;
    press(fit->runButton());
    ASSERT_TRUE(fit->running());
    spin(6);
    EXPECT_GT(fit->fit().iterations(), 0);
    EXPECT_TRUE(std::isfinite(fit->fit().meanError()));
    EXPECT_NE(project->boxElement()->Vb, vb);
    if (code == TBassReflexBox::kTypeCode) {
        EXPECT_NE(port->L, length) << "the port is stepped too";
    }
    if (auto* reflex = qobject_cast<TBreflDialog*>(input.data())) {
        EXPECT_EQ(reflex->lengthField()->text(), test::shown("%2.2f", port->L * 100.0));
    }
    press(fit->runButton());
    settle();
    EXPECT_FALSE(project->fastMode());
    EXPECT_EQ(project->boxElement()->boxChanged, 0) << "recalculated";
    EXPECT_EQ(port ? port->portChanged : 0, 0);
    for (const BoxVolumeFields* b : input->findChildren<BoxVolumeFields*>())
        EXPECT_EQ(b->volumeField()->text(), test::shown("%2.1f", b->box().Vb * 1000.0));
    saveShot(fit, *project, ("fit_type" + std::to_string(code)).c_str());
    input->close();
    test::drainEvents();
    EXPECT_TRUE(fit.isNull()) << "goes with its input window";
    delete input.data();
}

INSTANTIATE_TEST_SUITE_P(Types, EveryTypeFitTest, ::testing::Range(0, 10));

} // namespace
} // namespace harlox
