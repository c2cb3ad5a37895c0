#include "gui/branch_type_dialogs.h"

#include "core/ui_host.h"
#include "filter/net_a.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace harlox {

TBranchTypeDialog::TBranchTypeDialog(QWidget* parent, bool active, int type, int branchNumber)
    : TBaseDialog(parent, QString::fromUtf8(kHelpFile), Buttons(OkButton | CancelButton | HelpButton)),
      active_(active) {
    setWindowTitle(QString::fromUtf8(active ? kActiveCaption : kPassiveCaption));
    auto* column = new QVBoxLayout(content());
    column->setContentsMargins(0, 0, 0, 0);
    auto* box = new QGroupBox(QStringLiteral("Branch %1").arg(branchNumber), content());
    auto* buttons = new QVBoxLayout(box);
    group_ = new QButtonGroup(this);
    for (int t = 0; t < typeCount(); ++t) {
        const char* text = active ? TBranchA::ActiveTypeText(t) : TBranchA::PassiveTypeButton(t);
        auto* b = new QRadioButton(QString::fromUtf8(text), box);
        group_->addButton(b, t);
        buttons->addWidget(b);
    }
    column->addWidget(box);
    selectType(type);
    if (group_->checkedId() < 0) selectType(0);
}

TBranchTypeDialog::TBranchTypeDialog(QWidget* parent, const TBranchA& branch)
    : TBranchTypeDialog(parent, branch.isActive(), branch.type(), branch.number() + 1) {}

int TBranchTypeDialog::typeCount() const {
    return active_ ? TBranchA::kActiveTypes : TBranchA::kPassiveTypes;
}

int TBranchTypeDialog::selectedType() const {
    return group_->checkedId() < 0 ? 0 : group_->checkedId();
}

void TBranchTypeDialog::selectType(int type) {
    if (QRadioButton* b = typeButton(type)) b->setChecked(true);
}

QRadioButton* TBranchTypeDialog::typeButton(int type) const {
    return qobject_cast<QRadioButton*>(group_->button(type));
}

void TBranchTypeDialog::showEvent(QShowEvent* event) {
    TBaseDialog::showEvent(event);
    // The arrow keys then move on from the present type.
    if (QAbstractButton* b = group_->checkedButton()) b->setFocus(Qt::OtherFocusReason);
}

bool modifyBranch(QWidget* parent, TBranchA& branch, UiHost& ui, const std::function<int(QDialog&)>& exec) {
    TBranchTypeDialog dialog(parent, branch);
    if (exec(dialog) != TBaseDialog::ResultOk) return false;
    // SetType also takes every component off the optimisation list when the type changes.
    if (!branch.SetType(dialog.selectedType())) return false;
    branch.net().Edited();
    ui.repaint();
    return true;
}

} // namespace harlox
