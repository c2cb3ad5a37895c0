#include "app/command_table.h"

#include "core/command_ids.h"

#include <array>
#include <initializer_list>

namespace harlox {

namespace {

using A = CommandAction;
using N = CommandNeeds;

constexpr CommandInfo kCommands[] = {
    // File > New
    {cmd::NewClosed, "&Closed", A::NewProject, N::Nothing, 0},
    {cmd::NewBassReflex, "&Bass reflex", A::NewProject, N::Nothing, 1},
    {cmd::NewBassReflexDT, "&Double tuned bass reflex 1", A::NewProject, N::Nothing, 2},
    {cmd::NewBassReflexDT2, "D&ouble tuned bass reflex 2", A::NewProject, N::Nothing, 3},
    {cmd::NewPassiveRadiator, "&Passive radiator", A::NewProject, N::Nothing, 4},
    {cmd::NewBandpass1, "Bandpass &1", A::NewProject, N::Nothing, 5},
    {cmd::NewBandpass2, "Bandpass &2", A::NewProject, N::Nothing, 6},
    {cmd::NewBandpass3, "Bandpass &3", A::NewProject, N::Nothing, 7},
    {cmd::NewBandpass4, "Bandpass &4", A::NewProject, N::Nothing, 8},
    {cmd::NewReflexBandpass, "&Reflex BandPass", A::NewProject, N::Nothing, 9},
    {cmd::NewSimple2Way, "2 way &simple", A::NewProject, N::Nothing, 15},
    {cmd::NewSimple3Way, "3 way s&imple", A::NewProject, N::Nothing, 16},
    {cmd::NewAdvanced1Way, "&1 way advanced", A::NewProject, N::Nothing, 20},
    {cmd::NewAdvanced2Way, "&2 way advanced", A::NewProject, N::Nothing, 21},
    {cmd::NewAdvanced3Way, "&3 way advanced", A::NewProject, N::Nothing, 22},
    {cmd::NewAdvanced4Way, "&4 way advanced", A::NewProject, N::Nothing, 23},
    {cmd::NewActive1Way, "&1 way", A::NewProject, N::Nothing, 25},
    {cmd::NewActive2Way, "&2 way", A::NewProject, N::Nothing, 26},
    {cmd::NewActive3Way, "&3 way", A::NewProject, N::Nothing, 27},
    {cmd::NewActive4Way, "&4 way", A::NewProject, N::Nothing, 28},
    // File
    {cmd::NewInstance, "New &instance", A::NewInstance, N::Nothing},
    {cmd::Open, "&Open...", A::Open, N::Nothing},
    {cmd::Save, "&Save", A::Save, N::AnyProject},
    {cmd::SaveAs, "Save &as...", A::SaveAs, N::AnyProject},
    {cmd::PrintWindow, "&Window...", A::PrintWindow, N::AnyProject},
    {cmd::PrintDiagrams, "&Diagrams", A::PrintDiagrams, N::AnyProject},
    {cmd::CopyWindow, "&Copy window", A::CopyWindow, N::AnyProject},
    {cmd::Exit, "E&xit", A::Exit, N::Nothing},
    {cmd::Undo, "&Undo", A::Undo, N::AnyProject},
    {cmd::Redo, "&Redo", A::Redo, N::AnyProject},
    // File > Export of a box project
    {cmd::ExportSpl, "&SPL", A::BoxExport, N::BoxProject, 0},
    {cmd::ExportSplRoom, "SPL in &room/cabinet", A::BoxExport, N::BoxProject, 1},
    {cmd::ExportSplWaveModes, "SPL with std &wave modes", A::BoxExport, N::BoxProject, 2},
    {cmd::ExportTransient, "&Transient response", A::BoxExport, N::BoxProject, 3},
    {cmd::ExportImpedance, "&Input impedance", A::BoxExport, N::BoxProject, 4},
    {cmd::ExportGroupDelay, "&Group delay", A::BoxExport, N::BoxProject, 5},
    {cmd::ExportMaxSpl, "&Maximum SPL", A::BoxExport, N::BoxProject, 6},
    // Box project
    {cmd::Box, "&Box", A::EditBox, N::BoxProject},
    {cmd::MeasSetup, "&Meas. setup", A::EditMeasureSetup, N::BoxProject},
    {cmd::Calculate, "&Calculate", A::Calculate, N::BoxProject},
    {cmd::DriverLoad, "&Load...", A::LoadDriverUnit, N::BoxProject},
    {cmd::DriverConfig, "&Configuration...", A::ConfigureDriver, N::BoxProject},
    {cmd::DriverEdit, "&Edit / create...", A::EditDriverUnit, N::BoxProject},
    {cmd::DriverLibrary, "Driver &library...", A::OpenDriverLibrary, N::BoxProject},
    {cmd::DriverFit, "&Fit from impedance...", A::FitDriverUnit, N::BoxProject},
    {cmd::RearDriverLoad, "&Load...", A::LoadRearDriverUnit, N::BoxProject},
    {cmd::RearDriverConfig, "&Configuration...", A::ConfigureRearDriver, N::BoxProject},
    {cmd::TransientResp, "&Transient resp", A::ShowTransientResponse, N::BoxProject},
    {cmd::RoomCabinet, "&Room && Cabinet", A::ShowRoomCabinet, N::BoxProject},
    {cmd::Snapshot, "&Snapshot", A::EditSnapshot, N::BoxProject},
    {cmd::MaxSpl, "&Show windows", A::ShowMaxSpl, N::BoxProject},
    {cmd::MaxSplHelp, "&Help...", A::ShowMaxSplHelp, N::BoxProject},
    // Filter project
    {cmd::NetworkBass, "&Bass...", A::SectionNetwork, N::FilterProject, 0},
    {cmd::NetworkMid, "&Mid...", A::SectionNetwork, N::FilterProject, 1},
    {cmd::NetworkTreble, "&Treble...", A::SectionNetwork, N::FilterProject, 2},
    {cmd::DriverBass, "&Bass...", A::SectionDriver, N::FilterProject, 0},
    {cmd::DriverMid, "&Mid...", A::SectionDriver, N::FilterProject, 1},
    {cmd::DriverTreble, "&Treble...", A::SectionDriver, N::FilterProject, 2},
    {cmd::NetworkNet1, "Net &1...", A::NetNetwork, N::FilterProject, 0},
    {cmd::NetworkNet2, "Net &2...", A::NetNetwork, N::FilterProject, 1},
    {cmd::NetworkNet3, "Net &3...", A::NetNetwork, N::FilterProject, 2},
    {cmd::NetworkNet4, "Net &4...", A::NetNetwork, N::FilterProject, 3},
    {cmd::DriverNet1, "Net &1...", A::NetDriver, N::FilterProject, 0},
    {cmd::DriverNet2, "Net &2...", A::NetDriver, N::FilterProject, 1},
    {cmd::DriverNet3, "Net &3...", A::NetDriver, N::FilterProject, 2},
    {cmd::DriverNet4, "Net &4...", A::NetDriver, N::FilterProject, 3},
    {cmd::General, "&General", A::General, N::FilterProject},
    {cmd::FilterMusic, "Filter &music", A::FilterMusic, N::FilterProject},
    // File > Export of a filter project
    {cmd::ExportSplTotal, "&Total...", A::FilterExportTotal, N::FilterProject, 0},
    {cmd::ExportImpedanceTotal, "&Total", A::FilterExportTotal, N::FilterProject, 2},
    {cmd::ExportGroupDelayTotal, "&Total", A::FilterExportTotal, N::FilterProject, 3},
    {cmd::ExportImpulse, "I&mpulse response", A::FilterExportTotal, N::FilterProject, 4},
    {cmd::ExportSplBass, "&Bass section", A::SectionExport, N::FilterProject, 0, 0},
    {cmd::ExportSplMid, "&Mid section", A::SectionExport, N::FilterProject, 0, 1},
    {cmd::ExportSplTreble, "T&reble section", A::SectionExport, N::FilterProject, 0, 2},
    {cmd::ExportGainBass, "&Bass section", A::SectionExport, N::FilterProject, 1, 0},
    {cmd::ExportGainMid, "&Mid section", A::SectionExport, N::FilterProject, 1, 1},
    {cmd::ExportGainTreble, "T&reble section", A::SectionExport, N::FilterProject, 1, 2},
    {cmd::ExportImpedanceBass, "&Bass section", A::SectionExport, N::FilterProject, 2, 0},
    {cmd::ExportImpedanceMid, "&Mid section", A::SectionExport, N::FilterProject, 2, 1},
    {cmd::ExportImpedanceTreble, "T&reble section", A::SectionExport, N::FilterProject, 2, 2},
    {cmd::ExportGroupDelayBass, "&Bass section", A::SectionExport, N::FilterProject, 3, 0},
    {cmd::ExportGroupDelayMid, "&Mid section", A::SectionExport, N::FilterProject, 3, 1},
    {cmd::ExportGroupDelayTreble, "T&reble section", A::SectionExport, N::FilterProject, 3, 2},
    {cmd::ExportSplNet1, "Net &1", A::NetExport, N::FilterProject, 0, 0},
    {cmd::ExportSplNet2, "Net &2", A::NetExport, N::FilterProject, 0, 1},
    {cmd::ExportSplNet3, "Net &3", A::NetExport, N::FilterProject, 0, 2},
    {cmd::ExportSplNet4, "Net &4", A::NetExport, N::FilterProject, 0, 3},
    {cmd::ExportGainNet1, "Net &1", A::NetExport, N::FilterProject, 1, 0},
    {cmd::ExportGainNet2, "Net &2", A::NetExport, N::FilterProject, 1, 1},
    {cmd::ExportGainNet3, "Net &3", A::NetExport, N::FilterProject, 1, 2},
    {cmd::ExportGainNet4, "Net &4", A::NetExport, N::FilterProject, 1, 3},
    {cmd::ExportImpedanceNet1, "Net &1", A::NetExport, N::FilterProject, 2, 0},
    {cmd::ExportImpedanceNet2, "Net &2", A::NetExport, N::FilterProject, 2, 1},
    {cmd::ExportImpedanceNet3, "Net &3", A::NetExport, N::FilterProject, 2, 2},
    {cmd::ExportImpedanceNet4, "Net &4", A::NetExport, N::FilterProject, 2, 3},
    {cmd::ExportGroupDelayNet1, "Net &1", A::NetExport, N::FilterProject, 3, 0},
    {cmd::ExportGroupDelayNet2, "Net &2", A::NetExport, N::FilterProject, 3, 1},
    {cmd::ExportGroupDelayNet3, "Net &3", A::NetExport, N::FilterProject, 3, 2},
    {cmd::ExportGroupDelayNet4, "Net &4", A::NetExport, N::FilterProject, 3, 3},
    // Window; User note is routed to a box project only when one is open.
    {cmd::ArrangeIcons, "&Arrange icons", A::ArrangeIcons, N::Nothing},
    {cmd::Cascade, "&Cascade", A::Cascade, N::Nothing},
    {cmd::Tile, "&Tile", A::Tile, N::Nothing},
    {cmd::DefaultSize, "&Default size", A::DefaultSize, N::AnyProject},
    {cmd::UserNote, "&User note...", A::UserNote, N::Nothing},
    // Tools and help
    {cmd::Yankee, "&Yankee tool", A::YankeeTool, N::Nothing},
    {cmd::About, "&About", A::About, N::Nothing},
};

// Menu building blocks: items take their text from the command table unless a menu
// names them differently.
MenuNode item(int id, std::string_view text = {}) {
    const CommandInfo* c = findCommand(id);
    return MenuNode{std::string(text.empty() && c ? c->label : text), id, true, {}};
}

MenuNode submenu(std::string_view text, std::vector<MenuNode> children) {
    return MenuNode{std::string(text), 0, true, std::move(children)};
}

MenuNode items(std::string_view text, std::initializer_list<int> ids) {
    std::vector<MenuNode> children;
    for (const int id : ids)
        children.push_back(item(id));
    return submenu(text, std::move(children));
}

// The reflex bandpass stands in every New > Box, not only in its own menu bar: otherwise a
// new one could not be made from the start menu at all.
MenuNode newMenu() {
    MenuNode box = items("&Box", {cmd::NewClosed, cmd::NewBassReflex, cmd::NewBassReflexDT,
                                  cmd::NewBassReflexDT2, cmd::NewPassiveRadiator, cmd::NewBandpass1,
                                  cmd::NewBandpass2, cmd::NewBandpass3, cmd::NewBandpass4,
                                  cmd::NewReflexBandpass});
    return submenu("&New", {
                               std::move(box),
                               items("&Active filter", {cmd::NewActive1Way, cmd::NewActive2Way,
                                                        cmd::NewActive3Way, cmd::NewActive4Way}),
                               items("&Passive filter",
                                     {cmd::NewSimple2Way, cmd::NewSimple3Way, cmd::NewAdvanced1Way,
                                      cmd::NewAdvanced2Way, cmd::NewAdvanced3Way, cmd::NewAdvanced4Way}),
                           });
}

MenuNode printMenu() {
    return items("&Print", {cmd::PrintWindow, cmd::PrintDiagrams});
}

MenuNode editMenu() {
    return items("&Edit", {cmd::Undo, cmd::Redo});
}

MenuNode windowMenu() {
    return items("&Window", {cmd::ArrangeIcons, cmd::Cascade, cmd::Tile, cmd::DefaultSize, cmd::UserNote});
}

MenuBar startMenu() {
    return {
        submenu("&File", {newMenu(), item(cmd::NewInstance), item(cmd::Open), item(cmd::Exit)}),
        item(cmd::About),
    };
}

MenuBar boxMenu(bool reflexBandpass) {
    MenuBar bar;
    bar.push_back(submenu(
        "&File", {
                     newMenu(),
                     item(cmd::NewInstance),
                     item(cmd::Open),
                     item(cmd::Save),
                     item(cmd::SaveAs),
                     printMenu(),
                     item(cmd::CopyWindow),
                     items("&Export", {cmd::ExportSpl, cmd::ExportSplRoom, cmd::ExportSplWaveModes,
                                       cmd::ExportTransient, cmd::ExportImpedance, cmd::ExportGroupDelay,
                                       cmd::ExportMaxSpl}),
                     item(cmd::Exit),
                 }));
    bar.push_back(editMenu());
    if (reflexBandpass) {
        bar.push_back(items("R&ear driver unit", {cmd::RearDriverConfig, cmd::RearDriverLoad}));
        bar.push_back(items("Fr&ont driver unit", {cmd::DriverConfig, cmd::DriverLoad, cmd::DriverEdit,
                                                   cmd::DriverLibrary, cmd::DriverFit}));
    } else {
        bar.push_back(items("&Driver unit", {cmd::DriverConfig, cmd::DriverLoad, cmd::DriverEdit,
                                             cmd::DriverLibrary, cmd::DriverFit}));
    }
    for (const int id :
         {cmd::Box, cmd::MeasSetup, cmd::Calculate, cmd::TransientResp, cmd::RoomCabinet, cmd::Snapshot})
        bar.push_back(item(id));
    bar.push_back(items("Ma&x. SPL", {cmd::MaxSpl, cmd::MaxSplHelp}));
    bar.push_back(windowMenu());
    bar.push_back(item(cmd::Yankee));
    bar.push_back(item(cmd::About));
    return bar;
}

MenuBar filterMenu(bool advanced) {
    // Per part: the Total entry (if any), then the sections or the nets.
    const auto exportPart = [&](std::string_view text, int total, std::array<int, 3> sections,
                                std::array<int, 4> nets) {
        std::vector<MenuNode> children;
        if (total != 0) children.push_back(item(total));
        if (advanced) {
            for (const int id : nets)
                children.push_back(item(id));
        } else {
            for (const int id : sections)
                children.push_back(item(id));
        }
        return submenu(text, std::move(children));
    };
    MenuNode exportMenu = submenu(
        "&Export",
        {
            exportPart("&SPL", cmd::ExportSplTotal,
                       {cmd::ExportSplBass, cmd::ExportSplMid, cmd::ExportSplTreble},
                       {cmd::ExportSplNet1, cmd::ExportSplNet2, cmd::ExportSplNet3, cmd::ExportSplNet4}),
            exportPart("&Filter gain", 0, {cmd::ExportGainBass, cmd::ExportGainMid, cmd::ExportGainTreble},
                       {cmd::ExportGainNet1, cmd::ExportGainNet2, cmd::ExportGainNet3, cmd::ExportGainNet4}),
            exportPart("&Input impedance", cmd::ExportImpedanceTotal,
                       {cmd::ExportImpedanceBass, cmd::ExportImpedanceMid, cmd::ExportImpedanceTreble},
                       {cmd::ExportImpedanceNet1, cmd::ExportImpedanceNet2, cmd::ExportImpedanceNet3,
                        cmd::ExportImpedanceNet4}),
            exportPart("&Group delay", cmd::ExportGroupDelayTotal,
                       {cmd::ExportGroupDelayBass, cmd::ExportGroupDelayMid, cmd::ExportGroupDelayTreble},
                       {cmd::ExportGroupDelayNet1, cmd::ExportGroupDelayNet2, cmd::ExportGroupDelayNet3,
                        cmd::ExportGroupDelayNet4}),
            item(cmd::ExportImpulse),
        });
    MenuBar bar;
    bar.push_back(submenu("&File", {
                                       newMenu(),
                                       item(cmd::NewInstance),
                                       item(cmd::Open),
                                       item(cmd::Save),
                                       item(cmd::SaveAs),
                                       printMenu(),
                                       item(cmd::CopyWindow, "&Copy"),
                                       std::move(exportMenu),
                                       item(cmd::Exit),
                                   }));
    bar.push_back(editMenu());
    if (advanced) {
        bar.push_back(
            items("&Network", {cmd::NetworkNet1, cmd::NetworkNet2, cmd::NetworkNet3, cmd::NetworkNet4}));
        bar.push_back(items("&Driver", {cmd::DriverNet1, cmd::DriverNet2, cmd::DriverNet3, cmd::DriverNet4}));
    } else {
        bar.push_back(items("&Network", {cmd::NetworkBass, cmd::NetworkMid, cmd::NetworkTreble}));
        bar.push_back(items("&Driver", {cmd::DriverBass, cmd::DriverMid, cmd::DriverTreble}));
    }
    bar.push_back(item(cmd::General));
    bar.push_back(item(cmd::FilterMusic));
    bar.push_back(windowMenu());
    bar.push_back(item(cmd::Yankee));
    bar.push_back(item(cmd::About));
    return bar;
}

void collectIds(const std::vector<MenuNode>& nodes, std::vector<int>& out) {
    for (const MenuNode& n : nodes) {
        if (n.isSubmenu()) {
            collectIds(n.children, out);
        } else {
            out.push_back(n.id);
        }
    }
}

const MenuNode* findIn(const std::vector<MenuNode>& nodes, int id) {
    for (const MenuNode& n : nodes) {
        if (!n.isSubmenu() && n.id == id) return &n;
        if (n.isSubmenu()) {
            if (const MenuNode* found = findIn(n.children, id)) return found;
        }
    }
    return nullptr;
}

std::vector<MenuNode> withStates(const std::vector<MenuNode>& nodes, const CommandStateModel& states) {
    std::vector<MenuNode> out;
    for (const MenuNode& n : nodes) {
        if (n.isSubmenu()) {
            MenuNode copy{n.text, 0, n.enabled, withStates(n.children, states)};
            if (!copy.children.empty()) out.push_back(std::move(copy));
            continue;
        }
        switch (states.state(n.id)) {
        case CommandState::Removed:
            break;
        case CommandState::Greyed:
            out.push_back(MenuNode{n.text, n.id, false, {}});
            break;
        case CommandState::Enabled:
            out.push_back(MenuNode{n.text, n.id, true, {}});
            break;
        }
    }
    return out;
}

} // namespace

std::span<const CommandInfo> commandTable() {
    return kCommands;
}

const CommandInfo* findCommand(int id) {
    for (const CommandInfo& c : kCommands) {
        if (c.id == id) return &c;
    }
    return nullptr;
}

const MenuBar& menuSet(MenuSetKind kind) {
    static const MenuBar start = startMenu();
    static const MenuBar box = boxMenu(false);
    static const MenuBar reflexBandpass = boxMenu(true);
    static const MenuBar simpleFilter = filterMenu(false);
    static const MenuBar advancedFilter = filterMenu(true);
    switch (kind) {
    case MenuSetKind::Start:
        return start;
    case MenuSetKind::Box:
        return box;
    case MenuSetKind::ReflexBandpass:
        return reflexBandpass;
    case MenuSetKind::SimpleFilter:
        return simpleFilter;
    case MenuSetKind::AdvancedFilter:
        return advancedFilter;
    }
    return start;
}

std::optional<MenuSetKind> menuSetForProjectCode(int code) {
    if (const ProjectType* t = findProjectType(code)) return t->menuSet;
    return std::nullopt;
}

CommandNeeds projectOfMenuSet(MenuSetKind kind) {
    switch (kind) {
    case MenuSetKind::Start:
        return CommandNeeds::Nothing;
    case MenuSetKind::Box:
    case MenuSetKind::ReflexBandpass:
        return CommandNeeds::BoxProject;
    case MenuSetKind::SimpleFilter:
    case MenuSetKind::AdvancedFilter:
        return CommandNeeds::FilterProject;
    }
    return CommandNeeds::Nothing;
}

bool commandAvailable(const CommandInfo& command, CommandNeeds openProject) {
    switch (command.needs) {
    case CommandNeeds::Nothing:
        return true;
    case CommandNeeds::AnyProject:
        return openProject == CommandNeeds::BoxProject || openProject == CommandNeeds::FilterProject;
    case CommandNeeds::BoxProject:
    case CommandNeeds::FilterProject:
        return openProject == command.needs;
    }
    return false;
}

MenuBar applyCommandStates(const MenuBar& bar, const CommandStateModel& states) {
    return withStates(bar, states);
}

const MenuNode* findMenuItem(const MenuBar& bar, int id) {
    return findIn(bar, id);
}

std::vector<int> menuCommandIds(const MenuBar& bar) {
    std::vector<int> ids;
    collectIds(bar, ids);
    return ids;
}

std::string menuDisplayText(std::string_view label) {
    std::string out;
    for (std::size_t i = 0; i < label.size(); ++i) {
        if (label[i] == '&') {
            if (i + 1 < label.size() && label[i + 1] == '&') {
                out.push_back('&');
                ++i;
            }
            continue;
        }
        out.push_back(label[i]);
    }
    return out;
}

} // namespace harlox
