#pragma once

#include "core/command_state.h"
#include "core/ui_host.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QWidget;

namespace harlox {

// The desktop program's UiHost: Qt message boxes and file dialogs, the wait cursor, queued
// calls on the event loop. The main window owns it, sets itself as the dialogs' parent and
// installs callbacks for menu state and repainting.
class QtUiHost : public QObject, public UiHost {
    Q_OBJECT
public:
    explicit QtUiHost(QWidget* dialogParent = nullptr, QObject* parent = nullptr);
    ~QtUiHost() override;

    void setDialogParent(QWidget* w) { dialogParent_ = w; }
    void setCommandStateCallback(std::function<void(int, CommandState)> cb) {
        onCommandState_ = std::move(cb);
    }
    void setRepaintCallback(std::function<void()> cb) { onRepaint_ = std::move(cb); }
    [[nodiscard]] const CommandStateModel& commands() const { return commands_; }

    MessageResult messageBox(std::string_view caption, std::string_view text, MessageIcon icon,
                             MessageButtons buttons) override;
    std::optional<std::string> selectFile(FileSelector& selector, FileMode mode) override;
    void beep() override;
    void setWaitCursor(bool on) override;
    void setCommandState(int commandId, CommandState state) override;
    [[nodiscard]] CommandState commandState(int commandId) const override;
    void post(std::function<void()> call) override;
    void repaint() override;

    // "\r\n" and lone "\r" become "\n", which a plain-text message box shows as a line break.
    static QString messageText(std::string_view text);

signals:
    void commandStateChanged(int commandId, int state);
    void repaintRequested();

private:
    QPointer<QWidget> dialogParent_;
    CommandStateModel commands_;
    std::function<void(int, CommandState)> onCommandState_;
    std::function<void()> onRepaint_;
    bool waitCursor_ = false;
};

} // namespace harlox
