#pragma once

#include <functional>

namespace harlox {

class TBaseDialog;
class TBoxEmbryo;
class UiHost;
struct OptimizeMenu;

// Opens the frequency-fit window of the project's box type, owned by the input window.
// refresh shows the project's values in the input window's fields; changed also sends the
// project-changed notification.
void openFrequencyFit(TBaseDialog& owner, TBoxEmbryo& project, UiHost& ui, const OptimizeMenu& menu,
                      std::function<void()> refresh, std::function<void()> changed);

} // namespace harlox
