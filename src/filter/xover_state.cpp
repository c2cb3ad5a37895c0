// A filter project's undo state: captured from the project and put back.
#include "filter/xover.h"

#include "core/binary_io.h"
#include "filter/general.h"

namespace harlox {

std::vector<WindowPlacement*> TXover::storedPlacements() {
    std::vector<WindowPlacement*> out{&schematicPlacement};
    for (WindowPlacement& p : netSchematicPlacement)
        out.push_back(&p);
    for (DiagramModel* m : DiagramWindows())
        out.push_back(&m->placement);
    return out;
}

std::vector<std::uint8_t> TXover::CaptureUndoState() {
    BinaryWriter w;
    {
        PlacementsKept live(storedPlacements());
        live.blank();
        (void)writeProjectBytes(w);
    }
    return w.take();
}

bool TXover::RestoreUndoState(std::span<const std::uint8_t> state) {
    if (info_ == nullptr) return false;
    const TGeneral generalBefore = general_;
    const std::uint8_t changedBefore = changed_;
    bool ok = false;
    {
        PlacementsKept live(storedPlacements());
        BinaryReader r(state);
        ok = readFrom(r);
    }
    // A half-read state must not leave the shared settings half read too.
    if (!ok) general_ = generalBefore;
    version_ = kCurrentVersion;
    changed_ = changedBefore;
    (void)Calculate();
    return ok;
}

} // namespace harlox
