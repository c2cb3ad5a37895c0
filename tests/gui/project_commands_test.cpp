// The Snapshot and Driver unit > Edit / create commands of a box project, run through the
// main window as the menus run them.
#include "gui/main_window.h"

#include "box/box_embryo.h"
#include "core/command_ids.h"
#include "core/measure_setup.h"
#include "core/program_dir.h"
#include "driver/spk_data.h"
#include "gui/box_project_windows.h"
#include "gui/dbl_edit.h"
#include "gui/diagram_view.h"
#include "gui/snapshot_dialog.h"
#include "gui/snapshot_model.h"
#include "gui/speaker_unit_dialog.h"
#include "gui_test_support.h"
#include "scripted_ui_host.h"
#include "temp_dir.h"

#include <QAction>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPrinter>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace harlox {
namespace {

using test::drainEvents;

constexpr const char* kSaveBeforeExit = "File has been changed.\r\nSave before exit ?";

class ProjectCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        oldProgramDirectory = programDirectory();
        setProgramDirectory(dir.path());
        setPreferencesDirectory(dir.path());
        sharedSetup().setValuesToDefaults();
        sharedSetup().setupChanged = 1;
        hooks.showStartDialog = false;
        hooks.execDialog = [](QDialog&) { return TBaseDialog::ResultCancel; };
        hooks.choosePrinter = [this](QPrinter& p) {
            p.setOutputFormat(QPrinter::PdfFormat);
            p.setOutputFileName(QString::fromStdString(dir.file("print.pdf")));
            return true;
        };
        hooks.startDetached = [](const QString&) { return true; };
        hooks.showTextFile = [](const QString&) {};
        window = std::make_unique<TMainWindow>(host, hooks);
        window->show();

        TSpkData unit;
        unit.SetDefault();
        unitPath = dir.file("unit.unt");
        ASSERT_TRUE(unit.Save(unitPath));
        host.files.push_back(unitPath);
        window->runCommand(cmd::NewClosed);
        host.runPosted();
        ASSERT_NE(window->boxProject(), nullptr);
        host.messages.clear();
    }
    void TearDown() override {
        window.reset();
        setPreferencesDirectory("");
        setProgramDirectory(oldProgramDirectory);
    }

    bool enabled(int id) const {
        const QAction* a = window->commandAction(id);
        return a && a->isVisible() && a->isEnabled();
    }
    template <class T> QList<T*> open() const { return window->findChildren<T*>(); }
    static void finish(TBaseDialog* dialog) {
        dialog->cancelCommand();
        drainEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    TBoxEmbryo& box() const { return *window->boxProject(); }

    std::string oldProgramDirectory;
    test::TempDir dir;
    test::ScriptedUiHost host;
    MainWindowHooks hooks;
    std::unique_ptr<TMainWindow> window;
    std::string unitPath;
};

TEST_F(ProjectCommandsTest, SnapshotOpensOnceShowsItsWindowAndComesBackOnClose) {
    BoxProjectWindows* w = window->projectWindows();
    QMdiSubWindow* sub = w->subWindowOf(w->snapshotView());
    ASSERT_NE(sub, nullptr);
    EXPECT_TRUE(sub->isMinimized()) << "empty until a curve is copied";
    EXPECT_EQ(sub->windowTitle(), QStringLiteral("Snapshots"));

    ASSERT_TRUE(enabled(cmd::Snapshot));
    window->runCommand(cmd::Snapshot);
    ASSERT_EQ(open<TSnapshotDialog>().size(), 1);
    EXPECT_FALSE(enabled(cmd::Snapshot));
    EXPECT_TRUE(box().dialogOpen(ProjectDialog::Snapshot));
    EXPECT_FALSE(sub->isMinimized());
    // Beside the SPL window it is compared with, not over it.
    EXPECT_FALSE(sub->geometry().intersects(w->subWindowOf(w->views().front())->geometry()));
    window->runCommand(cmd::Snapshot);
    EXPECT_EQ(open<TSnapshotDialog>().size(), 1);
    // A recalculation leaves it greyed while the dialog is open.
    window->postProjectChanged(0);
    host.runPosted();
    EXPECT_FALSE(enabled(cmd::Snapshot));

    // Copy and title show in the window.
    QPointer<TSnapshotDialog> dialog = open<TSnapshotDialog>().front();
    dialog->commandAction(TSnapshotDialog::CopyFreeAirCommand)->trigger();
    dialog->titleEdit()->setFocus();
    dialog->titleEdit()->end(false);
    QTest::keyClicks(dialog->titleEdit(), QStringLiteral(" 1"));
    drainEvents();
    EXPECT_EQ(sub->windowTitle(), QStringLiteral("Snapshot 1"));
    EXPECT_EQ(snapshotSlot(box().snapshot(), 0).pointCount, box().pointCount());
    const DiagramLayout l =
        DiagramRenderer::layout(QRectF(w->snapshotView()->rect()), box().snapshot().window(),
                                w->snapshotView()->renderOptions(w->snapshotView()->screenUnit()));
    double top = -1e9;
    for (int i = 0; i < box().pointCount(); ++i)
        top = std::max(top, box().SPL[static_cast<std::size_t>(i)]);
    EXPECT_DOUBLE_EQ(l.y.bounds().max, top);
    EXPECT_DOUBLE_EQ(l.y.bounds().max - l.y.bounds().min, 30.0);
    // The curve's highest point is drawn where the axis says.
    const QImage img = w->snapshotView()->grabDiagram();
    int at = 0;
    for (int i = 0; i < box().pointCount(); ++i)
        if (box().SPL[static_cast<std::size_t>(i)] == top) at = i;
    const double px = l.x.toPixel(TMeasureSetupObject::grid().f[static_cast<std::size_t>(at)]);
    const double py = l.y.toPixel(top);
    bool black = false;
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx) {
            const QColor c = img.pixelColor(static_cast<int>(px) + dx, static_cast<int>(py) + dy);
            black = black || (c.red() < 90 && c.green() < 90 && c.blue() < 90);
        }
    EXPECT_TRUE(black);

    // The snapshot window is a diagram window: Default size, Copy and Print work on it.
    window->mdiArea()->setActiveSubWindow(sub);
    ASSERT_EQ(w->activeDiagram(), w->snapshotView());
    host.runPosted();
    box().ChangeNotification(TBoxEmbryo::kChangeSaved);
    window->runCommand(cmd::DefaultSize);
    EXPECT_EQ(w->snapshotView()->size(),
              QSize(TSnapshotDialog::kWindowWidth, TSnapshotDialog::kWindowHeight));
    host.runPosted();
    EXPECT_TRUE(box().isChanged()) << "the window's placement is part of the project";
    window->runCommand(cmd::PrintWindow);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_GT(test::readAll(dir.file("print.pdf")).size(), 1000u);

    finish(dialog);
    ASSERT_FALSE(dialog);
    EXPECT_TRUE(enabled(cmd::Snapshot));
    EXPECT_FALSE(box().dialogOpen(ProjectDialog::Snapshot));
}

TEST_F(ProjectCommandsTest, TheSnapshotWindowKeepsItsPlacementAcrossAProjectFile) {
    BoxProjectWindows* w = window->projectWindows();
    QMdiSubWindow* sub = w->subWindowOf(w->snapshotView());
    sub->showNormal();
    sub->setGeometry(40, 30, 500, 300);
    sub->showMinimized();
    sub->move(0, 200);
    const WindowPlacement stored = box().snapshot().window().placement;
    EXPECT_EQ(stored.v[1], 2); // minimised
    EXPECT_EQ(stored.v[6], 40);
    EXPECT_EQ(stored.v[9], 330);

    // What a project file gives back is put into effect and stays as it was.
    sub->showNormal();
    sub->setGeometry(5, 5, 300, 200);
    box().snapshot().window().placement = stored;
    w->applyStoredPlacements();
    EXPECT_TRUE(sub->isMinimized());
    EXPECT_EQ(sub->pos(), QPoint(0, 200));
    EXPECT_EQ(box().snapshot().window().placement, stored);
    sub->showNormal();
    EXPECT_EQ(sub->geometry(), QRect(40, 30, 500, 300));
}

TEST_F(ProjectCommandsTest, EditCreateOpensOneEditorOnTheProjectsUnit) {
    ASSERT_TRUE(enabled(cmd::DriverEdit));
    window->runCommand(cmd::DriverEdit);
    ASSERT_EQ(open<TSpeakerUnitDialog>().size(), 1);
    QPointer<TSpeakerUnitDialog> editor = open<TSpeakerUnitDialog>().front();
    EXPECT_FALSE(enabled(cmd::DriverEdit));
    EXPECT_TRUE(box().dialogOpen(ProjectDialog::DriverEditor));
    EXPECT_EQ(editor->windowTitle(), QStringLiteral("Speaker unit editor"));
    EXPECT_EQ(editor->helpFile(), QStringLiteral("drvunit.txt"));
    // It shows the unit the project loaded.
    EXPECT_EQ(editor->modelEdit()->text(), QString::fromStdString(box().front().modelText()));
    EXPECT_EQ(editor->fileNameEdit()->text(), QStringLiteral("unit.unt"));
    EXPECT_EQ(editor->field(UnitField::Qts)->value(), box().front().Qts);
    EXPECT_FALSE(editor->editor().changed());

    // The second time no second editor opens.
    window->runCommand(cmd::DriverEdit);
    EXPECT_EQ(open<TSpeakerUnitDialog>().size(), 1);
    // Nor does a recalculation enable the command meanwhile.
    window->postProjectChanged(0);
    host.runPosted();
    EXPECT_FALSE(enabled(cmd::DriverEdit));

    editor->move(77, 66);
    const QPoint where = editor->pos();
    finish(editor);
    ASSERT_FALSE(editor);
    EXPECT_TRUE(enabled(cmd::DriverEdit));
    EXPECT_FALSE(box().dialogOpen(ProjectDialog::DriverEditor));

    // It opens again, where it was closed.
    window->runCommand(cmd::DriverEdit);
    ASSERT_EQ(open<TSpeakerUnitDialog>().size(), 1);
    EXPECT_EQ(open<TSpeakerUnitDialog>().front()->pos(), where);
}

TEST_F(ProjectCommandsTest, EditingAndSavingTheUnitLeavesTheProjectAsItWas) {
    const double qts = box().front().Qts;
    const std::vector<double> spl(box().SPL.begin(), box().SPL.begin() + box().pointCount());
    window->runCommand(cmd::DriverEdit);
    QPointer<TSpeakerUnitDialog> editor = open<TSpeakerUnitDialog>().front();
    editor->editor().enterField(UnitField::Qts, 0.5);
    ASSERT_TRUE(editor->editor().changed());

    // Saved under a new name: the unit file is written, the project keeps its unit until it
    // loads one.
    const std::string other = dir.file("other.unt");
    host.files.push_back(other);
    editor->action(TSpeakerUnitDialog::Command::Save)->trigger();
    EXPECT_TRUE(host.messages.empty());
    TSpkData saved;
    ASSERT_TRUE(saved.Load(other));
    EXPECT_DOUBLE_EQ(saved.Qts, 0.5);
    EXPECT_EQ(box().front().Qts, qts);
    EXPECT_EQ(box().frontUnitPath(), "unit.unt");
    host.runPosted();
    EXPECT_EQ(std::vector<double>(box().SPL.begin(), box().SPL.begin() + box().pointCount()), spl);

    // Loading it makes it the project's unit.
    finish(editor);
    host.files.push_back(other);
    window->runCommand(cmd::DriverLoad);
    host.runPosted();
    EXPECT_DOUBLE_EQ(box().front().Qts, 0.5);
}

TEST_F(ProjectCommandsTest, AnUnsavedUnitIsAskedAboutBeforeTheProjectCloses) {
    window->runCommand(cmd::DriverEdit);
    QPointer<TSpeakerUnitDialog> editor = open<TSpeakerUnitDialog>().front();
    editor->editor().enterField(UnitField::Re, 7.1);

    // Cancel keeps the project and the editor.
    host.answers.push_back(MessageResult::Cancel);
    window->runCommand(cmd::NewBassReflex);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.lastMessage().caption, "Speaker unit editor");
    EXPECT_EQ(host.lastMessage().text, kSaveBeforeExit);
    EXPECT_EQ(box().typeCode(), 0);
    EXPECT_TRUE(editor);

    // No: the unit is dropped with the project; the project then asks its own question.
    host.answers.push_back(MessageResult::No);
    host.answers.push_back(MessageResult::No);
    host.files.push_back(std::nullopt);
    window->runCommand(cmd::NewBassReflex);
    EXPECT_EQ(host.messages[1].text, kSaveBeforeExit);
    EXPECT_EQ(host.messages[2].caption, "Box project");
    EXPECT_FALSE(editor);
    ASSERT_NE(window->boxProject(), nullptr);
    EXPECT_EQ(box().typeCode(), 1);
    EXPECT_TRUE(enabled(cmd::DriverEdit));
}

TEST_F(ProjectCommandsTest, EditCreateWithoutAUnitOffersTheBuiltInOne) {
    host.answers.push_back(MessageResult::No); // do not save the first project
    host.files.push_back(std::nullopt);        // and load no unit into the new one
    window->runCommand(cmd::NewClosed);
    ASSERT_EQ(box().front().unitOk, 0);
    ASSERT_TRUE(enabled(cmd::DriverEdit));
    window->runCommand(cmd::DriverEdit);
    ASSERT_EQ(open<TSpeakerUnitDialog>().size(), 1);
    QPointer<TSpeakerUnitDialog> editor = open<TSpeakerUnitDialog>().front();
    EXPECT_FALSE(editor->modelEdit()->text().isEmpty());
    EXPECT_FALSE(editor->editor().changed());
    EXPECT_EQ(box().front().unitOk, 0) << "the project still has no unit";
}

} // namespace
} // namespace harlox
