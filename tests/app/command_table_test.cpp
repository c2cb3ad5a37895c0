#include "app/command_table.h"

#include "app/project_types.h"
#include "core/command_ids.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

namespace harlox {
namespace {

// "Text=id" for items, "Text(children)" for submenus down to `depth` levels.
std::string describe(const std::vector<MenuNode>& nodes, int depth) {
    std::string out;
    for (const MenuNode& n : nodes) {
        if (!out.empty()) out += ",";
        out += menuDisplayText(n.text);
        if (!n.isSubmenu()) {
            out += "=" + std::to_string(n.id);
        } else if (depth > 0) {
            out += "(" + describe(n.children, depth - 1) + ")";
        }
    }
    return out;
}

// Every command is offered, once by its id, and only with the project it needs (the main window
// routes commands without checking); New covers every project type once.
TEST(CommandTableTest, EveryCommandOfferedWithItsProject) {
    std::set<int> ids, used, codes;
    for (const MenuSetKind kind : {MenuSetKind::Start, MenuSetKind::Box, MenuSetKind::ReflexBandpass,
                                   MenuSetKind::SimpleFilter, MenuSetKind::AdvancedFilter}) {
        for (const int id : menuCommandIds(menuSet(kind))) {
            const CommandInfo* c = findCommand(id);
            ASSERT_NE(c, nullptr) << id;
            EXPECT_TRUE(commandAvailable(*c, projectOfMenuSet(kind))) << static_cast<int>(kind) << ": " << id;
            used.insert(id);
        }
    }
    for (const CommandInfo& c : commandTable()) {
        EXPECT_TRUE(ids.insert(c.id).second) << "duplicate " << c.id;
        EXPECT_TRUE(used.contains(c.id)) << "never offered " << c.id;
        if (c.action != CommandAction::NewProject) continue;
        EXPECT_NE(findProjectType(c.arg), nullptr) << c.id;
        EXPECT_TRUE(codes.insert(c.arg).second) << c.arg;
    }
    EXPECT_EQ(codes.size(), projectTypes().size());
    EXPECT_EQ(findCommand(4711), nullptr);
}

// Removed commands, and submenus emptied by removals, disappear; greyed ones are disabled; the
// menu set itself is never changed. Display texts lose their accelerator marks.
TEST(CommandStatesTest, RemovedDisappearGreyedDisabled) {
    CommandStateModel states;
    for (const int id : {cmd::ExportSplWaveModes, cmd::PrintWindow, cmd::PrintDiagrams})
        states.remove(id);
    states.grey(cmd::Calculate);
    const MenuBar bar = applyCommandStates(menuSet(MenuSetKind::Box), states);
    EXPECT_EQ(describe(bar.front().children, 0),
              "New,New instance=11842,Open...=10102,Save=10109,Save as...=10108,Copy window=10104,Export,"
              "Exit=10101");
    EXPECT_EQ(findMenuItem(bar, cmd::ExportSplWaveModes), nullptr);
    ASSERT_NE(findMenuItem(bar, cmd::Calculate), nullptr);
    EXPECT_FALSE(findMenuItem(bar, cmd::Calculate)->enabled);
    EXPECT_TRUE(findMenuItem(bar, cmd::Box)->enabled);
    EXPECT_NE(findMenuItem(menuSet(MenuSetKind::Box), cmd::ExportSplWaveModes), nullptr);
    EXPECT_EQ(menuDisplayText("&Room && Cabinet&"), "Room & Cabinet");
}

} // namespace
} // namespace harlox
