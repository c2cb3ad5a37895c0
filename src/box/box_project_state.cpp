// A box project's undo state: captured from the project and put back without files.
#include "box/box_embryo.h"

#include "box/room_cabinet.h"
#include "box/snapshot.h"
#include "core/binary_io.h"
#include "transient/step_response.h"

#include <algorithm>
#include <utility>

namespace harlox {

namespace {

// The unit record and its file name, which the record itself does not hold.
void writeUnit(BinaryWriter& w, const TSpkData& unit) {
    const std::string bytes = unit.toBytes();
    w.u32(static_cast<std::uint32_t>(bytes.size()));
    w.bytes(bytes.data(), bytes.size());
    w.bytes(unit.fileName.data(), unit.fileName.size());
}

bool readUnit(BinaryReader& r, TSpeakerObject& unit) {
    std::uint32_t size = 0;
    if (!r.u32(size) || size > r.remaining()) return false;
    std::vector<std::uint8_t> bytes(size);
    std::array<char, TSpkData::kFileNameSize> fileName{};
    if (!r.bytes(bytes.data(), bytes.size()) || !r.textBlock(fileName.data(), fileName.size())) return false;
    // An empty unit was captured as such; its record need not parse.
    if (!unit.fromBytes(bytes.data(), bytes.size())) unit.TSpkData::Clear();
    unit.fileName = fileName;
    unit.UnitEdited();
    return true;
}

} // namespace

std::vector<WindowPlacement*> TBoxEmbryo::storedPlacements() {
    std::vector<WindowPlacement*> out{&dataSheetPlacement};
    for (DiagramModel* m : diagramWindows())
        out.push_back(&m->placement);
    if (DiagramModel* further = furtherWindow()) out.push_back(&further->placement);
    for (DiagramModel* m : {&snapshot_->window(), &transient_->window(), &roomCabinet_->window()})
        out.push_back(&m->placement);
    return out;
}

std::vector<std::uint8_t> TBoxEmbryo::captureUndoState() {
    // The records written before the calculation must not depend on whether one ran yet; a
    // project that does not calculate immediately is not calculated for its undo state either.
    const bool calculate = setup().calculateImmediately != 0;
    if (calculate) Calculate(0);
    // Placements follow the live windows, which undo leaves where they are: a moved window is
    // no step.
    const bool minimised = std::exchange(dataSheetMinimised, false);
    BinaryWriter project;
    {
        PlacementsKept live(storedPlacements());
        live.blank();
        (void)writeProjectBytes(project, calculate);
    }
    dataSheetMinimised = minimised;

    BinaryWriter w;
    w.u32(static_cast<std::uint32_t>(project.size()));
    w.bytes(std::span<const std::uint8_t>(project.buffer()));
    writeUnit(w, *front_);
    writeUnit(w, *rear_);
    return w.take();
}

bool TBoxEmbryo::restoreUndoState(std::span<const std::uint8_t> state) {
    BinaryReader r(state);
    std::uint32_t size = 0;
    if (!r.u32(size) || size > r.remaining()) return false;
    const std::span<const std::uint8_t> project = state.subspan(r.position(), size);
    if (!r.skip(size)) return false;
    // The units first: the project's records complete them and its calculation uses them.
    if (!readUnit(r, *front_) || !readUnit(r, *rear_)) return false;

    const bool minimised = dataSheetMinimised;
    const bool changedBefore = changed_;
    bool ok = false;
    {
        PlacementsKept live(storedPlacements());
        restoringUndo_ = true;
        BinaryReader pr(project);
        ok = readFrom(pr);
        restoringUndo_ = false;
    }
    setup().fileVersion = kProjectFileVersion;
    dataSheetMinimised = minimised;
    changed_ = changedBefore;
    UpdateCalculateCommand();
    ui_.repaint();
    return ok;
}

} // namespace harlox
