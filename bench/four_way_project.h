#pragma once
// The crossover the filter benchmarks time: a 4-way advanced passive project with four drivers
// in every net, fed from the measured curves of the shared data folder, along 17 rays.
#include "filter/general.h"
#include "filter/xover.h"

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace harlox::bench {

inline const std::filesystem::path kMeasured =
    std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "shared" / "data" / "measured";

struct DriverFiles {
    const char* spl;
    const char* zma;
};

// Bass, lower mid, upper mid, treble.
inline constexpr std::array<DriverFiles, 4> kFourWayFiles{{
    {"DCS255-4@0.frd", "DCS255-4.zma"},
    {"RS52AN-8_0deg.frd", "RS52AN-8.zma"},
    {"TCP115-8@0.frd", "L16RNX_0g_242_27mV.zma"},
    {"ND25FA-4@0.frd", "ND25FA-4.zma"},
}};

inline bool loadFourDrivers(TNetA& net, const DriverFiles& files, int netIndex) {
    net.SetDriverCount(4);
    net.SetConnection(TNetA::ParallelConnection);
    for (int d = 0; d < 4; ++d) {
        const auto k = static_cast<std::size_t>(d);
        net.SplData(d).SetFileName((kMeasured / files.spl).string());
        net.ImpedanceData(d).SetFileName((kMeasured / files.zma).string());
        if (!net.SplData(d).ReadCurve(nullptr) || !net.ImpedanceData(d).ReadCurve(nullptr)) return false;
        // A column of four: every driver has its own place, so its own off-axis factors.
        net.dX[k] = 0.01 * netIndex;
        net.dY[k] = 0.35 - 0.12 * netIndex - 0.03 * d;
        net.dZ[k] = 0.005 * d;
        net.pistonRadius[k] = 0.1 - 0.02 * netIndex;
        net.splScaling[k] = 0.25;
    }
    return true;
}

// Second-order sections, third-order on the treble, an L-pad on the mids and a Zobel link.
inline void designFourWayNet(TNetA& net, int netIndex) {
    auto set = [&](int branch, int type, double r1, double c, double l) {
        TBranchA& b = net.Branch(branch);
        b.SetType(type);
        b.R1().SetValue(r1);
        b.C().SetValue(c);
        b.L().SetValue(l);
    };
    switch (netIndex) {
    case 0:
        set(0, 3, 0.3, 0.0, 2.2e-3);    // series L
        set(1, 2, 0.0, 100e-6, 0.0);    // shunt C
        break;
    case 1:
    case 2: {
        const double s = netIndex == 1 ? 1.0 : 0.25;
        set(0, 2, 0.0, 100e-6 * s, 0.0);  // series C
        set(1, 3, 0.2, 0.0, 3e-3 * s);    // shunt L
        set(2, 3, 0.2, 0.0, 1e-3 * s);    // series L
        set(3, 2, 0.0, 20e-6 * s, 0.0);   // shunt C
        set(6, 1, 1.5, 0.0, 0.0);         // L-pad
        set(7, 1, 6.0, 0.0, 0.0);
        break;
    }
    default:
        set(0, 2, 0.0, 6.8e-6, 0.0);
        set(1, 3, 0.3, 0.0, 0.33e-3);
        set(2, 2, 0.0, 10e-6, 0.0);
        break;
    }
    TBranchA& zobel = net.Link(0);
    zobel.SetType(4);
    zobel.R1().SetValue(2.0);
    zobel.C().SetValue(4.7e-6);
}

inline std::vector<int> seventeenRays() {
    std::vector<int> angles;
    for (int a = -80; a <= 80; a += 10) angles.push_back(a);
    return angles;
}

// The rays and the distance into general, then the project on them, calculated; null with
// the reason in error.
inline std::unique_ptr<TXover> makeFourWayProject(TGeneral& general, UiHost& host, std::string& error) {
    if (!std::filesystem::is_directory(kMeasured)) {
        error = "no shared data folder";
        return nullptr;
    }
    if (!general.setSurfaceRays(seventeenRays()) || general.surfaceCount() != 17) {
        error = "17 rays refused";
        return nullptr;
    }
    general.infinite = 0;
    general.distance = 2.0;
    auto x = std::make_unique<TXover>(general, 6, host);
    for (int i = 0; i < 4; ++i) {
        TNetA& net = *x->AdvancedNet(i);
        if (!loadFourDrivers(net, kFourWayFiles[static_cast<std::size_t>(i)], i)) {
            error = "a measured curve did not load";
            return nullptr;
        }
        designFourWayNet(net, i);
        net.MarkChanged();
    }
    if (!x->Calculate()) {
        error = "the project did not calculate";
        return nullptr;
    }
    return x;
}

} // namespace harlox::bench
