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
#include "gui/dbl_edit.h"
#include "gui/diagram_view.h"
#include "gui/long_edit.h"
#include "gui/project_dialogs.h"
#include "dialog_test_support.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
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

std::string labelOf(const QWidget* dialog, const QWidget* field) {
    for (const QLabel* l : dialog->findChildren<QLabel*>())
        if (l->buddy() == field) return l->text().toStdString();
    return {};
}

std::vector<std::string> checkBoxTexts(const QWidget* dialog) {
    std::vector<std::string> texts;
    for (const QCheckBox* b : dialog->findChildren<QCheckBox*>())
        texts.push_back(b->text().toStdString());
    return texts;
}

std::vector<QAction*> optimizeActions(const QWidget* window) {
    const QMenuBar* bar = window->findChild<QMenuBar*>();
    if (!bar || bar->actions().isEmpty()) return {};
    const QList<QAction*> items = bar->actions().front()->menu()->actions();
    return {items.begin(), items.end()};
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

const double* targetData(const TBoxEmbryo& project) {
    const DiagramModel& w = project.splWindow();
    for (int i = 0; i < w.curveCount(); ++i)
        if (w.curve(i).label == "Target") return w.curve(i).y;
    return nullptr;
}

// The fit window next to the project's SPL diagram, written when HARLOX_SHOT_DIR names a folder.
void saveShot(QWidget* fitWindow, TBoxEmbryo& project, const char* name) {
    const char* dir = std::getenv("HARLOX_SHOT_DIR");
    if (!dir) return;
    DiagramView view(&project.splWindow());
    view.resize(DiagramView::kDefaultWidth, DiagramView::kDefaultHeight);
    const QImage diagram = view.grabDiagram();
    const QImage window = fitWindow->grab().toImage();
    QImage both(window.width() + diagram.width() + 12, std::max(window.height(), diagram.height()),
                QImage::Format_ARGB32);
    both.fill(Qt::lightGray);
    QPainter p(&both);
    p.drawImage(0, 0, window);
    p.drawImage(window.width() + 12, 0, diagram);
    p.end();
    both.save(QDir(QString::fromLocal8Bit(dir)).filePath(QString::fromLatin1(name) + QStringLiteral(".png")));
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
    void click(QAbstractButton* b) {
        QTest::mouseClick(b, Qt::LeftButton);
        test::drainEvents();
    }
    QPointer<TOptFitDialog> fit;
};

TEST_F(ClosedFitTest, ShowsTheClosedBoxOptionsAndGreysTheOptimizeCommandsWhileOpen) {
    EXPECT_NE(qobject_cast<TOptClosedFitDialog*>(fit.data()), nullptr);
    EXPECT_EQ(fit->windowTitle(), QStringLiteral("Frequency fit opt."));
    EXPECT_EQ(fit->helpFile(), QStringLiteral("optfit.txt"));
    EXPECT_EQ(fit->parentWidget(), dialog.get());
    EXPECT_EQ(labelOf(fit, fit->lowerCutoffField()), "Lower cufoff freq.");
    EXPECT_EQ(fit->upperCutoffField(), nullptr);
    EXPECT_EQ(fit->frontBoxQBox(), nullptr);
    EXPECT_EQ(checkBoxTexts(fit),
              (std::vector<std::string>{"Optimize box Q-value", "Show intermediate results",
                                        "Fine step optimize"}));
    // A reset project: 10 Hz, box Q off, intermediate results on, coarse steps.
    EXPECT_EQ(fit->lowerCutoffField()->text(), QStringLiteral("10"));
    EXPECT_FALSE(fit->boxQBox()->isChecked());
    EXPECT_TRUE(fit->intermediateBox()->isChecked());
    EXPECT_FALSE(fit->fineStepBox()->isChecked());
    EXPECT_EQ(labelOf(fit, fit->meanErrorField()), "Mean error");
    EXPECT_TRUE(fit->meanErrorField()->isReadOnly());
    EXPECT_EQ(fit->runButton()->text(), QStringLiteral("&Run"));
    EXPECT_EQ(fit->cancelButton()->text(), QStringLiteral("Close"));
    EXPECT_NE(fit->helpButton(), nullptr);
    EXPECT_EQ(fit->okButton(), nullptr);

    // The range of the cutoff is the field's: 5 Hz is refused.
    enter(fit->lowerCutoffField(), QStringLiteral("5"));
    EXPECT_EQ(fit->lowerCutoffField()->value(), 10);
    EXPECT_GT(beeps, 0);

    saveShot(fit, *project, "fit_closed_idle");
    EXPECT_EQ(optimizeActions(dialog.get()).size(), 3u);
    EXPECT_FALSE(anyOptimizeEnabled(dialog.get()));
    // Asked again (the command is greyed, but whoever asks) it raises the open window.
    EXPECT_EQ(openFrequencyFit(*dialog, *project, ui, dialog->optimizeMenu(), {}, {}), fit.data());
    EXPECT_EQ(dialog->findChildren<TOptFitDialog*>().size(), 1);

    click(fit->cancelButton());
    test::drainEvents();
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

    click(fit->runButton());
    ASSERT_TRUE(fit->running());
    EXPECT_EQ(fit->runButton()->text(), QStringLiteral("&Halt"));
    EXPECT_TRUE(project->fastMode());
    EXPECT_NE(targetData(*project), nullptr) << "the SPL window shows the target";
    EXPECT_FALSE(fit->lowerCutoffField()->isEnabled());
    EXPECT_FALSE(fit->boxQBox()->isEnabled());
    EXPECT_FALSE(dialog->content()->isEnabled()) << "the box is the fit's while it runs";
    EXPECT_TRUE(fit->cancelButton()->isEnabled());

    // Each pass of the event loop is one iteration.
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();
    EXPECT_GE(fit->fit().iterations(), 5);
    EXPECT_LE(fit->fit().iterations(), 20 * 3);
    EXPECT_LT(project->box().Vb, vb);
    EXPECT_EQ(fit->meanErrorField()->text(), test::shown("%2.2f", fit->fit().meanError()));
    // "Show intermediate results": the input window follows the fit.
    EXPECT_EQ(dialog->boxFields().volumeField()->text(), test::shown("%2.1f", project->box().Vb * 1000.0));
    saveShot(fit, *project, "fit_closed_running");

    click(fit->runButton());
    ui.runPosted();
    EXPECT_FALSE(fit->running());
    const long iterations = fit->fit().iterations();
    test::drainEvents();
    EXPECT_EQ(fit->fit().iterations(), iterations) << "no iteration after Halt";
    EXPECT_EQ(fit->runButton()->text(), QStringLiteral("&Run"));
    EXPECT_TRUE(fit->lowerCutoffField()->isEnabled());
    EXPECT_TRUE(fit->boxQBox()->isEnabled());
    EXPECT_TRUE(dialog->content()->isEnabled());
    EXPECT_FALSE(project->fastMode());
    EXPECT_EQ(targetData(*project), nullptr);
    EXPECT_NE(fit->meanErrorField()->text(), QStringLiteral("undef."));
    EXPECT_EQ(dialog->boxFields().volumeField()->text(), test::shown("%2.1f", project->box().Vb * 1000.0));
    // Everything a full calculation writes is there already: another one changes nothing.
    const std::string sheet = project->dataSheetText();
    const double f3 = project->f3();
    EXPECT_GT(f3, 0.0);
    project->Calculate(0);
    EXPECT_EQ(project->dataSheetText(), sheet);
    EXPECT_EQ(project->f3(), f3);
    EXPECT_FALSE(anyOptimizeEnabled(dialog.get())) << "still open";
}

TEST_F(ClosedFitTest, WithoutIntermediateResultsTheFieldsWaitForHalt) {
    fit->intermediateBox()->click();
    enter(fit->lowerCutoffField(), QStringLiteral("120"));
    const QString before = dialog->boxFields().volumeField()->text();
    click(fit->runButton());
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
    EXPECT_GT(fit->fit().iterations(), 0);
    EXPECT_EQ(dialog->boxFields().volumeField()->text(), before);
    click(fit->runButton());
    EXPECT_EQ(dialog->boxFields().volumeField()->text(), test::shown("%2.1f", project->box().Vb * 1000.0));
    EXPECT_NE(dialog->boxFields().volumeField()->text(), before);
}

TEST_F(ClosedFitTest, ClosingWhileRunningHaltsFirst) {
    enter(fit->lowerCutoffField(), QStringLiteral("100"));
    click(fit->runButton());
    ASSERT_TRUE(fit->running());
    click(fit->cancelButton());
    test::drainEvents();
    EXPECT_TRUE(fit.isNull());
    EXPECT_FALSE(project->fastMode());
    EXPECT_EQ(targetData(*project), nullptr);
    EXPECT_TRUE(dialog->content()->isEnabled());
    EXPECT_TRUE(anyOptimizeEnabled(dialog.get()));
    EXPECT_EQ(project->box().boxChanged, 0) << "recalculated";
}

TEST_F(ClosedFitTest, TheInputWindowGoingAwayStopsTheFit) {
    click(fit->runButton());
    ASSERT_TRUE(fit->running());
    dialog.reset();
    EXPECT_TRUE(fit.isNull());
    EXPECT_FALSE(project->fastMode());
    EXPECT_EQ(targetData(*project), nullptr);
}

TEST_F(ClosedFitTest, WithoutADriverRunIsRefused) {
    TClosedBox empty(ui);
    TClosedDialog window(nullptr, empty, ui);
    test::showActive(&window);
    QPointer<TOptFitDialog> f = openFitFrom(&window);
    ASSERT_NE(f, nullptr);
    ui.messages.clear();
    click(f->runButton());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().caption, "Frequency fit opt.");
    EXPECT_EQ(ui.lastMessage().text, "Too few speaker parameters are defined");
    EXPECT_FALSE(f->running());
    EXPECT_EQ(f->runButton()->text(), QStringLiteral("&Run"));
    EXPECT_TRUE(f->lowerCutoffField()->isEnabled());
    EXPECT_FALSE(empty.fastMode());
    delete f.data();
}

using ReflexFitTest = test::WindowTest<TBassReflexBox, TBreflDialog>;

TEST_F(ReflexFitTest, StepsTheBoxAndThePort) {
    QPointer<TOptFitDialog> fit = openFitFrom(dialog.get());
    ASSERT_NE(qobject_cast<TOptBassReflexFitDialog*>(fit.data()), nullptr);
    EXPECT_EQ(fit->upperCutoffField(), nullptr);
    EXPECT_EQ(checkBoxTexts(fit),
              (std::vector<std::string>{"Optimize box Q-value", "Show intermediate results",
                                        "Fine step optimize"}));
    const double vb = project->box().Vb;
    const double length = project->port().L;
    enter(fit->lowerCutoffField(), QStringLiteral("45"));
    QTest::mouseClick(fit->runButton(), Qt::LeftButton);
    for (int i = 0; i < 15; ++i)
        QCoreApplication::processEvents();
    EXPECT_GT(fit->fit().iterations(), 0);
    EXPECT_NE(project->box().Vb, vb);
    EXPECT_NE(project->port().L, length);
    EXPECT_EQ(dialog->lengthField()->text(), test::shown("%2.2f", project->port().L * 100.0));
    saveShot(fit, *project, "fit_reflex_running");
    QTest::mouseClick(fit->runButton(), Qt::LeftButton);
    settle();
    EXPECT_EQ(fit->runButton()->text(), QStringLiteral("&Run"));
    EXPECT_FALSE(project->fastMode());
    EXPECT_EQ(project->port().portChanged, 0) << "recalculated";
    EXPECT_TRUE(dialog->content()->isEnabled());
    delete fit.data();
}

using BandpassFitTest = test::WindowTest<TBP5Box, TBP5Dialog>;

TEST_F(BandpassFitTest, ShowsBothCutoffsAndAQOptionPerBoxAndKeepsThemInTheProject) {
    QPointer<TOptFitDialog> fit = openFitFrom(dialog.get());
    ASSERT_NE(qobject_cast<TOptBP5FitDialog*>(fit.data()), nullptr);
    ASSERT_NE(fit->upperCutoffField(), nullptr);
    EXPECT_EQ(labelOf(fit, fit->upperCutoffField()), "Upper cufoff freq.");
    EXPECT_EQ(fit->upperCutoffField()->text(), QStringLiteral("100")) << "a reset project has none";
    EXPECT_EQ(checkBoxTexts(fit),
              (std::vector<std::string>{"Optimize rear box Q-value", "Optimize front box Q-value",
                                        "Show intermediate results", "Fine step optimize"}));

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
    const FitSettings& s = project->fitSettings();
    EXPECT_EQ(s.lowerCutoff, 40);
    EXPECT_EQ(s.upperCutoff, 150);
    EXPECT_EQ(s.flags, (std::array<std::uint8_t, 4>{0, 0, 1, 1}));

    // An upper cutoff below the lower one is refused before anything changes.
    enter(fit->upperCutoffField(), QStringLiteral("30"));
    ui.messages.clear();
    QTest::mouseClick(fit->runButton(), Qt::LeftButton);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().caption, "Frequency fit opt.");
    EXPECT_FALSE(fit->running());
    EXPECT_FALSE(project->fastMode());

    enter(fit->upperCutoffField(), QStringLiteral("150"));
    const double front = project->box2Element()->Qb;
    QTest::mouseClick(fit->runButton(), Qt::LeftButton);
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
    EXPECT_NE(project->box2Element()->Qb, front) << "the front box's Q is stepped";
    saveShot(fit, *project, "fit_bandpass1_running");
    QTest::mouseClick(fit->runButton(), Qt::LeftButton);
    fit->close();
    test::drainEvents();
    ASSERT_TRUE(fit.isNull());

    // Opened again it shows what the project keeps.
    fit = openFitFrom(dialog.get());
    ASSERT_NE(fit, nullptr);
    EXPECT_EQ(fit->lowerCutoffField()->text(), QStringLiteral("40"));
    EXPECT_EQ(fit->upperCutoffField()->text(), QStringLiteral("150"));
    EXPECT_FALSE(fit->boxQBox()->isChecked());
    EXPECT_TRUE(fit->frontBoxQBox()->isChecked());
    EXPECT_FALSE(fit->intermediateBox()->isChecked());
    EXPECT_TRUE(fit->fineStepBox()->isChecked());
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

    static const char* const kClasses[] = {"TOptClosedFitDialog",       "TOptBassReflexFitDialog",
                                           "TOptBassReflexDTFitDialog", "TOptBassReflexDT2FitDialog",
                                           "TOptAbrFitDialog",          "TOptBP5FitDialog",
                                           "TOptBP6FitDialog",          "TOptBP7FitDialog",
                                           "TOptBP8FitDialog",          "TOptBassReflexVelFitDialog"};
    EXPECT_EQ(QString::fromLatin1(fit->metaObject()->className()).section(QStringLiteral("::"), -1),
              QString::fromLatin1(kClasses[code]));
    // The window asks for what the type's target has.
    const bool bandpass = TFrequencyFit::shapeOf(code).bandpass();
    EXPECT_EQ(fit->upperCutoffField() != nullptr, bandpass);
    EXPECT_EQ(fit->frontBoxQBox() != nullptr, bandpass);
    EXPECT_FALSE(anyOptimizeEnabled(input));

    enter(fit->lowerCutoffField(), QStringLiteral("40"));
    const double vb = project->boxElement()->Vb;
    const double mass = code == TAbrBox::kTypeCode ? static_cast<TAbrBox&>(*project).abr().Mmp : 0.0;
    QTest::mouseClick(fit->runButton(), Qt::LeftButton);
    ASSERT_TRUE(fit->running());
    for (int i = 0; i < 6; ++i)
        QCoreApplication::processEvents();
    EXPECT_GT(fit->fit().iterations(), 0);
    EXPECT_TRUE(std::isfinite(fit->fit().meanError()));
    EXPECT_NE(project->boxElement()->Vb, vb);
    if (code == TAbrBox::kTypeCode) {
        EXPECT_NE(static_cast<TAbrBox&>(*project).abr().Mmp, mass);
    }
    QTest::mouseClick(fit->runButton(), Qt::LeftButton);
    EXPECT_FALSE(project->fastMode());
    input->close();
    test::drainEvents();
    EXPECT_TRUE(fit.isNull()) << "goes with its input window";
    delete input.data();
}

INSTANTIATE_TEST_SUITE_P(Types, EveryTypeFitTest, ::testing::Range(0, 10));

} // namespace
} // namespace harlox
