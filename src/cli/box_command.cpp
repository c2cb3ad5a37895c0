#include "cli/box_command.h"

#include "app/box_factory.h"
#include "app/project_types.h"
#include "box/abr_box.h"
#include "box/abr_object.h"
#include "box/alignment.h"
#include "box/bandpass_box.h"
#include "box/bass_reflex_box.h"
#include "box/bass_reflex_vel_box.h"
#include "box/box_object.h"
#include "box/closed_box.h"
#include "box/double_tuned_box.h"
#include "box/frequency_fit.h"
#include "box/max_spl.h"
#include "box/port_object.h"
#include "box/room_cabinet.h"
#include "cli/cli_host.h"
#include "cli/cli_values.h"
#include "cli/filter_command.h"
#include "cli/plot.h"
#include "cli/project_text.h"
#include "core/binary_io.h"
#include "core/diagram_model.h"
#include "core/format.h"
#include "core/measure_setup.h"
#include "output/curve_writer.h"
#include "transient/step_response.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <ostream>
#include <utility>

namespace harlox::cli {

namespace {

// ---- the setting table -------------------------------------------------------------------

struct Context {
    TBoxEmbryo& box;
    TSpeakerObject& driver; // driver.* edit the front configuration, rear.* the rear one
    UiHost& ui;
};

using Apply = std::string (*)(Context&, std::string_view);

struct Setting {
    std::string_view name;
    Apply apply;
};

constexpr double kHuge = std::numeric_limits<double>::max();

MeasureSetup& setupOf(Context&) {
    return sharedSetup();
}

std::string setupChanged(Context& c) {
    setupOf(c).setupChanged = 1;
    return {};
}

// A unit parameter: 0 means "not given", as in the unit editor.
template <double TSpkData::*Field> std::string setUnitValue(Context& c, std::string_view v) {
    double x = 0.0;
    if (auto e = readNumber(v, 0.0, kHuge, x); !e.empty()) return e;
    c.box.front().*Field = x;
    c.box.front().UnitEdited();
    return {};
}

template <std::int16_t TSpkData::*Field> std::string setUnitFlag(Context& c, std::string_view v) {
    bool on = false;
    if (auto e = readFlag(v, on); !e.empty()) return e;
    c.box.front().*Field = on ? 1 : 0;
    c.box.front().UnitEdited();
    return {};
}

template <void (TSpkData::*Set)(std::string_view), std::size_t Size>
std::string setUnitText(Context& c, std::string_view v) {
    if (v.size() >= Size) return strprintf("the text holds at most %zu characters", Size - 1);
    (c.box.front().*Set)(v);
    c.box.front().UnitEdited();
    return {};
}

template <std::uint8_t SpeakerConfiguration::*Field>
std::string setDriverFlag(Context& c, std::string_view v) {
    bool on = false;
    if (auto e = readFlag(v, on); !e.empty()) return e;
    c.driver.*Field = on ? 1 : 0;
    c.driver.unitChanged = 1;
    return {};
}

std::string refusedUnless(bool accepted, std::string_view why) {
    return accepted ? std::string() : std::string(why);
}

// "the closed box", "the bandpass box type 1": how messages name the project's type.
std::string typeLabel(const TBoxEmbryo& box) {
    if (box.typeCode() == TBassReflexBox::kTypeCode) return "the bass reflex box";
    return "the " + lowerCase(box.typeName());
}

// The main box (1) or the second box (2); null when the type has none.
template <int Which> TBoxObject* boxAt(Context& c) {
    return Which == 1 ? c.box.boxElement() : c.box.box2Element();
}

// Port 1 or port 2; null when the type has none.
template <int Which> TPortObject* portAt(Context& c) {
    return Which == 1 ? c.box.portElement() : c.box.port2Element();
}

template <int Which> std::string needBox(Context& c) {
    if (boxAt<Which>(c)) return {};
    return typeLabel(c.box) + (Which == 1 ? " has no box" : " has no second box");
}

template <int Which> std::string needPort(Context& c) {
    if (portAt<Which>(c)) return {};
    return typeLabel(c.box) + (Which == 1 ? " has no port" : " has no second port");
}

std::string needAbr(Context& c) {
    return dynamic_cast<TAbrBox*>(&c.box) ? std::string() : typeLabel(c.box) + " has no passive radiator";
}

TAbrObject& abrOf(Context& c) {
    return static_cast<TAbrBox&>(c.box).abr();
}

template <int Which> std::string setBoxVb(Context& c, std::string_view v) {
    if (auto e = needBox<Which>(c); !e.empty()) return e;
    double x = 0;
    if (auto e = readNumber(v, 0.0001, 10, x); !e.empty()) return e;
    c.box.setBoxVolume(*boxAt<Which>(c), x);
    return {};
}

template <int Which, double TBoxObject::*Field> std::string setBoxLoss(Context& c, std::string_view v) {
    if (auto e = needBox<Which>(c); !e.empty()) return e;
    double x = 0;
    if (auto e = readNumber(v, 3, 15, x); !e.empty()) return e;
    TBoxObject& b = *boxAt<Which>(c);
    b.*Field = x;
    b.boxChanged = 1;
    return {};
}

template <int Which> std::string setBoxFill(Context& c, std::string_view v) {
    if (auto e = needBox<Which>(c); !e.empty()) return e;
    long x = 0;
    if (auto e = readInteger(v, 0, 100, x); !e.empty()) return e;
    TBoxObject& b = *boxAt<Which>(c);
    b.fill = static_cast<std::int32_t>(x);
    b.boxChanged = 1;
    // The radiator's in-box resonance counts the fill.
    if (auto* abr = dynamic_cast<TAbrBox*>(&c.box)) abr->abr().computeFb();
    return {};
}

template <int Which> std::string setPortLength(Context& c, std::string_view v) {
    if (auto e = needPort<Which>(c); !e.empty()) return e;
    double x = 0;
    if (auto e = readNumber(v, 0, 10, x); !e.empty()) return e;
    portAt<Which>(c)->setLength(x);
    return {};
}

template <int Which> std::string setPortDiameter(Context& c, std::string_view v) {
    if (auto e = needPort<Which>(c); !e.empty()) return e;
    double x = 0;
    if (auto e = readNumber(v, 0.01, 1, x); !e.empty()) return e;
    return refusedUnless(portAt<Which>(c)->setDiameter(x), kAreaChangeRefusedMsg);
}

template <int Which> std::string setPortArea(Context& c, std::string_view v) {
    if (auto e = needPort<Which>(c); !e.empty()) return e;
    double x = 0;
    if (auto e = readNumber(v, 0.7853981633975e-4, 0.78539816339750005, x); !e.empty()) return e;
    return refusedUnless(portAt<Which>(c)->setArea(x), kAreaChangeRefusedMsg);
}

template <int Which> std::string setPortCount(Context& c, std::string_view v) {
    if (auto e = needPort<Which>(c); !e.empty()) return e;
    long n = 0;
    if (auto e = readInteger(v, 1, TPortObject::kMaxPorts, n); !e.empty()) return e;
    portAt<Which>(c)->setPorts(static_cast<int>(n));
    return {};
}

template <int Which> std::string setPortFlare(Context& c, std::string_view v) {
    if (auto e = needPort<Which>(c); !e.empty()) return e;
    double x = 0;
    if (auto e = readNumber(v, 0, 200, x); !e.empty()) return e;
    return refusedUnless(portAt<Which>(c)->setFlareRadius(x), kFlareRadiusRefusedMsg);
}

template <int Which> std::string setPortTuning(Context& c, std::string_view v) {
    if (auto e = needPort<Which>(c); !e.empty()) return e;
    if (dynamic_cast<TDoubleTunedBox*>(&c.box)) {
        return typeLabel(c.box) +
               " shows the resonances of both ports together (\"Res. freq.\"), so a port cannot be tuned on "
               "its own: set the port lengths and the box volumes";
    }
    double x = 0;
    if (auto e = readNumber(v, 1, 1000, x); !e.empty()) return e;
    return refusedUnless(portAt<Which>(c)->setTuning(x), kTuningChangeRefusedMsg);
}

// The window's range converted to SI units.
template <void (TAbrObject::*Set)(double), double Lo, double Hi>
std::string setAbrValue(Context& c, std::string_view v) {
    if (auto e = needAbr(c); !e.empty()) return e;
    double x = 0;
    if (auto e = readNumber(v, Lo, Hi, x); !e.empty()) return e;
    (abrOf(c).*Set)(x);
    return {};
}

std::string offeredConnectionsText(int count) {
    std::string text;
    for (const int i : TSpeakerObject::offeredConnections(count)) {
        if (!text.empty()) text += ", ";
        text += strprintf("%d \"%s\"", i, TSpeakerObject::connectionName(i));
    }
    return text;
}

// ---- the room and the transient response ----------------------------------------------

TRoomCabinet& roomOf(Context& c) {
    return c.box.roomCabinet();
}

template <double RoomCabinetSettings::*Field, double Lo, double Hi>
std::string setRoomLength(Context& c, std::string_view v) {
    double x = 0.0;
    if (auto e = readNumber(v, Lo, Hi, x); !e.empty()) return e;
    roomOf(c).*Field = x;
    return {};
}

template <std::uint8_t RoomCabinetSettings::*Field> std::string setRoomFlag(Context& c, std::string_view v) {
    bool on = false;
    if (auto e = readFlag(v, on); !e.empty()) return e;
    roomOf(c).*Field = on ? 1 : 0;
    return {};
}

template <std::uint8_t RoomSurfaces<std::uint8_t>::*Surface>
std::string setReflection(Context& c, std::string_view v) {
    bool on = false;
    if (auto e = readFlag(v, on); !e.empty()) return e;
    roomOf(c).reflections.*Surface = on ? 1 : 0;
    return {};
}

// The absorption coefficient the room window shows; the model keeps the reflection factor.
template <double RoomSurfaces<double>::*Surface> std::string setAbsorption(Context& c, std::string_view v) {
    double a = 0.0;
    if (auto e = readNumber(v, 0.0, 1.0, a); !e.empty()) return e;
    roomOf(c).reflectionFactors.*Surface = TRoomCabinet::reflectionFactorOf(a);
    return {};
}

// room.GROUP.N.dX|dY|dZ: the place on the baffle of element N (from 1) of the group driver,
// radiator, port or port2.
struct RoomSourceName {
    SourceGroup group = SourceGroup::Drivers;
    int index = 0;
    std::string_view axis;
};

std::optional<RoomSourceName> roomSourceName(std::string_view name) {
    static constexpr std::pair<std::string_view, SourceGroup> kGroups[] = {
        {"driver", SourceGroup::Drivers},
        {"radiator", SourceGroup::PassiveRadiators},
        {"port", SourceGroup::Ports1},
        {"port2", SourceGroup::Ports2},
    };
    constexpr std::string_view kPrefix = "room.";
    if (!name.starts_with(kPrefix)) return std::nullopt;
    name.remove_prefix(kPrefix.size());
    const auto dot1 = name.find('.'), dot2 = name.rfind('.');
    if (dot1 == std::string_view::npos || dot1 == dot2) return std::nullopt;
    RoomSourceName r;
    r.axis = name.substr(dot2 + 1);
    if (r.axis != "dX" && r.axis != "dY" && r.axis != "dZ") return std::nullopt;
    long n = 0;
    if (!readInteger(name.substr(dot1 + 1, dot2 - dot1 - 1), 1, RoomCabinetSettings::kSourcesPerGroup, n).empty())
        return std::nullopt;
    r.index = static_cast<int>(n) - 1;
    for (const auto& [group, id] : kGroups) {
        if (name.substr(0, dot1) != group) continue;
        r.group = id;
        return r;
    }
    return std::nullopt;
}

std::string setRoomSource(Context& c, const RoomSourceName& n, std::string_view v) {
    double x = 0.0;
    if (auto e = readNumber(v, -10.0, 10.0, x); !e.empty()) return e;
    SourcePosition& p = roomOf(c).source(n.group, n.index);
    (n.axis == "dX" ? p.dX : n.axis == "dY" ? p.dY : p.dZ) = x;
    return {};
}

TStepResponse& transientOf(Context& c) {
    return c.box.transientResponse();
}

const Setting kSettings[] = {
    // The measurement setup.
    {"setup.points",
     [](Context& c, std::string_view v) {
         long n = 0;
         if (auto e = readInteger(v, 10, kMaxPoints, n); !e.empty()) return e;
         setupOf(c).pointCount = static_cast<std::int32_t>(n);
         return setupChanged(c);
     }},
    {"setup.start",
     [](Context& c, std::string_view v) {
         long f = 0;
         if (auto e = readInteger(v, 1, setupOf(c).stopFrequency - 10, f); !e.empty()) return e;
         setupOf(c).startFrequency = static_cast<std::int32_t>(f);
         return setupChanged(c);
     }},
    {"setup.stop",
     [](Context& c, std::string_view v) {
         long f = 0;
         if (auto e = readInteger(v, setupOf(c).startFrequency + 10, 20000, f); !e.empty()) return e;
         setupOf(c).stopFrequency = static_cast<std::int32_t>(f);
         return setupChanged(c);
     }},
    {"setup.Ug",
     [](Context& c, std::string_view v) {
         double x = 0;
         if (auto e = readNumber(v, 0.001, 1000, x); !e.empty()) return e;
         setupOf(c).setUg(x);
         return setupChanged(c);
     }},
    {"setup.Pg",
     [](Context& c, std::string_view v) {
         double x = 0;
         if (auto e = readNumber(v, 1.25e-7, 125000, x); !e.empty()) return e;
         setupOf(c).setPg(x);
         return setupChanged(c);
     }},
    {"setup.Rg",
     [](Context& c, std::string_view v) {
         double x = 0;
         if (auto e = readNumber(v, -10000, 10000, x); !e.empty()) return e;
         setupOf(c).Rg = x;
         return setupChanged(c);
     }},
    {"setup.Lg",
     [](Context& c, std::string_view v) {
         double x = 0;
         if (auto e = readNumber(v, 0, 10, x); !e.empty()) return e;
         setupOf(c).Lg = x;
         return setupChanged(c);
     }},

    // The driver configuration.
    {"driver.count",
     [](Context& c, std::string_view v) {
         long n = 0;
         if (auto e = readInteger(v, TSpeakerObject::kMinDrivers, TSpeakerObject::kMaxDrivers, n); !e.empty())
             return e;
         if (&c.driver == &c.box.front() && !c.box.driverCountAllowed(static_cast<int>(n))) {
             const TBoxEmbryo::DriverCountRange r = c.box.driverCountRange();
             return strprintf("%s takes %d to %d drivers in steps of %d", typeLabel(c.box).c_str(), r.min,
                              r.max, r.step);
         }
         return refusedUnless(c.driver.setDriverCount(static_cast<int>(n)), "refused");
     }},
    {"driver.connection",
     [](Context& c, std::string_view v) {
         long i = 0;
         if (auto e = readInteger(v, 0, TSpeakerObject::kConnectionCount - 1, i); !e.empty()) return e;
         TSpeakerObject& d = c.driver;
         if (d.setDriverConnection(static_cast<int>(i))) return std::string();
         return strprintf("connection %ld (\"%s\") is not offered for %d drivers; offered: %s", i,
                          TSpeakerObject::connectionName(static_cast<int>(i)),
                          static_cast<int>(d.driverCount), offeredConnectionsText(d.driverCount).c_str());
     }},
    {"driver.isobaric",
     [](Context& c, std::string_view v) {
         bool on = false;
         if (auto e = readFlag(v, on); !e.empty()) return e;
         c.driver.setIsobaric(on);
         return std::string();
     }},
    {"driver.isobaricConnection",
     [](Context& c, std::string_view v) {
         long i = 0;
         if (auto e = readInteger(v, 0, 2, i); !e.empty()) return e;
         return refusedUnless(c.driver.setIsobaricConnection(static_cast<int>(i)), "refused");
     }},
    {"driver.coilConnection",
     [](Context& c, std::string_view v) {
         long i = 0;
         if (auto e = readInteger(v, 0, 2, i); !e.empty()) return e;
         return refusedUnless(c.driver.setCoilConnection(static_cast<int>(i)), "refused");
     }},
    {"driver.extraMass",
     [](Context& c, std::string_view v) {
         double x = 0;
         if (auto e = readNumber(v, 0, TSpeakerObject::kMaxExtraMass, x); !e.empty()) return e;
         return refusedUnless(c.driver.setExtraMass(x), "refused");
     }},
    {"driver.cmsNonlinear", setDriverFlag<&SpeakerConfiguration::cmsNonlinear>},
    {"driver.blNonlinear", setDriverFlag<&SpeakerConfiguration::blNonlinear>},
    {"driver.coilHeating", setDriverFlag<&SpeakerConfiguration::coilHeating>},
    {"driver.importFile",
     [](Context& c, std::string_view v) {
         TSpeakerObject& d = c.driver;
         if (v.empty()) {
             d.setImportFile("");
             d.importUsable = 0;
             return std::string();
         }
         // Names on the command line are relative to the working folder, not the program's.
         std::error_code ec;
         const std::string path =
             std::filesystem::absolute(std::filesystem::path(std::string(v)), ec).string();
         if (ec || path.size() >= kPathBlock) {
             return strprintf("the path must be shorter than %zu characters", kPathBlock);
         }
         d.setImportFile(path);
         if (!d.ReadImportedData(TMeasureSetupObject::grid(), &c.ui)) {
             return "no measured SPL data could be read from " + quoted(v);
         }
         return std::string();
     }},
    {"driver.importDisabled", setDriverFlag<&SpeakerConfiguration::importDisabled>},
    {"driver.transitionFrequency",
     [](Context& c, std::string_view v) {
         long f = 0;
         if (auto e = readInteger(v, TSpeakerObject::kMinTransitionFrequency,
                                  TSpeakerObject::kMaxTransitionFrequency, f);
             !e.empty())
             return e;
         return refusedUnless(c.driver.setTransitionFrequency(static_cast<int>(f)), "refused");
     }},
    {"driver.phaseLagCutoff",
     [](Context& c, std::string_view v) {
         double x = 0;
         if (auto e = readNumber(v, 0, TSpeakerObject::kMaxPhaseLagCutoff, x); !e.empty()) return e;
         return refusedUnless(c.driver.setPhaseLagCutoff(x), "refused");
     }},
    {"driver.autoLevel", setDriverFlag<&SpeakerConfiguration::autoLevel>},
    {"driver.levelOffset",
     [](Context& c, std::string_view v) {
         double x = 0;
         if (auto e = readNumber(v, -TSpeakerObject::kMaxLevelOffsetDb, TSpeakerObject::kMaxLevelOffsetDb, x);
             !e.empty())
             return e;
         return refusedUnless(c.driver.setLevelOffsetDb(x), "refused");
     }},

    // The unit record.
    {"unit.Sd", setUnitValue<&TSpkData::Sd>},
    {"unit.Vas", setUnitValue<&TSpkData::Vas>},
    {"unit.Cms", setUnitValue<&TSpkData::Cms>},
    {"unit.Cas", setUnitValue<&TSpkData::Cas>},
    {"unit.Qms", setUnitValue<&TSpkData::Qms>},
    {"unit.Qes", setUnitValue<&TSpkData::Qes>},
    {"unit.Qts", setUnitValue<&TSpkData::Qts>},
    {"unit.Pmax", setUnitValue<&TSpkData::Pmax>},
    {"unit.Xmax", setUnitValue<&TSpkData::Xmax>},
    {"unit.h", setUnitValue<&TSpkData::h>},
    {"unit.l", setUnitValue<&TSpkData::l>},
    {"unit.Mmd", setUnitValue<&TSpkData::Mmd>},
    {"unit.Mms", setUnitValue<&TSpkData::Mms>},
    {"unit.Rms", setUnitValue<&TSpkData::Rms>},
    {"unit.fs", setUnitValue<&TSpkData::fs>},
    {"unit.Bl", setUnitValue<&TSpkData::Bl>},
    {"unit.Re", setUnitValue<&TSpkData::Re>},
    {"unit.Le", setUnitValue<&TSpkData::Le>},
    {"unit.crosscalc", setUnitFlag<&TSpkData::crosscalc>},
    {"unit.dualCoil", setUnitFlag<&TSpkData::dualCoil>},
    {"unit.speakerType",
     [](Context& c, std::string_view v) {
         long t = 0;
         if (auto e = readInteger(v, 0, 5, t); !e.empty()) return e;
         c.box.front().speakerType = static_cast<std::int16_t>(t);
         return std::string();
     }},
    {"unit.manufacturer", setUnitText<&TSpkData::setManufacturer, TSpkData::kTextSize>},
    {"unit.model", setUnitText<&TSpkData::setModel, TSpkData::kTextSize>},
    {"unit.note", setUnitText<&TSpkData::setNote, TSpkData::kNoteSize>},
    {"unit.fileName", setUnitText<&TSpkData::setFileName, TSpkData::kFileNameSize>},

    // The main box and the second box of the two-chamber types.
    {"box.Vb", setBoxVb<1>},
    {"box.Qb", setBoxLoss<1, &TBoxObject::Qb>},
    {"box.Ql", setBoxLoss<1, &TBoxObject::Ql>},
    {"box.fill", setBoxFill<1>},
    {"box2.Vb", setBoxVb<2>},
    {"box2.Qb", setBoxLoss<2, &TBoxObject::Qb>},
    {"box2.Ql", setBoxLoss<2, &TBoxObject::Ql>},
    {"box2.fill", setBoxFill<2>},

    // Port 1 and port 2.
    {"port.L", setPortLength<1>},
    {"port.D", setPortDiameter<1>},
    {"port.S", setPortArea<1>},
    {"port.ports", setPortCount<1>},
    {"port.flare", setPortFlare<1>},
    {"port.nonlinear",
     [](Context& c, std::string_view v) {
         if (auto e = needPort<1>(c); !e.empty()) return e;
         bool on = false;
         if (auto e = readFlag(v, on); !e.empty()) return e;
         TPortObject::setNonLinear(on);
         c.box.portElement()->portChanged = 1;
         if (TPortObject* p2 = c.box.port2Element()) p2->portChanged = 1;
         return std::string();
     }},
    {"port.fb", setPortTuning<1>},
    {"port2.L", setPortLength<2>},
    {"port2.D", setPortDiameter<2>},
    {"port2.S", setPortArea<2>},
    {"port2.ports", setPortCount<2>},
    {"port2.flare", setPortFlare<2>},
    {"port2.fb", setPortTuning<2>},

    // The passive radiator, in SI units.
    {"abr.Vap", setAbrValue<&TAbrObject::setVap, 1e-7, 100.0>},
    {"abr.Sd", setAbrValue<&TAbrObject::setSd, 1e-10, 10.0>},
    {"abr.Mmp", setAbrValue<&TAbrObject::setMmp, 1e-6, 1.0>},
    {"abr.Fp", setAbrValue<&TAbrObject::setFp, 0.1, 100000.0>},
    {"abr.Fb", setAbrValue<&TAbrObject::setFb, 0.1, 100000.0>},
    {"abr.Xmax", setAbrValue<&TAbrObject::setXmax, 0.0, 1.0>},
    {"abr.units",
     [](Context& c, std::string_view v) {
         if (auto e = needAbr(c); !e.empty()) return e;
         long n = 0;
         if (auto e = readInteger(v, 1, TAbrObject::kMaxUnits, n); !e.empty()) return e;
         abrOf(c).setUnits(static_cast<int>(n));
         return std::string();
     }},
    {"abr.nonlinear",
     [](Context& c, std::string_view v) {
         if (auto e = needAbr(c); !e.empty()) return e;
         bool on = false;
         if (auto e = readFlag(v, on); !e.empty()) return e;
         abrOf(c).setNonLinear(on);
         return std::string();
     }},

    // The room and cabinet model: lengths in m, switches, absorption coefficients 0 .. 1.
    {"room.height", setRoomLength<&RoomCabinetSettings::roofHeight, 0.1, 100.0>},
    {"room.depth", setRoomLength<&RoomCabinetSettings::roomDepth, 0.1, 100.0>},
    {"room.width", setRoomLength<&RoomCabinetSettings::roomWidth, 0.1, 100.0>},
    {"room.speakerX", setRoomLength<&RoomCabinetSettings::speakerX, 0.0, 100.0>},
    {"room.speakerY", setRoomLength<&RoomCabinetSettings::speakerY, 0.0, 100.0>},
    {"room.speakerZ", setRoomLength<&RoomCabinetSettings::speakerZ, 0.0, 100.0>},
    {"room.listenerX", setRoomLength<&RoomCabinetSettings::listenerX, 0.0, 100.0>},
    {"room.listenerY", setRoomLength<&RoomCabinetSettings::listenerY, 0.0, 100.0>},
    {"room.listenerZ", setRoomLength<&RoomCabinetSettings::listenerZ, 0.0, 100.0>},
    {"room.baffleWidth", setRoomLength<&RoomCabinetSettings::baffleWidth, 0.01, 10.0>},
    {"room.baffleHeight", setRoomLength<&RoomCabinetSettings::baffleHeight, 0.01, 10.0>},
    {"room.reflect.speakerBackWall", setReflection<&RoomSurfaces<std::uint8_t>::speakerBackWall>},
    {"room.reflect.leftWall", setReflection<&RoomSurfaces<std::uint8_t>::leftWall>},
    {"room.reflect.rightWall", setReflection<&RoomSurfaces<std::uint8_t>::rightWall>},
    {"room.reflect.floor", setReflection<&RoomSurfaces<std::uint8_t>::floor>},
    {"room.reflect.ceiling", setReflection<&RoomSurfaces<std::uint8_t>::ceiling>},
    {"room.reflect.listenerBackWall", setReflection<&RoomSurfaces<std::uint8_t>::listenerBackWall>},
    {"room.absorb.speakerBackWall", setAbsorption<&RoomSurfaces<double>::speakerBackWall>},
    {"room.absorb.leftWall", setAbsorption<&RoomSurfaces<double>::leftWall>},
    {"room.absorb.rightWall", setAbsorption<&RoomSurfaces<double>::rightWall>},
    {"room.absorb.floor", setAbsorption<&RoomSurfaces<double>::floor>},
    {"room.absorb.ceiling", setAbsorption<&RoomSurfaces<double>::ceiling>},
    {"room.absorb.listenerBackWall", setAbsorption<&RoomSurfaces<double>::listenerBackWall>},
    {"room.edges", setRoomFlag<&RoomCabinetSettings::cabinetEdges>},
    {"room.summation",
     [](Context& c, std::string_view v) {
         double x = 0.0;
         if (auto e = readNumber(v, 0.0, 10.0, x); !e.empty()) return e;
         roomOf(c).summationFactor = x;
         return std::string();
     }},
    {"room.mode",
     [](Context& c, std::string_view v) {
         if (v != "impact" && v != "response") return quoted(v) + " is not one of impact, response";
         roomOf(c).setDisplayMode(v == "impact" ? TRoomCabinet::kShowImpact : TRoomCabinet::kShowResponse);
         return std::string();
     }},
    {"room.smoothing", setRoomFlag<&RoomCabinetSettings::thirdOctaveSmoothing>},
    {"room.normalized", setRoomFlag<&RoomCabinetSettings::normalizedTo1m>},
    {"room.measured",
     [](Context& c, std::string_view v) {
         TRoomCabinet& r = roomOf(c);
         r.setMeasuredFile(v);
         r.measuredInUse = 1;
         // The reader has told the host why it refused the file.
         return refusedUnless(r.ReadMeasuredData(&c.ui), "the file could not be read");
     }},
    {"room.measuredDisabled", setRoomFlag<&RoomCabinetSettings::measuredDisabled>},
    {"room.transition",
     [](Context& c, std::string_view v) {
         long f = 0;
         if (auto e = readInteger(v, TRoomCabinet::kMinTransitionFrequency, TRoomCabinet::kMaxTransitionFrequency, f);
             !e.empty())
             return e;
         roomOf(c).transitionFrequency = static_cast<std::int16_t>(f);
         return std::string();
     }},
    {"room.autoLevel", setRoomFlag<&RoomCabinetSettings::autoLevelOffset>},
    {"room.levelOffset",
     [](Context& c, std::string_view v) {
         double x = 0.0;
         if (auto e = readNumber(v, -100.0, 100.0, x); !e.empty()) return e;
         roomOf(c).levelOffsetDb = x;
         roomOf(c).levelFactor = std::pow(10.0, x / 20.0);
         return std::string();
     }},

    // The transient response window.
    {"transient.signal",
     [](Context& c, std::string_view v) {
         static constexpr std::pair<std::string_view, std::int16_t> kSignals[] = {
             {"impulse", TStepResponse::kImpulse}, {"step", TStepResponse::kStep}, {"burst", TStepResponse::kToneBurst}};
         for (const auto& [name, signal] : kSignals) {
             if (v != name) continue;
             transientOf(c).inputSignal = signal;
             return std::string();
         }
         return quoted(v) + " is not one of impulse, step, burst";
     }},
    {"transient.burstFrequency",
     [](Context& c, std::string_view v) {
         double x = 0.0;
         if (auto e = readNumber(v, TStepResponse::kMinBurstFrequency, TStepResponse::kMaxBurstFrequency, x);
             !e.empty())
             return e;
         transientOf(c).burstFrequency = x;
         return std::string();
     }},
    {"transient.burstPeriods",
     [](Context& c, std::string_view v) {
         long n = 0;
         if (auto e = readInteger(v, TStepResponse::kMinBurstPeriods, TStepResponse::kMaxBurstPeriods, n); !e.empty())
             return e;
         transientOf(c).burstPeriods = static_cast<std::int16_t>(n);
         return std::string();
     }},
    {"transient.resolution",
     [](Context& c, std::string_view v) {
         // In s, as every --set value; the window offers seven steps.
         double x = 0.0;
         std::string offered;
         for (std::size_t i = 0; i < TStepResponse::kResolutions.size(); ++i) {
             const double dt = TStepResponse::kResolutions[i];
             if (readNumber(v, 0.0, kHuge, x).empty() && std::fabs(x * 1000.0 - dt) < 1e-9 * dt) {
                 (void)transientOf(c).setResolutionIndex(static_cast<int>(i));
                 return std::string();
             }
             offered += (i ? ", " : "") + strprintf("%g", dt / 1000.0);
         }
         return quoted(v) + " is not one of " + offered;
     }},
    {"transient.zoom", [](Context& c, std::string_view v) {
         bool on = false;
         if (auto e = readFlag(v, on); !e.empty()) return e;
         transientOf(c).zoom = on ? 1 : 0;
         return std::string();
     }},
};

const Setting* findSetting(std::string_view name) {
    for (const Setting& s : kSettings) {
        if (s.name == name) return &s;
    }
    return nullptr;
}

// ---- exports and plots ------------------------------------------------------------------------

struct ExportContext {
    TBoxEmbryo& box;
    CliHost& host;
    int curve = -1; // the SPL window's curve of "spl:LABEL"
};

// Writes one curve that has no export of its own in the program, in the same formats.
bool exportExtra(ExportContext& c, const std::string& path, const char* title, const char* unitHeader,
                 const double* y) {
    CurveExport data;
    data.title = title;
    data.header = unitHeader;
    data.headerFm = unitHeader;
    data.pointCount = c.box.pointCount();
    data.x = TMeasureSetupObject::grid().f.data();
    data.y1 = y;
    FileSelector selector;
    c.host.queueFile(path);
    return exportCurve(c.host, selector, data, true);
}

bool exportKind(ExportContext& c, int kind, const std::string& path) {
    c.host.queueFile(path);
    return c.box.Export(kind);
}

// One curve of a window on its own, drawn as that window draws it.
const DiagramModel& windowPart(const DiagramModel& w, DiagramModel& scratch, const double* y,
                               std::string_view label) {
    scratch = DiagramModel(w.title(), w.xUnit(), w.yUnit());
    scratch.setX(w.x());
    scratch.setPointCount(w.pointCount());
    scratch.setLogX(w.logX());
    scratch.setFixedYRange(w.fixedYRange());
    scratch.addCurve(y, Pen{PenColor::Black, PenStyle::Thick}, label);
    return scratch;
}

// The air speed curve of port 1 or port 2 of the ported types; null when there is no such port.
DiagramModel* airSpeedWindowOf(TBoxEmbryo& b) {
    if (auto* r = dynamic_cast<TBassReflexBox*>(&b)) return &r->airSpeedWindow();
    if (auto* d = dynamic_cast<TDoubleTunedBox*>(&b)) return &d->airSpeedWindow();
    if (auto* p = dynamic_cast<TBandpassBox*>(&b)) return &p->airSpeedWindow();
    if (auto* v = dynamic_cast<TBassReflexVelBox*>(&b)) return &v->airSpeedWindow();
    return nullptr;
}

bool hasPort1(TBoxEmbryo& b) {
    return b.portAirSpeed(1) != nullptr;
}
bool hasPort2(TBoxEmbryo& b) {
    return b.portAirSpeed(2) != nullptr;
}
bool isBassReflex(TBoxEmbryo& b) {
    return dynamic_cast<TBassReflexBox*>(&b) != nullptr;
}
bool isBandpass(TBoxEmbryo& b) {
    return dynamic_cast<TBandpassBox*>(&b) != nullptr;
}
bool isAbr(TBoxEmbryo& b) {
    return dynamic_cast<TAbrBox*>(&b) != nullptr;
}

TBassReflexBox& bassReflexOf(ExportContext& c) {
    return static_cast<TBassReflexBox&>(c.box);
}

bool exportAirSpeed(ExportContext& c, const std::string& path, int which) {
    return exportExtra(c, path, "Airspeed in port", "   Hz\t\tm/s", c.box.portAirSpeed(which));
}

const DiagramModel& airSpeedDiagram(ExportContext& c, DiagramModel&) {
    return *airSpeedWindowOf(c.box);
}

using ExportFn = bool (*)(ExportContext&, const std::string&);
using DiagramFn = const DiagramModel& (*)(ExportContext&, DiagramModel& scratch);
using AvailableFn = bool (*)(TBoxEmbryo&);

struct ExportKindEntry {
    std::string_view name;
    AvailableFn available; // null: every type
    ExportFn write;
    DiagramFn diagram;
};

const ExportKindEntry kExportKinds[] = {
    {"spl", nullptr,
     [](ExportContext& c, const std::string& p) {
         return exportKind(c, static_cast<int>(BoxExportKind::Spl), p);
     },
     [](ExportContext& c, DiagramModel&) -> const DiagramModel& { return c.box.splWindow(); }},
    {"impedance", nullptr,
     [](ExportContext& c, const std::string& p) {
         return exportKind(c, static_cast<int>(BoxExportKind::InputImpedance), p);
     },
     [](ExportContext& c, DiagramModel&) -> const DiagramModel& { return c.box.impedanceWindow(); }},
    {"groupdelay", nullptr,
     [](ExportContext& c, const std::string& p) {
         return exportKind(c, static_cast<int>(BoxExportKind::GroupDelay), p);
     },
     [](ExportContext& c, DiagramModel&) -> const DiagramModel& { return c.box.groupDelayWindow(); }},
    {"room", nullptr,
     [](ExportContext& c, const std::string& p) {
         return exportKind(c, static_cast<int>(BoxExportKind::SplRoom), p);
     },
     [](ExportContext& c, DiagramModel&) -> const DiagramModel& { return c.box.roomCabinet().window(); }},
    {"transient", nullptr,
     [](ExportContext& c, const std::string& p) {
         return exportKind(c, static_cast<int>(BoxExportKind::Transient), p);
     },
     [](ExportContext& c, DiagramModel&) -> const DiagramModel& { return c.box.transientResponse().window(); }},
    {"maxspl", nullptr,
     [](ExportContext& c, const std::string& p) {
         c.host.queueFile(p);
         return c.box.Export(static_cast<int>(BoxExportKind::MaxSpl));
     },
     [](ExportContext& c, DiagramModel&) -> const DiagramModel& { return c.box.maxSpl().window(); }},
    {"maxsplvoltage", nullptr,
     [](ExportContext& c, const std::string& p) {
         return exportExtra(c, p, TMaxSpl::kVoltageTitle, "   Hz\t\tV", c.box.maxSpl().voltage.data());
     },
     [](ExportContext& c, DiagramModel&) -> const DiagramModel& { return c.box.maxSpl().voltageWindow(); }},
    {"excursion", nullptr,
     [](ExportContext& c, const std::string& p) {
         return exportExtra(c, p, "Cone excursion", "   Hz\t\tmm", c.box.front().excursion.data());
     },
     [](ExportContext& c, DiagramModel&) -> const DiagramModel& { return c.box.excursionWindow(); }},
    {"airspeed", hasPort1, [](ExportContext& c, const std::string& p) { return exportAirSpeed(c, p, 1); },
     airSpeedDiagram},
    {"airspeed2", hasPort2, [](ExportContext& c, const std::string& p) { return exportAirSpeed(c, p, 2); },
     airSpeedDiagram},
    {"stdwave", isBandpass,
     [](ExportContext& c, const std::string& p) {
         // The program's "SPL with std wave modes" format, with the free-air phase.
         const CurveExport data =
             makeCurveExport(ExportCurve::SplModes, c.box.pointCount(), TMeasureSetupObject::grid().f.data(),
                             c.box.splModes.data(), c.box.splPhase.data());
         FileSelector selector;
         c.host.queueFile(p);
         return exportCurve(c.host, selector, data, true);
     },
     [](ExportContext& c, DiagramModel&) -> const DiagramModel& {
         return static_cast<TBandpassBox&>(c.box).stdWaveWindow();
     }},
    {"abrexcursion", isAbr,
     [](ExportContext& c, const std::string& p) {
         return exportExtra(c, p, "ABR unit excursion", "   Hz\t\tmm",
                            static_cast<TAbrBox&>(c.box).abr().X.data());
     },
     [](ExportContext& c, DiagramModel& scratch) -> const DiagramModel& {
         return windowPart(c.box.excursionWindow(), scratch, static_cast<TAbrBox&>(c.box).abr().X.data(),
                           "ABR unit");
     }},
    {"driver", isBassReflex,
     [](ExportContext& c, const std::string& p) {
         return exportExtra(c, p, "Acoustic on Axis Free Air Response, Driver", "   Hz\t\tdB",
                            bassReflexOf(c).driverSPL.data());
     },
     [](ExportContext& c, DiagramModel& scratch) -> const DiagramModel& {
         return windowPart(c.box.splWindow(), scratch, bassReflexOf(c).driverSPL.data(), "Driver");
     }},
    {"port", isBassReflex,
     [](ExportContext& c, const std::string& p) {
         return exportExtra(c, p, "Acoustic on Axis Free Air Response, Port", "   Hz\t\tdB",
                            bassReflexOf(c).portSPL.data());
     },
     [](ExportContext& c, DiagramModel& scratch) -> const DiagramModel& {
         return windowPart(c.box.splWindow(), scratch, bassReflexOf(c).portSPL.data(), "Port");
     }},
};

// "spl:LABEL": one curve of the SPL window by its label.
constexpr std::string_view kSplCurvePrefix = "spl:";
const ExportKindEntry kSplCurve = {"spl:LABEL", nullptr,
                                   [](ExportContext& c, const std::string& p) {
                                       const DiagramModel::Curve& curve = c.box.splWindow().curve(c.curve);
                                       const std::string title =
                                           "Acoustic on Axis Free Air Response, " + curve.label;
                                       return exportExtra(c, p, title.c_str(), "   Hz\t\tdB", curve.y);
                                   },
                                   [](ExportContext& c, DiagramModel& scratch) -> const DiagramModel& {
                                       const DiagramModel::Curve& curve = c.box.splWindow().curve(c.curve);
                                       return windowPart(c.box.splWindow(), scratch, curve.y, curve.label);
                                   }};

const ExportKindEntry* findExportKind(std::string_view name) {
    for (const ExportKindEntry& k : kExportKinds) {
        if (k.name == name) return &k;
    }
    return nullptr;
}

// The SPL window's curves that hold data (the fit target only during a fit).
std::vector<int> splCurves(const TBoxEmbryo& box) {
    std::vector<int> curves;
    const DiagramModel& w = box.splWindow();
    for (int i = 0; i < w.curveCount(); ++i) {
        if (w.curve(i).y) curves.push_back(i);
    }
    return curves;
}

std::string lowerExtension(const std::string& path) {
    return lowerCase(std::filesystem::path(path).extension().string());
}

// ---- table lookup and frequency fit --------------------------------------------------------

// Applies the chosen row; false when the model refused (its message went to the host).
using TableLookup = std::function<bool(UiHost&)>;

// The first word of a table label without its accelerator: "&SBB4 / BB4" -> "SBB4".
std::string labelWord(std::string_view label) {
    std::string word;
    for (const char ch : label.substr(0, label.find(' ')))
        if (ch != '&') word += ch;
    return word;
}

// "a, b or c"
std::string choiceText(const std::vector<std::string>& words) {
    std::string text;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0) text += i + 1 == words.size() ? " or " : ", ";
        text += words[i];
    }
    return text;
}

// The index of the value among count numbers the table labels show; -1 when v is none of them.
template <typename ValueAt> int matchValue(std::string_view v, int count, ValueAt valueAt) {
    double x = 0.0;
    if (!readNumber(v, -kHuge, kHuge, x).empty()) return -1;
    for (int i = 0; i < count; ++i)
        if (std::fabs(x - valueAt(i)) < 1e-9) return i;
    return -1;
}

double labelValue(const char* label) {
    double x = 0.0;
    (void)readNumber(labelWord(label), 0.0, kHuge, x);
    return x;
}

std::vector<std::string> closedQtcWords() {
    std::vector<std::string> words;
    for (const alignment::ClosedRow& r : alignment::kClosedRows)
        words.push_back(labelWord(r.label));
    return words;
}

std::vector<std::string> familyWords() {
    std::vector<std::string> words;
    for (const alignment::FamilyInfo& f : alignment::kFamilies)
        words.push_back(lowerCase(labelWord(f.label)));
    return words;
}

std::vector<std::string> boxQWords() {
    std::vector<std::string> words;
    for (const alignment::BoxQChoice& q : alignment::kBoxQChoiceInfo)
        words.push_back(labelWord(q.label));
    return words;
}

std::vector<std::string> rippleWords() {
    std::vector<std::string> words;
    for (const char* label : alignment::kRippleLabels)
        words.push_back(labelWord(label));
    return words;
}

// What --table takes for each type that has a table, for the refusals.
std::string tableUsage(const TBoxEmbryo& box) {
    switch (box.typeCode()) {
    case TClosedBox::kTypeCode:
        return "QTC, the total Q: " + choiceText(closedQtcWords());
    case TBassReflexBox::kTypeCode:
        return "FAMILY[,Q], the alignment family " + choiceText(familyWords()) + " and the box Q " +
               choiceText(boxQWords()) + " (" +
               labelWord(alignment::kBoxQChoiceInfo[alignment::kDefaultBoxQChoice].label) + " when omitted)";
    case TBP5Box::kTypeCode:
        return strprintf("RIPPLE[,SENS], the ripple %s dB and the sensitivity %d .. %d dB (0 when omitted)",
                         choiceText(rippleWords()).c_str(), -alignment::kDefaultSensitivity,
                         alignment::kSensitivityCount - 1 - alignment::kDefaultSensitivity);
    case TAbrBox::kTypeCode:
        return "no value: its row follows the driver's Qts";
    default:
        return {};
    }
}

// A choice split at its comma: the first part and, when there is one, the second.
bool splitChoice(std::string_view choice, std::string_view& first, std::optional<std::string_view>& second) {
    const auto comma = choice.find(',');
    first = choice.substr(0, comma);
    if (comma == std::string_view::npos) return true;
    second = choice.substr(comma + 1);
    return second->find(',') == std::string_view::npos;
}

TableLookup closedLookup(TClosedBox& box, std::string_view choice) {
    const int row = matchValue(choice, alignment::kClosedRowCount,
                               [](int i) { return alignment::kClosedRows[static_cast<std::size_t>(i)].qtc; });
    if (row < 0) return {};
    return [&box, row](UiHost& ui) { return alignment::applyClosedTable(box, row, ui); };
}

TableLookup reflexLookup(TBassReflexBox& box, std::string_view choice) {
    std::string_view name;
    std::optional<std::string_view> q;
    if (!splitChoice(choice, name, q)) return {};
    const std::vector<std::string> families = familyWords();
    const auto found = std::find(families.begin(), families.end(), lowerCase(std::string(name)));
    if (found == families.end()) return {};
    const auto family = static_cast<alignment::Family>(found - families.begin());
    int qChoice = alignment::kDefaultBoxQChoice;
    if (q) {
        qChoice = matchValue(*q, alignment::kBoxQChoices,
                            [](int i) { return alignment::kBoxQChoiceInfo[static_cast<std::size_t>(i)].q; });
        if (qChoice < 0) return {};
    }
    return [&box, family, qChoice](UiHost& ui) {
        return alignment::applyBassReflexTable(box, family, qChoice, ui);
    };
}

TableLookup bp1Lookup(TBP5Box& box, std::string_view choice) {
    std::string_view rippleText;
    std::optional<std::string_view> sensitivityText;
    if (!splitChoice(choice, rippleText, sensitivityText)) return {};
    const int ripple = matchValue(rippleText, alignment::kRippleCount, [](int i) {
        return labelValue(alignment::kRippleLabels[static_cast<std::size_t>(i)]);
    });
    if (ripple < 0) return {};
    long sensitivity = 0;
    if (sensitivityText) {
        std::string_view v = *sensitivityText;
        if (v.starts_with('+')) v.remove_prefix(1); // as the labels show it: "+3dB"
        const long most = alignment::kSensitivityCount - 1 - alignment::kDefaultSensitivity;
        if (!readInteger(v, -most, most, sensitivity).empty()) return {};
    }
    const int index = static_cast<int>(sensitivity) + alignment::kDefaultSensitivity;
    return [&box, ripple, index](UiHost& ui) { return alignment::applyBp1Table(box, ripple, index, ui); };
}

// The lookup --table asks for, checked against the type before anything is calculated; empty
// with the message written to err when the type has no table or the choice names no row of it.
TableLookup planTable(TBoxEmbryo& box, std::string_view choice, std::ostream& err) {
    TableLookup lookup;
    if (auto* closed = dynamic_cast<TClosedBox*>(&box)) {
        lookup = closedLookup(*closed, choice);
    } else if (auto* reflex = dynamic_cast<TBassReflexBox*>(&box)) {
        lookup = reflexLookup(*reflex, choice);
    } else if (auto* bp1 = dynamic_cast<TBP5Box*>(&box)) {
        lookup = bp1Lookup(*bp1, choice);
    } else if (auto* abr = dynamic_cast<TAbrBox*>(&box)) {
        if (choice.empty()) lookup = [abr](UiHost& ui) { return alignment::applyAbrTable(*abr, ui); };
    } else {
        err << "harlox-cli: --table: " << typeLabel(box) << " has no table lookup\n";
        return {};
    }
    if (!lookup)
        err << "harlox-cli: --table " << quoted(choice) << ": " << typeLabel(box) << " takes "
            << tableUsage(box) << '\n';
    return lookup;
}

struct FitPlan {
    int lowerCutoff = 0;            // Hz
    std::optional<int> upperCutoff; // Hz; the project's own when unset
    long iterations = kDefaultFitIterations;
};

// The seed of the fit's trial steps: the same command gives the same box.
constexpr unsigned kFitSeed = 1;

std::optional<FitPlan> planFit(const TBoxEmbryo& box, const ProjectActions& a, std::ostream& err) {
    FitPlan plan;
    if (a.iterations) {
        if (*a.iterations < 1 || *a.iterations > kMaxFitIterations) {
            err << "harlox-cli: --iterations: "
                << strprintf("the value must lie between 1 and %ld", kMaxFitIterations) << '\n';
            return std::nullopt;
        }
        plan.iterations = *a.iterations;
    }
    const std::string_view choice = *a.fit;
    std::string_view lower;
    std::optional<std::string_view> upper;
    if (!splitChoice(choice, lower, upper)) {
        err << "harlox-cli: --fit expects FC[,FU], got " << quoted(choice) << '\n';
        return std::nullopt;
    }
    long fc = 0;
    if (auto e = readInteger(lower, TFrequencyFit::kMinLowerCutoff, TFrequencyFit::kMaxLowerCutoff, fc);
        !e.empty()) {
        err << "harlox-cli: --fit: the lower cutoff: " << e << '\n';
        return std::nullopt;
    }
    plan.lowerCutoff = static_cast<int>(fc);
    if (upper) {
        if (!TFrequencyFit::shapeOf(box.typeCode()).bandpass()) {
            err << "harlox-cli: --fit: " << typeLabel(box)
                << " has no upper cutoff (FU is for the bandpass types)\n";
            return std::nullopt;
        }
        long fu = 0;
        if (auto e = readInteger(*upper, TFrequencyFit::kMinUpperCutoff, TFrequencyFit::kMaxUpperCutoff, fu);
            !e.empty()) {
            err << "harlox-cli: --fit: the upper cutoff: " << e << '\n';
            return std::nullopt;
        }
        plan.upperCutoff = static_cast<int>(fu);
    }
    return plan;
}

// Runs the fit headless as the fit window's Run and Halt do, with the project's own options
// apart from the cutoffs; the mean error at the start and the end go to err.
bool runFit(TBoxEmbryo& box, CliHost& host, const FitPlan& plan, std::ostream& err) {
    TFrequencyFit::Options options = TFrequencyFit::optionsFrom(box.fitSettings());
    options.lowerCutoff = plan.lowerCutoff;
    if (plan.upperCutoff) options.upperCutoff = *plan.upperCutoff;
    TFrequencyFit fit(box, kFitSeed);
    if (!fit.Start(options)) {
        err << "harlox-cli: --fit: " << TBoxEmbryo::kTooFewParametersText << '\n';
        return false;
    }
    const double first = fit.meanError();
    for (long i = 0; i < plan.iterations; ++i)
        fit.Iterate();
    const double last = fit.meanError();
    fit.Halt();
    host.runPosted();
    err << strprintf("fit: %ld iterations, mean error from %.2f dB to %.2f dB\n", fit.iterations(), first,
                     last);
    return true;
}

// ---- carrying out the actions -------------------------------------------------------------------

struct Job {
    const ExportKindEntry* entry;
    std::string path;
    int curve = -1;
};

// The actions checked against the project before anything is calculated or written.
struct Plan {
    TableLookup table; // empty: no --table
    std::optional<FitPlan> fit;
    std::vector<Job> exports;
    std::vector<Job> plots;
    int width = 0;
    int height = 0;
};

// Curve files by their extension; the plots check theirs once the plotter is known to be there.
bool extensionAccepted(const char* option, std::string_view kind, const std::string& path, std::ostream& err) {
    if (std::string_view(option) != "--export") return true;
    if (const std::string why = curveExtensionProblem(path); !why.empty()) {
        err << "harlox-cli: " << option << ' ' << kind << ": " << why << '\n';
        return false;
    }
    return true;
}

// "KIND=FILE" for --export and --plot; false with the message written to err. A label may hold
// '=', so FILE starts after the last one.
bool parseJobs(TBoxEmbryo& box, const std::vector<std::string>& items, const char* option,
               std::vector<Job>& jobs, std::ostream& err) {
    for (const std::string& e : items) {
        const bool curve = e.starts_with(kSplCurvePrefix);
        const auto eq = curve ? e.rfind('=') : e.find('=');
        if (eq == std::string::npos || eq == 0 || eq + 1 == e.size()) {
            err << "harlox-cli: " << option << " expects KIND=FILE, got '" << e << "'\n";
            return false;
        }
        const std::string kind = e.substr(0, eq);
        if (curve) {
            const std::string label = kind.substr(kSplCurvePrefix.size());
            const std::vector<int> curves = splCurves(box);
            const auto found = std::find_if(curves.begin(), curves.end(),
                                            [&](int i) { return box.splWindow().curve(i).label == label; });
            if (found == curves.end()) {
                std::string labels;
                for (const int i : curves)
                    labels += (labels.empty() ? "'" : ", '") + box.splWindow().curve(i).label + "'";
                err << "harlox-cli: the SPL window of " << typeLabel(box) << " has no curve '" << label << "'"
                    << "; its curves: " << labels << '\n';
                return false;
            }
            if (!extensionAccepted(option, kind, e.substr(eq + 1), err)) return false;
            jobs.push_back({&kSplCurve, e.substr(eq + 1), *found});
            continue;
        }
        const ExportKindEntry* entry = findExportKind(kind);
        if (!entry) {
            // "--export" -> "export"
            err << "harlox-cli: unknown " << (option + 2) << " kind '" << kind << "' ("
                << joinNames(boxExportKinds()) << ")\n";
            return false;
        }
        if (entry->available && !entry->available(box)) {
            err << "harlox-cli: " << typeLabel(box) << " has no '" << kind << "' curve\n";
            return false;
        }
        if (!extensionAccepted(option, kind, e.substr(eq + 1), err)) return false;
        jobs.push_back({entry, e.substr(eq + 1)});
    }
    return true;
}

std::optional<Plan> planActions(TBoxEmbryo& box, const ProjectActions& a, std::ostream& err) {
    Plan plan;
    if (a.quickBox && !box.hasQuickBox()) {
        err << "harlox-cli: --quickbox: " << typeLabel(box) << " has no quick box\n";
        return std::nullopt;
    }
    if (a.table && !(plan.table = planTable(box, *a.table, err))) return std::nullopt;
    if (a.fit) {
        if (!(plan.fit = planFit(box, a, err))) return std::nullopt;
    } else if (a.iterations) {
        err << "harlox-cli: --iterations needs --fit\n";
        return std::nullopt;
    }
    if (!parseJobs(box, a.exports, "--export", plan.exports, err)) return std::nullopt;
    if (!parseJobs(box, a.plots, "--plot", plan.plots, err)) return std::nullopt;
    if (!plan.plots.empty()) {
        if (!plottingAvailable()) {
            std::string why;
            (void)renderDiagramToFile(box.splWindow(), "", 1, 1, why);
            err << "harlox-cli: --plot: " << why << '\n';
            return std::nullopt;
        }
        for (const Job& job : plan.plots) {
            const std::string ext = lowerExtension(job.path);
            if (ext != ".png" && ext != ".svg") {
                err << "harlox-cli: --plot " << job.entry->name << ": " << quoted(job.path)
                    << " must end in .png or .svg\n";
                return std::nullopt;
            }
        }
        if (!parseSize(a.plotSize, plan.width, plan.height, err)) return std::nullopt;
    }
    return plan;
}

// The SI unit of a numeric setting, for its range message; "" for counts, flags and pure numbers.
std::string_view settingUnit(std::string_view name) {
    static constexpr std::pair<std::string_view, std::string_view> kUnits[] = {
        {"setup.start", "Hz"}, {"setup.stop", "Hz"}, {"setup.Ug", "V"}, {"setup.Pg", "W"},
        {"setup.Rg", "Ohm"}, {"setup.Lg", "H"}, {"driver.extraMass", "kg"},
        {"driver.transitionFrequency", "Hz"}, {"driver.phaseLagCutoff", "Hz"}, {"driver.levelOffset", "dB"},
        {"unit.Sd", "m^2"}, {"unit.Vas", "m^3"}, {"unit.Cms", "m/N"}, {"unit.Cas", "m^5/N"},
        {"unit.Pmax", "W"}, {"unit.Xmax", "m"}, {"unit.h", "m"}, {"unit.l", "m"}, {"unit.Mmd", "kg"},
        {"unit.Mms", "kg"}, {"unit.Rms", "kg/s"}, {"unit.fs", "Hz"}, {"unit.Bl", "T*m"}, {"unit.Re", "Ohm"},
        {"unit.Le", "H"}, {"box.Vb", "m^3"}, {"box2.Vb", "m^3"}, {"box.fill", "%"}, {"box2.fill", "%"},
        {"port.L", "m"}, {"port.D", "m"}, {"port.S", "m^2"}, {"port.flare", "m"}, {"port.fb", "Hz"},
        {"port2.L", "m"}, {"port2.D", "m"}, {"port2.S", "m^2"}, {"port2.flare", "m"}, {"port2.fb", "Hz"},
        {"abr.Vap", "m^3"}, {"abr.Sd", "m^2"}, {"abr.Mmp", "kg"}, {"abr.Fp", "Hz"}, {"abr.Fb", "Hz"},
        {"abr.Xmax", "m"}, {"room.height", "m"}, {"room.depth", "m"}, {"room.width", "m"},
        {"room.speakerX", "m"}, {"room.speakerY", "m"}, {"room.speakerZ", "m"}, {"room.listenerX", "m"},
        {"room.listenerY", "m"}, {"room.listenerZ", "m"}, {"room.baffleWidth", "m"},
        {"room.baffleHeight", "m"}, {"room.transition", "Hz"}, {"room.levelOffset", "dB"},
        {"transient.burstFrequency", "Hz"},
    };
    if (name.starts_with("rear.")) name.remove_prefix(5);
    for (const auto& [setting, unit] : kUnits)
        if (setting == name) return unit;
    // room.GROUP.N.dX|dY|dZ: a place on the baffle.
    if (name.starts_with("room.") && (name.ends_with(".dX") || name.ends_with(".dY") || name.ends_with(".dZ")))
        return "m";
    return {};
}

std::string withUnit(std::string why, std::string_view name) {
    return appendRangeUnit(std::move(why), settingUnit(name));
}

// "rear.NAME" edits the rear configuration with the setting "driver.NAME".
constexpr std::string_view kRearPrefix = "rear.";
constexpr std::string_view kDriverPrefix = "driver.";

int applySettings(TBoxEmbryo& box, UiHost& ui, const std::vector<std::string>& sets, std::ostream& err) {
    for (const std::string& s : sets) {
        const auto eq = s.find('=');
        if (eq == std::string::npos || eq == 0) {
            err << "harlox-cli: --set expects NAME=VALUE, got '" << s << "'\n";
            return 1;
        }
        const std::string name = s.substr(0, eq);
        const bool rear = name.starts_with(kRearPrefix);
        const Setting* setting =
            findSetting(rear ? std::string(kDriverPrefix) + name.substr(kRearPrefix.size()) : name);
        if (const auto source = setting ? std::nullopt : roomSourceName(name)) {
            Context context{box, box.front(), ui};
            if (const std::string why = setRoomSource(context, *source, std::string_view(s).substr(eq + 1));
                !why.empty()) {
                err << "harlox-cli: --set " << name << ": " << withUnit(why, name) << '\n';
                return 1;
            }
            continue;
        }
        if (!setting) {
            err << "harlox-cli: unknown setting '" << name
                << "' (see 'harlox-cli box --help' for the names)\n";
            return 1;
        }
        if (rear && !box.usesRearDriver()) {
            err << "harlox-cli: --set " << name << ": " << typeLabel(box)
                << " has no rear driver configuration\n";
            return 1;
        }
        Context context{box, rear ? box.rear() : box.front(), ui};
        if (const std::string why = setting->apply(context, std::string_view(s).substr(eq + 1));
            !why.empty()) {
            err << "harlox-cli: --set " << name << ": " << withUnit(why, name) << '\n';
            return 1;
        }
    }
    // The double tuned types show their resonances from the edited elements.
    if (auto* dt = dynamic_cast<TDoubleTunedBox*>(&box)) dt->UpdateResonances();
    return 0;
}

int carryOut(TBoxEmbryo& box, CliHost& host, const ProjectActions& a, const Plan& plan, std::ostream& out,
             std::ostream& err) {
    if (applySettings(box, host, a.sets, err) != 0) return 1;
    if (box.front().unitOk == 0 || (box.usesRearDriver() && box.rear().unitOk == 0)) {
        err << "harlox-cli: " << TBoxEmbryo::kTooFewParametersText << '\n';
        return 1;
    }
    if (a.quickBox) {
        // The model's own messages (a driver it cannot size for) go to stderr through the host.
        if (!box.QuickBox()) {
            err << "harlox-cli: --quickbox: the quick box of " << typeLabel(box) << " failed\n";
            return 1;
        }
        host.runPosted();
        if (auto* dt = dynamic_cast<TDoubleTunedBox*>(&box)) dt->UpdateResonances();
    }
    if (plan.table) {
        // A driver the table cannot serve: the model's message ("Too high Qts") goes to stderr.
        if (!plan.table(host)) {
            err << "harlox-cli: --table: the table lookup of " << typeLabel(box) << " failed\n";
            return 1;
        }
        host.runPosted();
    }
    if (plan.fit && !runFit(box, host, *plan.fit, err)) return 1;
    box.Calculate(0);

    if (!a.saveFile.empty()) {
        // The program's own Save as: atomic, and its message on failure.
        host.queueFile(a.saveFile);
        if (!box.SaveAs()) {
            err << "harlox-cli: could not save the project: " << writeProblem(a.saveFile) << '\n';
            return 1;
        }
        host.runPosted();
        reportWritten(out, a.saveFile);
    }
    if (!a.dumpFile.empty() && !writeProjectText(a.dumpFile, boxProjectJson(box), out, err)) return 1;

    ExportContext context{box, host};
    for (const Job& job : plan.exports) {
        context.curve = job.curve;
        if (!job.entry->write(context, job.path)) {
            err << "harlox-cli: could not export the " << job.entry->name << " curve: " << writeProblem(job.path)
                << '\n';
            return 1;
        }
        reportWritten(out, job.path);
    }
    for (const Job& job : plan.plots) {
        context.curve = job.curve;
        DiagramModel scratch;
        std::string why;
        if (!renderDiagramToFile(job.entry->diagram(context, scratch), job.path, plan.width, plan.height,
                                 why)) {
            err << "harlox-cli: could not plot the " << job.entry->name << " diagram to '" << job.path
                << "': " << why << '\n';
            return 1;
        }
        reportWritten(out, job.path);
    }
    if (a.datasheet) out << box.dataSheetText("\n") << '\n';
    return 0;
}

// Every run starts from the defaults; the tool never reads or writes the preferences.
void startFromDefaults() {
    sharedSetup().setValuesToDefaults();
    TPortObject::setNonLinear(false);
}

// The box types the tool makes, by name and by project type code.
struct BoxType {
    std::string_view name;
    int code;
};

const BoxType kBoxTypes[] = {
    {"closed", 0}, {"bassreflex", 1}, {"dt1", 2}, {"dt2", 3}, {"abr", 4},
    {"bp1", 5},    {"bp2", 6},        {"bp3", 7}, {"bp4", 8}, {"reflexbp", 9},
};

const BoxType* findBoxType(std::string_view name) {
    for (const BoxType& t : kBoxTypes) {
        if (t.name == name) return &t;
    }
    return nullptr;
}

const BoxType* findBoxType(std::int32_t code) {
    for (const BoxType& t : kBoxTypes) {
        if (t.code == code) return &t;
    }
    return nullptr;
}

std::string boxTypeNames() {
    std::vector<std::string_view> names;
    for (const BoxType& t : kBoxTypes)
        names.push_back(t.name);
    return joinNames(names);
}

// Names on the command line are relative to the working folder, not to the program's.
std::string fromWorkingFolder(const std::string& name) {
    std::error_code ec;
    const std::filesystem::path p =
        std::filesystem::absolute(std::filesystem::path(name), ec).lexically_normal();
    return ec ? name : p.string();
}

void addActionOptions(CLI::App& command, ProjectActions& a) {
    command
        .add_option("--set", a.sets,
                    "NAME=VALUE in SI units, applied in the order given; a setting the type does not have is "
                    "refused. rear.* (the reflex bandpass's rear configuration) take the names of driver.*. "
                    "Names: " +
                        joinNames(boxSettingNames()) +
                        ", and room.GROUP.N.dX|dY|dZ, the place on the baffle of element N of the group "
                        "driver, radiator, port or port2. room.absorb.* are absorption coefficients 0 .. 1, room.mode is "
                        "impact or response, transient.signal impulse, step or burst")
        ->allow_extra_args(false); // one NAME=VALUE per --set: a positional may follow
    command.add_flag(
        "--quickbox", a.quickBox,
        "size the enclosure with the type's quick box after the --set values, before the calculation");
    command
        .add_option_function<std::string>(
            "--table", [&a](const std::string& v) { a.table = v; },
            "size the enclosure by the type's alignment table, after --quickbox. closed: QTC, the total "
            "Q (0.5 0.577 0.707 0.8 0.9 1.0 1.1 1.2 1.5); bassreflex: FAMILY[,Q], sbb4, qb3 or sc4 with "
            "the box Q 3, 7 or 15 (15 when omitted); bp1: RIPPLE[,SENS], the ripple 0, 0.35 or 1.25 dB "
            "and the sensitivity -8 .. 8 dB (0 when omitted); abr: --table without a value")
        ->expected(0, 1)
        ->type_name("[CHOICE]");
    command
        .add_option_function<std::string>(
            "--fit", [&a](const std::string& v) { a.fit = v; },
            "after --table, fit the enclosure to the target curve with the lower cutoff FC in Hz (10 .. 200) "
            "and, for the bandpass types, the upper cutoff FU (20 .. 1000; the project's own when omitted), "
            "as the fit window's Run and Halt do; the mean error at the start and the end is reported on "
            "stderr")
        ->type_name("FC[,FU]");
    command
        .add_option_function<long>(
            "--iterations", [&a](const long& n) { a.iterations = n; },
            strprintf("the steps of --fit, 1 .. %ld (default %ld)", kMaxFitIterations, kDefaultFitIterations))
        ->type_name("N");
    command
        .add_option(
            "--export", a.exports,
            "KIND=FILE, the format chosen by the extension (.frd .zma .gdt .fmp .fm). Kinds: " +
                joinNames(boxExportKinds()) +
                "; spl:LABEL is any curve of the SPL window by its label, e.g. 'spl:Rear port=rp.frd'")
        ->allow_extra_args(false);
    command
        .add_option("--plot", a.plots,
                    "KIND=FILE.png or KIND=FILE.svg: the diagram drawn as the program draws it. Kinds as "
                    "--export (airspeed and airspeed2 draw the air speed window, stdwave the standing-wave "
                    "window)")
        ->allow_extra_args(false);
    command.add_option("--size", a.plotSize, "WIDTHxHEIGHT of the plots in pixels")->capture_default_str();
    command.add_flag("--datasheet", a.datasheet, "print the data sheet");
    command.add_option("--save", a.saveFile, "write the project to this box project file (.box)");
    command.add_option("--dump", a.dumpFile,
                       "write every field of the project as readable JSON to this file (.json), which "
                       "'harlox-cli open FILE.json' reads back to the identical project");
}

} // namespace

std::vector<std::string_view> boxSettingNames() {
    std::vector<std::string_view> names;
    for (const Setting& s : kSettings)
        names.push_back(s.name);
    return names;
}

std::vector<std::string_view> boxExportKinds() {
    std::vector<std::string_view> names;
    for (const ExportKindEntry& k : kExportKinds)
        names.push_back(k.name);
    names.push_back(kSplCurve.name);
    return names;
}

int runBox(const BoxOptions& options, std::ostream& out, std::ostream& err) {
    startFromDefaults();
    const BoxType* type = findBoxType(options.type);
    if (!type) {
        err << "harlox-cli: unknown box type '" << options.type << "' (" << boxTypeNames() << ")\n";
        return 1;
    }
    CliHost host(err);
    std::unique_ptr<TBoxEmbryo> box = makeBoxProject(type->code, host);
    const std::optional<Plan> plan = planActions(*box, options.actions, err);
    if (!plan) return 1;
    if (!options.unit2File.empty() && !box->usesRearDriver()) {
        err << "harlox-cli: --unit2: " << typeLabel(*box) << " has no rear driver configuration\n";
        return 1;
    }
    if (!options.actions.saveFile.empty() &&
        (options.unitFile.empty() || (box->usesRearDriver() && options.unit2File.empty()))) {
        err << "harlox-cli: --save needs --unit" << (box->usesRearDriver() ? " and --unit2" : "")
            << ": a project names its driver unit files (write the built-in unit with 'harlox-cli unit "
               "default "
               "FILE')\n";
        return 1;
    }

    // The program's own loads: their messages go to stderr through the host.
    for (const std::string* unit : {&options.unitFile, &options.unit2File}) {
        if (unit->empty()) continue;
        if (const std::string why = unitFileProblem(*unit); !why.empty()) {
            err << "harlox-cli: " << (unit == &options.unitFile ? "--unit: " : "--unit2: ") << why << '\n';
            return 1;
        }
    }
    if (!options.unitFile.empty()) {
        host.queueFile(fromWorkingFolder(options.unitFile));
        if (!box->LoadDriverUnit()) return 1;
        host.runPosted();
    } else {
        box->front().SetDefaultUnit();
    }
    if (box->usesRearDriver()) {
        if (!options.unit2File.empty()) {
            host.queueFile(fromWorkingFolder(options.unit2File));
            if (!box->LoadRearDriverUnit()) return 1;
            host.runPosted();
        } else {
            box->rear().SetDefaultUnit();
        }
    }
    return carryOut(*box, host, options.actions, *plan, out, err);
}

namespace {

// A filter project reached through "open": only what every project has.
int openFilterProject(const OpenOptions& options, std::ostream& out, std::ostream& err) {
    const ProjectActions& a = options.actions;
    if (!a.sets.empty() || !a.exports.empty() || !a.plots.empty() || a.datasheet || a.quickBox || a.table ||
        a.fit || a.iterations) {
        err << "harlox-cli: " << quoted(options.projectFile)
            << " holds a filter project: open takes only --save and --dump for it; 'harlox-cli filter open' "
               "changes it and writes its curves\n";
        return 1;
    }
    FilterOptions filter;
    filter.projectFile = options.projectFile;
    filter.actions.saveFile = a.saveFile;
    filter.actions.dumpFile = a.dumpFile;
    return runFilterOpen(filter, out, err);
}

} // namespace

int runOpen(const OpenOptions& options, std::ostream& out, std::ostream& err) {
    startFromDefaults();
    const std::string& path = options.projectFile;
    if (const std::string why = openProblem(path); !why.empty()) {
        err << "harlox-cli: " << why << '\n';
        return 1;
    }
    CliHost host(err);
    ProjectFromJson text;
    std::int32_t code = 0;
    if (isProjectText(path)) {
        if (!readProjectText(path, host, text, err)) return 1;
        if (text.filter) return openFilterProject(options, out, err);
        code = text.typeCode;
    } else {
        std::ifstream file(path, std::ios::binary);
        std::array<std::uint8_t, 4> head{};
        file.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
        BinaryReader reader(std::span<const std::uint8_t>(head.data(), static_cast<std::size_t>(file.gcount())));
        if (!reader.i32(code)) {
            err << "harlox-cli: '" << path << "' is not a project file: it is too short\n";
            return 1;
        }
        if (isFilterProjectCode(code)) return openFilterProject(options, out, err);
    }
    const BoxType* type = findBoxType(code);
    if (!type) {
        err << "harlox-cli: '" << path << "' is not a project file\n";
        return 1;
    }

    std::unique_ptr<TBoxEmbryo> box = makeBoxProject(type->code, host);
    const std::optional<Plan> plan = planActions(*box, options.actions, err);
    if (!plan) return 1;
    // The project's own reader: its messages (an old file, a missing unit) go to stderr.
    const bool read = text.ok ? box->ReadProjectBytes(text.bytes, path) : box->ReadProject(path);
    if (!read) {
        err << "harlox-cli: could not read the " << type->name << " project '" << path
            << "': the project file is corrupt\n";
        return 1;
    }
    host.runPosted();
    box->PostCreation(true);
    return carryOut(*box, host, options.actions, *plan, out, err);
}

void addBoxCommand(CLI::App& app, int& exitCode) {
    auto options = std::make_shared<BoxOptions>();
    auto* box = app.add_subcommand("box", "Simulate a driver unit in one of the ten box types");
    std::vector<std::string> names;
    for (const BoxType& t : kBoxTypes)
        names.emplace_back(t.name);
    box->add_option("TYPE", options->type, "the box type")->required()->check(CLI::IsMember(names));
    box->add_option("--unit", options->unitFile, "driver unit file (.unt); the built-in unit without it");
    box->add_option("--unit2", options->unit2File,
                    "the reflex bandpass's rear driver unit file (.unt); the built-in unit without it");
    addActionOptions(*box, options->actions);
    box->callback([options, &exitCode] { exitCode = runBox(*options, std::cout, std::cerr); });
}

void addOpenCommand(CLI::App& app, int& exitCode) {
    auto options = std::make_shared<OpenOptions>();
    auto* open = app.add_subcommand(
        "open", "Read a box project (.box or its text, .json), change it with --set and write its curves, plots "
                "and data sheet; a filter project (.flt or .json) only with --save and --dump");
    open->add_option("FILE", options->projectFile, "project file (.box, .flt) or its text form (.json)")->required();
    addActionOptions(*open, options->actions);
    open->callback([options, &exitCode] { exitCode = runOpen(*options, std::cout, std::cerr); });
}

} // namespace harlox::cli
