#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace harlox {
class TXover;
}

namespace harlox::cli {

// The network tools of "filter new" and "filter open": the wizards, then the optimiser.
struct OptimiseActions {
    // "passive:NET,LPORDER,LPFC[,HPORDER,HPFC[,BRANCH[,LOAD]]]" or
    // "active:NET,LP|HP,ORDER,FC[,BRANCH]"; omitted fields keep the net's stored settings.
    std::vector<std::string> wizards;
    int net = 0; // --optimise NET, 0 = no optimiser run
    int passes = 10;
    std::vector<std::string> list;   // component names, or "all" for every used one
    std::vector<std::string> target; // lowpass=, highpass=, range=, angle=, step=
    unsigned seed = 1;
};

void addOptimiseOptions(CLI::App& command, OptimiseActions& a);

// Runs the wizards in the order given, then the optimiser, writing the error before and
// after to err. False, with the reason written to err, when anything is refused; nothing is
// changed by a refused argument.
bool runOptimiseJobs(TXover& x, const OptimiseActions& a, std::ostream& err);

} // namespace harlox::cli
