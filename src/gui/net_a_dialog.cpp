#include "gui/net_a_dialog.h"

#include "core/ui_host.h"
#include "filter/net_a.h"
#include "filter/net_optimiser.h"
#include "filter/xover.h"
#include "gui/arrow_keys.h"
#include "gui/branch_type_dialogs.h"
#include "gui/dbl_edit.h"
#include "gui/form_rows.h"
#include "gui/net_opt_dialog.h"
#include "gui/net_wizard_dialogs.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <utility>

namespace harlox {

namespace {

// Any number is taken; the component clamps it to its own limits with a beep.
constexpr double kAnyValue = 1e300;
constexpr double kNoValue = -1e308;
// Widths of the name and value columns of a component line, in characters.
constexpr int kNameColumn = 7;
constexpr int kValueColumn = 9;

double gainDb(double linear) {
    return linear > 0.0
               ? std::clamp(20.0 * std::log10(linear), TNetADialog::kMinGainDb, TNetADialog::kMaxGainDb)
               : TNetADialog::kMinGainDb;
}

} // namespace

QString TNetADialog::displayLine(const std::string& line) {
    const QString text = QString::fromStdString(line);
    const QStringList parts = text.split(QLatin1Char('\t'));
    if (parts.size() != 3) return text;
    return QStringLiteral("%1%2 %3").arg(parts[0], -kNameColumn).arg(parts[1], kValueColumn).arg(parts[2]);
}

TNetADialog::TNetADialog(QWidget* parent, TNetA& net, UiHost& ui, std::function<int(QDialog&)> exec)
    : TBaseDialog(parent, QString::fromUtf8(kHelpFile)), net_(net), ui_(ui), exec_(std::move(exec)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(QString::fromUtf8(kCaptionFormat).arg(net.netNumber() + 1));

    auto* row = new QHBoxLayout(content());
    row->setContentsMargins(0, 0, 0, 0);

    list_ = new QListWidget(content());
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    list_->setFont(fixed);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setUniformItemSizes(true);
    const QFontMetrics fm(fixed);
    const int frame = 2 * list_->frameWidth() + 4;
    list_->setMinimumSize(fm.horizontalAdvance(QLatin1Char('0')) * kListColumns + frame + 20,
                          fm.height() * kListRows + frame);
    stepWithArrowKeys(list_, [this](bool up) { stepSelected(up); });
    row->addWidget(list_, 1);

    auto* side = new QVBoxLayout;
    auto* infoBox = new QGroupBox(QStringLiteral("Information"), content());
    auto* infoLayout = new QVBoxLayout(infoBox);
    info_ = new QLabel(infoBox);
    info_->setTextFormat(Qt::PlainText);
    info_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    info_->setMinimumSize(
        info_->fontMetrics().horizontalAdvance(QStringLiteral("Fo=     20000 Hz +40.0dB max amp.")),
        info_->fontMetrics().lineSpacing() * 3);
    infoLayout->addWidget(info_);
    side->addWidget(infoBox);

    auto* compBox = new QGroupBox(QStringLiteral("Component"), content());
    auto* grid = formGrid(compBox, QStringLiteral("kohm"));
    value_ = new TDblEdit(compBox, ValueControl, "%2.3f", -kAnyValue, kAnyValue, kNoValue, 0.0);
    valueName_ = addFormRow(grid, QStringLiteral("Value"), value_, QString(), QStringLiteral("0000000.000"));
    valueUnit_ = new QLabel(compBox);
    grid->addWidget(valueUnit_, grid->rowCount() - 1, 2);
    side->addWidget(compBox);

    auto* netBox = new QGroupBox(QStringLiteral("Network"), content());
    auto* netGrid = formGrid(netBox, QStringLiteral("kohm"));
    modify_ = new QPushButton(QStringLiteral("&Modify branch"), netBox);
    netGrid->addWidget(modify_, 0, 0, 1, 3);
    disconnect_ = new QCheckBox(QStringLiteral("Disconnect"), netBox);
    disconnect_->setChecked(net.disconnected != 0);
    netGrid->addWidget(disconnect_, 1, 0, 1, 3);
    if (net.isActive()) {
        gain_ = new TDblEdit(netBox, GainControl, "%2.1f", kMinGainDb, kMaxGainDb, kNoValue,
                             gainDb(net.activeGain));
        addFormRow(netGrid, QStringLiteral("Rel amp. gain"), gain_, QStringLiteral("dB"),
                   QStringLiteral("0000000.000"));
    }
    side->addWidget(netBox);

    // The components the optimiser may move, and the tools that design the net.
    auto* toolBox = new QGroupBox(QStringLiteral("Optimization list"), content());
    auto* toolGrid = new QGridLayout(toolBox);
    optList_ = new QListWidget(toolBox);
    optList_->setFont(fixed);
    optList_->setMinimumHeight(fm.height() * 5 + frame);
    toolGrid->addWidget(optList_, 0, 0, 1, 2);
    optAdd_ = new QPushButton(QStringLiteral("&Add ->"), toolBox);
    optRemove_ = new QPushButton(QStringLiteral("&Remove"), toolBox);
    toolGrid->addWidget(optAdd_, 1, 0);
    toolGrid->addWidget(optRemove_, 1, 1);
    wizard_ = new QPushButton(QStringLiteral("&Wizard..."), toolBox);
    optimize_ = new QPushButton(QStringLiteral("&Optimize..."), toolBox);
    toolGrid->addWidget(wizard_, 2, 0);
    toolGrid->addWidget(optimize_, 2, 1);
    side->addWidget(toolBox);
    side->addStretch(1);
    row->addLayout(side);
    connect(optAdd_, &QPushButton::clicked, this, [this] {
        TCompA* c = componentAt(list_->currentRow());
        if (!c) {
            ui_.beep();
            return;
        }
        if (AddToOptimisationList(*c, ui_)) fillOptimisationList();
    });
    connect(optRemove_, &QPushButton::clicked, this, [this] {
        const std::vector<TCompA*> listed = OptimisationList(net_);
        const int row = optList_->currentRow();
        if (row < 0 || row >= static_cast<int>(listed.size())) {
            ui_.beep();
            return;
        }
        RemoveFromOptimisationList(*listed[static_cast<std::size_t>(row)]);
        fillOptimisationList();
    });
    connect(wizard_, &QPushButton::clicked, this, [this] { runWizard(); });
    connect(optimize_, &QPushButton::clicked, this, [this] { openOptimiser(); });

    connect(list_, &QListWidget::currentRowChanged, this, [this] {
        applyValue();
        showSelection();
    });
    connect(list_, &QListWidget::itemDoubleClicked, this, &TNetADialog::itemDoubleClicked);
    connect(modify_, &QPushButton::clicked, this, [this] { modifySelectedBranch(); });
    connect(disconnect_, &QCheckBox::toggled, this, [this](bool on) {
        net_.disconnected = on ? 1 : 0;
        edited();
    });
    connect(value_, &TEntryEdit::changed, this, &TNetADialog::fieldChanged);
    if (gain_) connect(gain_, &TEntryEdit::changed, this, &TNetADialog::fieldChanged);

    fillList();
    fillOptimisationList();
    if (list_->count() > 0) list_->setCurrentRow(0);
    showSelection();
}

void TNetADialog::fillOptimisationList() {
    const int row = optList_->currentRow();
    optList_->clear();
    for (TCompA* c : OptimisationList(net_))
        optList_->addItem(QString::fromStdString(c->name()));
    optList_->setCurrentRow(std::min(row, optList_->count() - 1));
}

void TNetADialog::runWizard() {
    // Both wizards end with OK after their "Calc" wrote the net.
    if (net_.isActive()) {
        TNetACWizard wizard(this, net_, ui_);
        exec_(wizard);
    } else {
        TNetAWizard wizard(this, net_, ui_);
        exec_(wizard);
    }
    refresh();
}

void TNetADialog::openOptimiser() {
    if (optimiser_) {
        optimiser_->raise();
        return;
    }
    auto* project = dynamic_cast<TXover*>(net_.Project());
    if (!project) return;
    auto* dialog = new TNetAOptDialog(this, net_, *project, ui_);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    optimiser_ = dialog;
    optimize_->setEnabled(false);
    connect(dialog, &QObject::destroyed, this, [this] {
        optimize_->setEnabled(true);
        refresh();
    });
    dialog->show();
}

void TNetADialog::refresh() {
    fillList();
    fillOptimisationList();
    {
        const QSignalBlocker block(disconnect_);
        disconnect_->setChecked(net_.disconnected != 0);
    }
    if (gain_ && gain_->value() != gainDb(net_.activeGain)) gain_->setValue(gainDb(net_.activeGain));
}

std::string TNetADialog::lineAt(int row) const {
    const QListWidgetItem* item = list_->item(row);
    return item ? item->data(Qt::UserRole).toString().toStdString() : std::string();
}

TBranchA* TNetADialog::branchAt(int row) const {
    for (int r = std::min(row, list_->count() - 1); r >= 0; --r)
        if (TBranchA* b = net_.BranchForHeader(lineAt(r))) return b;
    return nullptr;
}

TCompA* TNetADialog::componentAt(int row) const {
    TBranchA* b = branchAt(row);
    if (!b) return nullptr;
    TCompA* c = b->ComponentForLine(lineAt(row));
    // A name the branch has but its type does not use is not listed.
    return c && c->used ? c : nullptr;
}

void TNetADialog::setLine(int row, const std::string& line) {
    QListWidgetItem* item = list_->item(row);
    if (!item) return;
    item->setData(Qt::UserRole, QString::fromStdString(line));
    item->setText(displayLine(line));
}

void TNetADialog::fillList() {
    const std::vector<std::string> lines = net_.BranchListLines();
    const int count = static_cast<int>(lines.size());
    {
        const QSignalBlocker block(list_);
        if (count == list_->count()) {
            for (int r = 0; r < count; ++r)
                if (lineAt(r) != lines[static_cast<std::size_t>(r)])
                    setLine(r, lines[static_cast<std::size_t>(r)]);
        } else {
            const int row = list_->currentRow();
            list_->clear();
            for (const std::string& l : lines) {
                auto* item = new QListWidgetItem(displayLine(l), list_);
                item->setData(Qt::UserRole, QString::fromStdString(l));
            }
            if (row >= 0) list_->setCurrentRow(std::min(row, count - 1));
        }
    }
    showSelection();
}

void TNetADialog::showSelection() {
    const int row = list_->currentRow();
    const TBranchA* branch = branchAt(row);
    info_->setText(branch ? QString::fromStdString(branch->Description()) : QString());
    modify_->setEnabled(branch != nullptr);
    editComp_ = componentAt(row);
    if (!editComp_) {
        value_->setEnabled(false);
        value_->clear();
        valueName_->setText(QStringLiteral("Value"));
        valueUnit_->clear();
        return;
    }
    editComp_->UpdateEngineeringUnit();
    editScale_ = editComp_->displayScale();
    shownValue_ = editComp_->Value() * editScale_;
    value_->setEnabled(true);
    value_->setFormat(editComp_->format());
    value_->setValue(shownValue_);
    valueName_->setText(QString::fromStdString(editComp_->name()));
    valueUnit_->setText(QString::fromStdString(editComp_->unit()));
}

void TNetADialog::applyValue() {
    if (!editComp_ || !value_->isEnabled()) return;
    const double v = value_->value();
    if (v == shownValue_) return;
    // In the unit the field showed; the component may pick another one afterwards.
    editComp_->SetValueClamped(v / editScale_, &ui_);
    edited();
    fillList();
}

void TNetADialog::fieldChanged(int id) {
    if (id == ValueControl) {
        applyValue();
    } else if (id == GainControl && gain_) {
        net_.activeGain = std::pow(10.0, 0.05 * gain_->value());
        edited();
    }
}

void TNetADialog::stepSelected(bool up) {
    applyValue();
    const int row = list_->currentRow();
    TBranchA* branch = branchAt(row);
    if (!branch) return;
    TCompA* c = branch->StepLine(lineAt(row), up, &ui_);
    if (!c) return;
    setLine(row, c->ComponentLine());
    edited();
    showSelection();
}

bool TNetADialog::modifySelectedBranch() {
    applyValue();
    TBranchA* branch = branchAt(list_->currentRow());
    if (!branch) return false;
    const bool changed = modifyBranch(this, *branch, ui_, exec_);
    if (changed) fillList();
    return changed;
}

void TNetADialog::itemDoubleClicked(QListWidgetItem* item) {
    const int row = list_->row(item);
    if (row < 0) return;
    const bool typeLine =
        net_.BranchForHeader(lineAt(row)) || (row > 0 && net_.BranchForHeader(lineAt(row - 1)));
    if (typeLine) {
        list_->setCurrentRow(row);
        modifySelectedBranch();
    } else if (componentAt(row)) {
        value_->setFocus(Qt::OtherFocusReason);
        value_->selectAll();
    }
}

void TNetADialog::changeEvent(QEvent* event) {
    TBaseDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        applyValue();
        refresh();
    }
}

void TNetADialog::edited() {
    net_.Edited();
    // Without measured curves the project does not recalculate; the schematic shows the
    // new values all the same.
    ui_.repaint();
}

} // namespace harlox
