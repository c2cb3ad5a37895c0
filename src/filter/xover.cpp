#include "filter/xover.h"

#include "core/atomic_file.h"
#include "core/binary_io.h"
#include "core/constants.h"
#include "core/format.h"
#include "core/program_dir.h"
#include "filter/fast_log.h"
#include "filter/general.h"
#include "filter/imp_response.h"
#include "output/curve_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>

namespace harlox {

namespace {

constexpr std::array<TXover::VariantInfo, 10> kVariants{{
    {0, 15, "2-way simple filter", "2 way simple filter", 2, true, false},
    {1, 16, "3-way simple filter", "3 way simple filter", 3, true, false},
    {3, 20, "1-way advanced filter", "1 way advanced filter", 1, false, false},
    {4, 21, "2-way advanced filter", "2 way advanced filter", 2, false, false},
    {5, 22, "3-way advanced filter", "3 way advanced filter", 3, false, false},
    {6, 23, "4-way advanced filter", "4 way advanced filter", 4, false, false},
    {8, 25, "1-way active filter", "1 way active filter", 1, false, true},
    {9, 26, "2-way active filter", "2 way active filter", 2, false, true},
    {10, 27, "3-way active filter", "3 way active filter", 3, false, true},
    {11, 28, "4-way active filter", "4 way active filter", 4, false, true},
}};

constexpr double kDegrees = 180.0 / 3.14159265358979323846;

// Palette indices of the width-1 solid pens by network: blue, red, green, yellow.
constexpr std::array<int, TXover::kMaxNets> kNetPens{11, 9, 10, 12};

std::array<PalettePen, TXover::kPaletteSize> makePalette() {
    struct Rgb {
        std::uint8_t r, g, b;
    };
    constexpr std::array<Rgb, 8> eight{{{0, 0, 0},
                                        {255, 0, 0},
                                        {0, 255, 0},
                                        {0, 0, 255},
                                        {255, 255, 0},
                                        {255, 0, 255},
                                        {0, 255, 255},
                                        {127, 127, 127}}};
    constexpr std::array<Rgb, 5> five{{{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {127, 127, 127}}};
    std::array<PalettePen, TXover::kPaletteSize> p{};
    std::size_t n = 0;
    for (const Rgb& c : eight)
        p[n++] = {c.r, c.g, c.b, 3, PenStyle::Thick};
    for (const Rgb& c : eight)
        p[n++] = {c.r, c.g, c.b, 1, PenStyle::Solid};
    for (PenStyle s : {PenStyle::Dash, PenStyle::Dot, PenStyle::DashDot, PenStyle::DashDotDot})
        for (const Rgb& c : five)
            p[n++] = {c.r, c.g, c.b, 1, s};
    return p;
}

// The diagram pen of a palette entry; the grey (127, 127, 127) and anything unknown draw grey.
Pen diagramPen(int paletteIndex) {
    const PalettePen& p = TXover::Palette()[static_cast<std::size_t>(paletteIndex)];
    struct Named {
        std::uint8_t r, g, b;
        PenColor color;
    };
    static constexpr std::array<Named, 7> named{{{0, 0, 0, PenColor::Black},
                                                 {255, 0, 0, PenColor::Red},
                                                 {0, 255, 0, PenColor::Green},
                                                 {0, 0, 255, PenColor::Blue},
                                                 {255, 255, 0, PenColor::Yellow},
                                                 {255, 0, 255, PenColor::Magenta},
                                                 {0, 255, 255, PenColor::Cyan}}};
    for (const Named& n : named)
        if (p.r == n.r && p.g == n.g && p.b == n.b) return {n.color, p.style};
    return {PenColor::Grey, p.style};
}

// The level rows get an AVX2 variant picked at load time where the compiler and the
// platform support it. AVX2 alone brings no fused multiply-add, so both variants round
// exactly alike.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__)
#define HARLOX_LEVEL_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define HARLOX_LEVEL_CLONES
#endif

HARLOX_LEVEL_CLONES
void levelRow(const Complex* z, double* level, int n) {
    levelsDb(z, level, n);
}

// "%+d" into a short buffer: the label stays within the string's own storage.
std::string angleLabel(int angle) {
    char text[16];
    std::snprintf(text, sizeof text, "%+d", angle);
    return text;
}

} // namespace

const TXover::VariantInfo* TXover::FindVariant(int variant) {
    for (const VariantInfo& v : kVariants)
        if (v.variant == variant) return &v;
    return nullptr;
}

const TXover::VariantInfo* TXover::FindTypeCode(std::int32_t code) {
    for (const VariantInfo& v : kVariants)
        if (v.typeCode == code) return &v;
    return nullptr;
}

const std::array<PalettePen, TXover::kPaletteSize>& TXover::Palette() {
    static const std::array<PalettePen, kPaletteSize> palette = makePalette();
    return palette;
}

int TXover::NetPenIndex(int i) const {
    return kNetPens[static_cast<std::size_t>(std::clamp(i, 0, kMaxNets - 1))];
}

TXover::TXover(TGeneral& general, int variant, UiHost& ui)
    : general_(general), ui_(ui), variant_(variant), info_(FindVariant(variant)), zin_(kPoints),
      zinMagnitude_(kPoints), zinPhase_(kPoints), splPhase_(kPoints), groupDelay_(kPoints),
      raySum_(kRays, kPoints), rayDb_(kRays, kPoints), exportPhase_(kPoints),
      projectSelector_{kProjectFilter, kProjectExtension, true, {}},
      splSelector_{kSplExportFilter, kSplExportExtension, true, {}},
      impedanceSelector_{kImpedanceExportFilter, kImpedanceExportExtension, true, {}} {
    if (info_ != nullptr) {
        typeCode_ = info_->typeCode;
        if (info_->simple) {
            for (int s = 0; s < 3; ++s)
                simple_[static_cast<std::size_t>(s)] = std::make_unique<TNet>(general_, s, this);
        } else {
            for (int i = 0; i < info_->nets; ++i)
                advanced_[static_cast<std::size_t>(i)] = std::make_unique<TNetA>(general_, i, info_->active, this);
        }
    }
    impResponse_ = std::make_unique<TImpResponse>(general_, impulseWindow_);
    createWindows();
    New();
}

TXover::~TXover() = default;

TNetBase& TXover::Net(int i) {
    return const_cast<TNetBase&>(netAt(i));
}

const TNetBase& TXover::netAt(int i) const {
    if (IsSimple()) {
        // A 2-way project uses the bass and the treble section.
        const int section = NetCount() == 2 && i == 1 ? 2 : i;
        return *simple_[static_cast<std::size_t>(section)];
    }
    return *advanced_[static_cast<std::size_t>(i)];
}

const char* TXover::NetLabel(int i) const {
    static constexpr std::array<const char*, kMaxNets> nets{"Net 1", "Net 2", "Net 3", "Net 4"};
    if (!IsSimple()) return nets[static_cast<std::size_t>(std::clamp(i, 0, kMaxNets - 1))];
    if (i == 0) return "Bass";
    if (NetCount() == 3 && i == 1) return "Mid";
    return "Treble";
}

TNet* TXover::SimpleNet(int section) {
    if (section < 0 || section > 2) return nullptr;
    return simple_[static_cast<std::size_t>(section)].get();
}

TNetA* TXover::AdvancedNet(int i) {
    if (i < 0 || i >= kMaxNets) return nullptr;
    return advanced_[static_cast<std::size_t>(i)].get();
}

const CMatrix& TXover::netRays(int i) const {
    if (IsSimple()) return static_cast<const TNet&>(netAt(i)).RayOutput();
    return static_cast<const TNetA&>(netAt(i)).AngleSpl();
}
const FMatrix& TXover::netRaysDb(int i) const {
    if (IsSimple()) return static_cast<const TNet&>(netAt(i)).RayDb();
    return static_cast<const TNetA&>(netAt(i)).AngleSplLevel();
}
const CVector& TXover::netZin(int i) const {
    if (IsSimple()) return static_cast<const TNet&>(netAt(i)).Zin();
    return static_cast<const TNetA&>(netAt(i)).InputImpedance();
}
const FVector& TXover::netZinMagnitude(int i) const {
    if (IsSimple()) return static_cast<const TNet&>(netAt(i)).ZinMagnitude();
    return static_cast<const TNetA&>(netAt(i)).ImpedanceMagnitude();
}
const FVector& TXover::netZinPhase(int i) const {
    if (IsSimple()) return static_cast<const TNet&>(netAt(i)).ZinPhase();
    return static_cast<const TNetA&>(netAt(i)).ImpedancePhase();
}
const FVector& TXover::netSplPhase(int i) const {
    if (IsSimple()) return static_cast<const TNet&>(netAt(i)).SplPhase();
    return static_cast<const TNetA&>(netAt(i)).SplPhase();
}
const FVector& TXover::netGroupDelay(int i) const {
    if (IsSimple()) return static_cast<const TNet&>(netAt(i)).GroupDelay();
    return static_cast<const TNetA&>(netAt(i)).GroupDelay();
}

// ---- windows --------------------------------------------------------------------------

void TXover::createWindows() {
    const double* f = general_.frequency().data();
    auto init = [f](DiagramModel& m, const char* title, const char* yUnit) {
        m.setTitle(title);
        m.setUnits("Hz", yUnit);
        m.setX(f);
        m.setPointCount(kPoints);
        m.setLogX(true);
    };
    const int n = NetCount();
    if (IsSimple()) {
        gainWindowCount_ = 1;
        init(gainWindows_[0], "Filter gain", "dB");
    } else {
        gainWindowCount_ = n;
        for (int i = 0; i < n; ++i)
            init(gainWindows_[static_cast<std::size_t>(i)], strprintf("Filter gain, Net %d", i + 1).c_str(), "dB");
    }
    init(impedanceWindow_, "Input impedance", "ohm");
    init(summedWindow_, "Summed frequency response", "dB");
    init(phaseWindow_, "Individual phase response", "deg");
    init(groupDelayWindow_, "Group delay", "ms");
    init(surfaceWindow_, "Vertical off axis response, surface plot", "dB");
    init(overlayWindow_, "Vertical off axis response, overlaid plots", "dB");
    impulseWindow_.setTitle("Impulse response");
    impulseWindow_.setUnits("ms", "");
    impulseWindow_.setLogX(false);
    connectCurves();
}

// The curves every diagram but the summed and the off-axis ones keep for the project's life.
void TXover::connectCurves() {
    const int n = NetCount();
    const Pen total = diagramPen(kTotalPen);
    if (IsSimple()) {
        DiagramModel& g = gainWindows_[0];
        g.clearCurves();
        for (int i = 0; i < n; ++i)
            g.addCurve(static_cast<const TNet&>(netAt(i)).GainDb().data(), diagramPen(NetPenIndex(i)), NetLabel(i));
    } else {
        connectDriverGains();
    }
    impedanceWindow_.clearCurves();
    groupDelayWindow_.clearCurves();
    phaseWindow_.clearCurves();
    impedanceWindow_.addCurve(zinMagnitude_.data(), total, "Total");
    groupDelayWindow_.addCurve(groupDelay_.data(), total, "Total");
    for (int i = 0; i < n; ++i) {
        const Pen pen = diagramPen(NetPenIndex(i));
        impedanceWindow_.addCurve(netZinMagnitude(i).data(), pen, NetLabel(i));
        phaseWindow_.addCurve(netSplPhase(i).data(), pen, NetLabel(i));
        groupDelayWindow_.addCurve(netGroupDelay(i).data(), pen, NetLabel(i));
    }
}

// One curve per driver the net solves for; the count follows the net's connection.
void TXover::connectDriverGains() {
    static constexpr std::array<const char*, TNetA::kMaxDrivers> labels{"Driver 1", "Driver 2", "Driver 3",
                                                                         "Driver 4"};
    for (int i = 0; i < gainWindowCount_; ++i) {
        DiagramModel& g = gainWindows_[static_cast<std::size_t>(i)];
        const TNetA& net = *advanced_[static_cast<std::size_t>(i)];
        g.clearCurves();
        const int drivers = std::clamp(net.DriversInUse(), 1, TNetA::kMaxDrivers);
        for (int d = 0; d < drivers; ++d)
            g.addCurve(net.DriverGain()[d].data(), diagramPen(NetPenIndex(d)), labels[static_cast<std::size_t>(d)]);
    }
}

std::vector<DiagramModel*> TXover::DiagramWindows() {
    std::vector<DiagramModel*> list;
    for (int i = 0; i < gainWindowCount_; ++i)
        list.push_back(&gainWindows_[static_cast<std::size_t>(i)]);
    if (!IsActive()) list.push_back(&impedanceWindow_);
    for (DiagramModel* m : {&summedWindow_, &phaseWindow_, &groupDelayWindow_, &surfaceWindow_, &overlayWindow_,
                            &impulseWindow_})
        list.push_back(m);
    return list;
}

// Surface and overlay curve lists (step 3 of the cycle).
void TXover::fillRayPlots() {
    const TGeneral& g = general_;
    const int main = g.mainRay();
    const bool hide = g.hideOnAxis != 0;
    surfaceWindow_.clearCurves();
    overlayWindow_.clearCurves();
    surfaceRayCount_ = 0;
    if (g.inhibit != 0) return;
    const Pen pen = diagramPen(8);
    for (int k = 0; k < g.surfaceCount() && k < kRays; ++k) {
        if (hide && k == main) continue;
        surfaceRays_[static_cast<std::size_t>(surfaceRayCount_++)] = k;
        surfaceWindow_.addCurve(rayDb_[k].data(), pen, angleLabel(g.surfaceAngle(k)));
    }
    if (!hide) overlayWindow_.addCurve(rayDb_[main].data(), diagramPen(kTotalPen + 8), angleLabel(0));
    for (int k = 1; k < g.overlayCount(); ++k) {
        const int angle = g.overlayAngle(k);
        if (hide && angle == g.surfaceAngle(main)) continue;
        const int ray = g.surfaceIndexOf(angle);
        if (ray < 0 || ray >= kRays) continue;
        overlayWindow_.addCurve(rayDb_[ray].data(), diagramPen(8 + (k % 8)), angleLabel(angle));
    }
}

// Smallest and largest value of the model's curves inside the display frequencies.
AxisScale TXover::autoScale(const DiagramModel& m) const {
    // The grid rises, so the display range is one run of indices.
    const double* f = general_.frequency().data();
    const int points = std::min(m.pointCount(), kPoints);
    int first = 0;
    while (first < points && f[first] < xRange_.bottom)
        ++first;
    int last = first;
    while (last < points && f[last] <= xRange_.top)
        ++last;
    double lo = std::numeric_limits<double>::infinity();
    double hi = -lo;
    for (int c = 0; c < m.curveCount(); ++c) {
        const double* y = m.curve(c).y;
        if (y == nullptr) continue;
        // Plain comparisons keep lo and hi in registers (std::min/max spill them).
        for (int i = first; i < last; ++i) {
            const double v = y[i];
            if (!std::isfinite(v)) continue;
            if (v < lo) lo = v;
            if (hi < v) hi = v;
        }
    }
    if (!std::isfinite(lo)) return {0.0, 0.0};
    return {lo, hi};
}

// ---- calculation ----------------------------------------------------------------------

void TXover::New() {
    printList.clear();
    printDate = 1;
    printProjectName = 1;
    diagramsPerPage = 8;
    splExportRay = static_cast<std::int16_t>(general_.mainRay());
    if (IsSimple()) {
        for (auto& n : simple_)
            n->Reset();
    } else {
        for (auto& n : advanced_) {
            if (!n) continue;
            n->ResetDrivers();
            n->ResetBranches();
            n->SetChanged();
        }
    }
    schematicPlacement = {};
    netSchematicPlacement = {};
    netSchematicText = {};
    calcCount_ = {};
    Calculate();
    changed_ = 1;
    version_ = kCurrentVersion;
    fileName_.clear();
    updateCaption();
}

void TXover::updateCaption() {
    caption_ = std::string(kProductCaption) + " - " + (info_ != nullptr ? info_->caption : "");
    if (fileName_.empty()) return;
    const std::string file = fileNamePart(fileName_);
    const std::size_t dot = file.rfind('.');
    const std::string name = dot == std::string::npos ? file : file.substr(0, dot);
    const std::string ext = dot == std::string::npos ? std::string() : file.substr(dot);
    caption_ = strprintf("%s - %s%s", caption_.c_str(), name.c_str(), ext.c_str());
}

bool TXover::calculateNets() {
    const int n = NetCount();
    if (IsSimple()) {
        for (int i = 0; i < n; ++i) {
            TNetBase& net = Net(i);
            if (net.Changed()) ++calcCount_[static_cast<std::size_t>(i)];
            net.Calculate();
        }
        return true;
    }
    // Net 4 first; a net without its curves stops the cycle.
    for (int i = n - 1; i >= 0; --i) {
        TNetA& net = *advanced_[static_cast<std::size_t>(i)];
        const bool changed = net.Changed();
        if (!net.Calculate()) return false;
        if (changed) ++calcCount_[static_cast<std::size_t>(i)];
        net.ClearChanged();
    }
    return true;
}

bool TXover::Calculate() {
    if (info_ == nullptr) return false;
    xRange_ = {static_cast<double>(general_.lowerFrequency), static_cast<double>(general_.upperFrequency)};
    fillRayPlots();
    if (!calculateNets()) return false;
    combine();
    impResponse_->setSource(raySum_[general_.mainRay()].data());
    impResponse_->Calculate();

    if (!IsSimple()) connectDriverGains();
    summedWindow_.clearCurves();
    summedWindow_.addCurve(rayDb_[general_.mainRay()].data(), diagramPen(kTotalPen), "Total");
    for (int i = 0; i < NetCount(); ++i)
        summedWindow_.addCurve(netRaysDb(i)[general_.mainRay()].data(), diagramPen(NetPenIndex(i)), NetLabel(i));
    scaleDiagrams();
    for (DiagramModel* m : {&impedanceWindow_, &summedWindow_, &phaseWindow_, &groupDelayWindow_, &surfaceWindow_,
                            &overlayWindow_})
        m->clearCursor();
    for (int i = 0; i < gainWindowCount_; ++i)
        gainWindows_[static_cast<std::size_t>(i)].clearCursor();
    ui_.repaint();
    changed_ = 1;
    return true;
}

void TXover::combine() {
    const int n = NetCount();
    const TGeneral& g = general_;
    const int main = g.mainRay();

    // Total input impedance: every network in parallel.
    {
        zin_.copyValues(netZin(0));
        for (int k = 1; k < n; ++k)
            zin_.parallel(zin_, netZin(k));
        const Complex* z = zin_.data();
        double* mag = zinMagnitude_.data();
        double* ph = zinPhase_.data();
        for (int i = 0; i < kPoints; ++i) {
            mag[i] = std::abs(z[i]);
            ph[i] = std::atan2(z[i].imag(), z[i].real()) * kDegrees;
        }
    }

    // Sums per ray; with "Inhibit" only the main ray.
    for (int k = 0; k < g.surfaceCount() && k < kRays; ++k) {
        if (!g.rayCalculated(k)) continue;
        Complex* sum = raySum_[k].data();
        double* level = rayDb_[k].data();
        const Complex* r0 = netRays(0)[k].data();
        for (int i = 0; i < kPoints; ++i)
            sum[i] = r0[i];
        for (int m = 1; m < n; ++m) {
            const Complex* rm = netRays(m)[k].data();
            for (int i = 0; i < kPoints; ++i)
                sum[i] += rm[i];
        }
        levelRow(sum, level, kPoints);
    }

    const Complex* s = raySum_[main].data();
    double* phase = splPhase_.data();
    for (int i = 0; i < kPoints; ++i)
        phase[i] = std::atan2(s[i].imag(), s[i].real()) * kDegrees;

    // The total takes any step beyond 100 degrees as a wrap, unlike a network.
    const double* f = g.frequency().data();
    double* gd = groupDelay_.data();
    for (int i = 1; i < kPoints - 1; ++i) {
        double d = phase[i + 1] - phase[i - 1];
        if (d > 100.0) d -= 360.0;
        if (d < -100.0) d += 360.0;
        gd[i] = d * -2.7777777777777777 / (f[i + 1] - f[i - 1]);
    }
    gd[0] = gd[1];
    gd[kPoints - 1] = gd[kPoints - 2];
}

void TXover::scaleDiagrams() {
    const TGeneral& g = general_;
    const double range = g.splRange;
    for (int i = 0; i < gainWindowCount_; ++i) {
        AxisScale s = autoScale(gainWindows_[static_cast<std::size_t>(i)]);
        s.top = std::max(s.top, 0.0);
        s.bottom = s.top - range;
        gainScale_[static_cast<std::size_t>(i)] = s;
    }

    const double* zmag = zinMagnitude_.data();
    const double* gd = groupDelay_.data();
    double zmax = 0.0;
    double gdMax = -std::numeric_limits<double>::infinity();
    double gdMin = std::numeric_limits<double>::infinity();
    for (int i = 0; i < kPoints; ++i) {
        if (std::isfinite(zmag[i])) zmax = std::max(zmax, zmag[i]);
        if (std::isfinite(gd[i])) {
            gdMax = std::max(gdMax, gd[i]);
            gdMin = std::min(gdMin, gd[i]);
        }
    }
    impedanceScale_ = g.impedanceAuto != 0 ? AxisScale{0.0, 1.5 * zmax} : AxisScale{0.0, double(g.impedanceMax)};

    AxisScale s = autoScale(summedWindow_);
    summedScale_ = {s.top - range, s.top};

    if (g.gdAuto == 0) {
        groupDelayScale_ = {g.gdMin, g.gdMax};
    } else {
        AxisScale d = autoScale(groupDelayWindow_);
        if (std::isfinite(gdMax)) {
            d.top = std::min(d.top, 1.5 * gdMax);
            d.bottom = std::max(d.bottom, 1.5 * gdMin);
        }
        if (d.bottom > 0.0) d.bottom = 0.0;
        groupDelayScale_ = d;
    }

    AxisScale o = autoScale(overlayWindow_);
    overlayScale_ = {o.top - range, o.top};

    // The diagrams show what was chosen here, whoever draws them.
    const auto axis = [](AxisScale a) {
        return std::optional<AxisRange>(
            std::isfinite(a.bottom) && std::isfinite(a.top) && a.top > a.bottom ? AxisRange{a.bottom, a.top, true}
                                                                                 : AxisRange{});
    };
    // The impulse response runs over time.
    for (DiagramModel* m : DiagramWindows())
        if (m != &impulseWindow_) m->setScaledXRange(axis(xRange_));
    for (int i = 0; i < gainWindowCount_; ++i)
        gainWindows_[static_cast<std::size_t>(i)].setScaledYRange(axis(gainScale_[static_cast<std::size_t>(i)]));
    impedanceWindow_.setScaledYRange(axis(impedanceScale_));
    summedWindow_.setScaledYRange(axis(summedScale_));
    phaseWindow_.setScaledYRange(axis(PhaseScale()));
    groupDelayWindow_.setScaledYRange(axis(groupDelayScale_));
    overlayWindow_.setScaledYRange(axis(overlayScale_));
}

void TXover::ChangeNotification(int code) {
    if (code == kChangeSaved) {
        changed_ = 0;
        return;
    }
    changed_ = 1;
    Calculate();
    if (changeObserver) changeObserver(code);
}

void TXover::GeneralChanged() {
    for (int i = 0; i < NetCount(); ++i)
        Net(i).SetChanged();
    changed_ = 1;
}

void TXover::NetChanged(TNetBase& /*net*/) {
    changed_ = 1;
    postChangeNotification(0);
}

void TXover::postChangeNotification(int code) {
    ui_.post([this, alive = std::weak_ptr<int>(alive_), code] {
        if (alive.lock()) ChangeNotification(code);
    });
}

// ---- closing and saving ---------------------------------------------------------------

bool TXover::CanClose() {
    if (changed_ == 0) return true;
    switch (ui_.ask(kProjectCaption, kSaveQuestionText)) {
    case MessageResult::Yes:
        // A failed or cancelled save keeps the project open with its changes.
        return Save();
    case MessageResult::No:
        return true;
    case MessageResult::Cancel:
    case MessageResult::Ok:
        return false;
    }
    return false;
}

bool TXover::saveTo(const std::string& path, const char* failureCaption) {
    const bool ok = WriteProject(path);
    if (!ok) ui_.error(failureCaption, kSaveFailedText);
    ui_.repaint();
    return ok;
}

bool TXover::Save() {
    if (fileName_.empty()) return SaveAs();
    return saveTo(fileName_, kSaveCaption);
}

bool TXover::SaveAs() {
    const std::optional<std::string> path = ui_.selectFile(projectSelector_, FileMode::Save);
    if (!path) return false;
    return saveTo(*path, kSaveAsCaption);
}

bool TXover::WriteProject(const std::string& path) {
    if (info_ == nullptr) return false;
    BinaryWriter w;
    if (!writeProjectBytes(w) || !writeFileAtomic(path, w.buffer())) return false;
    fileName_ = path;
    projectSelector_.rememberedPath = path;
    Calculate();
    changed_ = 0;
    updateCaption();
    return true;
}

bool TXover::writeProjectBytes(BinaryWriter& w) const {
    if (info_ == nullptr) return false;
    const int n = NetCount();
    w.i32(typeCode_, "type");
    w.i16(static_cast<std::int16_t>(kCurrentVersion), "version");
    w.zeros(16);
    writeGroup(w, "general", [&] { return general_.writeRecord(w); });
    // The advanced variants store their nets from the last to the first.
    if (IsSimple()) {
        FieldGroup g(w, "schematicPlacement");
        schematicPlacement.write(w);
    } else {
        for (int i = n - 1; i >= 0; --i) {
            FieldGroup g(w, "schematics", i);
            writeGroup(w, "placement", [&] { return netSchematicPlacement[static_cast<std::size_t>(i)].write(w); });
            w.bytes(netSchematicText[static_cast<std::size_t>(i)].data(), kSchematicTextSize, "text");
        }
    }
    if (IsSimple()) {
        FieldGroup g(w, "gainWindows", 0);
        gainWindows_[0].writeRecord(w);
    } else {
        for (int i = n - 1; i >= 0; --i) {
            FieldGroup g(w, "gainWindows", i);
            gainWindows_[static_cast<std::size_t>(i)].writeRecord(w);
        }
    }
    if (!IsActive()) {
        FieldGroup g(w, "impedanceWindow");
        impedanceWindow_.writeRecord(w);
    }
    const std::pair<const DiagramModel*, const char*> windows[] = {
        {&summedWindow_, "summedWindow"},   {&phaseWindow_, "phaseWindow"},     {&groupDelayWindow_, "groupDelayWindow"},
        {&impulseWindow_, "impulseWindow"}, {&surfaceWindow_, "surfaceWindow"}, {&overlayWindow_, "overlayWindow"}};
    for (const auto& [window, name] : windows) {
        FieldGroup g(w, name);
        window->writeRecord(w);
    }
    if (IsSimple()) {
        for (int i = 0; i < n; ++i) {
            FieldGroup g(w, "nets", i);
            static_cast<const TNet&>(netAt(i)).writeRecord(w);
        }
    } else {
        for (int i = n - 1; i >= 0; --i) {
            FieldGroup g(w, "nets", i);
            advanced_[static_cast<std::size_t>(i)]->WriteRecord(w);
        }
    }
    w.u16(static_cast<std::uint16_t>(kEndMarker), "endMarker");
    return w.ok();
}

bool TXover::readFrom(BinaryReader& r) {
    std::int32_t code = 0;
    std::int16_t version = 0;
    if (!r.i32(code) || code != typeCode_ || !r.i16(version)) return false;
    if (version < kOldestVersion || version > kCurrentVersion) return false;
    if (version != kCurrentVersion) ui_.error(kOldFileCaption, kOldFileText);
    version_ = version;
    if (!r.skip(16) || !general_.readRecord(r, version)) return false;
    const int n = NetCount();
    if (IsSimple()) {
        if (!schematicPlacement.read(r)) return false;
    } else {
        for (int i = n - 1; i >= 0; --i) {
            if (!netSchematicPlacement[static_cast<std::size_t>(i)].read(r) ||
                !r.bytes(netSchematicText[static_cast<std::size_t>(i)].data(), kSchematicTextSize))
                return false;
        }
    }
    if (IsSimple()) {
        if (!gainWindows_[0].readRecord(r)) return false;
    } else {
        for (int i = n - 1; i >= 0; --i)
            if (!gainWindows_[static_cast<std::size_t>(i)].readRecord(r)) return false;
    }
    if (!IsActive() && !impedanceWindow_.readRecord(r)) return false;
    for (DiagramModel* m : {&summedWindow_, &phaseWindow_, &groupDelayWindow_, &impulseWindow_})
        if (!m->readRecord(r)) return false;
    if (version >= kRaysVersion) {
        if (!surfaceWindow_.readRecord(r) || !overlayWindow_.readRecord(r)) return false;
    }
    if (IsSimple()) {
        for (int i = 0; i < n; ++i)
            if (!static_cast<TNet&>(Net(i)).readRecord(r, version, &ui_)) return false;
    } else {
        for (int i = n - 1; i >= 0; --i)
            if (!advanced_[static_cast<std::size_t>(i)]->ReadRecord(r, &ui_)) return false;
    }
    std::uint16_t marker = 0;
    if (!r.u16(marker) || marker != kEndMarker) return false;
    for (int i = 0; i < n; ++i)
        Net(i).SetChanged();
    return true;
}

bool TXover::ReadProject(const std::string& path) {
    if (info_ == nullptr) return false;
    std::vector<std::uint8_t> bytes;
    if (!readFilePrefix(path, TXover::kMaxFileSize, bytes)) {
        New();
        return false;
    }
    return ReadProjectBytes(bytes, path);
}

bool TXover::ReadProjectBytes(std::span<const std::uint8_t> bytes, const std::string& path) {
    if (info_ == nullptr) return false;
    // A refused file leaves the shared settings as they were.
    const TGeneral generalBefore = general_;
    BinaryReader r(bytes);
    const bool ok = readFrom(r);
    if (!ok) {
        general_ = generalBefore;
        New();
        return false;
    }
    fileName_ = path;
    projectSelector_.rememberedPath = path;
    Calculate();
    changed_ = 0;
    version_ = kCurrentVersion;
    updateCaption();
    return true;
}

// ---- export ---------------------------------------------------------------------------

bool TXover::ExportTotal(int kind) {
    if (info_ == nullptr) return false;
    const double* f = general_.frequency().data();
    CurveExport data;
    FileSelector* selector = &splSelector_;
    switch (static_cast<FilterExportKind>(kind)) {
    case FilterExportKind::Spl:
        break;
    case FilterExportKind::InputImpedance:
        if (IsActive()) return false;
        data = makeCurveExport(ExportCurve::InputImpedance, kPoints, f, zinMagnitude_.data(), zinPhase_.data());
        selector = &impedanceSelector_;
        break;
    case FilterExportKind::GroupDelay:
        data = makeCurveExport(ExportCurve::GroupDelay, kPoints, f, groupDelay_.data(), nullptr);
        break;
    case FilterExportKind::Impulse:
        // The points the window shows, time in ms; nothing while the transform is disabled.
        if (impulseWindow_.pointCount() <= 0) return false;
        data = makeCurveExport(ExportCurve::Transient, impulseWindow_.pointCount(), impResponse_->TimeAxis().data(),
                               impResponse_->Response().data(), nullptr);
        data.title = impulseWindow_.title();
        break;
    case FilterExportKind::FilterGain:
    default:
        // The total has no filter gain.
        return false;
    }
    if (static_cast<FilterExportKind>(kind) != FilterExportKind::Spl) return exportCurve(ui_, *selector, data, true);

    // The SPL total asks for the ray after the file name and its format.
    const std::optional<std::string> path = ui_.selectFile(splSelector_, FileMode::Save);
    if (!path) return false;
    const std::optional<CurveFormat> format = curveFormatFromPath(*path);
    if (!format) {
        ui_.error(kExportErrorCaption, kNoExportFormatText);
        return false;
    }
    int ray = general_.mainRay();
    if (splTotalRayChooser) {
        std::vector<std::string> angles;
        for (int k = 0; k < general_.surfaceCount(); ++k)
            angles.push_back(angleLabel(general_.surfaceAngle(k)));
        const std::optional<int> chosen = splTotalRayChooser(angles, ray);
        if (!chosen) return false;
        ray = std::clamp(*chosen, 0, std::min(general_.surfaceCount(), kRays) - 1);
    }
    splExportRay = static_cast<std::int16_t>(ray);
    const Complex* s = raySum_[ray].data();
    double* phase = exportPhase_.data();
    for (int i = 0; i < kPoints; ++i)
        phase[i] = std::atan2(s[i].imag(), s[i].real()) * kDegrees;
    data = makeCurveExport(ExportCurve::Spl, kPoints, f, rayDb_[ray].data(), phase);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (const std::tm* t = std::localtime(&now)) local = *t;
    if (!writeCurveFile(*path, data, *format, local)) {
        ui_.error(kExportErrorCaption, exportWriteFailureText(*path));
        return false;
    }
    return true;
}

bool TXover::ExportNet(int kind, int i) {
    if (i < 0 || i >= NetCount()) return false;
    const double* f = general_.frequency().data();
    const int main = general_.mainRay();
    CurveExport data;
    FileSelector* selector = &splSelector_;
    switch (static_cast<FilterExportKind>(kind)) {
    case FilterExportKind::Spl:
        data = makeCurveExport(ExportCurve::Spl, kPoints, f, netRaysDb(i)[main].data(), netSplPhase(i).data());
        break;
    case FilterExportKind::FilterGain:
        if (IsSimple()) {
            const TNet& net = static_cast<const TNet&>(netAt(i));
            data = makeCurveExport(ExportCurve::FilterGain, kPoints, f, net.GainDb().data(), net.GainPhase().data());
        } else {
            const TNetA& net = static_cast<const TNetA&>(netAt(i));
            data = makeCurveExport(ExportCurve::FilterGain, kPoints, f, net.DriverGain()[0].data(),
                                   net.TransferPhase().data());
        }
        break;
    case FilterExportKind::InputImpedance:
        if (IsActive()) return false;
        data = makeCurveExport(ExportCurve::InputImpedance, kPoints, f, netZinMagnitude(i).data(),
                               netZinPhase(i).data());
        selector = &impedanceSelector_;
        break;
    case FilterExportKind::GroupDelay:
        data = makeCurveExport(ExportCurve::GroupDelay, kPoints, f, netGroupDelay(i).data(), nullptr);
        break;
    case FilterExportKind::Impulse:
    default:
        return false;
    }
    return exportCurve(ui_, *selector, data, false);
}

} // namespace harlox
