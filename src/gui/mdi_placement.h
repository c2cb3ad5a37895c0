#pragma once

class QMdiSubWindow;

namespace harlox {

struct WindowPlacement;

// A child window's placement as the project files keep it: show state, the minimised
// position and the normal rectangle.
// False (and the window untouched) when the record holds no normal rectangle.
bool applyPlacement(QMdiSubWindow& sub, const WindowPlacement& placement);
void storePlacement(const QMdiSubWindow& sub, WindowPlacement& placement);

} // namespace harlox
