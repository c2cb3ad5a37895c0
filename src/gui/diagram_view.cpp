#include "gui/diagram_view.h"

#include "core/diagram_model.h"
#include "gui/model_text.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <utility>

namespace harlox {

DiagramView::DiagramView(DiagramModel* model, QWidget* parent) : QWidget(parent), model_(model) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::CrossCursor);
}

void DiagramView::setModel(DiagramModel* model) {
    model_ = model;
    update();
}

double DiagramView::screenUnit() const {
    return std::clamp(DiagramRenderer::autoUnit(QSizeF(size())), 0.85, 1.35);
}

void DiagramView::setOptionsHook(OptionsHook hook) {
    optionsHook_ = std::move(hook);
    update();
}

RenderOptions DiagramView::renderOptions(double unit) const {
    RenderOptions o;
    o.unit = unit;
    if (optionsHook_) optionsHook_(o);
    return o;
}

RenderOptions DiagramView::options() const {
    return renderOptions(screenUnit());
}

void DiagramView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!model_) {
        p.fillRect(rect(), Qt::white);
        return;
    }
    DiagramRenderer::render(p, QRectF(rect()), *model_, options());
}

void DiagramView::setCursorFromPosition(const QPointF& pos) {
    if (!model_) return;
    const RenderOptions o = options();
    if (!(o.xRange ? o.xRange->valid : model_->xRange().valid)) return;
    const DiagramLayout l = DiagramRenderer::layout(QRectF(rect()), *model_, o);
    if (pos.x() < l.plot.left() || pos.x() > l.plot.right() || pos.y() < l.plot.top() ||
        pos.y() > l.plot.bottom())
        return;
    const double x = l.x.toValue(pos.x());
    if (!std::isfinite(x)) return;
    model_->setCursor(x);
    emit cursorMoved(x);
    update();
}

void DiagramView::mouseMoveEvent(QMouseEvent* event) {
    setCursorFromPosition(event->position());
}

void DiagramView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) setCursorFromPosition(event->position());
    QWidget::mousePressEvent(event);
}

void DiagramView::clearCursor() {
    if (model_) model_->clearCursor();
    update();
}

void DiagramView::restoreDefaultSize() {
    const QSize wanted = defaultSize_;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) {
        if (sub->isMinimized() || sub->isMaximized()) return;
        sub->resize(sub->size() - size() + wanted);
        return;
    }
    if (isWindow() && (isMinimized() || isMaximized())) return;
    resize(wanted);
}

QString DiagramView::userNote() const {
    return model_ ? fromModelText(model_->note()) : QString();
}

void DiagramView::setUserNote(const QString& note) {
    if (!model_) return;
    model_->setNote(toModelText(note, DiagramModel::kNoteSize - 1));
    emit noteChanged();
    update();
}

QImage DiagramView::grabDiagram() const {
    const qreal dpr = devicePixelRatioF();
    if (!model_) {
        QImage img((QSizeF(size()) * dpr).toSize(), QImage::Format_ARGB32_Premultiplied);
        img.setDevicePixelRatio(dpr);
        img.fill(Qt::white);
        return img;
    }
    return DiagramRenderer::toImage(*model_, size(), options(), dpr);
}

bool DiagramView::copyToClipboard() const {
    const QImage img = grabDiagram();
    if (img.isNull()) return false;
    QGuiApplication::clipboard()->setImage(img);
    return true;
}

} // namespace harlox
