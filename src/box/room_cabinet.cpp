#include "box/room_cabinet.h"

#include "box/complex_math.h"
#include "core/binary_io.h"
#include "core/measured_file.h"
#include "core/program_dir.h"
#include "core/format.h"
#include "core/ui_host.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace harlox {

namespace {

// Drivers high on the baffle, passive radiators below them, ports near the bottom; all on
// the baffle's centre line. The radii are refreshed from the elements at every calculation.
constexpr double kDriverHeight = 0.7;
constexpr double kRadiatorHeight = 0.4;
constexpr double kPortHeight = 0.15;

void writeSurfaceSwitches(BinaryWriter& w, const RoomSurfaces<std::uint8_t>& s) {
    w.u8(s.speakerBackWall, "speakerBackWall");
    w.u8(s.leftWall, "leftWall");
    w.u8(s.rightWall, "rightWall");
    w.u8(s.floor, "floor");
    w.u8(s.ceiling, "ceiling");
    w.u8(s.listenerBackWall, "listenerBackWall");
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
    w.f64(s.speakerBackWall, "speakerBackWall");
    w.f64(s.leftWall, "leftWall");
    w.f64(s.rightWall, "rightWall");
    w.f64(s.ceiling, "ceiling");
    w.f64(s.floor, "floor");
    w.f64(s.listenerBackWall, "listenerBackWall");
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
    roomResult.fill(Complex(0.0, 0.0));
    measuredLoaded_ = false;
    measuredReadCount_ = -1;
    sheet_ = SheetValues{};
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
    // Chosen again, the same name is read again: the file may have changed.
    measuredReadCount_ = -1;
}

bool TRoomCabinet::writeRecord(BinaryWriter& w) const {
    writeGroup(w, "window", [&] { return window_.writeRecord(w); });
    // In the order of SourceGroup: the second ports are stored before the first.
    static constexpr const char* kGroupNames[kGroupCount] = {"driver", "radiator", "port2", "port"};
    for (std::size_t k = 0; k < sources.size(); ++k) {
        for (std::size_t i = 0; i < sources[k].size(); ++i) {
            const SourcePosition& p = sources[k][i];
            FieldGroup g(w, kGroupNames[k], static_cast<int>(i));
            w.f64(p.dX, "dX");
            w.f64(p.dY, "dY");
            w.f64(p.dZ, "dZ");
            w.f64(p.radius, "radius");
        }
    }
    w.f64(speakerX, "speakerX");
    w.f64(speakerY, "speakerY");
    w.f64(speakerZ, "speakerZ");
    w.f64(baffleHeight, "baffleHeight");
    w.f64(baffleWidth, "baffleWidth");
    w.f64(listenerX, "listenerX");
    w.f64(listenerY, "listenerY");
    w.f64(listenerZ, "listenerZ");
    w.f64(roofHeight, "roofHeight");
    w.f64(roomDepth, "roomDepth");
    w.f64(roomWidth, "roomWidth");
    writeGroup(w, "reflections", [&] { return writeSurfaceSwitches(w, reflections); });
    w.u8(cabinetEdges, "cabinetEdges");
    w.i32(displayMode, "displayMode");
    w.u8(normalizedTo1m, "normalizedTo1m");
    w.u8(thirdOctaveSmoothing, "thirdOctaveSmoothing");
    w.u8(calculateImmediately, "calculateImmediately");
    writeGroup(w, "reflectionFactors", [&] { return writeSurfaceFactors(w, reflectionFactors); });
    w.f64(summationFactor, "summationFactor");

    w.u8(measuredInUse, "measuredInUse");
    w.textBlock(measuredFile, kPathBlock, "measuredFile");
    w.u8(measuredDisabled, "measuredDisabled");
    w.i16(transitionFrequency, "transitionFrequency");
    w.u8(autoLevelOffset, "autoLevelOffset");
    w.f64(levelOffsetDb, "levelOffsetDb");
    return w.f64(levelFactor, "levelFactor");
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
    measuredReadCount_ = -1;
    return true;
}

// ---- the room response ------------------------------------------------------------------

namespace {

constexpr double kDegrees = 57.29577951307855;
// Extra paths of 1024 samples (35.2973 m) or more fall outside the buffer.
constexpr double kMaxEdgeDistance = (TRoomCabinet::kBufferSize - 1) / TRoomCabinet::kSamplesPerMetre;

double length3(double x, double y, double z) {
    return std::sqrt(x * x + y * y + z * z);
}

// Into (-pi, pi].
double wrapped(double a) {
    constexpr double kTwoPiExact = 2.0 * kPiExact;
    while (a > kPiExact)
        a -= kTwoPiExact;
    while (a <= -kPiExact)
        a += kTwoPiExact;
    return a;
}

} // namespace

std::array<double, 3> TRoomCabinet::sourcePoint(SourceGroup g, int index) const {
    const SourcePosition& p = source(g, index);
    return {speakerX + p.dX, speakerY + p.dY, speakerZ + p.dZ};
}

double TRoomCabinet::listenerDistance(const RoomSources& sources) const {
    SourceGroup first = SourceGroup::Drivers;
    for (int g = 0; g < kGroupCount; ++g) {
        if (sources.groups[static_cast<std::size_t>(g)].count > 0) {
            first = static_cast<SourceGroup>(g);
            break;
        }
    }
    const std::array<double, 3> s = sourcePoint(first, 0);
    const double d = length3(listenerX - s[0], listenerY - s[1], listenerZ - s[2]);
    return d >= kMinDistance ? d : kMinDistance;
}

double TRoomCabinet::pistonFactor(double ka) {
    if (!(ka >= 0.1)) return 1.0;
    if (ka >= 10.0) return 0.0001;
    const double k2 = ka * ka, k3 = k2 * ka, k4 = k3 * ka, k5 = k4 * ka, k6 = k5 * ka, k7 = k6 * ka;
    return std::abs(2.0 *
                    (-3.243294897905338e-06 * k7 + 1.297416684277242e-4 * k6 - 1.94825958778522e-3 * k5 +
                     1.294351468631708e-2 * k4 - 3.088107103632868e-2 * k3 - 1.114776570548265e-2 * k2 -
                     4.323232845879938e-2 * ka - 9.372764250588446e-4 / ka + 0.5145569695737198));
}

void TRoomCabinet::addImpulse(double extra, double d0, double c) {
    if (extra == 0.0) return;
    const double at = extra * kSamplesPerMetre;
    // Shorter than one sample it merges with the direct sound; beyond the buffer it is gone.
    if (!(at >= 1.0 && at < kBufferSize)) return;
    buffer_[static_cast<int>(at)] += c * summationFactor / (d0 + extra);
}

void TRoomCabinet::addImages(const std::array<double, 3>& s, double d0) {
    const double W = roomWidth, H = roofHeight, D = roomDepth;
    const double Sx = s[0], Sy = s[1], Sz = s[2];
    const double Lx = listenerX, Ly = listenerY, Lz = listenerZ;
    const bool b = reflections.speakerBackWall != 0, l = reflections.leftWall != 0,
               r = reflections.rightWall != 0, f = reflections.floor != 0, c = reflections.ceiling != 0,
               k = reflections.listenerBackWall != 0;
    const double rb = reflectionFactors.speakerBackWall, rl = reflectionFactors.leftWall,
                 rr = reflectionFactors.rightWall, rc = reflectionFactors.ceiling,
                 rf = reflectionFactors.floor, rk = reflectionFactors.listenerBackWall;
    const auto add = [&](double x, double y, double z, double factor, int times) {
        const double extra = length3(x, y, z) - d0;
        for (int i = 0; i < times; ++i)
            addImpulse(extra, d0, factor);
    };
    // The coordinate differences between image and listener.
    const double xDirect = Sx - Lx, xLeft = Sx + Lx, xRight = 2 * W - Sx - Lx;
    const double yDirect = Sy - Ly, yFloor = Sy + Ly, yCeiling = 2 * H - Sy - Ly;
    const double zDirect = Sz - Lz, zBack = Sz + Lz, zListenerBack = 2 * D - Sz - Lz;

    // A source on the speaker back wall has no image in it.
    if (b && Sz != 0.0) add(xDirect, yDirect, zBack, rb, 1);
    if (l) add(xLeft, yDirect, zDirect, rl, 1);
    if (r) add(xRight, yDirect, zDirect, rr, 1);
    if (f) add(xDirect, yFloor, zDirect, rf, 1);
    if (c) add(xDirect, yCeiling, zDirect, rc, 1);
    if (k) add(xDirect, yDirect, zListenerBack, rk, 1);
    if (l && b) add(xLeft, yDirect, zBack, rl * rb, 1);
    if (r && b) add(xRight, yDirect, zBack, rr * rb, 1);
    // The second-order images between opposite or adjacent walls stand for both orders.
    if (l && r) add(Sx - Lx + 2 * W, yDirect, zDirect, rl * rr, 2);
    if (l && c) add(xLeft, yCeiling, zDirect, rc * rl, 2);
    if (r && c) add(xRight, yCeiling, zDirect, rr * rc, 2);
    if (c && f) add(xDirect, 2 * H + Ly - Sy, zDirect, rf * rc, 2);
    if (f && b) add(xDirect, yFloor, zBack, rf * rb, 1);
    if (c && b) add(xDirect, 2 * H - Ly - Sy, zBack, rb * rc, 1);
    if (k && c) add(xDirect, 2 * H - Ly - Sy, zListenerBack, rk * rc, 1);
    if (f && k) add(xDirect, yFloor, zListenerBack, rf * rk, 1);
    if (l && k) add(xLeft, yDirect, zListenerBack, rl * rk, 1);
    if (r && k) add(xRight, yDirect, zListenerBack, rr * rk, 1);
    if (l && r) {
        add(Sx - Lx + 3 * W, yDirect, zDirect, rl * rl * rr, 1);
        add(Sx - Lx + 3 * W, yDirect, zDirect, rr * rr * rl, 1);
    }
    if (c && f) {
        add(xDirect, 3 * H + Ly - Sy, zDirect, rf * rf * rc, 1);
        add(xDirect, 3 * H + Ly - Sy, zDirect, rc * rc * rf, 1);
    }
    if (b && c && k) add(xDirect, 2 * H - Ly - Sy, Sz + D - Lz, rb * rk * rc, 1);
    if (b && l && k) add(xLeft, yDirect, Sz + D - Lz, rb * rl * rk, 1);
    if (b && r && k) add(xRight, yDirect, Sz + D - Lz, rb * rr * rk, 1);
}

void TRoomCabinet::addEdges(double dX, double dY, double d0) {
    constexpr double kStep = 0.001;
    constexpr double kHalfStep = 0.0005;
    const auto point = [&](double r1) {
        r1 = std::max(r1, kMinEdgeDistance);
        const double r2 = std::sqrt(r1 * r1 + d0 * d0);
        const double delay = (r1 + r2 - d0) * kSamplesPerMetre;
        if (!(delay < kBufferSize - 1)) return;
        const int i = static_cast<int>(delay);
        const double later = delay - i;
        const double a = kEdgeSourceStrength / (r1 * r2);
        buffer_[i] += a * (1.0 - later);
        buffer_[i + 1] += a * later;
    };
    // One edge: points at s + 0.5 mm for s = 0, 1 mm, ... below length - 1 mm, at `along`
    // from the element's foot on the edge line and `across` from that line. Points farther
    // than the buffer reaches are not walked, so any baffle size takes bounded time.
    const auto edge = [&](double length, double foot, double across) {
        across = std::abs(across);
        if (!(across < kMaxEdgeDistance)) return;
        const double reach = std::sqrt(kMaxEdgeDistance * kMaxEdgeDistance - across * across);
        const double first = std::max(0.0, std::floor((foot - reach) / kStep));
        // Counted, not stepped along the edge: past 2^53 mm (a hostile file's baffle) ++j
        // no longer moves and the walk would never end.
        const int points = static_cast<int>(std::ceil(2.0 * reach / kStep)) + 3;
        for (int n = 0; n < points; ++n) {
            const double j = first + n;
            if (!(j * kStep < length - kStep)) break;
            const double along = j * kStep + kHalfStep - foot;
            if (along > reach) break;
            point(std::sqrt(along * along + across * across));
        }
    };
    const double w = baffleWidth, h = baffleHeight;
    edge(h, dY, dX);     // left
    edge(h, dY, w - dX); // right
    edge(w, dX, h - dY); // top
    // A cabinet standing on the floor has no bottom edge.
    if (speakerY != 0.0) edge(w, dX, dY);
}

void TRoomCabinet::buildImpulseResponse(SourceGroup g, int count, double d) {
    count = std::clamp(count, 0, kSourcesPerGroup);
    double* b = buffer_.data();
    std::fill(b, b + kBufferSize, 0.0);
    const auto directDistance = [&](const std::array<double, 3>& s) {
        return std::max(length3(listenerX - s[0], listenerY - s[1], listenerZ - s[2]), kMinDistance);
    };
    if (g == SourceGroup::Drivers && cabinetEdges != 0 && count > 0) {
        for (int i = 0; i < count; ++i) {
            const SourcePosition& p = source(g, i);
            addEdges(p.dX, p.dY, directDistance(sourcePoint(g, i)));
        }
        // Whatever the baffle, the edges' sum takes back a fixed share of the direct sound.
        double sum = 0.0;
        for (int i = 0; i < kBufferSize; ++i)
            sum += b[i];
        if (sum != 0.0) {
            const double scale = -kEdgeLowFrequencyShare * count / d * summationFactor / sum;
            for (int i = 0; i < kBufferSize; ++i)
                b[i] *= scale;
        }
    }
    for (int i = 0; i < count; ++i) {
        const std::array<double, 3> s = sourcePoint(g, i);
        addImages(s, directDistance(s));
    }
    // The last half fades out linearly, so the cut at the buffer's end does not ring.
    for (int i = kBins; i < kBufferSize; ++i)
        b[i] *= (kBufferSize - i) / static_cast<double>(kBins);
}

void TRoomCabinet::prepareInterpolation() {
    const FrequencyGrid& g = grid();
    const int n = std::clamp(g.count, 0, kMaxPoints);
    if (gridCount_ == n && std::equal(g.f.begin(), g.f.begin() + n, gridF_.begin())) return;
    gridCount_ = n;
    std::copy(g.f.begin(), g.f.begin() + n, gridF_.begin());
    for (int p = 0; p < n; ++p) {
        const auto k = static_cast<std::size_t>(p);
        const double f = g.f[k];
        const double at = f * (1.0 / kBinWidth);
        int i = at >= 0.0 && at < kBins ? static_cast<int>(at) : kBins;
        double t = 0.0;
        if (i + 1 >= kBins - 1) {
            i = kBins - 3;
            t = 1.0;
        } else if (i >= 1) {
            t = std::log(f / (kBinWidth * i)) / std::log((i + 1.0) / i);
        } else {
            i = 0;
        }
        binIndex_[k] = i;
        binWeight_[k] = t;
    }
}

bool TRoomCabinet::groupBinsCurrent(int group, const RoomSourceGroup& g, double d) const {
    const GroupBins& b = groupBins_[static_cast<std::size_t>(group)];
    return b.valid && b.count == g.count && b.radius == g.radius && b.d == d;
}

void TRoomCabinet::addGroup(int group, const RoomSourceGroup& g, const Complex* total, const RoomSources& sources,
                            double d) {
    GroupBins& gb = groupBins_[static_cast<std::size_t>(group)];
    if (!groupBinsCurrent(group, g, d)) {
        buildImpulseResponse(static_cast<SourceGroup>(group), g.count, d);
        fft_.realSpectrum(buffer_, spectrum_);
        const double direct = std::min(g.count, kSourcesPerGroup) / d;
        const double kaPerHz = kTwoPi * g.radius * kInvSpeedOfSound;
        for (int k = 0; k < kBins; ++k)
            gb.bins[static_cast<std::size_t>(k)] = spectrum_[k] * pistonFactor(kaPerHz * kBinWidth * k) + direct;
        gb.valid = true;
        gb.count = g.count;
        gb.radius = g.radius;
        gb.d = d;
    }
    addBins(gb.bins, g, total, sources);
}

void TRoomCabinet::addBins(const std::array<Complex, kBins>& bins, const RoomSourceGroup& group,
                           const Complex* total, const RoomSources& sources) {
    const int count = std::min(group.count, kSourcesPerGroup);
    const FrequencyGrid& g = grid();
    const double perElement = 1.0 / count;
    for (int p = 0; p < g.count; ++p) {
        const auto k = static_cast<std::size_t>(p);
        Complex t;
        if (group.pressure) {
            t = group.pressure[k] * group.sign;
        } else {
            // What the other groups leave of the total (measured data spliced into it included).
            t = total[k];
            for (const RoomSourceGroup& other : sources.groups) {
                if (&other != &group && other.pressure && other.count > 0)
                    t -= other.pressure[k] * other.sign;
            }
        }
        const auto i = static_cast<std::size_t>(binIndex_[k]);
        const double w = binWeight_[k];
        const Complex factor = bins[i] * (1.0 - w) + bins[i + 1] * w;
        roomResult[k] += factor * t * perElement;
    }
}

bool TRoomCabinet::measuredStale() const {
    const FrequencyGrid& g = grid();
    if (measuredReadCount_ != g.count || measuredReadName_ != measuredFile) return true;
    return g.count > 0 &&
           (measuredReadStart_ != g.f[0] || measuredReadStop_ != g.f[static_cast<std::size_t>(g.count - 1)]);
}

bool TRoomCabinet::ReadMeasuredData(UiHost* ui) {
    const FrequencyGrid& g = grid();
    measuredLoaded_ = false;
    measuredReadName_ = measuredFile;
    measuredReadCount_ = g.count;
    measuredReadStart_ = g.count > 0 ? g.f[0] : 0.0;
    measuredReadStop_ = g.count > 0 ? g.f[static_cast<std::size_t>(g.count - 1)] : 0.0;
    if (measuredFile.empty() || g.count <= 0) return false;
    const MeasuredReadResult r = readMeasuredCurve(resolveStoredName(measuredFile), MeasuredKind::Spl,
                                                   g.f.data(), g.count, measured_.data());
    if (r == MeasuredReadResult::CannotOpen && ui)
        ui->error(kMeasuredCaption, measuredOpenFailureText(measuredFile));
    measuredLoaded_ = r == MeasuredReadResult::Loaded;
    return measuredLoaded_;
}

void TRoomCabinet::spliceMeasured() {
    const FrequencyGrid& g = grid();
    const double transition = transitionFrequency;
    if (autoLevelOffset == 0) levelFactor = std::pow(10.0, levelOffsetDb / 20.0);
    bool above = false;
    bool levelled = false;
    for (int p = g.count - 1; p >= 0; --p) {
        const auto k = static_cast<std::size_t>(p);
        const double m = std::abs(measured_[k]);
        if (!(m > 0.0)) continue;
        if (g.f[k] > transition) {
            above = true;
            continue;
        }
        if (!levelled && autoLevelOffset != 0) {
            // The measured curve joins the computed one at the highest point it replaces.
            const double computed = std::abs(roomResult[k]);
            levelFactor = above && computed > 0.0 && std::isfinite(computed / m) ? computed / m : 1.0;
            levelOffsetDb = 20.0 * std::log10(levelFactor);
        }
        levelled = true;
        roomResult[k] = measured_[k] * levelFactor;
    }
}

void TRoomCabinet::smooth() {
    const MeasureSetup& s = setup();
    const int n = grid().count;
    if (n < 2 || s.startFrequency <= 0) return;
    const int q = s.stopFrequency / s.startFrequency;
    // Below an octave the integer quotient says nothing: the exact span is used.
    const double octaves = q >= 2 ? std::log(static_cast<double>(q)) / std::log(2.0)
                                  : std::log2(static_cast<double>(s.stopFrequency) / s.startFrequency);
    if (!(octaves > 0.0)) return;
    const double width = (n * 0.333 / octaves) * 0.5 + 0.5;
    const int half = width < n ? static_cast<int>(width) : n;
    if (half < 1) return;

    // Phases unwrapped along the curve, so that averaging across the seam at 180 degrees
    // does not cancel them; points without a value take no part.
    double previous = 0.0, running = 0.0;
    bool started = false;
    for (int i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const Complex v = roomResult[k];
        if (v == Complex(0.0, 0.0)) {
            logMagnitude_[k] = -HUGE_VAL;
            continue;
        }
        const double a = std::arg(v);
        running = started ? running + wrapped(a - previous) : a;
        previous = a;
        started = true;
        logMagnitude_[k] = std::log(std::abs(v));
        unwrappedPhase_[k] = running;
    }
    for (int i = 0; i < n; ++i) {
        double sumLog = 0.0, sumPhase = 0.0;
        int used = 0;
        for (int j = std::max(0, i - half); j <= std::min(n - 1, i + half); ++j) {
            const auto k = static_cast<std::size_t>(j);
            if (logMagnitude_[k] == -HUGE_VAL) continue;
            sumLog += logMagnitude_[k];
            sumPhase += unwrappedPhase_[k];
            ++used;
        }
        roomResult[static_cast<std::size_t>(i)] =
            used ? std::polar(std::exp(sumLog / used), sumPhase / used) : Complex(0.0, 0.0);
    }
}

void TRoomCabinet::Calculate(const Complex* total, const RoomSources& sources, UiHost* ui) {
    const FrequencyGrid& g = grid();
    const int n = std::clamp(g.count, 0, kMaxPoints);
    window_.setPointCount(n);
    window_.setPhaseShown(setup().hidePhase == 0);
    if (measuredInUse != 0 && measuredStale()) ReadMeasuredData(ui);

    for (int gi = 0; gi < kGroupCount; ++gi) {
        const RoomSourceGroup& group = sources.groups[static_cast<std::size_t>(gi)];
        const int count = std::clamp(group.count, 0, kSourcesPerGroup);
        for (int i = 0; i < count; ++i)
            source(static_cast<SourceGroup>(gi), i).radius = group.radius;
    }
    const double d = listenerDistance(sources);
    if (!(binsSettings_ == static_cast<const RoomCabinetSettings&>(*this))) {
        binsSettings_ = *this;
        for (GroupBins& b : groupBins_)
            b.valid = false;
    }
    prepareInterpolation();
    std::fill(roomResult.begin(), roomResult.begin() + n, Complex(0.0, 0.0));
    for (int gi = 0; gi < kGroupCount; ++gi) {
        const RoomSourceGroup& group = sources.groups[static_cast<std::size_t>(gi)];
        if (group.count > 0) addGroup(gi, group, total, sources, d);
    }

    const bool spliced = measuredActive() && measuredLoaded_;
    if (spliced) spliceMeasured();
    // The impact is taken before smoothing, so that smoothing averages the room's deviation
    // and not the box's own response.
    if (displayMode == kShowImpact) {
        for (int i = 0; i < n; ++i) {
            const auto k = static_cast<std::size_t>(i);
            roomResult[k] = total[k] == Complex(0.0, 0.0) ? Complex(0.0, 0.0) : roomResult[k] / total[k];
        }
    }
    if (thirdOctaveSmoothing != 0) smooth();

    const double scale = normalizedTo1m != 0 ? d : 1.0;
    const double shiftDb = normalizedTo1m != 0 ? 0.0 : -20.0 * std::log10(d);
    for (int i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        roomResult[k] *= scale;
        const Complex v = roomResult[k];
        const bool none = v == Complex(0.0, 0.0);
        roomSpl[k] = none ? 0.0 : levelDb(v);
        roomPhase[k] = none ? 0.0 : phaseDegrees(v);
        freeFieldSpl[k] = squaredMagnitude(total[k]) > 0.0 ? levelDb(total[k]) + shiftDb : 0.0;
    }

    sheet_.measured = spliced;
    sheet_.file.fill('\0');
    std::memcpy(sheet_.file.data(), measuredFile.data(), std::min(measuredFile.size(), kPathBlock - 1));
    sheet_.transitionFrequency = transitionFrequency;
    sheet_.levelOffsetDb = levelOffsetDb;
}

std::vector<std::string> TRoomCabinet::dataSheetLines() const {
    std::vector<std::string> lines;
    if (!sheet_.measured) return lines;
    lines.emplace_back("Room & Cabinet");
    lines.push_back(std::string(" Measured SPL data : ") + sheet_.file.data());
    lines.push_back(strprintf("   Transition freq. \t%d Hz", sheet_.transitionFrequency));
    lines.push_back(strprintf("   Level offset \t%2.2f dB", sheet_.levelOffsetDb));
    return lines;
}

} // namespace harlox
