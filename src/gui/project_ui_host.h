#pragma once

#include "core/command_state.h"
#include "core/ui_host.h"

#include <functional>

namespace harlox {

// The UiHost the open project talks to. It passes everything on to the program's host and
// keeps the command states itself, so the main window learns of every menu change and every
// repaint request whatever host the program runs with (the Qt host, or a scripted one).
class ProjectUiHost : public UiHost {
public:
    explicit ProjectUiHost(UiHost& inner) : inner_(inner) {}

    void setCommandStateCallback(std::function<void(int, CommandState)> cb) {
        onCommandState_ = std::move(cb);
    }
    void setRepaintCallback(std::function<void()> cb) { onRepaint_ = std::move(cb); }

    [[nodiscard]] UiHost& inner() const { return inner_; }
    [[nodiscard]] const CommandStateModel& commands() const { return commands_; }
    // Every command back to enabled (a project was closed); no callbacks.
    void clearCommandStates() { commands_.clear(); }

    MessageResult messageBox(std::string_view caption, std::string_view text, MessageIcon icon,
                             MessageButtons buttons) override {
        return inner_.messageBox(caption, text, icon, buttons);
    }
    std::optional<std::string> selectFile(FileSelector& selector, FileMode mode) override {
        return inner_.selectFile(selector, mode);
    }
    void beep() override { inner_.beep(); }
    void setWaitCursor(bool on) override { inner_.setWaitCursor(on); }
    void setCommandState(int commandId, CommandState state) override {
        commands_.set(commandId, state);
        inner_.setCommandState(commandId, state);
        if (onCommandState_) onCommandState_(commandId, state);
    }
    [[nodiscard]] CommandState commandState(int commandId) const override {
        return commands_.state(commandId);
    }
    void post(std::function<void()> call) override { inner_.post(std::move(call)); }
    void repaint() override {
        inner_.repaint();
        if (onRepaint_) onRepaint_();
    }

private:
    UiHost& inner_;
    CommandStateModel commands_;
    std::function<void(int, CommandState)> onCommandState_;
    std::function<void()> onRepaint_;
};

} // namespace harlox
