#pragma once

#include <functional>

class QWidget;

namespace harlox {

// Left and Right on `list` call `step` (true for Right, a step up) instead of moving in the
// list; every other key goes to the list as before.
void stepWithArrowKeys(QWidget* list, std::function<void(bool up)> step);

} // namespace harlox
