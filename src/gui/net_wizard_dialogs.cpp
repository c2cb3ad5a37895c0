#include "gui/net_wizard_dialogs.h"

#include "core/ui_host.h"
#include "filter/net_a.h"
#include "filter/net_wizards.h"
#include "gui/dbl_edit.h"
#include "gui/form_rows.h"
#include "gui/long_edit.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>
#include <initializer_list>

namespace harlox {

namespace {

const QString kWidest = QStringLiteral("Branch 7 ");
const QString kUnit = QStringLiteral("ohm");

QString text(const char* s) { return QString::fromUtf8(s); }

TLongEdit* makeOrderField(QWidget* parent, int id, int value) {
    return new TLongEdit(parent, id, "%d", 0, 4, -1, std::clamp(value, 0, 4), 1);
}

TLongEdit* makeCutoffField(QWidget* parent, int id, int value) {
    return new TLongEdit(parent, id, "%d", 1, 20000, -1, std::clamp(value, 1, 20000), 10);
}

QComboBox* makeInsertionBox(QWidget* parent, int count, int step, int current) {
    auto* box = new QComboBox(parent);
    for (int i = 0; i < count; ++i)
        box->addItem(QStringLiteral("Branch %1").arg(1 + i * step));
    box->setCurrentIndex(std::clamp(current, 0, count - 1));
    return box;
}

// The combo box needs room for its arrow: every field takes its width, so they line up.
void sameWidth(std::initializer_list<QWidget*> fields, QComboBox* combo) {
    const int w = std::max(combo->sizeHint().width(), fieldWidth(combo, kWidest));
    for (QWidget* f : fields)
        f->setFixedWidth(w);
}

QPushButton* makeCalcButton(QWidget* parent, QVBoxLayout* column) {
    auto* b = new QPushButton(QObject::tr("Calc"), parent);
    b->setAutoDefault(false);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(b);
    column->addLayout(row);
    return b;
}

} // namespace

TNetAWizard::TNetAWizard(QWidget* parent, TNetA& net, UiHost& ui)
    : TBaseDialog(parent, text(kHelpFile)), net_(net), ui_(ui) {
    setWindowTitle(text(kCaption));
    auto* column = new QVBoxLayout(content());
    column->setContentsMargins(0, 0, 0, 0);

    auto section = [&](const char* title, TLongEdit*& order, TLongEdit*& fc, int orderId, int fcId, int o, int f) {
        auto* box = new QGroupBox(text(title), content());
        QGridLayout* g = formGrid(box, kUnit);
        order = makeOrderField(box, orderId, o);
        fc = makeCutoffField(box, fcId, f);
        addFormRow(g, tr("Filter order"), order, QString(), kWidest);
        addFormRow(g, tr("Cutoff"), fc, QStringLiteral("Hz"), kWidest);
        column->addWidget(box);
    };
    section("LP Filter section", lpOrder_, lpFc_, LpOrderField, LpFcField, net.wizardLpOrder, net.wizardLpFc);
    section("HP Filter section", hpOrder_, hpFc_, HpOrderField, HpFcField, net.wizardHpOrder, net.wizardHpFc);

    auto* load = new QGroupBox(content());
    QGridLayout* g = formGrid(load, kUnit);
    insertion_ = makeInsertionBox(load, 4, 2, net.wizardInsertion);
    addFormRow(g, tr("Insertion point"), insertion_, QString(), kWidest);
    load_ = new TDblEdit(load, LoadField, "%2.2f", 0.1, 1000.0, -1.0, std::clamp(net.wizardLoad, 0.1, 1000.0));
    addFormRow(g, tr("Nom. load"), load_, kUnit, kWidest);
    column->addWidget(load);
    sameWidth({lpOrder_, lpFc_, hpOrder_, hpFc_, insertion_, load_}, insertion_);
    calc_ = makeCalcButton(content(), column);

    for (TEntryEdit* f : std::initializer_list<TEntryEdit*>{lpOrder_, lpFc_, hpOrder_, hpFc_, load_})
        connect(f, &TEntryEdit::changed, this, &TNetAWizard::store);
    connect(insertion_, &QComboBox::currentIndexChanged, this, &TNetAWizard::store);
    connect(calc_, &QPushButton::clicked, this, &TNetAWizard::calc);
}

void TNetAWizard::store() {
    net_.wizardLpOrder = static_cast<std::int16_t>(lpOrder_->value());
    net_.wizardLpFc = static_cast<std::int16_t>(lpFc_->value());
    net_.wizardHpOrder = static_cast<std::int16_t>(hpOrder_->value());
    net_.wizardHpFc = static_cast<std::int16_t>(hpFc_->value());
    net_.wizardInsertion = static_cast<std::int16_t>(insertion_->currentIndex());
    net_.wizardLoad = load_->value();
}

bool TNetAWizard::calc() {
    store();
    const WizardResult r = PassiveWizardCalc(net_);
    if (!r.ok) ui_.error(kCaption, r.why);
    return r.ok;
}

TNetACWizard::TNetACWizard(QWidget* parent, TNetA& net, UiHost& ui)
    : TBaseDialog(parent, text(kHelpFile)), net_(net), ui_(ui) {
    setWindowTitle(text(kCaption));
    auto* column = new QVBoxLayout(content());
    column->setContentsMargins(0, 0, 0, 0);

    auto* box = new QGroupBox(content());
    QGridLayout* g = formGrid(box, QStringLiteral("Hz"));
    auto* kinds = new QHBoxLayout;
    kind_ = new QButtonGroup(this);
    auto* lp = new QRadioButton(tr("LP"), box);
    auto* hp = new QRadioButton(tr("HP"), box);
    kind_->addButton(lp, 1);
    kind_->addButton(hp, 0);
    (net.activeWizardLp ? lp : hp)->setChecked(true);
    kinds->addWidget(lp);
    kinds->addWidget(hp);
    kinds->addStretch(1);
    g->addLayout(kinds, 0, 0, 1, 3);
    order_ = makeOrderField(box, OrderField, net.activeWizardOrder);
    fc_ = makeCutoffField(box, FcField, net.activeWizardFc);
    insertion_ = makeInsertionBox(box, 7, 1, net.wizardInsertion);
    addFormRow(g, tr("Filter order"), order_, QString(), kWidest);
    addFormRow(g, tr("Cutoff"), fc_, QStringLiteral("Hz"), kWidest);
    addFormRow(g, tr("Insertion point"), insertion_, QString(), kWidest);
    column->addWidget(box);
    sameWidth({order_, fc_, insertion_}, insertion_);
    calc_ = makeCalcButton(content(), column);

    for (TLongEdit* f : {order_, fc_})
        connect(f, &TEntryEdit::changed, this, &TNetACWizard::store);
    connect(kind_, &QButtonGroup::idClicked, this, &TNetACWizard::store);
    connect(insertion_, &QComboBox::currentIndexChanged, this, &TNetACWizard::store);
    connect(calc_, &QPushButton::clicked, this, &TNetACWizard::calc);
}

void TNetACWizard::store() {
    net_.activeWizardLp = kind_->checkedId() == 1 ? 1 : 0;
    net_.activeWizardOrder = order_->value();
    net_.activeWizardFc = static_cast<std::int16_t>(fc_->value());
    net_.wizardInsertion = static_cast<std::int16_t>(insertion_->currentIndex());
}

bool TNetACWizard::calc() {
    store();
    const WizardResult r = ActiveWizardCalc(net_);
    if (!r.ok) ui_.error(kCaption, r.why);
    return r.ok;
}

} // namespace harlox
