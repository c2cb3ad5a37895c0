#include "gui/main_window.h"

#include "app/box_factory.h"
#include "app/command_table.h"
#include "box/box_embryo.h"
#include "box/room_cabinet.h"
#include "core/binary_io.h"
#include "core/command_ids.h"
#include "core/diagram_model.h"
#include "core/format.h"
#include "core/measure_setup.h"
#include "core/program_dir.h"
#include "filter/general.h"
#include "filter/xover.h"
#include "gui/about_dialog.h"
#include "gui/base_dialog.h"
#include "gui/box_project_windows.h"
#include "gui/diagram_printing.h"
#include "gui/diagram_view.h"
#include "gui/entry_edit.h"
#include "gui/filter_project_windows.h"
#include "gui/help_viewer.h"
#include "gui/info_win.h"
#include "gui/input_dialog.h"
#include "gui/load_driver_unit_info_d.h"
#include "gui/model_text.h"
#include "gui/print_diagrams_dialog.h"
#include "gui/project_dialogs.h"
#include "gui/schematic_view.h"
#include "gui/qt_ui_host.h"
#include "gui/snapshot_model.h"
#include "gui/start_dialog.h"
#include "gui/step_resp_dialog.h"
#include "gui/yankee.h"
#include "transient/step_response.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <new>

namespace harlox {

namespace {

constexpr const char* kOpenFailedCaption = "Harlox project";
constexpr const char* kOpenFailedText =
    "Could not open project.\nThe filname probably points at\na nonexisting file.";
constexpr const char* kTypeUnreadableCaption = "Box project";
constexpr const char* kTypeUnreadableText = "Could not read project.\nThe project file is corrupt.";
constexpr const char* kReaderFailedText = "Error while reading box data.\nThe project file is corrupt.";
constexpr const char* kBadCodeCaption = "Error";
constexpr const char* kBadCodeText = "Bad data in file.\nThe project file is corrupt.";

// Show states of a stored window placement.
constexpr std::int16_t kShowNormal = 1;
constexpr std::int16_t kShowMinimized = 2;

// The data sheet window's placement goes into the project file with the project.
void storeSheetPlacement(TBoxEmbryo& project, const QMdiSubWindow& sheet) {
    auto& v = project.dataSheetPlacement.v;
    project.dataSheetMinimised = sheet.isMinimized();
    v[0] = 0;
    v[1] = sheet.isMinimized() ? kShowMinimized : kShowNormal;
    if (sheet.isMinimized() || sheet.isMaximized()) return;
    const QRect g = sheet.geometry();
    v[6] = static_cast<std::int16_t>(g.left());
    v[7] = static_cast<std::int16_t>(g.top());
    v[8] = static_cast<std::int16_t>(g.left() + g.width());
    v[9] = static_cast<std::int16_t>(g.top() + g.height());
}

void storeSheetPlacement(TBoxEmbryo* project, const BoxProjectWindows* windows) {
    if (!project || !windows) return;
    if (const QMdiSubWindow* sheet = windows->subWindowOf(windows->dataSheet()))
        storeSheetPlacement(*project, *sheet);
}

void applySheetPlacement(const TBoxEmbryo& project, QMdiSubWindow& sheet) {
    const auto& v = project.dataSheetPlacement.v;
    const QRect normal(QPoint(v[6], v[7]), QPoint(v[8] - 1, v[9] - 1));
    sheet.showNormal();
    if (normal.width() > 0 && normal.height() > 0) sheet.setGeometry(normal);
    if (project.dataSheetMinimised) sheet.showMinimized();
}

// The project dialog each command keeps open (its command stays greyed meanwhile).
std::optional<ProjectDialog> dialogOfCommand(int id) {
    switch (id) {
    case cmd::DriverConfig:
        return ProjectDialog::DriverConfig;
    case cmd::DriverEdit:
        return ProjectDialog::DriverEditor;
    case cmd::Box:
        return ProjectDialog::Box;
    case cmd::MeasSetup:
        return ProjectDialog::MeasureSetup;
    case cmd::TransientResp:
        return ProjectDialog::TransientResponse;
    case cmd::RoomCabinet:
        return ProjectDialog::RoomCabinet;
    case cmd::Snapshot:
        return ProjectDialog::Snapshot;
    default:
        return std::nullopt;
    }
}

QString noteForDisplay(const std::string& note) {
    QString s = fromModelText(note);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s;
}

QString qs(std::string_view s) {
    return fromModelText(s);
}

} // namespace

// ---- TMainApp ---------------------------------------------------------------------------

TMainApp::TMainApp(const QStringList& arguments) {
    setProgramDirectory(QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString());
    if (arguments.size() >= 2) commandLineProject_ = QFile::encodeName(arguments.at(1)).toStdString();
}

namespace {

// Shown when an allocation fails: Retry tries again, Cancel ends the program at once.
void outOfMemory() {
    static bool inside = false;
    if (inside) std::abort();
    inside = true;
    const auto pressed = QMessageBox::critical(nullptr, QStringLiteral("Out of memory"),
                                               QStringLiteral("Free memory and try again"),
                                               QMessageBox::Retry | QMessageBox::Cancel, QMessageBox::Retry);
    inside = false;
    if (pressed != QMessageBox::Retry) std::abort();
}

} // namespace

int TMainApp::run(QApplication& app) {
    QtUiHost ui;
    TMainWindow window(ui);
    ui.setDialogParent(&window);
    std::set_new_handler(outOfMemory);
    window.startUp(commandLineProject_);
    const int result = app.exec();
    std::set_new_handler(nullptr);
    return result;
}

// ---- TMainWindow: construction and menus ------------------------------------------------

TMainWindow::TMainWindow(UiHost& ui, MainWindowHooks hooks, QWidget* parent)
    : QMainWindow(parent), host_(ui), hooks_(std::move(hooks)),
      mdi_(new QMdiArea(this)), general_(std::make_unique<TGeneral>()), openFileData_{
                                    TBoxEmbryo::kProjectFilter, TBoxEmbryo::kProjectExtension, false, {}} {
    if (!hooks_.execDialog) hooks_.execDialog = [](QDialog& d) { return d.exec(); };
    if (!hooks_.choosePrinter) {
        hooks_.choosePrinter = [this](QPrinter& printer) {
            QPrintDialog dialog(&printer, this);
            // No page numbers and no selection: every job prints all of its pages.
            dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
            dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
            dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
            return dialog.exec() == QDialog::Accepted;
        };
    }
    if (!hooks_.startDetached)
        hooks_.startDetached = [](const QString& program) { return QProcess::startDetached(program, {}); };
    if (!hooks_.showTextFile)
        hooks_.showTextFile = [this](const QString& path) { HelpViewer::showFile(path, this); };

    setWindowTitle(QString::fromLatin1(TMainApp::kFrameCaption));
    setWindowIcon(QIcon(TAboutDialog::productPixmap(64)));
    mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Tile and Cascade keep the windows in the order the project made them.
    mdi_->setActivationOrder(QMdiArea::CreationOrder);
    setCentralWidget(mdi_);
    resize(1280, 860);

    host_.setCommandStateCallback([this](int id, CommandState) {
        applyCommandState(id);
        updateSubmenuVisibility();
    });
    host_.setRepaintCallback([this] { refresh(); });
    TBaseDialog::setHelpHook([this](const QString& path) { showTextFile(path); });
    qApp->installEventFilter(this);
    // A refused entry beeps; the status bar says why, long enough to be read. The bar is
    // there from the start, so that the windows' space does not shrink at the first message.
    statusBar();
    TEntryEdit::setRefusalHook([this](const QString& reason) { statusBar()->showMessage(reason, 10000); });
    showMenuSet(MenuSetKind::Start);
}

TMainWindow::~TMainWindow() {
    TBaseDialog::setHelpHook({});
    TEntryEdit::setRefusalHook({});
    // The tool and the project windows call back into this window when they go.
    delete yankee_.data();
    windows_.reset();
    box_.reset();
    filterWindows_.reset();
    xover_.reset();
    host_.setCommandStateCallback({});
    host_.setRepaintCallback({});
}

TMainWindow::MenuSetWidgets& TMainWindow::menuSetWidgets(MenuSetKind kind) {
    const auto found = menuSets_.find(kind);
    if (found != menuSets_.end()) return found->second;
    MenuSetWidgets& w = menuSets_[kind];
    // Depth first, so that submenus are listed before the menus holding them.
    const std::function<QMenu*(const MenuNode&)> buildMenu = [&](const MenuNode& node) {
        auto* menu = new QMenu(qs(node.text), this);
        for (const MenuNode& child : node.children) {
            if (child.isSubmenu()) {
                menu->addMenu(buildMenu(child));
                continue;
            }
            auto* action = new QAction(qs(child.text), this);
            const int id = child.id;
            action->setData(id);
            if (id == cmd::Undo || id == cmd::Redo) {
                action->setShortcut(QKeySequence(id == cmd::Undo ? QStringLiteral("Ctrl+Z")
                                                                 : QStringLiteral("Ctrl+Shift+Z")));
                // The modeless dialogs are windows of their own: undo works from them too.
                action->setShortcutContext(Qt::ApplicationShortcut);
            }
            connect(action, &QAction::triggered, this, [this, id] { runCommand(id); });
            menu->addAction(action);
            w.items[id] = action;
        }
        w.submenus.push_back(menu);
        return menu;
    };
    for (const MenuNode& node : menuSet(kind)) {
        if (node.isSubmenu()) {
            w.top.push_back(buildMenu(node)->menuAction());
            continue;
        }
        auto* action = new QAction(qs(node.text), this);
        const int id = node.id;
        action->setData(id);
        connect(action, &QAction::triggered, this, [this, id] { runCommand(id); });
        w.items[id] = action;
        w.top.push_back(action);
    }
    return w;
}

void TMainWindow::showMenuSet(MenuSetKind kind) {
    menuSet_ = kind;
    MenuSetWidgets& w = menuSetWidgets(kind);
    menuBar()->clear();
    for (QAction* a : w.top)
        menuBar()->addAction(a);
    for (const auto& [id, action] : w.items)
        applyCommandState(id);
    updateSubmenuVisibility();
}

QAction* TMainWindow::commandAction(int id) const {
    const auto set = menuSets_.find(menuSet_);
    if (set == menuSets_.end()) return nullptr;
    const auto it = set->second.items.find(id);
    return it == set->second.items.end() ? nullptr : it->second;
}

void TMainWindow::applyCommandState(int id) {
    QAction* action = commandAction(id);
    if (!action) return;
    const CommandState state = host_.commands().state(id);
    action->setVisible(state != CommandState::Removed);
    action->setEnabled(state == CommandState::Enabled && commandImplemented(id));
}

void TMainWindow::updateSubmenuVisibility() {
    const auto set = menuSets_.find(menuSet_);
    if (set == menuSets_.end()) return;
    // A menu whose every item was removed goes too; innermost first, so this settles in one pass.
    for (QMenu* menu : set->second.submenus) {
        bool any = false;
        for (const QAction* a : menu->actions())
            any = any || a->isVisible();
        menu->menuAction()->setVisible(any);
    }
}

bool TMainWindow::projectTypeAvailable(int code) {
    if (isBoxProjectCode(code)) return true;
    const ProjectType* t = findProjectType(code);
    return t && !t->isBox && TXover::FindVariant(t->filterVariant) != nullptr;
}

bool TMainWindow::commandImplemented(int id) const {
    const CommandInfo* c = findCommand(id);
    if (!c) return false;
    switch (c->action) {
    case CommandAction::NewProject:
        return projectTypeAvailable(c->arg);
    case CommandAction::Save:
    case CommandAction::SaveAs:
        return true;
    case CommandAction::BoxExport:
        return true;
    case CommandAction::EditBox:
    case CommandAction::EditMeasureSetup:
    case CommandAction::ConfigureDriver:
    case CommandAction::EditDriverUnit:
    case CommandAction::ConfigureRearDriver:
    case CommandAction::ShowRoomCabinet:
    case CommandAction::EditSnapshot:
        return box_ && hasProjectDialog(id, *box_);
    case CommandAction::ShowTransientResponse:
    case CommandAction::ShowMaxSpl:
    case CommandAction::ShowMaxSplHelp:
        return box_ != nullptr;
    case CommandAction::LoadRearDriverUnit:
        return box_ && box_->usesRearDriver();
    case CommandAction::OpenDriverLibrary:
    case CommandAction::FitDriverUnit:
        return box_ != nullptr;
    case CommandAction::SectionNetwork:
    case CommandAction::SectionDriver:
    case CommandAction::NetNetwork:
    case CommandAction::NetDriver:
    case CommandAction::General:
    case CommandAction::FilterMusic:
    case CommandAction::FilterExportTotal:
    case CommandAction::SectionExport:
    case CommandAction::NetExport:
        return filterCommandImplemented(id);
    case CommandAction::NewInstance:
    case CommandAction::Open:
    case CommandAction::PrintWindow:
    case CommandAction::PrintDiagrams:
    case CommandAction::CopyWindow:
    case CommandAction::UserNote:
    case CommandAction::Undo:
    case CommandAction::Redo:
    case CommandAction::Exit:
    case CommandAction::About:
    case CommandAction::Calculate:
    case CommandAction::LoadDriverUnit:
    case CommandAction::YankeeTool:
    case CommandAction::ArrangeIcons:
    case CommandAction::Cascade:
    case CommandAction::Tile:
    case CommandAction::DefaultSize:
        return true;
    }
    return false;
}

// ---- start-up, exit and harlox.cfg --------------------------------------------------------

void TMainWindow::startUp(const std::optional<std::string>& commandLineProject) {
    if (hooks_.showStartDialog) {
        TStartDialog start(this, [this] { showTextFile(qs(programPath("readme.txt"))); });
        execDialog(start);
    }
    const AppConfig config = readAppConfig();
    if (config.placement) setOuterRect(*config.placement);
    showLoadDriverNotice_ = config.showLoadDriverNotice;
    sharedSetup().SetDefaults(false);
    show();
    if (pendingOuterRect_) {
        // The window manager adds its frame only once the window is shown; size it again then.
        QPointer<TMainWindow> self(this);
        QTimer::singleShot(0, this, [self] {
            if (!self || !self->pendingOuterRect_) return;
            const WindowRect r = *self->pendingOuterRect_;
            self->pendingOuterRect_.reset();
            if (self->outerRect() != r) self->setOuterRect(r);
        });
    }
    if (commandLineProject) loadProjectFile(*commandLineProject);
    refresh();
}

WindowRect TMainWindow::outerRect() const {
    const QRect g = frameGeometry();
    return {g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
}

void TMainWindow::setOuterRect(const WindowRect& r) {
    const QRect wanted(r.left, r.top, static_cast<int>(r.width()), static_cast<int>(r.height()));
    // A rectangle on a screen that is no longer there would hide the window.
    bool onScreen = QGuiApplication::screens().isEmpty();
    for (const QScreen* s : QGuiApplication::screens())
        onScreen = onScreen || s->virtualGeometry().intersects(wanted);
    if (!onScreen) return;
    const QSize frame = frameGeometry().size() - geometry().size();
    move(wanted.topLeft());
    resize(std::max(1, wanted.width() - frame.width()), std::max(1, wanted.height() - frame.height()));
    if (!isVisible()) pendingOuterRect_ = r;
}

void TMainWindow::writeConfig() {
    // A failure to write is ignored: the next start uses the defaults.
    (void)writeAppConfig(outerRect(), showLoadDriverNotice_);
}

void TMainWindow::closeEvent(QCloseEvent* event) {
    writeConfig();
    if (!canCloseProject()) {
        event->ignore();
        return;
    }
    closeProject();
    event->accept();
}

// ---- projects ------------------------------------------------------------------------------

bool TMainWindow::canCloseProject() {
    storeSheetPlacement(box_.get(), windows_.get());
    // The unit editor's unsaved unit goes with the project: ask about it first.
    if (windows_ && !windows_->canCloseDialogs()) return false;
    // The transient dialog goes before the project's own question, with its settings saved.
    if (windows_) windows_->closeTransientResponseDialog();
    if (box_) return box_->CanClose();
    if (xover_) return xover_->CanClose();
    return true;
}

void TMainWindow::closeProject() {
    undo_ = UndoHistory{};
    savedUndoState_.reset();
    undoClearPending_ = false;
    projectDialogs_.clear();
    delete yankee_.data();
    windows_.reset();
    box_.reset();
    filterWindows_.reset();
    xover_.reset();
    host_.clearCommandStates();
    showMenuSet(MenuSetKind::Start);
    refresh();
}

bool TMainWindow::createBoxProject(int code) {
    std::unique_ptr<TBoxEmbryo> project = makeBoxProject(code, host_);
    if (!project) return false;
    // The last transient settings the user saved; a project read from a file brings its own.
    (void)project->transientResponse().LoadSettings();
    showMenuSet(menuSetForProjectCode(code).value_or(MenuSetKind::Box));
    // The project greys its commands while it is built: show that on the new menus.
    box_ = std::move(project);
    for (const auto& [id, action] : menuSetWidgets(menuSet_).items)
        applyCommandState(id);
    updateSubmenuVisibility();
    windows_ = std::make_unique<BoxProjectWindows>(*box_, *mdi_);
    box_->changeObserver = [this](int) { scheduleUndoRecord(); };
    resetUndoHistory();
    // Open and the project's Save as share one file selector state.
    box_->projectSelector().rememberedPath = openFileData_.rememberedPath;
    return true;
}

void TMainWindow::newProject(int code) {
    if (!projectTypeAvailable(code)) {
        if (const ProjectType* t = findProjectType(code))
            host_.error(kOpenFailedCaption,
                        strprintf("%s projects are not available in this version of the program.",
                                  std::string(t->name).c_str()));
        return;
    }
    if (!canCloseProject()) return;
    closeProject();
    if (isFilterProjectCode(code)) {
        general_->Reset();
        (void)createFilterProject(code);
        refresh();
        return;
    }
    if (!isBoxProjectCode(code) || !createBoxProject(code)) return;
    box_->PostCreation(false);
    windows_->restore(box_->splWindow());
    windows_->restore(box_->impedanceWindow());
    refresh();
    if (showLoadDriverNotice_) {
        TLoadDriverUnitInfoD notice(this);
        if (execDialog(notice) == TBaseDialog::ResultOk) showLoadDriverNotice_ = notice.showNextTime();
    }
    if (box_) box_->LoadDriverUnit();
    // The reflex bandpass drives a second unit from the rear chamber: ask for it too.
    if (box_ && box_->usesRearDriver()) box_->LoadRearDriverUnit();
    refresh();
}

void TMainWindow::openProject() {
    if (!canCloseProject()) return;
    const std::optional<std::string> path = host_.selectFile(openFileData_, FileMode::Open);
    if (!path) return;
    loadProjectFile(*path);
}

void TMainWindow::openProjectFile(const std::string& path) {
    if (!canCloseProject()) return;
    loadProjectFile(path);
}

void TMainWindow::loadProjectFile(const std::string& path) {
    openFileData_.rememberedPath = path;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        host_.error(kOpenFailedCaption, kOpenFailedText);
        return;
    }
    std::array<std::uint8_t, 4> head{};
    file.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    std::int32_t code = 0;
    BinaryReader reader(std::span<const std::uint8_t>(head.data(), static_cast<std::size_t>(file.gcount())));
    if (!reader.i32(code)) {
        host_.error(kTypeUnreadableCaption, kTypeUnreadableText);
        return;
    }
    file.close();
    // A project this program cannot make would be lost for nothing: keep the open one.
    if (const ProjectType* t = findProjectType(code); t && !projectTypeAvailable(code)) {
        host_.error(kOpenFailedCaption, strprintf("%s projects are not available in this version of the "
                                                  "program.\nThe project file was not opened.",
                                                  std::string(t->name).c_str()));
        return;
    }
    closeProject();
    if (isBoxProjectCode(code) && createBoxProject(code)) {
        box_->projectSelector().rememberedPath = path;
        if (!box_->ReadProject(path)) {
            host_.error("", kReaderFailedText);
            box_->Reset();
        } else {
            windows_->applyStoredPlacements();
            if (QMdiSubWindow* sheet = windows_->subWindowOf(windows_->dataSheet()))
                applySheetPlacement(*box_, *sheet);
            box_->PostCreation(true);
        }
        resetUndoHistory();
        refresh();
        return;
    }
    if (isFilterProjectCode(code)) {
        general_->Reset();
        if (createFilterProject(code)) {
            xover_->ProjectSelector().rememberedPath = path;
            if (!xover_->ReadProject(path)) {
                host_.error("", kReaderFailedText);
                general_->Reset();
                xover_->New();
            } else {
                filterWindows_->applyStoredPlacements();
            }
            resetUndoHistory();
        }
        refresh();
        return;
    }
    showMenuSet(MenuSetKind::Start);
    setWindowTitle(QString::fromLatin1(TMainApp::kFrameCaption));
    host_.error(kBadCodeCaption, kBadCodeText);
}

// ---- notifications --------------------------------------------------------------------------

void TMainWindow::postProjectChanged(int code) {
    QPointer<TMainWindow> self(this);
    host_.post([self, code] {
        if (self) self->projectChanged(code);
    });
}

void TMainWindow::postCalculationRequest() {
    QPointer<TMainWindow> self(this);
    host_.post([self] {
        if (self) self->calculationRequest();
    });
}

void TMainWindow::projectChanged(int code) {
    if (box_) box_->ChangeNotification(code);
    if (xover_) xover_->ChangeNotification(code);
    refresh();
}

void TMainWindow::calculationRequest() {
    if (box_) box_->Calculate(0);
    if (xover_) (void)xover_->Calculate();
    // The general settings' dialog asks for this instead of a change notification.
    scheduleUndoRecord();
    refresh();
}

// ---- undo ----------------------------------------------------------------------------------

std::optional<UndoHistory::State> TMainWindow::captureProjectState() {
    if (box_) return box_->captureUndoState();
    if (xover_) return xover_->CaptureUndoState();
    return std::nullopt;
}

void TMainWindow::scheduleUndoRecord() {
    if (restoringUndo_ || undoRecordPending_ || (!box_ && !xover_)) return;
    undoRecordPending_ = true;
    // After the notifications already queued: an action's several notifications become one step.
    QPointer<TMainWindow> self(this);
    host_.post([self] {
        if (self) self->recordUndoState();
    });
}

void TMainWindow::resetUndoHistory() {
    undoClearPending_ = true;
    undo_ = UndoHistory{};
    savedUndoState_.reset();
    updateUndoCommands();
    scheduleUndoRecord();
}

void TMainWindow::recordUndoState() {
    undoRecordPending_ = false;
    std::optional<UndoHistory::State> state = captureProjectState();
    if (!state) return;
    const bool saved = box_ ? !box_->isChanged() : !xover_->IsChanged();
    if (saved) savedUndoState_ = *state;
    if (undoClearPending_) {
        undoClearPending_ = false;
        undo_.clear(std::move(*state));
    } else {
        (void)undo_.record(std::move(*state));
    }
    updateUndoCommands();
}

void TMainWindow::updateUndoCommands() {
    if (undo_.canUndo()) {
        host_.enable(cmd::Undo);
    } else {
        host_.grey(cmd::Undo);
    }
    if (undo_.canRedo()) {
        host_.enable(cmd::Redo);
    } else {
        host_.grey(cmd::Redo);
    }
}

void TMainWindow::rememberDialog(int id, QWidget* dialog) {
    projectDialogs_[id] = dialog;
}

void TMainWindow::stepUndo(bool forward) {
    if (!box_ && !xover_) return;
    // A step still to be recorded comes first, so that undo takes back the latest edit.
    if (undoRecordPending_) recordUndoState();
    std::optional<UndoHistory::State> state = forward ? undo_.redo() : undo_.undo();
    if (!state) {
        host_.beep();
        return;
    }
    restoringUndo_ = true;
    // The dialogs show the values they were opened with: open them again on the restored
    // project, where they were. The unit editor works on its own record and the music
    // filter on no project value; they stay.
    std::vector<std::pair<int, QRect>> reopen;
    for (auto& [id, dialog] : projectDialogs_) {
        if (!dialog || id == cmd::DriverEdit || id == cmd::FilterMusic) continue;
        reopen.emplace_back(id, dialog->geometry());
        delete dialog.data();
    }
    const bool ok = box_ ? box_->restoreUndoState(*state) : xover_->RestoreUndoState(*state);
    if (!ok) host_.beep();
    const bool saved = savedUndoState_ && *savedUndoState_ == *state;
    if (box_) {
        if (saved) {
            box_->ChangeNotification(TBoxEmbryo::kChangeSaved);
        } else {
            box_->markChanged();
        }
    } else if (xover_) {
        if (saved) {
            xover_->ChangeNotification(TXover::kChangeSaved);
        } else {
            xover_->MarkChanged();
        }
    }
    for (const auto& [id, geometry] : reopen) {
        if (box_) {
            openDialogFor(id);
        } else {
            openFilterDialog(id);
        }
        if (QWidget* d = projectDialogs_[id]) d->setGeometry(geometry);
    }
    restoringUndo_ = false;
    updateUndoCommands();
    refresh();
}

bool TMainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* edit = qobject_cast<const QLineEdit*>(watched);
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool undoKey = key->matches(QKeySequence::Undo);
        const bool redoKey =
            key->matches(QKeySequence::Redo) ||
            key->keyCombination() == QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Z);
        if (edit && (undoKey || redoKey) && (box_ || xover_)) {
            // Typed text not yet entered is undone in the field; otherwise the project's step.
            const bool fieldHasStep =
                edit->isModified() && (undoKey ? edit->isUndoAvailable() : edit->isRedoAvailable());
            if (!fieldHasStep) {
                event->ignore();
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainWindow::refresh() {
    if (windows_) windows_->refresh();
    if (filterWindows_) filterWindows_->refresh();
    QString caption = QString::fromLatin1(TMainApp::kFrameCaption);
    if (box_) caption = qs(box_->frameCaption());
    if (xover_) caption = qs(xover_->Caption());
    if (windowTitle() != caption) setWindowTitle(caption);
}

// ---- commands --------------------------------------------------------------------------------

int TMainWindow::execDialog(QDialog& dialog) {
    return hooks_.execDialog(dialog);
}

TYankee* TMainWindow::yankee() const {
    return yankee_.data();
}

void TMainWindow::runCommand(int id) {
    const CommandInfo* c = findCommand(id);
    if (!c) return;
    // The menus offer a command only with its project and only while it is enabled; a
    // command that arrives by any other way is held to the same rule.
    const CommandNeeds open =
        box_ ? CommandNeeds::BoxProject : (xover_ ? CommandNeeds::FilterProject : CommandNeeds::Nothing);
    if (!commandAvailable(*c, open) || !commandImplemented(id)) return;
    if (host_.commands().state(id) != CommandState::Enabled) return;
    switch (c->action) {
    case CommandAction::Undo:
    case CommandAction::Redo:
        // Not a step of its own.
        stepUndo(c->action == CommandAction::Redo);
        return;
    case CommandAction::NewProject:
        newProject(c->arg);
        break;
    case CommandAction::NewInstance:
        newInstance();
        break;
    case CommandAction::Open:
        openProject();
        break;
    case CommandAction::Exit:
        close();
        break;
    case CommandAction::About:
        showAbout();
        break;
    case CommandAction::YankeeTool:
        showYankee();
        break;
    case CommandAction::ArrangeIcons:
        arrangeIcons();
        break;
    case CommandAction::Cascade:
        mdi_->cascadeSubWindows();
        break;
    case CommandAction::Tile:
        mdi_->tileSubWindows();
        break;
    case CommandAction::DefaultSize:
        defaultSize();
        break;
    case CommandAction::PrintWindow:
        printWindow();
        break;
    case CommandAction::CopyWindow:
        copyWindow();
        break;
    case CommandAction::UserNote:
        userNote();
        break;
    case CommandAction::OpenDriverLibrary:
        openDriverLibrary();
        break;
    case CommandAction::FitDriverUnit:
        openDriverFit();
        break;
    case CommandAction::Save:
    case CommandAction::SaveAs:
    case CommandAction::PrintDiagrams:
    case CommandAction::BoxExport:
    case CommandAction::EditBox:
    case CommandAction::EditMeasureSetup:
    case CommandAction::Calculate:
    case CommandAction::LoadDriverUnit:
    case CommandAction::ConfigureDriver:
    case CommandAction::EditDriverUnit:
    case CommandAction::LoadRearDriverUnit:
    case CommandAction::ConfigureRearDriver:
    case CommandAction::ShowTransientResponse:
    case CommandAction::ShowRoomCabinet:
    case CommandAction::ShowMaxSpl:
    case CommandAction::EditSnapshot:
        routeBoxCommand(id);
        break;
    case CommandAction::ShowMaxSplHelp:
        TBaseDialog::showHelpFile(QStringLiteral("maxspl.txt"));
        break;
    case CommandAction::SectionNetwork:
    case CommandAction::SectionDriver:
    case CommandAction::NetNetwork:
    case CommandAction::NetDriver:
    case CommandAction::General:
    case CommandAction::FilterMusic:
    case CommandAction::FilterExportTotal:
    case CommandAction::SectionExport:
    case CommandAction::NetExport:
        routeFilterCommand(id);
        break;
    }
    // Edits that post no notification (a user note) are steps too.
    scheduleUndoRecord();
    refresh();
}

void TMainWindow::routeBoxCommand(int id) {
    if (xover_) {
        routeFilterCommand(id);
        return;
    }
    if (!box_) return;
    const CommandInfo* c = findCommand(id);
    const CommandAction action = c->action;
    if (action == CommandAction::Save) {
        storeSheetPlacement(box_.get(), windows_.get());
        (void)box_->Save();
        openFileData_.rememberedPath = box_->projectSelector().rememberedPath;
    } else if (action == CommandAction::SaveAs) {
        storeSheetPlacement(box_.get(), windows_.get());
        (void)box_->SaveAs();
        openFileData_.rememberedPath = box_->projectSelector().rememberedPath;
    } else if (action == CommandAction::PrintDiagrams) {
        printDiagrams();
    } else if (action == CommandAction::BoxExport) {
        box_->Export(c->arg);
    } else if (action == CommandAction::Calculate) {
        box_->Calculate(0);
    } else if (action == CommandAction::LoadDriverUnit) {
        box_->LoadDriverUnit();
    } else if (action == CommandAction::LoadRearDriverUnit) {
        box_->LoadRearDriverUnit();
    } else if (action == CommandAction::ShowMaxSpl) {
        if (windows_) windows_->showMaxSpl();
    } else {
        openDialogFor(id);
    }
}

void TMainWindow::openDialogFor(int id) {
    if (!box_ || !windows_) return;
    QPointer<TMainWindow> self(this);
    const ProjectDialogContext context{*box_, host_, this,
                                       [self](int code) {
                                           if (self) self->postProjectChanged(code);
                                       },
                                       &windows_->unitEditorRecord()};
    QWidget* dialog =
        id == cmd::TransientResp ? openStepRespDialog(this, *box_, host_) : openProjectDialog(id, context);
    if (!dialog) return;
    if (id == cmd::Snapshot) windows_->showSnapshot();
    if (id == cmd::TransientResp) windows_->showTransientResponse();
    if (id == cmd::RoomCabinet) windows_->showRoomCabinet();
    windows_->adopt(dialog);
    const std::optional<ProjectDialog> kind = dialogOfCommand(id);
    if (kind) box_->setDialogOpen(*kind, true);
    host_.grey(id);
    rememberDialog(id, dialog);
    TBoxEmbryo* project = box_.get();
    connect(dialog, &QObject::destroyed, this, [self, project, kind, id] {
        // The project's windows go first when it closes, so it is still there.
        if (!self || self->box_.get() != project) return;
        if (kind) project->setDialogOpen(*kind, false);
        self->host_.enable(id);
    });
}

void TMainWindow::showAbout() {
    TAboutDialog about(this);
    execDialog(about);
}

void TMainWindow::showYankee() {
    if (yankee_) {
        yankee_->raise();
        return;
    }
    auto* tool = new TYankee(this);
    tool->setAttribute(Qt::WA_DeleteOnClose);
    yankee_ = tool;
    host_.grey(cmd::Yankee);
    connect(tool, &QObject::destroyed, this, [this] { host_.enable(cmd::Yankee); });
    tool->show();
}

void TMainWindow::newInstance() {
    const QString exe = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    if (!hooks_.startDetached(qs(programPath(exe.toStdString())))) host_.beep();
}

void TMainWindow::showTextFile(const QString& path) {
    hooks_.showTextFile(path);
}

void TMainWindow::arrangeIcons() {
    // Minimised windows in rows along the bottom of the client area, left to right.
    const QSize space = mdi_->viewport()->size();
    int x = 0;
    int bottom = space.height();
    // The project's windows went into the area last to first.
    const QList<QMdiSubWindow*> windows = mdi_->subWindowList(QMdiArea::CreationOrder);
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        QMdiSubWindow* s = *it;
        if (!s->isMinimized()) continue;
        const QSize size = s->size();
        if (x > 0 && x + size.width() > space.width()) {
            x = 0;
            bottom -= size.height();
        }
        s->move(x, bottom - size.height());
        x += size.width();
    }
}

void TMainWindow::defaultSize() {
    if (filterWindows_) {
        if (DiagramView* v = filterWindows_->activeDiagram()) v->restoreDefaultSize();
        return;
    }
    if (!windows_) return;
    DiagramView* v = windows_->activeDiagram();
    if (!v) return;
    v->restoreDefaultSize();
    // The snapshot window's placement is part of the project.
    if (v == windows_->snapshotView()) postProjectChanged(TSnapshot::kChangeCode);
}

void TMainWindow::copyWindow() {
    if (filterWindows_) {
        if (const DiagramView* v = filterWindows_->activeDiagram()) {
            if (!v->copyToClipboard()) host_.beep();
        } else if (TSchematicWindow* s = filterWindows_->activeSchematic()) {
            (void)s->copyToClipboard();
        }
        return;
    }
    if (!windows_) return;
    if (const DiagramView* v = windows_->activeDiagram()) {
        if (!v->copyToClipboard()) host_.beep();
        return;
    }
    if (windows_->dataSheetActive()) QGuiApplication::clipboard()->setText(windows_->dataSheet()->contents());
}

void TMainWindow::userNote() {
    if (xover_ && filterWindows_) {
        DiagramView* v = filterWindows_->activeDiagram();
        if (!v) return;
        TInputDialog dialog(this, QStringLiteral("User note"), v->userNote(), DiagramModel::kNoteSize - 1);
        if (execDialog(dialog) != TBaseDialog::ResultOk) return;
        v->setUserNote(dialog.text());
        xover_->MarkChanged();
        return;
    }
    if (!box_ || !windows_) return;
    // A diagram window keeps a short note of its own.
    if (DiagramView* v = windows_->activeDiagram()) {
        TInputDialog dialog(this, QStringLiteral("User note"), v->userNote(), DiagramModel::kNoteSize - 1);
        if (execDialog(dialog) != TBaseDialog::ResultOk) return;
        v->setUserNote(dialog.text());
        box_->markChanged();
        return;
    }
    TInputDialog dialog(this, QStringLiteral("User note"), noteForDisplay(box_->userNote()),
                        TBoxEmbryo::kUserNoteSize - 1);
    if (execDialog(dialog) != TBaseDialog::ResultOk) return;
    box_->setUserNote(toModelText(dialog.text(), TBoxEmbryo::kUserNoteSize - 1));
}

void TMainWindow::printWindow() {
    if (filterWindows_) {
        DiagramView* diagram = filterWindows_->activeDiagram();
        TSchematicWindow* schematic = filterWindows_->activeSchematic();
        if ((!diagram || !diagram->model()) && !schematic) return;
        QPrinter printer(QPrinter::HighResolution);
        if (!hooks_.choosePrinter(printer)) return;
        host_.setWaitCursor(true);
        const bool ok = diagram && diagram->model()
                            ? printDiagramWindow(printer, *diagram->model(), diagram->optionsHook())
                            : printSchematicWindow(printer, *schematic);
        host_.setWaitCursor(false);
        if (!ok) host_.error("Print", "The printer could not be started.");
        return;
    }
    if (!windows_) return;
    DiagramView* diagram = windows_->activeDiagram();
    const bool sheet = !diagram && windows_->dataSheetActive();
    if (!diagram && !sheet) return;
    QPrinter printer(QPrinter::HighResolution);
    if (!hooks_.choosePrinter(printer)) return;
    host_.setWaitCursor(true);
    const bool ok =
        diagram && diagram->model()
            ? printDiagramWindow(printer, *diagram->model(), diagram->optionsHook())
            : printTextWindow(printer, QStringLiteral("Data sheet"), windows_->dataSheet()->contents());
    host_.setWaitCursor(false);
    if (!ok) host_.error("Print", "The printer could not be started.");
}

void TMainWindow::printDiagrams() {
    if (xover_) {
        printFilterDiagrams();
        return;
    }
    if (!box_ || !windows_) return;
    // SPL, room, impedance, excursion, transient, group delay, then the type's own windows.
    std::vector<const DiagramModel*> pick;
    for (const DiagramModel* m : projectDiagrams(*box_))
        pick.push_back(m);
    pick.insert(pick.begin() + 1, &box_->roomCabinet().window());
    pick.insert(pick.begin() + 4, &box_->transientResponse().window());
    TPrintDiagramsDialog dialog(this, host_, pick, windows_->printSettings);
    if (execDialog(dialog) != TBaseDialog::ResultOk) return;
    windows_->printSettings = dialog.settings();
    const PrintDiagramsSettings& s = windows_->printSettings;

    QPrinter printer(QPrinter::HighResolution);
    if (!hooks_.choosePrinter(printer)) return;
    PrintHeader header;
    header.heading = qs(box_->heading());
    if (s.printDate) header.date = printDateText();
    if (s.printProjectName && !box_->projectFileName().empty())
        header.fileName = qs(strprintf("Filename   %s", fileNamePart(box_->projectFileName()).c_str()));
    host_.setWaitCursor(true);
    const bool ok = harlox::printDiagrams(printer, s.selected, s.perPage, header);
    host_.setWaitCursor(false);
    if (!ok) host_.error("Print", "The printer could not be started.");
}

} // namespace harlox
