#include "gui/beep.h"

#include <QApplication>

#include <utility>

namespace harlox {

namespace {

std::function<void()>& beepHook() {
    static std::function<void()> hook;
    return hook;
}

} // namespace

void warningBeep() {
    if (beepHook()) {
        beepHook()();
    } else {
        QApplication::beep();
    }
}

void setWarningBeepHook(std::function<void()> hook) {
    beepHook() = std::move(hook);
}

} // namespace harlox
