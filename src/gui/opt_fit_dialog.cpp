#include "gui/opt_fit_dialog.h"

namespace harlox {

void openFrequencyFit(TBaseDialog&, TBoxEmbryo&, UiHost&, const OptimizeMenu&, std::function<void()>,
                      std::function<void()>) {}

} // namespace harlox
