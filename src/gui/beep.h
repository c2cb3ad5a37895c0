#pragma once

#include <functional>

namespace harlox {

// The warning beep of the widgets (refused input, clamped stepping). Tests install a hook
// to count beeps; without one it is QApplication::beep().
void warningBeep();
void setWarningBeepHook(std::function<void()> hook);

} // namespace harlox
