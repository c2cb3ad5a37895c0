#include "gui/box_project_windows.h"

#include "box/box_embryo.h"
#include "box/max_spl.h"
#include "box/room_cabinet.h"
#include "core/diagram_model.h"
#include "gui/diagram_view.h"
#include "gui/info_win.h"
#include "gui/mdi_placement.h"
#include "gui/model_text.h"
#include "gui/room_cabinet_dialog.h"
#include "gui/snapshot_dialog.h"
#include "gui/snapshot_model.h"
#include "gui/speaker_unit_dialog.h"
#include "gui/step_resp_dialog.h"
#include "transient/step_response.h"

#include <QEvent>
#include <QMdiArea>
#include <QMdiSubWindow>

#include <algorithm>

namespace harlox {

namespace {

QString noteForDisplay(const std::string& note) {
    QString s = fromModelText(note);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s;
}

} // namespace

std::vector<DiagramModel*> projectDiagrams(TBoxEmbryo& project) {
    std::vector<DiagramModel*> d{&project.splWindow(), &project.impedanceWindow(), &project.excursionWindow(),
                                 &project.groupDelayWindow()};
    // The type's own windows follow the four every project has.
    const auto all = project.diagramWindows();
    for (std::size_t i = 4; i < all.size(); ++i)
        d.push_back(all[i]);
    return d;
}

BoxProjectWindows::BoxProjectWindows(TBoxEmbryo& project, QMdiArea& area)
    : QObject(&area), project_(project), area_(area), models_(projectDiagrams(project)) {
    for (DiagramModel* m : models_) {
        auto* view = new DiagramView(m);
        views_.push_back(view);
        subs_.push_back(addWindow(view, fromModelText(m->title())));
    }
    sheet_ = new TInfoWin;
    subs_.push_back(addWindow(sheet_, QStringLiteral("Data sheet")));

    TSnapshot& snapshot = project_.snapshot();
    snapshotView_ = new DiagramView(&snapshot.window());
    snapshotView_->setOptionsHook([&snapshot](RenderOptions& o) { addSnapshotDrawing(snapshot, o); });
    snapshotView_->setDefaultSize(QSize(TSnapshotDialog::kWindowWidth, TSnapshotDialog::kWindowHeight));
    snapshotSub_ = addWindow(snapshotView_, fromModelText(snapshot.window().title()));
    // Putting it aside at the start is not a placement of the user's: nothing is stored.
    snapshotSub_->removeEventFilter(this);
    area_.addSubWindow(snapshotSub_);
    snapshotSub_->resize(snapshotSub_->sizeHint());
    snapshotSub_->showMinimized();
    snapshotSub_->installEventFilter(this);

    DiagramModel& room = project_.roomCabinet().window();
    roomView_ = new DiagramView(&room);
    roomSub_ = addWindow(roomView_, fromModelText(room.title()));
    roomSub_->removeEventFilter(this);
    area_.addSubWindow(roomSub_);
    roomSub_->resize(roomSub_->sizeHint());
    roomSub_->showMinimized();
    roomSub_->installEventFilter(this);

    TMaxSpl& maxSpl = project_.maxSpl();
    for (std::size_t i = 0; i < maxSpl_.size(); ++i) {
        DiagramModel& m = i == 0 ? maxSpl.window() : maxSpl.voltageWindow();
        SideWindow& w = maxSpl_[i];
        w.view = new DiagramView(&m);
        w.sub = addWindow(w.view, fromModelText(m.title()));
        w.sub->removeEventFilter(this);
        area_.addSubWindow(w.sub);
        w.sub->resize(w.sub->sizeHint());
        w.sub->showMinimized();
        w.sub->installEventFilter(this);
    }

    TStepResponse& transient = project_.transientResponse();
    transientView_ = new DiagramView(&transient.window());
    transientView_->setOptionsHook([&transient](RenderOptions& o) { addTransientDrawing(transient, o); });
    transientSub_ = addWindow(transientView_, fromModelText(transient.window().title()));
    area_.addSubWindow(transientSub_);
    transientSub_->show();

    // The area tiles and cascades the newest window first: the SPL window goes in last.
    for (auto it = subs_.rbegin(); it != subs_.rend(); ++it) {
        area_.addSubWindow(*it);
        (*it)->show();
    }
    // The sheet's text first: its widest line sets the sheet's width.
    refresh();
    defaultLayout();
}

BoxProjectWindows::~BoxProjectWindows() {
    closing_ = true;
    for (const QPointer<QWidget>& d : dialogs_)
        delete d.data();
    for (DiagramView* v : views_)
        v->setModel(nullptr);
    snapshotView_->setModel(nullptr);
    snapshotView_->setOptionsHook({});
    transientView_->setModel(nullptr);
    transientView_->setOptionsHook({});
    for (QMdiSubWindow* s : subs_) {
        s->removeEventFilter(this);
        delete s;
    }
    snapshotSub_->removeEventFilter(this);
    delete snapshotSub_;
    transientSub_->removeEventFilter(this);
    delete transientSub_;
    roomView_->setModel(nullptr);
    roomSub_->removeEventFilter(this);
    delete roomSub_;
    for (SideWindow& w : maxSpl_) {
        w.view->setModel(nullptr);
        w.sub->removeEventFilter(this);
        delete w.sub;
    }
}

QMdiSubWindow* BoxProjectWindows::addWindow(QWidget* content, const QString& title) {
    return makeProjectSubWindow(content, title, area_, this);
}

DiagramView* BoxProjectWindows::view(const DiagramModel& model) const {
    for (DiagramView* v : views_) {
        if (v->model() == &model) return v;
    }
    if (roomView_->model() == &model) return roomView_;
    if (transientView_->model() == &model) return transientView_;
    for (const SideWindow& w : maxSpl_) {
        if (w.view->model() == &model) return w.view;
    }
    return snapshotView_->model() == &model ? snapshotView_ : nullptr;
}

QMdiSubWindow* BoxProjectWindows::subWindowOf(const QWidget* content) const {
    for (QMdiSubWindow* s : subs_) {
        if (s->widget() == content) return s;
    }
    if (roomSub_->widget() == content) return roomSub_;
    if (transientSub_->widget() == content) return transientSub_;
    for (const SideWindow& w : maxSpl_) {
        if (w.sub->widget() == content) return w.sub;
    }
    return snapshotSub_->widget() == content ? snapshotSub_ : nullptr;
}

void BoxProjectWindows::showSnapshot() {
    if (!snapshotPlaced_) {
        snapshotPlaced_ = true;
        snapshotSub_->showNormal();
        snapshotSub_->setGeometry(snapshotCell_);
    }
    if (snapshotSub_->isMinimized()) snapshotSub_->showNormal();
    snapshotSub_->show();
    snapshotSub_->raise();
}

void BoxProjectWindows::showTransientResponse() {
    if (transientSub_->isMinimized()) transientSub_->showNormal();
    transientSub_->show();
    transientSub_->raise();
}

void BoxProjectWindows::closeTransientResponseDialog() {
    for (const QPointer<QWidget>& d : dialogs_) {
        if (auto* dialog = qobject_cast<TStepRespDialog*>(d.data())) dialog->closeNow();
    }
}

void BoxProjectWindows::showRoomCabinet() {
    if (!roomPlaced_) {
        roomPlaced_ = true;
        roomSub_->showNormal();
        roomSub_->setGeometry(roomCell_);
    }
    if (roomSub_->isMinimized()) roomSub_->showNormal();
    roomSub_->show();
    roomSub_->raise();
}

void BoxProjectWindows::showMaxSpl() {
    (void)project_.maxSpl();
    const bool place = !maxSplPlaced_;
    maxSplPlaced_ = true;
    for (SideWindow& w : maxSpl_) {
        if (place || w.sub->isMinimized()) w.sub->showNormal();
        if (place) w.sub->setGeometry(w.cell);
        w.sub->show();
        w.sub->raise();
    }
}

DiagramView* BoxProjectWindows::activeDiagram() const {
    const QMdiSubWindow* active = area_.currentSubWindow();
    if (!active) return nullptr;
    for (DiagramView* v : views_) {
        if (active->widget() == v) return v;
    }
    if (active == roomSub_) return roomView_;
    if (active == transientSub_) return transientView_;
    for (const SideWindow& w : maxSpl_) {
        if (active == w.sub) return w.view;
    }
    return active == snapshotSub_ ? snapshotView_ : nullptr;
}

bool BoxProjectWindows::dataSheetActive() const {
    const QMdiSubWindow* active = area_.currentSubWindow();
    return active && active->widget() == sheet_;
}

void BoxProjectWindows::refresh() {
    for (std::size_t i = 0; i < views_.size(); ++i) {
        const QString title = fromModelText(models_[i]->title());
        if (subs_[i]->windowTitle() != title) subs_[i]->setWindowTitle(title);
        views_[i]->update();
    }
    const QString snapshotTitle = fromModelText(project_.snapshot().window().title());
    if (snapshotSub_->windowTitle() != snapshotTitle) snapshotSub_->setWindowTitle(snapshotTitle);
    snapshotView_->update();
    const QString transientTitle = fromModelText(project_.transientResponse().window().title());
    if (transientSub_->windowTitle() != transientTitle) transientSub_->setWindowTitle(transientTitle);
    transientView_->update();
    if (!maxSpl_[0].sub->isMinimized() || !maxSpl_[1].sub->isMinimized()) (void)project_.maxSpl();
    for (const SideWindow& w : maxSpl_)
        w.view->update();
    const QString roomTitle = fromModelText(project_.roomCabinet().window().title());
    if (roomSub_->windowTitle() != roomTitle) roomSub_->setWindowTitle(roomTitle);
    roomView_->update();
    // The room dialog lists the box's elements and shows what the calculation derived.
    for (const QPointer<QWidget>& d : dialogs_) {
        if (auto* roomDialog = qobject_cast<TRoomCabinetDialog*>(d.data())) roomDialog->refresh();
    }
    sheet_->setContents(fromModelText(project_.dataSheetText("\n")), noteForDisplay(project_.userNote()));
}

void BoxProjectWindows::defaultLayout() {
    QSize space = area_.viewport()->size();
    if (space.width() < 400 || space.height() < 300) space = QSize(1200, 800);
    const int n = static_cast<int>(views_.size());
    // The transient response window takes the cell after the diagrams, so even the four of
    // a closed box leave the grid's third column in use.
    const int cells = n + 1;
    constexpr int columns = 3;
    constexpr int kSheetMinimum = 320;
    QMdiSubWindow* first = subs_.front();
    const QSize frame = first->sizeHint() - first->widget()->sizeHint();
    // The grid fills the area beside the sheet; a strip at the bottom stays free for the
    // windows put aside (the snapshot and the room response start there).
    const int sheetW = std::clamp(sheet_->contentWidth() + frame.width(), kSheetMinimum,
                                  std::max(kSheetMinimum, space.width() / 3));
    const int iconStrip = std::max(24, frame.height());
    const int cellW = std::max(220, (space.width() - sheetW) / columns);
    const int cellH = std::max(160, (space.height() - iconStrip) / 2);
    const auto cell = [&](int i) {
        const int column = i < 4 ? i % 2 : 2;
        const int row = i < 4 ? i / 2 : (i - 4) % 2;
        return QRect(column * cellW, row * cellH, cellW, cellH);
    };
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow* s = subs_[static_cast<std::size_t>(i)];
        s->showNormal();
        s->setGeometry(cell(i));
    }
    transientSub_->showNormal();
    // With a cell to spare (a closed box) the transient response takes the whole column
    // rather than leaving a hole; the snapshot comes over its lower half when shown.
    transientSub_->setGeometry(cells < 2 * columns ? cell(n).united(cell(cells)) : cell(n));
    // The snapshot goes to a free cell, or over the group delay, beside the SPL window it is
    // compared with.
    snapshotCell_ = cell(cells < 2 * columns ? cells : 3);
    // The room response goes beside the free-air SPL it is compared with.
    roomCell_ = cell(1);
    maxSpl_[0].cell = cell(0);
    maxSpl_[1].cell = cell(2);
    QMdiSubWindow* sheet = subs_.back();
    const int x = columns * cellW;
    const int w = std::max(kSheetMinimum, space.width() - x);
    sheet->showNormal();
    sheet->setGeometry(std::min(x, std::max(0, space.width() - w)), 0, w, std::max(2 * cellH, space.height()));
}

void BoxProjectWindows::applyStoredPlacements() {
    for (std::size_t i = 0; i < views_.size(); ++i)
        applyPlacement(*subs_[i], models_[i]->placement);
    applyPlacement(*transientSub_, project_.transientResponse().window().placement);
    if (applyPlacement(*snapshotSub_, project_.snapshot().window().placement)) snapshotPlaced_ = true;
    if (applyPlacement(*roomSub_, project_.roomCabinet().window().placement)) roomPlaced_ = true;
}

void BoxProjectWindows::restore(const DiagramModel& model) {
    for (std::size_t i = 0; i < models_.size(); ++i) {
        if (models_[i] == &model && subs_[i]->isMinimized()) subs_[i]->showNormal();
    }
    if (&model == &project_.transientResponse().window() && transientSub_->isMinimized())
        transientSub_->showNormal();
}

void BoxProjectWindows::adopt(QWidget* dialog) {
    dialogs_.erase(
        std::remove_if(dialogs_.begin(), dialogs_.end(), [](const QPointer<QWidget>& p) { return !p; }),
        dialogs_.end());
    if (dialog) dialogs_.emplace_back(dialog);
}

bool BoxProjectWindows::canCloseDialogs() {
    for (const QPointer<QWidget>& d : dialogs_) {
        auto* editor = qobject_cast<TSpeakerUnitDialog*>(d.data());
        if (editor && !editor->editor().CanClose()) {
            editor->refresh();
            return false;
        }
    }
    return true;
}

DiagramModel* BoxProjectWindows::modelOf(const QMdiSubWindow* sub) const {
    if (sub == snapshotSub_) return &project_.snapshot().window();
    if (sub == transientSub_) return &project_.transientResponse().window();
    if (sub == roomSub_) return &project_.roomCabinet().window();
    const auto it = std::find(subs_.begin(), subs_.end(), sub);
    const auto index = static_cast<std::size_t>(it - subs_.begin());
    return it == subs_.end() || index >= models_.size() ? nullptr : models_[index];
}

bool BoxProjectWindows::eventFilter(QObject* watched, QEvent* event) {
    auto* sub = qobject_cast<QMdiSubWindow*>(watched);
    if (!sub || closing_) return QObject::eventFilter(watched, event);
    const QEvent::Type type = event->type();
    if (type == QEvent::Close) {
        // The project owns its windows: closing one puts it aside.
        event->ignore();
        sub->showMinimized();
        return true;
    }
    if (type == QEvent::Move || type == QEvent::Resize || type == QEvent::WindowStateChange)
        if (DiagramModel* model = modelOf(sub)) storePlacement(*sub, model->placement);
    return QObject::eventFilter(watched, event);
}

} // namespace harlox
