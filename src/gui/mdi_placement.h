#pragma once

class QMdiSubWindow;
class QMdiArea;
class QObject;
class QString;
class QWidget;

namespace harlox {

struct WindowPlacement;

// A child window's placement as the project files keep it: show state, the minimised
// position and the normal rectangle.
// False (and the window untouched) when the record holds no normal rectangle.
bool applyPlacement(QMdiSubWindow& sub, const WindowPlacement& placement);
void storePlacement(const QMdiSubWindow& sub, WindowPlacement& placement);

// A project's child window around content, with the program's icon; it is not deleted when
// closed (the project decides), and filter watches it (placement, close to minimise).
QMdiSubWindow* makeProjectSubWindow(QWidget* content, const QString& title, const QMdiArea& area, QObject* filter);

} // namespace harlox
