#include "box/alignment.h"

#include "box/abr_box.h"
#include "box/bandpass_box.h"
#include "box/bass_reflex_box.h"
#include "box/box_object.h"
#include "box/closed_box.h"
#include "box/port_object.h"
#include "core/ui_host.h"

#include <algorithm>
#include <cmath>

namespace harlox::alignment {

namespace {

// Every lookup sets the driver's box Q for the chambers it sizes.
constexpr double kTableBoxQ = 15.0;
// A table refuses a driver whose own Q is within 1 % of the wanted one.
constexpr double kQtsMargin = 1.01;
// Full filling makes the box act 1.2 times larger: the Q 3 rows get a smaller box.
constexpr double kFullFillVolume = 0.8333333333333334;
constexpr double kQuickAreaFactor = 0.004;

// The lookups size the enclosure from the effective parameters, so they need a driver.
bool prepare(TBoxEmbryo& project) {
    if (project.front().unitOk == 0) return false;
    project.ComputeDerivedValues();
    return true;
}

void finish(TBoxEmbryo& project) {
    TMeasureSetupObject::setup().setupChanged = 1;
    project.markChanged();
}

} // namespace

// ---- closed box ---------------------------------------------------------------------------

bool closedVolume(double qtc, double qtsEff, double vasEff, double& vb) {
    if (!(qtc > qtsEff * kQtsMargin) || !(qtsEff > 0.0)) return false;
    const double r = qtc / qtsEff;
    vb = vasEff / (r * r - 1.0);
    return true;
}

bool applyClosedTable(TClosedBox& project, int row, UiHost& ui) {
    if (row < 0 || row >= kClosedRowCount || !prepare(project)) return false;
    double vb = 0.0;
    // VasEff already counts an isobaric pair as one driver of half the Vas: no second halving.
    if (!closedVolume(kClosedRows[static_cast<std::size_t>(row)].qtc, project.effectiveQts(),
                      project.effectiveVas(), vb)) {
        ui.error("", kTooHighQtsText);
        return false;
    }
    TBoxObject& box = project.box();
    box.Qb = kTableBoxQ;
    project.setBoxVolume(box, vb);
    finish(project);
    return true;
}

// ---- bass reflex box ----------------------------------------------------------------------

const FamilyInfo& familyInfo(Family family) {
    const int i = std::clamp(static_cast<int>(family), 0, kFamilyCount - 1);
    return kFamilies[static_cast<std::size_t>(i)];
}

bool familyUsable(Family family, double qtsEff) {
    const FamilyInfo& f = familyInfo(family);
    return qtsEff >= f.lowest && qtsEff <= f.highest;
}

int familyRow(Family family, double qtsEff) {
    const int last = rowCount(family) - 1;
    const double x = (qtsEff - familyInfo(family).qmin) * 100.0 + 0.5;
    if (!(x >= 0.0)) return 0;
    if (x >= last) return std::max(last, 0);
    return static_cast<int>(x);
}

bool reflexAlignment(Family family, int qChoice, double qtsEff, double fsEff, double vasEff,
                     ReflexAlignment& out, const char** refusal) {
    if (refusal) *refusal = nullptr;
    if (qChoice < 0 || qChoice >= kBoxQChoices) return false;
    if (!familyUsable(family, qtsEff)) {
        if (refusal) *refusal = qtsEff > familyInfo(family).highest ? kTooHighQtsText : kTooLowQtsText;
        return false;
    }
    const Row r = tableRow(family, qChoice, familyRow(family, qtsEff));
    if (!(r.alpha > 0.0) || !(r.h > 0.0)) return false;
    // VasEff is already halved for an isobaric pair; halving again would give half the box.
    out.Vb = vasEff / r.alpha * (qChoice == 0 ? kFullFillVolume : 1.0);
    out.tuning = fsEff * r.h;
    return true;
}

bool applyBassReflexTable(TBassReflexBox& project, Family family, int qChoice, UiHost& ui) {
    if (!prepare(project)) return false;
    ReflexAlignment a;
    const char* refusal = nullptr;
    if (!reflexAlignment(family, qChoice, project.effectiveQts(), project.effectiveFs(),
                         project.effectiveVas(), a, &refusal)) {
        if (refusal) ui.error("", refusal);
        return false;
    }
    TBoxObject& box = project.box();
    TPortObject& port = project.port();
    // Kept so that a port that cannot be sized leaves the project as it was.
    const TBoxObject boxBefore = box;
    const TPortObject portBefore = port;
    const BoxQChoice& q = kBoxQChoiceInfo[static_cast<std::size_t>(qChoice)];
    box.Qb = q.q;
    box.Ql = q.q;
    box.fill = q.fill;
    project.setBoxVolume(box, a.Vb); // the port's Vbox follows
    if (!port.sizeForTuning(a.tuning)) {
        box = boxBefore;
        port = portBefore;
        ui.error(kReflexTableCaption, kNoPortLengthText);
        return false;
    }
    finish(project);
    return true;
}

// ---- bandpass box type 1 ------------------------------------------------------------------

namespace {

// S = S0 · 10^(d/40) for the sensitivity d, to four digits; columns 0, 0.35 and 1.25 dB ripple.
constexpr double kBp1S[kSensitivityCount][kRippleCount] = {
    {0.4507, 0.5258, 0.6310}, // -8 dB
    {0.4774, 0.5569, 0.6683}, // -7 dB
    {0.5057, 0.5899, 0.7079}, // -6 dB
    {0.5356, 0.6249, 0.7499}, // -5 dB
    {0.5674, 0.6619, 0.7943}, // -4 dB
    {0.6010, 0.7011, 0.8414}, // -3 dB
    {0.6366, 0.7427, 0.8913}, // -2 dB
    {0.6743, 0.7867, 0.9441}, // -1 dB
    {0.7143, 0.8333, 1.0000}, // 0 dB
    {0.7566, 0.8827, 1.0593}, // +1 dB
    {0.8015, 0.9350, 1.1220}, // +2 dB
    {0.8489, 0.9904, 1.1885}, // +3 dB
    {0.8993, 1.0491, 1.2589}, // +4 dB
    {0.9525, 1.1112, 1.3335}, // +5 dB
    {1.0090, 1.1771, 1.4125}, // +6 dB
    {1.0688, 1.2468, 1.4962}, // +7 dB
    {1.1321, 1.3207, 1.5849}, // +8 dB
};
constexpr double kBp1B[kRippleCount] = {0.7, 0.6, 0.5};

} // namespace

double bp1S(int ripple, int sensitivity) {
    ripple = std::clamp(ripple, 0, kRippleCount - 1);
    sensitivity = std::clamp(sensitivity, 0, kSensitivityCount - 1);
    return kBp1S[sensitivity][ripple];
}

double bp1B(int ripple) {
    return kBp1B[std::clamp(ripple, 0, kRippleCount - 1)];
}

bool bp1Alignment(int ripple, int sensitivity, double qtsEff, double fsEff, double vasEff,
                  Bp1Alignment& out) {
    if (ripple < 0 || ripple >= kRippleCount || sensitivity < 0 || sensitivity >= kSensitivityCount)
        return false;
    const double s = bp1S(ripple, sensitivity);
    if (!(s > qtsEff * kQtsMargin) || !(qtsEff > 0.0)) return false;
    const double front = bp1B(ripple) * 2.0 * qtsEff;
    const double r = s / qtsEff;
    // VasEff already counts the drivers and halves an isobaric pair: no further halving.
    out.Vfront = front * front * vasEff;
    out.Vrear = vasEff / (r * r - 1.0);
    out.tuning = s * fsEff / qtsEff;
    return true;
}

bool applyBp1Table(TBP5Box& project, int ripple, int sensitivity, UiHost& ui) {
    if (ripple < 0 || ripple >= kRippleCount || sensitivity < 0 || sensitivity >= kSensitivityCount ||
        !prepare(project))
        return false;
    Bp1Alignment a;
    if (!bp1Alignment(ripple, sensitivity, project.effectiveQts(), project.effectiveFs(),
                      project.effectiveVas(), a)) {
        ui.error("", kTooHighQtsText);
        return false;
    }
    TBoxObject& rear = project.rearBox();
    TBoxObject& front = project.frontBox();
    TPortObject& port = project.port();
    const TBoxObject rearBefore = rear;
    const TBoxObject frontBefore = front;
    const TPortObject portBefore = port;
    rear.Qb = kTableBoxQ;
    front.Qb = kTableBoxQ;
    project.setBoxVolume(rear, a.Vrear);
    project.setBoxVolume(front, a.Vfront); // the port's Vbox follows
    if (!port.sizeForTuning(a.tuning)) {
        rear = rearBefore;
        front = frontBefore;
        port = portBefore;
        ui.error(kBp1TableCaption, kNoPortLengthText);
        return false;
    }
    finish(project);
    return true;
}

// ---- passive radiator box -----------------------------------------------------------------

const std::array<AbrRow, kAbrRowCount> kAbrRows{{
    {0.20, 2.10, 8.21}, {0.21, 2.02, 7.26}, {0.22, 1.94, 6.38}, {0.23, 1.88, 5.76}, {0.24, 1.82, 5.20},
    {0.25, 1.77, 4.76}, {0.26, 1.73, 4.33}, {0.27, 1.68, 4.01}, {0.28, 1.64, 3.65}, {0.29, 1.59, 3.34},
    {0.30, 1.56, 3.08}, {0.31, 1.51, 2.78}, {0.32, 1.48, 2.58}, {0.33, 1.45, 2.38}, {0.34, 1.42, 2.20},
    {0.35, 1.39, 2.06}, {0.36, 1.35, 1.91}, {0.37, 1.33, 1.80}, {0.38, 1.30, 1.66}, {0.39, 1.26, 1.53},
    {0.40, 1.23, 1.41}, {0.41, 1.21, 1.30}, {0.42, 1.19, 1.22}, {0.43, 1.16, 1.12}, {0.44, 1.13, 1.03},
    {0.45, 1.10, 0.96}, {0.46, 1.06, 0.87}, {0.47, 1.03, 0.80}, {0.48, 1.00, 0.73}, {0.49, 0.98, 0.69},
    {0.50, 0.95, 0.65}, {0.51, 0.92, 0.60}, {0.52, 0.90, 0.55}, {0.53, 0.87, 0.52}, {0.54, 0.84, 0.48},
    {0.55, 0.81, 0.44}, {0.56, 0.78, 0.39}, {0.57, 0.75, 0.37}, {0.58, 0.72, 0.33}, {0.59, 0.70, 0.31},
    {0.60, 0.68, 0.28},
}};

int abrRow(double qts) {
    for (int i = 0; i < kAbrRowCount; ++i)
        if (!(kAbrRows[static_cast<std::size_t>(i)].qts < qts)) return i;
    return kAbrRowCount - 1;
}

bool applyAbrTable(TAbrBox& project, UiHost& ui) {
    if (!prepare(project)) return false;
    const double qts = project.effectiveQts();
    if (qts < 0.20) {
        ui.error(kAbrTooLowCaption, kAbrTooLowText);
        return false;
    }
    if (qts > 0.61) {
        ui.error(kAbrTooHighCaption, kAbrTooHighText);
        return false;
    }
    const AbrRow& row = kAbrRows[static_cast<std::size_t>(abrRow(qts))];
    const TSpeakerObject& d = project.front();
    const int n = d.driverCount;
    // This table starts from the unit's Vas, so the isobaric halving is its one and only.
    const double vas = d.isobaric != 0 ? 0.5 * d.Vas : d.Vas;
    TBoxObject& box = project.box();
    box.Qb = kTableBoxQ;
    project.setBoxVolume(box, n * vas / row.alpha);
    TAbrObject& r = project.abr();
    r.setVap(vas);
    r.setUnits(n);
    r.setFb(project.effectiveFs() * row.h);
    finish(project);
    return true;
}

// ---- ports --------------------------------------------------------------------------------

bool sizeQuickPort(TPortObject& port, double tuning, double coneArea) {
    const double area = port.S, diameter = port.D;
    port.S = tuning * coneArea * kQuickAreaFactor / port.ports;
    port.D = std::sqrt(4.0 * port.S * 0.3183098861837697);
    port.computeSeff();
    port.portChanged = 1;
    if (port.sizeForTuning(tuning)) return true;
    port.S = area;
    port.D = diameter;
    port.computeSeff();
    return false;
}

} // namespace harlox::alignment
