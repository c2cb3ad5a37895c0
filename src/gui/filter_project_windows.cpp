#include "gui/filter_project_windows.h"

#include "core/diagram_model.h"
#include "filter/net_a.h"
#include "filter/xover.h"
#include "gui/branch_type_dialogs.h"
#include "gui/diagram_view.h"
#include "gui/general_dialog.h"
#include "gui/mdi_placement.h"
#include "gui/model_text.h"
#include "gui/net_a_dialog.h"
#include "gui/off_axis_plots.h"
#include "gui/schematic_view.h"

#include <QEvent>
#include <QMdiArea>
#include <QMdiSubWindow>

#include <algorithm>

namespace harlox {

namespace {

// More windows than this in the grid would make each too small to read.
constexpr int kGridWindows = 9;

} // namespace

FilterProjectWindows::FilterProjectWindows(TXover& project, QMdiArea& area, UiHost& ui, ExecDialog exec)
    : QObject(&area), project_(project), area_(area), ui_(ui), exec_(std::move(exec)),
      models_(project.DiagramWindows()) {
    for (DiagramModel* m : models_) {
        auto* view = new DiagramView(m);
        if (m == &project_.SurfaceWindow()) view->setOptionsHook(surfacePlotHook(project_));
        if (m == &project_.OverlayWindow()) view->setOptionsHook(overlayPlotHook(project_));
        views_.push_back(view);
        subs_.push_back(addWindow(view, fromModelText(m->title())));
    }
    if (project_.IsSimple()) {
        auto* s = new TSchematicWindow(project_, ui_);
        schematics_.push_back(s);
        subs_.push_back(addWindow(s, QStringLiteral("Schematic")));
    } else {
        for (int i = 0; i < project_.NetCount(); ++i) {
            TNetA* net = project_.AdvancedNet(i);
            if (!net) continue;
            auto* s = new TSchematicWindow(*net, ui_, [this](TBranchA& b) { return modifyBranch(b); });
            schematics_.push_back(s);
            subs_.push_back(addWindow(s, QStringLiteral("Schematic, Net %1").arg(i + 1)));
        }
    }
    // The area tiles and cascades the newest window first: the first one goes in last.
    for (auto it = subs_.rbegin(); it != subs_.rend(); ++it) {
        area_.addSubWindow(*it);
        (*it)->show();
    }
    defaultLayout();
    refresh();
}

FilterProjectWindows::~FilterProjectWindows() {
    closing_ = true;
    for (const QPointer<QWidget>& d : dialogs_)
        delete d.data();
    for (DiagramView* v : views_) {
        v->setModel(nullptr);
        v->setOptionsHook({});
    }
    for (QMdiSubWindow* s : subs_) {
        s->removeEventFilter(this);
        delete s;
    }
}

QMdiSubWindow* FilterProjectWindows::addWindow(QWidget* content, const QString& title) {
    return makeProjectSubWindow(content, title, area_, this);
}

DiagramView* FilterProjectWindows::view(const DiagramModel& model) const {
    for (DiagramView* v : views_) {
        if (v->model() == &model) return v;
    }
    return nullptr;
}

QMdiSubWindow* FilterProjectWindows::subWindowOf(const QWidget* content) const {
    for (QMdiSubWindow* s : subs_) {
        if (s->widget() == content) return s;
    }
    return nullptr;
}

DiagramView* FilterProjectWindows::activeDiagram() const {
    const QMdiSubWindow* active = area_.currentSubWindow();
    return active ? qobject_cast<DiagramView*>(active->widget()) : nullptr;
}

TSchematicWindow* FilterProjectWindows::activeSchematic() const {
    const QMdiSubWindow* active = area_.currentSubWindow();
    return active ? qobject_cast<TSchematicWindow*>(active->widget()) : nullptr;
}

void FilterProjectWindows::refresh() {
    for (std::size_t i = 0; i < views_.size(); ++i) {
        const QString title = fromModelText(models_[i]->title());
        if (subs_[i]->windowTitle() != title) subs_[i]->setWindowTitle(title);
        views_[i]->update();
    }
    for (TSchematicWindow* s : schematics_)
        s->refresh();
    // A branch changed from a schematic menu shows in the open network dialog too.
    for (const QPointer<QWidget>& d : dialogs_) {
        if (auto* net = qobject_cast<TNetADialog*>(d.data())) net->refresh();
    }
}

void FilterProjectWindows::defaultLayout() {
    // Most used first: the total, the impedance the amplifier sees, the first net's gain,
    // then phase, group delay, the off-axis views and the circuit.
    std::vector<QMdiSubWindow*> order;
    const auto add = [&](const DiagramModel& m) {
        for (std::size_t i = 0; i < models_.size(); ++i) {
            if (models_[i] == &m) order.push_back(subs_[i]);
        }
    };
    add(project_.SummedWindow());
    if (!project_.IsActive()) add(project_.ImpedanceWindow());
    if (project_.FilterGainWindowCount() > 0) add(project_.FilterGainWindow(0));
    add(project_.PhaseWindow());
    add(project_.GroupDelayWindow());
    add(project_.SurfaceWindow());
    add(project_.OverlayWindow());
    if (!schematics_.empty()) order.push_back(subWindowOf(schematics_.front()));
    for (int i = 1; i < project_.FilterGainWindowCount(); ++i)
        add(project_.FilterGainWindow(i));
    for (std::size_t i = 1; i < schematics_.size(); ++i)
        order.push_back(subWindowOf(schematics_[i]));

    QSize space = area_.viewport()->size();
    if (space.width() < 400 || space.height() < 300) space = QSize(1200, 800);
    const int shown = std::min<int>(kGridWindows, static_cast<int>(order.size()));
    const int columns = shown > 4 ? 3 : 2;
    const int rows = (shown + columns - 1) / columns;
    const int cellW = space.width() / columns;
    const int cellH = space.height() / std::max(1, rows);
    for (int i = 0; i < shown; ++i) {
        QMdiSubWindow* s = order[static_cast<std::size_t>(i)];
        const int row = i / columns;
        const int column = i % columns;
        // The last window of the grid takes what is left of its row.
        const int span = i == shown - 1 ? columns - column : 1;
        s->showNormal();
        s->setGeometry(column * cellW, row * cellH, cellW * span, cellH);
    }
    for (QMdiSubWindow* s : subs_) {
        if (std::find(order.begin(), order.begin() + shown, s) == order.begin() + shown) s->showMinimized();
    }
}

WindowPlacement* FilterProjectWindows::placementOf(const QMdiSubWindow* sub) const {
    const auto it = std::find(subs_.begin(), subs_.end(), sub);
    if (it == subs_.end()) return nullptr;
    const auto index = static_cast<std::size_t>(it - subs_.begin());
    if (index < models_.size()) return &models_[index]->placement;
    const std::size_t s = index - models_.size();
    if (project_.IsSimple()) return &project_.schematicPlacement;
    return s < project_.netSchematicPlacement.size() ? &project_.netSchematicPlacement[s] : nullptr;
}

void FilterProjectWindows::applyStoredPlacements() {
    for (QMdiSubWindow* s : subs_) {
        if (const WindowPlacement* p = placementOf(s)) {
            const WindowPlacement stored = *p;
            applyPlacement(*s, stored);
        }
    }
}

void FilterProjectWindows::adopt(QWidget* dialog) {
    dialogs_.erase(
        std::remove_if(dialogs_.begin(), dialogs_.end(), [](const QPointer<QWidget>& p) { return !p; }),
        dialogs_.end());
    if (dialog) dialogs_.emplace_back(dialog);
}

bool FilterProjectWindows::modifyBranch(TBranchA& branch) {
    return harlox::modifyBranch(area_.window(), branch, ui_, exec_);
}

bool FilterProjectWindows::eventFilter(QObject* watched, QEvent* event) {
    auto* sub = qobject_cast<QMdiSubWindow*>(watched);
    if (!sub || closing_) return QObject::eventFilter(watched, event);
    const QEvent::Type type = event->type();
    if (type == QEvent::Close) {
        // The project owns its windows: closing one puts it aside.
        event->ignore();
        sub->showMinimized();
        return true;
    }
    if (type == QEvent::Move || type == QEvent::Resize || type == QEvent::WindowStateChange) {
        if (WindowPlacement* p = placementOf(sub)) storePlacement(*sub, *p);
    }
    return QObject::eventFilter(watched, event);
}

} // namespace harlox
