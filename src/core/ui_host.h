#pragma once

#include "core/command_state.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace harlox {

enum class MessageIcon { None, Information, Exclamation, Question, Error };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageResult { Ok, Cancel, Yes, No };

// One file selector of the program: its filter list in the "Label|pattern|..." form, its
// default extension, and the path it remembers between uses.
struct FileSelector {
    std::string filter;
    std::string defaultExtension;
    bool confirmCreate = false; // ask before creating a new file
    std::string rememberedPath;
};

enum class FileMode { Open, Save };

// Everything the models need from a windowing desktop. The desktop program, the
// command-line tool and the tests each provide one.
class UiHost {
public:
    virtual ~UiHost() = default;

    virtual MessageResult messageBox(std::string_view caption, std::string_view text, MessageIcon icon,
                                     MessageButtons buttons) = 0;
    // Returns the chosen path, or nothing on Cancel. Remembers the choice in the selector.
    virtual std::optional<std::string> selectFile(FileSelector& selector, FileMode mode) = 0;
    virtual void beep() = 0;
    virtual void setWaitCursor(bool on) = 0;
    virtual void setCommandState(int commandId, CommandState state) = 0;
    [[nodiscard]] virtual CommandState commandState(int commandId) const = 0;
    // Queues a callable to run after the current event.
    virtual void post(std::function<void()> call) = 0;
    virtual void repaint() = 0;

    // Shorthands for the program's two kinds of box: failures and questions.
    void error(std::string_view caption, std::string_view text) {
        messageBox(caption, text, MessageIcon::Exclamation, MessageButtons::Ok);
    }
    MessageResult ask(std::string_view caption, std::string_view text) {
        return messageBox(caption, text, MessageIcon::Question, MessageButtons::YesNoCancel);
    }
    void enable(int id) { setCommandState(id, CommandState::Enabled); }
    void grey(int id) { setCommandState(id, CommandState::Greyed); }
    void remove(int id) { setCommandState(id, CommandState::Removed); }
};

} // namespace harlox
