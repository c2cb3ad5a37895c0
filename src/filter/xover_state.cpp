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
    const std::vector<WindowPlacement*> placements = storedPlacements();
    std::vector<WindowPlacement> live;
    for (WindowPlacement* p : placements) {
        live.push_back(*p);
        *p = WindowPlacement{};
    }
    BinaryWriter w;
    (void)writeProjectBytes(w);
    for (std::size_t i = 0; i < placements.size(); ++i)
        *placements[i] = live[i];
    return w.take();
}

bool TXover::RestoreUndoState(std::span<const std::uint8_t> state) {
    if (info_ == nullptr) return false;
    const std::vector<WindowPlacement*> placements = storedPlacements();
    std::vector<WindowPlacement> live;
    for (const WindowPlacement* p : placements)
        live.push_back(*p);
    const TGeneral generalBefore = general_;
    const std::uint8_t changedBefore = changed_;
    BinaryReader r(state);
    const bool ok = readFrom(r);
    // A half-read state must not leave the shared settings half read too.
    if (!ok) general_ = generalBefore;
    for (std::size_t i = 0; i < placements.size(); ++i)
        *placements[i] = live[i];
    version_ = kCurrentVersion;
    changed_ = changedBefore;
    (void)Calculate();
    return ok;
}

} // namespace harlox
