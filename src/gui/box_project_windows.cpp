#include "gui/box_project_windows.h"

#include "box/box_embryo.h"
#include "core/diagram_model.h"
#include "gui/diagram_view.h"
#include "gui/info_win.h"
#include "gui/model_text.h"
#include "gui/snapshot_dialog.h"
#include "gui/snapshot_model.h"
#include "gui/speaker_unit_dialog.h"

#include <QEvent>
#include <QMdiArea>
#include <QMdiSubWindow>

#include <algorithm>

namespace harlox {

namespace {

enum ShowState : std::int16_t { kShowNormal = 1, kShowMinimized = 2, kShowMaximized = 3 };

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

    // The area tiles and cascades the newest window first: the SPL window goes in last.
    for (auto it = subs_.rbegin(); it != subs_.rend(); ++it) {
        area_.addSubWindow(*it);
        (*it)->show();
    }
    defaultLayout();
    refresh();
}

BoxProjectWindows::~BoxProjectWindows() {
    closing_ = true;
    for (const QPointer<QWidget>& d : dialogs_)
        delete d.data();
    for (DiagramView* v : views_)
        v->setModel(nullptr);
    snapshotView_->setModel(nullptr);
    snapshotView_->setOptionsHook({});
    for (QMdiSubWindow* s : subs_) {
        s->removeEventFilter(this);
        delete s;
    }
    snapshotSub_->removeEventFilter(this);
    delete snapshotSub_;
}

QMdiSubWindow* BoxProjectWindows::addWindow(QWidget* content, const QString& title) {
    auto* sub = new QMdiSubWindow;
    sub->setWidget(content);
    sub->setWindowTitle(title);
    sub->setWindowIcon(area_.window()->windowIcon());
    sub->setAttribute(Qt::WA_DeleteOnClose, false);
    sub->installEventFilter(this);
    return sub;
}

DiagramView* BoxProjectWindows::view(const DiagramModel& model) const {
    for (DiagramView* v : views_) {
        if (v->model() == &model) return v;
    }
    return snapshotView_->model() == &model ? snapshotView_ : nullptr;
}

QMdiSubWindow* BoxProjectWindows::subWindowOf(const QWidget* content) const {
    for (QMdiSubWindow* s : subs_) {
        if (s->widget() == content) return s;
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

DiagramView* BoxProjectWindows::activeDiagram() const {
    const QMdiSubWindow* active = area_.currentSubWindow();
    if (!active) return nullptr;
    for (DiagramView* v : views_) {
        if (active->widget() == v) return v;
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
    sheet_->setContents(fromModelText(project_.dataSheetText("\n")), noteForDisplay(project_.userNote()));
}

void BoxProjectWindows::defaultLayout() {
    QSize space = area_.viewport()->size();
    if (space.width() < 400 || space.height() < 300) space = QSize(1200, 800);
    const int n = static_cast<int>(views_.size());
    const int columns = n <= 4 ? 2 : 3;
    constexpr int kSheetMinimum = 320;
    QMdiSubWindow* first = subs_.front();
    const QSize frame = first->sizeHint() - first->widget()->sizeHint();
    const int cellW = std::max(
        220, std::min(DiagramView::kDefaultWidth + frame.width(), (space.width() - kSheetMinimum) / columns));
    const int cellH =
        std::max(160, std::min(DiagramView::kDefaultHeight + frame.height(), space.height() / 2));
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
    // The snapshot goes to a free cell, or over the group delay, beside the SPL window it is
    // compared with.
    snapshotCell_ = cell(n < 2 * columns ? n : 3);
    QMdiSubWindow* sheet = subs_.back();
    const int x = columns * cellW;
    const int w = std::max(kSheetMinimum, space.width() - x);
    sheet->showNormal();
    sheet->setGeometry(std::min(x, std::max(0, space.width() - w)), 0, w, std::max(cellH, space.height()));
}

bool BoxProjectWindows::applyPlacement(QMdiSubWindow* s, const DiagramModel& model) {
    // A copy: every step below stores the window's placement into the model again.
    const auto v = model.placement.v;
    const QRect normal(QPoint(v[6], v[7]), QPoint(v[8] - 1, v[9] - 1));
    if (normal.width() <= 0 || normal.height() <= 0) return false;
    s->showNormal();
    s->setGeometry(normal);
    if (v[1] == kShowMinimized) {
        s->showMinimized();
        s->move(v[2], v[3]);
    }
    if (v[1] == kShowMaximized) s->showMaximized();
    return true;
}

void BoxProjectWindows::applyStoredPlacements() {
    for (std::size_t i = 0; i < views_.size(); ++i)
        applyPlacement(subs_[i], *models_[i]);
    if (applyPlacement(snapshotSub_, project_.snapshot().window())) snapshotPlaced_ = true;
}

void BoxProjectWindows::restore(const DiagramModel& model) {
    for (std::size_t i = 0; i < models_.size(); ++i) {
        if (models_[i] == &model && subs_[i]->isMinimized()) subs_[i]->showNormal();
    }
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
    const auto it = std::find(subs_.begin(), subs_.end(), sub);
    const auto index = static_cast<std::size_t>(it - subs_.begin());
    return it == subs_.end() || index >= models_.size() ? nullptr : models_[index];
}

void BoxProjectWindows::storePlacement(QMdiSubWindow* sub) {
    DiagramModel* model = modelOf(sub);
    if (!model) return;
    auto& v = model->placement.v;
    v[0] = 0;
    if (sub->isMinimized()) {
        v[1] = kShowMinimized;
        v[2] = static_cast<std::int16_t>(sub->x());
        v[3] = static_cast<std::int16_t>(sub->y());
        return;
    }
    if (sub->isMaximized()) {
        v[1] = kShowMaximized;
        v[4] = -1;
        v[5] = -1;
        return;
    }
    v[1] = kShowNormal;
    const QRect g = sub->geometry();
    v[6] = static_cast<std::int16_t>(g.left());
    v[7] = static_cast<std::int16_t>(g.top());
    v[8] = static_cast<std::int16_t>(g.left() + g.width());
    v[9] = static_cast<std::int16_t>(g.top() + g.height());
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
        storePlacement(sub);
    return QObject::eventFilter(watched, event);
}

} // namespace harlox
