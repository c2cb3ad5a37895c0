#include "gui/table_lookup_dialogs.h"

#include "box/abr_box.h"
#include "box/alignment.h"
#include "box/bandpass_box.h"
#include "box/bass_reflex_box.h"
#include "box/closed_box.h"
#include "core/format.h"
#include "core/ui_host.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace harlox {

namespace {

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

QString litres(double m3) {
    return text(strprintf("%2.1f l", m3 * 1000.0));
}

QString hertz(double f) {
    return text(strprintf("%2.1f Hz", f));
}

// A note beside a choice, quieter than the choice itself.
QLabel* noteLabel(const QString& s, QWidget* parent) {
    auto* l = new QLabel(s, parent);
    l->setForegroundRole(QPalette::PlaceholderText);
    return l;
}

template <class Dialog, class Project> bool runWindow(QWidget* parent, TBoxEmbryo& project, UiHost& ui) {
    auto* typed = dynamic_cast<Project*>(&project);
    if (!typed) return false;
    // The windows show and the tables read the effective parameters.
    project.ComputeDerivedValues();
    Dialog dialog(parent, *typed, ui);
    return dialog.exec() == TBaseDialog::ResultOk && dialog.applied();
}

} // namespace

bool runTableLookup(QWidget* parent, TBoxEmbryo& project, UiHost& ui) {
    const int type = project.typeCode();
    if (type != TClosedBox::kTypeCode && type != TBassReflexBox::kTypeCode && type != TBP5Box::kTypeCode &&
        type != TAbrBox::kTypeCode)
        return false;
    // Every table sizes the box from the driver; without one there is nothing to look up.
    if (!project.canCalculate()) {
        ui.error("", TBoxEmbryo::kTooFewParametersText);
        return false;
    }
    switch (type) {
    case TClosedBox::kTypeCode:
        return runWindow<TOptClosedTableDialog, TClosedBox>(parent, project, ui);
    case TBassReflexBox::kTypeCode:
        return runWindow<TOptBreflTableDialog, TBassReflexBox>(parent, project, ui);
    case TBP5Box::kTypeCode:
        return runWindow<TOptBP5TableDialog, TBP5Box>(parent, project, ui);
    default: {
        // The passive radiator box has a single table: it runs at once.
        auto* abr = dynamic_cast<TAbrBox*>(&project);
        return abr && alignment::applyAbrTable(*abr, ui);
    }
    }
}

// ---- the common frame -----------------------------------------------------------------------

TTableLookupDialog::TTableLookupDialog(QWidget* parent, const char* caption, const char* helpFile,
                                       TBoxEmbryo& project, UiHost& ui)
    : TBaseDialog(parent, QString::fromUtf8(helpFile), Buttons(OkButton | CancelButton | HelpButton)),
      ui_(ui) {
    setWindowTitle(QString::fromUtf8(caption));
    column_ = new QVBoxLayout(content());
    column_->setContentsMargins(0, 0, 0, 0);
    driver_ = new QLabel(text(strprintf("Driver (effective):  Qts %.3f   fs %2.1f Hz   Vas %2.1f l",
                                        project.effectiveQts(), project.effectiveFs(),
                                        project.effectiveVas() * 1000.0)),
                         content());
    column_->addWidget(driver_);

    // An OK press that a refusal kept open must not count for a later close of the window:
    // only an OK press that closes it applies.
    connect(okButton(), &QPushButton::clicked, this, [this] { okPressed_ = true; });
    connect(cancelButton(), &QPushButton::clicked, this, [this] { okPressed_ = false; });
}

void TTableLookupDialog::finishLayout(const QString& widestResult) {
    auto* group = new QGroupBox(tr("Result"), content());
    auto* row = new QHBoxLayout(group);
    result_ = new QLabel(group);
    result_->setMinimumWidth(result_->fontMetrics().horizontalAdvance(widestResult));
    row->addWidget(result_);
    column_->addWidget(group);
    updateResult();
}

void TTableLookupDialog::updateResult() {
    if (result_) result_->setText(resultText());
}

void TTableLookupDialog::done(int) {
    if (!okPressed_) {
        QDialog::done(ResultCancel);
        return;
    }
    okPressed_ = false;
    // A refused choice: the table said why; the user may pick another one or cancel.
    if (!apply()) {
        updateResult();
        focusChoice();
        return;
    }
    applied_ = true;
    QDialog::done(ResultOk);
}

void TTableLookupDialog::reject() {
    okPressed_ = false;
    TBaseDialog::reject();
}

void TTableLookupDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        okButton()->setFocus(Qt::OtherFocusReason);
        okButton()->click();
        event->accept();
        return;
    case Qt::Key_Escape:
        okPressed_ = false;
        break;
    default:
        break;
    }
    TBaseDialog::keyPressEvent(event);
}

void TTableLookupDialog::showEvent(QShowEvent* event) {
    TBaseDialog::showEvent(event);
    focusChoice();
}

void TTableLookupDialog::focusChoice() {
    // The current choice, not the first button of its group.
    for (QRadioButton* b : content()->findChildren<QRadioButton*>()) {
        if (b->isChecked() && b->isEnabled()) {
            b->setFocus(Qt::OtherFocusReason);
            break;
        }
    }
}

void TTableLookupDialog::closeEvent(QCloseEvent* event) {
    okPressed_ = false;
    TBaseDialog::closeEvent(event);
}

// ---- closed box -------------------------------------------------------------------------------

TOptClosedTableDialog::TOptClosedTableDialog(QWidget* parent, TClosedBox& project, UiHost& ui)
    : TTableLookupDialog(parent, alignment::kClosedTableCaption, kHelpFile, project, ui), project_(project) {
    auto* group = new QGroupBox(tr("Total Q (Qtc)"), content());
    auto* list = new QVBoxLayout(group);
    rows_ = new QButtonGroup(this);
    for (int i = 0; i < alignment::kClosedRowCount; ++i) {
        auto* b = new QRadioButton(QString::fromUtf8(alignment::kClosedRows[static_cast<std::size_t>(i)].label),
                                   group);
        rows_->addButton(b, i);
        list->addWidget(b);
    }
    rowButton(kDefaultRow)->setChecked(true);
    column()->addWidget(group);
    connect(rows_, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on) updateResult();
    });
    finishLayout(QStringLiteral("Box volume 000000.0 l, box Q 15.0"));
}

QRadioButton* TOptClosedTableDialog::rowButton(int row) const {
    return qobject_cast<QRadioButton*>(rows_->button(row));
}

int TOptClosedTableDialog::selectedRow() const {
    return rows_->checkedId();
}

bool TOptClosedTableDialog::apply() {
    return alignment::applyClosedTable(project_, selectedRow(), ui());
}

QString TOptClosedTableDialog::resultText() const {
    const int row = selectedRow();
    if (row < 0) return {};
    double vb = 0.0;
    if (!alignment::closedVolume(alignment::kClosedRows[static_cast<std::size_t>(row)].qtc,
                                 project_.effectiveQts(), project_.effectiveVas(), vb))
        return tr("Too high Qts: choose a higher total Q");
    return tr("Box volume %1, box Q 15.0").arg(litres(vb));
}

// ---- bass reflex box ------------------------------------------------------------------------

TOptBreflTableDialog::TOptBreflTableDialog(QWidget* parent, TBassReflexBox& project, UiHost& ui)
    : TTableLookupDialog(parent, alignment::kReflexTableCaption, kHelpFile, project, ui), project_(project) {
    auto* choices = new QHBoxLayout;
    choices->setContentsMargins(0, 0, 0, 0);

    auto* familyGroup = new QGroupBox(tr("Alignment"), content());
    auto* familyGrid = new QGridLayout(familyGroup);
    familyGrid->setColumnStretch(1, 1);
    families_ = new QButtonGroup(this);
    const double qts = project.effectiveQts();
    for (int i = 0; i < alignment::kFamilyCount; ++i) {
        const alignment::FamilyInfo& f = alignment::kFamilies[static_cast<std::size_t>(i)];
        auto* b = new QRadioButton(QString::fromUtf8(f.label), familyGroup);
        const bool usable = alignment::familyUsable(static_cast<alignment::Family>(i), qts);
        b->setEnabled(usable);
        families_->addButton(b, i);
        familyGrid->addWidget(b, i, 0);
        QLabel* range = noteLabel(text(strprintf("Qts %.3f to %.3f", f.lowest, f.highest)), familyGroup);
        range->setEnabled(usable);
        familyGrid->addWidget(range, i, 1);
        if (usable && families_->checkedId() < 0) b->setChecked(true);
    }
    choices->addWidget(familyGroup);

    auto* qGroup = new QGroupBox(tr("Box Q-value"), content());
    auto* qGrid = new QGridLayout(qGroup);
    qGrid->setColumnStretch(1, 1);
    boxQ_ = new QButtonGroup(this);
    for (int i = 0; i < alignment::kBoxQChoices; ++i) {
        const alignment::BoxQChoice& q = alignment::kBoxQChoiceInfo[static_cast<std::size_t>(i)];
        auto* b = new QRadioButton(QString::fromUtf8(q.label), qGroup);
        boxQ_->addButton(b, i);
        qGrid->addWidget(b, i, 0);
        qGrid->addWidget(noteLabel(tr("fill %1 %").arg(q.fill), qGroup), i, 1);
    }
    boxQButton(alignment::kDefaultBoxQChoice)->setChecked(true);
    choices->addWidget(qGroup);
    column()->addLayout(choices);

    for (QButtonGroup* g : {families_, boxQ_})
        connect(g, &QButtonGroup::idToggled, this, [this](int, bool on) {
            if (on) updateResult();
        });
    finishLayout(QStringLiteral("Box volume 000000.0 l, tuned to 0000.0 Hz"));
}

QRadioButton* TOptBreflTableDialog::familyButton(int family) const {
    return qobject_cast<QRadioButton*>(families_->button(family));
}

QRadioButton* TOptBreflTableDialog::boxQButton(int choice) const {
    return qobject_cast<QRadioButton*>(boxQ_->button(choice));
}

int TOptBreflTableDialog::selectedFamily() const {
    return families_->checkedId();
}

int TOptBreflTableDialog::selectedBoxQ() const {
    return boxQ_->checkedId();
}

bool TOptBreflTableDialog::apply() {
    // With no family offered any of them gives the reason; the first covers both ends.
    const int family = selectedFamily();
    return alignment::applyBassReflexTable(
        project_, family < 0 ? alignment::Family::SBB4 : static_cast<alignment::Family>(family), selectedBoxQ(),
        ui());
}

QString TOptBreflTableDialog::resultText() const {
    const int family = selectedFamily();
    alignment::ReflexAlignment a;
    const char* refusal = nullptr;
    if (!alignment::reflexAlignment(family < 0 ? alignment::Family::SBB4 : static_cast<alignment::Family>(family),
                                    selectedBoxQ(), project_.effectiveQts(), project_.effectiveFs(),
                                    project_.effectiveVas(), a, &refusal))
        return refusal ? tr("%1: no alignment fits this driver").arg(QString::fromUtf8(refusal)) : QString();
    return tr("Box volume %1, tuned to %2").arg(litres(a.Vb), hertz(a.tuning));
}

// ---- bandpass box type 1 --------------------------------------------------------------------

TOptBP5TableDialog::TOptBP5TableDialog(QWidget* parent, TBP5Box& project, UiHost& ui)
    : TTableLookupDialog(parent, alignment::kBp1TableCaption, kHelpFile, project, ui), project_(project) {
    auto* choices = new QHBoxLayout;
    choices->setContentsMargins(0, 0, 0, 0);

    auto* rippleGroup = new QGroupBox(tr("Passband ripple"), content());
    auto* rippleList = new QVBoxLayout(rippleGroup);
    ripples_ = new QButtonGroup(this);
    for (int i = 0; i < alignment::kRippleCount; ++i) {
        auto* b = new QRadioButton(QString::fromUtf8(alignment::kRippleLabels[static_cast<std::size_t>(i)]),
                                   rippleGroup);
        ripples_->addButton(b, i);
        rippleList->addWidget(b);
    }
    rippleButton(kDefaultRipple)->setChecked(true);
    choices->addWidget(rippleGroup);

    auto* sensitivityGroup = new QGroupBox(tr("Sensitivity"), content());
    auto* sensitivityList = new QVBoxLayout(sensitivityGroup);
    auto* caption = new QLabel(tr("&Relative to the driver\nin a closed box:"), sensitivityGroup);
    sensitivity_ = new QComboBox(sensitivityGroup);
    for (const char* label : alignment::kSensitivityLabels)
        sensitivity_->addItem(QString::fromUtf8(label));
    sensitivity_->setCurrentIndex(alignment::kDefaultSensitivity);
    caption->setBuddy(sensitivity_);
    sensitivityList->addWidget(caption);
    sensitivityList->addWidget(sensitivity_);
    sensitivityList->addStretch(1);
    choices->addWidget(sensitivityGroup);
    column()->addLayout(choices);

    connect(ripples_, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on) updateResult();
    });
    connect(sensitivity_, &QComboBox::currentIndexChanged, this, [this] { updateResult(); });
    finishLayout(QStringLiteral("Rear box 000000.0 l, front box 000000.0 l, tuned to 0000.0 Hz"));
}

QRadioButton* TOptBP5TableDialog::rippleButton(int ripple) const {
    return qobject_cast<QRadioButton*>(ripples_->button(ripple));
}

int TOptBP5TableDialog::selectedRipple() const {
    return ripples_->checkedId();
}

int TOptBP5TableDialog::selectedSensitivity() const {
    return sensitivity_->currentIndex();
}

bool TOptBP5TableDialog::apply() {
    return alignment::applyBp1Table(project_, selectedRipple(), selectedSensitivity(), ui());
}

QString TOptBP5TableDialog::resultText() const {
    alignment::Bp1Alignment a;
    if (!alignment::bp1Alignment(selectedRipple(), selectedSensitivity(), project_.effectiveQts(),
                                 project_.effectiveFs(), project_.effectiveVas(), a))
        return tr("Too high Qts: choose a higher sensitivity");
    return tr("Rear box %1, front box %2, tuned to %3").arg(litres(a.Vrear), litres(a.Vfront), hertz(a.tuning));
}

} // namespace harlox
