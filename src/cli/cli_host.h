#pragma once

#include "core/ui_host.h"

#include <deque>
#include <functional>
#include <iosfwd>
#include <string>

namespace harlox::cli {

// The command-line tool's UiHost: messages go to stderr, file names come from the
// arguments, questions are answered "No" and nothing ever waits for a person.
class CliHost : public UiHost {
public:
    explicit CliHost(std::ostream& err) : err_(err) {}

    MessageResult messageBox(std::string_view caption, std::string_view text, MessageIcon icon,
                             MessageButtons buttons) override;
    std::optional<std::string> selectFile(FileSelector& selector, FileMode mode) override;
    void beep() override {}
    void setWaitCursor(bool) override {}
    void setCommandState(int id, CommandState s) override { commands_.set(id, s); }
    CommandState commandState(int id) const override { return commands_.state(id); }
    void post(std::function<void()> call) override { posted_.push_back(std::move(call)); }
    void repaint() override {}

    // The next file selector answers with this path (once).
    void queueFile(std::string path) { files_.push_back(std::move(path)); }
    void runPosted();
    [[nodiscard]] int messageCount() const { return messages_; }

private:
    std::ostream& err_;
    CommandStateModel commands_;
    std::deque<std::string> files_;
    std::deque<std::function<void()>> posted_;
    int messages_ = 0;
};

} // namespace harlox::cli
