#include "box/room_cabinet.h"

#include "core/binary_io.h"

#include <algorithm>
#include <cmath>

namespace harlox {

namespace {

// Drivers high on the baffle, passive radiators below them, ports near the bottom; all on
// the baffle's centre line. The radii are refreshed from the elements at every calculation.
constexpr double kDriverHeight = 0.7;
constexpr double kRadiatorHeight = 0.4;
constexpr double kPortHeight = 0.15;

void writeSurfaceSwitches(BinaryWriter& w, const RoomSurfaces<std::uint8_t>& s) {
    w.u8(s.speakerBackWall);
    w.u8(s.leftWall);
    w.u8(s.rightWall);
    w.u8(s.floor);
    w.u8(s.ceiling);
    w.u8(s.listenerBackWall);
}

void readSurfaceSwitches(BinaryReader& r, RoomSurfaces<std::uint8_t>& s) {
    r.u8(s.speakerBackWall);
    r.u8(s.leftWall);
    r.u8(s.rightWall);
    r.u8(s.floor);
    r.u8(s.ceiling);
    r.u8(s.listenerBackWall);
}

// The factors are stored with the ceiling before the floor.
void writeSurfaceFactors(BinaryWriter& w, const RoomSurfaces<double>& s) {
    w.f64(s.speakerBackWall);
    w.f64(s.leftWall);
    w.f64(s.rightWall);
    w.f64(s.ceiling);
    w.f64(s.floor);
    w.f64(s.listenerBackWall);
}

void readSurfaceFactors(BinaryReader& r, RoomSurfaces<double>& s) {
    r.f64(s.speakerBackWall);
    r.f64(s.leftWall);
    r.f64(s.rightWall);
    r.f64(s.ceiling);
    r.f64(s.floor);
    r.f64(s.listenerBackWall);
}

void finiteOr(double& v, double fallback) {
    if (!std::isfinite(v)) v = fallback;
}

void flag(std::uint8_t& f) {
    f = f != 0 ? 1 : 0;
}

// The model runs on whatever the file holds without producing NaN from it: lengths and
// factors that are not numbers take their defaults, factors are kept within 0 .. 1.
void sanitize(RoomCabinetSettings& s) {
    const RoomCabinetSettings d;
    for (std::size_t g = 0; g < s.sources.size(); ++g) {
        for (std::size_t i = 0; i < s.sources[g].size(); ++i) {
            SourcePosition& p = s.sources[g][i];
            const SourcePosition& q = d.sources[g][i];
            finiteOr(p.dX, q.dX);
            finiteOr(p.dY, q.dY);
            finiteOr(p.dZ, q.dZ);
            if (!(p.radius >= 0.0 && std::isfinite(p.radius))) p.radius = q.radius;
        }
    }
    finiteOr(s.speakerX, d.speakerX);
    finiteOr(s.speakerY, d.speakerY);
    finiteOr(s.speakerZ, d.speakerZ);
    finiteOr(s.baffleHeight, d.baffleHeight);
    finiteOr(s.baffleWidth, d.baffleWidth);
    finiteOr(s.listenerX, d.listenerX);
    finiteOr(s.listenerY, d.listenerY);
    finiteOr(s.listenerZ, d.listenerZ);
    finiteOr(s.roofHeight, d.roofHeight);
    finiteOr(s.roomDepth, d.roomDepth);
    finiteOr(s.roomWidth, d.roomWidth);
    flag(s.reflections.speakerBackWall);
    flag(s.reflections.leftWall);
    flag(s.reflections.rightWall);
    flag(s.reflections.floor);
    flag(s.reflections.ceiling);
    flag(s.reflections.listenerBackWall);
    flag(s.cabinetEdges);
    if (s.displayMode != TRoomCabinet::kShowImpact) s.displayMode = TRoomCabinet::kShowResponse;
    flag(s.normalizedTo1m);
    flag(s.thirdOctaveSmoothing);
    flag(s.calculateImmediately);
    for (double* r :
         {&s.reflectionFactors.speakerBackWall, &s.reflectionFactors.leftWall, &s.reflectionFactors.rightWall,
          &s.reflectionFactors.ceiling, &s.reflectionFactors.floor, &s.reflectionFactors.listenerBackWall}) {
        *r = std::isnan(*r) ? 0.9 : std::clamp(*r, 0.0, 1.0);
    }
    finiteOr(s.summationFactor, d.summationFactor);
    if (s.measuredFile.size() >= kPathBlock) s.measuredFile.resize(kPathBlock - 1);
    flag(s.measuredInUse);
    flag(s.measuredDisabled);
    flag(s.autoLevelOffset);
    s.transitionFrequency = static_cast<std::int16_t>(std::clamp<int>(
        s.transitionFrequency, TRoomCabinet::kMinTransitionFrequency, TRoomCabinet::kMaxTransitionFrequency));
    finiteOr(s.levelOffsetDb, 0.0);
    if (!(std::isfinite(s.levelFactor) && s.levelFactor > 0.0))
        s.levelFactor = std::pow(10.0, s.levelOffsetDb / 20.0);
}

} // namespace

RoomCabinetSettings::RoomCabinetSettings() {
    const double heights[kGroupCount] = {kDriverHeight, kRadiatorHeight, kPortHeight, kPortHeight};
    for (std::size_t g = 0; g < sources.size(); ++g) {
        for (SourcePosition& p : sources[g])
            p = SourcePosition{baffleWidth * 0.5, heights[g], 0.0, 0.0};
    }
}

TRoomCabinet::TRoomCabinet() {
    window_.setLogX(true);
    window_.setX(grid().f.data());
    setDisplayMode(displayMode);
}

void TRoomCabinet::Reset() {
    static_cast<RoomCabinetSettings&>(*this) = RoomCabinetSettings{};
    roomSpl.fill(0.0);
    roomPhase.fill(0.0);
    freeFieldSpl.fill(0.0);
    window_.clear();
    setDisplayMode(displayMode);
}

const char* TRoomCabinet::captionFor(std::int32_t mode) {
    return mode == kShowImpact ? kImpactTitle : kResponseTitle;
}

void TRoomCabinet::setDisplayMode(std::int32_t mode) {
    displayMode = mode == kShowImpact ? kShowImpact : kShowResponse;
    window_.setTitle(captionFor(displayMode));
    connectCurves();
}

void TRoomCabinet::connectCurves() {
    window_.clearCurves();
    window_.addCurve(roomSpl.data(), Pen{PenColor::Black, PenStyle::Solid}, "");
    if (displayMode == kShowResponse)
        window_.addCurve(freeFieldSpl.data(), Pen{PenColor::Blue, PenStyle::Dash}, "");
    window_.setPhase(roomPhase.data());
}

SourcePosition& TRoomCabinet::source(SourceGroup g, int index) {
    return sources[static_cast<std::size_t>(g)]
                  [static_cast<std::size_t>(std::clamp(index, 0, kSourcesPerGroup - 1))];
}

const SourcePosition& TRoomCabinet::source(SourceGroup g, int index) const {
    return sources[static_cast<std::size_t>(g)]
                  [static_cast<std::size_t>(std::clamp(index, 0, kSourcesPerGroup - 1))];
}

double TRoomCabinet::reflectionFactorOf(double absorption) {
    return std::sqrt(1.0 - std::clamp(absorption, 0.0, 1.0));
}

void TRoomCabinet::setMeasuredFile(std::string_view storedName) {
    measuredFile = std::string(storedName.substr(0, std::min(storedName.size(), kPathBlock - 1)));
}

bool TRoomCabinet::writeRecord(BinaryWriter& w) const {
    window_.writeRecord(w);
    for (const auto& group : sources) {
        for (const SourcePosition& p : group) {
            w.f64(p.dX);
            w.f64(p.dY);
            w.f64(p.dZ);
            w.f64(p.radius);
        }
    }
    for (double v : {speakerX, speakerY, speakerZ, baffleHeight, baffleWidth, listenerX, listenerY, listenerZ,
                     roofHeight, roomDepth, roomWidth})
        w.f64(v);
    writeSurfaceSwitches(w, reflections);
    w.u8(cabinetEdges);
    w.i32(displayMode);
    w.u8(normalizedTo1m);
    w.u8(thirdOctaveSmoothing);
    w.u8(calculateImmediately);
    writeSurfaceFactors(w, reflectionFactors);
    w.f64(summationFactor);

    w.u8(measuredInUse);
    w.textBlock(measuredFile, kPathBlock);
    w.u8(measuredDisabled);
    w.i16(transitionFrequency);
    w.u8(autoLevelOffset);
    w.f64(levelOffsetDb);
    return w.f64(levelFactor);
}

bool TRoomCabinet::readRecord(BinaryReader& r, int fileVersion) {
    DiagramModel stored;
    RoomCabinetSettings s = *this;
    stored.readRecord(r);
    for (auto& group : s.sources) {
        for (SourcePosition& p : group) {
            r.f64(p.dX);
            r.f64(p.dY);
            r.f64(p.dZ);
            r.f64(p.radius);
        }
    }
    for (double* v : {&s.speakerX, &s.speakerY, &s.speakerZ, &s.baffleHeight, &s.baffleWidth, &s.listenerX,
                      &s.listenerY, &s.listenerZ, &s.roofHeight, &s.roomDepth, &s.roomWidth})
        r.f64(*v);
    readSurfaceSwitches(r, s.reflections);
    r.u8(s.cabinetEdges);
    r.i32(s.displayMode);
    r.u8(s.normalizedTo1m);
    r.u8(s.thirdOctaveSmoothing);
    r.u8(s.calculateImmediately);
    readSurfaceFactors(r, s.reflectionFactors);
    r.f64(s.summationFactor);
    if (fileVersion >= kMeasuredBlockVersion) {
        r.u8(s.measuredInUse);
        r.textBlock(s.measuredFile, kPathBlock);
        r.u8(s.measuredDisabled);
        r.i16(s.transitionFrequency);
        r.u8(s.autoLevelOffset);
        r.f64(s.levelOffsetDb);
        r.f64(s.levelFactor);
    } else {
        // Older files knew no measured data: the block starts from its defaults.
        const RoomCabinetSettings d;
        s.measuredInUse = d.measuredInUse;
        s.measuredFile = d.measuredFile;
        s.measuredDisabled = d.measuredDisabled;
        s.transitionFrequency = d.transitionFrequency;
        s.autoLevelOffset = d.autoLevelOffset;
        s.levelOffsetDb = d.levelOffsetDb;
        s.levelFactor = d.levelFactor;
    }
    if (!r.ok()) return false;

    sanitize(s);
    window_.placement = stored.placement;
    window_.setNote(stored.note());
    static_cast<RoomCabinetSettings&>(*this) = s;
    setDisplayMode(displayMode);
    return true;
}

} // namespace harlox
