#pragma once

#include "core/ui_host.h"

namespace harlox::bench {

// A desktop that is never there.
class SilentHost : public UiHost {
public:
    MessageResult messageBox(std::string_view, std::string_view, MessageIcon, MessageButtons) override {
        return MessageResult::Ok;
    }
    std::optional<std::string> selectFile(FileSelector&, FileMode) override { return std::nullopt; }
    void beep() override {}
    void setWaitCursor(bool) override {}
    void setCommandState(int id, CommandState s) override { commands_.set(id, s); }
    CommandState commandState(int id) const override { return commands_.state(id); }
    void post(std::function<void()>) override {}
    void repaint() override {}

private:
    CommandStateModel commands_;
};

} // namespace harlox::bench
