#include "app/command_table.h"

#include "app/project_types.h"
#include "core/command_ids.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

namespace harlox {
namespace {

// "Text=id" for items, "Text(children)" for submenus down to `depth` levels, top level separated
// by " | ".
std::string describe(const std::vector<MenuNode>& nodes, int depth = 9, const char* separator = ",") {
    std::string out;
    for (const MenuNode& n : nodes) {
        if (!out.empty()) out += separator;
        out += menuDisplayText(n.text);
        if (!n.isSubmenu()) {
            out += "=" + std::to_string(n.id);
        } else if (depth > 0) {
            out += "(" + describe(n.children, depth - 1) + ")";
        }
    }
    return out;
}

std::string describe(MenuSetKind kind, int depth = 9) {
    return describe(menuSet(kind), depth, " | ");
}

// The box bar whole; the others by what differs.
TEST(MenuSetTest, EachMenuBar) {
    const std::string newMenu =
        "New(Box(Closed=11848,Bass reflex=11843,Double tuned bass reflex 1=11844,"
        "Double tuned bass reflex 2=11845,Passive radiator=11846,Bandpass 1=11847,Bandpass 2=11855,"
        "Bandpass 3=11850,Bandpass 4=11851,Reflex BandPass=11880),Active filter(1 way=11849,2 way=11856,3 way=11857,4 way=11858),"
        "Passive filter(2 way simple=11853,3 way simple=11854,1 way advanced=13501,2 way advanced=13502,"
        "3 way advanced=13503,4 way advanced=13504))";
    const std::string window = " | Window(Arrange icons=24364,Cascade=24361,Tile=24362,Default size=10117,"
                               "User note...=10114) | Yankee tool=11852 | About=10110";
    const std::string boxTail = " | Box=10301 | Meas. setup=10401 | Calculate=10451 | Transient resp=10204"
                                " | Room & Cabinet=10205 | Snapshot=10206" +
                                window;
    const std::string driver = "(Configuration...=10252,Load...=10251,Edit / create...=10253)";
    EXPECT_EQ(describe(MenuSetKind::Start),
              "File(" + newMenu + ",New instance=11842,Open...=10102,Exit=10101) | About=10110");
    EXPECT_EQ(describe(MenuSetKind::Box),
              "File(" + newMenu +
                  ",New instance=11842,Open...=10102,Save=10109,Save as...=10108,"
                  "Print(Window...=10106,Diagrams=11864),Copy window=10104,Export(SPL=11873,"
                  "SPL in room/cabinet=11872,SPL with std wave modes=11874,Transient response=11875,"
                  "Input impedance=11871,Group delay=11870),Exit=10101) | Driver unit" +
                  driver + boxTail);
    EXPECT_EQ(
        describe(MenuSetKind::ReflexBandpass, 1),
        "File(New,New instance=11842,Open...=10102,Save=10109,Save as...=10108,Print,Copy window=10104,"
        "Export,Exit=10101) | Rear driver unit(Configuration...=11859,Load...=11860) | Front driver unit" +
            driver + boxTail);
    // Every New > Box offers the reflex bandpass: a new one can be made from any menu bar.
    for (const MenuSetKind kind : {MenuSetKind::Start, MenuSetKind::Box, MenuSetKind::ReflexBandpass})
        EXPECT_NE(findMenuItem(menuSet(kind), cmd::NewReflexBandpass), nullptr);
    EXPECT_EQ(describe(MenuSetKind::AdvancedFilter, 1),
              "File(New,New instance=11842,Open...=10102,Save=10109,Save as...=10108,Print,Copy=10104,Export,"
              "Exit=10101) | Network(Net 1...=13021,Net 2...=13022,Net 3...=13023,Net 4...=13024)"
              " | Driver(Net 1...=13011,Net 2...=13012,Net 3...=13013,Net 4...=13014)"
              " | General=13100 | Filter music=13101" +
                  window);
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
