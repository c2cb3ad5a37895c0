#include "main_window_fixture.h"

#include "box/box_embryo.h"
#include "box/max_spl.h"
#include "core/command_ids.h"
#include "gui/box_project_windows.h"
#include "gui/diagram_view.h"
#include "dialog_test_support.h"

#include <QMdiSubWindow>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace harlox {
namespace {

class MaxSplWindowTest : public test::MainWindowFixture {};

TEST_F(MaxSplWindowTest, TheCommandBringsBothWindowsForwardAndTheExportWritesLevelAndVoltage) {
    host.files.push_back(unitPath());
    window->runCommand(cmd::NewBassReflex);
    host.runPosted();
    TBoxEmbryo& box = *window->boxProject();
    BoxProjectWindows* w = window->projectWindows();
    QMdiSubWindow* level = w->subWindowOf(w->maxSplView());
    QMdiSubWindow* volts = w->subWindowOf(w->maxSplVoltageView());
    ASSERT_TRUE(level && volts);
    EXPECT_TRUE(level->isMinimized() && volts->isMinimized()) << "put aside until asked for";
    ASSERT_TRUE(enabled(cmd::MaxSpl));

    window->runCommand(cmd::MaxSpl);
    test::drainEvents();
    EXPECT_FALSE(level->isMinimized() || volts->isMinimized());
    EXPECT_EQ(level->windowTitle(), QStringLiteral("Maximum SPL"));
    EXPECT_EQ(volts->windowTitle(), QStringLiteral("Voltage at maximum SPL"));
    const DiagramModel& m = box.maxSpl().window();
    ASSERT_EQ(m.curveCount(), 4);
    EXPECT_EQ(m.curve(1).label, "Port air speed limit");
    EXPECT_GT(box.maxSpl().voltage[10], 0.0);
    if (const char* shots = std::getenv("HARLOX_SCREENSHOTS")) {
        window->grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/main_window_max_spl.png"));
        w->maxSplView()->grabDiagram().save(QString::fromLocal8Bit(shots) + QStringLiteral("/max_spl.png"));
    }

    // Closing one puts it aside; the command brings it back.
    level->close();
    EXPECT_TRUE(level->isMinimized());
    window->runCommand(cmd::MaxSpl);
    EXPECT_FALSE(level->isMinimized());

    host.files.push_back(dir.file("max.frd"));
    ASSERT_TRUE(enabled(cmd::ExportMaxSpl));
    window->runCommand(cmd::ExportMaxSpl);
    const std::vector<std::uint8_t> bytes = test::readAll(dir.file("max.frd"));
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_TRUE(text.starts_with("   Hz\t\tdB\t\tV")) << text.substr(0, 40);
}

} // namespace
} // namespace harlox
