#pragma once

// TSnapshot keeps its curves in a member that shares its name with Qt's `slots` keyword
// macro. Widget code includes the model through this header, which switches the keyword
// off around it, and reaches the curves through snapshotSlot().
#pragma push_macro("slots")
#undef slots
#include "box/snapshot.h"

#include <algorithm>
#include <cstddef>

namespace harlox {

// Slot i (0 to 4, clamped) of the snapshot.
inline SnapshotSlot& snapshotSlot(TSnapshot& snapshot, int i) {
    return snapshot.slots[static_cast<std::size_t>(std::clamp(i, 0, TSnapshot::kSlotCount - 1))];
}
inline const SnapshotSlot& snapshotSlot(const TSnapshot& snapshot, int i) {
    return snapshot.slots[static_cast<std::size_t>(std::clamp(i, 0, TSnapshot::kSlotCount - 1))];
}

} // namespace harlox
#pragma pop_macro("slots")
