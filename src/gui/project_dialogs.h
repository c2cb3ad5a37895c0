#pragma once

#include <functional>

class QObject;
class QWidget;

namespace harlox {

class TBoxEmbryo;
class TSpkData;
class UiHost;

// What a box project's dialog needs from the main window.
struct ProjectDialogContext {
    TBoxEmbryo& project;
    // The project's host: messages, file selectors, command states, posted calls.
    UiHost& ui;
    // The main window: the dialogs are modeless tool windows that stay above it.
    QWidget* parent;
    // Sends the project-changed notification with a code (queued; the main window passes it
    // to the project's ChangeNotification).
    std::function<void(int code)> notifyChanged;
    // The record the speaker unit editor works on (Edit / create): it outlives the editor
    // and is filled from the project's unit each time the editor opens. Without it the
    // command has no dialog.
    TSpkData* unitEditorRecord = nullptr;
};

// Whether openProjectDialog has a dialog for the command. The main window greys commands
// without one.
[[nodiscard]] bool hasProjectDialog(int commandId, const TBoxEmbryo& project);

// Opens the modeless dialog of a box-project command: Box (10301), Meas. setup (10401),
// Driver unit Configuration (10252), Edit / create (10253), Rear driver Configuration
// (11859), Transient resp (10204), Room & Cabinet (10205), Snapshot (10206).
// Returns the shown dialog, a child of ctx.parent that deletes itself when closed, or nullptr
// when there is none. While it lives the main window greys the command and marks the
// project's dialog open; when it is destroyed it re-enables the command.
QWidget* openProjectDialog(int commandId, const ProjectDialogContext& ctx);

// Tells the project that a dialog changed its inputs: through the window's hook when there is
// one, else queued on the host so the edit finishes before the calculation. Nothing is sent
// once the dialog is gone.
void notifyProjectChanged(QObject* dialog, TBoxEmbryo& project, UiHost& ui,
                          const std::function<void(int code)>& hook);

} // namespace harlox
