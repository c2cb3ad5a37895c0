#include "app/command_table.h"

#include "app/project_types.h"
#include "core/command_ids.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

namespace harlox {
namespace {

// "Text=id" for items, "Text(children)" for submenus, top level separated by " | ".
std::string describe(const std::vector<MenuNode>& nodes, const char* separator = ",") {
    std::string out;
    for (const MenuNode& n : nodes) {
        if (!out.empty()) out += separator;
        out += menuDisplayText(n.text);
        if (n.isSubmenu()) {
            out += "(" + describe(n.children) + ")";
        } else {
            out += "=" + std::to_string(n.id);
        }
    }
    return out;
}

const std::string kBoxNew = "Box(Closed=11848,Bass reflex=11843,Double tuned bass reflex 1=11844,"
                            "Double tuned bass reflex 2=11845,Passive radiator=11846,Bandpass 1=11847,"
                            "Bandpass 2=11855,Bandpass 3=11850,Bandpass 4=11851";
const std::string kFilterNew = "Active filter(1 way=11849,2 way=11856,3 way=11857,4 way=11858),"
                               "Passive filter(2 way simple=11853,3 way simple=11854,1 way advanced=13501,"
                               "2 way advanced=13502,3 way advanced=13503,4 way advanced=13504)";
const std::string kNew = "New(" + kBoxNew + ")," + kFilterNew + ")";
const std::string kNewWithReflex = "New(" + kBoxNew + ",Reflex BandPass=11880)," + kFilterNew + ")";
const std::string kPrint = "Print(Window...=10106,Diagrams=11864)";
const std::string kWindow =
    "Window(Arrange icons=24364,Cascade=24361,Tile=24362,Default size=10117,User note...=10114)";
const std::string kBoxFile = "New instance=11842,Open...=10102,Save=10109,Save as...=10108," + kPrint +
                             ",Copy window=10104,Export(SPL=11873,SPL in room/cabinet=11872,"
                             "SPL with std wave modes=11874,Transient response=11875,Input impedance=11871,"
                             "Group delay=11870),Exit=10101)";
const std::string kBoxTail = " | Box=10301 | Meas. setup=10401 | Calculate=10451 | Transient resp=10204"
                             " | Room & Cabinet=10205 | Snapshot=10206 | " +
                             kWindow + " | Yankee tool=11852 | About=10110";
const std::string kFilterFileHead = "File(" + kNew +
                                    ",New instance=11842,Open...=10102,Save=10109,Save as...=10108," +
                                    kPrint + ",Copy=10104,";
const std::string kFilterTail =
    " | General=13100 | Filter music=13101 | " + kWindow + " | Yankee tool=11852 | About=10110";

TEST(MenuSetTest, EachMenuBar) {
    const std::pair<MenuSetKind, std::string> bars[] = {
        {MenuSetKind::Start, "File(" + kNew + ",New instance=11842,Open...=10102,Exit=10101) | About=10110"},
        {MenuSetKind::Box, "File(" + kNew + "," + kBoxFile +
                               " | Driver unit(Configuration...=10252,Load...=10251,Edit / create...=10253)" +
                               kBoxTail},
        {MenuSetKind::ReflexBandpass,
         "File(" + kNewWithReflex + "," + kBoxFile +
             " | Rear driver unit(Configuration...=11859,Load...=11860)"
             " | Front driver unit(Configuration...=10252,Load...=10251,Edit / create...=10253)" +
             kBoxTail},
        {MenuSetKind::SimpleFilter,
         kFilterFileHead +
             "Export(SPL(Total...=12021,Bass section=12024,Mid section=12023,Treble section=12022),"
             "Filter gain(Bass section=12034,Mid section=12033,Treble section=12032),"
             "Input impedance(Total=12011,Bass section=12014,Mid section=12013,Treble section=12012),"
             "Group delay(Total=12001,Bass section=12004,Mid section=12003,Treble section=12002),"
             "Impulse response=12025),Exit=10101)"
             " | Network(Bass...=12101,Mid...=12102,Treble...=12103)"
             " | Driver(Bass...=13000,Mid...=13002,Treble...=13001)" +
             kFilterTail},
        {MenuSetKind::AdvancedFilter,
         kFilterFileHead +
             "Export(SPL(Total...=12021,Net 1=13031,Net 2=13032,Net 3=13033,Net 4=13034),"
             "Filter gain(Net 1=13041,Net 2=13042,Net 3=13043,Net 4=13044),"
             "Input impedance(Total=12011,Net 1=13051,Net 2=13052,Net 3=13053,Net 4=13054),"
             "Group delay(Total=12001,Net 1=13061,Net 2=13062,Net 3=13063,Net 4=13064),"
             "Impulse response=12025),Exit=10101)"
             " | Network(Net 1...=13021,Net 2...=13022,Net 3...=13023,Net 4...=13024)"
             " | Driver(Net 1...=13011,Net 2...=13012,Net 3...=13013,Net 4...=13014)" +
             kFilterTail},
    };
    for (const auto& [kind, expected] : bars)
        EXPECT_EQ(describe(menuSet(kind), " | "), expected) << static_cast<int>(kind);
}

const MenuSetKind kAllSets[] = {MenuSetKind::Start, MenuSetKind::Box, MenuSetKind::ReflexBandpass,
                                MenuSetKind::SimpleFilter, MenuSetKind::AdvancedFilter};

// The main window routes commands without checking for a project, so a menu set may only
// offer commands whose project is the one open with it.
TEST(MenuSetTest, NoMenuOffersACommandWithoutItsProject) {
    for (const MenuSetKind kind : kAllSets) {
        for (const int id : menuCommandIds(menuSet(kind))) {
            const CommandInfo* c = findCommand(id);
            ASSERT_NE(c, nullptr) << id;
            EXPECT_TRUE(commandAvailable(*c, projectOfMenuSet(kind)))
                << "menu set " << static_cast<int>(kind) << " offers " << id;
        }
    }
    for (const int id : menuCommandIds(menuSet(MenuSetKind::Start)))
        EXPECT_EQ(findCommand(id)->needs, CommandNeeds::Nothing) << id;
}

// Every command is offered, once by its id, and New covers every project type once.
TEST(CommandTableTest, IdsUniqueAndAllUsed) {
    std::set<int> ids, used, codes;
    for (const MenuSetKind kind : kAllSets) {
        for (const int id : menuCommandIds(menuSet(kind)))
            used.insert(id);
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

TEST(CommandStatesTest, RemovedDisappearGreyedDisabled) {
    CommandStateModel states;
    states.remove(cmd::ExportSplWaveModes);
    states.grey(cmd::Calculate);
    const MenuBar bar = applyCommandStates(menuSet(MenuSetKind::Box), states);
    EXPECT_EQ(findMenuItem(bar, cmd::ExportSplWaveModes), nullptr);
    ASSERT_NE(findMenuItem(bar, cmd::Calculate), nullptr);
    EXPECT_FALSE(findMenuItem(bar, cmd::Calculate)->enabled);
    EXPECT_TRUE(findMenuItem(bar, cmd::Box)->enabled);
    // The menu set itself is never changed.
    EXPECT_NE(findMenuItem(menuSet(MenuSetKind::Box), cmd::ExportSplWaveModes), nullptr);

    // A submenu emptied by removals disappears.
    states.remove(cmd::PrintWindow);
    states.remove(cmd::PrintDiagrams);
    const MenuBar noPrint = applyCommandStates(menuSet(MenuSetKind::Box), states);
    EXPECT_TRUE(std::none_of(noPrint.front().children.begin(), noPrint.front().children.end(),
                             [](const MenuNode& n) { return menuDisplayText(n.text) == "Print"; }));
    states.enable(cmd::PrintDiagrams);
    EXPECT_NE(findMenuItem(applyCommandStates(menuSet(MenuSetKind::Box), states), cmd::PrintDiagrams),
              nullptr);
}

TEST(MenuTextTest, AcceleratorsStripped) {
    EXPECT_EQ(menuDisplayText("&Room && Cabinet"), "Room & Cabinet");
    EXPECT_EQ(menuDisplayText("E&xit"), "Exit");
    EXPECT_EQ(menuDisplayText("&&"), "&");
    EXPECT_EQ(menuDisplayText("trailing&"), "trailing");
}

} // namespace
} // namespace harlox
