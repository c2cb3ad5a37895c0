#include "app/command_table.h"
#include "app/project_types.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace harlox {
namespace {

namespace fs = std::filesystem;

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// A menu text as the help names it: no accelerator, no "...".
std::string shownName(std::string_view label) {
    std::string name = menuDisplayText(label);
    if (name.ends_with("...")) name.resize(name.size() - 3);
    return name;
}

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

std::string joined(const std::vector<std::string>& w, std::size_t from, std::size_t to) {
    std::string s;
    for (std::size_t i = from; i < to; ++i)
        s += (s.empty() ? "" : " ") + w[i];
    return s;
}

// The menus of the dialogs, which live in the desktop program, as written in its sources: the
// menu names (the texts given to addMenu, or a kMenuText) and every text that may be an item.
struct DialogTexts {
    std::set<std::string> menus;
    std::set<std::string> items;
};

DialogTexts dialogTexts() {
    DialogTexts t;
    const std::regex literal(R"re("((?:[^"\\]|\\.)+)")re");
    for (const auto& entry : fs::directory_iterator(fs::path(HARLOX_HELP_DIR) / ".." / "src" / "gui")) {
        std::istringstream lines(readText(entry.path()));
        for (std::string line; std::getline(lines, line);) {
            const bool menu =
                line.find("addMenu(") != std::string::npos || line.find("kMenuText =") != std::string::npos;
            for (auto it = std::sregex_iterator(line.begin(), line.end(), literal); it != std::sregex_iterator();
                 ++it) {
                t.items.insert(shownName((*it)[1].str()));
                if (menu) t.menus.insert(shownName((*it)[1].str()));
            }
        }
    }
    return t;
}

using Parts = std::vector<std::vector<std::string>>;

// The longest run of words of w that is a name in names(): the leading words when fromEnd is
// false, the trailing words otherwise; "" when none is. Sentence marks after an item do not count.
template <typename Names> std::string longestName(const std::vector<std::string>& w, bool fromEnd, Names names) {
    for (std::size_t n = w.size(); n > 0; --n) {
        std::string name = fromEnd ? joined(w, w.size() - n, w.size()) : joined(w, 0, n);
        while (!fromEnd && !name.empty() && (name.back() == '.' || name.back() == ',' || name.back() == ':'))
            name.pop_back();
        if (names(name)) return name;
    }
    return {};
}

// "" when the parts are a path from a top menu of the bar to a command, else why not.
std::string mainMenuProblem(const MenuBar& bar, const Parts& parts) {
    const std::vector<MenuNode>* level = &bar;
    const MenuNode* item = nullptr;
    for (std::size_t p = 0; p < parts.size(); ++p) {
        if (!level) return "'" + shownName(item->text) + "' is a command, not a menu";
        const MenuNode* found = nullptr;
        (void)longestName(parts[p], p == 0, [&](const std::string& name) {
            for (const MenuNode& n : *level)
                if (shownName(n.text) == name) found = &n;
            return found != nullptr;
        });
        if (!found) return "no item for part " + std::to_string(p + 1);
        item = found;
        level = found->isSubmenu() ? &found->children : nullptr;
    }
    return item->isSubmenu() ? "'" + shownName(item->text) + "' is a submenu, not a command" : std::string();
}

// Every "A > B > C" a help text writes must be a path to a command through a menu bar of the
// main window (any of the five), or, for a dialog's own menu, be made of texts the desktop
// program shows. The path is read greedily: the longest run of words before the first '>' that
// names a menu, after each '>' the longest run that names an item.
TEST(HelpTexts, EveryMenuPathNamedIsARealCommand) {
    const DialogTexts dialog = dialogTexts();
    int paths = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(HARLOX_HELP_DIR))) {
        if (entry.path().extension() != ".txt") continue;
        std::istringstream lines(readText(entry.path()));
        for (std::string line; std::getline(lines, line);) {
            if (line.find(" > ") == std::string::npos) continue;
            SCOPED_TRACE(entry.path().filename().string() + ": " + line);
            Parts parts;
            std::size_t from = 0;
            for (std::size_t at; (at = line.find(" > ", from)) != std::string::npos; from = at + 3)
                parts.push_back(words(line.substr(from, at - from)));
            parts.push_back(words(line.substr(from)));
            ++paths;

            std::string problem = "not in any menu";
            for (const MenuSetKind k : {MenuSetKind::Start, MenuSetKind::Box, MenuSetKind::ReflexBandpass,
                                        MenuSetKind::SimpleFilter, MenuSetKind::AdvancedFilter}) {
                const std::string why = mainMenuProblem(menuSet(k), parts);
                if (why.empty() || problem == "not in any menu") problem = why;
                if (why.empty()) break;
            }
            bool inDialog = true;
            for (std::size_t p = 0; p < parts.size(); ++p)
                inDialog = inDialog && !longestName(parts[p], p == 0, [&](const std::string& name) {
                                            return (p == 0 ? dialog.menus : dialog.items).count(name) > 0;
                                        }).empty();
            EXPECT_TRUE(problem.empty() || inDialog) << problem;
        }
    }
    EXPECT_GT(paths, 3); // the help does name its menus this way
}

} // namespace
} // namespace harlox
