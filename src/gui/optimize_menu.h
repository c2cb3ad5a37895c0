#pragma once

#include <functional>

class QAction;
class QMenuBar;

namespace harlox {

class TBaseDialog;

// The "&Optimize" menu of a box window, as a menu bar on top of the window. The table lookup
// and the frequency fit of the newer types are shown greyed until they exist; "&Quick box"
// runs quickBox.
struct OptimizeMenu {
    static constexpr const char* kMenuText = "&Optimize";
    static constexpr const char* kTableText = "By &table lookup...";
    static constexpr const char* kFitText = "By &frequency fit...";
    // The double tuned and bandpass 2 to 4 windows spell it this way.
    static constexpr const char* kFitTextB = "&By frequency fit...";
    static constexpr const char* kQuickBoxText = "&Quick box";

    // tableText null: the type has no table lookup.
    static OptimizeMenu add(TBaseDialog& dialog, const char* tableText, const char* fitText,
                            std::function<void()> quickBox);

    QMenuBar* bar = nullptr;
    QAction* table = nullptr; // null without a table lookup
    QAction* fit = nullptr;
    QAction* quickBox = nullptr;
};

} // namespace harlox
