#pragma once

#include <string>

namespace harlox {

class TNetA;

// What a wizard's "Calc" did: ok, or why nothing was written.
struct WizardResult {
    bool ok = false;
    std::string why;
};

// Passive "Calc": Butterworth LC low-pass and/or high-pass sections for the nominal load,
// from the network's wizard settings, into consecutive ladder branches from the insertion
// point ("Branch 1", "Branch 3", "Branch 5", "Branch 7"). A filter that does not fit in the
// branches left from there is refused as a whole: half a filter would have the wrong order.
WizardResult PassiveWizardCalc(TNetA& net);

// Active "Calc": one or two unity-gain sections at the insertion point ("Branch 1" ..
// "Branch 7"), from the network's active wizard settings.
WizardResult ActiveWizardCalc(TNetA& net);

// The ladder branch (0-based) the passive wizard starts at for insertion choice i.
[[nodiscard]] int PassiveWizardFirstBranch(int insertion);

} // namespace harlox
