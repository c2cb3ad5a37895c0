#include "gui/schematic_view.h"

#include "core/ui_host.h"
#include "filter/net_a.h"
#include "filter/xover.h"
#include "gui/schematic_painter.h"

#include <QAction>
#include <QActionGroup>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace harlox {

// The drawing surface inside the scroll area.
class TSchematicWindow::Canvas : public QWidget {
public:
    explicit Canvas(TSchematicWindow& owner) : QWidget(nullptr), owner_(owner) {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        const QSizeF natural = owner_.naturalSize();
        owner_.render(p, QRectF(QPointF(0, 0), natural * owner_.scale_), false);
    }

private:
    TSchematicWindow& owner_;
};

TSchematicWindow::TSchematicWindow(TXover& simpleProject, UiHost& ui, QWidget* parent)
    : QWidget(parent), project_(&simpleProject), ui_(ui) {
    build();
}

TSchematicWindow::TSchematicWindow(TNetA& net, UiHost& ui, std::function<bool(TBranchA&)> modifyBranch,
                                   QWidget* parent)
    : QWidget(parent), net_(&net), ui_(ui), modifyBranch_(std::move(modifyBranch)) {
    build();
}

void TSchematicWindow::build() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    if (net_) buildMenus();
    if (menuBar_) layout->setMenuBar(menuBar_);
    scroll_ = new QScrollArea(this);
    scroll_->setWidgetResizable(false);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setBackgroundRole(QPalette::Base);
    canvas_ = new Canvas(*this);
    scroll_->setWidget(canvas_);
    layout->addWidget(scroll_);
    updateCanvas();
}

void TSchematicWindow::buildMenus() {
    menuBar_ = new QMenuBar(this);
    QMenu* modify = menuBar_->addMenu(QStringLiteral("&Modify branch"));
    for (int i = 0; i < TNetA::kBranches; ++i) {
        QAction* a = modify->addAction(QStringLiteral("Branch &%1").arg(i + 1));
        connect(a, &QAction::triggered, this, [this, i] {
            if (modifyBranch_ && modifyBranch_(net_->Branch(i))) refresh();
        });
    }
    QMenu* phase = menuBar_->addMenu(QStringLiteral("&Driver phase"));
    auto* group = new QActionGroup(this);
    normal_ = phase->addAction(QStringLiteral("&Normal"));
    inverted_ = phase->addAction(QStringLiteral("&Inverted"));
    for (QAction* a : {normal_, inverted_}) {
        a->setCheckable(true);
        group->addAction(a);
    }
    connect(normal_, &QAction::triggered, this, [this] { setPhase(false); });
    connect(inverted_, &QAction::triggered, this, [this] { setPhase(true); });
    // The driver dialog can change the polarity too.
    connect(phase, &QMenu::aboutToShow, this,
            [this] { (net_->polarityInverted ? inverted_ : normal_)->setChecked(true); });
    (net_->polarityInverted ? inverted_ : normal_)->setChecked(true);
}

void TSchematicWindow::setPhase(bool inverted) {
    const std::uint8_t v = inverted ? 1 : 0;
    if (net_->polarityInverted != v) {
        net_->polarityInverted = v;
        net_->Edited();
    }
    refresh();
}

QSizeF TSchematicWindow::naturalSize() const {
    return net_ ? SchematicPainter::size(*net_) : SchematicPainter::size(*project_);
}

void TSchematicWindow::render(QPainter& painter, const QRectF& target, bool printing) const {
    if (net_)
        SchematicPainter::paint(painter, target, *net_, printing);
    else
        SchematicPainter::paint(painter, target, *project_, printing);
}

QSize TSchematicWindow::sizeHint() const {
    QSize s = naturalSize().toSize() + QSize(4, 4);
    if (menuBar_) s.rheight() += menuBar_->sizeHint().height();
    return s.boundedTo(QSize(1000, 760));
}

void TSchematicWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    updateCanvas();
}

void TSchematicWindow::refresh() {
    if (net_ && normal_) (net_->polarityInverted ? inverted_ : normal_)->setChecked(true);
    updateCanvas();
    canvas_->update();
}

void TSchematicWindow::updateCanvas() {
    if (!scroll_) return;
    const QSizeF natural = naturalSize();
    // The area without scroll bars: a drawing that fits it needs none.
    const QSize area = scroll_->maximumViewportSize();
    const double fit = std::min(area.width() / natural.width(), area.height() / natural.height());
    scale_ = std::max(kMinScale, fit);
    if (scale_ == fit) {
        canvas_->resize(area);
    } else {
        const int bar = scroll_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroll_);
        const QSize drawn(static_cast<int>(std::ceil(natural.width() * scale_)),
                          static_cast<int>(std::ceil(natural.height() * scale_)));
        canvas_->resize(drawn.expandedTo(area - QSize(bar, bar)));
    }
    canvas_->update();
}

QImage TSchematicWindow::grabSchematic() const {
    const QSizeF natural = naturalSize() * scale_;
    QImage img(
        QSize(static_cast<int>(std::ceil(natural.width())), static_cast<int>(std::ceil(natural.height()))),
        QImage::Format_ARGB32_Premultiplied);
    if (img.isNull()) return img;
    img.fill(Qt::white);
    QPainter p(&img);
    render(p, QRectF(QPointF(0, 0), natural), false);
    return img;
}

bool TSchematicWindow::copyToClipboard() {
    return copyImageToClipboard(grabSchematic());
}

bool TSchematicWindow::copyImageToClipboard(const QImage& image) {
    if (image.isNull()) {
        ui_.error("Copy window", "Out of memory");
        return false;
    }
    QGuiApplication::clipboard()->setImage(image);
    return true;
}

} // namespace harlox
