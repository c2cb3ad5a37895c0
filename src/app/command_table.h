#pragma once

#include "app/project_types.h"
#include "core/command_state.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace harlox {

// What the main window does with a command.
enum class CommandAction {
    NewProject, // arg: project type code
    NewInstance,
    Open,
    Save,
    SaveAs,
    PrintWindow, // answered by the focused diagram window
    PrintDiagrams,
    CopyWindow, // answered by the focused diagram window
    BoxExport,  // arg: export kind 0 to 5
    UserNote,
    Undo,
    Redo,
    Exit,
    About,
    EditBox,
    EditMeasureSetup,
    Calculate,
    LoadDriverUnit,
    ConfigureDriver,
    EditDriverUnit,
    OpenDriverLibrary,
    FitDriverUnit,
    LoadRearDriverUnit,
    ConfigureRearDriver,
    ShowTransientResponse,
    ShowRoomCabinet,
    ShowMaxSpl,
    ShowMaxSplHelp,
    EditSnapshot,
    YankeeTool,
    SectionNetwork, // arg: section 0 bass, 1 mid, 2 treble
    SectionDriver,  // arg: section
    NetNetwork,     // arg: net 0 to 3
    NetDriver,      // arg: net
    General,
    FilterMusic,
    FilterExportTotal, // arg: export kind 0 SPL, 2 impedance, 3 group delay, 4 impulse
    SectionExport,     // arg: export kind, arg2: section
    NetExport,         // arg: export kind, arg2: net
    ArrangeIcons,
    Cascade,
    Tile,
    DefaultSize, // answered by the focused diagram window
};

// The project a command acts on. The main window does not check: a menu set offers a
// command only when its project is the one open with that menu set.
enum class CommandNeeds { Nothing, BoxProject, FilterProject, AnyProject };

struct CommandInfo {
    int id;
    std::string_view label; // menu text; '&' marks the accelerator, "&&" is a literal '&'
    CommandAction action;
    CommandNeeds needs;
    int arg = 0;
    int arg2 = 0;
};

// Every command of the main window, once.
std::span<const CommandInfo> commandTable();
const CommandInfo* findCommand(int id);

// A menu bar entry: a submenu (id 0, children) or a command item.
struct MenuNode {
    std::string text;
    int id = 0;
    bool enabled = true;
    std::vector<MenuNode> children;

    [[nodiscard]] bool isSubmenu() const { return id == 0; }
};
using MenuBar = std::vector<MenuNode>;

// The five menu bars, built from the command table.
const MenuBar& menuSet(MenuSetKind kind);
// The menu set of a project type; nothing for codes that are not project types.
std::optional<MenuSetKind> menuSetForProjectCode(int code);
// The project that is open while the menu set is shown.
CommandNeeds projectOfMenuSet(MenuSetKind kind);
// Whether a command may be offered while the given project (Nothing, BoxProject or
// FilterProject) is open.
bool commandAvailable(const CommandInfo& command, CommandNeeds openProject);

// The menu bar as shown: removed commands left out (and submenus left empty by that),
// greyed commands disabled.
MenuBar applyCommandStates(const MenuBar& bar, const CommandStateModel& states);

// Item lookup and listing, depth first in menu order.
const MenuNode* findMenuItem(const MenuBar& bar, int id);
std::vector<int> menuCommandIds(const MenuBar& bar);

// The label without accelerator marks ("&Room && Cabinet" -> "Room & Cabinet").
std::string menuDisplayText(std::string_view label);

} // namespace harlox
