#pragma once

#include "app/app_config.h"
#include "app/project_types.h"
#include "core/command_state.h"
#include "core/ui_host.h"
#include "core/undo_history.h"
#include "gui/project_ui_host.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QApplication;
class QDialog;
class QMdiArea;
class QMenu;
class QPrinter;

namespace harlox {

class BoxProjectWindows;
class FilterProjectWindows;
class TBoxEmbryo;
class TGeneral;
class TXover;
class TMainWindow;
class TYankee;

// The application object: records the program directory and the command-line project,
// and runs the main window.
class TMainApp {
public:
    static constexpr const char* kFrameCaption = "Harlox 4.00";

    // arguments as QCoreApplication::arguments(): the program, then the project to open.
    explicit TMainApp(const QStringList& arguments);

    [[nodiscard]] const std::optional<std::string>& commandLineProject() const { return commandLineProject_; }

    // Creates the main window with the Qt host and runs the event loop.
    int run(QApplication& app);

private:
    std::optional<std::string> commandLineProject_;
};

// The seams through which the desktop program meets the system, so tests can drive the
// real main window: the modal dialogs, the printer dialog, other processes, text windows.
struct MainWindowHooks {
    // Runs a modal dialog and returns its result (TBaseDialog: 1 OK, 2 Cancel). Default: exec().
    std::function<int(QDialog&)> execDialog;
    // Sets up the printer for a print job; false cancels it. Default: the system print dialog.
    std::function<bool(QPrinter&)> choosePrinter;
    // Starts a program without waiting and without arguments. Default: QProcess::startDetached.
    std::function<bool(const QString& program)> startDetached;
    // Shows a text file (help, readme) read-only. Default: the built-in viewer.
    std::function<void(const QString& path)> showTextFile;
    // The start dialog at start-up.
    bool showStartDialog = true;
};

// The multiple-document frame: owns the one open project, shows the menu set of its type,
// routes every command to it, creates and opens projects by type code and keeps harlox.cfg.
class TMainWindow : public QMainWindow {
    Q_OBJECT

public:
    TMainWindow(UiHost& ui, MainWindowHooks hooks = {}, QWidget* parent = nullptr);
    ~TMainWindow() override;

    // The start-up steps once the window exists: start dialog, harlox.cfg, measurement setup
    // preferences, show, then the command-line project as by Open.
    void startUp(const std::optional<std::string>& commandLineProject = std::nullopt);

    // A menu command by id, as the menus send it.
    void runCommand(int id);
    void newProject(int code);
    // Open... with the file selector.
    void openProject();
    // Open without the selector (the command line).
    void openProjectFile(const std::string& path);

    // The two notifications of the projects and dialogs, queued.
    void postProjectChanged(int code);
    void postCalculationRequest();
    // What the queued notifications do.
    void projectChanged(int code);
    void calculationRequest();

    // Whether a project type can be created by this program.
    [[nodiscard]] static bool projectTypeAvailable(int code);
    // Whether a command has its implementation (commands without one stay greyed).
    [[nodiscard]] bool commandImplemented(int id) const;

    [[nodiscard]] TBoxEmbryo* boxProject() const { return box_.get(); }
    [[nodiscard]] BoxProjectWindows* projectWindows() const { return windows_.get(); }
    [[nodiscard]] TXover* filterProject() const { return xover_.get(); }
    [[nodiscard]] FilterProjectWindows* filterWindows() const { return filterWindows_.get(); }
    // The filter projects' shared settings: made at start-up, kept for the whole run.
    [[nodiscard]] TGeneral& generalSettings() const { return *general_; }
    [[nodiscard]] MenuSetKind menuSetKind() const { return menuSet_; }
    [[nodiscard]] const CommandStateModel& commandStates() const { return host_.commands(); }
    // The menu item of a command in the current menu set, null when the set has none.
    [[nodiscard]] QAction* commandAction(int id) const;
    [[nodiscard]] QMdiArea* mdiArea() const { return mdi_; }
    [[nodiscard]] TYankee* yankee() const;
    [[nodiscard]] UiHost& projectHost() { return host_; }
    [[nodiscard]] FileSelector& openFileData() { return openFileData_; }

    [[nodiscard]] bool showLoadDriverNotice() const { return showLoadDriverNotice_; }
    void setShowLoadDriverNotice(bool on) { showLoadDriverNotice_ = on; }
    // The outer window rectangle as harlox.cfg stores it.
    [[nodiscard]] WindowRect outerRect() const;
    // Moves and sizes the window so that its outer rectangle becomes r.
    void setOuterRect(const WindowRect& r);

    // Edit > Undo and Redo: the project as it was before (after) the last undone edit.
    void undo() { stepUndo(false); }
    void redo() { stepUndo(true); }
    [[nodiscard]] const UndoHistory& undoHistory() const { return undo_; }

    // Checks the open project's CanClose; true without a project.
    [[nodiscard]] bool canCloseProject();
    // Destroys the open project and its windows, closes the Yankee tool, shows the start menu.
    void closeProject();

protected:
    void closeEvent(QCloseEvent* event) override;
    // Lets a field that holds typed text keep Ctrl+Z for that text.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showMenuSet(MenuSetKind kind);
    void applyCommandState(int id);
    void updateSubmenuVisibility();
    void refresh();
    int execDialog(QDialog& dialog);
    bool createBoxProject(int code);
    void routeBoxCommand(int id);
    // The filter side (main_window_filter.cpp).
    bool createFilterProject(int code);
    void routeFilterCommand(int id);
    [[nodiscard]] bool filterCommandImplemented(int id) const;
    void openFilterDialog(int id);
    void printFilterDiagrams();
    void removeUnusedFilterCommands();
    void openDialogFor(int id);
    // Driver > Driver library (main_window_library.cpp) and Fit from impedance (main_window_fit.cpp).
    void openDriverLibrary();
    void openDriverFit();
    void showYankee();
    void showAbout();
    void printWindow();
    void printDiagrams();
    void copyWindow();
    void userNote();
    void arrangeIcons();
    void defaultSize();
    void newInstance();
    void showTextFile(const QString& path);
    void writeConfig();

    // The menus of one menu set, built once; switching sets swaps what the menu bar shows.
    struct MenuSetWidgets {
        std::vector<QAction*> top;
        std::map<int, QAction*> items;
        std::vector<QMenu*> submenus; // innermost first
    };
    MenuSetWidgets& menuSetWidgets(MenuSetKind kind);
    void loadProjectFile(const std::string& path);
    // Undo: one step per user action, recorded once the action's notifications have run.
    void scheduleUndoRecord();
    void recordUndoState();
    // The next record starts the history over (a project was made or read).
    void resetUndoHistory();
    void stepUndo(bool forward);
    void updateUndoCommands();
    [[nodiscard]] std::optional<UndoHistory::State> captureProjectState();
    // The project dialogs open by command id, so that undo can show them again.
    void rememberDialog(int id, QWidget* dialog);

    ProjectUiHost host_;
    MainWindowHooks hooks_;
    QMdiArea* mdi_;
    MenuSetKind menuSet_ = MenuSetKind::Start;
    std::map<MenuSetKind, MenuSetWidgets> menuSets_;
    std::unique_ptr<TBoxEmbryo> box_;
    std::unique_ptr<BoxProjectWindows> windows_;
    std::unique_ptr<TGeneral> general_;
    std::unique_ptr<TXover> xover_;
    std::unique_ptr<FilterProjectWindows> filterWindows_;
    QPointer<TYankee> yankee_;
    bool showLoadDriverNotice_ = true;
    FileSelector openFileData_;
    std::optional<WindowRect> pendingOuterRect_;
    UndoHistory undo_;
    std::optional<UndoHistory::State> savedUndoState_;
    bool undoRecordPending_ = false;
    bool undoClearPending_ = false;
    bool restoringUndo_ = false;
    std::map<int, QPointer<QWidget>> projectDialogs_;
};

} // namespace harlox
