#include "gui/net_opt_dialog.h"

#include "core/format.h"
#include "core/ui_host.h"
#include "filter/general.h"
#include "filter/net_a.h"
#include "filter/xover.h"
#include "gui/arrow_keys.h"
#include "gui/diagram_view.h"
#include "gui/form_rows.h"
#include "gui/long_edit.h"
#include "gui/net_a_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <initializer_list>

namespace harlox {

namespace {

const QString kWidest = QStringLiteral("000000");
const QString kWidestUnit = QStringLiteral("deg");

QString text(const char* s) { return QString::fromUtf8(s); }

QComboBox* typeBox(QWidget* parent, int type) {
    auto* box = new QComboBox(parent);
    box->addItems({QStringLiteral("Butterworth"), QStringLiteral("Linkwitz")});
    box->setCurrentIndex(type == OptimiserTarget::Linkwitz ? 1 : 0);
    return box;
}

// One target section: "Fc", "order" and the type.
QGroupBox* sectionBox(QWidget* parent, const char* title, TLongEdit*& fc, TLongEdit*& order, QComboBox*& type,
                      int fcField, int orderField, int fcValue, int orderValue, int typeValue) {
    auto* box = new QGroupBox(text(title), parent);
    QGridLayout* g = formGrid(box, kWidestUnit);
    fc = new TLongEdit(box, fcField, "%d", 1, 20000, -1, std::clamp(fcValue, 1, 20000), 1);
    order = new TLongEdit(box, orderField, "%d", 0, 4, -1, std::clamp(orderValue, 0, 4), 1);
    type = typeBox(box, typeValue);
    addFormRow(g, QStringLiteral("Fc"), fc, QStringLiteral("Hz"), kWidest);
    addFormRow(g, QStringLiteral("order"), order, QString(), kWidest);
    g->addWidget(type, g->rowCount(), 0, 1, 3);
    return box;
}

constexpr Pen kTargetPen{PenColor::Red, PenStyle::Solid};
constexpr Pen kResponsePen{PenColor::Black, PenStyle::Thick};
constexpr Pen kUnfilteredPen{PenColor::Blue, PenStyle::Dash};

} // namespace

TNetAOptDialog::TNetAOptDialog(QWidget* parent, TNetA& net, TXover& project, UiHost& ui)
    : TBaseDialog(parent, text(kHelpFile), Buttons(CancelButton | HelpButton)), net_(net), project_(project), ui_(ui),
      opt_(net, &project) {
    setModal(false);
    const QString name = text(project.NetLabel(net.netNumber()));
    setWindowTitle(name + QStringLiteral(", optimize"));
    cancelButton()->setText(tr("Close"));

    auto* row = new QHBoxLayout(content());
    row->setContentsMargins(0, 0, 0, 0);

    // Left: the target and how it is compared.
    auto* left = new QVBoxLayout;
    left->addWidget(sectionBox(content(), "Lowpass", lpFc_, lpOrder_, lpType_, LpFcField, LpOrderField,
                               net.targetLpFc, net.targetLpOrder, net.targetLpType));
    left->addWidget(sectionBox(content(), "Highpass", hpFc_, hpOrder_, hpType_, HpFcField, HpOrderField,
                               net.targetHpFc, net.targetHpOrder, net.targetHpType));
    auto* range = new QGroupBox(tr("Optimization range"), content());
    QGridLayout* rg = formGrid(range, kWidestUnit);
    lower_ = new TLongEdit(range, LowerField, "%d", 1, 20000, -1, std::clamp<int>(net.rangeLower, 1, 20000), 1);
    upper_ = new TLongEdit(range, UpperField, "%d", 1, 20000, -1, std::clamp<int>(net.rangeUpper, 1, 20000), 1);
    addFormRow(rg, tr("Lower"), lower_, QStringLiteral("Hz"), kWidest);
    addFormRow(rg, tr("Upper"), upper_, QStringLiteral("Hz"), kWidest);
    angle_ = new QComboBox(range);
    const TGeneral& g = net.General();
    for (int k = 0; k < std::min(g.surfaceCount(), TNetA::kMaxRays); ++k)
        angle_->addItem(QString::fromStdString(strprintf("%+d", g.surfaceAngle(k))));
    angle_->setCurrentIndex(opt_.Ray());
    addFormRow(rg, tr("Angle"), angle_, QStringLiteral("deg"), kWidest);
    // The combo box needs room for its arrow: the number fields take its width.
    const int w = std::max(angle_->sizeHint().width(), fieldWidth(angle_, kWidest));
    for (QWidget* f : std::initializer_list<QWidget*>{lpFc_, lpOrder_, hpFc_, hpOrder_, lower_, upper_, angle_})
        f->setFixedWidth(w);
    left->addWidget(range);
    live_ = new QCheckBox(tr("Live update"), content());
    live_->setChecked(net.liveUpdate != 0);
    unfiltered_ = new QCheckBox(tr("View unfiltered response"), content());
    unfiltered_->setChecked(net.viewUnfiltered != 0);
    left->addWidget(live_);
    left->addWidget(unfiltered_);
    auto* buttons = new QHBoxLayout;
    start_ = new QPushButton(tr("Start"), content());
    stop_ = new QPushButton(tr("Stop"), content());
    refresh_ = new QPushButton(tr("Refresh"), content());
    for (QPushButton* b : {start_, stop_, refresh_}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    left->addLayout(buttons);
    error_ = new QLabel(content());
    error_->setFrameShape(QFrame::Panel);
    error_->setFrameShadow(QFrame::Sunken);
    error_->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("Error: 000.00 dB  ")));
    left->addWidget(error_);
    left->addStretch(1);
    row->addLayout(left);

    // Middle: the step size, 10 % at the top.
    auto* stepColumn = new QVBoxLayout;
    stepColumn->addWidget(new QLabel(tr("Stepsize"), content()), 0, Qt::AlignHCenter);
    stepColumn->addWidget(new QLabel(QStringLiteral("10%"), content()), 0, Qt::AlignHCenter);
    step_ = new QScrollBar(Qt::Vertical, content());
    step_->setRange(1, 100);
    step_->setPageStep(10);
    step_->setValue(100 - std::clamp<int>(net.stepSize, 0, 99));
    stepColumn->addWidget(step_, 1, Qt::AlignHCenter);
    stepColumn->addWidget(new QLabel(QStringLiteral("0%"), content()), 0, Qt::AlignHCenter);
    row->addLayout(stepColumn);

    // Right: the list to optimise above the plot.
    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel(tr("Optimization list"), content()));
    list_ = new QListWidget(content());
    list_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setMaximumHeight(list_->fontMetrics().height() * 7);
    stepWithArrowKeys(list_, [this](bool up) { stepSelected(up); });
    right->addWidget(list_);
    plot_ = DiagramModel(name.toStdString() + ", optimize", "Hz", "dB");
    plot_.setX(g.frequency().data());
    plot_.setPointCount(TNetOptimiser::kPoints);
    plot_.setLogX(true);
    plot_.setFixedYRange(60.0);
    view_ = new DiagramView(&plot_, content());
    view_->setDefaultSize({460, 300});
    right->addWidget(view_, 1);
    row->addLayout(right, 1);

    for (TLongEdit* f : {lpFc_, lpOrder_, hpFc_, hpOrder_, lower_, upper_})
        connect(f, &TEntryEdit::changed, this, &TNetAOptDialog::targetChanged);
    for (QComboBox* b : {lpType_, hpType_})
        connect(b, &QComboBox::currentIndexChanged, this, &TNetAOptDialog::targetChanged);
    connect(angle_, &QComboBox::currentIndexChanged, this, &TNetAOptDialog::angleChanged);
    connect(step_, &QScrollBar::valueChanged, this, &TNetAOptDialog::storeSettings);
    connect(live_, &QCheckBox::toggled, this, &TNetAOptDialog::storeSettings);
    connect(unfiltered_, &QCheckBox::toggled, this, [this] {
        storeSettings();
        showResults();
    });
    connect(start_, &QPushButton::clicked, this, &TNetAOptDialog::start);
    connect(stop_, &QPushButton::clicked, this, &TNetAOptDialog::stop);
    connect(refresh_, &QPushButton::clicked, this, &TNetAOptDialog::refresh);

    // Zero interval: one pass per turn of the event loop, after the events waiting.
    timer_ = new QTimer(this);
    timer_->setInterval(0);
    connect(timer_, &QTimer::timeout, this, &TNetAOptDialog::pass);

    fillList();
    refresh();
    updateButtons();
}

TNetAOptDialog::~TNetAOptDialog() {
    timer_->stop();
    if (opt_.Running()) opt_.Stop();
}

void TNetAOptDialog::storeSettings() {
    net_.targetLpFc = static_cast<std::int16_t>(lpFc_->value());
    net_.targetLpOrder = static_cast<std::int16_t>(lpOrder_->value());
    net_.targetLpType = static_cast<std::int16_t>(lpType_->currentIndex());
    net_.targetHpFc = static_cast<std::int16_t>(hpFc_->value());
    net_.targetHpOrder = static_cast<std::int16_t>(hpOrder_->value());
    net_.targetHpType = static_cast<std::int16_t>(hpType_->currentIndex());
    net_.rangeLower = static_cast<std::int16_t>(lower_->value());
    net_.rangeUpper = static_cast<std::int16_t>(upper_->value());
    net_.stepSize = static_cast<std::int16_t>(100 - step_->value());
    net_.liveUpdate = live_->isChecked() ? 1 : 0;
    net_.viewUnfiltered = unfiltered_->isChecked() ? 1 : 0;
}

void TNetAOptDialog::targetChanged() {
    storeSettings();
    // A running optimiser takes the new target with its next pass.
    if (!opt_.Running()) refresh();
}

void TNetAOptDialog::angleChanged() {
    if (angle_->currentIndex() >= 0) net_.optimiserRay = static_cast<std::int16_t>(angle_->currentIndex());
    if (!opt_.Running()) refresh();
}

void TNetAOptDialog::start() {
    if (opt_.Running()) return;
    storeSettings();
    opt_.Start();
    timer_->start();
    updateButtons();
}

void TNetAOptDialog::stop() {
    timer_->stop();
    if (opt_.Running()) opt_.Stop();
    fillList();
    updateButtons();
}

void TNetAOptDialog::refresh() {
    storeSettings();
    opt_.Refresh();
    showResults();
}

void TNetAOptDialog::pass() {
    storeSettings();
    opt_.Pass();
    fillList();
    showResults();
    if (net_.liveUpdate) ui_.repaint();
}

void TNetAOptDialog::stepSelected(bool up) {
    const int row = list_->currentRow();
    const std::vector<TCompA*> listed = OptimisationList(net_);
    if (row < 0 || row >= static_cast<int>(listed.size())) {
        ui_.beep();
        return;
    }
    listed[static_cast<std::size_t>(row)]->Step(up, &ui_);
    // The project's curves follow, as for the arrow keys of the network window.
    net_.Edited();
    fillList();
    if (!opt_.Running()) refresh();
}

void TNetAOptDialog::fillList() {
    const int row = list_->currentRow();
    const QSignalBlocker block(list_);
    list_->clear();
    for (TCompA* c : OptimisationList(net_))
        list_->addItem(TNetADialog::displayLine(c->ComponentLine()));
    if (row >= 0 && row < list_->count()) list_->setCurrentRow(row);
}

void TNetAOptDialog::showResults() {
    plot_.clearCurves();
    if (net_.HasResults()) {
        plot_.addCurve(opt_.ShiftedTarget().data(), kTargetPen, "Target");
        plot_.addCurve(opt_.Response().data(), kResponsePen, "Response");
        if (net_.viewUnfiltered) plot_.addCurve(opt_.Unfiltered().data(), kUnfilteredPen, "Unfiltered");
    }
    const std::optional<double> e = opt_.Error();
    error_->setText(e                    ? QString::fromStdString(strprintf("Error: %2.2f dB", *e))
                    : net_.HasResults() ? tr("Error: no points in range")
                                        : tr("Error: no results"));
    view_->update();
}

void TNetAOptDialog::updateButtons() {
    const bool running = opt_.Running();
    start_->setEnabled(!running);
    stop_->setEnabled(running);
}

void TNetAOptDialog::done(int result) {
    timer_->stop();
    storeSettings();
    if (opt_.Running()) opt_.Stop();
    else (void)project_.Calculate();
    updateButtons();
    TBaseDialog::done(result);
}

} // namespace harlox
