#include "box/box_embryo.h"

#include "box/box_object.h"
#include "box/complex_math.h"
#include "box/max_spl.h"
#include "box/port_object.h"
#include "box/room_cabinet.h"
#include "box/snapshot.h"
#include "core/atomic_file.h"
#include "core/binary_io.h"
#include "core/command_ids.h"
#include "core/format.h"
#include "core/program_dir.h"
#include "output/curve_writer.h"
#include "transient/step_response.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <optional>

namespace harlox {

namespace {

// Degrees of phase change per Hz to milliseconds of delay: -1000 / 360.
constexpr double kDelayFactor = -2.7777777777777777;
// RMS volume velocity to millimetres peak-to-peak.
constexpr double kExcursionFactor = 1000.0 * 2.828;

// The commands a new project greys until a driver unit is loaded.
constexpr int kGreyedOnReset[] = {
    cmd::Calculate,
    cmd::DriverConfig,
    cmd::Box,
    cmd::MeasSetup,
    cmd::Save,
    cmd::SaveAs,
    cmd::PrintWindow,
    cmd::CopyWindow,
    cmd::UserNote,
    cmd::ExportGroupDelay,
    cmd::ExportImpedance,
    cmd::ExportSplRoom,
    cmd::ExportSpl,
    cmd::ExportSplWaveModes,
    cmd::ExportTransient,
    cmd::RearDriverConfig,
    cmd::PrintDiagrams,
    cmd::TransientResp,
    cmd::RoomCabinet,
    cmd::Snapshot,
    cmd::ExportMaxSpl,
    cmd::MaxSpl,
    cmd::MaxSplHelp,
};

} // namespace

TBoxEmbryo::TBoxEmbryo(UiHost& ui)
    : ui_(ui), front_(std::make_unique<TSpeakerObject>()), rear_(std::make_unique<TSpeakerObject>()),
      splSelector_{kSplExportFilter, kSplExportExtension, false, {}},
      impedanceSelector_{kImpedanceExportFilter, kImpedanceExportExtension, false, {}},
      transient_(std::make_unique<TStepResponse>()), roomCabinet_(std::make_unique<TRoomCabinet>()),
      snapshot_(std::make_unique<TSnapshot>(ui, snapshotSelector_)), maxSpl_(std::make_unique<TMaxSpl>()) {
    const double* x = grid().f.data();
    for (DiagramModel* w : {&splWindow_, &excursionWindow_, &impedanceWindow_, &groupDelayWindow_}) {
        w->setX(x);
        w->setLogX(true);
        addWindow(*w);
    }
    splWindow_.setPhase(splPhase.data());
    excursionWindow_.addCurve(front_->excursion.data(), Pen{PenColor::Black, PenStyle::Solid}, "Driver unit");
    impedanceWindow_.addCurve(front_->impedance.data(), Pen{PenColor::Black, PenStyle::Solid}, "Impedance");
    impedanceWindow_.setPhase(impedancePhase.data());
    groupDelayWindow_.addCurve(groupDelay.data(), Pen{PenColor::Black, PenStyle::Solid}, "Group delay");
    for (int i = 0; i < windowCount_; ++i)
        windows_[static_cast<std::size_t>(i)]->setPointCount(setup().pointCount);
    for (DiagramModel* w : {&maxSpl_->window(), &maxSpl_->voltageWindow()})
        w->setX(x);
    fitSettings_.Reset();
    snapshot_->setChangeNotifier([this](int code) { postChangeNotification(code); });
}

TBoxEmbryo::~TBoxEmbryo() = default;

void TBoxEmbryo::addWindow(DiagramModel& w) {
    if (windowCount_ < static_cast<int>(windows_.size()))
        windows_[static_cast<std::size_t>(windowCount_++)] = &w;
    w.setX(grid().f.data());
    w.setPointCount(setup().pointCount);
}

TBoxObject& TBoxEmbryo::createBox(std::unique_ptr<TBoxObject>& slot, const char* name, bool showQl) {
    slot = std::make_unique<TBoxObject>(name, showQl);
    auto& shadow = &slot == &box2_ ? sheetBox2_ : sheetBox_;
    shadow = std::make_unique<TBoxObject>(name, showQl);
    return *slot;
}

TPortObject& TBoxEmbryo::createPort(std::unique_ptr<TPortObject>& slot, const char* name) {
    slot = std::make_unique<TPortObject>(name);
    auto& shadow = &slot == &port2_ ? sheetPort2_ : sheetPort1_;
    shadow = std::make_unique<TPortObject>(name);
    return *slot;
}

// ---- project state and commands ----------------------------------------------------

void TBoxEmbryo::greyProjectCommands() {
    for (const int id : kGreyedOnReset)
        ui_.grey(id);
    if (!hasStdWaveModesExport()) ui_.remove(cmd::ExportSplWaveModes);
}

void TBoxEmbryo::Reset() {
    setup().setupChanged = 1;
    needsRegrid_ = true;
    transient_->Reset();
    resetTransientResponse();
    roomCabinet_->Reset();
    snapshot_->Reset();
    snapshot_->clearPath();
    dataSheetPlacement = WindowPlacement{};
    dataSheetMinimised = false;
    front_->Reset();
    rear_->Reset();
    if (box_) box_->Reset();
    if (box2_) box2_->Reset();
    fitSettings_.Reset();
    UpdateCalculateCommand();
    greyProjectCommands();
    userNote_.clear();
    for (int i = 0; i < windowCount_; ++i)
        windows_[static_cast<std::size_t>(i)]->clear();
    sheet_.written = false;
    f3_ = 0.0;
    lastPassCount_ = 0;
    projectFileName_.clear();
    frontUnitPath_.clear();
    rearUnitPath_.clear();
    projectTitle_ = std::string(kProductCaption) + " - " + typeName();
    frameCaption_ = projectTitle_;
}

void TBoxEmbryo::setVb(double volume) {
    if (box_) setBoxVolume(*box_, volume);
}

void TBoxEmbryo::setBoxVolume(TBoxObject& box, double volume) {
    box.Vb = volume;
    box.boxChanged = 1;
}

void TBoxEmbryo::UpdateCalculateCommand() {
    if (driversComplete()) {
        ui_.enable(cmd::Calculate);
    } else {
        ui_.grey(cmd::Calculate);
    }
}

void TBoxEmbryo::enableCommandUnlessOpen(int id, ProjectDialog d) {
    if (!dialogOpen(d)) ui_.enable(id);
}

void TBoxEmbryo::enableProjectCommands() {
    enableCommandUnlessOpen(cmd::DriverConfig, ProjectDialog::DriverConfig);
    enableCommandUnlessOpen(cmd::DriverEdit, ProjectDialog::DriverEditor);
    enableCommandUnlessOpen(cmd::Box, ProjectDialog::Box);
    enableCommandUnlessOpen(cmd::MeasSetup, ProjectDialog::MeasureSetup);
    for (const int id :
         {cmd::Save, cmd::SaveAs, cmd::PrintWindow, cmd::CopyWindow, cmd::UserNote, cmd::PrintDiagrams, cmd::MaxSpl,
          cmd::MaxSplHelp})
        ui_.enable(id);
    for (int id = cmd::FirstBoxExport; id <= cmd::LastBoxExport; ++id) {
        if (id != cmd::ExportSplWaveModes || hasStdWaveModesExport()) ui_.enable(id);
    }
    enableCommandUnlessOpen(cmd::TransientResp, ProjectDialog::TransientResponse);
    enableCommandUnlessOpen(cmd::RoomCabinet, ProjectDialog::RoomCabinet);
    enableCommandUnlessOpen(cmd::Snapshot, ProjectDialog::Snapshot);
    if (usesRearDriver()) ui_.enable(cmd::RearDriverConfig);
}

void TBoxEmbryo::postChangeNotification(int code) {
    ui_.post([this, alive = std::weak_ptr<int>(alive_), code] {
        if (alive.lock()) ChangeNotification(code);
    });
}

bool TBoxEmbryo::LoadDriverUnit() {
    return loadUnit(*front_, unitSelector_, frontUnitPath_);
}

bool TBoxEmbryo::LoadRearDriverUnit() {
    return loadUnit(*rear_, rearUnitSelector_, rearUnitPath_);
}

bool TBoxEmbryo::LoadDriverUnitFile(const std::string& path) {
    return loadUnitFile(*front_, path, frontUnitPath_);
}

bool TBoxEmbryo::loadUnit(TSpeakerObject& driver, FileSelector& selector, std::string& storedPath) {
    const std::optional<std::string> path = ui_.selectFile(selector, FileMode::Open);
    return path && loadUnitFile(driver, *path, storedPath);
}

bool TBoxEmbryo::loadUnitFile(TSpeakerObject& driver, const std::string& path, std::string& storedPath) {
    if (!driver.Load(path)) {
        ui_.error(kUnitLoadCaption, kUnitOpenFailedText);
        return false;
    }
    changed_ = true;
    const bool complete = driver.unitOk != 0;
    if (!complete) {
        ui_.error(kUnitLoadCaption, kTooFewParametersText);
    } else {
        storedPath = makeRelativeToProgramDir(path);
        if (driversComplete()) ui_.enable(cmd::Calculate);
        enableCommandUnlessOpen(cmd::DriverConfig, ProjectDialog::DriverConfig);
        enableCommandUnlessOpen(cmd::DriverEdit, ProjectDialog::DriverEditor);
        enableCommandUnlessOpen(cmd::Box, ProjectDialog::Box);
        enableCommandUnlessOpen(cmd::MeasSetup, ProjectDialog::MeasureSetup);
        enableCommandUnlessOpen(cmd::TransientResp, ProjectDialog::TransientResponse);
        enableCommandUnlessOpen(cmd::RoomCabinet, ProjectDialog::RoomCabinet);
        enableCommandUnlessOpen(cmd::Snapshot, ProjectDialog::Snapshot);
        if (usesRearDriver()) ui_.enable(cmd::RearDriverConfig);
    }
    postChangeNotification(0);
    driver.unitChanged = 1;
    UpdateCalculateCommand();
    ui_.repaint();
    return complete;
}

void TBoxEmbryo::ChangeNotification(int code) {
    if (code == kChangeSaved) {
        changed_ = false;
        return;
    }
    changed_ = true;
    splWindow_.setPhaseShown(setup().hidePhase == 0);
    if (code != 1 && code != kChangeDataSheetOnly) UpdateCalculateCommand();
    refreshRoomCabinetInputs();
    if (setup().calculateImmediately != 0 || code == kChangeDataSheetOnly) {
        Calculate(code == kChangeDataSheetOnly ? 1 : 0);
    }
    if (changeObserver) changeObserver(code);
}

bool TBoxEmbryo::CanClose() {
    closeTransientResponseDialog();
    if (!changed_) return true;
    switch (ui_.ask(kBoxProjectCaption, kSaveQuestionText)) {
    case MessageResult::Yes:
        // A save that failed or was cancelled keeps the project: dropping it would lose the
        // changes the user just asked to keep.
        return Save();
    case MessageResult::No:
        return true;
    case MessageResult::Cancel:
    case MessageResult::Ok:
        return false;
    }
    return false;
}

void TBoxEmbryo::PostCreation(bool loadedFromFile) {
    if (loadedFromFile) {
        const std::string file = fileNamePart(projectFileName_);
        const std::size_t dot = file.rfind('.');
        const std::string name = dot == std::string::npos ? file : file.substr(0, dot);
        const std::string ext = dot == std::string::npos ? std::string() : file.substr(dot);
        frameCaption_ = strprintf("%s - %s%s", projectTitle_.c_str(), name.c_str(), ext.c_str());
    } else {
        frameCaption_ = strprintf("%s", projectTitle_.c_str());
    }
}

std::string TBoxEmbryo::ShowFileName() const {
    return "Filename\t" + fileNamePart(projectFileName_);
}

void TBoxEmbryo::setUserNote(std::string_view text) {
    userNote_ = std::string(text.substr(0, std::min(text.size(), kUserNoteSize - 1)));
    changed_ = true;
    ui_.repaint();
}

void TBoxEmbryo::ComputeDerivedValues() {
    const TSpeakerObject& d = *front_;
    VasEff_ = d.driverCount * d.Vas;
    if (d.isobaric != 0) VasEff_ *= 0.5;
    const double m = (d.Mms + d.extraMass) / d.Mms;
    const double k = std::sqrt(1.0 / m);
    fsEff_ = d.fs * k;
    const double mS = d.sourceMultiplier();
    const double QesEff = k * m * d.Qes * (d.hotResistance(setup().Ug) + setup().Rg * mS) / d.Re;
    QtsEff_ = QesEff > 0.0 ? 1.0 / (1.0 / (k * m * d.Qms) + 1.0 / QesEff) : 100.0;
}

// ---- the calculation -----------------------------------------------------------------

void TBoxEmbryo::Calculate(int flag) {
    if (!driversComplete()) return;
    const bool rear = usesRearDriver();
    if (flag == 0) {
        PrepareCalculation();
        lastPassCount_ = 0;
        while (passCounter_ != 2) {
            ComputeAcousticLoad();
            ComputeDriverChain();
            // The suspension adapts to the excursion just found, then the chain runs again.
            if (passCounter_ == 0) {
                front_->ApplyCmsNonlinearity(grid());
                if (rear) rear_->ApplyCmsNonlinearity(grid());
            }
            ++passCounter_;
            ++lastPassCount_;
        }
        front_->ApplyBlNonlinearity(grid().count);
        if (rear) rear_->ApplyBlNonlinearity(grid().count);
        ComputePressure();
        ComputeResponse();
        if (!fastMode_) {
            updateRoomCabinet();
            FindMinus3dB();
            maxSplStale_ = true;
        }
    }
    // A fit's trial calculations draw nothing: the fit shows the curves it wants shown.
    if (!fastMode_) captureSheet();
    if (flag == 0 && !fastMode_) UpdateDiagrams();
}

void TBoxEmbryo::ShowIntermediateResult() {
    ui_.repaint();
}

void TBoxEmbryo::PrepareCalculation() {
    if (!fastMode_) ui_.setWaitCursor(true);
    K = pressureFactor();
    MeasureSetup& s = setup();
    if (s.setupChanged != 0 || needsRegrid_) {
        s.rebuildGrid();
        for (auto* b : {box_.get(), box2_.get()}) {
            if (b) b->boxChanged = 1;
        }
        for (auto* p : {port1_.get(), port2_.get()}) {
            if (p) p->portChanged = 1;
        }
        front_->unitChanged = 1;
        rear_->unitChanged = 1;
    }
    for (auto* b : {box_.get(), box2_.get()}) {
        if (b) b->Compute();
    }
    for (auto* p : {port1_.get(), port2_.get()}) {
        if (p) p->Compute();
    }
    if (front_->unitChanged != 0) front_->ComputeDriverData(grid(), s.Ug, &ui_);
    front_->ComputeZam(grid());
    bool cmsPasses = front_->cmsNonlinearActive();
    if (usesRearDriver()) {
        if (rear_->unitChanged != 0) rear_->ComputeDriverData(grid(), s.Ug, &ui_);
        rear_->ComputeZam(grid());
        cmsPasses = cmsPasses || rear_->cmsNonlinearActive();
    }
    passCounter_ = cmsPasses ? 0 : 1;
    for (int i = 0; i < windowCount_; ++i)
        windows_[static_cast<std::size_t>(i)]->setPointCount(grid().count);
    ComputeBackLoad();
}

void TBoxEmbryo::ComputeAcousticLoad() {
    const TSpeakerObject& d = *front_;
    const double n = d.driverCount;
    const int count = grid().count;
    // n cones share the volume behind them, so each sees n times its impedance.
    if (coneRadiates()) {
        for (int i = 0; i < count; ++i) {
            const auto k = static_cast<std::size_t>(i);
            ZA[k] = n * Zback[k] + d.Zam[k] + d.Zrad[k];
        }
    } else {
        for (int i = 0; i < count; ++i) {
            const auto k = static_cast<std::size_t>(i);
            ZA[k] = n * Zback[k] + d.Zam[k];
        }
    }
}

void TBoxEmbryo::ComputeDriverChain() {
    ComputeImpedance(*front_, ZA, Zmot, impedancePhase.data(), displayPass());
    ComputeExcursion(*front_, ZA);
}

void TBoxEmbryo::ComputeImpedance(TSpeakerObject& d, std::array<Complex, kMaxPoints>& za,
                                  std::array<Complex, kMaxPoints>& zmot, double* phase, bool display) {
    const bool isobaric = d.isobaric != 0;
    const double mZ = d.impedanceMultiplier();
    const double motional = d.Bl2 / d.Sd2;
    const int count = grid().count;
    for (int i = 0; i < count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        // The second unit of an isobaric pair loads the first; the pair's motional
        // impedance sees half the load.
        if (isobaric) za[k] += d.Zam[k];
        const Complex z = isobaric ? za[k] * 0.5 : za[k];
        // Bl² / (Sd²·z)
        const double scale = motional / squaredMagnitude(z);
        zmot[k] = Complex(z.real() * scale, -z.imag() * scale);
        d.Zin[k] = d.ReHot[k] + zmot[k];
    }
    // The shown impedance of a first pass is overwritten by the second.
    if (!display) return;
    // A loop of its own: the phase's divisions of one point overlap those of the next.
    for (int i = 0; i < count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const Complex shown = (d.Zin[k] + d.ZLe[k]) * mZ;
        d.impedance[k] = magnitude(shown);
        if (phase) phase[k] = phaseDegrees(shown);
    }
}

TBoxEmbryo::Drive TBoxEmbryo::driveOf(const TSpeakerObject& d) {
    const MeasureSetup& s = setup();
    const double mS = d.sourceMultiplier();
    return {s.Rg * mS, s.Lg * mS, s.Ug * d.voltageMultiplier()};
}

void TBoxEmbryo::ComputeExcursion(TSpeakerObject& d, const std::array<Complex, kMaxPoints>& za) {
    const FrequencyGrid& g = grid();
    const auto [Rs, Ls, u] = driveOf(d);
    double forceFactor = d.Bl;
    if (d.isobaric != 0) forceFactor *= 2.0;
    if (d.dualCoil != 0) forceFactor *= 2.0;
    // Bl·I/Sd with I = Ug'/(Zin + Rs + jwLs), and U = that / ZA: one quotient per point.
    const double drive = forceFactor * u / d.Sd;
    const double excursionScale = drive * kExcursionFactor / d.Sd;
    for (int i = 0; i < g.count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const double w = g.w[k];
        // Le shapes the impedance curve only; it is not part of the drive current.
        const Complex loop = d.Zin[k] + Complex(Rs, w * Ls);
        const Complex m = multiply(loop, za[k]);
        const double inverse = 1.0 / squaredMagnitude(m);
        d.U[k] = Complex(m.real() * drive * inverse, -m.imag() * drive * inverse);
        d.excursion[k] = excursionScale * std::sqrt(inverse) * g.wInverse[k];
    }
}

void TBoxEmbryo::ComputeResponse() {
    TSpeakerObject& d = *front_;
    const FrequencyGrid& g = grid();
    const int n = g.count;
    d.SpliceImportedData(g, P.data());
    fillLevels(P.data(), SPL.data(), n);
    if (fastMode_) return;
    for (int i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        splPhase[k] = P[k] == Complex(0.0, 0.0) ? 0.0 : phaseDegrees(P[k]);
    }

    if (n < 3) {
        for (int i = 0; i < n; ++i)
            groupDelay[static_cast<std::size_t>(i)] = 0.0;
        return;
    }
    for (int i = 1; i <= n - 2; ++i) {
        const auto k = static_cast<std::size_t>(i);
        double dp = splPhase[k + 1] - splPhase[k - 1];
        // A jump across the +-180 degree seam is a small change the other way round.
        if (dp > 180.0) dp -= 360.0;
        if (dp < -180.0) dp += 360.0;
        groupDelay[k] = dp * kDelayFactor / (g.f[k + 1] - g.f[k - 1]);
    }
    groupDelay[0] = groupDelay[1];
    groupDelay[static_cast<std::size_t>(n - 1)] = groupDelay[static_cast<std::size_t>(n - 2)];
    if (d.importInUse()) {
        // The splice leaves a step in the phase; its spike is cut down to the sum of the
        // neighbours three points away, judged on the unfiltered curve.
        delayWork_ = groupDelay;
        for (int i = 3; i <= n - 4; ++i) {
            const auto k = static_cast<std::size_t>(i);
            const double limit = delayWork_[k - 3] + delayWork_[k + 3];
            if (delayWork_[k] > limit) groupDelay[k] = limit;
        }
    }
}

void TBoxEmbryo::FindMinus3dB() {
    const FrequencyGrid& g = grid();
    const int n = g.count;
    f3_ = 0.0;
    if (n < 1) return;
    // The reference is the level at the stop frequency, not a passband average.
    const double reference = SPL[static_cast<std::size_t>(n - 1)] - 3.0;
    int i = 0;
    while (i < n && !(SPL[static_cast<std::size_t>(i)] > reference))
        ++i;
    if (i == n || i == 0) return;
    const auto k = static_cast<std::size_t>(i);
    const double t = (SPL[k] - reference) / (SPL[k] - SPL[k - 1]);
    f3_ = (1.0 - t) * g.f[k] + t * g.f[k - 1];
}

void TBoxEmbryo::recomputeTransientResponse() {
    const FrequencyGrid& g = grid();
    transient_->setSource(P.data(), g.f.data(), g.count, front_->importInUse());
    transient_->Calculate(true);
}

void TBoxEmbryo::describeRoomSources(RoomSources& out) const {
    const TSpeakerObject& d = *front_;
    out[SourceGroup::Drivers] = RoomSourceGroup{d.driverCount, d.a, nullptr, 1.0};
}

void TBoxEmbryo::updateRoomCabinet() {
    RoomSources sources;
    describeRoomSources(sources);
    roomCabinet_->Calculate(P.data(), sources, &ui_);
}

void TBoxEmbryo::fillCoilPower(const TSpeakerObject& d, std::array<double, kMaxPoints>& power) const {
    const FrequencyGrid& g = grid();
    const auto [Rs, Ls, u] = driveOf(d);
    // The drive current as the excursion takes it, heating the coil's resistance.
    for (int i = 0; i < g.count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const Complex loop = d.Zin[k] + Complex(Rs, g.w[k] * Ls);
        power[k] = u * u / squaredMagnitude(loop) * d.ReHot[k];
    }
}

TMaxSpl& TBoxEmbryo::maxSpl() {
    if (maxSplStale_) {
        maxSplStale_ = false;
        updateMaxSpl();
    }
    return *maxSpl_;
}

void TBoxEmbryo::updateMaxSpl() {
    TMaxSpl::Inputs in;
    in.spl = SPL.data();
    in.voltage = setup().Ug;
    in.count = grid().count;
    const auto driver = [this](const TSpeakerObject& d, std::array<double, kMaxPoints>& power) {
        fillCoilPower(d, power);
        return TMaxSpl::DriverInput{d.excursion.data(), power.data(), d.Xmax, d.Pmax};
    };
    in.drivers[0] = driver(*front_, frontCoilPower_);
    if (usesRearDriver()) in.drivers[1] = driver(*rear_, rearCoilPower_);
    for (int which = 1; which <= 2; ++which) {
        const TPortObject* port = which == 1 ? port1_.get() : port2_.get();
        const double* v = portAirSpeed(which);
        if (port && v) in.ports[static_cast<std::size_t>(which - 1)] = {v, port->airSpeedLimit()};
    }
    maxSpl_->Calculate(in);
}

void TBoxEmbryo::appendRoomCabinetLines(std::vector<std::string>& lines) const {
    const std::vector<std::string> block = roomCabinet_->dataSheetLines();
    lines.insert(lines.end(), block.begin(), block.end());
}

void TBoxEmbryo::UpdateDiagrams() {
    MeasureSetup& s = setup();
    splWindow_.setPhaseShown(s.hidePhase == 0);
    splWindow_.setFixedYRange(s.autorange != 0 ? 0.0 : static_cast<double>(s.rangeDb));
    for (DiagramModel* w : {&groupDelayWindow_, &excursionWindow_, &impedanceWindow_}) {
        w->setFixedXRange(0.0);
        w->setFixedYRange(0.0);
    }
    excursionWindow_.clearCursor();
    impedanceWindow_.clearCursor();
    recomputeTransientResponse();
    ui_.repaint();

    enableProjectCommands();

    ui_.setWaitCursor(false);
    for (auto* b : {box_.get(), box2_.get()}) {
        if (b) b->boxChanged = 0;
    }
    for (auto* p : {port1_.get(), port2_.get()}) {
        if (p) p->portChanged = 0;
    }
    front_->unitChanged = 0;
    rear_->unitChanged = 0;
    needsRegrid_ = false;
    s.setupChanged = 0;
}

// ---- data sheet -----------------------------------------------------------------------

void TBoxEmbryo::copyBoxValues(const TBoxObject& from, TBoxObject& to) {
    to.Vb = from.Vb;
    to.Qb = from.Qb;
    to.Ql = from.Ql;
    to.fill = from.fill;
    to.showQl = from.showQl;
}

void TBoxEmbryo::copyPortValues(const TPortObject& from, TPortObject& to) {
    to.L = from.L;
    to.S = from.S;
    to.Seff = from.Seff;
    to.D = from.D;
    to.Vbox = from.Vbox;
    to.fp = from.fp;
    to.flare = from.flare;
    to.ports = from.ports;
}

void TBoxEmbryo::captureSheet() {
    sheet_.written = true;
    front_->captureSheetValues(sheet_.driver);
    const MeasureSetup& s = setup();
    sheet_.startFrequency = s.startFrequency;
    sheet_.stopFrequency = s.stopFrequency;
    sheet_.pointCount = s.pointCount;
    sheet_.Ug = s.Ug;
    sheet_.Rg = s.Rg;
    sheet_.Lg = s.Lg;
    sheet_.Pg = s.Pg;
    sheet_.f3 = f3_;
    if (box_) copyBoxValues(*box_, *sheetBox_);
    if (box2_) copyBoxValues(*box2_, *sheetBox2_);
    if (port1_) copyPortValues(*port1_, *sheetPort1_);
    if (port2_) copyPortValues(*port2_, *sheetPort2_);
    captureTypeSheet();
}

void TBoxEmbryo::appendDriverLines(std::vector<std::string>& lines) const {
    const std::vector<std::string> block = TSpeakerObject::dataSheetLines(sheet_.driver);
    lines.insert(lines.end(), block.begin(), block.end());
}

void TBoxEmbryo::appendAdditionalDetails(std::vector<std::string>& lines) const {
    if (sheet_.f3 != 0.0) lines.push_back(strprintf("%s-3dB point: \t%3.2f Hz", f3Indent(), sheet_.f3));
}

std::vector<std::string> TBoxEmbryo::dataSheetLines() const {
    std::vector<std::string> lines;
    if (!sheet_.written) return lines;
    const auto append = [&lines](const std::vector<std::string>& block) {
        lines.insert(lines.end(), block.begin(), block.end());
    };
    lines.emplace_back(heading());
    lines.push_back(ShowFileName());
    if (box_) append(sheetBox_->dataSheetLines());
    if (box2_) append(sheetBox2_->dataSheetLines());
    if (port1_) append(sheetPort1_->dataSheetLines());
    if (port2_) append(sheetPort2_->dataSheetLines());
    appendTypeLines(lines);
    appendDriverLines(lines);
    MeasureSetup s;
    s.startFrequency = sheet_.startFrequency;
    s.stopFrequency = sheet_.stopFrequency;
    s.pointCount = sheet_.pointCount;
    s.Ug = sheet_.Ug;
    s.Rg = sheet_.Rg;
    s.Lg = sheet_.Lg;
    s.Pg = sheet_.Pg;
    append(s.dataSheetLines());
    appendRoomCabinetLines(lines);
    lines.emplace_back("Additional details:");
    appendAdditionalDetails(lines);
    lines.emplace_back("");
    return lines;
}

std::string TBoxEmbryo::dataSheetText(std::string_view lineEnd) const {
    std::string out;
    const std::vector<std::string> lines = dataSheetLines();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i) out += lineEnd;
        out += lines[i];
    }
    return out;
}

// ---- project file ---------------------------------------------------------------------

namespace {

bool writeFitSettings(BinaryWriter& w, const FitSettings& f) {
    w.i16(f.lowerCutoff, "lowerCutoff");
    w.i16(f.upperCutoff, "upperCutoff");
    for (const std::uint8_t flag : f.flags)
        w.u8(flag, "flags");
    return w.ok();
}

void readFitSettings(BinaryReader& r, FitSettings& f) {
    FitSettings t = f;
    r.i16(t.lowerCutoff);
    r.i16(t.upperCutoff);
    for (std::uint8_t& flag : t.flags)
        r.u8(flag);
    if (r.ok()) f = t;
}

} // namespace

bool TBoxEmbryo::writeTypeRecords(BinaryWriter& w) const {
    return w.ok();
}

bool TBoxEmbryo::readTypeRecords(BinaryReader& r, int /*fileVersion*/) {
    return r.ok();
}

bool TBoxEmbryo::writeCommonRecords(BinaryWriter& w) {
    w.i32(typeCode(), "type");
    w.i16(static_cast<std::int16_t>(kProjectFileVersion), "version");
    w.zeros(16);
    writeGroup(w, "setup", [&] { return setup().writeRecord(w); });
    w.textBlock(frontUnitPath_, kPathBlock, "unitFile");
    w.textBlock(snapshot_->path(), kPathBlock, "snapshotFile");
    writeGroup(w, "unit", [&] { return front_->writeRecord(w); });
    if (box_) {
        FieldGroup g(w, "box");
        box_->writeRecord(w);
    } else {
        w.zeros(TBoxObject::kRecordSize);
    }
    writeGroup(w, "transient", [&] { return transient_->writeRecord(w); });
    writeGroup(w, "room", [&] { return roomCabinet_->writeRecord(w); });
    writeGroup(w, "dataSheetPlacement", [&] { return dataSheetPlacement.write(w); });
    w.textBlock(userNote_, kUserNoteSize, "userNote");
    writeGroup(w, "fit", [&] { return writeFitSettings(w, fitSettings_); });
    const std::pair<const DiagramModel*, const char*> windows[] = {{&splWindow_, "splWindow"},
                                                                  {&groupDelayWindow_, "groupDelayWindow"},
                                                                  {&excursionWindow_, "excursionWindow"},
                                                                  {&impedanceWindow_, "impedanceWindow"},
                                                                  {furtherWindow(), "standingWaveWindow"}};
    for (const auto& [window, name] : windows) {
        if (!window) continue;
        FieldGroup g(w, name);
        window->writeRecord(w);
    }
    w.u8(dataSheetMinimised ? 1 : 0, "dataSheetMinimised");
    FieldGroup g(w, "snapshotWindow");
    return snapshot_->window().writeRecord(w);
}

bool TBoxEmbryo::writeProjectBytes(BinaryWriter& w, bool calculate) {
    writeCommonRecords(w);
    if (calculate) Calculate(0);
    writeTypeRecords(w);
    return w.u16(static_cast<std::uint16_t>(kEndMarker), "endMarker");
}

bool TBoxEmbryo::WriteProject(const std::string& path) {
    BinaryWriter w;
    if (!writeProjectBytes(w) || !writeFileAtomic(path, w.buffer())) return false;
    // Only now is the project safely on disk: a failed write keeps it marked changed.
    projectFileName_ = path;
    projectSelector_.rememberedPath = path;
    changed_ = false;
    return true;
}

bool TBoxEmbryo::Save() {
    if (projectFileName_.empty()) return SaveAs();
    const bool ok = WriteProject(projectFileName_);
    if (ok) {
        changed_ = false;
        PostCreation(true);
    } else {
        ui_.error(kSaveCaption, kSaveFailedText);
    }
    ui_.repaint();
    return ok;
}

bool TBoxEmbryo::SaveAs() {
    const std::optional<std::string> path = ui_.selectFile(projectSelector_, FileMode::Save);
    if (!path) return false;
    const bool ok = WriteProject(*path);
    if (ok) {
        changed_ = false;
        PostCreation(true);
    } else {
        ui_.error(kSaveAsCaption, kSaveFailedText);
    }
    ui_.repaint();
    return ok;
}

bool TBoxEmbryo::loadStoredUnit(TSpeakerObject& driver, const std::string& storedName,
                                FileSelector& selector) {
    // An undo state brings the unit's record itself.
    if (restoringUndo_) return driver.unitOk != 0;
    const std::string resolved = resolveStoredName(storedName);
    selector.rememberedPath = resolved;
    if (!driver.Load(resolved)) {
        ui_.error(kUnitLoadCaption,
                  std::string(kStoredUnitMissingPrefix) + storedName + kStoredUnitMissingSuffix);
        return false;
    }
    if (driver.unitOk == 0) {
        ui_.error(kUnitLoadCaption, kTooFewParametersText);
        return false;
    }
    return true;
}

bool TBoxEmbryo::readCommonRecords(BinaryReader& r, int& fileVersion) {
    std::int32_t code = 0;
    std::int16_t version = 0;
    if (!r.i32(code) || !r.i16(version)) return false;
    // The opener chose this object by the code; a file of another type would be misread.
    if (code != typeCode()) return false;
    if (version < kOldestFileVersion) return false;
    if (version != kProjectFileVersion && !restoringUndo_) ui_.error(kOldFileCaption, kOldFileText);
    fileVersion = version;
    setup().fileVersion = version;

    r.skip(16);
    (void)setup().readRecord(r);
    std::string unitPath;
    std::string snapshotPath;
    if (!r.textBlock(unitPath, kPathBlock)) return false;
    frontUnitPath_ = unitPath;
    unitSelector_.rememberedPath = resolveStoredName(unitPath);
    if (!r.textBlock(snapshotPath, kPathBlock)) return false;

    // Short reads of these leave the fields as they were; the reader stays failed, so the
    // snapshot window record below (or the end marker) refuses the file.
    (void)front_->readRecord(r, restoringUndo_ ? nullptr : &ui_);
    if (box_) {
        (void)box_->readRecord(r);
    } else {
        r.skip(TBoxObject::kRecordSize);
    }
    (void)transient_->readRecord(r);
    (void)roomCabinet_->readRecord(r, fileVersion);
    WindowPlacement sheetPlacement;
    std::string note;
    if (sheetPlacement.read(r) && r.textBlock(note, kUserNoteSize)) {
        dataSheetPlacement = sheetPlacement;
        userNote_ = note.substr(0, kUserNoteSize - 1);
    }
    readFitSettings(r, fitSettings_);
    (void)splWindow_.readRecord(r);
    (void)groupDelayWindow_.readRecord(r);
    (void)excursionWindow_.readRecord(r);
    (void)impedanceWindow_.readRecord(r);
    if (DiagramModel* further = furtherWindow()) (void)further->readRecord(r);
    std::uint8_t minimised = 0;
    if (r.u8(minimised)) dataSheetMinimised = minimised == 1;
    if (!snapshot_->window().readRecord(r)) return false;

    for (int i = 0; i < windowCount_; ++i)
        windows_[static_cast<std::size_t>(i)]->setPointCount(setup().pointCount);
    // Puts the path into the snapshot selector, or clears both when the file is gone.
    if (!restoringUndo_ || snapshotPath != snapshot_->path()) (void)snapshot_->LoadFromProject(snapshotPath);

    (void)loadStoredUnit(*front_, frontUnitPath_, unitSelector_);
    needsRegrid_ = true;
    UpdateCalculateCommand();
    enableProjectCommands();
    return true;
}

bool TBoxEmbryo::readFrom(BinaryReader& r) {
    int fileVersion = kProjectFileVersion;
    if (!readCommonRecords(r, fileVersion)) return false;
    if (!readTypeRecords(r, fileVersion)) return false;
    std::uint16_t marker = 0;
    if (!r.u16(marker) || marker != kEndMarker) return false;

    // An undone edit is calculated as the edit was: at once only when the setup says so.
    if (driversComplete() && (!restoringUndo_ || setup().calculateImmediately != 0)) {
        if (!hasStdWaveModesExport()) ui_.remove(cmd::ExportSplWaveModes);
        Calculate(0);
    }
    if (!restoringUndo_) postChangeNotification(kChangeSaved);
    return true;
}

bool TBoxEmbryo::ReadProject(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    // A project is a few kilobytes; whatever follows the end marker is never looked at.
    if (!readFilePrefix(path, TBoxEmbryo::kMaxProjectFileSize, bytes)) {
        projectFileName_ = path;
        projectSelector_.rememberedPath = path;
        Reset();
        return false;
    }
    return ReadProjectBytes(bytes, path);
}

bool TBoxEmbryo::ReadProjectBytes(std::span<const std::uint8_t> bytes, const std::string& path) {
    // A refused file must not leave the program-wide settings half read either.
    const MeasureSetup setupBefore = setup();
    const bool portNonLinearBefore = TPortObject::nonLinear();
    projectFileName_ = path;
    projectSelector_.rememberedPath = path;

    BinaryReader r(bytes);
    const bool ok = readFrom(r);
    setup().fileVersion = kProjectFileVersion;
    if (!ok) {
        setup() = setupBefore;
        TPortObject::setNonLinear(portNonLinearBefore);
        Reset();
        return false;
    }
    changed_ = false;
    return true;
}

// ---- export ---------------------------------------------------------------------------

bool TBoxEmbryo::Export(int kind) {
    exportKind_ = kind;
    const FrequencyGrid& g = grid();
    const int n = g.count;
    FileSelector* selector = &splSelector_;
    CurveExport data;
    switch (kind) {
    case static_cast<int>(BoxExportKind::Spl):
        data = makeCurveExport(ExportCurve::Spl, n, g.f.data(), SPL.data(), splPhase.data());
        break;
    case static_cast<int>(BoxExportKind::InputImpedance):
        data = makeCurveExport(ExportCurve::InputImpedance, n, g.f.data(), front_->impedance.data(),
                               impedancePhase.data());
        selector = &impedanceSelector_;
        break;
    case static_cast<int>(BoxExportKind::GroupDelay):
        data = makeCurveExport(ExportCurve::GroupDelay, n, g.f.data(), groupDelay.data(), nullptr);
        break;
    case static_cast<int>(BoxExportKind::SplRoom):
        return exportRoomCabinet();
    case static_cast<int>(BoxExportKind::SplStdWaveModes):
        return exportStdWaveModes() && rememberExportFormat(splSelector());
    case static_cast<int>(BoxExportKind::Transient):
        return exportTransient();
    case static_cast<int>(BoxExportKind::MaxSpl):
        // The level and the generator voltage that reaches it.
        (void)maxSpl();
        data.title = TMaxSpl::kTitle;
        data.header = "   Hz\t\tdB\t\tV";
        data.headerFm = "   Hz\t\tdB";
        data.pointCount = maxSpl_->pointCount();
        data.x = g.f.data();
        data.y1 = maxSpl_->maxSpl.data();
        data.y2 = maxSpl_->voltage.data();
        break;
    default:
        return false;
    }
    return exportCurve(ui_, *selector, data, true) && rememberExportFormat(*selector);
}

bool TBoxEmbryo::exportRoomCabinet() {
    const FrequencyGrid& g = grid();
    const TRoomCabinet& room = *roomCabinet_;
    const CurveExport data = makeCurveExport(ExportCurve::SplRoom, g.count, g.f.data(), room.roomSpl.data(),
                                             room.roomPhase.data());
    return exportCurve(ui_, splSelector_, data, true) && rememberExportFormat(splSelector_);
}

bool TBoxEmbryo::exportTransient() {
    const TStepResponse& t = *transient_;
    const DiagramModel& w = t.window();
    if (w.pointCount() <= 0) return false;
    CurveExport data = makeCurveExport(ExportCurve::Transient, w.pointCount(), t.timeAxis.data(),
                                       t.responseCurve.data(), nullptr);
    // The file is named after what the window shows: impulse, step or the burst.
    data.title = w.title();
    return exportCurve(ui_, splSelector_, data, true) && rememberExportFormat(splSelector_);
}

bool TBoxEmbryo::rememberExportFormat(const FileSelector& selector) {
    if (const auto format = curveFormatFromPath(selector.rememberedPath)) exportFormat_ = static_cast<int>(*format);
    return true;
}

} // namespace harlox
