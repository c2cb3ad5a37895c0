#pragma once

#include "core/ui_host.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace harlox::test {

// A UiHost that records everything the models show and answers from queues, so a test
// can say "the user pressed Cancel" and check the exact caption and text.
class ScriptedUiHost : public UiHost {
public:
    struct Message {
        std::string caption;
        std::string text;
        MessageIcon icon;
        MessageButtons buttons;
    };

    MessageResult messageBox(std::string_view caption, std::string_view text, MessageIcon icon,
                             MessageButtons buttons) override {
        messages.push_back({std::string(caption), std::string(text), icon, buttons});
        if (!answers.empty()) {
            const MessageResult a = answers.front();
            answers.pop_front();
            return a;
        }
        return buttons == MessageButtons::Ok ? MessageResult::Ok
               : buttons == MessageButtons::OkCancel ? MessageResult::Ok
                                                      : MessageResult::Yes;
    }

    std::optional<std::string> selectFile(FileSelector& selector, FileMode mode) override {
        fileRequests.push_back({selector.filter, mode});
        if (files.empty()) return std::nullopt;
        std::optional<std::string> f = files.front();
        files.pop_front();
        if (f) selector.rememberedPath = *f;
        return f;
    }

    void beep() override { ++beeps; }
    void setWaitCursor(bool on) override { waitCursor = on; }
    void setCommandState(int id, CommandState s) override { commands.set(id, s); }
    CommandState commandState(int id) const override { return commands.state(id); }
    void post(std::function<void()> call) override { posted.push_back(std::move(call)); }
    void repaint() override { ++repaints; }

    // Runs posted calls (and the ones they post) until none is left.
    void runPosted() {
        while (!posted.empty()) {
            auto call = std::move(posted.front());
            posted.pop_front();
            call();
        }
    }

    [[nodiscard]] const Message& lastMessage() const { return messages.back(); }

    std::vector<Message> messages;
    std::deque<MessageResult> answers;
    std::deque<std::optional<std::string>> files; // nullopt = Cancel
    struct FileRequest {
        std::string filter;
        FileMode mode;
    };
    std::vector<FileRequest> fileRequests;
    std::deque<std::function<void()>> posted;
    CommandStateModel commands;
    int beeps = 0;
    int repaints = 0;
    bool waitCursor = false;
};

} // namespace harlox::test
