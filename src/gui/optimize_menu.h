#pragma once

#include <functional>

class QAction;
class QMenuBar;

namespace harlox {

class TBaseDialog;
class TBoxEmbryo;
class UiHost;

// The "&Optimize" menu of a box window, as a menu bar on top of the window: the table lookup
// (for the types that have one), the frequency fit and the quick box.
struct OptimizeMenu {
    static constexpr const char* kMenuText = "&Optimize";
    static constexpr const char* kTableText = "By &table lookup...";
    static constexpr const char* kFitText = "By &frequency fit...";
    // The double tuned and bandpass 2 to 4 windows spell it this way.
    static constexpr const char* kFitTextB = "&By frequency fit...";
    static constexpr const char* kQuickBoxText = "&Quick box";

    // What the commands act on. refresh shows the project's values in the window's fields;
    // changed refreshes them and sends the project-changed notification.
    struct Target {
        TBoxEmbryo& project;
        UiHost& ui;
        std::function<void()> refresh;
        std::function<void()> changed;
    };

    // tableText null: the type has no table lookup. quickBox runs the window's quick box.
    static OptimizeMenu add(TBaseDialog& dialog, Target target, const char* tableText, const char* fitText,
                            std::function<void()> quickBox);

    // The fit window greys the three commands while it is open.
    void setEnabled(bool on) const;

    QMenuBar* bar = nullptr;
    QAction* table = nullptr; // null without a table lookup
    QAction* fit = nullptr;
    QAction* quickBox = nullptr;
};

} // namespace harlox
