#include "gui/snapshot_dialog.h"

#include "box/closed_box.h"
#include "box/room_cabinet.h"
#include "core/command_ids.h"
#include "gui/diagram_renderer.h"
#include "gui/long_edit.h"
#include "gui/project_dialogs.h"
#include "gui/snapshot_model.h"
#include "dialog_test_support.h"
#include "temp_dir.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QPointer>

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace harlox {
namespace {

std::vector<double> head(const std::array<double, kMaxPoints>& a, int n) {
    return {a.begin(), a.begin() + n};
}

// The dialog as the Snapshot command opens it, with the project's own curve source.
class SnapshotDialogTest : public test::ProjectTest<TClosedBox> {
protected:
    void SetUp() override {
        ProjectTest::SetUp();
        dialog =
            qobject_cast<TSnapshotDialog*>(openProjectDialog(cmd::Snapshot, {*project, ui, &parent, {}}));
        ASSERT_TRUE(dialog);
        test::showActive(dialog.data());
    }
    void trigger(int command) { dialog->commandAction(command)->trigger(); }
    TSnapshot& snapshot() { return project->snapshot(); }
    SnapshotSlot& slot(int i) { return snapshotSlot(snapshot(), i); }
    std::vector<double> projectSpl() const { return head(project->SPL, project->pointCount()); }
    void typeTitle(const QString& text) {
        dialog->titleEdit()->selectAll();
        QTest::keyClicks(dialog->titleEdit(), text);
    }

    test::TempDir dir;
    QWidget parent;
    QPointer<TSnapshotDialog> dialog;
};

TEST_F(SnapshotDialogTest, CopyTakesTheDesignAsItStandsIntoTheCurrentSlotOnly) {
    sharedSetup().calculateImmediately = 0;
    const std::vector<double> before = projectSpl();
    project->setVb(0.004); // a much smaller box, not yet calculated
    dialog->slotList()->setCurrentIndex(2);
    const int repaints = ui.repaints;
    trigger(TSnapshotDialog::CopyFreeAirCommand);
    EXPECT_GT(ui.repaints, repaints);

    const SnapshotSlot& s = slot(2);
    ASSERT_EQ(s.pointCount, project->pointCount());
    EXPECT_EQ(head(s.frequencies, s.pointCount), head(TMeasureSetupObject::grid().f, s.pointCount));
    EXPECT_EQ(head(s.levels, s.pointCount), projectSpl());
    EXPECT_NE(head(s.levels, s.pointCount), before);
    for (const int other : {0, 1, 3, 4})
        EXPECT_EQ(slot(other).used, 0) << other;
    // The snapshot window draws the visible slots with their pens and offsets.
    slot(2).offset = 10;
    RenderOptions o;
    addSnapshotDrawing(snapshot(), o);
    ASSERT_EQ(o.extraCurves.size(), 1u);
    EXPECT_EQ(o.extraCurves[0].pen, TSnapshot::kPens[2]);
    EXPECT_EQ(o.extraCurves[0].offset, 10.0);
    // A slot without a text is named in its legend row and read-out, not shown as a bare number.
    ASSERT_EQ(o.legendRows.size(), 1u);
    EXPECT_EQ(o.legendRows[0].text, QStringLiteral("Snapshot 3"));
    EXPECT_EQ(o.extraCurves[0].label, QStringLiteral("Snapshot 3"));
    slot(2).text = "Closed 4 l";
    RenderOptions named;
    addSnapshotDrawing(snapshot(), named);
    EXPECT_EQ(named.legendRows[0].text, QStringLiteral("Closed 4 l"));
    EXPECT_FALSE(DiagramRenderer::toImage(snapshot().window(), QSize(600, 380), o).isNull());

    // Hiding keeps the curve; another copy shows it again.
    ASSERT_TRUE(dialog->hideBox()->isEnabled());
    dialog->hideBox()->click();
    EXPECT_EQ(slot(2).visible, 0);
    trigger(TSnapshotDialog::CopyFreeAirCommand);
    EXPECT_EQ(slot(2).visible, 1);
}

TEST_F(SnapshotDialogTest, FieldsWriteTheSnapshotAndTheSelectedSlot) {
    EXPECT_EQ(dialog->titleEdit()->text(), QStringLiteral("Snapshot"));
    enter(dialog->rangeField(), QStringLiteral("45"));
    EXPECT_EQ(snapshot().range, 45);
    typeTitle(QString(100, QLatin1Char('t')));
    EXPECT_EQ(snapshot().window().title(), std::string(79, 't')) << "the caption, cut to its block";

    dialog->slotList()->setCurrentIndex(3);
    enter(dialog->offsetField(), QStringLiteral("7"));
    EXPECT_EQ(slot(3).offset, 7);
    dialog->slotList()->setCurrentIndex(0);
    EXPECT_EQ(dialog->offsetField()->text(), QStringLiteral("0"));
}

TEST_F(SnapshotDialogTest, SaveAndOpenAndAFileThatCannotBeRead) {
    trigger(TSnapshotDialog::CopyFreeAirCommand);
    typeTitle(QStringLiteral("Kitchen"));
    const std::vector<double> levels = projectSpl();
    const std::string path = dir.file("kitchen.snp");
    ui.files = {path, path};
    trigger(TSnapshotDialog::SaveCommand);
    trigger(TSnapshotDialog::SaveCommand);
    ASSERT_EQ(ui.fileRequests.size(), 1u) << "saved again without asking";
    EXPECT_EQ(ui.fileRequests[0].filter, TBoxEmbryo::kSnapshotFilter);
    EXPECT_FALSE(ui.posted.empty()) << "the project hears of the new snapshot file";

    typeTitle(QStringLiteral("Other"));
    slot(0).levels.fill(0.0);
    trigger(TSnapshotDialog::OpenCommand);
    EXPECT_EQ(dialog->titleEdit()->text(), QStringLiteral("Kitchen"));
    EXPECT_EQ(head(slot(0).levels, slot(0).pointCount), levels);
    EXPECT_TRUE(ui.messages.empty());

    // A short file: said so, and the snapshot and the fields start afresh.
    test::writeAll(path, std::vector<std::uint8_t>(TSnapshot::kFileSize - 1, 0));
    ui.files.push_back(path);
    trigger(TSnapshotDialog::OpenCommand);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().caption, "File open");
    EXPECT_EQ(dialog->titleEdit()->text(), QStringLiteral("Snapshot"));
    EXPECT_FALSE(dialog->hideBox()->isEnabled());
}

TEST_F(SnapshotDialogTest, CopyFromRoomTakesTheRoomCurveOfTheDesignAsItStands) {
    QAction* action = dialog->commandAction(TSnapshotDialog::CopyRoomCabinetCommand);
    ASSERT_TRUE(action->isEnabled());
    EXPECT_EQ(action->text(), QStringLiteral("SPL in &room && cabinet"));
    sharedSetup().calculateImmediately = 0;
    const std::vector<double> before = head(project->roomCabinet().roomSpl, project->pointCount());
    project->roomCabinet().listenerZ = 2.0; // not yet calculated
    project->markChanged();
    dialog->slotList()->setCurrentIndex(1);
    trigger(TSnapshotDialog::CopyRoomCabinetCommand);

    const SnapshotSlot& s = slot(1);
    const int n = project->pointCount();
    ASSERT_EQ(s.pointCount, n);
    EXPECT_EQ(head(s.frequencies, n), head(TMeasureSetupObject::grid().f, n));
    EXPECT_EQ(head(s.levels, n), head(project->roomCabinet().roomSpl, n));
    EXPECT_NE(head(s.levels, n), projectSpl());
    EXPECT_NE(head(s.levels, n), before) << "calculated before the copy";
    EXPECT_EQ(s.visible, 1);
    EXPECT_TRUE(dialog->hideBox()->isEnabled());
}

} // namespace
} // namespace harlox
