#include "gui/snapshot_dialog.h"

#include "box/closed_box.h"
#include "core/command_ids.h"
#include "core/measure_setup.h"
#include "core/program_dir.h"
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
#include <QLineEdit>
#include <QPointer>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace harlox {
namespace {

constexpr const char* kSaveFailed = "Could not open file.\nCheck if device is ready\nor if the disk is full.";
constexpr const char* kOpenFailed = "Could not open file.\nCheck if device is ready.";

// ---- the dialog on a calculated closed box ------------------------------------------------

class SnapshotDialogTest : public test::DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        oldProgramDirectory = programDirectory();
        setProgramDirectory(dir.path());
        parent = std::make_unique<QWidget>();
        project = std::make_unique<TClosedBox>(ui);
        project->front().SetDefaultUnit();
        project->Calculate(0);
        ui.runPosted();
        ui.messages.clear();
        open();
    }
    void TearDown() override {
        parent.reset();
        project.reset();
        setProgramDirectory(oldProgramDirectory);
        DialogTest::TearDown();
    }

    // The dialog as the Snapshot command opens it, with the project's own curve source.
    void open() {
        const ProjectDialogContext context{*project, ui, parent.get(), [](int) {}};
        dialog = qobject_cast<TSnapshotDialog*>(openProjectDialog(cmd::Snapshot, context));
        ASSERT_TRUE(dialog);
        test::showActive(dialog.data());
    }
    void closeDialog() {
        dialog->cancelCommand();
        test::drainEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_FALSE(dialog);
    }
    void trigger(int command) { dialog->commandAction(command)->trigger(); }
    TSnapshot& snapshot() { return project->snapshot(); }
    SnapshotSlot& slot(int i) { return snapshotSlot(snapshot(), i); }
    // Replaces the text as the user would.
    static void typeText(QLineEdit* edit, const QString& text) {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    // The project's free-air SPL as the copy should hold it.
    std::vector<double> projectSpl() const {
        return {project->SPL.begin(), project->SPL.begin() + project->pointCount()};
    }
    static std::vector<double> head(const std::array<double, kMaxPoints>& a, int n) {
        return {a.begin(), a.begin() + n};
    }

    std::string oldProgramDirectory;
    test::TempDir dir;
    std::unique_ptr<QWidget> parent;
    std::unique_ptr<TClosedBox> project;
    QPointer<TSnapshotDialog> dialog;
};

TEST_F(SnapshotDialogTest, OpensOnTheSnapshotWithItsMenu) {
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Snapshot"));
    EXPECT_EQ(dialog->helpFile(), QStringLiteral("snapshot.txt"));
    EXPECT_EQ(dialog->titleEdit()->text(), QStringLiteral("Snapshot"));
    EXPECT_EQ(dialog->rangeField()->text(), QStringLiteral("30"));
    EXPECT_EQ(dialog->startField()->text(), QStringLiteral("20"));
    EXPECT_EQ(dialog->stopField()->text(), QStringLiteral("2000"));
    QStringList names;
    for (int i = 0; i < dialog->slotList()->count(); ++i)
        names << dialog->slotList()->itemText(i);
    EXPECT_EQ(names, (QStringList{QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three"),
                                  QStringLiteral("four"), QStringLiteral("five")}));
    EXPECT_EQ(dialog->slotList()->currentIndex(), 0);
    EXPECT_FALSE(dialog->hideBox()->isEnabled()) << "nothing to hide in an empty slot";
    for (const int id : {TSnapshotDialog::SaveCommand, TSnapshotDialog::SaveAsCommand,
                         TSnapshotDialog::OpenCommand, TSnapshotDialog::CopyFreeAirCommand})
        EXPECT_TRUE(dialog->commandAction(id)->isEnabled()) << id;
    // The room and cabinet copy waits for its model, and says so.
    QAction* room = dialog->commandAction(TSnapshotDialog::CopyRoomCabinetCommand);
    EXPECT_FALSE(room->isEnabled());
    EXPECT_FALSE(room->toolTip().isEmpty());
    dialog->runCommand(TSnapshotDialog::CopyRoomCabinetCommand);
    EXPECT_EQ(slot(0).used, 0);
}

TEST_F(SnapshotDialogTest, CopyFromFreeAirFillsTheCurrentSlotOnly) {
    dialog->slotList()->setCurrentIndex(2);
    EXPECT_EQ(snapshot().currentSlot(), 2);
    const int repaints = ui.repaints;
    trigger(TSnapshotDialog::CopyFreeAirCommand);

    const SnapshotSlot& s = slot(2);
    ASSERT_EQ(s.pointCount, sharedSetup().pointCount);
    EXPECT_EQ(head(s.frequencies, s.pointCount), head(TMeasureSetupObject::grid().f, s.pointCount));
    EXPECT_EQ(head(s.levels, s.pointCount), projectSpl());
    EXPECT_EQ(s.used, 1);
    EXPECT_EQ(s.visible, 1);
    for (const int other : {0, 1, 3, 4})
        EXPECT_EQ(slot(other).used, 0) << other;
    EXPECT_TRUE(dialog->hideBox()->isEnabled());
    EXPECT_FALSE(dialog->hideBox()->isChecked());
    EXPECT_GT(ui.repaints, repaints);

    // Hiding keeps the curve; another copy shows it again and unchecks Hide.
    dialog->hideBox()->click();
    EXPECT_EQ(slot(2).visible, 0);
    EXPECT_EQ(slot(2).pointCount, sharedSetup().pointCount);
    trigger(TSnapshotDialog::CopyFreeAirCommand);
    EXPECT_EQ(slot(2).visible, 1);
    EXPECT_FALSE(dialog->hideBox()->isChecked());
}

TEST_F(SnapshotDialogTest, CopyTakesTheDesignAsItStandsNotTheLastCalculation) {
    sharedSetup().calculateImmediately = 0;
    const std::vector<double> before = projectSpl();
    project->setVb(0.004); // a much smaller box, not yet calculated
    ASSERT_EQ(projectSpl(), before);
    trigger(TSnapshotDialog::CopyFreeAirCommand);

    // The same design calculated on its own.
    test::ScriptedUiHost otherUi;
    TClosedBox other(otherUi);
    other.front().SetDefaultUnit();
    other.setVb(0.004);
    other.Calculate(0);
    const int n = slot(0).pointCount;
    ASSERT_EQ(n, other.pointCount());
    EXPECT_EQ(head(slot(0).levels, n), head(other.SPL, n));
    EXPECT_NE(head(slot(0).levels, n), before);
}

TEST_F(SnapshotDialogTest, FieldsWriteTheSnapshot) {
    typeAndEnter(dialog->rangeField(), QStringLiteral("45"));
    settle();
    EXPECT_EQ(snapshot().range, 45);
    const AxisRange y = snapshot().yRange();
    EXPECT_DOUBLE_EQ(y.max - y.min, 45.0);

    // Start and stop keep 10 Hz apart: each moves the other's limit.
    typeAndEnter(dialog->startField(), QStringLiteral("100"));
    settle();
    EXPECT_EQ(snapshot().startFrequency, 100);
    const int beepsBefore = beeps;
    typeAndEnter(dialog->stopField(), QStringLiteral("105"));
    settle();
    EXPECT_EQ(beeps, beepsBefore + 1);
    EXPECT_EQ(snapshot().stopFrequency, 2000);
    typeAndEnter(dialog->stopField(), QStringLiteral("110"));
    settle();
    EXPECT_EQ(snapshot().stopFrequency, 110);
    typeAndEnter(dialog->startField(), QStringLiteral("101"));
    settle();
    EXPECT_EQ(beeps, beepsBefore + 2);
    EXPECT_EQ(snapshot().startFrequency, 100);
    const AxisRange x = snapshot().xRange();
    EXPECT_EQ(x.min, 100.0);
    EXPECT_EQ(x.max, 110.0);

    // The title is the window's caption as it is typed.
    typeText(dialog->titleEdit(), QStringLiteral("Closed variants"));
    EXPECT_EQ(snapshot().title(), "Closed variants");
    EXPECT_EQ(snapshot().window().title(), "Closed variants");

    dialog->hideNumbersBox()->click();
    EXPECT_EQ(snapshot().hideNumbers, 1);

    // Offset and text go to the slot the list selects.
    dialog->slotList()->setCurrentIndex(3);
    typeAndEnter(dialog->offsetField(), QStringLiteral("7"));
    settle();
    typeText(dialog->textEdit(), QStringLiteral("Vb 4 l"));
    EXPECT_EQ(slot(3).offset, 7);
    EXPECT_EQ(slot(3).text, "Vb 4 l");
    EXPECT_EQ(slot(0).offset, 0);

    // Selecting a slot shows its own values.
    dialog->slotList()->setCurrentIndex(0);
    EXPECT_EQ(dialog->offsetField()->text(), QStringLiteral("0"));
    EXPECT_TRUE(dialog->textEdit()->text().isEmpty());
    dialog->slotList()->setCurrentIndex(3);
    EXPECT_EQ(dialog->offsetField()->text(), QStringLiteral("7"));
    EXPECT_EQ(dialog->textEdit()->text(), QStringLiteral("Vb 4 l"));
}

TEST_F(SnapshotDialogTest, TextsAreCutToTheirBlocks) {
    typeText(dialog->titleEdit(), QString(100, QLatin1Char('t')));
    typeText(dialog->textEdit(), QString(100, QLatin1Char('x')));
    EXPECT_EQ(snapshot().title(), std::string(79, 't'));
    EXPECT_EQ(slot(0).text, std::string(79, 'x'));
}

TEST_F(SnapshotDialogTest, SaveAsThenOpenBringsTheSnapshotBack) {
    trigger(TSnapshotDialog::CopyFreeAirCommand);
    typeText(dialog->titleEdit(), QStringLiteral("Kitchen"));
    typeAndEnter(dialog->offsetField(), QStringLiteral("6"));
    settle();
    const std::vector<double> levels = projectSpl();

    // Save without a file asks for one.
    const std::string path = dir.file("kitchen.snp");
    ui.files.push_back(path);
    trigger(TSnapshotDialog::SaveCommand);
    ASSERT_EQ(ui.fileRequests.size(), 1u);
    EXPECT_EQ(ui.fileRequests[0].filter, TBoxEmbryo::kSnapshotFilter);
    EXPECT_EQ(ui.fileRequests[0].mode, FileMode::Save);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(test::readAll(path).size(), TSnapshot::kFileSize);
    EXPECT_EQ(snapshot().path(), "kitchen.snp") << "below the program directory: stored relative";
    EXPECT_FALSE(ui.posted.empty()) << "the project hears of the new snapshot file";

    // Save again writes the same file without asking.
    trigger(TSnapshotDialog::SaveCommand);
    EXPECT_EQ(ui.fileRequests.size(), 1u);

    // Change everything, then Open the file.
    typeText(dialog->titleEdit(), QStringLiteral("Other"));
    typeAndEnter(dialog->offsetField(), QStringLiteral("3"));
    settle();
    slot(0).levels.fill(0.0);
    ui.files.push_back(path);
    trigger(TSnapshotDialog::OpenCommand);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ui.fileRequests.back().mode, FileMode::Open);
    EXPECT_EQ(snapshot().title(), "Kitchen");
    EXPECT_EQ(dialog->titleEdit()->text(), QStringLiteral("Kitchen"));
    EXPECT_EQ(dialog->offsetField()->text(), QStringLiteral("6"));
    EXPECT_EQ(head(slot(0).levels, slot(0).pointCount), levels);
    EXPECT_TRUE(dialog->hideBox()->isEnabled());

    // Cancel in the file selector changes nothing.
    trigger(TSnapshotDialog::OpenCommand);
    EXPECT_EQ(snapshot().title(), "Kitchen");
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(SnapshotDialogTest, AFileThatCannotBeReadResetsTheSnapshotAndTheFields) {
    trigger(TSnapshotDialog::CopyFreeAirCommand);
    typeText(dialog->titleEdit(), QStringLiteral("Kept until the failed open"));
    const std::string path = dir.file("short.snp");
    test::writeAll(path, std::vector<std::uint8_t>(TSnapshot::kFileSize - 1, 0));
    ui.files.push_back(path);
    trigger(TSnapshotDialog::OpenCommand);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().caption, "File open");
    EXPECT_EQ(ui.lastMessage().text, kOpenFailed);
    EXPECT_EQ(snapshot().title(), "Snapshot");
    EXPECT_EQ(dialog->titleEdit()->text(), QStringLiteral("Snapshot"));
    EXPECT_EQ(slot(0).used, 0);
    EXPECT_FALSE(dialog->hideBox()->isEnabled());
    EXPECT_TRUE(snapshot().path().empty());
}

TEST_F(SnapshotDialogTest, AFailedSaveAsKeepsTheDataAndSaysSo) {
    trigger(TSnapshotDialog::CopyFreeAirCommand);
    ui.files.push_back(dir.file("no-such-folder/x.snp"));
    trigger(TSnapshotDialog::SaveAsCommand);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().caption, "File save as");
    EXPECT_EQ(ui.lastMessage().text, kSaveFailed);
    EXPECT_EQ(slot(0).used, 1);
    EXPECT_TRUE(snapshot().path().empty());
}

TEST_F(SnapshotDialogTest, ReturnsToWhereItWasClosed) {
    dialog->move(140, 90);
    const QPoint where = dialog->pos();
    const int repaints = ui.repaints;
    closeDialog();
    EXPECT_EQ(snapshot().dialogX, where.x());
    EXPECT_EQ(snapshot().dialogY, where.y());
    EXPECT_GT(ui.repaints, repaints) << "closing redraws the snapshot";
    open();
    EXPECT_EQ(dialog->pos(), where);
}

// ---- what the snapshot window draws ---------------------------------------------------------

class SnapshotDrawingTest : public ::testing::Test {
protected:
    static constexpr int kPoints = 60;
    static constexpr QSize kSize{600, 380};

    void SetUp() override {
        for (int i = 0; i < kPoints; ++i) {
            f[i] = 20.0 * std::pow(100.0, double(i) / (kPoints - 1));
            level[i] = 60.0 + 15.0 * std::log10(f[i] / 20.0); // 60 .. 90 dB, linear in log f
        }
    }
    // A slot filled with the test curve, shown.
    void fill(int i, std::int16_t offset = 0, const char* text = "") {
        snapshot.setCurrentSlot(i);
        snapshot.CopyToCurrentSlot(f, level);
        snapshotSlot(snapshot, i).offset = offset;
        snapshotSlot(snapshot, i).text = text;
    }
    RenderOptions options() const {
        RenderOptions o;
        addSnapshotDrawing(snapshot, o);
        return o;
    }
    QImage image() const { return DiagramRenderer::toImage(snapshot.window(), kSize, options()); }
    DiagramLayout layout() const {
        return DiagramRenderer::layout(QRectF(QPointF(0, 0), QSizeF(kSize)), snapshot.window(), options());
    }

    static bool dark(QColor c) { return c.red() < 90 && c.green() < 90 && c.blue() < 90; }
    static bool blue(QColor c) { return c.blue() > 150 && c.red() < 110; }
    template <class Pred> static bool near(const QImage& img, double x, double y, Pred pred, int r = 2) {
        for (int dy = -r; dy <= r; ++dy)
            for (int dx = -r; dx <= r; ++dx) {
                const int px = static_cast<int>(std::lround(x)) + dx;
                const int py = static_cast<int>(std::lround(y)) + dy;
                if (img.valid(px, py) && pred(img.pixelColor(px, py))) return true;
            }
        return false;
    }
    // How many of the curve's inner points (shifted by dB) have a pixel of the colour nearby.
    template <class Pred>
    int pointsDrawn(const QImage& img, const DiagramLayout& l, double dB, Pred pred) const {
        int n = 0;
        for (int i = 2; i < kPoints - 2; ++i)
            n += near(img, l.x.toPixel(f[i]), l.y.toPixel(level[i] + dB), pred) ? 1 : 0;
        return n;
    }
    // The middle rows of the legend's sample lines: dark or blue runs over most of the sample
    // column below the plot (a dotted pen covers too little of it to count).
    static std::vector<int> legendLines(const QImage& img, const DiagramLayout& l) {
        const int x0 = static_cast<int>(std::ceil(kSize.width() * 95.0 / 1200.0));
        const int x1 = static_cast<int>(std::floor(kSize.width() * 185.0 / 1200.0));
        std::vector<int> lines;
        int first = -1;
        for (int y = static_cast<int>(l.plot.bottom()) + 2; y <= img.height(); ++y) {
            int run = 0;
            for (int x = x0; x <= x1 && y < img.height(); ++x)
                run += dark(img.pixelColor(x, y)) || blue(img.pixelColor(x, y)) ? 1 : 0;
            const bool line = run > (x1 - x0) * 2 / 5;
            if (line && first < 0) first = y;
            if (!line && first >= 0) {
                lines.push_back((first + y - 1) / 2);
                first = -1;
            }
        }
        return lines;
    }
    // Dark pixels in the number column beside the legend lines.
    static int numberPixels(const QImage& img, const std::vector<int>& lines) {
        const int x0 = static_cast<int>(kSize.width() * 60.0 / 1200.0);
        const int x1 = static_cast<int>(kSize.width() * 85.0 / 1200.0); // clear of the line cap
        int n = 0;
        for (const int line : lines)
            for (int y = line - 6; y <= line + 6; ++y)
                for (int x = x0; x <= x1; ++x)
                    n += img.valid(x, y) && dark(img.pixelColor(x, y)) ? 1 : 0;
        return n;
    }

    test::ScriptedUiHost ui;
    FileSelector selector{TBoxEmbryo::kSnapshotFilter, TBoxEmbryo::kSnapshotExtension, true, {}};
    TSnapshot snapshot{ui, selector};
    std::array<double, kPoints> f{};
    std::array<double, kPoints> level{};
};

TEST_F(SnapshotDrawingTest, OnlyVisibleSlotsAreDrawnWithTheirOffsetAndPen) {
    fill(0, 0, "closed");
    fill(1, 10, "reflex");
    fill(3, 0, "hidden");
    snapshotSlot(snapshot, 3).visible = 0;
    const RenderOptions o = options();
    ASSERT_EQ(o.extraCurves.size(), 2u);
    EXPECT_EQ(o.extraCurves[0].pen, TSnapshot::kPens[0]);
    EXPECT_EQ(o.extraCurves[1].pen, TSnapshot::kPens[1]);
    EXPECT_EQ(o.extraCurves[1].offset, 10.0);
    EXPECT_EQ(o.extraCurves[1].count, kPoints);
    EXPECT_EQ(o.extraCurves[1].label, QStringLiteral("reflex"));
    ASSERT_EQ(o.legendRows.size(), 2u);
    EXPECT_EQ(o.legendRows[1].number, QStringLiteral("2"));
    EXPECT_EQ(o.legendRows[1].text, QStringLiteral("reflex"));
    EXPECT_EQ(o.legendRows[1].right, QStringLiteral("Offset : 10dB"));

    // 90 dB at the top plus 10 dB of offset: the axis runs from 100 dB down by the range.
    const DiagramLayout l = layout();
    EXPECT_DOUBLE_EQ(l.y.bounds().max, 100.0);
    EXPECT_DOUBLE_EQ(l.y.bounds().min, 70.0);
    EXPECT_DOUBLE_EQ(l.x.bounds().min, 20.0);
    EXPECT_DOUBLE_EQ(l.x.bounds().max, 2000.0);

    const QImage img = image();
    const int inner = kPoints - 4;
    // Slot 1 is solid black where its levels lie (those below 70 dB are off the plot).
    int visible = 0;
    for (int i = 2; i < kPoints - 2; ++i)
        visible += level[i] > 71.0 ? 1 : 0;
    EXPECT_GE(pointsDrawn(img, l, 0.0, dark), visible - 1);
    // Slot 2 is dashed blue, 10 dB higher.
    EXPECT_GE(pointsDrawn(img, l, 10.0, blue), inner / 2);
    EXPECT_LE(pointsDrawn(img, l, 5.0, blue), inner / 8) << "nothing blue half way between";
    EXPECT_EQ(legendLines(img, l).size(), 2u);
}

TEST_F(SnapshotDrawingTest, NoVisibleSlotGivesTheLowestAxis) {
    const DiagramLayout l = layout();
    EXPECT_DOUBLE_EQ(l.y.bounds().max, -10.0);
    EXPECT_DOUBLE_EQ(l.y.bounds().min, -40.0);
    EXPECT_TRUE(legendLines(image(), l).empty());
}

TEST_F(SnapshotDrawingTest, HidingNumbersKeepsLinesTextsAndOffsets) {
    fill(0, 0, "one");
    fill(1, -3, "two");
    const DiagramLayout l = layout();
    const QImage shown = image();
    const std::vector<int> lines = legendLines(shown, l);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_GT(numberPixels(shown, lines), 0);
    snapshot.hideNumbers = 1;
    const RenderOptions o = options();
    ASSERT_EQ(o.legendRows.size(), 2u);
    EXPECT_TRUE(o.legendRows[0].number.isEmpty());
    EXPECT_EQ(o.legendRows[1].text, QStringLiteral("two"));
    EXPECT_EQ(o.legendRows[1].right, QStringLiteral("Offset : -3dB"));
    const QImage hidden = image();
    EXPECT_EQ(legendLines(hidden, l), lines);
    EXPECT_EQ(numberPixels(hidden, lines), 0);
}

TEST_F(SnapshotDrawingTest, ALongTextGivesWayToTheOffsetColumn) {
    fill(0, -10, std::string(79, 'W').c_str());
    const QImage img = image();
    // The offset text ends inside the image: its last column has dark pixels left of the edge.
    const DiagramLayout l = layout();
    int rightmost = 0;
    for (int y = static_cast<int>(l.plot.bottom()) + 2; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (dark(img.pixelColor(x, y))) rightmost = std::max(rightmost, x);
    EXPECT_LT(rightmost, img.width() - 3);
    EXPECT_GT(rightmost, img.width() * 3 / 4);
}

TEST_F(SnapshotDrawingTest, CursorValuesOfASlotIncludeItsOffset) {
    fill(0, 4);
    const RenderOptions o = options();
    ASSERT_EQ(o.extraCurves.size(), 1u);
    // The level is linear in log f, so the interpolation between grid points is exact.
    for (const double x : {20.0, 63.0, 200.0, 1234.5, 2000.0})
        EXPECT_NEAR(DiagramRenderer::valueAt(o.extraCurves[0], x, true), 64.0 + 15.0 * std::log10(x / 20.0),
                    1e-9)
            << x;
    EXPECT_TRUE(std::isnan(DiagramRenderer::valueAt(o.extraCurves[0], 10.0, true)));
    EXPECT_TRUE(std::isnan(DiagramRenderer::valueAt(o.extraCurves[0], 2500.0, true)));
}

TEST_F(SnapshotDrawingTest, FrequenciesFromAFileNeverBreakTheAxis) {
    fill(0);
    for (const auto& [start, stop] : {std::pair{0, 0}, std::pair{-5, 3}, std::pair{3000, 100}}) {
        snapshot.startFrequency = start;
        snapshot.stopFrequency = stop;
        const DiagramLayout l = layout();
        EXPECT_GT(l.x.bounds().min, 0.0) << start << " " << stop;
        EXPECT_GT(l.x.bounds().max, l.x.bounds().min) << start << " " << stop;
        EXPECT_FALSE(image().isNull());
    }
}

} // namespace
} // namespace harlox
