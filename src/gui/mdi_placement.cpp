#include "gui/mdi_placement.h"

#include "core/diagram_model.h"

#include <QMdiArea>
#include <QMdiSubWindow>

#include <cstdint>

namespace harlox {

namespace {
enum ShowState : std::int16_t { kShowNormal = 1, kShowMinimized = 2, kShowMaximized = 3 };
} // namespace

bool applyPlacement(QMdiSubWindow& s, const WindowPlacement& placement) {
    // A copy: every step below may store the window's placement into the record again.
    const auto v = placement.v;
    const QRect normal(QPoint(v[6], v[7]), QPoint(v[8] - 1, v[9] - 1));
    if (normal.width() <= 0 || normal.height() <= 0) return false;
    s.showNormal();
    s.setGeometry(normal);
    if (v[1] == kShowMinimized) {
        s.showMinimized();
        s.move(v[2], v[3]);
    }
    if (v[1] == kShowMaximized) s.showMaximized();
    return true;
}

void storePlacement(const QMdiSubWindow& sub, WindowPlacement& placement) {
    auto& v = placement.v;
    v[0] = 0;
    if (sub.isMinimized()) {
        v[1] = kShowMinimized;
        v[2] = static_cast<std::int16_t>(sub.x());
        v[3] = static_cast<std::int16_t>(sub.y());
        return;
    }
    if (sub.isMaximized()) {
        v[1] = kShowMaximized;
        v[4] = -1;
        v[5] = -1;
        return;
    }
    v[1] = kShowNormal;
    const QRect g = sub.geometry();
    v[6] = static_cast<std::int16_t>(g.left());
    v[7] = static_cast<std::int16_t>(g.top());
    v[8] = static_cast<std::int16_t>(g.left() + g.width());
    v[9] = static_cast<std::int16_t>(g.top() + g.height());
}

QMdiSubWindow* makeProjectSubWindow(QWidget* content, const QString& title, const QMdiArea& area, QObject* filter) {
    auto* sub = new QMdiSubWindow;
    sub->setWidget(content);
    sub->setWindowTitle(title);
    sub->setWindowIcon(area.window()->windowIcon());
    sub->setAttribute(Qt::WA_DeleteOnClose, false);
    sub->installEventFilter(filter);
    return sub;
}

} // namespace harlox
